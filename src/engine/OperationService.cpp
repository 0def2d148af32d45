// Admission, the queue and the execution of tasks.
//
// A task's life on the main thread: submit → admission write (journal queue)
// → queued and admitted → drain loop picks the oldest → execute: for each
// item prepare (operation queue) → maybe wait for the user's answer →
// perform (operation queue) → write the task → next item → final phase,
// written → undo record, onCompletion. Every hop off the main thread comes
// back through a guard, so nothing runs after the service is gone; at most
// one task executes, held in m_execution.
#include "engine/OperationService.h"

#include "engine/FileOperationWorker.h"
#include "runtime/MainThread.h"

#include <algorithm>
#include <chrono>

namespace dromel {

using Code = OperationProblem::Code;

struct OperationService::Execution {
    Uuid id;
    FileOperationRequest request; // gains the limited-metadata consent
    std::vector<std::optional<std::string>> items;
    std::size_t next = 0;
    std::optional<std::string> source; // the item in hand
    std::shared_ptr<OperationCancellation> cancel;
    std::optional<PreparedOperation> prepared;
    // Set while a question is open: answering clears it, so a late or second
    // answer, or one to a question that cancel() closed, does nothing.
    std::shared_ptr<bool> question;
};

namespace {

OperationProblem problemOr(const std::exception_ptr &error, Code code, const std::string &path) {
    try {
        std::rethrow_exception(error);
    } catch (const OperationProblem &problem) {
        return problem;
    } catch (const std::exception &other) {
        return OperationProblem(code, path, other.what());
    } catch (...) {
        return OperationProblem(code, path, "Unknown failure");
    }
}

bool isCancellation(const std::exception_ptr &error) {
    try {
        std::rethrow_exception(error);
    } catch (const OperationCancelled &) {
        return true;
    } catch (...) {
        return false;
    }
}

// Copy progress reaches the main thread at most every 100 ms; a new phase
// always does.
class ProgressThrottle {
public:
    bool pass(OperationPhase phase) {
        const auto now = std::chrono::steady_clock::now();
        if (phase == m_phase && now - m_last < std::chrono::milliseconds(100))
            return false;
        m_phase = phase;
        m_last = now;
        return true;
    }

private:
    OperationPhase m_phase = OperationPhase::queued;
    std::chrono::steady_clock::time_point m_last{};
};

} // namespace

OperationService::OperationService(std::string journalPath, BeforeAdmission beforeAdmission)
    : m_journal(std::move(journalPath)), m_beforeAdmission(std::move(beforeAdmission)) {}

OperationService::~OperationService() {
    for (auto &[id, cancel] : m_cancellations)
        cancel->cancel();
}

void OperationService::setCheckpointForTesting(OperationExecutor::Checkpoint checkpoint) {
    m_checkpoint = std::move(checkpoint);
}

FileOperationTask *OperationService::find(const Uuid &id) {
    for (FileOperationTask &task : m_tasks)
        if (task.id() == id)
            return &task;
    return nullptr;
}

const FileOperationTask *OperationService::task(const Uuid &id) const {
    for (const FileOperationTask &task : m_tasks)
        if (task.id() == id)
            return &task;
    return nullptr;
}

bool OperationService::busy() const {
    if (m_readOnly)
        return false; // what runs, runs in the process that holds the journal
    if (m_pendingWrites > 0)
        return true;
    return std::any_of(m_tasks.begin(), m_tasks.end(),
                       [](const FileOperationTask &task) { return !isTerminal(task.phase); });
}

void OperationService::changed() {
    if (onChange)
        onChange();
    if (!m_idleWaiters.empty() && !m_draining && !busy())
        for (auto &waiter : std::exchange(m_idleWaiters, {}))
            MainThread::post(m_lifetime.guard(std::move(waiter)));
}

void OperationService::update(const FileOperationTask &task) {
    if (FileOperationTask *stored = find(task.id()))
        *stored = task;
    changed();
}

void OperationService::waitUntilIdle(std::function<void()> done) {
    MainThread::assertCurrent("OperationService::waitUntilIdle");
    m_idleWaiters.push_back(std::move(done));
    if (!m_draining && !busy())
        for (auto &waiter : std::exchange(m_idleWaiters, {}))
            MainThread::post(m_lifetime.guard(std::move(waiter)));
}

void OperationService::closeQuestion(const Uuid &id) {
    if (!m_execution || m_execution->id != id || !m_execution->question || !*m_execution->question)
        return;
    *m_execution->question = false;
    if (m_execution->prepared)
        finishItem(itemError(std::make_exception_ptr(OperationCancelled())), ConflictChoice::cancel);
    else
        finishTask();
}

void OperationService::beginDraining() {
    if (m_draining)
        return;
    const bool runnable = std::any_of(m_tasks.begin(), m_tasks.end(), [this](const FileOperationTask &task) {
        return task.phase == OperationPhase::queued && m_admitted.count(task.id());
    });
    if (!runnable)
        return;
    m_draining = true;
    MainThread::post(m_lifetime.guard([this] { drainStep(); }));
}

void OperationService::drainStep() {
    const auto oldest = std::find_if(m_tasks.rbegin(), m_tasks.rend(), [](const FileOperationTask &task) {
        return task.phase == OperationPhase::queued;
    });
    if (oldest == m_tasks.rend() || !m_admitted.count(oldest->id())) {
        m_draining = false;
        changed();
        return;
    }
    const Uuid id = oldest->id();
    m_admitted.erase(id);
    execute(id);
}

OperationProblem OperationService::journalProblem(const std::exception_ptr &error) const {
    return problemOr(error, Code::journal, m_journal.path());
}

FileOperationResult OperationService::itemError(const std::exception_ptr &error) const {
    FileOperationResult result;
    result.source = m_execution->source;
    result.destination = m_execution->request.destination();
    if (isCancellation(error)) {
        result.outcome = ItemOutcome::cancelled;
        return result;
    }
    result.outcome = ItemOutcome::failed;
    result.problem = problemOr(error, Code::system, m_execution->source.value_or(""));
    return result;
}

void OperationService::execute(const Uuid &id) {
    FileOperationTask *task = find(id);
    auto &flag = m_cancellations[id];
    if (!flag)
        flag = std::make_shared<OperationCancellation>();
    m_execution.reset(new Execution{id, task->request, {}, 0, std::nullopt, flag, std::nullopt, nullptr});
    if (task->request.kind() == FileOperationKind::createDirectory)
        m_execution->items.emplace_back(std::nullopt);
    else
        for (const std::string &source : task->request.sources())
            m_execution->items.emplace_back(source);
    task->phase = OperationPhase::preparing;
    const FileOperationTask written = *task;
    update(written);
    saveThen(written, [this] { nextItem(); });
}

void OperationService::nextItem() {
    Execution &execution = *m_execution;
    if (execution.next >= execution.items.size() || execution.cancel->isCancelled()) {
        finishTask();
        return;
    }
    execution.source = execution.items[execution.next++];
    execution.prepared.reset();
    FileOperationTask task = *find(execution.id);
    task.phase = OperationPhase::preparing;
    update(task);
    prepareItem(execution.request);
}

void OperationService::prepareItem(const FileOperationRequest &request) {
    const OperationExecutor executor{m_journal, m_checkpoint ? m_checkpoint : [](const std::string &) {}};
    FileOperationWorker::run<PreparedOperation>(
        [executor, request, source = m_execution->source, cancel = m_execution->cancel] {
            return executor.prepare(request, source, *cancel);
        },
        m_lifetime.guard([this](FileOperationWorker::Outcome<PreparedOperation> outcome) {
            onPrepared(std::move(outcome));
        }));
}

void OperationService::onPrepared(std::variant<PreparedOperation, std::exception_ptr> outcome) {
    Execution &execution = *m_execution;
    const Uuid id = execution.id;
    if (auto *error = std::get_if<std::exception_ptr>(&outcome)) {
        const OperationProblem problem = problemOr(*error, Code::system, "");
        if (isCancellation(*error) || problem.code() != Code::metadataConsent) {
            finishItem(itemError(*error), ConflictChoice::keepBoth);
            return;
        }
        if (execution.cancel->isCancelled() || !approveLimitedMetadata) {
            execution.cancel->cancel();
            finishTask();
            return;
        }
        FileOperationTask task = *find(id);
        task.phase = OperationPhase::waiting;
        execution.question = std::make_shared<bool>(true);
        update(task);
        approveLimitedMetadata(problem.path(),
                               m_lifetime.guard([this, question = execution.question](bool approved) {
                                   if (!*question)
                                       return;
                                   *question = false;
                                   if (!approved) {
                                       m_execution->cancel->cancel();
                                       finishTask();
                                       return;
                                   }
                                   m_execution->request.setAllowLimitedMetadata(true);
                                   prepareItem(m_execution->request);
                               }));
        return;
    }
    execution.prepared = std::move(std::get<PreparedOperation>(outcome));
    if (execution.cancel->isCancelled()) {
        finishItem(itemError(std::make_exception_ptr(OperationCancelled())), ConflictChoice::keepBoth);
        return;
    }
    const std::optional<FileConflict> conflict = execution.prepared->conflict();
    if (!conflict) {
        performItem(ConflictChoice::keepBoth);
        return;
    }
    if (!resolveConflict) {
        performItem(ConflictChoice::skip);
        return;
    }
    FileOperationTask task = *find(id);
    task.phase = OperationPhase::waiting;
    execution.question = std::make_shared<bool>(true);
    update(task);
    resolveConflict(*conflict, m_lifetime.guard([this, question = execution.question](ConflictChoice choice) {
        if (!*question)
            return;
        *question = false;
        performItem(choice);
    }));
}

void OperationService::performItem(ConflictChoice choice) {
    Execution &execution = *m_execution;
    if (execution.cancel->isCancelled()) {
        finishItem(itemError(std::make_exception_ptr(OperationCancelled())), choice);
        return;
    }
    const OperationExecutor executor{m_journal, m_checkpoint ? m_checkpoint : [](const std::string &) {}};
    const Uuid id = execution.id;
    auto throttle = std::make_shared<ProgressThrottle>();
    OperationExecutor::Event event =
        [throttle,
         report = m_lifetime.guard([this, id](OperationPhase phase, std::int64_t done, std::int64_t total) {
             progress(id, phase, done, total);
         })](OperationPhase phase, std::int64_t done, std::int64_t total) {
            if (throttle->pass(phase))
                MainThread::post([report, phase, done, total]() mutable { report(phase, done, total); });
        };
    FileOperationWorker::run<FileOperationResult>(
        [executor, prepared = *execution.prepared, request = execution.request, choice, task = *find(id),
         cancel = execution.cancel,
         event] { return executor.perform(prepared, request, choice, task, *cancel, event); },
        m_lifetime.guard([this, choice](FileOperationWorker::Outcome<FileOperationResult> outcome) {
            if (auto *error = std::get_if<std::exception_ptr>(&outcome))
                finishItem(itemError(*error), choice);
            else
                finishItem(std::move(std::get<FileOperationResult>(outcome)), choice);
        }));
}

void OperationService::progress(const Uuid &id, OperationPhase phase, std::int64_t done, std::int64_t total) {
    FileOperationTask *task = find(id);
    if (!task || isTerminal(task->phase))
        return;
    const auto flag = m_cancellations.find(id);
    if (flag == m_cancellations.end() || !flag->second->isCancelled())
        task->phase = phase;
    task->bytes = done;
    task->totalBytes = total;
    changed();
}

void OperationService::finishItem(FileOperationResult result, ConflictChoice choice) {
    Execution &execution = *m_execution;
    FileOperationTask task = *find(execution.id);
    if (result.outcome != ItemOutcome::succeeded)
        task.recoveryPaths.insert(task.recoveryPaths.end(), result.recoveryPaths.begin(),
                                  result.recoveryPaths.end());
    task.results.push_back(std::move(result));
    if (choice == ConflictChoice::cancel)
        execution.cancel->cancel();
    saveThen(
        task,
        [this, task] {
            FileOperationTask stored = *find(task.id());
            stored.results = task.results;
            stored.recoveryPaths = task.recoveryPaths;
            update(stored);
            nextItem();
        },
        [this, task] {
            FileOperationTask *stored = find(task.id());
            stored->results = task.results;
            stored->recoveryPaths = task.recoveryPaths;
        });
}

void OperationService::finishTask() {
    FileOperationTask task = *find(m_execution->id);
    const bool cancelled = m_execution->cancel->isCancelled();
    const auto count = [&task](ItemOutcome outcome) {
        return std::any_of(
            task.results.begin(), task.results.end(),
            [outcome](const FileOperationResult &result) { return result.outcome == outcome; });
    };
    const bool succeeded = count(ItemOutcome::succeeded);
    const bool failed = count(ItemOutcome::failed);
    if (cancelled)
        task.phase = succeeded ? OperationPhase::partial : OperationPhase::cancelled;
    else
        task.phase = !failed      ? OperationPhase::completed
                     : !succeeded ? OperationPhase::failed
                                  : OperationPhase::partial;
    if (!task.recoveryPaths.empty())
        task.phase = OperationPhase::needsReview;
    saveThen(task, [this, task] { completeTask(task); });
}

void OperationService::saveThen(FileOperationTask task, std::function<void()> saved,
                                std::function<void()> beforeFailure) {
    const OperationJournal journal = m_journal;
    FileOperationWorker::run<bool>(
        [journal, task] {
            journal.save(task);
            return true;
        },
        m_lifetime.guard([this, saved, beforeFailure](FileOperationWorker::Outcome<bool> outcome) {
            if (auto *error = std::get_if<std::exception_ptr>(&outcome)) {
                if (beforeFailure)
                    beforeFailure();
                journalFailure(*error);
                return;
            }
            saved();
        }));
}

void OperationService::journalFailure(const std::exception_ptr &error) {
    FileOperationTask task = *find(m_execution->id);
    task.phase = OperationPhase::needsReview;
    FileOperationResult result;
    result.outcome = ItemOutcome::failed;
    result.problem = journalProblem(error);
    task.results.push_back(std::move(result));
    completeTask(std::move(task));
}

void OperationService::completeTask(FileOperationTask task) {
    recordUndo(task);
    m_execution.reset();
    update(task);
    m_cancellations.erase(task.id());
    if (onCompletion)
        onCompletion(task);
    drainStep();
}

} // namespace dromel
