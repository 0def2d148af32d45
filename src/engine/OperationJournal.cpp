#include "engine/OperationJournal.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "core/StatePaths.h"
#include "engine/detail/PrivateFolders.h"

#include <sqlite3.h>
#include <sys/stat.h>

#include <cerrno>
#include <functional>

namespace dromel {

namespace {

constexpr const char *kPrepare = "PRAGMA synchronous=FULL; CREATE TABLE IF NOT EXISTS operations (id TEXT "
                                 "PRIMARY KEY, payload BLOB NOT NULL);";
constexpr int kBusyTimeoutMilliseconds = 3000;

OperationProblem journalProblem(const std::string &path, std::string detail = {}) {
    return OperationProblem(OperationProblem::Code::journal, path, std::move(detail));
}

// Opens and prepares the database, runs `body`, closes it whatever happens.
template <typename Body> auto withDatabase(const std::string &path, Body body) {
    detail::makePrivateFolders(Location::parent(path));
    sqlite3 *db = nullptr;
    if (::sqlite3_open_v2(path.c_str(), &db,
                          SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_FULLMUTEX,
                          nullptr) != SQLITE_OK) {
        ::sqlite3_close(db);
        throw journalProblem(path);
    }
    const std::unique_ptr<sqlite3, decltype(&::sqlite3_close)> owner(db, &::sqlite3_close);
    if (::chmod(path.c_str(), 0600) != 0)
        throw OperationProblem::fromErrno(errno, path);
    ::sqlite3_busy_timeout(db, kBusyTimeoutMilliseconds);
    char *message = nullptr;
    if (::sqlite3_exec(db, kPrepare, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string detail = message ? message : ::sqlite3_errmsg(db);
        ::sqlite3_free(message);
        throw journalProblem(path, std::move(detail));
    }
    return body(db);
}

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&::sqlite3_finalize)>;

Statement prepare(sqlite3 *db, const char *sql, const std::string &path) {
    sqlite3_stmt *statement = nullptr;
    if (::sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        throw journalProblem(path);
    return Statement(statement, &::sqlite3_finalize);
}

} // namespace

OperationJournal::OperationJournal(std::string path) : m_path(std::move(path)) {}

std::string OperationJournal::defaultPath() {
    return StatePaths::stateFolder() + "/operations.sqlite";
}

void OperationJournal::save(const FileOperationTask &task) const {
    const std::string payload = task.encoded(); // an encoding error opens nothing
    const std::string id = task.id().text();
    withDatabase(m_path, [&](sqlite3 *db) {
        const Statement statement =
            prepare(db, "INSERT OR REPLACE INTO operations(id,payload) VALUES(?,?);", m_path);
        if (::sqlite3_bind_text(statement.get(), 1, id.c_str(), static_cast<int>(id.size()),
                                SQLITE_TRANSIENT) != SQLITE_OK ||
            ::sqlite3_bind_blob(statement.get(), 2, payload.data(), static_cast<int>(payload.size()),
                                SQLITE_TRANSIENT) != SQLITE_OK ||
            ::sqlite3_step(statement.get()) != SQLITE_DONE)
            throw journalProblem(m_path, ::sqlite3_errmsg(db));
        return 0;
    });
}

std::vector<FileOperationTask> OperationJournal::load() const {
    return withDatabase(m_path, [&](sqlite3 *db) {
        const Statement statement =
            prepare(db, "SELECT payload FROM operations ORDER BY rowid DESC;", m_path);
        std::vector<FileOperationTask> tasks;
        std::size_t finished = 0;
        for (;;) {
            const int step = ::sqlite3_step(statement.get());
            if (step == SQLITE_DONE)
                break;
            if (step != SQLITE_ROW)
                throw journalProblem(m_path);
            const void *bytes = ::sqlite3_column_blob(statement.get(), 0);
            const int size = ::sqlite3_column_bytes(statement.get(), 0);
            if (!bytes || size <= 0)
                throw journalProblem(m_path);
            FileOperationTask task = FileOperationTask::decode(
                std::string_view(static_cast<const char *>(bytes), static_cast<std::size_t>(size)));
            if (!isTerminal(task.phase)) {
                // The program stopped while this task was queued or running.
                task.phase = OperationPhase::needsReview;
                tasks.push_back(std::move(task));
            } else if (task.phase == OperationPhase::needsReview) {
                tasks.push_back(std::move(task));
            } else if (finished++ < kFinishedKept) {
                tasks.push_back(std::move(task));
            }
        }
        return tasks;
    });
}

} // namespace dromel
