#pragma once

#include "browser/SessionStore.h"
#include "runtime/Lifetime.h"

#include <QTimer>

#include <chrono>
#include <functional>
#include <memory>
#include <optional>
#include <string>

namespace dromel {

class SerialQueue;

// Debounced saving of the browsing session. Changes come in bursts (every
// click, keystroke and published listing), so only the newest snapshot is
// written, 300 ms after the last change, on the session queue; a snapshot
// equal to the last accepted one is not written again. Main thread only;
// completions and onError run on the main thread.
class SessionPersistence {
public:
    using LoadCompletion = std::function<void(std::optional<BrowserSession>)>;
    using ErrorHandler = std::function<void(const std::string &message)>;

    explicit SessionPersistence(std::string path,
                                std::chrono::milliseconds debounce = std::chrono::milliseconds(300));
    // Waits for writes already handed to the queue; a snapshot still waiting
    // for its debounce is not written (flush first).
    ~SessionPersistence();
    SessionPersistence(const SessionPersistence &) = delete;
    SessionPersistence &operator=(const SessionPersistence &) = delete;

    void load(LoadCompletion completion);
    void schedule(BrowserSession session);
    // Writes the pending snapshot now; `completion` runs once it is on disk
    // (or failed), even when this object is gone by then.
    void flush(std::function<void()> completion = {});
    // flush() that blocks until the write has finished; for quitting.
    void flushAndWait();
    void cancelPending();

    // By default failures are logged to standard error.
    void setOnError(ErrorHandler handler) { m_onError = std::move(handler); }

    const std::string &path() const { return m_store.path(); }

private:
    // Stops the debounce and hands over the pending snapshot.
    std::optional<BrowserSession> takePending();
    void failed(const BrowserSession &snapshot, const std::string &message);

    SessionStore m_store;
    std::unique_ptr<SerialQueue> m_queue;
    std::optional<BrowserSession> m_pending;
    std::optional<BrowserSession> m_lastScheduled;
    QTimer m_debounce;
    ErrorHandler m_onError;
    Lifetime m_lifetime;
};

} // namespace dromel
