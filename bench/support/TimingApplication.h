#pragma once

#include <QEvent>
#include <QObject>

#include <algorithm>
#include <chrono>

namespace dromel::bench {

// An application (QCoreApplication or QApplication) that times every event
// the main thread handles while `measuring` is set, keeping the longest.
template <class Base> class TimingApplication : public Base {
public:
    using Base::Base;

    bool notify(QObject *receiver, QEvent *event) override {
        const auto start = std::chrono::steady_clock::now();
        const bool handled = Base::notify(receiver, event);
        if (measuring)
            longest = std::max(longest, std::chrono::steady_clock::now() - start);
        return handled;
    }

    bool measuring = false;
    std::chrono::steady_clock::duration longest{};
};

} // namespace dromel::bench
