#include "engine/OperationService.h"
#include "FuseServer.h"
#include "core/ItemIdentity.h"
#include "core/Location.h"
#include "engine/OperationTestSupport.h"
#include "engine/ScratchVolume.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fstream>

using namespace dromel;
using test::existsAt;
using test::requestOf;
using test::waitUntil;
using Code = OperationProblem::Code;
using Kind = FileOperationKind;
using namespace std::chrono_literals;

namespace {

class OperationServiceTest : public ::testing::Test {
protected:
    OperationServiceTest() {
        tree.makeFolder("src");
        tree.makeFolder("dst");
    }

    std::unique_ptr<OperationService> started(OperationService::BeforeAdmission hook = {}) {
        auto service = std::make_unique<OperationService>(journalPath, std::move(hook));
        bool done = false;
        service->start([&] { done = true; });
        EXPECT_TRUE(waitUntil([&] { return done; }));
        EXPECT_TRUE(service->ready());
        return service;
    }

    std::optional<Uuid> submit(OperationService &service, FileOperationRequest request) {
        bool answered = false;
        std::optional<Uuid> id;
        service.submit(std::move(request), [&](std::optional<Uuid> admitted) {
            id = admitted;
            answered = true;
        });
        EXPECT_TRUE(waitUntil([&] { return answered; }));
        return id;
    }

    // Waits for the task's final phase and returns the task.
    FileOperationTask finished(OperationService &service, const Uuid &id) {
        EXPECT_TRUE(waitUntil(
            [&] { return service.task(id) && isTerminal(service.task(id)->phase) && !service.busy(); }, 20s));
        return *service.task(id);
    }

    FileOperationTask runToEnd(OperationService &service, FileOperationRequest request) {
        const std::optional<Uuid> id = submit(service, std::move(request));
        EXPECT_TRUE(id);
        return finished(service, *id);
    }

    test::TempTree tree;
    test::ScopedEnv dataHome{"XDG_DATA_HOME", tree.path("data")};
    const std::string journalPath = tree.path("state/operations.sqlite");
};

} // namespace

TEST_F(OperationServiceTest, SubmissionsAreRefusedWithoutATraceUntilReadyOrWhenMalformed) {
    tree.makeFolder("state/broken.sqlite"); // a folder where the file should be
    OperationService broken(tree.path("state/broken.sqlite"));
    bool done = false;
    broken.start([&] { done = true; });
    ASSERT_TRUE(waitUntil([&] { return done; }));
    EXPECT_FALSE(broken.ready());
    ASSERT_TRUE(broken.startupError());
    EXPECT_EQ(broken.startupError()->code(), Code::journal);

    OperationService service(journalPath);
    std::optional<std::optional<Uuid>> early;
    service.submit(requestOf(Kind::createDirectory, {}, tree.path("dst"), "x"), [&](auto id) { early = id; });
    ASSERT_TRUE(waitUntil([&] { return early.has_value(); }));
    EXPECT_FALSE(*early) << "before start";
    EXPECT_TRUE(service.tasks().empty());

    auto ready = started();
    EXPECT_FALSE(submit(*ready, requestOf(Kind::copy, {}, tree.path("dst"))));
    const FileOperationRequest create = requestOf(Kind::createDirectory, {}, tree.path("dst"), "made");
    const std::optional<Uuid> id = submit(*ready, create);
    ASSERT_TRUE(id);
    EXPECT_FALSE(submit(*ready, create)) << "an id already known";
    EXPECT_EQ(finished(*ready, *id).phase, OperationPhase::completed);
    EXPECT_TRUE(existsAt(tree.path("dst/made")));
    EXPECT_EQ(ready->tasks().size(), 1u);
}

TEST_F(OperationServiceTest, TasksRunOneAtATimeOldestFirstWithProgress) {
    auto service = started();
    const std::string big = tree.writeSizedFile("src/big", 24 << 20);
    const std::string small = tree.writeFile("src/small", "s");
    std::vector<Uuid> completed;
    bool overlapped = false;
    std::int64_t reportedTotal = 0;
    service->onCompletion = [&](const FileOperationTask &task) { completed.push_back(task.id()); };
    service->onChange = [&] {
        int running = 0;
        for (const FileOperationTask &task : service->tasks()) {
            running += !isTerminal(task.phase) && task.phase != OperationPhase::queued;
            reportedTotal = std::max(reportedTotal, task.totalBytes);
        }
        overlapped = overlapped || running > 1;
    };
    std::vector<std::optional<Uuid>> ids(2);
    service->submit(requestOf(Kind::copy, {big}, tree.path("dst")), [&](auto id) { ids[0] = id; });
    service->submit(requestOf(Kind::copy, {small}, tree.path("dst")), [&](auto id) { ids[1] = id; });
    bool idle = false;
    std::size_t completedWhenIdle = 0;
    service->waitUntilIdle([&] {
        idle = true;
        completedWhenIdle = completed.size();
    });
    ASSERT_TRUE(waitUntil([&] { return idle; }, 30s));
    EXPECT_EQ(completedWhenIdle, 2u) << "idle only once both tasks are final";
    ASSERT_TRUE(ids[0] && ids[1]);
    EXPECT_EQ(completed, (std::vector<Uuid>{*ids[0], *ids[1]}));
    EXPECT_FALSE(overlapped);
    EXPECT_EQ(reportedTotal, 24 << 20);
    EXPECT_EQ(service->tasks().front().id(), *ids[1]) << "newest first";
    EXPECT_EQ(test::sha256Of(tree.path("dst/big")), test::sha256Of(big));
}

TEST_F(OperationServiceTest, CancellingBeforeAdmissionEndsCancelledAndNeverRuns) {
    std::function<void(std::optional<OperationProblem>)> release;
    auto service = started([&](const FileOperationTask &, auto done) { release = std::move(done); });
    const std::string file = tree.writeFile("src/file", "f");
    std::optional<std::optional<Uuid>> answer;
    service->submit(requestOf(Kind::trash, {file}, std::nullopt), [&](auto id) { answer = id; });
    ASSERT_TRUE(waitUntil([&] { return bool(release); }));
    const Uuid id = service->tasks().front().id();
    service->cancel(id);
    EXPECT_EQ(service->task(id)->phase, OperationPhase::cancelling);
    EXPECT_TRUE(service->busy());
    release(std::nullopt);
    ASSERT_TRUE(waitUntil([&] { return answer.has_value() && !service->busy(); }));
    EXPECT_EQ(*answer, id) << "the admission itself succeeded";
    EXPECT_EQ(service->task(id)->phase, OperationPhase::cancelled);
    EXPECT_TRUE(service->task(id)->results.empty());
    EXPECT_TRUE(existsAt(file)) << "never executed";
    EXPECT_EQ(OperationJournal(journalPath).load().front().phase, OperationPhase::cancelled);
}

TEST_F(OperationServiceTest, CancellingARunningCopyGivesPartialOrCancelled) {
    auto service = started();
    std::vector<std::string> sources;
    for (const char *name : {"a", "b", "c"})
        sources.push_back(tree.writeSizedFile(std::string("src/") + name, 4 << 20));
    std::optional<Uuid> running;
    service->onChange = [&] {
        if (running && service->task(*running) && service->task(*running)->results.size() == 1)
            service->cancel(*running);
    };
    service->submit(requestOf(Kind::copy, sources, tree.path("dst")), [&](auto id) { running = id; });
    ASSERT_TRUE(waitUntil([&] { return running.has_value(); }));
    const FileOperationTask partial = finished(*service, *running);
    EXPECT_EQ(partial.phase, OperationPhase::partial);
    EXPECT_EQ(partial.results.front().outcome, ItemOutcome::succeeded);
    EXPECT_FALSE(existsAt(tree.path("dst/c")));
    service->onChange = nullptr;

    // Cancelled from inside an open question: nothing succeeded.
    tree.writeFile("dst/x", "theirs");
    const std::string x = tree.writeFile("src/x", "mine");
    service->resolveConflict = [&](const FileConflict &, OperationService::Answer answer) {
        service->cancel(service->tasks().front().id());
        answer(ConflictChoice::replace); // too late: the question was closed
    };
    const FileOperationTask cancelled = runToEnd(*service, requestOf(Kind::copy, {x}, tree.path("dst")));
    EXPECT_EQ(cancelled.phase, OperationPhase::cancelled);
    EXPECT_EQ(tree.readFile("dst/x"), "theirs");
    service->resolveConflict = nullptr;

    // Cancelled while it copies: its stage is removed and the result says so.
    const std::string big = tree.writeSizedFile("src/big", 64 << 20);
    std::optional<Uuid> copying = submit(*service, requestOf(Kind::copy, {big}, tree.path("dst")));
    ASSERT_TRUE(copying);
    // Once its stage exists (a cancel as the copy begins finds nothing
    // staged, and rightly removes nothing).
    ASSERT_TRUE(waitUntil([&] { return service->task(*copying)->phase == OperationPhase::copying; }, 20s));
    ASSERT_TRUE(waitUntil([&] { return !test::hiddenItemsIn(tree.path("dst")).empty(); }, 20s));
    service->cancel(*copying);
    const FileOperationTask stopped = finished(*service, *copying);
    EXPECT_EQ(stopped.phase, OperationPhase::cancelled);
    ASSERT_EQ(stopped.results.size(), 1u);
    EXPECT_EQ(stopped.results.front().removedStages.size(), 1u);
    EXPECT_TRUE(stopped.recoveryPaths.empty());
    EXPECT_TRUE(test::hiddenItemsIn(tree.path("dst")).empty());

    // The service may go while a copy runs: it is asked to stop, never
    // published, and leaves no stage.
    const std::optional<Uuid> id = submit(*service, requestOf(Kind::copy, {big}, tree.path("dst")));
    ASSERT_TRUE(id);
    ASSERT_TRUE(waitUntil([&] { return service->task(*id)->phase == OperationPhase::copying; }, 20s));
    service.reset();
    EXPECT_TRUE(waitUntil([&] { return test::hiddenItemsIn(tree.path("dst")).empty(); }, 20s));
    EXPECT_FALSE(existsAt(tree.path("dst/big")));
}

TEST_F(OperationServiceTest, ConflictsAreAskedWithoutBlockingAndSkippedWithoutAResolver) {
    auto service = started();
    tree.writeFile("dst/doc", "theirs");
    const std::string doc = tree.writeFile("src/doc", "mine");
    FileOperationTask skipped = runToEnd(*service, requestOf(Kind::copy, {doc}, tree.path("dst")));
    EXPECT_EQ(skipped.phase, OperationPhase::completed);
    EXPECT_EQ(skipped.results.front().outcome, ItemOutcome::skipped);

    OperationService::Answer later;
    std::optional<FileConflict> asked;
    service->resolveConflict = [&](const FileConflict &conflict, OperationService::Answer answer) {
        asked = conflict;
        later = std::move(answer);
    };
    const std::optional<Uuid> id = submit(*service, requestOf(Kind::copy, {doc}, tree.path("dst")));
    ASSERT_TRUE(waitUntil([&] { return bool(later); }));
    EXPECT_EQ(service->task(*id)->phase, OperationPhase::waiting);
    EXPECT_TRUE(asked->canReplace);
    EXPECT_EQ(asked->destination, tree.path("dst/doc"));
    later(ConflictChoice::keepBoth);
    later(ConflictChoice::replace); // a second answer changes nothing
    EXPECT_EQ(finished(*service, *id).phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("dst/doc"), "theirs");
    EXPECT_EQ(tree.readFile("dst/doc (2)"), "mine");
}

TEST_F(OperationServiceTest, LimitedMetadataIsAskedAndRefusalOrNoApproverCancels) {
    tree.makeFolder("backing");
    tree.makeFolder("merged");
    // Neither renameat2's flag nor hard links: nothing is put in place exclusively.
    test::FuseServer volume(DROMEL_PLAIN_VOLUME, tree.path("merged"),
                            {tree.path("backing"), tree.path("merged"), "--no-link"});
    if (!volume.mounted())
        GTEST_SKIP() << volume.why();
    const std::string merged = volume.path();
    auto service = started();
    const std::string file = tree.writeFile("src/file", "f");
    EXPECT_EQ(runToEnd(*service, requestOf(Kind::copy, {file}, merged)).phase, OperationPhase::cancelled)
        << "no approver";
    std::vector<std::string> asked;
    service->approveLimitedMetadata = [&](const std::string &folder, OperationService::Consent answer) {
        asked.push_back(folder);
        answer(asked.size() > 1);
    };
    EXPECT_EQ(runToEnd(*service, requestOf(Kind::copy, {file}, merged)).phase, OperationPhase::cancelled);
    EXPECT_EQ(runToEnd(*service, requestOf(Kind::copy, {file}, merged)).phase, OperationPhase::completed);
    EXPECT_EQ(asked, (std::vector<std::string>{merged, merged}));
    EXPECT_EQ(tree.readFile("merged/file"), "f");
}

TEST_F(OperationServiceTest, AFailedItemRemovesItsStageAndRetryTakesWhatIsLeft) {
    auto service = started();
    int copies = 0; // b is skipped: c's copy is the second
    service->setCheckpointForTesting([&](const std::string &label) {
        if (label == "after-copy" && ++copies == 2)
            tree.writeFile("dst/c", "appeared meanwhile");
    });
    const std::string a = tree.writeFile("src/a", "a");
    const std::string b = tree.writeFile("src/b", "b");
    const std::string c = tree.writeFile("src/c", "c");
    tree.writeFile("dst/b", "theirs");
    const FileOperationTask first = runToEnd(*service, requestOf(Kind::copy, {a, b, c}, tree.path("dst")));
    ASSERT_EQ(first.results.size(), 3u);
    EXPECT_EQ(first.results[0].outcome, ItemOutcome::succeeded);
    EXPECT_EQ(first.results[1].outcome, ItemOutcome::skipped);
    EXPECT_EQ(first.results[2].problem->code(), Code::targetChanged);
    EXPECT_EQ(first.phase, OperationPhase::partial) << "c's stage was its own scratch: removed";
    EXPECT_EQ(first.results[2].removedStages.size(), 1u);
    EXPECT_TRUE(first.recoveryPaths.empty()) << "the item that appeared is not the task's";
    EXPECT_TRUE(test::hiddenItemsIn(tree.path("dst")).empty());
    EXPECT_EQ(tree.readFile("dst/c"), "appeared meanwhile");

    test::TempTree::removeAll(tree.path("dst/c"));
    std::optional<std::optional<Uuid>> retried;
    service->retry(first.id(), [&](auto id) { retried = id; });
    ASSERT_TRUE(waitUntil([&] { return retried.has_value(); }));
    ASSERT_TRUE(*retried);
    EXPECT_EQ(service->task(**retried)->request.sources(), std::vector<std::string>{c});
    EXPECT_EQ(finished(*service, **retried).phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("dst/c"), "c");
    EXPECT_TRUE(test::hiddenItemsIn(tree.path("dst")).empty()) << "no old stage after the retry";
    EXPECT_EQ(*service->task(first.id()), first) << "the old task is left as it was";
}

TEST_F(OperationServiceTest, UndoFollowsTheHistoryRules) {
    auto service = started();
    const std::string file = tree.writeFile("src/old", "x");
    runToEnd(*service, requestOf(Kind::rename, {file}, std::nullopt, "new"));
    ASSERT_TRUE(service->canUndo());
    std::optional<std::optional<Uuid>> undone;
    service->undoLast([&](auto id) { undone = id; });
    EXPECT_FALSE(service->canUndo()) << "while the undo is pending";
    ASSERT_TRUE(waitUntil([&] { return undone.has_value(); }));
    ASSERT_TRUE(*undone);
    EXPECT_EQ(service->task(**undone)->request.kind(), Kind::rename);
    EXPECT_EQ(finished(*service, **undone).phase, OperationPhase::completed);
    EXPECT_TRUE(existsAt(file));
    EXPECT_FALSE(service->hasUndoHistory()) << "the undone entry is gone";

    tree.makeFolder("elsewhere");
    runToEnd(*service, requestOf(Kind::move, {file}, tree.path("elsewhere")));
    ASSERT_TRUE(service->canUndo());
    undone.reset();
    service->undoLast([&](auto id) { undone = id; });
    ASSERT_TRUE(waitUntil([&] { return undone.has_value() && *undone; }));
    EXPECT_EQ(service->task(**undone)->request.kind(), Kind::move);
    EXPECT_EQ(*service->task(**undone)->request.destination(), tree.path("src"));
    finished(*service, **undone);
    EXPECT_TRUE(existsAt(file));

    runToEnd(*service, requestOf(Kind::rename, {file}, std::nullopt, "renamed"));
    const std::string missing = tree.path("src/missing");
    EXPECT_EQ(runToEnd(*service, requestOf(Kind::trash, {missing}, std::nullopt)).phase,
              OperationPhase::failed);
    EXPECT_TRUE(service->canUndo()) << "a failure without effect records nothing";
    const std::string one = tree.writeFile("src/1", "1");
    const std::string two = tree.writeFile("src/2", "2");
    runToEnd(*service, requestOf(Kind::copy, {one, two, missing}, tree.path("dst")));
    EXPECT_FALSE(service->canUndo()) << "a partial copy is a barrier";
    EXPECT_TRUE(service->hasUndoHistory());

    for (int i = 0; i < 21; ++i)
        runToEnd(*service, requestOf(Kind::createDirectory, {}, tree.path("dst"), "f" + std::to_string(i)));
    EXPECT_EQ(service->undoHistory().size(), OperationService::kUndoLimit);
}

TEST_F(OperationServiceTest, ATrashIsUndoneByARestoreAndARestoreByATrash) {
    auto service = started();
    const std::string file = tree.writeFile("src/letter", "dear");
    runToEnd(*service, requestOf(Kind::trash, {file}, std::nullopt));
    ASSERT_TRUE(service->canUndo());
    std::optional<std::optional<Uuid>> undone;
    service->undoLast([&](auto id) { undone = id; });
    ASSERT_TRUE(waitUntil([&] { return undone.has_value() && *undone; }));
    EXPECT_EQ(service->task(**undone)->request.kind(), Kind::restore);
    EXPECT_EQ(finished(*service, **undone).phase, OperationPhase::completed);
    EXPECT_EQ(tree.readFile("src/letter"), "dear");
    EXPECT_TRUE(test::namesIn(tree.path("data/Trash/info")).empty());
    EXPECT_FALSE(service->hasUndoHistory());

    runToEnd(*service, requestOf(Kind::trash, {file}, std::nullopt));
    const std::string trashed = tree.path("data/Trash/files/letter");
    EXPECT_EQ(runToEnd(*service, requestOf(Kind::restore, {trashed}, std::nullopt)).phase,
              OperationPhase::completed);
    undone.reset();
    service->undoLast([&](auto id) { undone = id; });
    ASSERT_TRUE(waitUntil([&] { return undone.has_value() && *undone; }));
    EXPECT_EQ(service->task(**undone)->request.kind(), Kind::trash);
    finished(*service, **undone);
    EXPECT_EQ(tree.readFile("data/Trash/files/letter"), "dear");
    EXPECT_FALSE(existsAt(file));

    // An item changed since is never touched.
    runToEnd(*service, requestOf(Kind::restore, {trashed}, std::nullopt));
    ASSERT_TRUE(service->canUndo());
    tree.writeFile("src/letter", "rewritten");
    ::unlink(file.c_str());
    tree.writeFile("src/letter", "another");
    undone.reset();
    service->undoLast([&](auto id) { undone = id; });
    ASSERT_TRUE(waitUntil([&] { return undone.has_value() && *undone; }));
    EXPECT_EQ(finished(*service, **undone).phase, OperationPhase::failed);
    EXPECT_EQ(tree.readFile("src/letter"), "another");
}

TEST_F(OperationServiceTest, CaptureVersionsRefusesAChangedItem) {
    const std::string file = tree.writeFile("src/file", "f");
    const ObjectStamp stamp = OperationFS::stamp(file);
    const std::string identity = itemIdentity(static_cast<std::uint64_t>(stamp.device), stamp.inode, "file");
    const auto capture = [&] {
        std::optional<OperationService::VersionsOutcome> outcome;
        OperationService::captureVersions({file}, {{file, identity}}, [&](auto result) { outcome = result; });
        EXPECT_TRUE(waitUntil([&] { return outcome.has_value(); }));
        return outcome.value_or(OperationProblem(Code::system, "", "no answer"));
    };
    const auto versions = capture();
    ASSERT_TRUE(std::holds_alternative<OperationService::Versions>(versions));
    EXPECT_EQ(std::get<OperationService::Versions>(versions).at(file), stamp.token());

    // Another object under the same name (made while the old one exists, so
    // it cannot reuse its inode).
    ASSERT_EQ(::rename(tree.writeFile("src/other", "another object").c_str(), file.c_str()), 0);
    const auto changed = capture();
    ASSERT_TRUE(std::holds_alternative<OperationProblem>(changed));
    EXPECT_EQ(std::get<OperationProblem>(changed).code(), Code::sourceChanged);
    EXPECT_EQ(std::get<OperationProblem>(changed).path(), file);
}

TEST_F(OperationServiceTest, AJournalThatFailsMidTaskEndsItInReviewWithNothingLost) {
    auto service = started();
    const std::string file = tree.writeFile("src/file", "content");
    service->setCheckpointForTesting([&](const std::string &label) {
        if (label == "before-copy") {
            // The journal becomes unwritable: a folder takes its name.
            ::rename(journalPath.c_str(), (journalPath + ".moved").c_str());
            tree.makeFolder("state/operations.sqlite");
        }
    });
    const FileOperationTask task = runToEnd(*service, requestOf(Kind::copy, {file}, tree.path("dst")));
    EXPECT_EQ(task.phase, OperationPhase::needsReview);
    ASSERT_FALSE(task.results.empty());
    EXPECT_EQ(task.results.back().problem->code(), Code::journal);
    EXPECT_FALSE(task.results.back().source) << "a result for the whole task";
    EXPECT_EQ(tree.readFile("src/file"), "content");
    EXPECT_FALSE(existsAt(tree.path("dst/file"))) << "nothing published once the journal failed";
    EXPECT_FALSE(service->canUndo());
}

TEST_F(OperationServiceTest, ACaseOnlyRenameOnACaseInsensitiveVolumeWithoutExclusiveRename) {
    const std::string stick = tree.makeFolder("stick");
    test::ScratchVolume volume(test::ScratchVolume::Kind::exfat, stick, tree.path("stick.img"));
    if (!volume.mounted())
        GTEST_SKIP() << "an exFAT volume (case-insensitive, FUSE) cannot be mounted here: " << volume.why();
    const std::string readme = stick + "/readme";
    { std::ofstream(readme) << "text"; }
    auto service = started();
    std::vector<std::string> asked;
    service->approveLimitedMetadata = [&](const std::string &folder, OperationService::Consent answer) {
        asked.push_back(folder);
        answer(true);
    };
    const FileOperationTask task =
        runToEnd(*service, requestOf(Kind::rename, {readme}, std::nullopt, "README"));
    EXPECT_EQ(asked, std::vector<std::string>{stick});
    ASSERT_EQ(task.results.size(), 1u);
    const FileOperationResult &result = task.results.front();
    ASSERT_NE(result.outcome, ItemOutcome::skipped) << "recognised as the same item, not a clash";
    if (result.outcome == ItemOutcome::succeeded) {
        EXPECT_EQ(task.phase, OperationPhase::completed);
        EXPECT_EQ(test::namesIn(stick).count("README"), 1u);
        EXPECT_TRUE(test::hiddenItemsIn(stick).empty());
        ASSERT_EQ(result.recoveryPaths.size(), 1u) << "where the original went";
        return;
    }
    // Where this volume's trash cannot take the original (FUSE refuses the
    // no-replace rename), the item stops before anything is lost: the
    // original stays, the verified stage is named for review.
    EXPECT_EQ(task.phase, OperationPhase::needsReview);
    EXPECT_EQ(result.problem->code(), Code::system);
    EXPECT_EQ(test::sha256Of(readme), test::sha256Of(tree.writeFile("expected", "text")));
    const std::vector<std::string> hidden = test::hiddenItemsIn(stick);
    ASSERT_EQ(hidden.size(), 1u);
    EXPECT_EQ(Location::lastComponent(hidden.front()).rfind(".dromel-case-", 0), 0u);
    EXPECT_EQ(task.recoveryPaths, (std::vector<std::string>{hidden.front(), readme}));
}
