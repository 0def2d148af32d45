#pragma once

#include "runtime/MainThread.h"

#include <exception>
#include <memory>

namespace dromel::OperationJournalWorker {

template <typename T>
void run(std::function<T()> body, std::function<void(std::variant<T, OperationProblem>)> completion) {
    runJob([body = std::move(body), completion = std::move(completion)]() mutable {
        auto outcome = std::make_shared<std::variant<T, OperationProblem>>(
            OperationProblem(OperationProblem::Code::journal, "", ""));
        try {
            *outcome = body();
        } catch (const OperationProblem &problem) {
            *outcome = problem;
        } catch (const std::exception &error) {
            *outcome = OperationProblem(OperationProblem::Code::journal, "", error.what());
        }
        MainThread::post([outcome, completion = std::move(completion)] { completion(std::move(*outcome)); });
    });
}

} // namespace dromel::OperationJournalWorker
