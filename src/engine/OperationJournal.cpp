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
// Version 1: when a task was finished (for pruning without decoding every
// row) and whether it was left for review; rows this version cannot decode
// are kept in a table of their own, whole.
constexpr const char *kUpgrade =
    "ALTER TABLE operations ADD COLUMN finished INTEGER; ALTER TABLE operations ADD COLUMN "
    "review INTEGER NOT NULL DEFAULT 0; CREATE TABLE IF NOT EXISTS unreadable (id TEXT PRIMARY KEY, payload "
    "BLOB NOT NULL); PRAGMA user_version=1;";
// Version 2: the undo and redo histories, one row, so they outlive the run.
constexpr const char *kUpgrade2 = "CREATE TABLE IF NOT EXISTS undo_history (slot INTEGER PRIMARY KEY CHECK "
                                  "(slot = 0), payload BLOB NOT NULL); PRAGMA user_version=2;";
constexpr int kSchemaVersion = 2;
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

void execute(sqlite3 *db, const char *sql, const std::string &path) {
    char *message = nullptr;
    if (::sqlite3_exec(db, sql, nullptr, nullptr, &message) != SQLITE_OK) {
        std::string detail = message ? message : ::sqlite3_errmsg(db);
        ::sqlite3_free(message);
        ::sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
        if (isDamage(::sqlite3_extended_errcode(db)))
            throw DamagedJournal(OperationProblem::Code::journal, path, std::move(detail));
        throw journalProblem(path, std::move(detail));
    }
}

int userVersion(sqlite3 *db, const std::string &path);

void upgrade(sqlite3 *db, const std::string &path) {
    if (userVersion(db, path) >= kSchemaVersion)
        return;
    // Another connection may upgrade between the look and the write lock, so
    // look again holding it.
    execute(db, "BEGIN IMMEDIATE;", path);
    try {
        const int version = userVersion(db, path);
        if (version < 1)
            execute(db, kUpgrade, path);
        if (version < 2)
            execute(db, kUpgrade2, path);
        execute(db, "COMMIT;", path);
    } catch (...) {
        ::sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
        throw;
    }
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
    upgrade(db, path);
    return body(db);
}

using Statement = std::unique_ptr<sqlite3_stmt, decltype(&::sqlite3_finalize)>;

Statement prepare(sqlite3 *db, const char *sql, const std::string &path) {
    sqlite3_stmt *statement = nullptr;
    if (::sqlite3_prepare_v2(db, sql, -1, &statement, nullptr) != SQLITE_OK)
        fail(db, path, false);
    return Statement(statement, &::sqlite3_finalize);
}

int userVersion(sqlite3 *db, const std::string &path) {
    const Statement statement = prepare(db, "PRAGMA user_version;", path);
    if (::sqlite3_step(statement.get()) != SQLITE_ROW)
        fail(db, path, false);
    return ::sqlite3_column_int(statement.get(), 0);
}

std::int64_t now() {
    return static_cast<std::int64_t>(std::time(nullptr));
}

// Binds text that outlives the statement's step.
bool bindText(sqlite3_stmt *statement, int index, const std::string &text) {
    return ::sqlite3_bind_text(statement, index, text.c_str(), static_cast<int>(text.size()),
                               SQLITE_TRANSIENT) == SQLITE_OK;
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

// The place of a task this version could not read: its id, the task shown
// as unreadable, the row itself kept elsewhere.
FileOperationTask OperationJournal::unreadableTask(const std::string &id) {
    Json request =
        FileOperationRequest(FileOperationKind::copy, {}, std::nullopt, std::nullopt, false, {}, std::nullopt)
            .toJson();
    if (Uuid::parse(id))
        request["id"] = id;
    FileOperationTask task(FileOperationRequest::fromJson(request));
    task.phase = OperationPhase::needsReview;
    task.unreadable = true;
    return task;
}

void OperationJournal::save(const FileOperationTask &task) const {
    const std::string payload = task.encoded(); // an encoding error opens nothing
    const std::string id = task.id().text();
    withDatabase(m_path, [&](sqlite3 *db) {
        const Statement statement = prepare(
            db, "INSERT OR REPLACE INTO operations(id,payload,finished,review) VALUES(?,?,?,?);", m_path);
        const bool finished = isTerminal(task.phase);
        if (!bindText(statement.get(), 1, id) ||
            ::sqlite3_bind_blob(statement.get(), 2, payload.data(), static_cast<int>(payload.size()),
                                SQLITE_TRANSIENT) != SQLITE_OK ||
            (finished ? ::sqlite3_bind_int64(statement.get(), 3, now())
                      : ::sqlite3_bind_null(statement.get(), 3)) != SQLITE_OK ||
            ::sqlite3_bind_int(statement.get(), 4,
                               task.phase == OperationPhase::needsReview && !task.cleanedUp) != SQLITE_OK ||
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

void OperationJournal::saveUndoHistory(const std::string &payload) const {
    withDatabase(m_path, [&](sqlite3 *db) {
        const Statement statement =
            prepare(db, "INSERT OR REPLACE INTO undo_history(slot,payload) VALUES(0,?);", m_path);
        if (::sqlite3_bind_blob(statement.get(), 1, payload.data(), static_cast<int>(payload.size()),
                                SQLITE_TRANSIENT) != SQLITE_OK ||
            ::sqlite3_step(statement.get()) != SQLITE_DONE)
            fail(db, m_path, true);
        return 0;
    });
}

std::optional<std::string> OperationJournal::undoHistory() const {
    return withDatabase(m_path, [&](sqlite3 *db) -> std::optional<std::string> {
        const Statement statement = prepare(db, "SELECT payload FROM undo_history WHERE slot = 0;", m_path);
        const int step = ::sqlite3_step(statement.get());
        if (step == SQLITE_DONE)
            return std::nullopt;
        if (step != SQLITE_ROW)
            fail(db, m_path, false);
        const void *bytes = ::sqlite3_column_blob(statement.get(), 0);
        return std::string(static_cast<const char *>(bytes),
                           static_cast<std::size_t>(::sqlite3_column_bytes(statement.get(), 0)));
    });
}

std::vector<FileOperationTask> OperationJournal::load() const {
    return withDatabase(m_path, [&](sqlite3 *db) {
        prune(db, now());
        const Statement statement =
            prepare(db, "SELECT id, payload, finished FROM operations ORDER BY rowid DESC;", m_path);
        std::vector<FileOperationTask> tasks;
        std::vector<std::string> setAside;
        std::vector<std::string> undated; // finished before finish times were kept
        std::size_t finished = 0;
        for (;;) {
            const int step = ::sqlite3_step(statement.get());
            if (step == SQLITE_DONE)
                break;
            if (step != SQLITE_ROW)
                fail(db, m_path, false);
            const auto *idText = ::sqlite3_column_text(statement.get(), 0);
            const std::string id = idText ? reinterpret_cast<const char *>(idText) : "";
            const void *bytes = ::sqlite3_column_blob(statement.get(), 1);
            const int size = ::sqlite3_column_bytes(statement.get(), 1);
            std::optional<FileOperationTask> decoded;
            try {
                if (bytes && size > 0)
                    decoded = FileOperationTask::decode(
                        std::string_view(static_cast<const char *>(bytes), static_cast<std::size_t>(size)));
            } catch (const std::exception &) {
                // A newer version's task, or a damaged one: kept aside below.
            }
            if (!decoded) {
                setAside.push_back(id);
                continue;
            }
            FileOperationTask task = std::move(*decoded);
            if (isTerminal(task.phase) && ::sqlite3_column_type(statement.get(), 2) == SQLITE_NULL)
                undated.push_back(id);
            if (!isTerminal(task.phase)) {
                // The program stopped while this task was queued or running.
                task.phase = OperationPhase::needsReview;
                FileOperationResult cause;
                cause.outcome = ItemOutcome::failed;
                cause.problem = OperationProblem(OperationProblem::Code::interrupted, "", "");
                task.results.push_back(std::move(cause));
                tasks.push_back(std::move(task));
            } else if (task.phase == OperationPhase::needsReview && !task.cleanedUp) {
                tasks.push_back(std::move(task));
            } else if (finished++ < kFinishedKept) {
                tasks.push_back(std::move(task));
            }
        }
        for (const std::string &id : setAside)
            setRowAside(db, id);
        for (const std::string &id : undated)
            dateRow(db, id, now());
        for (const std::string &id : unreadableIDs(db))
            tasks.push_back(unreadableTask(id));
        return tasks;
    });
}

void OperationJournal::prune(sqlite3 *db, std::int64_t at) const {
    const Statement statement = prepare(
        db,
        "DELETE FROM operations WHERE finished IS NOT NULL AND (finished < ? OR (review = 0 AND rowid NOT IN "
        "(SELECT rowid FROM operations WHERE finished IS NOT NULL AND review = 0 ORDER BY rowid DESC LIMIT "
        "?)));",
        m_path);
    if (::sqlite3_bind_int64(statement.get(), 1, at - kFinishedDays * 24 * 60 * 60) != SQLITE_OK ||
        ::sqlite3_bind_int64(statement.get(), 2, static_cast<std::int64_t>(kFinishedKept)) != SQLITE_OK ||
        ::sqlite3_step(statement.get()) != SQLITE_DONE)
        fail(db, m_path, true);
}

void OperationJournal::setRowAside(sqlite3 *db, const std::string &id) const {
    // Copied whole before it leaves the table: never lost, also if this
    // stops half-way.
    execute(db, "BEGIN IMMEDIATE;", m_path);
    for (const char *sql : {"INSERT OR REPLACE INTO unreadable(id,payload) SELECT id,payload FROM operations "
                            "WHERE id = ?;",
                            "DELETE FROM operations WHERE id = ?;"}) {
        const Statement statement = prepare(db, sql, m_path);
        if (!bindText(statement.get(), 1, id) || ::sqlite3_step(statement.get()) != SQLITE_DONE) {
            ::sqlite3_exec(db, "ROLLBACK;", nullptr, nullptr, nullptr);
            fail(db, m_path, true);
        }
    }
    execute(db, "COMMIT;", m_path);
}

void OperationJournal::dateRow(sqlite3 *db, const std::string &id, std::int64_t at) const {
    const Statement statement = prepare(db, "UPDATE operations SET finished = ? WHERE id = ?;", m_path);
    if (::sqlite3_bind_int64(statement.get(), 1, at) != SQLITE_OK || !bindText(statement.get(), 2, id) ||
        ::sqlite3_step(statement.get()) != SQLITE_DONE)
        fail(db, m_path, true);
}

std::vector<std::string> OperationJournal::unreadableIDs(sqlite3 *db) const {
    const Statement statement = prepare(db, "SELECT id FROM unreadable ORDER BY rowid DESC;", m_path);
    std::vector<std::string> ids;
    for (;;) {
        const int step = ::sqlite3_step(statement.get());
        if (step == SQLITE_DONE)
            return ids;
        if (step != SQLITE_ROW)
            fail(db, m_path, false);
        const auto *text = ::sqlite3_column_text(statement.get(), 0);
        ids.emplace_back(text ? reinterpret_cast<const char *>(text) : "");
    }
}

std::vector<std::string> OperationJournal::unreadablePayloads() const {
    return withDatabase(m_path, [&](sqlite3 *db) {
        const Statement statement = prepare(db, "SELECT payload FROM unreadable ORDER BY rowid;", m_path);
        std::vector<std::string> payloads;
        while (::sqlite3_step(statement.get()) == SQLITE_ROW) {
            const void *bytes = ::sqlite3_column_blob(statement.get(), 0);
            payloads.emplace_back(static_cast<const char *>(bytes),
                                  static_cast<std::size_t>(::sqlite3_column_bytes(statement.get(), 0)));
        }
        return payloads;
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
