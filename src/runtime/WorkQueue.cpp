#include "runtime/WorkQueue.h"

#include "runtime/detail/ThreadName.h"

#include <sys/resource.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <utility>

namespace dromel {

namespace {

constexpr auto kIdleExpiry = std::chrono::seconds(30);
// Per-thread nice values above the process's own (Linux applies them to the
// thread, and within the process's session group when the kernel groups
// sessions, so they rank Dromel's own threads more than other programs).
constexpr int kUtilityNice = 5;
constexpr int kBulkNice = 10;

// A new thread inherits the nice value of the thread that made it, which may
// be a utility queue's: each queue's threads set their own from the process's.
void takeQueuePriority(QueuePriority priority) {
    errno = 0;
    const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    if (errno != 0)
        return;
    const int above = priority == QueuePriority::userInitiated ? 0
                      : priority == QueuePriority::utility     ? kUtilityNice
                                                               : kBulkNice;
    const int wanted = std::min(base + above, 19);
    ::setpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()), wanted);
}

} // namespace

WorkQueue::WorkQueue(QueueConfig config) : m_config(std::move(config)) {}

WorkQueue::~WorkQueue() {
    std::vector<std::thread> threads;
    std::deque<std::function<void()>> dropped; // released outside the lock
    {
        std::lock_guard lock(m_mutex);
        m_stopping = true;
        dropped.swap(m_jobs);
        threads = std::move(m_threads);
    }
    m_wake.notify_all();
    for (std::thread &thread : threads)
        thread.join();
}

void WorkQueue::async(std::function<void()> job) {
    std::unique_lock lock(m_mutex);
    m_jobs.push_back(std::move(job));
    // A waiting thread takes one queued job; a woken one still counts as
    // waiting until it has taken it. More queued jobs than that need a thread
    // of their own, up to the concurrency.
    if (static_cast<int>(m_jobs.size()) <= m_waiting) {
        lock.unlock();
        m_wake.notify_one();
        return;
    }
    if (m_waiting > 0)
        m_wake.notify_one();
    // Threads that ended on their own are joined here, on a caller's thread.
    for (const std::thread::id id : std::exchange(m_finished, {})) {
        const auto it = std::find_if(m_threads.begin(), m_threads.end(),
                                     [id](const std::thread &thread) { return thread.get_id() == id; });
        if (it != m_threads.end()) {
            it->join();
            m_threads.erase(it);
        }
    }
    if (static_cast<int>(m_threads.size()) < std::max(1, m_config.concurrency))
        m_threads.emplace_back([this] { work(); });
}

void WorkQueue::work() {
    detail::nameCurrentThread(m_config.label);
    takeQueuePriority(m_config.priority);
    std::unique_lock lock(m_mutex);
    for (;;) {
        if (m_jobs.empty()) {
            ++m_waiting;
            const bool woken =
                m_wake.wait_for(lock, kIdleExpiry, [this] { return m_stopping || !m_jobs.empty(); });
            --m_waiting;
            if (m_stopping)
                return;
            if (!woken) {
                m_finished.push_back(std::this_thread::get_id());
                return;
            }
        }
        std::function<void()> job = std::move(m_jobs.front());
        m_jobs.pop_front();
        ++m_busy;
        lock.unlock();
        job();
        job = nullptr; // released before the queue counts as idle
        lock.lock();
        --m_busy;
        m_idle.notify_all();
    }
}

bool WorkQueue::waitForIdle(int timeoutMilliseconds) {
    std::unique_lock lock(m_mutex);
    const auto idle = [this] { return m_jobs.empty() && m_busy == 0; };
    if (timeoutMilliseconds < 0) {
        m_idle.wait(lock, idle);
        return true;
    }
    return m_idle.wait_for(lock, std::chrono::milliseconds(timeoutMilliseconds), idle);
}

} // namespace dromel
