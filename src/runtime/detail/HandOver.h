#pragma once

#include <QEvent>
#include <QObject>

#include <functional>

namespace dromel::detail {

// Jobs cross threads inside objects we build ourselves (an event)
// and are marked as handed over once complete. Qt synchronizes the hand-over
// with futex-based locks that ThreadSanitizer cannot see; lambdas passed to
// QMetaObject::invokeMethod are moved into Qt's storage
// after any mark we could set, so every job would look like a race.
void releaseMark(const void *address);
void acquireMark(const void *address);

class JobEvent : public QEvent {
public:
    explicit JobEvent(std::function<void()> job);
    // An event still queued when the application ends is destroyed unrun, on
    // the receiving thread: that is a hand-over too.
    ~JobEvent() override;
    static QEvent::Type jobType();
    // On the receiving thread.
    void run();

private:
    std::function<void()> m_job;
};

// Runs the JobEvents posted to it on its thread.
class JobReceiver : public QObject {
public:
    using QObject::QObject;
    bool event(QEvent *event) override;
};

// Posts `job` to run on `receiver`'s thread.
void postJob(JobReceiver *receiver, std::function<void()> job);

} // namespace dromel::detail
