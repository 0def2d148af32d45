#include "directory/detail/ReadChannel.h"

#include "runtime/MainThread.h"

namespace dromel::detail {

ReadChannel::ReadChannel(DirectoryReading::SnapshotHandler onSnapshot,
                         DirectoryReading::FinishHandler onFinish)
    : m_onSnapshot(std::move(onSnapshot)), m_onFinish(std::move(onFinish)) {}

void ReadChannel::send(DirectorySnapshot snapshot) {
    std::lock_guard lock(m_mutex);
    m_pending = std::move(snapshot);
    scheduleDelivery();
}

void ReadChannel::finish(std::error_code error) {
    std::lock_guard lock(m_mutex);
    m_finish = error;
    scheduleDelivery();
}

void ReadChannel::scheduleDelivery() {
    if (m_deliveryPosted)
        return;
    m_deliveryPosted = true;
    MainThread::post([weak = weak_from_this()] {
        if (auto channel = weak.lock())
            channel->deliver();
    });
}

void ReadChannel::deliver() {
    std::optional<DirectorySnapshot> snapshot;
    std::optional<std::error_code> finished;
    {
        std::lock_guard lock(m_mutex);
        snapshot = std::move(m_pending);
        m_pending.reset();
        finished = m_finish;
        m_deliveryPosted = false;
    }
    // A handler may end the read, or destroy its owner; the caller's
    // shared_ptr keeps this channel alive meanwhile.
    if (snapshot && !m_ended && m_onSnapshot)
        m_onSnapshot(*snapshot);
    if (finished && !m_ended) {
        m_ended = true;
        auto onFinish = std::move(m_onFinish);
        m_onSnapshot = nullptr;
        if (onFinish)
            onFinish(*finished);
    }
}

void ReadChannel::end() {
    m_cancellation->cancel();
    if (m_ended)
        return;
    m_ended = true;
    m_onSnapshot = nullptr;
    m_onFinish = nullptr;
}

} // namespace dromel::detail
