#include "engine/OperationExecutor.h"
#include "core/FileName.h"
#include "core/Location.h"
#include "engine/OperationTestSupport.h"
#include "engine/RewriteOnFirstUse.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstring>

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
        return perform(prepare(request, std::move(source)), request, choice);
    }

    FileOperationResult perform(const PreparedOperation &prepared, const FileOperationRequest &request,
                                ConflictChoice choice = ConflictChoice::keepBoth) {
        return executor.perform(prepared, request, choice, FileOperationTask(request), cancel, nullptr);
    }

    // Copies `file` into `folder`, running `action` at the step `label`.
    FileOperationResult copyWith(const std::string &file, const std::string &folder, const std::string &label,
                                 std::function<void()> action) {
        hook = [label, action](const std::string &step) {
            if (step == label)
                action();
        };
        return run(requestOf(Kind::copy, {file}, folder), file);
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
using Paths = std::vector<std::string>;

std::string whatOf(const FileOperationResult &result) {
    return result.problem ? result.problem->what() : "";
}

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
    EXPECT_EQ(perform(prepared, request, ConflictChoice::replace).problem->code(), Code::unsupported);
    EXPECT_TRUE(labels.empty());

    const FileOperationResult result = perform(prepared, request);
    EXPECT_EQ(result.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(result.destination, tree.path("src/notes (4).txt"));
    EXPECT_EQ(tree.readFile("src/notes (4).txt"), "mine");
    EXPECT_EQ(tree.readFile("src/notes (3).txt"), "three");
    EXPECT_EQ(labels, (Labels{"before-copy", "after-copy", "before-publish", "after-publish"}));
    EXPECT_TRUE(hiddenItemsIn(tree.path("src")).empty());

    const std::string archive = tree.writeFile("src/archive.tar.gz", "gz");
    EXPECT_EQ(run(requestOf(Kind::copy, {archive}, tree.path("src")), archive).destination,
              tree.path("src/archive.tar (2).gz"));
    const std::string album = tree.makeFolder("src/album");
    tree.writeFile("src/album/track", "t");
    EXPECT_EQ(run(requestOf(Kind::copy, {album}, tree.path("src")), album).destination,
              tree.path("src/album (2)"));
    EXPECT_EQ(tree.readFile("src/album (2)/track"), "t");
}

TEST_F(OperationExecutorTest, BadNamesDescendantsHardLinksAndStaleVersionsAreRefusedBeforeAnyWrite) {
    const std::string longName(FileName::kMaxBytes, 'n');
    const std::string file = tree.writeFile("src/" + longName, "long");
    const FileOperationResult result = run(requestOf(Kind::copy, {file}, tree.path("src")), file);
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::invalidName) << "a suffix no longer fits: nothing truncated";
    EXPECT_EQ(namesIn(tree.path("src")).size(), 1u);
    std::string path;
    const auto renaming = [&](std::string name) {
        return problemOf([&] { prepare(requestOf(Kind::rename, {file}, std::nullopt, name), file); }, &path);
    };
    EXPECT_EQ(renaming(std::string("a\0b", 3)), Code::invalidName);
    EXPECT_EQ(renaming(longName), Code::invalidName) << "renaming to the current name";
    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::createDirectory, {}, tree.path("dst"), "a/b"), {}); }),
              Code::invalidName);
    EXPECT_EQ(path, file);

    const std::string folder = tree.makeFolder("dst/folder");
    tree.makeFolder("dst/folder/inner");
    tree.makeSymlink("alias", "dst/folder");
    const auto refusal = [&](Kind kind, const std::string &source, const std::string &target) {
        return problemOf([&] { prepare(requestOf(kind, {source}, target), source); });
    };
    EXPECT_EQ(refusal(Kind::move, folder, tree.path("dst/folder/inner")), Code::descendant);
    EXPECT_EQ(refusal(Kind::move, folder, tree.path("dst")), Code::descendant);
    EXPECT_EQ(refusal(Kind::copy, folder, folder), Code::descendant);
    EXPECT_EQ(refusal(Kind::copy, folder, tree.path("alias/inner")), Code::descendant)
        << "links are resolved";
    EXPECT_EQ(refusal(Kind::move, tree.makeFolder("dst/folder-2"), folder), std::nullopt);

    // A hard link is not a case-only spelling of the same item.
    const std::string a = tree.writeFile("src/a", "x");
    ASSERT_EQ(::link(a.c_str(), tree.path("src/b").c_str()), 0);
    EXPECT_EQ(problemOf([&] { prepare(requestOf(Kind::rename, {a}, std::nullopt, "b"), a); }, &path),
              Code::targetChanged);
    EXPECT_EQ(path, tree.path("src/b"));

    const FileOperationRequest stale(Kind::copy, {a}, tree.path("dst"), std::nullopt, false,
                                     {{a, "1:2:3:4:5:6:7:8"}}, std::nullopt);
    EXPECT_EQ(problemOf([&] { prepare(stale, a); }), Code::sourceChanged);
    EXPECT_TRUE(labels.empty()) << "refused before anything was written";
    const FileOperationRequest fresh(Kind::copy, {a}, tree.path("dst"), std::nullopt, false,
                                     {{a, OperationFS::stamp(a).token()}}, std::nullopt);
    EXPECT_EQ(run(fresh, a).outcome, ItemOutcome::succeeded);
}

TEST_F(OperationExecutorTest, SameVolumeMoveAndItsReverseLeaveReceipts) {
    const std::string file = tree.writeFile("src/\xFF name", "bytes");
    const FileOperationResult result = run(requestOf(Kind::move, {file}, tree.path("dst")), file);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(labels, (Labels{"before-move", "after-move"}));
    const std::string moved = tree.path("dst/\xFF name");
    EXPECT_EQ(tree.readFile("dst/\xFF name"), "bytes");
    ASSERT_TRUE(result.undo);
    EXPECT_EQ(result.undo->identity, OperationFS::stamp(moved).identityToken());
    EXPECT_TRUE(result.recoveryPaths.empty());

    const FileOperationRequest undo(Kind::move, {moved}, tree.path("src"), "\xFF name", false, {},
                                    result.undo);
    const FileOperationResult back = run(undo, moved);
    EXPECT_EQ(back.outcome, ItemOutcome::succeeded);
    ASSERT_TRUE(back.undo) << "a reverse leaves the receipt its redo needs";
    EXPECT_EQ(back.undo->current, file);
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

TEST_F(OperationExecutorTest, ReplaceTrashesTheOldItemAndAFailedPublishPutsItBack) {
    const std::string newer = tree.writeFile("src/report", "new");
    tree.writeFile("dst/report", "old");
    const std::string oldDigest = test::sha256Of(tree.path("dst/report"));
    const FileOperationRequest request = requestOf(Kind::copy, {newer}, tree.path("dst"));
    hook = [&](const std::string &label) {
        if (label == "before-publish")
            for (const std::string &stage : hiddenItemsIn(tree.path("dst")))
                if (Location::lastComponent(stage).starts_with(".dromel-copy-"))
                    tree.writeFile(Location::lastComponent(stage).insert(0, "dst/"), "tampered");
    };
    const FileOperationResult failed = run(request, newer, ConflictChoice::replace);
    ASSERT_EQ(failed.outcome, ItemOutcome::failed);
    EXPECT_EQ(failed.problem->code(), Code::targetChanged);
    EXPECT_EQ(tree.readFile("dst/report"), "old") << "the backup is back under its name";
    EXPECT_TRUE(hiddenItemsIn(tree.path("dst")).empty()) << "the stage is removed";
    EXPECT_EQ(failed.removedStages.size(), 1u);
    EXPECT_TRUE(failed.recoveryPaths.empty()) << "the report is the user's own again, not a leftover";
    tree.makeFolder("dst/v");

    // A checkpoint failure right after the backup is made also restores it.
    hook = [](const std::string &label) {
        if (label == "after-backup")
            throw OperationProblem(Code::journal, "hook", "");
    };
    EXPECT_EQ(run(request, newer, ConflictChoice::replace).problem->code(), Code::journal);
    EXPECT_EQ(tree.readFile("dst/report"), "old");
    EXPECT_TRUE(hiddenItemsIn(tree.path("dst")).empty());

    hook = nullptr;
    labels.clear();
    PreparedOperation prepared = prepare(request, newer);
    ASSERT_TRUE(prepared.conflict() && prepared.conflict()->canReplace);
    EXPECT_EQ(prepared.conflict()->destination, tree.path("dst/report"));
    prepared.atomic = false;
    EXPECT_FALSE(prepared.conflict()->canReplace) << "no replace without exclusive rename";
    const ObjectStamp existing = *prepared.existing;
    prepared.existing = OperationFS::stamp(tree.path("dst/v"));
    EXPECT_FALSE(prepared.conflict()->canReplace);
    EXPECT_TRUE(prepared.conflict()->destinationIsDirectory);
    prepared.atomic = true;
    prepared.existing = existing;
    const FileOperationResult result = perform(prepared, request, ConflictChoice::replace);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << whatOf(result);
    EXPECT_EQ(tree.readFile("dst/report"), "new");
    ASSERT_EQ(result.recoveryPaths.size(), 1u);
    EXPECT_EQ(test::sha256Of(result.recoveryPaths.front()), oldDigest);
    // In the trash under its own name, its record pointing where it was.
    EXPECT_EQ(result.recoveryPaths.front(), tree.path("data/Trash/files/report"));
    EXPECT_NE(
        tree.readFile("data/Trash/info/report.trashinfo").find("\nPath=" + tree.path("dst/report") + "\n"),
        std::string::npos);
    EXPECT_TRUE(hiddenItemsIn(tree.path("dst")).empty());
    EXPECT_EQ(labels, (Labels{"before-copy", "after-copy", "before-backup", "after-backup", "before-publish",
                              "after-publish", "after-backup-trash"}));
    EXPECT_EQ(tree.readFile("src/report"), "new") << "a copy keeps its source";
}

TEST_F(OperationExecutorTest, AnInterruptedCopyNeverPublishesAndRemovesOnlyItsOwnStage) {
    const std::string file = tree.writeFile("src/data", "original");
    const auto stagesIn = [&](const char *folder) { return hiddenItemsIn(tree.path(folder)); };
    const auto endsClean = [&](const FileOperationResult &result, const char *folder) {
        EXPECT_TRUE(stagesIn(folder).empty()) << folder;
        EXPECT_TRUE(result.recoveryPaths.empty()) << folder;
        ASSERT_EQ(result.removedStages.size(), 1u) << folder;
        EXPECT_EQ(Location::lastComponent(result.removedStages.front()).rfind(".dromel-copy-", 0), 0u);
        const std::vector<FileOperationTask> journal = journalled();
        ASSERT_FALSE(journal.empty());
        EXPECT_EQ(journal.front().stages.size(), 1u) << "journalled while it existed";
    };
    FileOperationResult result = copyWith(file, tree.makeFolder("dst/v"), "after-copy", [&] {
        for (const std::string &stage : stagesIn("dst/v"))
            ::truncate(stage.c_str(), 2);
    });
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::verification);
    EXPECT_EQ(result.problem->path(), result.removedStages.at(0));
    endsClean(result, "dst/v");
    EXPECT_FALSE(existsAt(tree.path("dst/v/data")));

    result = copyWith(file, tree.makeFolder("dst/s"), "before-publish",
                      [&] { tree.writeFile("src/data", "rewritten"); });
    EXPECT_EQ(result.problem->code(), Code::sourceChanged);
    EXPECT_FALSE(existsAt(tree.path("dst/s/data")));
    EXPECT_EQ(tree.readFile("src/data"), "rewritten");
    endsClean(result, "dst/s");

    result = copyWith(file, tree.makeFolder("dst/t"), "after-copy",
                      [&] { tree.writeFile("dst/t/data", "someone else's"); });
    EXPECT_EQ(result.problem->code(), Code::targetChanged);
    EXPECT_EQ(result.problem->path(), tree.path("dst/t/data"));
    EXPECT_EQ(tree.readFile("dst/t/data"), "someone else's") << "never overwritten";
    endsClean(result, "dst/t");

    hook = [&](const std::string &label) {
        if (label == "before-move")
            tree.writeFile("src/data", "again");
    };
    result = run(requestOf(Kind::move, {file}, tree.path("dst"), "moved"), file);
    EXPECT_EQ(result.problem->code(), Code::sourceChanged);
    EXPECT_FALSE(existsAt(tree.path("dst/moved")));

    // Something else put where the stage was is not the task's to remove,
    // nor named as its leftover.
    std::string swapped;
    result = copyWith(file, tree.makeFolder("dst/w"), "after-copy", [&] {
        swapped = stagesIn("dst/w").at(0);
        ASSERT_EQ(::rename(swapped.c_str(), tree.path("dst/moved-stage").c_str()), 0);
        tree.writeFile(Location::lastComponent(swapped).insert(0, "dst/w/"), "another program's");
    });
    EXPECT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_TRUE(result.removedStages.empty());
    EXPECT_TRUE(result.recoveryPaths.empty());
    EXPECT_EQ(tree.readFile(Location::lastComponent(swapped).insert(0, "dst/w/")), "another program's");

    result = copyWith(file, tree.makeFolder("dst/c"), "after-copy", [&] { cancel.cancel(); });
    EXPECT_EQ(result.outcome, ItemOutcome::cancelled);
    EXPECT_FALSE(result.problem);
    endsClean(result, "dst/c");
    EXPECT_FALSE(existsAt(tree.path("dst/c/data")));
}

TEST_F(OperationExecutorTest, ASourceRewrittenWhileItIsCopiedIsASourceChangeNotABadCopy) {
    // The source is hashed while it is copied and the stage after: a source
    // rewritten as it is read (after its stamp was checked on the open
    // descriptor) must still be told apart from a copy that went wrong, and
    // is, as the copy ends, before the stage is verified.
    const std::string folder = tree.makeFolder("src/album");
    const std::string file = tree.writeFile("src/album/track", "the version that was prepared");
    const FileOperationRequest request = requestOf(Kind::copy, {folder}, tree.path("dst"));
    const PreparedOperation prepared = prepare(request, folder);
    FileOperationResult result;
    {
        const test::RewriteOnFirstUse rewrite(file, "A DIFFERENT VERSION, same size!",
                                              test::RewriteOnFirstUse::When::read);
        if (!rewrite.available())
            GTEST_SKIP() << "fanotify is not available here: " << std::strerror(errno);
        result = perform(prepared, request);
        ASSERT_TRUE(rewrite.rewritten());
    }
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::sourceChanged) << whatOf(result);
    // The copy, the hashing beside it or the check after them may see it
    // first: the problem names the item or the file in it.
    EXPECT_TRUE(result.problem->path() == folder || result.problem->path() == file) << whatOf(result);
    EXPECT_FALSE(existsAt(tree.path("dst/album"))) << "never published";
    EXPECT_TRUE(hiddenItemsIn(tree.path("dst")).empty());
    EXPECT_EQ(result.removedStages.size(), 1u);
    EXPECT_EQ(labels, (Labels{"before-copy"}));
}

namespace {

// Rewrites a 30-byte file with other bytes of the same size and puts its
// access and modification times back, as a careless sync tool would: only
// the change time still tells.
void rewriteKeepingTimes(const std::string &path) {
    struct stat was {};
    ASSERT_EQ(::stat(path.c_str(), &was), 0);
    const std::string other = "A DIFFERENT VERSION, same size!";
    const int fd = ::open(path.c_str(), O_WRONLY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, other.data(), was.st_size, 0), was.st_size);
    ::close(fd);
    const timespec times[2] = {was.st_atim, was.st_mtim};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

} // namespace

TEST_F(OperationExecutorTest, ASourceRewrittenAfterPreparationWithItsTimesPutBackIsNeverCopied) {
    // Preparation stamps a copy's source without reading it: a same-size
    // rewrite whose writer puts the modification time back before the copy
    // must still show, through the change time, and not as a bad copy.
    const std::string folder = tree.makeFolder("src/album");
    const std::string file = tree.writeFile("src/album/track", "the version that was prepared");
    const FileOperationRequest request = requestOf(Kind::copy, {folder}, tree.path("dst"));
    const PreparedOperation prepared = prepare(request, folder);
    rewriteKeepingTimes(file);

    const FileOperationResult result = perform(prepared, request);
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::sourceChanged) << whatOf(result);
    EXPECT_FALSE(existsAt(tree.path("dst/album")));
    EXPECT_TRUE(hiddenItemsIn(tree.path("dst")).empty());
}

TEST_F(OperationExecutorTest, AStageRewrittenAfterItsHashingWithItsTimesPutBackIsNeverPublished) {
    // Before publishing the stage is checked by its stamps, not hashed again:
    // a same-size rewrite whose writer puts the modification time back must
    // still show, through the change time.
    const std::string folder = tree.makeFolder("src/album");
    tree.writeFile("src/album/track", "the version that was prepared");
    hook = [&](const std::string &label) {
        if (label != "before-publish")
            return;
        const std::string track = hiddenItemsIn(tree.path("dst")).at(0) + "/track";
        rewriteKeepingTimes(track);
    };
    const FileOperationResult result = run(requestOf(Kind::copy, {folder}, tree.path("dst")), folder);
    ASSERT_EQ(result.outcome, ItemOutcome::failed);
    EXPECT_EQ(result.problem->code(), Code::targetChanged) << whatOf(result);
    ASSERT_EQ(result.removedStages.size(), 1u);
    EXPECT_EQ(result.problem->path(), result.removedStages.front());
    EXPECT_FALSE(existsAt(tree.path("dst/album"))) << "nothing under the user's name";
    EXPECT_TRUE(hiddenItemsIn(tree.path("dst")).empty());
}

TEST_F(OperationExecutorTest, TrashAndCreateReportWhereTheItemIs) {
    const std::string file = tree.writeFile("src/\xC3\x28 old", "bytes");
    const FileOperationResult trashed = run(requestOf(Kind::trash, {file}, std::nullopt), file);
    ASSERT_EQ(trashed.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(trashed.recoveryPaths, Paths{tree.path("data/Trash/files/\xC3\x28 old")});
    EXPECT_EQ(trashed.destination, trashed.recoveryPaths.front());
    EXPECT_FALSE(existsAt(file));

    const FileOperationRequest create = requestOf(Kind::createDirectory, {}, tree.path("dst"), "new");
    EXPECT_EQ(run(create, std::nullopt).outcome, ItemOutcome::succeeded);
    tree.writeFile("dst/new/mine", "kept");
    tree.writeFile("dst/new 2", "a file");
    const FileOperationResult again = run(create, std::nullopt);
    ASSERT_EQ(again.outcome, ItemOutcome::succeeded) << "a taken name gives the next free one";
    EXPECT_EQ(again.destination, tree.path("dst/new 3"));
    EXPECT_TRUE(test::namesIn(tree.path("dst/new 3")).empty());
    EXPECT_EQ(tree.readFile("dst/new/mine"), "kept");
    const std::vector<FileOperationTask> journal = journalled();
    ASSERT_FALSE(journal.empty());
    EXPECT_EQ(journal.front().recoveryPaths, Paths{tree.path("dst/new 3")}) << "never the user's folder";

    // A name that cannot take a number refuses; the user's item is not named.
    const std::string longest(FileName::kMaxBytes, 'f');
    tree.makeFolder("dst/" + longest);
    const FileOperationResult full = run(requestOf(Kind::createDirectory, {}, tree.path("dst"), longest), {});
    EXPECT_EQ(full.outcome, ItemOutcome::failed);
    EXPECT_TRUE(full.recoveryPaths.empty());
}

TEST_F(OperationExecutorTest, AMoveToAnotherVolumeTrashesItsSourceOnlyOnceTheCopyIsThere) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    const std::string other = tree.makeFolder("other");
    test::ScopedTmpfs volume(other, 8 << 20);
    ASSERT_TRUE(volume.mounted());
    const std::string folder = tree.makeFolder("src/album");
    tree.writeFile("src/album/a", "aaa");
    tree.makeSymlink("src/album/link", "a");
    const FileOperationResult result = run(requestOf(Kind::move, {folder}, other), folder);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded) << whatOf(result);
    ASSERT_TRUE(result.undo);
    EXPECT_EQ(result.undo->current, tree.path("other/album"));
    EXPECT_EQ(result.undo->identity, OperationFS::stamp(tree.path("other/album")).identityToken());
    EXPECT_EQ(labels, (Labels{"before-copy", "after-copy", "before-publish", "after-publish",
                              "before-source-trash", "after-source-trash"}));
    EXPECT_EQ(tree.readFile("other/album/a"), "aaa");
    EXPECT_EQ(result.recoveryPaths, Paths{tree.path("data/Trash/files/album")});
    EXPECT_FALSE(existsAt(folder));
    EXPECT_TRUE(hiddenItemsIn(other).empty());

    // A full disk: reported with the C library's text, and the partial
    // stage, the task's own scratch, is gone again.
    const std::string big = tree.writeSizedFile("src/big", 12 << 20);
    const FileOperationResult full = run(requestOf(Kind::copy, {big}, other), big);
    ASSERT_EQ(full.outcome, ItemOutcome::failed);
    EXPECT_EQ(full.problem->code(), Code::system);
    EXPECT_EQ(full.problem->detail(), std::strerror(ENOSPC));
    EXPECT_TRUE(hiddenItemsIn(other).empty());
    EXPECT_TRUE(full.recoveryPaths.empty());
    EXPECT_EQ(full.removedStages.size(), 1u);

    ASSERT_EQ(::mount("tmpfs", other.c_str(), "tmpfs", MS_REMOUNT | MS_RDONLY, nullptr), 0);
    const std::string file = tree.writeFile("src/file", "content");
    const FileOperationResult locked = run(requestOf(Kind::move, {file}, other), file);
    ASSERT_EQ(locked.outcome, ItemOutcome::failed);
    EXPECT_EQ(locked.problem->detail(), std::strerror(EROFS));
    EXPECT_TRUE(locked.recoveryPaths.empty());
    EXPECT_EQ(tree.readFile("src/file"), "content") << "a move that could not copy keeps its source";
    volume.unmount();
}

TEST_F(OperationExecutorTest, AnOverlayVolumeTakesItemsExclusivelyWithEverythingTheyHave) {
    test::OverlayMount overlay(tree.root());
    if (!overlay.mounted())
        GTEST_SKIP() << "an overlay mount is not allowed here: " << std::strerror(errno);
    const std::string merged = overlay.path();
    const std::string file = tree.writeFile("src/data", "content", 0751);
    const FileOperationRequest request = requestOf(Kind::copy, {file}, merged);
    const PreparedOperation prepared = prepare(request, file);
    EXPECT_TRUE(prepared.atomic) << "the volume itself was asked, not a table";
    EXPECT_EQ(perform(prepared, request).outcome, ItemOutcome::succeeded);
    EXPECT_EQ(tree.readFile("merged/data"), "content");
    EXPECT_EQ(test::modeOf(merged + "/data"), 0751u);
    EXPECT_TRUE(hiddenItemsIn(merged).empty());
}

// This machine's volumes see "readme" and "README" as two names, so the
// case-only routes are driven by giving the prepared item what a
// case-insensitive volume would have given: the target is the source itself.
TEST_F(OperationExecutorTest, ACaseOnlyRenamePassesThroughAHiddenNameOrCopiesOutAndBack) {
    const std::string readme = tree.writeFile("src/readme", "text");
    const FileOperationRequest request = requestOf(Kind::rename, {readme}, std::nullopt, "README");
    PreparedOperation prepared = prepare(request, readme);
    prepared.existing = prepared.records.front().stamp;
    prepared.caseRename = true;
    ASSERT_FALSE(prepared.conflict());
    Paths journalledPaths;
    hook = [&](const std::string &label) {
        if (label == "before-case-rename")
            journalledPaths = journalled().front().recoveryPaths;
    };
    const FileOperationResult result = perform(prepared, request);
    ASSERT_EQ(result.outcome, ItemOutcome::succeeded);
    EXPECT_EQ(labels, (Labels{"before-move", "before-case-rename", "after-move"}));
    ASSERT_EQ(journalledPaths.size(), 3u);
    EXPECT_EQ(Location::lastComponent(journalledPaths[2]).rfind(".dromel-rename-", 0), 0u);
    EXPECT_EQ(result.undo->original, readme);

    hook = nullptr;
    labels.clear();
    const std::string album = tree.makeFolder("src/album");
    tree.writeFile("src/album/track", "music");
    const FileOperationRequest copying = requestOf(Kind::rename, {album}, std::nullopt, "Album");
    prepared = prepare(copying, album);
    prepared.existing = prepared.records.front().stamp;
    prepared.caseRename = true;
    prepared.atomic = false;
    const FileOperationResult copied = perform(prepared, copying);
    ASSERT_EQ(copied.outcome, ItemOutcome::succeeded) << whatOf(copied);
    EXPECT_EQ(labels,
              (Labels{"before-case-copy", "verify-case-stage", "before-case-trash", "after-case-trash",
                      "verify-case-target", "after-case-publish", "after-case-cleanup"}));
    EXPECT_EQ(tree.readFile("src/Album/track"), "music");
    EXPECT_EQ(namesIn(tree.path("src")), (std::set<std::string>{"Album", "README"})) << "no stage left";
    EXPECT_EQ(copied.recoveryPaths, Paths{tree.path("data/Trash/files/album")});
    EXPECT_EQ(tree.readFile("data/Trash/files/album/track"), "music");
}
