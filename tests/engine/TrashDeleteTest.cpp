#include "core/Location.h"
#include "engine/OperationExecutor.h"
#include "engine/OperationTestSupport.h"
#include "engine/OperationTrash.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

using namespace dromel;
using test::existsAt;
using test::namesIn;
using test::requestOf;
using Code = OperationProblem::Code;
using Kind = FileOperationKind;
using Labels = std::vector<std::string>;

namespace {

class TrashDeleteTest : public ::testing::Test {
protected:
    TrashDeleteTest() {
        executor.checkpoint = [this](const std::string &label) {
            labels.push_back(label);
            if (label == failAt)
                throw OperationProblem(Code::journal, "hook", "");
        };
    }

    FileOperationResult erase(const std::string &item) {
        const FileOperationRequest request = requestOf(Kind::deletePermanently, {item}, std::nullopt);
        try {
            const PreparedOperation prepared = executor.prepare(request, item, cancel);
            return executor.perform(prepared, request, ConflictChoice::keepBoth, FileOperationTask(request),
                                    cancel, nullptr);
        } catch (const OperationProblem &problem) {
            FileOperationResult failed;
            failed.outcome = ItemOutcome::failed;
            failed.problem = problem;
            return failed;
        }
    }

    // A folder holding a file and a link to a folder outside it.
    void makeAlbum(const std::string &relative) {
        tree.makeFolder(relative + "/inner");
        tree.writeFile(relative + "/inner/photo", "pixels");
        tree.makeSymlink(relative + "/outside", tree.path("precious"));
        tree.makeSymlink(relative + "/file-link", tree.path("precious/keep"));
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    OperationExecutor executor{OperationJournal(tree.path("state/operations.sqlite"))};
    OperationCancellation cancel;
    Labels labels;
    std::string failAt;
};

} // namespace

TEST_F(TrashDeleteTest, DeletionRemovesTheItemAndItsRecordButNeverWhatALinkPointsAt) {
    tree.makeFolder("precious");
    tree.writeFile("precious/keep", "treasure");
    makeAlbum("album");
    const std::string item = OperationTrash::trashItem(tree.path("album"));
    ASSERT_NE(tree.readFile("data/Trash/directorysizes").find("album"), std::string::npos);

    const FileOperationResult result = erase(item);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << (result.problem ? result.problem->what() : "");
    EXPECT_EQ(labels, (Labels{"before-delete", "after-stage", "after-record", "after-delete"}));
    // The journal keeps what went: it cannot be brought back.
    ASSERT_TRUE(result.removed);
    EXPECT_EQ(result.removed->path, item);
    EXPECT_EQ(result.removed->bytes, 6);
    EXPECT_EQ(result.removed->items, 5) << "the folder, inner/, its photo and the two links";
    EXPECT_GT(result.removed->modified, 0);
    EXPECT_FALSE(result.removed->identity.empty());
    EXPECT_EQ(FileOperationResult::fromJson(result.toJson()), result);
    EXPECT_TRUE(namesIn(tree.path("data/Trash/files")).empty());
    EXPECT_TRUE(namesIn(tree.path("data/Trash/info")).empty());
    EXPECT_EQ(namesIn(tree.path("data/Trash")), (std::set<std::string>{"directorysizes", "files", "info"}))
        << "nothing left aside";
    EXPECT_EQ(tree.readFile("data/Trash/directorysizes").find("album"), std::string::npos);
    EXPECT_EQ(tree.readFile("precious/keep"), "treasure") << "a link is removed, never followed";

    // Shift+Delete of an ordinary folder: the same, in its own folder.
    makeAlbum("docs/album");
    labels.clear();
    ASSERT_EQ(erase(tree.path("docs/album")).outcome, ItemOutcome::succeeded);
    EXPECT_EQ(labels, (Labels{"before-delete", "after-stage", "after-delete"}));
    EXPECT_TRUE(namesIn(tree.path("docs")).empty());
    EXPECT_EQ(tree.readFile("precious/keep"), "treasure");
    EXPECT_FALSE(existsAt(tree.path("data/Trash/files/album")));

    // A record whose item is gone, as Empty Trash removes it.
    tree.writeFile("data/Trash/info/gone.trashinfo", "[Trash Info]\nPath=/gone\n");
    ASSERT_EQ(erase(tree.path("data/Trash/info/gone.trashinfo")).outcome, ItemOutcome::succeeded);
    EXPECT_TRUE(namesIn(tree.path("data/Trash/info")).empty()) << "nothing left aside";
}

TEST_F(TrashDeleteTest, AnInterruptionLeavesTheItemWholeInTheTrashWithItsRecordOrAside) {
    tree.makeFolder("precious");
    tree.writeFile("precious/keep", "treasure");
    for (const std::string label : {"before-delete", "after-stage", "after-record"}) {
        makeAlbum("album");
        const std::string item = OperationTrash::trashItem(tree.path("album"));
        failAt = label;
        const FileOperationResult result = erase(item);
        ASSERT_EQ(result.outcome, ItemOutcome::failed) << label;
        if (existsAt(item)) {
            EXPECT_TRUE(existsAt(tree.path("data/Trash/info/album.trashinfo")))
                << label << ": an item in the trash keeps its record";
            EXPECT_EQ(tree.readFile("data/Trash/files/album/inner/photo"), "pixels") << label;
        } else {
            ASSERT_EQ(result.recoveryPaths.size(), 1u) << label;
            EXPECT_EQ(
                tree.readFile(result.recoveryPaths.front().substr(tree.root().size() + 1) + "/inner/photo"),
                "pixels")
                << label << ": whole under the name the journal gives";
            test::TempTree::removeAll(result.recoveryPaths.front());
        }
        test::TempTree::removeAll(tree.path("data/Trash"));
    }
    EXPECT_EQ(tree.readFile("precious/keep"), "treasure");

    // A volume mounted inside is never entered.
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "cannot mount tmpfs here";
    failAt.clear();
    const std::string inner = tree.makeFolder("holder/mounted");
    test::ScopedTmpfs mounted(inner, 1 << 20);
    ASSERT_TRUE(mounted.mounted());
    tree.writeFile("holder/mounted/other-volume", "kept");
    EXPECT_EQ(erase(tree.path("holder")).problem->code(), Code::unsupported);
    EXPECT_EQ(tree.readFile("holder/mounted/other-volume"), "kept");
    EXPECT_EQ(erase(inner).problem->code(), Code::unsupported) << "nor is a mount itself removed";
}
