#include "runtime/WorkQueue.h"

#include "runtime/detail/HandOver.h"

#include "runtime/detail/ThreadName.h"

#include <QThreadPool>

namespace dromel {

WorkQueue::WorkQueue(QueueConfig config) : m_config(std::move(config)), m_pool(std::make_unique<QThreadPool>()) {
    m_pool->setObjectName(QString::fromStdString(m_config.label));
    m_pool->setMaxThreadCount(m_config.concurrency);
    m_pool->setThreadPriority(m_config.priority == QueuePriority::userInitiated ? QThread::NormalPriority
                                                                              : QThread::LowPriority);
    m_pool->setExpiryTimeout(30'000);
}

WorkQueue::~WorkQueue() {
    m_pool->clear();
    m_pool->waitForDone();
}

void WorkQueue::async(std::function<void()> job) {
    m_pool->start(new detail::JobRunnable([label = m_config.label, job = std::move(job)] {
        detail::nameCurrentThread(label);
        job();
    }));
}

bool WorkQueue::waitForIdle(int timeoutMilliseconds) {
    return m_pool->waitForDone(timeoutMilliseconds);
}

} // namespace dromel
