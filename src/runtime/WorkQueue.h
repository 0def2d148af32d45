#pragma once

#include "runtime/QueueNames.h"

#include <functional>
#include <memory>
#include <string>

class QThreadPool;

namespace dromel {

// A named queue of jobs run by at most `concurrency` threads of its own pool.
// Worker threads carry the label (the kernel keeps its first 15 bytes).
// Destruction drops jobs that have not started and waits for running ones.
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
    QueueConfig m_config;
    std::unique_ptr<QThreadPool> m_pool;
};

} // namespace dromel
