#include "engine/OperationJournalReader.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <memory>

namespace dromel {

namespace {

// The holder writes in short transactions; a reader waits them out.
constexpr int kBusyTimeoutMilliseconds = 3000;

using Database = std::unique_ptr<sqlite3, decltype(&::sqlite3_close)>;
using Statement = std::unique_ptr<sqlite3_stmt, decltype(&::sqlite3_finalize)>;

struct ReadFailure {
    std::string detail;
};

Statement prepare(sqlite3 *db, const char *sql) {
    sqlite3_stmt *statement = nullptr;
    if (::sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw ReadFailure{::sqlite3_errmsg(db)};
    return Statement(statement, &::sqlite3_finalize);
}

bool hasTable(sqlite3 *db, const char *name) {
    const Statement statement = prepare(db, "SELECT 1 FROM sqlite_master WHERE type='table' AND name=?;");
    ::sqlite3_bind_text(statement.get(), 1, name, -1, SQLITE_STATIC);
    const int step = ::sqlite3_step(statement.get());
    if (step != SQLITE_ROW && step != SQLITE_DONE)
        throw ReadFailure{::sqlite3_errmsg(db)};
    return step == SQLITE_ROW;
}

// Each row of `sql` handed to `row` until the statement is done.
template <typename Row> void eachRow(sqlite3 *db, const char *sql, Row row) {
    const Statement statement = prepare(db, sql);
    for (;;) {
        const int step = ::sqlite3_step(statement.get());
        if (step == SQLITE_DONE)
            return;
        if (step != SQLITE_ROW)
            throw ReadFailure{::sqlite3_errmsg(db)};
        row(statement.get());
    }
}

std::string textColumn(sqlite3_stmt *statement, int column) {
    const auto *text = ::sqlite3_column_text(statement, column);
    return text ? reinterpret_cast<const char *>(text) : "";
}

std::vector<FileOperationTask> readTasks(sqlite3 *db) {
    std::vector<FileOperationTask> tasks;
    if (!hasTable(db, "operations"))
        return tasks; // made by the holder, not yet prepared
    // One read transaction: the holder's writes in between are not half seen.
    if (::sqlite3_exec(db, "BEGIN;", nullptr, nullptr, nullptr) != SQLITE_OK)
        throw ReadFailure{::sqlite3_errmsg(db)};
    std::size_t finished = 0;
    eachRow(db, "SELECT id, payload FROM operations ORDER BY rowid DESC;", [&](sqlite3_stmt *statement) {
        const void *bytes = ::sqlite3_column_blob(statement, 1);
        const int size = ::sqlite3_column_bytes(statement, 1);
        try {
            if (bytes && size > 0) {
                FileOperationTask task = FileOperationTask::decode(
                    std::string_view(static_cast<const char *>(bytes), static_cast<std::size_t>(size)));
                const bool review = task.phase == OperationPhase::needsReview && !task.cleanedUp;
                if (isTerminal(task.phase) && !review && finished++ >= OperationJournal::kFinishedKept)
                    return;
                tasks.push_back(std::move(task));
                return;
            }
        } catch (const std::exception &) {
            // Shown as unreadable below; the holder sets the row aside.
        }
        tasks.push_back(OperationJournal::unreadableTask(textColumn(statement, 0)));
    });
    if (hasTable(db, "unreadable"))
        eachRow(db, "SELECT id FROM unreadable ORDER BY rowid DESC;", [&](sqlite3_stmt *statement) {
            tasks.push_back(OperationJournal::unreadableTask(textColumn(statement, 0)));
        });
    ::sqlite3_exec(db, "COMMIT;", nullptr, nullptr, nullptr);
    return tasks;
}

} // namespace

OperationJournalReader::OperationJournalReader(std::string path) : m_path(std::move(path)) {}

OperationJournalLoad OperationJournalReader::load() const {
    const auto failed = [&](std::string detail) {
        return OperationJournalLoad{
            {}, OperationProblem(OperationProblem::Code::journal, m_path, std::move(detail))};
    };
    struct stat info {};
    if (::stat(m_path.c_str(), &info) != 0)
        return errno == ENOENT ? OperationJournalLoad{}
                               : failed(OperationProblem::fromErrno(errno, m_path).detail());
    sqlite3 *db = nullptr;
    const int opened =
        ::sqlite3_open_v2(m_path.c_str(), &db, SQLITE_OPEN_READONLY | SQLITE_OPEN_FULLMUTEX, nullptr);
    const Database owner(db, &::sqlite3_close);
    if (opened != SQLITE_OK)
        return failed(db ? ::sqlite3_errmsg(db) : "");
    ::sqlite3_busy_timeout(db, kBusyTimeoutMilliseconds);
    try {
        return {readTasks(db), std::nullopt};
    } catch (const ReadFailure &failure) {
        return failed(failure.detail);
    } catch (const std::exception &error) {
        return failed(error.what());
    }
}

} // namespace dromel
