#pragma once

#include <exception>
#include <thread>

namespace dromel::detail {

// Runs `aside` on a thread of its own while `here` runs on the calling one,
// and returns once both have ended. A failure of `aside` is rethrown before
// one of `here`, as if `aside` had run first; nothing escapes the other
// thread. For two independent pieces of work that each keep a core busy.
template <typename Aside, typename Here> void runBeside(Aside &&aside, Here &&here) {
    std::exception_ptr asideFailure;
    std::thread helper([&] {
        try {
            aside();
        } catch (...) {
            asideFailure = std::current_exception();
        }
    });
    std::exception_ptr hereFailure;
    try {
        here();
    } catch (...) {
        hereFailure = std::current_exception();
    }
    helper.join();
    if (asideFailure)
        std::rethrow_exception(asideFailure);
    if (hereFailure)
        std::rethrow_exception(hereFailure);
}

} // namespace dromel::detail
