#include "engine/OperationJournal.h"

#include "core/Location.h"
#include "core/OperationProblem.h"
#include "core/StatePaths.h"
#include "engine/detail/PrivateFolders.h"

#include <fcntl.h>
#include <sqlite3.h>
#include <stdio.h>
#include <sys/stat.h>

#include <cerrno>
#include <ctime>
#include <functional>

namespace dromel {

namespace {

// EXTRA, not FULL: in rollback mode only EXTRA flushes the folder after the
// journal file is removed, so a power cut cannot undo a committed write.
constexpr const char *kPrepare = "PRAGMA synchronous=EXTRA; CREATE TABLE IF NOT EXISTS operations (id TEXT "
                                 "PRIMARY KEY, payload BLOB NOT NULL);";
constexpr int kBusyTimeoutMilliseconds = 3000;

OperationProblem journalProblem(const std::string &path, std::string detail = {}) {
    return OperationProblem(OperationProblem::Code::journal, path, std::move(detail));
}

// A journal SQLite no longer reads as a database. Still a journal problem to
// every caller; only the start-up load treats it differently.
class DamagedJournal : public OperationProblem {
public:
    using OperationProblem::OperationProblem;
};

bool isDamage(int code) {
    code &= 0xFF;
    return code == SQLITE_NOTADB || code == SQLITE_CORRUPT;
}

// Throws the journal problem for the last failure on `db`; `withMessage` puts
// SQLite's message in the detail (damage always carries it).
[[noreturn]] void fail(sqlite3 *db, const std::string &path, bool withMessage) {
    if (isDamage(::sqlite3_extended_errcode(db)))
        throw DamagedJournal(OperationProblem::Code::journal, path, ::sqlite3_errmsg(db));
    throw journalProblem(path, withMessage ? ::sqlite3_errmsg(db) : "");
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
        if (isDamage(::sqlite3_extended_errcode(db)))
            throw DamagedJournal(OperationProblem::Code::journal, path, std::move(detail));
        throw journalProblem(path, std::move(detail));
    }
    return body(db);
}

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&::sqlite3_finalize)>;

Statement prepare(sqlite3 *db, const char *sql, const std::string &path) {
    sqlite3_stmt *statement = nullptr;
    if (::sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        fail(db, path, false);
    return Statement(statement, &::sqlite3_finalize);
}

std::string utcStamp() {
    const std::time_t now = std::time(nullptr);
    std::tm utc{};
    ::gmtime_r(&now, &utc);
    char text[32];
    std::strftime(text, sizeof text, "%Y%m%dT%H%M%SZ", &utc);
    return text;
}

// Renames the damaged journal (and a rollback journal that belongs to it, so
// SQLite never plays it into the fresh file) to a name nothing else uses.
// Returns where the journal went.
std::string moveAside(const std::string &path) {
    const std::string base = path + ".damaged-" + utcStamp();
    for (int attempt = 1;; ++attempt) {
        const std::string aside = attempt == 1 ? base : base + "-" + std::to_string(attempt);
        if (::renameat2(AT_FDCWD, path.c_str(), AT_FDCWD, aside.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST)
                continue;
            throw OperationProblem::fromErrno(errno, path);
        }
        const std::string rollback = path + "-journal";
        const std::string rollbackAside = aside + "-journal";
        if (::renameat2(AT_FDCWD, rollback.c_str(), AT_FDCWD, rollbackAside.c_str(), RENAME_NOREPLACE) != 0 &&
            errno != ENOENT)
            throw OperationProblem::fromErrno(errno, rollback);
        return aside;
    }
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
            fail(db, m_path, true);
        return 0;
    });
}

void OperationJournal::remove(const Uuid &id) const {
    const std::string text = id.text();
    withDatabase(m_path, [&](sqlite3 *db) {
        const Statement statement = prepare(db, "DELETE FROM operations WHERE id=?;", m_path);
        if (::sqlite3_bind_text(statement.get(), 1, text.c_str(), static_cast<int>(text.size()),
                                SQLITE_TRANSIENT) != SQLITE_OK ||
            ::sqlite3_step(statement.get()) != SQLITE_DONE)
            fail(db, m_path, true);
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
                fail(db, m_path, false);
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

OperationJournalLoad OperationJournal::loadForStart() const {
    const auto unreadable = [&](std::string detail) {
        return OperationJournalLoad{{}, journalProblem(m_path, std::move(detail))};
    };
    try {
        return {load(), std::nullopt};
    } catch (const DamagedJournal &damage) {
        std::string aside;
        try {
            aside = moveAside(m_path);
        } catch (const OperationProblem &problem) {
            return unreadable(damage.detail() + "; " + problem.detail());
        }
        try {
            return {load(), journalProblem(aside, damage.detail())};
        } catch (const std::exception &error) {
            return {{}, journalProblem(aside, damage.detail() + "; " + error.what())};
        }
    } catch (const std::exception &error) {
        return unreadable(error.what());
    }
}

} // namespace dromel
