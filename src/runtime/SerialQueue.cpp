#include "runtime/SerialQueue.h"

#include "runtime/detail/HandOver.h"
#include "runtime/detail/ThreadName.h"

#include <QObject>
#include <QSocketNotifier>
#include <QThread>
#include <QTimer>

#include <condition_variable>
#include <mutex>

namespace dromel {

struct SerialQueue::Handle::State {
    std::atomic<bool> cancelled{false};
    std::mutex mutex;
    QObject *object = nullptr; // the timer or notifier, living on the queue thread
    bool repeating = false;
    bool fired = false;
};

void SerialQueue::Handle::cancel() {
    if (!m_state)
        return;
    m_state->cancelled = true;
    std::unique_lock lock(m_state->mutex);
    QObject *object = m_state->object;
    if (!object)
        return;
    if (QThread::currentThread() != object->thread()) {
        // Holding the lock keeps the object alive: its destroyed() handler
        // waits for it.
        object->deleteLater();
        return;
    }
    m_state->object = nullptr;
    lock.unlock();
    if (auto *notifier = qobject_cast<QSocketNotifier *>(object))
        notifier->setEnabled(false);
    delete object;
}

bool SerialQueue::Handle::active() const {
    if (!m_state || m_state->cancelled)
        return false;
    std::lock_guard lock(m_state->mutex);
    return !m_state->fired || m_state->repeating;
}

// Called on the queue thread when the object is made.
static void track(const std::shared_ptr<SerialQueue::Handle::State> &state, QObject *object) {
    std::lock_guard lock(state->mutex);
    state->object = object;
    QObject::connect(object, &QObject::destroyed, [state] {
        std::lock_guard destroyedLock(state->mutex);
        state->object = nullptr;
    });
}

SerialQueue::SerialQueue(QueueConfig config) : m_config(std::move(config)), m_thread(std::make_unique<QThread>()) {
    m_thread->setObjectName(QString::fromStdString(m_config.label));
    m_context = new detail::JobReceiver;
    m_context->moveToThread(m_thread.get());
    m_thread->start(m_config.priority == QueuePriority::userInitiated ? QThread::NormalPriority
                                                                    : QThread::LowPriority);
    async([label = m_config.label] { detail::nameCurrentThread(label); });
}

SerialQueue::~SerialQueue() {
    // Timers and notifiers are the context's children: they are stopped on
    // their own thread; the context itself goes once the thread has ended.
    sync([context = m_context] {
        qDeleteAll(context->children());
        detail::releaseMark(context);
    });
    m_thread->quit();
    m_thread->wait();
    detail::acquireMark(m_context); // QThread::wait() synchronizes where the sanitizer cannot see
    delete m_context;
}

void SerialQueue::async(std::function<void()> job) {
    detail::postJob(m_context, std::move(job));
}

void SerialQueue::sync(const std::function<void()> &job) {
    if (isCurrent()) {
        job();
        return;
    }
    std::mutex mutex;
    std::condition_variable finished;
    bool done = false;
    detail::postJob(m_context, [&] {
        job();
        std::lock_guard lock(mutex);
        done = true;
        finished.notify_one();
    });
    std::unique_lock lock(mutex);
    finished.wait(lock, [&] { return done; });
}

bool SerialQueue::isCurrent() const {
    return QThread::currentThread() == m_thread.get();
}

SerialQueue::Handle SerialQueue::after(std::chrono::milliseconds delay, std::function<void()> job) {
    return addTimer(delay, false, std::move(job));
}

SerialQueue::Handle SerialQueue::every(std::chrono::milliseconds interval, std::function<void()> job) {
    return addTimer(interval, true, std::move(job));
}

SerialQueue::Handle SerialQueue::addTimer(std::chrono::milliseconds delay, bool repeating,
                                          std::function<void()> job) {
    auto state = std::make_shared<Handle::State>();
    state->repeating = repeating;
    auto start = [context = m_context, state, delay, repeating, job = std::move(job)]() mutable {
        if (state->cancelled)
            return;
        auto *timer = new QTimer(context);
        timer->setTimerType(Qt::PreciseTimer);
        timer->setSingleShot(!repeating);
        QObject::connect(timer, &QTimer::timeout, timer, [timer, state, job = std::move(job)] {
            if (state->cancelled)
                return;
            if (!state->repeating) {
                std::lock_guard lock(state->mutex);
                state->fired = true;
            }
            job();
            if (!state->repeating)
                timer->deleteLater();
        });
        track(state, timer);
        timer->start(delay);
    };
    if (isCurrent())
        start();
    else
        async(std::move(start));
    return Handle(std::move(state));
}

SerialQueue::Handle SerialQueue::watchReadable(int fd, std::function<void()> job) {
    auto state = std::make_shared<Handle::State>();
    state->repeating = true;
    auto start = [context = m_context, state, fd, job = std::move(job)]() mutable {
        if (state->cancelled)
            return;
        auto *notifier = new QSocketNotifier(fd, QSocketNotifier::Read, context);
        QObject::connect(notifier, &QSocketNotifier::activated, notifier, [state, job = std::move(job)] {
            if (!state->cancelled)
                job();
        });
        track(state, notifier);
    };
    if (isCurrent())
        start();
    else
        async(std::move(start));
    return Handle(std::move(state));
}

} // namespace dromel
