#pragma once

#include <functional>
#include <memory>

#if defined(__SANITIZE_THREAD__)
extern "C" void __tsan_acquire(void *address);
extern "C" void __tsan_release(void *address);
#endif

namespace dromel::detail {

// For hand-overs Qt synchronizes itself (a blocking call's return, say).
inline void releaseMark([[maybe_unused]] const void *address) {
#if defined(__SANITIZE_THREAD__)
    __tsan_release(const_cast<void *>(address));
#endif
}
inline void acquireMark([[maybe_unused]] const void *address) {
#if defined(__SANITIZE_THREAD__)
    __tsan_acquire(const_cast<void *>(address));
#endif
}

// Qt hands a job to another thread under its own futex-based locks, which
// ThreadSanitizer cannot see; without this mark every job would look like a
// race between the thread that made it and the one that runs it.
inline std::function<void()> handedOver(std::function<void()> job) {
#if defined(__SANITIZE_THREAD__)
    auto box = std::make_shared<std::function<void()>>(std::move(job));
    __tsan_release(box.get());
    return [box] {
        __tsan_acquire(box.get());
        (*box)();
    };
#else
    return job;
#endif
}

} // namespace dromel::detail
