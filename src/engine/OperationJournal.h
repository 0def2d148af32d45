#pragma once

#include "core/FileOperationTask.h"

#include "core/OperationProblem.h"

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

struct sqlite3;

namespace dromel {

// What the start-up load found.
struct OperationJournalLoad {
    std::vector<FileOperationTask> tasks;
    // Code journal. Set when the journal was damaged and moved aside (path:
    // where the damaged file now is; a fresh journal takes its place), or when
    // it could not be read at all (path: the journal; tasks empty).
    std::optional<OperationProblem> problem;
};

// Every task, whole, in one SQLite table: one row per task, replaced on each
// write, so descending rowid is most recently written first. Holds no open
// connection; each call opens, works and closes. Any thread.
class OperationJournal {
public:
    // Finished tasks are kept this long, and at most this many besides those
    // left for review; older ones are pruned when the journal is loaded.
    static constexpr std::int64_t kFinishedDays = 30;
    static constexpr std::size_t kFinishedKept = 500;

    explicit OperationJournal(std::string path);
    // $XDG_STATE_HOME/Dromel/operations.sqlite
    static std::string defaultPath();

    const std::string &path() const { return m_path; }

    // Throws OperationProblem(journal) for database failures; a failed save
    // leaves the task's previous row in place.
    void save(const FileOperationTask &task) const;
    // Deletes the task's row; nothing when there is none. Throws like save.
    void remove(const Uuid &id) const;
    // Most recently written first. First prunes finished tasks older than
    // kFinishedDays, and those beyond the newest kFinishedKept that are not
    // in review, without decoding them. Unfinished tasks come back as
    // needsReview with an interrupted whole-task result. A row that does not
    // decode (a newer version's task) is moved whole into a side table and
    // comes back, then and later, as an unreadable task with its id.
    std::vector<FileOperationTask> load() const;
    // Keeps the service's undo and redo histories (encoded) in place of the
    // last ones. Throws like save.
    void saveUndoHistory(const std::string &payload) const;
    // What saveUndoHistory last kept, if anything. Throws like save.
    std::optional<std::string> undoHistory() const;
    // The rows set aside as unreadable, as they were written.
    std::vector<std::string> unreadablePayloads() const;
    // load() for the start of the program, which must go on whatever the
    // journal's state: never throws. A file SQLite calls damaged ("file is not
    // a database", corrupt) is renamed to "<journal>.damaged-<UTC time>",
    // never deleted, and loading starts again on a fresh journal.
    OperationJournalLoad loadForStart() const;

    // How a row this version cannot decode is shown: its id, in review,
    // marked unreadable.
    static FileOperationTask unreadableTask(const std::string &id);

private:
    void prune(sqlite3 *db, std::int64_t at) const;
    void setRowAside(sqlite3 *db, const std::string &id) const;
    void dateRow(sqlite3 *db, const std::string &id, std::int64_t at) const;
    std::vector<std::string> unreadableIDs(sqlite3 *db) const;

    std::string m_path;
};

} // namespace dromel
