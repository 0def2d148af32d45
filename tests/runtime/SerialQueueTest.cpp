#include "runtime/SerialQueue.h"
#include "runtime/MainThread.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <unistd.h>

#include <atomic>
#include <mutex>
#include <vector>

using namespace dromel;
using namespace std::chrono_literals;

TEST(SerialQueueTest, JobsRunInOrderOneAtATimeOffTheMainThread) {
    SerialQueue queue(QueueNames::directoryEvents());
    std::vector<int> order;
    std::atomic<bool> offMain = true;
    for (int i = 0; i < 100; ++i)
        queue.async([&, i] {
            if (MainThread::isCurrent() || !queue.isCurrent())
                offMain = false;
            order.push_back(i);
        });
    queue.sync([] {});
    ASSERT_EQ(order.size(), 100u);
    for (int i = 0; i < 100; ++i)
        EXPECT_EQ(order[i], i);
    EXPECT_TRUE(offMain);
}

TEST(SerialQueueTest, TimersFireOnceOrRepeatUntilCancelled) {
    SerialQueue queue(QueueNames::session());
    std::atomic<int> once = 0, repeated = 0;
    auto single = queue.after(10ms, [&] { ++once; });
    auto repeating = queue.every(5ms, [&] { ++repeated; });
    ASSERT_TRUE(test::waitUntil([&] { return once == 1 && repeated >= 3; }));
    repeating.cancel();
    queue.sync([] {});
    const int stopped = repeated;
    test::spinFor(40ms);
    EXPECT_EQ(repeated, stopped);
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(single.active());
    EXPECT_FALSE(repeating.active());

    // A timer cancelled before it fires never fires.
    std::atomic<int> never = 0;
    auto cancelled = queue.after(20ms, [&] { ++never; });
    cancelled.cancel();
    test::spinFor(50ms);
    EXPECT_EQ(never, 0);
}

// A queued session write must not be lost when its queue goes away.
TEST(SerialQueueTest, DestructionRunsQueuedJobsAndStopsTimers) {
    std::atomic<int> fired = 0;
    std::atomic<bool> queuedJobRan = false;
    {
        SerialQueue queue(QueueNames::session());
        queue.every(1ms, [&] { ++fired; });
        ASSERT_TRUE(test::waitUntil([&] { return fired > 0; }));
        queue.async([&] { queuedJobRan = true; });
    }
    EXPECT_TRUE(queuedJobRan);
    const int after = fired;
    test::spinFor(20ms);
    EXPECT_EQ(fired, after);
}
