// The undo history, retry and version capture of the operation service.
#include "core/ItemIdentity.h"
#include "core/Location.h"
#include "engine/FileOperationWorker.h"
#include "engine/OperationFS.h"
#include "engine/OperationJournalWorker.h"
#include "engine/OperationService.h"
#include "engine/UndoReversal.h"
#include "runtime/MainThread.h"

#include <algorithm>

namespace dromel {

using Code = OperationProblem::Code;

namespace {

bool sameFile(const std::string &a, const std::string &b) {
    return Location::standardized(a) == Location::standardized(b);
}

// The receipts of the items that succeeded; `complete` tells whether every
// one of them left a receipt.
std::vector<FileUndoRelocation> receiptsOf(const FileOperationTask &task, bool &complete) {
    std::vector<FileUndoRelocation> receipts;
    complete = true;
    for (const FileOperationResult &result : task.results) {
        if (result.outcome != ItemOutcome::succeeded)
            continue;
        if (result.undo)
            receipts.push_back(*result.undo);
        else
            complete = false;
    }
    return receipts;
}

void trim(std::vector<OperationService::UndoEntry> &history) {
    if (history.size() > OperationService::kUndoLimit)
        history.erase(history.begin(),
                      history.begin() + static_cast<long>(history.size() - OperationService::kUndoLimit));
}

// Asked on every change the window renders: no request is built for it.
bool reversible(const OperationService::UndoEntry &entry) {
    return !entry.isBarrier() && UndoReversal::reverseKind(entry.kind);
}

bool wasInterrupted(const FileOperationTask &task) {
    if (task.phase != OperationPhase::needsReview || task.results.empty())
        return false;
    const FileOperationResult &last = task.results.back();
    return !last.source && last.problem && last.problem->code() == Code::interrupted;
}

} // namespace

void OperationService::recordUndo(const FileOperationTask &task) {
    if (task.request.undo())
        return recordReverse(task);
    const auto succeeded = static_cast<std::size_t>(
        std::count_if(task.results.begin(), task.results.end(), [](const FileOperationResult &result) {
            return result.outcome == ItemOutcome::succeeded;
        }));
    const FileOperationKind kind = task.request.kind();
    if (succeeded > 0) {
        UndoEntry entry{task.id(), {}, kind, kind, succeeded};
        bool complete = false;
        std::vector<FileUndoRelocation> receipts = receiptsOf(task, complete);
        // Only a command that did all it set out to do is reversed whole; a
        // partial one or one left for review is a barrier.
        if (task.phase == OperationPhase::completed && complete)
            entry.receipts = std::move(receipts);
        m_undoHistory.push_back(std::move(entry));
    } else if (task.phase == OperationPhase::needsReview) {
        m_undoHistory.push_back(UndoEntry{task.id(), {}, kind, kind, 0});
    } else {
        return; // nothing changed on disk: an older undo or redo stays possible
    }
    m_redoHistory.clear(); // what was undone cannot come back over a new change
    trim(m_undoHistory);
    saveUndoHistory();
}

// An undo moves what it reversed to the redo history, a redo back to the undo
// history; what it could not reverse stays where it was, to be tried again.
void OperationService::recordReverse(const FileOperationTask &task) {
    const Uuid &of = task.request.undo()->operationID;
    const bool undoing = !m_undoHistory.empty() && m_undoHistory.back().id == of;
    const bool redoing = !undoing && !m_redoHistory.empty() && m_redoHistory.back().id == of;
    if (!undoing && !redoing)
        return;
    std::vector<UndoEntry> &from = undoing ? m_undoHistory : m_redoHistory;
    std::vector<UndoEntry> &to = undoing ? m_redoHistory : m_undoHistory;
    if (task.phase == OperationPhase::needsReview) {
        from.back().receipts.clear(); // it may have half happened
        saveUndoHistory();
        return;
    }
    bool complete = false;
    std::vector<FileUndoRelocation> reversed = receiptsOf(task, complete);
    std::vector<FileUndoRelocation> left;
    for (const FileUndoRelocation &receipt : from.back().receipts) {
        const bool done = std::any_of(task.results.begin(), task.results.end(), [&](const auto &result) {
            return result.outcome == ItemOutcome::succeeded && result.source &&
                   sameFile(*result.source, receipt.current);
        });
        if (!done)
            left.push_back(receipt);
    }
    if (left.size() == from.back().receipts.size())
        return; // nothing happened: the user may try again
    const FileOperationKind command = from.back().command;
    const std::size_t count = from.back().receipts.size() - left.size();
    if (left.empty())
        from.pop_back();
    else
        from.back().receipts = std::move(left);
    to.push_back(UndoEntry{task.id(), complete ? std::move(reversed) : std::vector<FileUndoRelocation>{},
                           task.request.kind(), command, count});
    trim(to);
    saveUndoHistory();
}

bool OperationService::canUndo() const {
    return m_pendingWrites == 0 && !busy() && nextUndo();
}

bool OperationService::canRedo() const {
    return m_pendingWrites == 0 && !busy() && nextRedo();
}

const OperationService::UndoEntry *OperationService::nextUndo() const {
    if (m_undoHistory.empty() || !reversible(m_undoHistory.back()))
        return nullptr;
    return &m_undoHistory.back();
}

const OperationService::UndoEntry *OperationService::nextRedo() const {
    if (m_redoHistory.empty() || !reversible(m_redoHistory.back()))
        return nullptr;
    return &m_redoHistory.back();
}

void OperationService::undoLast(Submitted done) {
    MainThread::assertCurrent("OperationService::undoLast");
    submitReverse(m_undoHistory, std::move(done));
}

void OperationService::redoLast(Submitted done) {
    MainThread::assertCurrent("OperationService::redoLast");
    submitReverse(m_redoHistory, std::move(done));
}

void OperationService::submitReverse(std::vector<UndoEntry> &history, Submitted done) {
    std::optional<FileOperationRequest> request;
    if (!m_readOnly && !busy() && !history.empty())
        request = UndoReversal::requestFor(history.back());
    if (!request) {
        if (done)
            MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
        return;
    }
    if (request->kind() == FileOperationKind::changePermissions) {
        // The old modes come from the task itself, so a dismissed one has
        // nothing left to undo with.
        const FileOperationTask *changed = task(history.back().id);
        if (!changed) {
            if (done)
                MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
            return;
        }
        PermissionChange back;
        for (const FileOperationResult &result : changed->results)
            back.restores.insert(back.restores.end(), result.modes.begin(), result.modes.end());
        request->setPermissions(std::move(back));
    }
    request->setRedo(&history == &m_redoHistory);
    // The entry stays until the reverse has completed (see recordReverse).
    submit(std::move(*request), std::move(done));
}

void OperationService::adoptUndoHistory(const std::optional<std::string> &payload) {
    if (payload) {
        try {
            UndoHistory history = UndoHistory::decode(*payload);
            m_undoHistory = std::move(history.undo);
            m_redoHistory = std::move(history.redo);
        } catch (const std::exception &) {
            // Unreadable (a newer version's): the histories start empty.
        }
    }
    const auto known = [this](const Uuid &id) {
        for (const auto *history : {&m_undoHistory, &m_redoHistory})
            for (const UndoEntry &entry : *history)
                if (entry.id == id)
                    return true;
        return false;
    };
    bool changed = false;
    // Newest last, as they ran.
    for (auto task = m_tasks.rbegin(); task != m_tasks.rend(); ++task) {
        if (!wasInterrupted(*task))
            continue;
        if (const std::optional<FileUndoRelocation> &of = task->request.undo()) {
            for (auto *history : {&m_undoHistory, &m_redoHistory})
                if (!history->empty() && history->back().id == of->operationID &&
                    !history->back().isBarrier()) {
                    history->back().receipts.clear();
                    changed = true;
                }
        } else if (!known(task->id())) {
            m_undoHistory.push_back(UndoEntry{task->id(), {}, task->request.kind(), task->request.kind(), 0});
            m_redoHistory.clear();
            trim(m_undoHistory);
            changed = true;
        }
    }
    if (changed)
        saveUndoHistory();
}

void OperationService::saveUndoHistory() {
    // On the journal's own queue, in order: the start of a later service on
    // this journal reads it after every write made before.
    const OperationJournal journal = m_journal;
    OperationJournalWorker::run<bool>(
        [journal, payload = UndoHistory{m_undoHistory, m_redoHistory}.encoded()] {
            journal.saveUndoHistory(payload);
            return true;
        },
        [](std::variant<bool, OperationProblem>) {
            // A history that could not be kept only ends with this run.
        });
}

void OperationService::retry(Uuid id, Submitted done) {
    MainThread::assertCurrent("OperationService::retry");
    const FileOperationTask *old = task(id);
    const auto refuse = [this, &done] {
        if (done)
            MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
    };
    if (m_readOnly || !old || !isTerminal(old->phase) || old->phase == OperationPhase::completed ||
        old->request.undo())
        return refuse();
    std::vector<std::string> left;
    for (const std::string &source : old->request.sources()) {
        const bool settled = std::any_of(
            old->results.begin(), old->results.end(), [&source](const FileOperationResult &result) {
                return result.source == source &&
                       (result.outcome == ItemOutcome::succeeded || result.outcome == ItemOutcome::skipped);
            });
        if (!settled)
            left.push_back(source);
    }
    const FileOperationRequest &request = old->request;
    if (request.kind() != FileOperationKind::createDirectory && left.empty())
        return refuse();
    FileOperationRequest again(request.kind(), std::move(left), request.destination(), request.name(), false,
                               request.sourceVersions(), std::nullopt);
    if (!canCleanUp(id))
        return submit(std::move(again), std::move(done));
    // The stages a crash left are of no use to the new attempt.
    cleanUp(id, [this, again = std::move(again), done = std::move(done)](std::optional<std::size_t>) mutable {
        submit(std::move(again), std::move(done));
    });
}

namespace {

OperationService::Versions capture(const std::vector<std::string> &paths,
                                   const std::map<std::string, std::string> &expectedIDs) {
    OperationService::Versions versions;
    for (const std::string &path : paths) {
        const ObjectStamp first = OperationFS::stamp(path);
        if (const auto expected = expectedIDs.find(path); expected != expectedIDs.end()) {
            const std::string identity = itemIdentity(static_cast<std::uint64_t>(first.device), first.inode,
                                                      Location::lastComponent(path));
            if (identity != expected->second)
                throw OperationProblem(Code::sourceChanged, path, "");
            if (!(OperationFS::stamp(path) == first))
                throw OperationProblem(Code::sourceChanged, path, "");
        }
        versions[path] = first.token();
    }
    return versions;
}

} // namespace

void OperationService::captureVersions(std::vector<std::string> paths,
                                       std::map<std::string, std::string> expectedIDs,
                                       std::function<void(VersionsOutcome)> done) {
    FileOperationWorker::inspect<Versions>(
        [paths = std::move(paths), expectedIDs = std::move(expectedIDs)] {
            return capture(paths, expectedIDs);
        },
        [done = std::move(done)](FileOperationWorker::Outcome<Versions> outcome) {
            if (auto *versions = std::get_if<Versions>(&outcome)) {
                done(std::move(*versions));
                return;
            }
            try {
                std::rethrow_exception(std::get<std::exception_ptr>(outcome));
            } catch (const OperationProblem &problem) {
                done(problem);
            } catch (const std::exception &error) {
                done(OperationProblem(Code::system, "", error.what()));
            }
        });
}

} // namespace dromel
