#pragma once

#include "runtime/QueueNames.h"

#include <atomic>
#include <chrono>
#include <functional>
#include <memory>
#include <string>

class QObject;
class QThread;

namespace dromel {

namespace detail {
class JobReceiver;
}

// One thread with its own event loop: jobs run one at a time, in order,
// together with timers and file-descriptor readiness callbacks.
class SerialQueue {
public:
    // A timer or readiness watch. cancel() is safe from any thread and stops
    // further callbacks at once; a readiness watch must be cancelled on the
    // queue itself before its descriptor is closed.
    class Handle {
    public:
        Handle() = default;
        void cancel();
        bool active() const;
        explicit operator bool() const { return active(); }

        struct State;

    private:
        friend class SerialQueue;
        explicit Handle(std::shared_ptr<State> state) : m_state(std::move(state)) {}
        std::shared_ptr<State> m_state;
    };

    explicit SerialQueue(QueueConfig config);
    // Runs the jobs already queued, ends timers and watches, stops the thread.
    // Must not be called on the queue itself.
    ~SerialQueue();
    SerialQueue(const SerialQueue &) = delete;
    SerialQueue &operator=(const SerialQueue &) = delete;

    void async(std::function<void()> job);
    // Runs `job` on the queue and waits for it (runs it directly when called
    // on the queue).
    void sync(const std::function<void()> &job);

    Handle after(std::chrono::milliseconds delay, std::function<void()> job);
    Handle every(std::chrono::milliseconds interval, std::function<void()> job);
    Handle watchReadable(int fd, std::function<void()> job);

    bool isCurrent() const;
    const std::string &label() const { return m_config.label; }

private:
    Handle addTimer(std::chrono::milliseconds delay, bool repeating, std::function<void()> job);

    QueueConfig m_config;
    std::unique_ptr<QThread> m_thread;
    detail::JobReceiver *m_context = nullptr; // lives on m_thread
};

} // namespace dromel
