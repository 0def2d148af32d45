// Clean-up of the stages a task in review left: each is removed on the
// operation queue only while its identity matches the journal; the task is
// then written without them.
#include "engine/FileOperationWorker.h"
#include "engine/OperationService.h"
#include "engine/OperationStages.h"

#include <algorithm>

namespace dromel {

bool OperationService::canCleanUp(const Uuid &id) const {
    const FileOperationTask *found = task(id);
    return !m_readOnly && found && found->phase == OperationPhase::needsReview && !found->stages.empty();
}

void OperationService::cleanUp(Uuid id, CleanedUp done) {
    MainThread::assertCurrent("OperationService::cleanUp");
    if (!canCleanUp(id)) {
        if (done)
            MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
        return;
    }
    FileOperationTask before = *task(id);
    const OperationJournal journal = m_journal;
    ++m_pendingWrites;
    FileOperationWorker::run<std::pair<FileOperationTask, std::size_t>>(
        [journal, before = std::move(before)] {
            FileOperationTask after = before;
            std::vector<std::string> removed;
            after.stages.clear();
            for (const OperationStage &stage : before.stages) {
                if (OperationStages::removeIfOwn(stage))
                    removed.push_back(stage.path);
                else if (OperationStages::isOwn(stage))
                    after.stages.push_back(stage);
            }
            std::erase_if(after.recoveryPaths, [&](const std::string &path) {
                return std::find(removed.begin(), removed.end(), path) != removed.end();
            });
            // Nothing of the task's own is left: the review is done.
            after.cleanedUp = after.stages.empty();
            journal.save(after);
            return std::pair(std::move(after), removed.size());
        },
        m_lifetime.guard(
            [this, done](FileOperationWorker::Outcome<std::pair<FileOperationTask, std::size_t>> outcome) {
                --m_pendingWrites;
                auto *after = std::get_if<std::pair<FileOperationTask, std::size_t>>(&outcome);
                if (after)
                    update(after->first);
                else
                    changed();
                if (done)
                    done(after ? std::optional(after->second) : std::nullopt);
            }));
}

} // namespace dromel
