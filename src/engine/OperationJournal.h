#pragma once

#include "core/FileOperationTask.h"

#include <string>
#include <vector>

namespace dromel {

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
    // Most recently written first. Unfinished tasks come back as needsReview;
    // of the finished ones only the newest 200 are returned (all stay in the
    // file). A row that no longer decodes fails the whole load
    // (JsonDecodeError).
    std::vector<FileOperationTask> load() const;

private:
    std::string m_path;
};

} // namespace dromel
