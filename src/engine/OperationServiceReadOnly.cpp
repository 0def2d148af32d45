// The service of a process that could not take the journal: the tasks of the
// process that holds it, read and shown, never written nor run.
#include "engine/OperationJournalReader.h"
#include "engine/OperationJournalWorker.h"
#include "engine/OperationService.h"
#include "runtime/MainThread.h"

namespace dromel {

void OperationService::startReadOnly(std::function<void()> done) {
    MainThread::assertCurrent("OperationService::startReadOnly");
    if (m_ready || (m_starting && !m_readOnly)) {
        if (done)
            MainThread::post(m_lifetime.guard(std::move(done)));
        return; // started for writing: the journal is this process's own
    }
    m_readOnly = true;
    if (done)
        m_startWaiters.push_back(std::move(done));
    if (m_starting)
        return; // a read is on its way
    m_starting = true;
    const OperationJournalReader reader(m_journal.path());
    OperationJournalWorker::run<OperationJournalLoad>(
        [reader] { return reader.load(); },
        m_lifetime.guard([this](std::variant<OperationJournalLoad, OperationProblem> outcome) {
            if (auto *load = std::get_if<OperationJournalLoad>(&outcome)) {
                m_startupError = load->problem;
                m_tasks = std::move(load->tasks);
            } else {
                m_startupError = std::get<OperationProblem>(outcome);
            }
            m_starting = false;
            changed();
            for (auto &waiter : std::exchange(m_startWaiters, {}))
                waiter();
        }));
}

} // namespace dromel
