#pragma once

#include "core/FileOperationTask.h"

#include "core/OperationProblem.h"

#include <optional>
#include <string>
#include <vector>

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
    static constexpr std::size_t kFinishedKept = 200;

    explicit OperationJournal(std::string path);
    // $XDG_STATE_HOME/Dromel/operations.sqlite
    static std::string defaultPath();

    const std::string &path() const { return m_path; }

    // Throws OperationProblem(journal) for database failures; a failed save
    // leaves the task's previous row in place.
    void save(const FileOperationTask &task) const;
    // Deletes the task's row; nothing when there is none. Throws like save.
    void remove(const Uuid &id) const;
    // Most recently written first. Unfinished tasks come back as needsReview;
    // of the finished ones only the newest 200 are returned (all stay in the
    // file). A row that no longer decodes fails the whole load
    // (JsonDecodeError).
    std::vector<FileOperationTask> load() const;
    // load() for the start of the program, which must go on whatever the
    // journal's state: never throws. A file SQLite calls damaged ("file is not
    // a database", corrupt) is renamed to "<journal>.damaged-<UTC time>",
    // never deleted, and loading starts again on a fresh journal.
    OperationJournalLoad loadForStart() const;

private:
    std::string m_path;
};

} // namespace dromel
