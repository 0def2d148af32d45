#include "runtime/MainThread.h"

#include "runtime/detail/HandOver.h"

#include <QCoreApplication>
#include <QThread>

#include <cstdio>
#include <cstdlib>

namespace dromel::MainThread {

void post(std::function<void()> job) {
    QCoreApplication *app = QCoreApplication::instance();
    if (!app)
        return; // no event loop left to run it: the process is ending
    // One receiver for the life of the process, living on the main thread.
    static detail::JobReceiver *const receiver = [app] {
        auto *made = new detail::JobReceiver;
        made->moveToThread(app->thread());
        return made;
    }();
    detail::postJob(receiver, std::move(job));
}

bool isCurrent() {
    const QCoreApplication *app = QCoreApplication::instance();
    return app && QThread::currentThread() == app->thread();
}

void assertCurrent(const char *where) {
    if (!isCurrent()) {
        std::fprintf(stderr, "Dromel: %s called off the main thread\n", where);
        std::abort();
    }
}

} // namespace dromel::MainThread
