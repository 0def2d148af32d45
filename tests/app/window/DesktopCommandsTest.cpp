// The window's desktop commands on the real window, store, file commands and
// journal over real folders, with the test's own application database: the
// context menus, Open With, New Document, Copy To, the terminal and the
// status line's figures.
#include "window/DesktopCommands.h"

#include "commands/FileCommandController.h"
#include "commands/FileCommandsBinding.h"
#include "properties/PropertiesDialog.h"
#include "support/StoreFixture.h"
#include "table/FileTable.h"
#include "table/FileTableModel.h"
#include "window/BrowserController.h"

#include "../desktop/DesktopHome.h"

#include <QCheckBox>
#include <QFileDialog>
#include <QLabel>
#include <QMainWindow>
#include <QMenu>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

using namespace dromel;
using namespace dromel::test;

namespace {

const DesktopHome kHome;

QStringList texts(const QMenu &menu) {
    QStringList result;
    for (QAction *action : menu.actions())
        result << (action->isSeparator() ? QStringLiteral("|") : action->text());
    return result;
}

std::string slurp(const std::string &path) {
    std::ifstream in(path);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

QMenu *submenu(const QMenu &menu, const QString &title) {
    for (QAction *action : menu.actions())
        if (action->menu() && action->text() == title)
            return action->menu();
    return nullptr;
}

QAction *entry(const QMenu &menu, const QString &title) {
    for (QAction *action : menu.actions())
        if (action->text() == title)
            return action;
    return nullptr;
}

class DesktopCommandsTest : public ::testing::Test, protected StoreFixture {
protected:
    DesktopCommandsTest() : state("XDG_STATE_HOME", tree.makeFolder("state")) {
        kHome.addTemplates();
        kHome.forgetLaunches();
        tree.makeFolder("work");
        tree.makeFolder("work/inner");
        tree.makeFolder("elsewhere");
        tree.writeFile("work/notes.txt", "some notes\n");
    }
    ~DesktopCommandsTest() override {
        if (controller) {
            EXPECT_TRUE(controller->desktopCommands().waitForIdleForTesting(10000));
        }
        window.reset();
        store.reset();
    }

    void open() {
        useEnglish();
        makeStore({tree.path("work")});
        window = std::make_unique<QMainWindow>();
        controller = new BrowserController(*store, tree.path("work"), window.get());
        window->setCentralWidget(controller);
        controller->installToolbar(window.get());
        commands = FileCommandsBinding::attach(*controller, *store, tree.path("state/operations.sqlite"));
        window->resize(1000, 700);
        window->show();
        store->startMonitoring();
        store->refresh();
        ASSERT_TRUE(waitUntil([&] { return commands->ready() && !store->current().loading; }));
    }
    // As a click on the row would.
    void select(const std::string &name) {
        FileTable &table = *controller->table();
        for (int row = 0; row < table.fileModel().rowCount(); ++row)
            if (table.fileModel().entryAt(row)->name() == name)
                table.selectRow(row);
        ASSERT_TRUE(waitUntil(
            [&] { return store->selected().size() == 1 && store->selected().front().name() == name; }));
    }
    std::unique_ptr<QMenu> menu() const {
        return std::unique_ptr<QMenu>(controller->table()->makeContextMenu(window.get()));
    }
    bool finished(std::size_t tasks) const {
        return waitUntil(
            [&] { return commands->service().tasks().size() == tasks && !commands->service().busy(); },
            std::chrono::seconds(10));
    }
    // Journal rows that name `text`, read by the sqlite3 client.
    int journalRows(const std::string &text) const {
        QProcess sqlite;
        // The service may be writing (the undo history follows each task).
        sqlite.start("sqlite3",
                     {"-cmd", ".timeout 3000", QString::fromStdString(tree.path("state/operations.sqlite")),
                      QString::fromStdString("SELECT count(*) FROM operations WHERE CAST(payload AS TEXT) "
                                             "LIKE '%" +
                                             text + "%'")});
        sqlite.waitForFinished(10000);
        return sqlite.readAllStandardOutput().trimmed().toInt();
    }

    ScopedEnv state;
    std::unique_ptr<QMainWindow> window;
    BrowserController *controller = nullptr;
    FileCommandController *commands = nullptr;
};

} // namespace

TEST_F(DesktopCommandsTest, ItemMenuFollowsThePeersAndOpenWithLaunchesTheChosenApplication) {
    open();
    select("notes.txt");
    const std::unique_ptr<QMenu> items = menu();
    EXPECT_EQ(texts(*items), QStringList({"Open", "Open With", "Preview", "|", "Cut", "Copy", "Copy To…",
                                          "Move To…", "Make Link", "|", "Rename", "Move to Trash", "|",
                                          "Copy Path", "Show in File Manager", "|", "Properties"}))
        << texts(*items).join(", ").toStdString();
    QMenu *openWith = submenu(*items, "Open With");
    ASSERT_NE(openWith, nullptr);
    ASSERT_TRUE(waitUntil([&] { return entry(*openWith, "Recorder List") != nullptr; }));
    EXPECT_EQ(texts(*openWith), QStringList({"Recorder List", "|", "Other Application…"}));
    entry(*openWith, "Recorder List")->trigger();
    EXPECT_TRUE(waitUntil([&] { return !kHome.launches().empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(kHome.launches(), std::vector<std::string>{"list|" + tree.path("work/notes.txt")});

    // A folder opens in a new tab and in the terminal.
    select("inner");
    const std::unique_ptr<QMenu> folder = menu();
    EXPECT_NE(entry(*folder, "Open in New Tab"), nullptr);
    EXPECT_NE(entry(*folder, "Open in Terminal"), nullptr);
    EXPECT_NE(entry(*folder, "Paste into Folder"), nullptr);
    EXPECT_EQ(submenu(*folder, "Open With"), nullptr);
}

TEST_F(DesktopCommandsTest, NewDocumentCopiesTheTemplateThroughTheEngineAndAsksWhenTheNameIsTaken) {
    open();
    const std::unique_ptr<QMenu> empty = menu();
    EXPECT_EQ(texts(*empty).mid(0, 2), QStringList({"New Folder", "New Document"}));
    EXPECT_NE(entry(*empty, "Show Hidden Files"), nullptr);
    QMenu *documents = submenu(*empty, "New Document");
    ASSERT_NE(documents, nullptr);
    ASSERT_TRUE(waitUntil([&] { return entry(*documents, "Text Document") != nullptr; }));
    entry(*documents, "Text Document")->trigger();
    ASSERT_TRUE(finished(1));
    EXPECT_EQ(tree.readFile("work/Text Document.txt"), "template\n");
    EXPECT_GE(journalRows("Text Document"), 1);

    // Again: the name is taken, so the clash sheet asks. (The new document
    // is selected; the empty space's menu is the one without a selection.)
    ASSERT_TRUE(waitUntil([&] { return store->selected().size() == 1; }));
    controller->table()->clearSelection();
    ASSERT_TRUE(waitUntil([&] { return store->selected().empty(); }));
    const std::unique_ptr<QMenu> again = menu();
    QMenu *more = submenu(*again, "New Document");
    ASSERT_NE(more, nullptr);
    ASSERT_TRUE(waitUntil([&] { return entry(*more, "Text Document") != nullptr; }));
    entry(*more, "Text Document")->trigger();
    EXPECT_TRUE(waitUntil([&] { return commands->openQuestion() != nullptr; }));
}

TEST_F(DesktopCommandsTest, CopyToAndMoveToGoThroughTheEngineToTheChosenFolder) {
    open();
    select("notes.txt");
    controller->desktopCommands().run(ListCommand::copyTo);
    QFileDialog *chooser = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (chooser = window->findChild<QFileDialog *>()) != nullptr; }));
    emit chooser->fileSelected(QString::fromStdString(tree.path("elsewhere")));
    chooser->close();
    ASSERT_TRUE(finished(1));
    EXPECT_EQ(tree.readFile("elsewhere/notes.txt"), "some notes\n");
    EXPECT_EQ(tree.readFile("work/notes.txt"), "some notes\n");
    EXPECT_GE(journalRows("elsewhere"), 1);

    // Moving onto the copy: the clash sheet asks.
    controller->desktopCommands().run(ListCommand::moveTo);
    ASSERT_TRUE(waitUntil([&] { return (chooser = window->findChild<QFileDialog *>()) != nullptr; }));
    emit chooser->fileSelected(QString::fromStdString(tree.path("elsewhere")));
    chooser->close();
    EXPECT_TRUE(waitUntil([&] { return commands->openQuestion() != nullptr; }));
}

TEST_F(DesktopCommandsTest, TerminalStartsInTheFolderAndStatusShowsFreeSpaceAndSelectionSize) {
    open();
    const std::string record = tree.path("terminal");
    const std::string recorder =
        tree.writeFile("term.sh", "#!/bin/sh\necho \"$PWD $*\" > '" + record + "'\n", 0755);
    controller->desktopCommands().setEnvironmentForTesting(
        [&](const char *name) -> std::optional<std::string> {
            if (std::string_view(name) == "TERMINAL")
                return recorder + " --hold";
            return std::nullopt;
        });
    select("inner");
    controller->desktopCommands().run(ListCommand::openInTerminal);
    ASSERT_TRUE(waitUntil([&] { return !slurp(record).empty(); }, std::chrono::seconds(10)));
    EXPECT_EQ(slurp(record), tree.path("work/inner") + " --hold\n");

    select("notes.txt");
    EXPECT_TRUE(waitUntil([&] { return controller->statusLabel()->text().contains(" free"); }))
        << controller->statusLabel()->text().toStdString();
    EXPECT_TRUE(controller->statusLabel()->text().contains("1 selected (11 bytes)"))
        << controller->statusLabel()->text().toStdString();
}

TEST_F(DesktopCommandsTest, MakeLinkAndPermissionsGoThroughTheEngineAndAreUndone) {
    open();
    select("notes.txt");
    const std::string notes = tree.path("work/notes.txt");
    entry(*menu(), "Make Link")->trigger();
    ASSERT_TRUE(finished(1));
    char target[4096] = {};
    ASSERT_GT(::readlink(tree.path("work/Link to notes.txt").c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), notes);
    EXPECT_GE(journalRows("makeLink"), 1);

    // The item's properties: others may write, then undo.
    select("notes.txt");
    controller->desktopCommands().run(ListCommand::properties);
    PropertiesDialog *dialog = nullptr;
    ASSERT_TRUE(waitUntil([&] {
        dialog = window->findChild<PropertiesDialog *>();
        return dialog && dialog->factsShown();
    }));
    EXPECT_EQ(dialog->enclosedBox(), nullptr) << "a file encloses nothing";
    ASSERT_FALSE(dialog->applyPermissionsButton()->isEnabled());
    dialog->permissionBoxes()[7]->click();
    dialog->applyPermissionsButton()->click();
    ASSERT_TRUE(finished(2));
    struct stat info {};
    ASSERT_EQ(::stat(notes.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0646u);
    EXPECT_GE(journalRows("changePermissions"), 1);
    dialog->close();
    commands->undo();
    ASSERT_TRUE(finished(3));
    ASSERT_EQ(::stat(notes.c_str(), &info), 0);
    EXPECT_EQ(info.st_mode & 0777, 0644u);

    // A name taken: the clash sheet asks.
    select("notes.txt");
    entry(*menu(), "Make Link")->trigger();
    EXPECT_TRUE(waitUntil([&] { return commands->openQuestion() != nullptr; }));
}
