#include "browser/SessionPersistence.h"

#include "runtime/MainThread.h"
#include "runtime/SerialQueue.h"

#include <cstdio>
#include <utility>

namespace dromel {

namespace {

// The message of a failed save, or nothing.
std::optional<std::string> save(const SessionStore &store, const BrowserSession &session) {
    try {
        store.save(session);
        return std::nullopt;
    } catch (const std::exception &error) {
        return std::string(error.what());
    }
}

} // namespace

SessionPersistence::SessionPersistence(std::string path, std::chrono::milliseconds debounce)
    : m_store(std::move(path)), m_queue(std::make_unique<SerialQueue>(QueueNames::session())),
      m_onError([](const std::string &message) {
          std::fprintf(stderr, "Dromel: session could not be saved: %s\n", message.c_str());
      }) {
    m_debounce.setSingleShot(true);
    m_debounce.setTimerType(Qt::PreciseTimer);
    m_debounce.setInterval(debounce);
    QObject::connect(&m_debounce, &QTimer::timeout, [this] { flush(); });
}

SessionPersistence::~SessionPersistence() {
    m_queue->sync([] {});
}

void SessionPersistence::load(LoadCompletion completion) {
    m_queue->async([store = m_store, completion = std::move(completion)]() mutable {
        auto session = store.load();
        MainThread::post([completion = std::move(completion), session = std::move(session)]() mutable {
            completion(std::move(session));
        });
    });
}

void SessionPersistence::schedule(BrowserSession session) {
    MainThread::assertCurrent("SessionPersistence::schedule");
    if (m_lastScheduled == session)
        return;
    m_lastScheduled = session;
    m_pending = std::move(session);
    m_debounce.start();
}

void SessionPersistence::flush(std::function<void()> completion) {
    MainThread::assertCurrent("SessionPersistence::flush");
    std::optional<BrowserSession> snapshot = takePending();
    m_queue->async([this, alive = m_lifetime.weak(), store = m_store, snapshot = std::move(snapshot),
                    completion = std::move(completion)]() mutable {
        std::optional<std::string> message;
        if (snapshot)
            message = save(store, *snapshot);
        MainThread::post([this, alive, snapshot = std::move(snapshot), message = std::move(message),
                          completion = std::move(completion)] {
            if (message && !alive.expired())
                failed(*snapshot, *message);
            if (completion)
                completion();
        });
    });
}

void SessionPersistence::flushAndWait() {
    MainThread::assertCurrent("SessionPersistence::flushAndWait");
    std::optional<BrowserSession> snapshot = takePending();
    if (!snapshot)
        return;
    std::optional<std::string> message;
    // The queue is serial: earlier writes finish before this one.
    m_queue->sync([&] { message = save(m_store, *snapshot); });
    if (message)
        failed(*snapshot, *message);
}

std::optional<BrowserSession> SessionPersistence::takePending() {
    m_debounce.stop();
    return std::exchange(m_pending, std::nullopt);
}

void SessionPersistence::cancelPending() {
    MainThread::assertCurrent("SessionPersistence::cancelPending");
    m_debounce.stop();
    if (m_pending)
        m_lastScheduled.reset();
    m_pending.reset();
}

void SessionPersistence::failed(const BrowserSession &snapshot, const std::string &message) {
    // The same session may come again with the next change: let it be retried.
    if (m_lastScheduled == snapshot)
        m_lastScheduled.reset();
    if (m_onError)
        m_onError(message);
}

} // namespace dromel
