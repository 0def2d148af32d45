#pragma once

#include <QEvent>
#include <QObject>

#include <algorithm>
#include <chrono>
#include <ctime>

namespace dromel::bench {

// The calling thread's CPU time: unlike the wall clock it does not count the
// time the thread waited for a core, so it stays meaningful on a busy machine.
inline std::chrono::nanoseconds threadCpuTime() {
    timespec now{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &now);
    return std::chrono::seconds(now.tv_sec) + std::chrono::nanoseconds(now.tv_nsec);
}

// An application (QCoreApplication or QApplication) that times every event
// the main thread handles while `measuring` is set, keeping the longest, in
// wall time and in the main thread's CPU time.
template <class Base> class TimingApplication : public Base {
public:
    using Base::Base;

    bool notify(QObject *receiver, QEvent *event) override {
        const auto start = std::chrono::steady_clock::now();
        const auto cpuStart = threadCpuTime();
        const bool handled = Base::notify(receiver, event);
        if (measuring) {
            longest = std::max(longest, std::chrono::steady_clock::now() - start);
            longestCpu = std::max(longestCpu, threadCpuTime() - cpuStart);
        }
        return handled;
    }

    bool measuring = false;
    std::chrono::steady_clock::duration longest{};
    std::chrono::nanoseconds longestCpu{};
};

} // namespace dromel::bench
