#pragma once

#include <fcntl.h>
#include <poll.h>
#include <sys/fanotify.h>
#include <unistd.h>

#include <atomic>
#include <string>
#include <thread>

namespace dromel::test {

// Rewrites a file (same size) the moment someone first opens it, or first
// reads it, after this was made, while that call is held by a fanotify
// permission event: a source that changes between two steps of a copier,
// deterministically. `available()` is false where fanotify is not (the test
// then skips).
class RewriteOnFirstUse {
public:
    enum class When { open, read };

    RewriteOnFirstUse(const std::string &file, std::string replacement, When when = When::open)
        : m_writer(::open(file.c_str(), O_WRONLY | O_CLOEXEC)), // opened before the watch
          m_watch(::fanotify_init(FAN_CLASS_CONTENT | FAN_CLOEXEC, O_RDONLY | O_CLOEXEC)),
          m_replacement(std::move(replacement)) {
        if (m_writer < 0 || m_watch < 0 ||
            ::fanotify_mark(m_watch, FAN_MARK_ADD, when == When::open ? FAN_OPEN_PERM : FAN_ACCESS_PERM,
                            AT_FDCWD, file.c_str()) != 0)
            return;
        m_available = true;
        m_guard = std::thread([this] { answer(); });
    }
    ~RewriteOnFirstUse() {
        m_finished = true;
        if (m_guard.joinable())
            m_guard.join();
        if (m_watch >= 0)
            ::close(m_watch);
        if (m_writer >= 0)
            ::close(m_writer);
    }
    RewriteOnFirstUse(const RewriteOnFirstUse &) = delete;
    RewriteOnFirstUse &operator=(const RewriteOnFirstUse &) = delete;

    bool available() const { return m_available; }
    bool rewritten() const { return m_rewritten; }

private:
    void answer() {
        alignas(fanotify_event_metadata) char buffer[4096];
        while (!m_finished) {
            pollfd ready{m_watch, POLLIN, 0};
            ssize_t length = ::poll(&ready, 1, 50) > 0 ? ::read(m_watch, buffer, sizeof buffer) : 0;
            auto *event = reinterpret_cast<fanotify_event_metadata *>(buffer);
            for (; length > 0 && FAN_EVENT_OK(event, length); event = FAN_EVENT_NEXT(event, length)) {
                if (!m_rewritten.exchange(true))
                    (void)::pwrite(m_writer, m_replacement.data(), m_replacement.size(), 0);
                const fanotify_response allow{event->fd, FAN_ALLOW};
                (void)::write(m_watch, &allow, sizeof allow);
                ::close(event->fd);
            }
        }
    }

    int m_writer;
    int m_watch;
    std::string m_replacement;
    bool m_available = false;
    std::atomic<bool> m_rewritten = false;
    std::atomic<bool> m_finished = false;
    std::thread m_guard;
};

} // namespace dromel::test
