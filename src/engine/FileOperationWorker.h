#pragma once

#include "runtime/Lifetime.h"
#include "runtime/MainThread.h"

#include <exception>
#include <functional>
#include <memory>
#include <variant>

// The engine's two background queues: "operations" (one at a time, utility)
// prepares and performs items and writes their journal steps;
// "operation-inspection" (two at a time, user-initiated) captures version
// tokens so that it never waits behind a long copy.
namespace dromel::FileOperationWorker {

// What a job produced, or what it threw.
template <typename T> using Outcome = std::variant<T, std::exception_ptr>;

void enqueueOperation(std::function<void()> job);
void enqueueInspection(std::function<void()> job);

namespace detail {
template <typename T>
std::function<void()> job(std::function<T()> body, std::function<void(Outcome<T>)> completion) {
    return [body = std::move(body), completion = std::move(completion)]() mutable {
        auto outcome = std::make_shared<Outcome<T>>(std::exception_ptr());
        try {
            *outcome = body();
        } catch (...) {
            *outcome = std::current_exception();
        }
        MainThread::post([outcome, completion = std::move(completion)] { completion(std::move(*outcome)); });
    };
}
} // namespace detail

// Runs `body` on the operation queue and hands its outcome to `completion` on
// the main thread. Whatever `body` throws is caught on the queue.
template <typename T> void run(std::function<T()> body, std::function<void(Outcome<T>)> completion) {
    enqueueOperation(detail::job<T>(std::move(body), std::move(completion)));
}

// The same on the inspection queue.
template <typename T> void inspect(std::function<T()> body, std::function<void(Outcome<T>)> completion) {
    enqueueInspection(detail::job<T>(std::move(body), std::move(completion)));
}

} // namespace dromel::FileOperationWorker
