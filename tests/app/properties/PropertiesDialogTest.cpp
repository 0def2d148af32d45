// The properties window over real trees: a folder's count and size grow in
// the background and end equal to what find and du report; closing the
// window stops the count.
#include "properties/PropertiesDialog.h"

#include "desktop/ApplicationDatabase.h"
#include "desktop/OpenWithDialog.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include "../desktop/DesktopHome.h"

#include <QCheckBox>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QPointer>
#include <QProcess>
#include <QPushButton>
#include <gtest/gtest.h>

#include <unistd.h>

using namespace dromel;
using namespace dromel::test;

namespace {

const DesktopHome kHome;

std::string run(const QString &command) {
    QProcess shell;
    shell.start("sh", {"-c", command});
    shell.waitForFinished(60000);
    return QString::fromUtf8(shell.readAllStandardOutput()).trimmed().toStdString();
}

// 10,000 items below the root: folders, files of many sizes, links and a
// second name of one file.
void fill(const TempTree &tree, int folders = 99) {
    for (int folder = 0; folder < folders; ++folder) {
        const std::string name = "big/d" + std::to_string(folder);
        tree.makeFolder(name);
        for (int file = 0; file < 100; ++file)
            tree.writeFile(name + "/f" + std::to_string(file),
                           std::string(static_cast<std::size_t>((folder * 131 + file * 17) % 700), 'x'));
    }
    tree.makeSymlink("big/link", "d1/f1");
    ASSERT_EQ(::link(tree.path("big/d2/f2").c_str(), tree.path("big/second-name").c_str()), 0);
}

} // namespace

TEST(PropertiesDialogTest, FolderCountAndSizeMatchFindAndDuAndGrowWithoutBlocking) {
    TempTree tree;
    tree.makeFolder("big");
    fill(tree);
    QWidget window;
    PropertiesDialog *dialog = PropertiesDialog::show(&window, {tree.path("big")});
    ASSERT_NE(dialog, nullptr);
    // The figures only arrive through the event loop.
    EXPECT_FALSE(dialog->tally().finished);
    int updates = 0;
    std::int64_t last = -1;
    ASSERT_TRUE(waitUntil(
        [&] {
            if (dialog->tally().items != last) {
                last = dialog->tally().items;
                ++updates;
            }
            return dialog->tally().finished;
        },
        std::chrono::seconds(60)));
    // How many partial figures show depends on the machine's speed; at
    // least the final one arrives through the event loop.
    EXPECT_GE(updates, 1);
    const std::string root = tree.path("big");
    EXPECT_EQ(std::to_string(dialog->tally().items),
              run(QString::fromStdString("find '" + root + "' | wc -l")));
    EXPECT_EQ(std::to_string(dialog->tally().bytes),
              run(QString::fromStdString("du -sb '" + root + "' | cut -f1")));
    EXPECT_TRUE(dialog->contentsLabel()->text().contains("10,002 items"))
        << dialog->contentsLabel()->text().toStdString();
    dialog->close();
}

TEST(PropertiesDialogTest, ClosingStopsTheCount) {
    TempTree tree;
    tree.makeFolder("big");
    fill(tree, 10);
    QWidget window;
    QPointer<PropertiesDialog> dialog = PropertiesDialog::show(&window, {tree.path("big")});
    ASSERT_TRUE(waitUntil([&] { return dialog->factsShown(); }));
    dialog->close();
    EXPECT_TRUE(waitUntil([&] { return dialog.isNull(); }));
}

TEST(PropertiesDialogTest, FileShowsItsModeAndSeveralItemsTheirTotals) {
    TempTree tree;
    const std::string file = tree.writeFile("notes.txt", "twelve bytes", 0640);
    tree.makeFolder("folder");
    tree.writeFile("folder/inner", "abc");
    QWidget window;
    PropertiesDialog *single = PropertiesDialog::show(&window, {file});
    ASSERT_TRUE(waitUntil([&] { return single->factsShown() && single->tally().finished; }));
    std::string bits;
    for (QCheckBox *box : single->permissionBoxes())
        bits += box->isChecked() ? '1' : '0';
    EXPECT_EQ(bits, "110100000");
    EXPECT_EQ(single->tally().bytes, 12);

    // The default application is changed from here, for the whole type.
    EXPECT_EQ(single->applicationLabel()->text(), "Recorder List");
    single->changeApplicationButton()->click();
    OpenWithDialog *chooser = nullptr;
    ASSERT_TRUE(waitUntil([&] { return (chooser = single->findChild<OpenWithDialog *>()) != nullptr; }));
    ASSERT_TRUE(waitUntil([&] { return chooser->list()->isEnabled(); }));
    chooser->searchField()->setText("Single");
    chooser->openButton()->click();
    EXPECT_TRUE(waitUntil([&] { return single->applicationLabel()->text() == "Recorder Single"; }));
    EXPECT_TRUE(waitUntil(
        [&] { return ApplicationDatabase::defaultFor("text/plain")->id == "recorder-single.desktop"; }));
    EXPECT_TRUE(kHome.launches().empty());
    single->close();

    PropertiesDialog *several = PropertiesDialog::show(&window, {file, tree.path("folder")});
    ASSERT_TRUE(waitUntil([&] { return several->tally().finished; }));
    EXPECT_EQ(several->tally().items, 3);
    const std::string folderSize = run(QString::fromStdString("stat -c %s '" + tree.path("folder") + "'"));
    EXPECT_EQ(several->tally().bytes, 12 + 3 + std::stoll(folderSize));
    several->close();
}

TEST(PropertiesDialogTest, PermissionsAskForTheChangedBitsOrTheWholeModeForEnclosedItems) {
    TempTree tree;
    tree.makeFolder("folder", 0750);
    const std::string link = tree.makeSymlink("alias", tree.path("folder"));
    QWidget window;
    std::vector<PermissionChange> asked;
    PropertiesDialog *folder = PropertiesDialog::show(&window, {tree.path("folder")});
    folder->onChangePermissions = [&](std::vector<std::string> paths, PermissionChange change) {
        EXPECT_EQ(paths, std::vector<std::string>{tree.path("folder")});
        asked.push_back(change);
    };
    ASSERT_TRUE(waitUntil([&] { return folder->factsShown(); }));
    ASSERT_NE(folder->enclosedBox(), nullptr);
    folder->permissionBoxes()[5]->click(); // group execute off
    folder->applyPermissionsButton()->click();
    folder->permissionBoxes()[6]->click(); // others read on
    folder->enclosedBox()->click();
    folder->applyPermissionsButton()->click();
    ASSERT_EQ(asked.size(), 2u);
    EXPECT_EQ(asked[0], (PermissionChange{0010, 0740, false, {}}));
    EXPECT_EQ(asked[1], (PermissionChange{0777, 0744, true, {}}));
    folder->close();

    // A link has no mode of its own to change.
    PropertiesDialog *alias = PropertiesDialog::show(&window, {link});
    ASSERT_TRUE(waitUntil([&] { return alias->factsShown(); }));
    for (QCheckBox *box : alias->permissionBoxes())
        EXPECT_FALSE(box->isEnabled());
    EXPECT_TRUE(alias->applyPermissionsButton()->isHidden());
    alias->close();
}
