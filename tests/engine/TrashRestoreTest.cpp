#include "core/Location.h"
#include "engine/OperationExecutor.h"
#include "engine/OperationTestSupport.h"
#include "engine/OperationTrash.h"
#include "engine/TrashListing.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/wait.h>
#include <unistd.h>

#include <cstdlib>

using namespace dromel;
using test::existsAt;
using test::requestOf;
using Code = OperationProblem::Code;
using Kind = FileOperationKind;
using Labels = std::vector<std::string>;

namespace {

class TrashRestoreTest : public ::testing::Test {
protected:
    TrashRestoreTest() {
        executor.checkpoint = [this](const std::string &label) { labels.push_back(label); };
    }

    FileOperationResult restore(const std::string &item, ConflictChoice choice = ConflictChoice::keepBoth) {
        const FileOperationRequest request = requestOf(Kind::restore, {item}, std::nullopt);
        try {
            const PreparedOperation prepared = executor.prepare(request, item, cancel);
            return executor.perform(prepared, request, choice, FileOperationTask(request), cancel, nullptr);
        } catch (const OperationProblem &problem) {
            FileOperationResult failed;
            failed.outcome = ItemOutcome::failed;
            failed.problem = problem;
            return failed;
        }
    }

    std::string trashed(const std::string &relative) {
        return OperationTrash::trashItem(tree.path(relative));
    }

    // Runs a shell line with the test's data home; its exit status.
    int shell(const std::string &line) const {
        return std::system(
            ("XDG_DATA_HOME='" + tree.path("data") + "' " + line + " >/dev/null 2>&1").c_str());
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    OperationExecutor executor{OperationJournal(tree.path("state/operations.sqlite"))};
    OperationCancellation cancel;
    Labels labels;
};

} // namespace

TEST_F(TrashRestoreTest, ItemsGoBackToTheirPathWithMissingFoldersMadeAndTheirRecordGone) {
    tree.makeFolder("docs/deep/album/inner");
    tree.writeFile("docs/deep/album/inner/a", "aaa");
    const std::string item = trashed("docs/deep/album");
    test::TempTree::removeAll(tree.path("docs"));
    EXPECT_EQ(test::problemOf(
                  [&] { executor.prepare(requestOf(Kind::trash, {item}, std::nullopt), item, cancel); }),
              Code::unsupported)
        << "an item of the trash is not trashed again";
    ASSERT_NE(tree.readFile("data/Trash/directorysizes").find("album"), std::string::npos);

    const FileOperationResult result = restore(item);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << (result.problem ? result.problem->what() : "");
    EXPECT_EQ(tree.readFile("docs/deep/album/inner/a"), "aaa");
    EXPECT_FALSE(existsAt(item));
    EXPECT_TRUE(test::namesIn(tree.path("data/Trash/info")).empty()) << "the record goes with the item";
    EXPECT_EQ(tree.readFile("data/Trash/directorysizes").find("album"), std::string::npos);
    EXPECT_EQ(labels, (Labels{"before-restore", "after-restore", "after-record"}));
    ASSERT_TRUE(result.undo) << "a restore can be undone";
    EXPECT_EQ(result.undo->current, tree.path("docs/deep/album"));
    EXPECT_EQ(result.undo->original, item);

    // Dragged out onto a folder: there, under the name it had.
    tree.writeFile("note", "n");
    const std::string note = trashed("note");
    tree.makeFolder("elsewhere");
    const FileOperationRequest into = requestOf(Kind::restore, {note}, tree.path("elsewhere"));
    EXPECT_EQ(executor
                  .perform(executor.prepare(into, note, cancel), into, ConflictChoice::keepBoth,
                           FileOperationTask(into), cancel, nullptr)
                  .outcome,
              ItemOutcome::succeeded);
    EXPECT_EQ(tree.readFile("elsewhere/note"), "n");
    EXPECT_FALSE(existsAt(tree.path("data/Trash/info/note.trashinfo")));

    // Nothing outside the user's trashes, nothing without a usable record.
    tree.makeFolder("fake/files");
    tree.makeFolder("fake/info");
    tree.writeFile("fake/files/x", "x");
    tree.writeFile("fake/info/x.trashinfo", "[Trash Info]\nPath=" + tree.path("escaped") + "\n");
    EXPECT_EQ(restore(tree.path("fake/files/x")).problem->code(), Code::unsupported);
    tree.writeFile("data/Trash/files/stray", "no record");
    EXPECT_EQ(restore(tree.path("data/Trash/files/stray")).problem->code(), Code::unsupported);
    EXPECT_EQ(tree.readFile("data/Trash/files/stray"), "no record");
}

TEST_F(TrashRestoreTest, ATakenNameIsKeptBothSkippedOrReplacedIntoTheTrash) {
    tree.writeFile("report", "old");
    const std::string item = trashed("report");
    tree.writeFile("report", "new");

    EXPECT_EQ(restore(item, ConflictChoice::skip).outcome, ItemOutcome::skipped);
    EXPECT_EQ(tree.readFile("data/Trash/files/report"), "old");

    FileOperationResult replaced = restore(item, ConflictChoice::replace);
    ASSERT_EQ(replaced.outcome, ItemOutcome::succeeded) << (replaced.problem ? replaced.problem->what() : "");
    EXPECT_EQ(tree.readFile("report"), "old");
    EXPECT_EQ(tree.readFile("data/Trash/files/report"), "new") << "the replaced item, under its own name";
    EXPECT_NE(tree.readFile("data/Trash/info/report.trashinfo").find("Path=" + tree.path("report") + "\n"),
              std::string::npos);
    EXPECT_TRUE(test::hiddenItemsIn(tree.root()).empty()) << "nothing left aside";

    const FileOperationResult both = restore(tree.path("data/Trash/files/report"), ConflictChoice::keepBoth);
    ASSERT_EQ(both.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(tree.readFile("report (2)"), "new");
    EXPECT_EQ(tree.readFile("report"), "old");

    // Refused once the item in the trash changed after it was prepared.
    tree.writeFile("later", "1");
    const std::string later = trashed("later");
    const FileOperationRequest request = requestOf(Kind::restore, {later}, std::nullopt);
    const PreparedOperation prepared = executor.prepare(request, later, cancel);
    tree.writeFile("data/Trash/files/later", "changed");
    EXPECT_EQ(
        executor
            .perform(prepared, request, ConflictChoice::keepBoth, FileOperationTask(request), cancel, nullptr)
            .problem->code(),
        Code::sourceChanged);
    EXPECT_FALSE(existsAt(tree.path("later")));
}

TEST_F(TrashRestoreTest, VolumeTrashesAndOtherClientsItemsComeBackWithTheirBytesAndNames) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here";
    const std::string volume = tree.makeFolder("volume");
    test::ScopedTmpfs mounted(volume, 4 << 20);
    ASSERT_TRUE(mounted.mounted());
    tree.makeFolder("volume/photos");
    tree.writeFile("volume/photos/cat.jpg", "meow");
    const std::string onVolume = trashed("volume/photos/cat.jpg");
    test::TempTree::removeAll(tree.path("volume/photos"));
    ASSERT_EQ(restore(onVolume).outcome, ItemOutcome::succeeded);
    EXPECT_EQ(tree.readFile("volume/photos/cat.jpg"), "meow");

    // Trashed by gio and by trash-cli, a name that is not UTF-8 among them.
    tree.writeFile("gio-\xE9.txt", "from gio");
    tree.writeFile("cli.txt", "from trash-cli");
    tree.writeFile("volume/cli-volume.txt", "from trash-cli on the volume");
    if (shell("command -v gio") != 0 || shell("command -v trash-put") != 0)
        GTEST_SKIP() << "gio (libglib2.0-bin) or trash-put (trash-cli) missing";
    ASSERT_EQ(shell("gio trash '" + tree.path("gio-\xE9.txt") + "'"), 0);
    ASSERT_EQ(shell("trash-put '" + tree.path("cli.txt") + "'"), 0);
    ASSERT_EQ(shell("trash-put '" + tree.path("volume/cli-volume.txt") + "'"), 0);
    std::vector<std::string> ours;
    for (const std::string &trash : TrashListing::trashFolders())
        if (trash.starts_with(tree.root()))
            ours.push_back(trash);
    std::vector<TrashedItem> items = TrashListing::list(ours, cancel);
    ASSERT_EQ(items.size(), 3u);
    for (const TrashedItem &item : items) {
        ASSERT_EQ(item.state, TrashedItem::State::restorable) << item.name;
        ASSERT_EQ(restore(item.itemPath()).outcome, ItemOutcome::succeeded) << item.name;
    }
    EXPECT_EQ(tree.readFile("gio-\xE9.txt"), "from gio");
    EXPECT_EQ(tree.readFile("cli.txt"), "from trash-cli");
    EXPECT_EQ(tree.readFile("volume/cli-volume.txt"), "from trash-cli on the volume");
    EXPECT_TRUE(TrashListing::list(ours, cancel).empty());

    // And the other way: trash-cli lists and restores what Dromel trashed.
    trashed("cli.txt");
    ASSERT_EQ(shell("trash-list | grep -qF '" + tree.path("cli.txt") + "'"), 0);
    ASSERT_EQ(shell("cd '" + tree.root() + "' && echo 0 | trash-restore '" + tree.root() + "'"), 0);
    EXPECT_EQ(tree.readFile("cli.txt"), "from trash-cli");
}
