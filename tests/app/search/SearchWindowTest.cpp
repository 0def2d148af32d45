// Searching from the window: the keys and the row, results in the list with
// their location and matching line, a result's folder opened with it selected,
// and the row closed back to the folder.
#include "search/SearchBar.h"
#include "support/StoreFixture.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/BrowserController.h"

#include <QHeaderView>
#include <QLabel>
#include <QLineEdit>
#include <QMainWindow>
#include <QTest>
#include <QToolButton>

#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using namespace dromel;
using namespace dromel::test;

namespace {

class SearchWindow : public ::testing::Test, protected StoreFixture {
protected:
    SearchWindow() {
        useEnglish();
        tree.makeFolder("top");
        tree.makeFolder("top/sub");
        tree.writeFile("top/sub/Report 2024.txt", "intro\nQuarterly FIGURES rose\n");
        tree.writeFile("top/report-old.md", "nothing here");
        tree.writeFile("top/other.txt", "figures");
        makeStore({tree.path("top")});
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.root(), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        window->resize(1200, 780);
        window->show();
        window->activateWindow();
        EXPECT_TRUE(QTest::qWaitForWindowActive(window.get()));
        store->refresh();
        EXPECT_TRUE(settled());
        bar = window->findChild<SearchBar *>();
    }
    ~SearchWindow() override {
        window.reset();
        store.reset();
    }

    const FileTableModel &model() const { return controller->table()->fileModel(); }
    int rowOf(const std::string &name) const {
        for (int row = 0; row < model().rowCount(); ++row)
            if (model().entryAt(row)->name() == name)
                return row;
        return -1;
    }

    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    SearchBar *bar = nullptr;
};

} // namespace

// First in the file: the child is forked before any window made threads.
namespace {

// Runs in a child without privileges: the results of the rest arrive and the
// row names the folder that could not be read.
int showUnreadableNotice(const std::string &start, const std::string &locked) {
    if (::setgid(65534) != 0 || ::setuid(65534) != 0)
        return 77;
    LocalDirectoryReader reader;
    ListingOrderer orderer;
    BrowserStore store({start}, 0, reader, orderer);
    QMainWindow window;
    auto *controller = new BrowserController(store, start, &window);
    window.setCentralWidget(controller);
    controller->installToolbar(&window);
    window.resize(1000, 700);
    window.show();
    SearchQuery query;
    query.text = "notes";
    query.startFolder = start;
    store.search(query);
    if (!waitUntil([&] { return !store.current().loading && store.current().visibleEntries().size() == 1; },
                   std::chrono::seconds(60)))
        return 1;
    QLabel *notice = nullptr;
    for (QLabel *label : window.findChildren<QLabel *>())
        if (label->accessibleName() == text(TextKey::searchUnreadable))
            notice = label;
    if (!notice || !waitUntil([&] { return notice->isVisible(); }))
        return 2;
    return notice->toolTip() == QString::fromStdString(locked) ? 0 : 3;
}

} // namespace

TEST(SearchWindowUnreadable, TheRowNamesAFolderThatCouldNotBeRead) {
    if (::geteuid() != 0)
        GTEST_SKIP() << "needs root to drop privileges in a child";
    useEnglish();
    TempTree tree;
    ASSERT_EQ(::chmod(tree.root().c_str(), 0755), 0);
    tree.makeFolder("open");
    tree.writeFile("open/notes.txt", "");
    const std::string locked = tree.makeFolder("locked", 0700);
    tree.writeFile("locked/notes.txt", "");
    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0)
        ::_exit(showUnreadableNotice(tree.root(), locked));
    int status = 0;
    ASSERT_TRUE(
        waitUntil([&] { return ::waitpid(child, &status, WNOHANG) == child; }, std::chrono::seconds(90)));
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "could not drop privileges to nobody";
    EXPECT_EQ(WEXITSTATUS(status), 0) << "1 results, 2 no notice, 3 wrong folder named";
}

TEST_F(SearchWindow, ResultsShowTheirLocationAndLineAndOpenTheirFolder) {
    ASSERT_NE(bar, nullptr);
    EXPECT_FALSE(bar->isVisible());
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(bar->isVisible());
    EXPECT_TRUE(bar->queryField()->hasFocus());

    QTest::keyClicks(bar->queryField(), "REPORT");
    QTest::keyClick(bar->queryField(), Qt::Key_Return);
    ASSERT_TRUE(shows({"Report 2024.txt", "report-old.md"}));
    ASSERT_TRUE(settled());
    ASSERT_EQ(model().columnCount(), FileTableModel::kColumns + 1);
    EXPECT_EQ(model().headerData(FileTableModel::locationColumn, Qt::Horizontal, Qt::DisplayRole).toString(),
              text(TextKey::locationColumn));
    const auto location = [&](const std::string &name) {
        return model()
            .data(model().index(rowOf(name), FileTableModel::locationColumn), Qt::DisplayRole)
            .toString();
    };
    EXPECT_EQ(location("Report 2024.txt"), QStringLiteral("sub"));
    EXPECT_EQ(location("report-old.md"), QStringLiteral("."));

    // Open Containing Folder: the folder, with the result selected.
    select({"Report 2024.txt"});
    emit controller->table()->commandRequested(ListCommand::openContainingFolder);
    ASSERT_TRUE(waitUntil(
        [&] { return store->current().url() == tree.path("top/sub") && !store->current().loading; }));
    EXPECT_TRUE(waitUntil([&] { return selectedNames() == std::set<std::string>{"Report 2024.txt"}; }));
    EXPECT_FALSE(store->current().search.has_value());
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(model().columnCount(), FileTableModel::kColumns);
}

TEST_F(SearchWindow, AContentSearchShowsTheLineAndClosingReturnsToTheFolder) {
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
    ASSERT_TRUE(bar->isVisible());
    SearchQuery query = bar->query(tree.path("top"));
    query.text = "figures";
    query.mode = SearchMode::content;
    bar->present(query, SearchBar::Start::thisFolder);
    emit bar->submitted();
    ASSERT_TRUE(shows({"Report 2024.txt", "other.txt"}));
    ASSERT_TRUE(settled());
    const QString tip =
        model()
            .data(model().index(rowOf("Report 2024.txt"), FileTableModel::nameColumn), Qt::ToolTipRole)
            .toString();
    EXPECT_TRUE(tip.endsWith(QStringLiteral("Quarterly FIGURES rose"))) << tip.toStdString();

    // The filter keeps Ctrl+F and narrows the results like a folder's listing.
    QTest::keyClick(window.get(), Qt::Key_F, Qt::ControlModifier);
    EXPECT_TRUE(controller->filterField()->hasFocus());
    QTest::keyClicks(controller->filterField(), "other");
    EXPECT_TRUE(shows({"other.txt"}));
    controller->filterField()->clear();

    // Back leaves the search for the folder.
    QTest::keyClick(window.get(), Qt::Key_Left, Qt::AltModifier);
    EXPECT_TRUE(shows({"sub", "report-old.md", "other.txt"}));
    EXPECT_FALSE(bar->isVisible());
    EXPECT_EQ(store->current().url(), tree.path("top"));
}

TEST_F(SearchWindow, TheLocationHeaderOrdersResultsByFolderBothWays) {
    tree.makeFolder("top/sub/deeper");
    tree.writeFile("top/sub/deeper/a report.txt", "");
    SearchQuery query = bar->query(tree.path("top"));
    query.text = "report";
    bar->present(query, SearchBar::Start::thisFolder);
    emit bar->submitted();
    ASSERT_TRUE(shows({"Report 2024.txt", "report-old.md", "a report.txt"}));
    ASSERT_TRUE(settled());
    const auto names = [&] {
        std::vector<std::string> listed;
        for (int row = 0; row < model().rowCount(); ++row)
            listed.push_back(model().entryAt(row)->name());
        return listed;
    };
    QHeaderView *header = controller->table()->horizontalHeader();
    const auto clickLocation = [&] {
        const int x = header->sectionViewportPosition(FileTableModel::locationColumn) + 10;
        QTest::mouseClick(header->viewport(), Qt::LeftButton, {}, QPoint(x, header->height() / 2));
    };
    clickLocation();
    EXPECT_EQ(store->current().sort, (FileSort{SortColumn::location, true}));
    ASSERT_TRUE(waitUntil([&] { return !store->current().arranging; }));
    EXPECT_EQ(names(), (std::vector<std::string>{"report-old.md", "Report 2024.txt", "a report.txt"}));
    EXPECT_EQ(header->sortIndicatorSection(), FileTableModel::locationColumn);
    clickLocation();
    ASSERT_TRUE(waitUntil([&] { return !store->current().arranging; }));
    EXPECT_EQ(names(), (std::vector<std::string>{"a report.txt", "Report 2024.txt", "report-old.md"}));

    // A folder has no location column: leaving the search sorts by name.
    QTest::keyClick(window.get(), Qt::Key_Left, Qt::AltModifier);
    ASSERT_TRUE(settled());
    EXPECT_EQ(store->current().sort.column, SortColumn::name);
}
