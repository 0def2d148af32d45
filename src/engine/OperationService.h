#pragma once

#include "core/ConflictChoice.h"
#include "core/FileConflict.h"
#include "core/FileOperationRequest.h"
#include "core/FileOperationTask.h"
#include "core/OperationProblem.h"
#include "core/Uuid.h"
#include "engine/OperationCancellation.h"
#include "engine/OperationExecutor.h"
#include "engine/OperationJournal.h"
#include "runtime/Lifetime.h"

#include <functional>
#include <map>
#include <memory>
#include <optional>
#include <set>
#include <string>
#include <unordered_map>
#include <variant>
#include <vector>

namespace dromel {

// The single owner of every file-operation task of the running program.
//
// Threading: every member is for the main thread only (checked), and none
// blocks. File work runs one task at a time on the "operations" queue, the
// service's own journal writes on "operation-journal"; their results come
// back to the main thread and are dropped when the service is gone. Asking
// callbacks (conflict, limited metadata) receive an `answer` function that
// the user interface calls later, on the main thread, once the user has
// decided; the queue waits for that answer, the main thread never does.
// Callbacks may call back into the service but must not destroy it from
// inside (post the destruction, as deleteLater does).
//
// Guarantees: a task is in the journal before anything is touched on disk,
// and is written again before and after every step that changes a name;
// failures are values in the task's results, never exceptions; a task cut
// off by a crash comes back at the next start in needsReview with the paths
// it may have left, and nothing runs or is cleaned up by itself.
class OperationService {
public:
    using Answer = std::function<void(ConflictChoice)>;
    using Consent = std::function<void(bool)>;
    using Submitted = std::function<void(std::optional<Uuid>)>;
    // Hook run with the new task before its admission write; `done` gets a
    // problem to refuse the admission. For tests of the admission window.
    using BeforeAdmission = std::function<void(const FileOperationTask &,
                                               std::function<void(std::optional<OperationProblem>)> done)>;
    using Versions = std::map<std::string, std::string>;
    using VersionsOutcome = std::variant<Versions, OperationProblem>;

    // One finished task in the undo history; without a receipt it is a
    // barrier that nothing older can be undone across.
    struct UndoEntry {
        Uuid id;
        std::optional<FileUndoRelocation> receipt;
        // What the task did: a trash is undone by a restore and a restore by
        // a trash, a rename or move by its reverse.
        FileOperationKind kind = FileOperationKind::rename;
    };
    static constexpr std::size_t kUndoLimit = 20;

    explicit OperationService(std::string journalPath, BeforeAdmission beforeAdmission = {});
    // Running work is asked to stop; its results are dropped.
    ~OperationService();
    OperationService(const OperationService &) = delete;
    OperationService &operator=(const OperationService &) = delete;

    // Loads the journal once; interrupted tasks come back in needsReview.
    // `done` runs when ready() or startupError() is set (at once when start
    // was already called). A damaged journal is moved aside and reported in
    // startupError() while a fresh one lets work go on (ready() true); a
    // journal that cannot be read at all refuses every task of this run.
    void start(std::function<void()> done = {});
    // Admits the request through the journal and queues it. `done` gets the
    // request's id once its admission write is done, or nothing when it was
    // refused (not ready, a known id, no sources but for createDirectory) or
    // the write failed.
    void submit(FileOperationRequest request, Submitted done = {});
    // Stops a queued task before it runs, or a running one at its next check.
    void cancel(Uuid id);
    // Resubmits the sources of a finished, not completed task that have no
    // succeeded or skipped result, after cleaning up the stages it left (see
    // cleanUp). Undo tasks are not retried.
    void retry(Uuid id, Submitted done = {});
    // Removes the stages a task cut off by a crash left, those whose
    // identity still matches the journal; anything else at their paths stays.
    // `done` gets how many were removed, or nothing when the task is unknown,
    // not in review or the journal write failed.
    using CleanedUp = std::function<void(std::optional<std::size_t>)>;
    void cleanUp(Uuid id, CleanedUp done = {});
    // True for a task in review that still has stages to clean up.
    bool canCleanUp(const Uuid &id) const;
    // Takes a finished or reviewed task off the list and out of the journal,
    // for good. `done` gets whether it went; a failed delete puts it back.
    void dismiss(Uuid id, std::function<void(bool)> done = {});
    // Submits the reverse of the last undoable task.
    void undoLast(Submitted done = {});
    bool canUndo() const;
    bool hasUndoHistory() const { return !m_undoHistory.empty(); }
    const std::vector<UndoEntry> &undoHistory() const { return m_undoHistory; }

    // True while a journal write of submit or cancel is pending or a task is
    // not final.
    bool busy() const;
    // `done` runs on the main thread once nothing is running or pending.
    void waitUntilIdle(std::function<void()> done);

    // Newest first.
    const std::vector<FileOperationTask> &tasks() const { return m_tasks; }
    const FileOperationTask *task(const Uuid &id) const;
    bool ready() const { return m_ready; }
    const std::optional<OperationProblem> &startupError() const { return m_startupError; }
    const OperationJournal &journal() const { return m_journal; }

    // Called after every visible change.
    std::function<void()> onChange;
    // Called once per executed task when it has reached its final phase.
    std::function<void(const FileOperationTask &)> onCompletion;
    // Asked for every name clash; without it the item is skipped.
    std::function<void(const FileConflict &, Answer answer)> resolveConflict;
    // Asked when the destination folder cannot keep metadata or publish
    // atomically; without it the task is cancelled.
    std::function<void(const std::string &folder, Consent answer)> approveLimitedMetadata;

    // The version token of each item, on the inspection queue. When
    // `expectedIDs` names a path, the item there must still have that listing
    // identity (else sourceChanged; unsupported when it cannot be identified).
    static void captureVersions(std::vector<std::string> paths,
                                std::map<std::string, std::string> expectedIDs,
                                std::function<void(VersionsOutcome)> done);

    // The executor's step hook (a no-op by default).
    void setCheckpointForTesting(OperationExecutor::Checkpoint checkpoint);

private:
    struct Execution;

    FileOperationTask *find(const Uuid &id);
    void update(const FileOperationTask &task);
    void changed();
    void admit(const Uuid &id, Submitted done);
    void finishAdmission(const Uuid &id, std::optional<OperationProblem> failure, Submitted done);
    void writeCancelled(const Uuid &id);
    void failAdmission(const Uuid &id, const OperationProblem &problem);
    // Ends an open question of the executing task `id` as a cancellation.
    void closeQuestion(const Uuid &id);
    void beginDraining();
    void drainStep();
    void execute(const Uuid &id);
    void nextItem();
    void prepareItem(const FileOperationRequest &request);
    void onPrepared(std::variant<PreparedOperation, std::exception_ptr> outcome);
    void performItem(ConflictChoice choice);
    void finishItem(FileOperationResult result, ConflictChoice choice);
    void finishTask();
    void journalFailure(const std::exception_ptr &error);
    // Writes `task` to the journal on the operation queue, then runs `saved`
    // on the main thread; a failed write runs `beforeFailure`, then the
    // journal failure path.
    void saveThen(FileOperationTask task, std::function<void()> saved,
                  std::function<void()> beforeFailure = {});
    void completeTask(FileOperationTask task);
    FileOperationResult itemError(const std::exception_ptr &error) const;
    OperationProblem journalProblem(const std::exception_ptr &error) const;
    void progress(const Uuid &id, OperationPhase phase, std::int64_t done, std::int64_t total);
    void recordUndo(const FileOperationTask &task);
    void undoModesOrLink(const FileUndoRelocation &receipt, FileOperationKind kind, Submitted done);

    OperationJournal m_journal;
    BeforeAdmission m_beforeAdmission;
    OperationExecutor::Checkpoint m_checkpoint;
    std::vector<FileOperationTask> m_tasks;
    bool m_ready = false;
    bool m_starting = false;
    std::optional<OperationProblem> m_startupError;
    std::vector<std::function<void()>> m_startWaiters;
    bool m_draining = false;
    int m_pendingWrites = 0;
    std::set<Uuid> m_admitted;
    // Admissions in flight, with what waits for each to end (early cancels).
    std::map<Uuid, std::vector<std::function<void()>>> m_admissions;
    std::vector<UndoEntry> m_undoHistory;
    std::unordered_map<Uuid, std::shared_ptr<OperationCancellation>> m_cancellations;
    std::unique_ptr<Execution> m_execution; // the one task executing
    std::vector<std::function<void()>> m_idleWaiters;
    Lifetime m_lifetime; // last: jobs see the service gone before its state
};

} // namespace dromel
