#pragma once

#include <chrono>
#include <functional>

namespace dromel::test {

// Runs the Qt event loop of the calling (main) thread until `condition` holds
// or `timeout` passes; returns the condition's last value. Tests wait for
// conditions, never for fixed sleeps.
bool waitUntil(const std::function<bool()> &condition,
               std::chrono::milliseconds timeout = std::chrono::seconds(5));

// Runs the event loop for `duration` — only to prove that something does
// *not* happen within a window (silence after a grandchild change, say).
void spinFor(std::chrono::milliseconds duration);

} // namespace dromel::test
