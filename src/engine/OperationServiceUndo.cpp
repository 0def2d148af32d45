// The undo history, retry and version capture of the operation service.
#include "core/ItemIdentity.h"
#include "core/Location.h"
#include "engine/FileOperationWorker.h"
#include "engine/OperationFS.h"
#include "engine/OperationService.h"
#include "runtime/MainThread.h"

#include <algorithm>

namespace dromel {

using Code = OperationProblem::Code;

void OperationService::recordUndo(const FileOperationTask &task) {
    if (const std::optional<FileUndoRelocation> &undone = task.request.undo()) {
        // An undo task settles the entry it was made from, and only that one.
        if (m_undoHistory.empty() || m_undoHistory.back().id != undone->operationID)
            return;
        if (task.phase == OperationPhase::needsReview)
            m_undoHistory.back().receipt.reset(); // it may have half happened
        else if (task.phase == OperationPhase::completed && task.results.size() == 1 &&
                 task.results.front().outcome == ItemOutcome::succeeded)
            m_undoHistory.pop_back();
        return;
    }
    const bool succeeded =
        std::any_of(task.results.begin(), task.results.end(), [](const FileOperationResult &result) {
            return result.outcome == ItemOutcome::succeeded;
        });
    if (succeeded) {
        UndoEntry entry{task.id(), std::nullopt, task.request.kind()};
        if (task.phase == OperationPhase::completed &&
            (task.results.size() == 1 || entry.kind == FileOperationKind::changePermissions))
            entry.receipt = task.results.front().undo;
        m_undoHistory.push_back(std::move(entry));
    } else if (task.phase == OperationPhase::needsReview) {
        m_undoHistory.push_back(UndoEntry{task.id(), std::nullopt, task.request.kind()});
    } else {
        return; // nothing changed on disk: an older undo stays possible
    }
    if (m_undoHistory.size() > kUndoLimit)
        m_undoHistory.erase(m_undoHistory.begin(),
                            m_undoHistory.begin() + static_cast<long>(m_undoHistory.size() - kUndoLimit));
}

bool OperationService::canUndo() const {
    return m_pendingWrites == 0 && !busy() && !m_undoHistory.empty() && m_undoHistory.back().receipt;
}

void OperationService::undoLast(Submitted done) {
    MainThread::assertCurrent("OperationService::undoLast");
    if (busy() || m_undoHistory.empty() || !m_undoHistory.back().receipt) {
        if (done)
            MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
        return;
    }
    const FileUndoRelocation receipt = *m_undoHistory.back().receipt;
    const FileOperationKind kind = m_undoHistory.back().kind;
    if (kind == FileOperationKind::changePermissions || kind == FileOperationKind::makeLink)
        return undoModesOrLink(receipt, kind, std::move(done));
    if (kind == FileOperationKind::trash || kind == FileOperationKind::restore) {
        const FileOperationKind reverse =
            kind == FileOperationKind::trash ? FileOperationKind::restore : FileOperationKind::trash;
        submit(
            FileOperationRequest(reverse, {receipt.current}, std::nullopt, std::nullopt, false, {}, receipt),
            std::move(done));
        return;
    }
    const std::string original = Location::standardized(receipt.original);
    const bool sameFolder =
        Location::parent(Location::standardized(receipt.current)) == Location::parent(original);
    submit(FileOperationRequest(sameFolder ? FileOperationKind::rename : FileOperationKind::move,
                                {receipt.current}, Location::parent(original),
                                Location::lastComponent(original), false, {}, receipt),
           std::move(done));
}

void OperationService::retry(Uuid id, Submitted done) {
    MainThread::assertCurrent("OperationService::retry");
    const FileOperationTask *old = task(id);
    const auto refuse = [this, &done] {
        if (done)
            MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
    };
    if (!old || !isTerminal(old->phase) || old->phase == OperationPhase::completed || old->request.undo())
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
