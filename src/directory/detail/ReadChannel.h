#pragma once

#include "directory/DirectoryReading.h"
#include "runtime/Cancellation.h"

#include <memory>
#include <mutex>
#include <optional>

namespace dromel::detail {

// The hand-over from an enumerating thread to the main thread. The producer
// replaces the pending snapshot (newest only: snapshots are cumulative) and
// posts one delivery while none is outstanding; the consumer's handlers run
// on the main thread until the read is ended.
class ReadChannel : public std::enable_shared_from_this<ReadChannel> {
public:
    ReadChannel(DirectoryReading::SnapshotHandler onSnapshot, DirectoryReading::FinishHandler onFinish);

    // Producer side, any thread.
    void send(DirectorySnapshot snapshot);
    void finish(std::error_code error);
    const Cancellation &cancellation() const { return *m_cancellation; }

    // Consumer side, main thread.
    void end();

private:
    void scheduleDelivery(); // with m_mutex held
    void deliver();

    std::shared_ptr<Cancellation> m_cancellation = Cancellation::make();
    std::mutex m_mutex;
    std::optional<DirectorySnapshot> m_pending;
    std::optional<std::error_code> m_finish;
    bool m_deliveryPosted = false;
    // Main thread only.
    DirectoryReading::SnapshotHandler m_onSnapshot;
    DirectoryReading::FinishHandler m_onFinish;
    bool m_ended = false;
};

// The consumer's handle: ending it ends the channel.
class ChannelRead : public DirectoryRead {
public:
    explicit ChannelRead(std::shared_ptr<ReadChannel> channel) : m_channel(std::move(channel)) {}
    ~ChannelRead() override { cancel(); }
    void cancel() override { m_channel->end(); }

private:
    std::shared_ptr<ReadChannel> m_channel;
};

} // namespace dromel::detail
