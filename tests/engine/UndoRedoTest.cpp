#include "engine/OperationService.h"
#include "engine/OperationTestSupport.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <fstream>

using namespace dromel;
using test::existsAt;
using test::requestOf;
using test::waitUntil;
using Kind = FileOperationKind;
using namespace std::chrono_literals;

namespace {

class UndoRedoTest : public ::testing::Test {
protected:
    UndoRedoTest() {
        tree.makeFolder("src");
        tree.makeFolder("dst");
        tree.makeFolder("data/Trash/files");
        tree.makeFolder("data/Trash/info");
    }

    std::unique_ptr<OperationService> started() {
        auto service = std::make_unique<OperationService>(journalPath);
        bool done = false;
        service->start([&] { done = true; });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        EXPECT_TRUE(service->ready());
        return service;
    }

    FileOperationTask finished(OperationService &service, const Uuid &id) {
        EXPECT_TRUE(waitUntil(
            [&] { return service.task(id) && isTerminal(service.task(id)->phase) && !service.busy(); }, 20s));
        if (const FileOperationTask *task = service.task(id))
            return *task;
        return FileOperationTask(requestOf(Kind::copy, {}, std::nullopt));
    }

    FileOperationTask run(OperationService &service, FileOperationRequest request) {
        std::optional<std::optional<Uuid>> id;
        service.submit(std::move(request), [&](std::optional<Uuid> admitted) { id = admitted; });
        EXPECT_TRUE(waitUntil([&] { return id.has_value(); }));
        EXPECT_TRUE(id && *id);
        return finished(service, id->value_or(Uuid::random()));
    }

    // Undoes (or redoes) the last command and returns its task.
    FileOperationTask reverse(OperationService &service, bool redo = false) {
        std::optional<std::optional<Uuid>> id;
        const auto answer = [&](std::optional<Uuid> submitted) { id = submitted; };
        redo ? service.redoLast(answer) : service.undoLast(answer);
        EXPECT_TRUE(waitUntil([&] { return id.has_value(); }));
        EXPECT_TRUE(id && *id) << "nothing submitted";
        return finished(service, id->value_or(Uuid::random()));
    }

    static void append(const std::string &path, const std::string &text) {
        std::ofstream(path, std::ios::app) << text;
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    const std::string journalPath = tree.path("state/operations.sqlite");
};

} // namespace

TEST_F(UndoRedoTest, ACopyGoesToTheTrashAndComesBackOnRedo) {
    auto service = started();
    const std::string file = tree.writeFile("src/note", "words");
    tree.makeFolder("src/album");
    tree.writeFile("src/album/a", "aaa");
    const std::string album = tree.path("src/album");
    run(*service, requestOf(Kind::copy, {file, album}, tree.path("dst")));
    ASSERT_TRUE(service->canUndo());
    EXPECT_EQ(service->nextUndo()->command, Kind::copy);
    EXPECT_EQ(service->nextUndo()->count, 2u);

    const FileOperationTask undo = reverse(*service);
    EXPECT_EQ(undo.request.kind(), Kind::trash);
    EXPECT_EQ(undo.phase, OperationPhase::completed);
    EXPECT_TRUE(test::namesIn(tree.path("dst")).empty());
    EXPECT_EQ(tree.readFile("data/Trash/files/album/a"), "aaa");
    EXPECT_EQ(tree.readFile("src/note"), "words") << "the originals are not touched";
    EXPECT_FALSE(service->canUndo());
    ASSERT_TRUE(service->canRedo());
    EXPECT_EQ(service->nextRedo()->command, Kind::copy);
    EXPECT_EQ(service->nextRedo()->count, 2u);

    const FileOperationTask redo = reverse(*service, true);
    EXPECT_EQ(redo.request.kind(), Kind::restore);
    EXPECT_EQ(redo.phase, OperationPhase::completed);
    EXPECT_FALSE(undo.request.redo());
    EXPECT_TRUE(FileOperationRequest::fromJson(redo.request.toJson()).redo())
        << "shown as a redo after a restart";
    EXPECT_EQ(tree.readFile("dst/note"), "words");
    EXPECT_EQ(tree.readFile("dst/album/a"), "aaa");
    EXPECT_FALSE(service->canRedo());
    ASSERT_TRUE(service->canUndo());
    EXPECT_EQ(service->nextUndo()->command, Kind::copy) << "the command keeps its name both ways";

    // A new command leaves nothing to redo.
    reverse(*service);
    ASSERT_TRUE(service->canRedo());
    run(*service, requestOf(Kind::createDirectory, {}, tree.path("dst"), "fresh"));
    EXPECT_FALSE(service->canRedo());
}

TEST_F(UndoRedoTest, ACopyChangedSinceIsKeptAndOnlyTheRestIsUndone) {
    auto service = started();
    const std::string one = tree.writeFile("src/one", "1");
    const std::string two = tree.writeFile("src/two", "2");
    tree.makeFolder("src/folder");
    tree.writeFile("src/folder/inner", "i");
    run(*service, requestOf(Kind::copy, {one, two, tree.path("src/folder")}, tree.path("dst")));
    append(tree.path("dst/two"), " and more");
    tree.writeFile("dst/folder/added", "new"); // a folder changed inside

    const FileOperationTask undo = reverse(*service);
    EXPECT_EQ(undo.phase, OperationPhase::partial);
    EXPECT_FALSE(existsAt(tree.path("dst/one")));
    EXPECT_EQ(tree.readFile("dst/two"), "2 and more");
    EXPECT_EQ(tree.readFile("dst/folder/added"), "new");
    EXPECT_EQ(tree.readFile("dst/folder/inner"), "i");
    // What was refused stays to be undone, and is refused again.
    ASSERT_TRUE(service->canUndo());
    EXPECT_EQ(service->nextUndo()->receipts.size(), 2u);
    EXPECT_EQ(reverse(*service).phase, OperationPhase::failed);
    EXPECT_EQ(tree.readFile("dst/two"), "2 and more");
    // The part that was undone can be redone.
    EXPECT_TRUE(service->canRedo());
    EXPECT_EQ(service->nextRedo()->count, 1u);
}

TEST_F(UndoRedoTest, UndoingACopyThatReplacedAnItemPutsThatItemBackFromTheTrash) {
    auto service = started();
    service->resolveConflict = [](const FileConflict &, const OperationService::Answer &answer) {
        answer(ConflictChoice::replace);
    };
    const std::string mine = tree.writeFile("src/report", "new");
    tree.writeFile("dst/report", "old");
    tree.writeFile("dst/other", "o");
    const std::string other = tree.writeFile("src/other", "x");
    run(*service, requestOf(Kind::copy, {mine, other}, tree.path("dst")));
    ASSERT_EQ(tree.readFile("data/Trash/files/report"), "old");
    // An item in the trash under the replaced one's name is not it: it stays.
    test::TempTree::removeAll(tree.path("data/Trash/files/other"));
    tree.writeFile("data/Trash/files/other", "someone else's");

    const FileOperationTask undo = reverse(*service);
    EXPECT_EQ(tree.readFile("dst/report"), "old") << "put back, through its record";
    EXPECT_FALSE(existsAt(tree.path("data/Trash/info/report.trashinfo")));
    EXPECT_EQ(tree.readFile("data/Trash/files/report.2"), "new") << "the copy in the trash";
    EXPECT_EQ(tree.readFile("data/Trash/files/other"), "someone else's");
    EXPECT_FALSE(existsAt(tree.path("dst/other"))) << "nothing is put over or in its place";
    EXPECT_EQ(undo.phase, OperationPhase::completed) << "the copies themselves were undone";
}

TEST_F(UndoRedoTest, ANewFolderIsTrashedOnlyWhileItIsEmptyAndUnchanged) {
    auto service = started();
    run(*service, requestOf(Kind::createDirectory, {}, tree.path("dst"), "New Folder"));
    ASSERT_TRUE(service->canUndo());
    EXPECT_EQ(service->nextUndo()->command, Kind::createDirectory);
    EXPECT_EQ(reverse(*service).phase, OperationPhase::completed);
    EXPECT_FALSE(existsAt(tree.path("dst/New Folder")));
    EXPECT_EQ(reverse(*service, true).phase, OperationPhase::completed);
    EXPECT_TRUE(existsAt(tree.path("dst/New Folder")));

    tree.writeFile("dst/New Folder/kept", "mine");
    EXPECT_EQ(reverse(*service).phase, OperationPhase::failed);
    EXPECT_EQ(tree.readFile("dst/New Folder/kept"), "mine");

    // Emptied again, it still is not what was made: its times changed.
    run(*service, requestOf(Kind::createDirectory, {}, tree.path("dst"), "Other"));
    const std::string file = tree.writeFile("dst/Other/brief", "b");
    ASSERT_EQ(::unlink(file.c_str()), 0);
    EXPECT_EQ(reverse(*service).phase, OperationPhase::failed);
    EXPECT_TRUE(existsAt(tree.path("dst/Other")));
}

TEST_F(UndoRedoTest, SeveralMovedItemsGoBackEachToItsOwnFolderAndNameAndNeverOverAnother) {
    auto service = started();
    const std::string a = tree.writeFile("src/a", "A");
    tree.makeFolder("src/sub");
    const std::string b = tree.writeFile("src/sub/b", "B");
    tree.writeFile("dst/a", "taken");
    const auto keepBoth = [](const FileConflict &, OperationService::Answer answer) {
        answer(ConflictChoice::keepBoth);
    };
    service->resolveConflict = keepBoth;
    run(*service, requestOf(Kind::move, {a, b}, tree.path("dst")));
    EXPECT_EQ(tree.readFile("dst/a (2)"), "A");
    EXPECT_EQ(reverse(*service).phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("src/a"), "A");
    EXPECT_EQ(tree.readFile("src/sub/b"), "B");
    EXPECT_EQ(tree.readFile("dst/a"), "taken");
    EXPECT_EQ(reverse(*service, true).phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("dst/a (2)"), "A");
    EXPECT_EQ(tree.readFile("dst/b"), "B");

    // The original place taken since: refused, both items left as they are.
    tree.writeFile("src/sub/b", "someone else's");
    const FileOperationTask refused = reverse(*service);
    EXPECT_EQ(refused.phase, OperationPhase::partial);
    EXPECT_EQ(tree.readFile("src/sub/b"), "someone else's");
    EXPECT_EQ(tree.readFile("dst/b"), "B");
    EXPECT_EQ(tree.readFile("src/a"), "A");
}

TEST_F(UndoRedoTest, AMoveToAnotherVolumeIsMovedBackThroughTheEngine) {
    if (!test::canMountTmpfs())
        GTEST_SKIP() << "mounting a tmpfs is not allowed here";
    const std::string other = tree.makeFolder("other");
    test::ScopedTmpfs volume(other, 8 << 20);
    ASSERT_TRUE(volume.mounted());
    tree.makeFolder("src/album");
    tree.writeFile("src/album/a", "aaa");
    tree.makeSymlink("src/album/link", "a");
    const std::string album = tree.path("src/album");
    auto service = started();
    run(*service, requestOf(Kind::move, {album}, other));
    ASSERT_EQ(tree.readFile("other/album/a"), "aaa");
    ASSERT_TRUE(service->canUndo());

    const FileOperationTask undo = reverse(*service);
    EXPECT_EQ(undo.request.kind(), Kind::move);
    ASSERT_EQ(undo.phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("src/album/a"), "aaa");
    EXPECT_EQ(test::namesIn(album), (std::set<std::string>{"a", "link"}));
    EXPECT_FALSE(existsAt(tree.path("other/album")));
    EXPECT_TRUE(test::hiddenItemsIn(tree.path("src")).empty());

    ASSERT_EQ(reverse(*service, true).phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("other/album/a"), "aaa");
    EXPECT_FALSE(existsAt(album));

    // Its former place taken: refused clearly, nothing overwritten.
    tree.writeFile("src/album", "a file now");
    const FileOperationTask refused = reverse(*service);
    EXPECT_EQ(refused.phase, OperationPhase::failed);
    ASSERT_FALSE(refused.results.empty());
    ASSERT_TRUE(refused.results.front().problem);
    EXPECT_EQ(refused.results.front().problem->code(), OperationProblem::Code::targetChanged);
    EXPECT_EQ(tree.readFile("src/album"), "a file now");
    EXPECT_EQ(tree.readFile("other/album/a"), "aaa");
    ::unlink(album.c_str());

    // Changed on the other volume since: refused too.
    append(tree.path("other/album/a"), "!");
    EXPECT_EQ(reverse(*service).phase, OperationPhase::failed);
    EXPECT_EQ(tree.readFile("other/album/a"), "aaa!");
    EXPECT_FALSE(existsAt(album));
}

TEST_F(UndoRedoTest, TheHistoriesGoOnAfterARestartOnTheSameJournal) {
    const std::string letter = tree.writeFile("src/letter", "dear");
    const std::string note = tree.writeFile("src/note", "n");
    {
        auto service = started();
        run(*service, requestOf(Kind::copy, {note}, tree.path("dst")));
        run(*service, requestOf(Kind::trash, {letter}, std::nullopt));
    }
    {
        auto service = started();
        ASSERT_TRUE(service->canUndo());
        EXPECT_EQ(service->nextUndo()->command, Kind::trash);
        EXPECT_EQ(reverse(*service).phase, OperationPhase::completed);
        EXPECT_EQ(tree.readFile("src/letter"), "dear");
    }
    {
        auto service = started();
        ASSERT_TRUE(service->canRedo());
        EXPECT_EQ(reverse(*service, true).phase, OperationPhase::completed);
        EXPECT_FALSE(existsAt(letter));
        EXPECT_EQ(reverse(*service).phase, OperationPhase::completed);
        EXPECT_EQ(reverse(*service).phase, OperationPhase::completed) << "then the copy";
        EXPECT_FALSE(existsAt(tree.path("dst/note")));
        EXPECT_EQ(reverse(*service, true).phase, OperationPhase::completed);
        EXPECT_EQ(tree.readFile("dst/note"), "n");
    }
    // A task the program was cut off in may have changed anything: nothing
    // older is reversed across it, nothing undone is redone over it.
    FileOperationTask cut(requestOf(Kind::copy, {letter}, tree.path("dst")));
    cut.phase = OperationPhase::copying;
    OperationJournal(journalPath).save(cut);
    {
        auto service = started();
        EXPECT_FALSE(service->canUndo());
        EXPECT_FALSE(service->canRedo());
        ASSERT_FALSE(service->undoHistory().empty());
        EXPECT_EQ(service->undoHistory().back().id, cut.id());
    }
    auto service = started();
    EXPECT_EQ(service->undoHistory().size(), 2u) << "the barrier is not added twice";
}
