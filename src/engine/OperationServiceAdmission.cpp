// Start-up, admission and cancellation of the operation service: the
// journal writes made on the journal queue before a task may run, and the
// early end of a task that has not run yet.
#include "engine/OperationJournalWorker.h"
#include "engine/OperationService.h"
#include "runtime/MainThread.h"

namespace dromel {

using Code = OperationProblem::Code;

namespace {

// Runs on the journal queue; any failure there becomes the journal's problem.
bool saveToJournal(const OperationJournal &journal, const FileOperationTask &task) {
    try {
        journal.save(task);
    } catch (const OperationProblem &) {
        throw;
    } catch (const std::exception &error) {
        throw OperationProblem(Code::journal, journal.path(), error.what());
    }
    return true;
}

} // namespace

void OperationService::start(std::function<void()> done) {
    MainThread::assertCurrent("OperationService::start");
    if (m_ready || m_startupError || m_readOnly) {
        if (done)
            MainThread::post(m_lifetime.guard(std::move(done)));
        return;
    }
    if (done)
        m_startWaiters.push_back(std::move(done));
    if (m_starting)
        return;
    m_starting = true;
    const OperationJournal journal = m_journal;
    using Loaded = std::pair<OperationJournalLoad, std::optional<std::string>>;
    OperationJournalWorker::run<Loaded>(
        [journal] {
            Loaded loaded{journal.loadForStart(), std::nullopt};
            if (!loaded.first.problem) {
                try {
                    loaded.second = journal.undoHistory();
                } catch (const std::exception &) {
                    // Without it, only this run's commands can be undone.
                }
            }
            return loaded;
        },
        m_lifetime.guard([this](std::variant<Loaded, OperationProblem> outcome) {
            if (auto *loaded = std::get_if<Loaded>(&outcome)) {
                OperationJournalLoad *load = &loaded->first;
                m_startupError = load->problem;
                // A damaged journal was moved aside and a fresh one started:
                // reported, and operations go on. A journal that cannot be
                // read at all refuses every task of this run.
                m_ready = !load->problem || load->problem->path() != m_journal.path();
                m_tasks = std::move(load->tasks);
                if (m_ready)
                    adoptUndoHistory(loaded->second);
            } else {
                m_startupError = std::get<OperationProblem>(outcome);
            }
            m_starting = false;
            changed();
            for (auto &waiter : std::exchange(m_startWaiters, {}))
                waiter();
        }));
}

void OperationService::submit(FileOperationRequest request, Submitted done) {
    MainThread::assertCurrent("OperationService::submit");
    const Uuid id = request.id();
    if (!m_ready || find(id) ||
        (request.kind() != FileOperationKind::createDirectory && request.sources().empty())) {
        if (done)
            MainThread::post(m_lifetime.guard([done] { done(std::nullopt); }));
        return;
    }
    m_tasks.insert(m_tasks.begin(), FileOperationTask(std::move(request)));
    m_cancellations[id] = std::make_shared<OperationCancellation>();
    ++m_pendingWrites;
    m_admissions[id];
    admit(id, std::move(done));
    changed();
}

void OperationService::admit(const Uuid &id, Submitted done) {
    const FileOperationTask task = *find(id);
    auto write = [this, id, task, done]() {
        const OperationJournal journal = m_journal;
        OperationJournalWorker::run<bool>(
            [journal, task] { return saveToJournal(journal, task); },
            m_lifetime.guard([this, id, done](std::variant<bool, OperationProblem> outcome) {
                std::optional<OperationProblem> failure;
                if (auto *problem = std::get_if<OperationProblem>(&outcome))
                    failure = *problem;
                finishAdmission(id, failure, done);
            }));
    };
    if (!m_beforeAdmission) {
        write();
        return;
    }
    m_beforeAdmission(task,
                      m_lifetime.guard([this, id, done, write](std::optional<OperationProblem> refused) {
                          if (refused)
                              finishAdmission(id, refused, done);
                          else
                              write();
                      }));
}

void OperationService::finishAdmission(const Uuid &id, std::optional<OperationProblem> failure,
                                       Submitted done) {
    const FileOperationTask *task = find(id);
    const bool queued = task && task->phase == OperationPhase::queued;
    if (!failure && queued) {
        m_admitted.insert(id);
        beginDraining();
    } else if (failure && queued) {
        failAdmission(id, *failure);
    }
    std::vector<std::function<void()>> waiting = std::move(m_admissions[id]);
    m_admissions.erase(id);
    --m_pendingWrites;
    beginDraining();
    changed();
    for (auto &job : waiting)
        job();
    if (done)
        done(failure ? std::nullopt : std::optional<Uuid>(id));
}

void OperationService::failAdmission(const Uuid &id, const OperationProblem &problem) {
    m_admitted.erase(id);
    m_cancellations.erase(id);
    FileOperationTask *task = find(id);
    if (!task)
        return;
    FileOperationTask failed = *task;
    failed.phase = OperationPhase::needsReview;
    FileOperationResult result;
    result.outcome = ItemOutcome::failed;
    result.problem = problem;
    failed.results.push_back(std::move(result));
    update(failed);
}

void OperationService::cancel(Uuid id) {
    MainThread::assertCurrent("OperationService::cancel");
    FileOperationTask *task = find(id);
    if (m_readOnly || !task || isTerminal(task->phase) || task->phase == OperationPhase::cancelling)
        return; // asked already, or another process runs it
    if (const auto flag = m_cancellations.find(id); flag != m_cancellations.end())
        flag->second->cancel();
    const bool wasQueued = task->phase == OperationPhase::queued;
    task->phase = OperationPhase::cancelling;
    if (!wasQueued) {
        changed();
        // An open question is closed at once: the user need not answer a
        // task that is being cancelled.
        closeQuestion(id);
        return;
    }
    m_admitted.erase(id);
    ++m_pendingWrites;
    changed();
    auto write = [this, id] { writeCancelled(id); };
    if (const auto admission = m_admissions.find(id); admission != m_admissions.end())
        admission->second.push_back(std::move(write));
    else
        write();
}

void OperationService::writeCancelled(const Uuid &id) {
    const FileOperationTask *task = find(id);
    if (!task) {
        --m_pendingWrites;
        return;
    }
    FileOperationTask cancelled = *task;
    cancelled.phase = OperationPhase::cancelled;
    const OperationJournal journal = m_journal;
    OperationJournalWorker::run<bool>(
        [journal, cancelled] { return saveToJournal(journal, cancelled); },
        m_lifetime.guard([this, id, cancelled](std::variant<bool, OperationProblem> outcome) {
            if (auto *problem = std::get_if<OperationProblem>(&outcome))
                failAdmission(id, *problem);
            else
                update(cancelled);
            --m_pendingWrites;
            m_cancellations.erase(id);
            beginDraining();
            changed();
        }));
}

} // namespace dromel
