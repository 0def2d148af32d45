#pragma once

#include "core/OperationProblem.h"

#include <functional>
#include <variant>

namespace dromel::OperationJournalWorker {

// Runs `body` on the process-wide serial "operation-journal" queue, in
// submission order, and hands its value or its failure to `completion` on the
// main thread. Failures that are not an OperationProblem become one with code
// journal and the error's text as detail: nothing escapes the queue.
void runJob(std::function<void()> job);

template <typename T>
void run(std::function<T()> body, std::function<void(std::variant<T, OperationProblem>)> completion);

} // namespace dromel::OperationJournalWorker

#include "engine/detail/OperationJournalWorkerImpl.h"
