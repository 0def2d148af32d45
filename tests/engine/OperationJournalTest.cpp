#include "engine/OperationJournal.h"
#include "core/OperationProblem.h"
#include "engine/OperationJournalWorker.h"
#include "runtime/MainThread.h"
#include "support/Checks.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>

#include <thread>

using namespace dromel;
using test::modeOf;

namespace {

FileOperationTask taskIn(OperationPhase phase, const std::string &source = "/home/u/file") {
    FileOperationTask task(FileOperationRequest(FileOperationKind::trash, {source}, std::nullopt,
                                                std::nullopt, false, {}, std::nullopt));
    task.phase = phase;
    return task;
}

} // namespace

TEST(OperationJournalTest, LoadKeepsTheNewest200FinishedAndEveryTaskToReview) {
    test::TempTree tree;
    const OperationJournal journal(tree.path("state/Dromel/operations.sqlite"));
    EXPECT_TRUE(journal.load().empty()) << "a new database";
    EXPECT_EQ(modeOf(tree.path("state/Dromel")), 0700u);
    EXPECT_EQ(modeOf(journal.path()), 0600u);

    std::vector<FileOperationTask> written;
    for (int i = 0; i < 254; ++i) {
        const OperationPhase phase = i == 7 || i == 120 || i == 250 ? OperationPhase::needsReview
                                     : i == 3                       ? OperationPhase::copying
                                                                    : OperationPhase::completed;
        written.push_back(taskIn(phase, "/f" + std::to_string(i)));
        journal.save(written.back());
    }
    const std::vector<FileOperationTask> loaded = journal.load();
    ASSERT_EQ(loaded.size(), 204u) << "200 completed, 3 to review, 1 interrupted";
    EXPECT_EQ(loaded.front(), written.back()) << "most recently written first";
    EXPECT_EQ(std::count_if(loaded.begin(), loaded.end(),
                            [](const auto &task) { return task.phase == OperationPhase::needsReview; }),
              4);
    EXPECT_EQ(loaded.back().id(), written[3].id())
        << "older completed tasks are left out, unfinished ones kept";
    EXPECT_EQ(loaded.back().phase, OperationPhase::needsReview);
    EXPECT_EQ(loaded[loaded.size() - 2].id(), written[7].id());

    // Writing a task again replaces its row and makes it the newest.
    FileOperationTask again = written[100];
    again.phase = OperationPhase::failed;
    journal.save(again);
    const auto reloaded = journal.load();
    EXPECT_EQ(reloaded.front(), again);
    EXPECT_EQ(std::count_if(reloaded.begin(), reloaded.end(),
                            [&](const FileOperationTask &t) { return t.id() == again.id(); }),
              1);
}

TEST(OperationJournalTest, TwoConnectionsWriteAtOnceAndABadRowFailsTheLoad) {
    test::TempTree tree;
    const OperationJournal journal(tree.path("operations.sqlite"));
    std::vector<std::thread> writers;
    for (int w = 0; w < 2; ++w)
        writers.emplace_back([&] {
            for (int i = 0; i < 25; ++i)
                journal.save(taskIn(OperationPhase::completed));
        });
    for (std::thread &writer : writers)
        writer.join();
    EXPECT_EQ(journal.load().size(), 50u);

    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(journal.path().c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "INSERT INTO operations VALUES('X', '{\"not\":\"a task\"}');", nullptr,
                           nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    EXPECT_THROW(journal.load(), JsonDecodeError);

    const OperationJournal blocked(tree.writeFile("file") + "/operations.sqlite");
    EXPECT_THROW(blocked.save(taskIn(OperationPhase::completed)), OperationProblem);
    const OperationJournalLoad loaded = blocked.loadForStart();
    EXPECT_TRUE(loaded.tasks.empty());
    ASSERT_TRUE(loaded.problem) << "a problem to show, not a failure";
    EXPECT_EQ(loaded.problem->path(), blocked.path());
}

TEST(OperationJournalTest, TheWorkerAnswersOnTheMainThreadAndAFailureIsAJournalProblem) {
    test::TempTree tree;
    test::ScopedEnv state("XDG_STATE_HOME", tree.path("state"));
    EXPECT_EQ(OperationJournal::defaultPath(), tree.path("state/Dromel/operations.sqlite"));
    std::vector<std::string> answers;
    OperationJournalWorker::run<int>([] { return 1; },
                                     [&](std::variant<int, OperationProblem> outcome) {
                                         answers.push_back(
                                             MainThread::isCurrent() && outcome.index() == 0 ? "1" : "wrong");
                                     });
    OperationJournalWorker::run<int>([]() -> int { throw std::runtime_error("disk on fire"); },
                                     [&](std::variant<int, OperationProblem> outcome) {
                                         const auto &problem = std::get<OperationProblem>(outcome);
                                         answers.push_back(problem.detail());
                                         EXPECT_EQ(problem.code(), OperationProblem::Code::journal);
                                     });
    ASSERT_TRUE(test::waitUntil([&] { return answers.size() == 2; }));
    EXPECT_EQ(answers, (std::vector<std::string>{"1", "disk on fire"})) << "in order";
}

TEST(OperationJournalTest, ADamagedJournalIsMovedAsideAndAFreshOneTakesItsPlace) {
    test::TempTree tree;
    const OperationJournal journal(tree.path("Dromel/operations.sqlite"));
    journal.save(taskIn(OperationPhase::completed));
    // An overwritten header: SQLite says "file is not a database".
    const std::string original = tree.readFile("Dromel/operations.sqlite");
    std::string damaged = original;
    damaged.replace(0, 16, "garbage garbage!");
    tree.writeFile("Dromel/operations.sqlite", damaged, 0600);
    EXPECT_EQ(test::problemOf([&] { journal.save(taskIn(OperationPhase::completed)); }),
              OperationProblem::Code::journal)
        << "an ordinary save reports the damage and changes nothing";

    const OperationJournalLoad first = journal.loadForStart();
    EXPECT_TRUE(first.tasks.empty());
    ASSERT_TRUE(first.problem);
    EXPECT_EQ(first.problem->code(), OperationProblem::Code::journal);
    const std::string aside = first.problem->path();
    EXPECT_TRUE(aside.starts_with(journal.path() + ".damaged-")) << aside;
    EXPECT_EQ(tree.readFile(aside.substr(tree.root().size() + 1)), damaged) << "moved, never deleted";
    EXPECT_NE(first.problem->detail().find("not a database"), std::string::npos) << first.problem->detail();

    journal.save(taskIn(OperationPhase::queued));
    const OperationJournalLoad second = journal.loadForStart();
    EXPECT_FALSE(second.problem);
    ASSERT_EQ(second.tasks.size(), 1u);
    EXPECT_EQ(second.tasks[0].phase, OperationPhase::needsReview);

    // Damaged twice within the same second: the first aside is kept.
    tree.writeFile("Dromel/operations.sqlite", damaged, 0600);
    const OperationJournalLoad third = journal.loadForStart();
    ASSERT_TRUE(third.problem);
    EXPECT_NE(third.problem->path(), aside);
    EXPECT_EQ(tree.readFile(aside.substr(tree.root().size() + 1)), damaged);
}
