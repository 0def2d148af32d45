#include "runtime/SerialQueue.h"
#include "runtime/MainThread.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <atomic>
#include <numeric>
#include <vector>

using namespace dromel;
using namespace std::chrono_literals;

TEST(SerialQueueTest, JobsRunInOrderOffTheMainThreadAndTimersFireUntilCancelled) {
    SerialQueue queue(QueueNames::session());
    std::vector<int> order;
    std::atomic<bool> offMain = true;
    for (int i = 0; i < 100; ++i)
        queue.async([&, i] {
            if (MainThread::isCurrent() || !queue.isCurrent())
                offMain = false;
            order.push_back(i);
        });
    queue.sync([] {});
    std::vector<int> expected(100);
    std::iota(expected.begin(), expected.end(), 0);
    EXPECT_EQ(order, expected);
    EXPECT_TRUE(offMain);

    std::atomic<int> once = 0, repeated = 0;
    auto single = queue.after(10ms, [&] { ++once; });
    auto repeating = queue.every(5ms, [&] { ++repeated; });
    auto cancelled = queue.after(5ms, [&] { once += 100; });
    cancelled.cancel(); // before it fires: it never does
    ASSERT_TRUE(test::waitUntil([&] { return once == 1 && repeated >= 3; }));
    repeating.cancel();
    queue.sync([] {});
    const int stopped = repeated;
    test::spinFor(40ms);
    EXPECT_EQ(repeated, stopped);
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(single.active());
    EXPECT_FALSE(repeating.active());
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
