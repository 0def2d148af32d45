#include "engine/OperationJournal.h"
#include "core/OperationProblem.h"
#include "engine/OperationJournalReader.h"
#include "engine/OperationJournalWorker.h"
#include "engine/OperationService.h"
#include "runtime/MainThread.h"
#include "support/Checks.h"
#include "support/Listing.h"
#include "support/ScopedEnv.h"
#include "support/TempTree.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <sqlite3.h>
#include <sys/stat.h>
#include <unistd.h>

#include <ctime>
#include <thread>
#include <tuple>

using namespace dromel;
using test::modeOf;

namespace {

FileOperationTask taskIn(OperationPhase phase, const std::string &source = "/home/u/file") {
    FileOperationTask task(FileOperationRequest(FileOperationKind::trash, {source}, std::nullopt,
                                                std::nullopt, false, {}, std::nullopt));
    task.phase = phase;
    return task;
}

// Rows written straight into the table, in one transaction, with the time
// each was finished (0: not finished).
void insertRows(const std::string &path,
                const std::vector<std::tuple<std::string, std::string, std::int64_t, bool>> &rows) {
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_stmt *insert = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "INSERT INTO operations(id,payload,finished,review) VALUES(?,?,?,?);",
                                 -1, &insert, nullptr),
              SQLITE_OK);
    for (const auto &[id, payload, finished, review] : rows) {
        sqlite3_bind_text(insert, 1, id.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_blob(insert, 2, payload.data(), int(payload.size()), SQLITE_TRANSIENT);
        if (finished)
            sqlite3_bind_int64(insert, 3, finished);
        else
            sqlite3_bind_null(insert, 3);
        sqlite3_bind_int(insert, 4, review);
        EXPECT_EQ(sqlite3_step(insert), SQLITE_DONE);
        sqlite3_reset(insert);
    }
    sqlite3_finalize(insert);
    ASSERT_EQ(sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr), SQLITE_OK);
    sqlite3_close(db);
}

int rowsIn(const std::string &path, const char *table) {
    sqlite3 *db = nullptr;
    sqlite3_open(path.c_str(), &db);
    sqlite3_stmt *count = nullptr;
    sqlite3_prepare_v2(db, (std::string("SELECT count(*) FROM ") + table + ";").c_str(), -1, &count, nullptr);
    const int rows = sqlite3_step(count) == SQLITE_ROW ? sqlite3_column_int(count, 0) : -1;
    sqlite3_finalize(count);
    sqlite3_close(db);
    return rows;
}

} // namespace

TEST(OperationJournalTest, LoadPrunesOldAndSurplusFinishedTasksWithoutReadingThem) {
    test::TempTree tree;
    const OperationJournal journal(tree.path("state/Dromel/operations.sqlite"));
    EXPECT_TRUE(journal.load().empty()) << "a new database";
    EXPECT_EQ(modeOf(tree.path("state/Dromel")), 0700u);
    EXPECT_EQ(modeOf(journal.path()), 0600u);

    const std::int64_t now = std::time(nullptr);
    const std::int64_t monthAgo = now - 31 * 24 * 60 * 60;
    std::vector<std::tuple<std::string, std::string, std::int64_t, bool>> rows;
    const auto add = [&](const FileOperationTask &task, std::int64_t finished, bool review = false) {
        rows.emplace_back(task.id().text(), task.encoded(), finished, review);
    };
    // Pruned unread: a payload no version could read would be set aside if
    // it were decoded.
    for (int i = 0; i < 10; ++i)
        rows.emplace_back("old-" + std::to_string(i), "{not a task", monthAgo, false);
    add(taskIn(OperationPhase::needsReview), monthAgo, true);
    const FileOperationTask review = taskIn(OperationPhase::needsReview);
    add(review, now - 60, true);
    for (int i = 0; i < 100; ++i)
        rows.emplace_back("surplus-" + std::to_string(i), "{not a task", now - 3600, false);
    std::vector<FileOperationTask> completed;
    for (int i = 0; i < 500; ++i) {
        completed.push_back(taskIn(OperationPhase::completed, "/f" + std::to_string(i)));
        add(completed.back(), now - 3600);
    }
    const FileOperationTask running = taskIn(OperationPhase::copying);
    add(running, 0);
    insertRows(journal.path(), rows);

    const std::vector<FileOperationTask> loaded = journal.load();
    ASSERT_EQ(loaded.size(), 502u) << "500 finished, 1 to review, 1 interrupted";
    EXPECT_TRUE(journal.unreadablePayloads().empty()) << "pruned rows were never decoded";
    EXPECT_EQ(rowsIn(journal.path(), "operations"), 502);
    EXPECT_EQ(loaded.front().id(), running.id()) << "most recently written first";
    EXPECT_EQ(loaded.front().phase, OperationPhase::needsReview);
    ASSERT_FALSE(loaded.front().results.empty());
    EXPECT_EQ(loaded.front().results.back().problem->code(), OperationProblem::Code::interrupted)
        << "its cause is recorded";
    EXPECT_EQ(loaded.back(), review);

    // Writing a task again replaces its row and makes it the newest.
    FileOperationTask again = completed[100];
    again.phase = OperationPhase::failed;
    journal.save(again);
    const auto reloaded = journal.load();
    EXPECT_EQ(reloaded.front(), again);
    EXPECT_EQ(std::count_if(reloaded.begin(), reloaded.end(),
                            [&](const FileOperationTask &t) { return t.id() == again.id(); }),
              1);
}

TEST(OperationJournalTest, TwoConnectionsWriteAtOnceAndABadRowIsKeptAside) {
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

    // A newer version's phase, under a real id.
    Json newer = taskIn(OperationPhase::copying).toJson();
    newer["phase"] = "reconciling";
    const std::string id = newer["request"]["id"].get<std::string>();
    insertRows(journal.path(), {{id, newer.dump(), 0, false}, {"X", "{\"not\":\"a task\"}", 0, false}});
    for (int pass = 0; pass < 2; ++pass) {
        SCOPED_TRACE(pass);
        const std::vector<FileOperationTask> loaded = journal.load();
        ASSERT_EQ(loaded.size(), 52u);
        EXPECT_EQ(std::count_if(loaded.begin(), loaded.end(), [](const auto &t) { return t.unreadable; }), 2);
        EXPECT_TRUE(std::any_of(loaded.begin(), loaded.end(),
                                [&](const auto &t) { return t.unreadable && t.id().text() == id; }));
        EXPECT_EQ(journal.unreadablePayloads(),
                  (std::vector<std::string>{"{\"not\":\"a task\"}", newer.dump()}))
            << "kept whole";
    }
    EXPECT_EQ(rowsIn(journal.path(), "operations"), 50);
    journal.save(taskIn(OperationPhase::completed));
    EXPECT_EQ(journal.load().size(), 53u) << "the journal works on";
    OperationService service(journal.path());
    bool started = false;
    service.start([&] { started = true; });
    ASSERT_TRUE(test::waitUntil([&] { return started; }));
    EXPECT_TRUE(service.ready()) << "file operations are not refused";
    EXPECT_FALSE(service.startupError());

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

// What another process sees of a journal it could not lock: every task as
// last written, and not one byte of the journal changed, not even by what a
// load of the holder would do (interrupted marks, rows set aside, pruning).
TEST(OperationJournalTest, AReaderOfAHeldJournalListsItsTasksAndNeverWritesIt) {
    test::TempTree tree;
    const OperationJournal journal(tree.path("Dromel/operations.sqlite"));
    const FileOperationTask done = taskIn(OperationPhase::completed, "/a");
    FileOperationTask review = taskIn(OperationPhase::needsReview, "/b");
    review.stages.push_back(OperationStage{tree.path("Dromel/.dromel-copy-x"), 1, 2, 0, 3});
    const FileOperationTask running = taskIn(OperationPhase::copying, "/c");
    for (const FileOperationTask &task : {done, review, running})
        journal.save(task);
    insertRows(journal.path(), {{"X", "{bad", 0, false}});
    const std::string bytes = tree.readFile("Dromel/operations.sqlite");
    struct stat before {};
    ASSERT_EQ(::stat(journal.path().c_str(), &before), 0);

    const OperationJournalLoad read = OperationJournalReader(journal.path()).load();
    EXPECT_FALSE(read.problem);
    ASSERT_EQ(read.tasks.size(), 4u);
    EXPECT_TRUE(read.tasks[0].unreadable);
    EXPECT_EQ(read.tasks[1], running) << "still running over there, not interrupted";
    EXPECT_EQ(read.tasks[2], review);
    EXPECT_EQ(read.tasks[3], done);

    OperationService service(journal.path());
    bool started = false;
    service.startReadOnly([&] { started = true; });
    ASSERT_TRUE(test::waitUntil([&] { return started; }));
    EXPECT_TRUE(service.readOnly());
    EXPECT_FALSE(service.ready());
    EXPECT_FALSE(service.busy()) << "nothing of this process runs: quitting asks nothing";
    ASSERT_EQ(service.tasks().size(), 4u);
    std::vector<std::string> refused;
    const auto refusal = [&](const char *what) {
        return [&refused, what](auto answer) {
            if (!answer)
                refused.push_back(what);
        };
    };
    service.submit(FileOperationRequest(FileOperationKind::createDirectory, {}, tree.path("Dromel"), "N",
                                        false, {}, std::nullopt),
                   refusal("submit"));
    service.retry(review.id(), refusal("retry"));
    service.cleanUp(review.id(), refusal("clean up"));
    service.dismiss(done.id(), refusal("dismiss"));
    service.cancel(running.id());
    ASSERT_TRUE(test::waitUntil([&] { return refused.size() == 4; }));
    EXPECT_EQ(service.task(running.id())->phase, OperationPhase::copying) << "not ours to cancel";
    EXPECT_EQ(service.tasks().size(), 4u);

    EXPECT_EQ(tree.readFile("Dromel/operations.sqlite"), bytes);
    struct stat after {};
    ASSERT_EQ(::stat(journal.path().c_str(), &after), 0);
    EXPECT_EQ(after.st_mtim.tv_nsec, before.st_mtim.tv_nsec);
    EXPECT_EQ(after.st_mtim.tv_sec, before.st_mtim.tv_sec);
    EXPECT_EQ(test::namesStartingWith(tree.path("Dromel"), "o"),
              (std::vector<std::string>{"operations.sqlite"}))
        << "no rollback journal, nothing beside it";

    const OperationJournalLoad none = OperationJournalReader(tree.path("none/operations.sqlite")).load();
    EXPECT_TRUE(none.tasks.empty());
    EXPECT_FALSE(none.problem) << "a journal not made yet has no tasks";
    EXPECT_NE(::access(tree.path("none").c_str(), F_OK), 0);
}

TEST(OperationJournalTest, AVersionOneJournalIsUpgradedAndKeepsItsTasksAndTheUndoHistory) {
    test::TempTree tree;
    const std::string path = tree.path("state/operations.sqlite");
    tree.makeFolder("state");
    // The journal as the previous version left it.
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(db,
                           "CREATE TABLE operations (id TEXT PRIMARY KEY, payload BLOB NOT NULL, finished "
                           "INTEGER, review INTEGER NOT NULL DEFAULT 0); CREATE TABLE unreadable (id TEXT "
                           "PRIMARY KEY, payload BLOB NOT NULL); PRAGMA user_version=1;",
                           nullptr, nullptr, nullptr),
              SQLITE_OK);
    sqlite3_close(db);
    const FileOperationTask old = taskIn(OperationPhase::completed);
    insertRows(path, {{old.id().text(), old.encoded(), std::time(nullptr), false}});

    const OperationJournal journal(path);
    EXPECT_EQ(journal.undoHistory(), std::nullopt) << "nothing kept yet";
    const std::vector<FileOperationTask> tasks = journal.load();
    ASSERT_EQ(tasks.size(), 1u);
    EXPECT_EQ(tasks.front(), old);
    journal.saveUndoHistory("first");
    journal.saveUndoHistory("second");
    EXPECT_EQ(journal.undoHistory(), "second") << "one history, replaced";
    EXPECT_EQ(rowsIn(path, "undo_history"), 1);

    ASSERT_EQ(sqlite3_open(path.c_str(), &db), SQLITE_OK);
    sqlite3_stmt *version = nullptr;
    sqlite3_prepare_v2(db, "PRAGMA user_version;", -1, &version, nullptr);
    ASSERT_EQ(sqlite3_step(version), SQLITE_ROW);
    EXPECT_EQ(sqlite3_column_int(version, 0), 2);
    sqlite3_finalize(version);
    sqlite3_close(db);
}
