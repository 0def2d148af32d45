// Dismissing finished tasks from the operation service's list and journal.
#include "engine/OperationJournalWorker.h"
#include "engine/OperationService.h"
#include "runtime/MainThread.h"

#include <algorithm>

namespace dromel {

void OperationService::dismiss(Uuid id, std::function<void(bool)> done) {
    MainThread::assertCurrent("OperationService::dismiss");
    const auto found = std::find_if(m_tasks.begin(), m_tasks.end(),
                                    [&](const FileOperationTask &task) { return task.id() == id; });
    if (m_readOnly || found == m_tasks.end() || !isTerminal(found->phase)) {
        if (done)
            done(false);
        return;
    }
    // Gone from the list at once; a failed delete brings it back where it was.
    const FileOperationTask removed = *found;
    const std::size_t position = std::size_t(found - m_tasks.begin());
    m_tasks.erase(found);
    ++m_pendingWrites;
    changed();
    const OperationJournal journal = m_journal;
    OperationJournalWorker::run<bool>(
        [journal, id] {
            journal.remove(id);
            return true;
        },
        m_lifetime.guard([this, removed, position, done](std::variant<bool, OperationProblem> outcome) {
            const bool gone = std::holds_alternative<bool>(outcome);
            if (!gone)
                m_tasks.insert(m_tasks.begin() + std::ptrdiff_t(std::min(position, m_tasks.size())), removed);
            --m_pendingWrites;
            changed();
            if (done)
                done(gone);
        }));
}

} // namespace dromel
