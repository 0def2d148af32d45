#pragma once

#include "runtime/QueueNames.h"

#include <condition_variable>
#include <deque>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace dromel {

// A named queue of jobs run by at most `concurrency` threads of its own.
// Threads start when work arrives, carry the label (the kernel keeps its first
// 15 bytes) and end after 30 s without work; utility queues run at a lower
// scheduling priority. Destruction drops jobs that have not started and waits
// for running ones.
//
// The queue is plain standard threads and one mutex rather than a
// QThreadPool: every hand-over is then visible to ThreadSanitizer, where Qt's
// futex locks are not.
class WorkQueue {
public:
    explicit WorkQueue(QueueConfig config);
    ~WorkQueue();
    WorkQueue(const WorkQueue &) = delete;
    WorkQueue &operator=(const WorkQueue &) = delete;

    void async(std::function<void()> job);
    // Waits until no job is queued or running; false on timeout.
    bool waitForIdle(int timeoutMilliseconds = -1);

    const QueueConfig &config() const { return m_config; }
    const std::string &label() const { return m_config.label; }

private:
    void work();

    const QueueConfig m_config;
    std::mutex m_mutex;
    std::condition_variable m_wake; // work arrived or the queue is stopping
    std::condition_variable m_idle; // a job finished
    std::deque<std::function<void()>> m_jobs;
    std::vector<std::thread> m_threads;
    std::vector<std::thread::id> m_finished; // threads that ended, to be joined
    int m_waiting = 0;                       // threads waiting for work
    int m_busy = 0;                          // jobs running
    bool m_stopping = false;
};

} // namespace dromel
