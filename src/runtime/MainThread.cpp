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
    QMetaObject::invokeMethod(app, detail::handedOver(std::move(job)), Qt::QueuedConnection);
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
