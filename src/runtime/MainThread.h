#pragma once

#include <functional>

// The main thread is the thread of the QCoreApplication; every result of
// background work comes back here.
namespace dromel::MainThread {

// Runs `job` on the main thread's event loop, after the caller returns.
void post(std::function<void()> job);

bool isCurrent();

// Aborts with a message when called off the main thread: confinement is a
// contract, and breaking it silently would corrupt state.
void assertCurrent(const char *where);

} // namespace dromel::MainThread
