#include "engine/OperationJournalWorker.h"

#include "runtime/WorkQueue.h"

namespace dromel::OperationJournalWorker {

void runJob(std::function<void()> job) {
    // Created on first use and kept for the life of the process: a write that
    // is queued when the program ends must not be dropped by a destructor.
    static WorkQueue *const queue = new WorkQueue(QueueNames::operationJournal());
    queue->async(std::move(job));
}

} // namespace dromel::OperationJournalWorker
