#include "runtime/detail/HandOver.h"

#include <QCoreApplication>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace dromel::detail {

void releaseMark([[maybe_unused]] const void *address) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void *>(address));
#endif
}

void acquireMark([[maybe_unused]] const void *address) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void *>(address));
#endif
}

JobEvent::JobEvent(std::function<void()> job) : QEvent(jobType()), m_job(std::move(job)) {
    releaseMark(this);
}

JobEvent::~JobEvent() {
    acquireMark(this);
}

QEvent::Type JobEvent::jobType() {
    static const auto type = static_cast<QEvent::Type>(QEvent::registerEventType());
    return type;
}

void JobEvent::run() {
    acquireMark(this);
    m_job();
}

bool JobReceiver::event(QEvent *event) {
    acquireMark(event); // before reading the event at all: it was allocated elsewhere
    if (event->type() != JobEvent::jobType())
        return QObject::event(event);
    static_cast<JobEvent *>(event)->run();
    return true;
}

void postJob(JobReceiver *receiver, std::function<void()> job) {
    QCoreApplication::postEvent(receiver, new JobEvent(std::move(job)));
}

} // namespace dromel::detail
