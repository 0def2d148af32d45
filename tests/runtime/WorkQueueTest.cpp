#include "runtime/WorkQueue.h"
#include "runtime/Lifetime.h"
#include "runtime/MainThread.h"
#include "support/WaitUntil.h"

#include <gtest/gtest.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <thread>

using namespace dromel;
using namespace std::chrono_literals;

// Two jobs queued together on a warm queue (one or both threads waiting) run
// at the same time: each waits for the other to start.
TEST(WorkQueueTest, AWarmQueueRunsTwoQueuedJobsAtOnce) {
    WorkQueue queue(QueueNames::listingOrder());
    const auto burst = [&] {
        std::atomic<int> started = 0, met = 0;
        for (int i = 0; i < 2; ++i)
            queue.async([&] {
                ++started;
                const auto deadline = std::chrono::steady_clock::now() + 2s;
                while (started < 2 && std::chrono::steady_clock::now() < deadline)
                    std::this_thread::yield();
                if (started == 2)
                    ++met;
            });
        EXPECT_TRUE(queue.waitForIdle(5000));
        return met.load();
    };
    queue.async([] {}); // one thread, now waiting
    ASSERT_TRUE(queue.waitForIdle(5000));
    for (int round = 0; round < 20; ++round)
        ASSERT_EQ(burst(), 2) << "round " << round;
}

TEST(WorkQueueTest, GuardedJobsDoNothingOnceTheirOwnerIsGone) {
    int ran = 0;
    auto owner = std::make_unique<Lifetime>();
    MainThread::post(owner->guard([&] { ++ran; }));
    auto kept = std::make_unique<Lifetime>();
    MainThread::post(kept->guard([&] { ran += 10; }));
    owner.reset();
    test::spinFor(30ms);
    EXPECT_EQ(ran, 10);
}

TEST(WorkQueueTest, DestructionWaitsForRunningJobsAndDropsWaitingOnes) {
    std::atomic<bool> started = false, finished = false;
    std::atomic<int> later = 0;
    auto dropped = std::make_shared<int>(0);
    {
        WorkQueue queue(QueueNames::session()); // one at a time
        queue.async([&] {
            started = true;
            std::this_thread::sleep_for(50ms);
            finished = true;
        });
        for (int i = 0; i < 5; ++i)
            queue.async([&, dropped] { ++later; });
        while (!started)
            std::this_thread::yield();
    }
    EXPECT_TRUE(finished);
    EXPECT_EQ(later, 0);
    EXPECT_EQ(dropped.use_count(), 1) << "dropped jobs are released";
}

namespace {

int threadNice() {
    errno = 0;
    return ::getpriority(PRIO_PROCESS, static_cast<id_t>(::gettid()));
}

} // namespace

// The user's copies run at the process's own priority, background work below
// it and bulk work lowest, even when the operations thread is first made by a
// background thread.
TEST(WorkQueueTest, OperationsRunAtTheProcessPriorityAndBackgroundWorkBelowIt) {
    const int base = ::getpriority(PRIO_PROCESS, static_cast<id_t>(::getpid()));
    WorkQueue operations(QueueNames::operations());
    WorkQueue background({"test-background", 1, QueuePriority::utility});
    WorkQueue bulk({"test-bulk", 1, QueuePriority::bulk});
    std::atomic<int> operationsNice = 100, backgroundNice = -100, bulkNice = -100,
                     startedFromBackground = 100;
    operations.async([&] { operationsNice = threadNice(); });
    ASSERT_TRUE(operations.waitForIdle(5000));
    background.async([&] { backgroundNice = threadNice(); });
    ASSERT_TRUE(background.waitForIdle(5000));
    bulk.async([&] { bulkNice = threadNice(); });
    ASSERT_TRUE(bulk.waitForIdle(5000));
    EXPECT_EQ(operationsNice, base);
    EXPECT_GE(backgroundNice, base);
    EXPECT_GE(bulkNice, backgroundNice);
    if (base < 10) { // a process started near the bottom has no room below it
        EXPECT_GT(backgroundNice, base);
        EXPECT_GT(bulkNice, backgroundNice);
    }

    WorkQueue later(QueueNames::operations());
    background.async([&] { later.async([&] { startedFromBackground = threadNice(); }); });
    ASSERT_TRUE(background.waitForIdle(5000));
    ASSERT_TRUE(later.waitForIdle(5000));
    if (::geteuid() == 0) { // lowering a nice value needs the privilege
        EXPECT_EQ(startedFromBackground, base);
    }
}
