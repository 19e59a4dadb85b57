#include "base/MainThreadQueue.h"

#include <atomic>
#include <gtest/gtest.h>
#include <stdexcept>
#include <thread>

namespace velmora {
namespace {

using namespace std::chrono_literals;

TEST(MainThreadQueue, RunsHandedCallsOnTheServingThreadAndReturnsTheirErrors)
{
    TMainThreadQueue queue;
    const auto mainThread = std::this_thread::get_id();
    std::thread::id ranOn;
    std::atomic<bool> workerDone{false};
    std::string caught;
    std::thread worker([&] {
        queue.Synchronize([&] { ranOn = std::this_thread::get_id(); });
        try {
            queue.Synchronize([] { throw std::runtime_error("failed on main"); });
        } catch (const std::runtime_error& e) {
            caught = e.what();
        }
        workerDone = true;
        queue.Wake();
    });
    EXPECT_TRUE(queue.WaitWhileServing([&] { return workerDone.load(); }, 5s));
    worker.join();
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_EQ(caught, "failed on main");
}

// Stopping a worker that is blocked in a hand-over must not deadlock.
TEST(MainThreadQueue, WaitingForAWorkerServesItsPendingHandOver)
{
    TMainThreadQueue queue;
    std::atomic<int> pendingNotices{0};
    queue.OnPending = [&] { ++pendingNotices; };
    std::atomic<bool> stop{false}, ended{false};
    int checks = 0;
    std::thread worker([&] {
        while (!stop)
            queue.Synchronize([&] { ++checks; });
        ended = true;
        queue.Wake();
    });
    while (pendingNotices == 0)
        std::this_thread::yield();
    stop = true;
    EXPECT_TRUE(queue.WaitWhileServing([&] { return ended.load(); }, 5s));
    worker.join();
    EXPECT_GE(checks, 1);
}

TEST(MainThreadQueue, WaitingEndsAtTheLimitWhenTheConditionNeverHolds)
{
    TMainThreadQueue queue;
    EXPECT_FALSE(queue.WaitWhileServing([] { return false; }, 20ms));
    EXPECT_EQ(queue.ProcessPending(), 0u);
}

}  // namespace
}  // namespace velmora
