#include "engine/OperationExecutor.h"
#include "core/FileName.h"
#include "core/Location.h"
#include "engine/OperationTestSupport.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/mount.h>
#include <sys/stat.h>

using namespace dromel;
using test::existsAt;
using test::hiddenItemsIn;
using test::namesIn;
using test::problemOf;
using test::requestOf;
using Code = OperationProblem::Code;
using Kind = FileOperationKind;

namespace {

class OperationExecutorTest : public ::testing::Test {
protected:
    OperationExecutorTest() {
        tree.makeFolder("src");
        tree.makeFolder("dst");
        executor.checkpoint = [this](const std::string &label) {
            labels.push_back(label);
            if (hook)
                hook(label);
        };
    }

    PreparedOperation prepare(const FileOperationRequest &request, std::optional<std::string> source) {
        return executor.prepare(request, source, cancel);
    }

    // Prepares and performs one item; the journal sees every step.
    FileOperationResult run(const FileOperationRequest &request, std::optional<std::string> source,
                            ConflictChoice choice = ConflictChoice::keepBoth) {
        const PreparedOperation prepared = prepare(request, std::move(source));
        return executor.perform(prepared, request, choice, FileOperationTask(request), cancel, nullptr);
    }

    std::vector<FileOperationTask> journalled() const { return executor.journal.load(); }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    OperationExecutor executor{OperationJournal(tree.path("state/operations.sqlite"))};
    OperationCancellation cancel;
    std::vector<std::string> labels;
    std::function<void(const std::string &)> hook;
};

using Labels = std::vector<std::string>;

} // namespace

TEST_F(OperationExecutorTest, CopyIntoItsOwnFolderIsAConflictKeptBothWithNumberedNames) {
    const std::string notes = tree.writeFile("src/notes.txt", "mine");
    tree.writeFile("src/notes (2).txt", "two");
    tree.writeFile("src/notes (3).txt", "three");
    const FileOperationRequest request = requestOf(Kind::copy, {notes}, tree.path("src"));
    const PreparedOperation prepared = prepare(request, notes);
    ASSERT_TRUE(prepared.existing);
    EXPECT_EQ(*prepared.existing, prepared.records.front().stamp)
        << "the source itself, no descendant problem";
    ASSERT_TRUE(prepared.conflict());
    EXPECT_FALSE(prepared.conflict()->canReplace);

    const FileOperationResult result = executor.perform(prepared, request, ConflictChoice::keepBoth,
                                                        FileOperationTask(request), cancel, nullptr);
    EXPECT_EQ(result.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(result.destination, tree.path("src/notes (4).txt"));
    EXPECT_EQ(tree.readFile("src/notes (4).txt"), "mine");
    EXPECT_EQ(labels, (Labels{"before-copy", "after-copy", "before-publish", "after-publish"}));
    EXPECT_TRUE(hiddenItemsIn(tree.path("src")).empty());

    EXPECT_EQ(problemOf([&] {
                  executor.perform(prepared, request, ConflictChoice::replace, FileOperationTask(request),
                                   cancel, nullptr);
              }),
              std::nullopt)
        << "perform never throws";
    EXPECT_EQ(
        executor
            .perform(prepared, request, ConflictChoice::replace, FileOperationTask(request), cancel, nullptr)
            .problem->code(),
        Code::unsupported);

    const std::string archive = tree.writeFile("src/archive.tar.gz", "gz");
    EXPECT_EQ(run(requestOf(Kind::copy, {archive}, tree.path("src")), archive).destination,
              tree.path("src/archive.tar (2).gz"));
    const std::string album = tree.makeFolder("src/album");
    tree.writeFile("src/album/track", "t");
    EXPECT_EQ(run(requestOf(Kind::copy, {album}, tree.path("src")), album).destination,
              tree.path("src/album (2)"));
    EXPECT_EQ(tree.readFile("src/album (2)/track"), "t");
}

TEST_F(OperationExecutorTest, NamesThatCannotBeMadeAreRefusedAsTheyStand) {
    const std::string longName(FileName::kMaxBytes, 'n');
    const std::string file = tree.writeFile("src/" + longName, "long");
    const FileOperationRequest request = requestOf(Kind::copy, {file}, tree.path("src"));
    const FileOperationResult result = run(request, file);
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::invalidName) << "a suffix no longer fits: nothing truncated";
    EXPECT_TRUE(labels.empty()) << "refused before anything was written";
    EXPECT_EQ(namesIn(tree.path("src")).size(), 1u);

    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::createDirectory, {}, tree.path("dst"), "a/b"), {}); }),
              Code::invalidName);
    EXPECT_EQ(problemOf([&] {
                  prepare(requestOf(Kind::rename, {file}, std::nullopt, std::string("a\0b", 3)), file);
              }),
              Code::invalidName);
    std::string path;
    EXPECT_EQ(
        problemOf([&] { prepare(requestOf(Kind::rename, {file}, std::nullopt, longName), file); }, &path),
        Code::invalidName)
        << "renaming to the current name";
    EXPECT_EQ(path, file);
}

TEST_F(OperationExecutorTest, MovingIntoItselfOrADescendantIsRefused) {
    const std::string folder = tree.makeFolder("src/folder");
    tree.makeFolder("src/folder/inner");
    EXPECT_EQ(
        problemOf([&] { prepare(requestOf(Kind::move, {folder}, tree.path("src/folder/inner")), folder); }),
        Code::descendant);
    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::move, {folder}, tree.path("src")), folder); }),
              Code::descendant);
    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::copy, {folder}, tree.path("src/folder")), folder); }),
              Code::descendant);
    const std::string sibling = tree.makeFolder("src/folder-2");
    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::move, {sibling}, folder), sibling); }), std::nullopt);
}

TEST_F(OperationExecutorTest, AHardLinkIsNotACaseOnlySpellingOfTheSameItem) {
    const std::string a = tree.writeFile("src/a", "x");
    ASSERT_EQ(::link(a.c_str(), tree.path("src/b").c_str()), 0);
    std::string path;
    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::rename, {a}, std::nullopt, "b"), a); }, &path),
              Code::targetChanged);
    EXPECT_EQ(path, tree.path("src/b"));
}

TEST_F(OperationExecutorTest, SameVolumeMoveLeavesAReceiptAndItsUndoDoesNot) {
    const std::string file = tree.writeFile("src/\xFF name", "bytes");
    const FileOperationRequest request = requestOf(Kind::move, {file}, tree.path("dst"));
    const FileOperationResult result = run(request, file);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(labels, (Labels{"before-move", "after-move"}));
    const std::string moved = tree.path("dst/\xFF name");
    EXPECT_EQ(tree.readFile("dst/\xFF name"), "bytes");
    ASSERT_TRUE(result.undo);
    EXPECT_EQ(result.undo->identity, OperationFS::stamp(moved).identityToken());
    EXPECT_EQ(result.undo->current, moved);
    EXPECT_EQ(result.undo->original, file);
    EXPECT_TRUE(result.recoveryPaths.empty());

    const FileOperationRequest undo(Kind::move, {moved}, tree.path("src"), "\xFF name", false, {},
                                    result.undo);
    const FileOperationResult back = run(undo, moved);
    EXPECT_EQ(back.outcome, ItemOutcome::succeeded);
    EXPECT_FALSE(back.undo) << "an undo leaves no receipt";
    EXPECT_EQ(tree.readFile("src/\xFF name"), "bytes");

    // An undo never acts on another object, nor over one.
    EXPECT_EQ(problemOf([&] { prepare(undo, moved); }), Code::system)
        << "nothing at the receipt's place any more";
    tree.writeFile("dst/\xFF name", "another object");
    EXPECT_EQ(problemOf([&] { prepare(undo, moved); }), Code::sourceChanged);
    const std::string again = tree.writeFile("dst/again", "a");
    const FileOperationResult moveAgain = run(requestOf(Kind::move, {again}, tree.path("src")), again);
    ASSERT_TRUE(moveAgain.undo);
    tree.writeFile("dst/again", "taken");
    const FileOperationRequest blocked(Kind::move, {tree.path("src/again")}, tree.path("dst"), "again", false,
                                       {}, moveAgain.undo);
    EXPECT_EQ(problemOf([&] { prepare(blocked, tree.path("src/again")); }), Code::targetChanged);
}

TEST_F(OperationExecutorTest, ReplaceLeavesTheOldItemInTheTrashAndNoHiddenItem) {
    const std::string newer = tree.writeFile("src/report", "new");
    tree.writeFile("dst/report", "old");
    const FileOperationRequest request = requestOf(Kind::copy, {newer}, tree.path("dst"));
    const PreparedOperation prepared = prepare(request, newer);
    ASSERT_TRUE(prepared.conflict() && prepared.conflict()->canReplace);
    const FileOperationResult result = executor.perform(prepared, request, ConflictChoice::replace,
                                                        FileOperationTask(request), cancel, nullptr);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded)
        << result.problem.value_or(OperationProblem(Code::system, "", "")).what();
    EXPECT_EQ(tree.readFile("dst/report"), "new");
    ASSERT_EQ(result.recoveryPaths.size(), 1u);
    EXPECT_EQ(test::sha256Of(result.recoveryPaths.front()),
              test::sha256Of(tree.writeFile("expected", "old")));
    EXPECT_TRUE(hiddenItemsIn(tree.path("dst")).empty());
    EXPECT_EQ(labels, (Labels{"before-copy", "after-copy", "before-backup", "after-backup", "before-publish",
                              "after-publish", "after-backup-trash"}));
    EXPECT_EQ(tree.readFile("src/report"), "new") << "a copy keeps its source";
}

TEST_F(OperationExecutorTest, AFailedVerificationLeavesOnlyTheStage) {
    const std::string file = tree.writeFile("src/data", "original");
    hook = [&](const std::string &label) {
        if (label == "after-copy")
            for (const std::string &stage : hiddenItemsIn(tree.path("dst")))
                ::truncate(stage.c_str(), 2);
    };
    const FileOperationResult result = run(requestOf(Kind::copy, {file}, tree.path("dst")), file);
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::verification);
    const std::vector<std::string> stages = hiddenItemsIn(tree.path("dst"));
    ASSERT_EQ(stages.size(), 1u);
    EXPECT_EQ(result.problem->path(), stages.front());
    EXPECT_EQ(result.recoveryPaths, stages);
    EXPECT_EQ(Location::lastComponent(stages.front()).rfind(".dromel-copy-", 0), 0u);
    EXPECT_FALSE(existsAt(tree.path("dst/data")));
}

TEST_F(OperationExecutorTest, AFailedPublishPutsTheReplacedItemBack) {
    const std::string newer = tree.writeFile("src/report", "new");
    tree.writeFile("dst/report", "old");
    hook = [&](const std::string &label) {
        if (label == "before-publish")
            for (const std::string &stage : hiddenItemsIn(tree.path("dst")))
                if (Location::lastComponent(stage).starts_with(".dromel-copy-"))
                    tree.writeFile(Location::lastComponent(stage).insert(0, "dst/"), "tampered");
    };
    const FileOperationResult result =
        run(requestOf(Kind::copy, {newer}, tree.path("dst")), newer, ConflictChoice::replace);
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::targetChanged);
    EXPECT_EQ(tree.readFile("dst/report"), "old") << "the backup is back under its name";
    const std::vector<std::string> hidden = hiddenItemsIn(tree.path("dst"));
    ASSERT_EQ(hidden.size(), 1u) << "only the stage is left";
    EXPECT_EQ(result.recoveryPaths, (std::vector<std::string>{hidden.front(), tree.path("dst/report")}));

    // A checkpoint failure right after the backup is made also restores it.
    labels.clear();
    hook = [](const std::string &label) {
        if (label == "after-backup")
            throw OperationProblem(Code::journal, "hook", "");
    };
    const FileOperationResult aborted =
        run(requestOf(Kind::copy, {newer}, tree.path("dst")), newer, ConflictChoice::replace);
    EXPECT_EQ(aborted.problem->code(), Code::journal);
    EXPECT_EQ(tree.readFile("dst/report"), "old");
}

TEST_F(OperationExecutorTest, CancellingAfterVerificationKeepsTheStage) {
    const std::string file = tree.writeFile("src/data", "content");
    hook = [&](const std::string &label) {
        if (label == "after-copy")
            cancel.cancel();
    };
    const FileOperationResult result = run(requestOf(Kind::copy, {file}, tree.path("dst")), file);
    EXPECT_EQ(result.outcome, ItemOutcome::cancelled);
    EXPECT_FALSE(result.problem);
    EXPECT_EQ(result.recoveryPaths, hiddenItemsIn(tree.path("dst")));
    EXPECT_EQ(result.recoveryPaths.size(), 1u);
    EXPECT_FALSE(existsAt(tree.path("dst/data")));
}

TEST_F(OperationExecutorTest, ASourceRewrittenOrATargetAppearingStopsThePublish) {
    const std::string file = tree.writeFile("src/data", "content");
    hook = [&](const std::string &label) {
        if (label == "before-publish")
            tree.writeFile("src/data", "rewritten");
    };
    FileOperationResult result = run(requestOf(Kind::copy, {file}, tree.path("dst"), "other"), file);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->code(), Code::sourceChanged);
    EXPECT_FALSE(existsAt(tree.path("dst/other")));
    EXPECT_EQ(tree.readFile("src/data"), "rewritten");
    EXPECT_EQ(result.recoveryPaths.size(), 1u) << "the verified stage";

    hook = [&](const std::string &label) {
        if (label == "before-move")
            tree.writeFile("src/data", "again");
    };
    result = run(requestOf(Kind::move, {file}, tree.path("dst"), "moved"), file);
    ASSERT_TRUE(result.problem);
    EXPECT_EQ(result.problem->code(), Code::sourceChanged);
    EXPECT_FALSE(existsAt(tree.path("dst/moved")));

    hook = [&](const std::string &label) {
        if (label == "after-copy")
            tree.writeFile("dst/late", "someone else's");
    };
    const std::string late = tree.writeFile("src/late", "mine");
    result = run(requestOf(Kind::copy, {late}, tree.path("dst")), late);
    EXPECT_EQ(result.problem->code(), Code::targetChanged);
    EXPECT_EQ(result.problem->path(), tree.path("dst/late"));
    EXPECT_EQ(tree.readFile("dst/late"), "someone else's") << "never overwritten";
    EXPECT_EQ(result.recoveryPaths.size(), 2u) << "the stage and the target that now exists";
}

TEST_F(OperationExecutorTest, TrashAndCreateReportWhereTheItemIs) {
    const std::string file = tree.writeFile("src/\xC3\x28 old", "bytes");
    const FileOperationResult trashed = run(requestOf(Kind::trash, {file}, std::nullopt), file);
    ASSERT_EQ(trashed.outcome, ItemOutcome::succeeded);
    ASSERT_EQ(trashed.recoveryPaths.size(), 1u);
    EXPECT_EQ(trashed.recoveryPaths.front(), tree.path("data/Trash/files/\xC3\x28 old"));
    EXPECT_EQ(trashed.destination, trashed.recoveryPaths.front());
    EXPECT_FALSE(existsAt(file));

    const FileOperationRequest create = requestOf(Kind::createDirectory, {}, tree.path("dst"), "new");
    EXPECT_EQ(run(create, std::nullopt).outcome, ItemOutcome::succeeded);
    const FileOperationResult again = run(create, std::nullopt);
    EXPECT_EQ(again.problem->code(), Code::system) << "an existing name is reported, never replaced";
    EXPECT_EQ(again.recoveryPaths, (std::vector<std::string>{tree.path("dst/new")}));
    const std::vector<FileOperationTask> journal = journalled();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.front().recoveryPaths, (std::vector<std::string>{tree.path("dst/new")}));
}

TEST_F(OperationExecutorTest, SourceVersionsAreComparedBeforeHashing) {
    const std::string file = tree.writeFile("src/data", "content");
    const FileOperationRequest stale(Kind::copy, {file}, tree.path("dst"), std::nullopt, false,
                                     {{file, "1:2:3:4:5:6:7:8"}}, std::nullopt);
    EXPECT_EQ(problemOf([&] { prepare(stale, file); }), Code::sourceChanged);
    const FileOperationRequest fresh(Kind::copy, {file}, tree.path("dst"), std::nullopt, false,
                                     {{file, OperationFS::stamp(file).token()}}, std::nullopt);
    EXPECT_EQ(run(fresh, file).outcome, ItemOutcome::succeeded);
}

TEST_F(OperationExecutorTest, AMoveToAnotherVolumeEndsWithTheSourceInTheTrash) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    const std::string other = tree.makeFolder("other");
    test::ScopedTmpfs volume(other, 8 << 20);
    ASSERT_TRUE(volume.mounted());
    const std::string folder = tree.makeFolder("src/album");
    tree.writeFile("src/album/a", "aaa");
    tree.makeSymlink("src/album/link", "a");
    const FileOperationResult result = run(requestOf(Kind::move, {folder}, other), folder);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded)
        << result.problem.value_or(OperationProblem(Code::system, "", "")).what();
    EXPECT_FALSE(result.undo) << "no receipt for a move by copying";
    EXPECT_EQ(labels, (Labels{"before-copy", "after-copy", "before-publish", "after-publish",
                              "before-source-trash", "after-source-trash"}));
    EXPECT_EQ(tree.readFile("other/album/a"), "aaa");
    ASSERT_EQ(result.recoveryPaths.size(), 1u);
    EXPECT_EQ(result.recoveryPaths.front(), tree.path("data/Trash/files/album"));
    EXPECT_FALSE(existsAt(folder));
    EXPECT_TRUE(hiddenItemsIn(other).empty());

    // A full disk: the stage stays and is reported with the C library's text.
    const std::string big = tree.writeSizedFile("src/big", 12 << 20);
    const FileOperationResult full = run(requestOf(Kind::copy, {big}, other), big);
    ASSERT_EQ(full.outcome, ItemOutcome::failed);
    EXPECT_EQ(full.problem->code(), Code::system);
    EXPECT_EQ(full.problem->detail(), std::strerror(ENOSPC));
    EXPECT_EQ(full.recoveryPaths, hiddenItemsIn(other));
    EXPECT_EQ(full.recoveryPaths.size(), 1u);
    volume.unmount();
}

TEST_F(OperationExecutorTest, AVolumeWithoutExclusiveRenameNeedsConsentAndCopiesInPlace) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "mounting is not allowed here";
    for (const char *folder : {"lower", "upper", "work", "merged"})
        tree.makeFolder(folder);
    const std::string options = "lowerdir=" + tree.path("lower") + ",upperdir=" + tree.path("upper") +
                                ",workdir=" + tree.path("work");
    const std::string merged = tree.path("merged");
    if (::mount("overlay", merged.c_str(), "overlay", 0, options.c_str()) != 0)
        GTEST_SKIP() << "an overlay mount is not allowed here: " << std::strerror(errno);
    const std::string file = tree.writeFile("src/data", "content", 0640);
    std::string path;
    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::copy, {file}, merged), file); }, &path),
              Code::metadataConsent);
    EXPECT_EQ(path, merged);
    const FileOperationRequest consented = requestOf(Kind::copy, {file}, merged, std::nullopt, true);
    const PreparedOperation prepared = prepare(consented, file);
    EXPECT_FALSE(prepared.atomic);
    const FileOperationResult result = executor.perform(prepared, consented, ConflictChoice::keepBoth,
                                                        FileOperationTask(consented), cancel, nullptr);
    EXPECT_EQ(result.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(test::modeOf(merged + "/data"), 0600u) << "data only";
    EXPECT_TRUE(hiddenItemsIn(merged).empty()) << "written in place, no stage";
    ::umount2(merged.c_str(), MNT_DETACH);
}

// This machine's volumes see "readme" and "README" as two names, so the
// case-only routes are driven by giving the prepared item what a
// case-insensitive volume would have given: the target is the source itself.
TEST_F(OperationExecutorTest, ACaseOnlyRenamePassesThroughAHiddenName) {
    const std::string readme = tree.writeFile("src/readme", "text");
    const FileOperationRequest request = requestOf(Kind::rename, {readme}, std::nullopt, "README");
    PreparedOperation prepared = prepare(request, readme);
    prepared.existing = prepared.records.front().stamp;
    prepared.caseRename = true;
    ASSERT_FALSE(prepared.conflict());
    std::vector<std::string> journalledPaths;
    hook = [&](const std::string &label) {
        if (label == "before-case-rename")
            journalledPaths = journalled().front().recoveryPaths;
    };
    const FileOperationResult result = executor.perform(prepared, request, ConflictChoice::keepBoth,
                                                        FileOperationTask(request), cancel, nullptr);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(labels, (Labels{"before-move", "before-case-rename", "after-move"}));
    ASSERT_EQ(journalledPaths.size(), 3u);
    EXPECT_EQ(Location::lastComponent(journalledPaths[2]).rfind(".dromel-rename-", 0), 0u);
    EXPECT_EQ(namesIn(tree.path("src")), (std::set<std::string>{"README"}));
    EXPECT_EQ(result.undo->original, readme);
}

TEST_F(OperationExecutorTest, ACaseOnlyRenameWithoutExclusiveRenameCopiesOutAndBack) {
    const std::string album = tree.makeFolder("src/album");
    tree.writeFile("src/album/track", "music");
    const FileOperationRequest request = requestOf(Kind::rename, {album}, std::nullopt, "Album");
    PreparedOperation prepared = prepare(request, album);
    prepared.existing = prepared.records.front().stamp;
    prepared.caseRename = true;
    prepared.atomic = false;
    const FileOperationResult result = executor.perform(prepared, request, ConflictChoice::keepBoth,
                                                        FileOperationTask(request), cancel, nullptr);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded)
        << result.problem.value_or(OperationProblem(Code::system, "", "")).what();
    EXPECT_EQ(labels,
              (Labels{"before-case-copy", "verify-case-stage", "before-case-trash", "after-case-trash",
                      "verify-case-target", "after-case-publish", "after-case-cleanup"}));
    EXPECT_EQ(tree.readFile("src/Album/track"), "music");
    EXPECT_EQ(namesIn(tree.path("src")), (std::set<std::string>{"Album"})) << "no stage left behind";
    ASSERT_EQ(result.recoveryPaths.size(), 1u);
    EXPECT_EQ(result.recoveryPaths.front(), tree.path("data/Trash/files/album"));
    EXPECT_EQ(tree.readFile("data/Trash/files/album/track"), "music");
}

TEST_F(OperationExecutorTest, AReadOnlyTargetIsReportedAndNothingIsWritten) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    const std::string locked = tree.makeFolder("locked");
    test::ScopedTmpfs volume(locked, 1 << 20);
    ASSERT_TRUE(volume.mounted());
    ASSERT_EQ(::mount("tmpfs", locked.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
    const std::string file = tree.writeFile("src/file", "content");
    const FileOperationResult result = run(requestOf(Kind::move, {file}, locked), file);
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::system);
    EXPECT_EQ(result.problem->detail(), std::strerror(EROFS));
    EXPECT_TRUE(result.recoveryPaths.empty());
    EXPECT_EQ(tree.readFile("src/file"), "content") << "a move that could not copy keeps its source";
}
