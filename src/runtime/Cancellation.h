#pragma once

#include <memory>
#include <mutex>

namespace dromel {

// A cooperative cancellation flag shared by the asker and the worker; the
// worker polls it between items. One short lock, never held across work.
class Cancellation {
public:
    static std::shared_ptr<Cancellation> make() { return std::make_shared<Cancellation>(); }

    void cancel() {
        std::lock_guard lock(m_mutex);
        m_cancelled = true;
    }
    bool isCancelled() const {
        std::lock_guard lock(m_mutex);
        return m_cancelled;
    }

private:
    mutable std::mutex m_mutex;
    bool m_cancelled = false;
};

} // namespace dromel
