#include "engine/FileOperationWorker.h"

#include "runtime/WorkQueue.h"

namespace dromel::FileOperationWorker {

// Both queues live for the life of the process: a step that is running when
// the program ends must finish its journal write rather than be dropped.
void enqueueOperation(std::function<void()> job) {
    static WorkQueue *const queue = new WorkQueue(QueueNames::operations());
    queue->async(std::move(job));
}

void enqueueInspection(std::function<void()> job) {
    static WorkQueue *const queue = new WorkQueue(QueueNames::operationInspection());
    queue->async(std::move(job));
}

} // namespace dromel::FileOperationWorker
