#include "device_link/MainThreadHandOver.h"
#include "device_link/ManualClock.h"
#include "device_link/ServeUntil.h"
#include "device_link/ShownErrors.h"
#include "device_link/TickClock.h"
#include "device_link/WaitWithMessages.h"

#include <gtest/gtest.h>

#include <atomic>
#include <stdexcept>
#include <thread>

namespace {

TMainThreadHandOver& HandOver() { return TMainThreadHandOver::Instance(); }

// ---- hand-over ----

TEST(MainThreadHandOver, ACallRunsOnTheMainThreadAndItsFailureReachesTheWorker) {
    const auto mainThread = std::this_thread::get_id();
    std::thread::id ranOn;
    std::string failure;
    std::atomic<bool> finished{false};
    std::thread worker([&] {
        HandOver().call([&] { ranOn = std::this_thread::get_id(); });
        try {
            HandOver().call([] { throw std::invalid_argument("bad value"); });
        } catch (const std::invalid_argument& error) {
            failure = error.what();
        }
        finished = true;
    });
    ASSERT_TRUE(ServeUntil([&] { return finished.load(); }));
    worker.join();
    EXPECT_EQ(ranOn, mainThread);
    EXPECT_EQ(failure, "bad value");
}

TEST(MainThreadHandOver, ACallOnTheMainThreadRunsAtOnce) {
    bool ran = false;
    HandOver().call([&] { ran = true; });
    EXPECT_TRUE(ran);
}

TEST(MainThreadHandOver, APostDoesNotWaitAndItsFailureGoesToTheErrorDisplay) {
    TShownErrors shown;
    int ran = 0;
    std::thread worker([&] {
        HandOver().post([&] { ++ran; });
        HandOver().post([] { throw std::runtime_error("posted failure"); });
    });
    worker.join(); // returns without the main thread having served anything
    EXPECT_EQ(ran, 0);
    HandOver().serve();
    EXPECT_EQ(ran, 1);
    EXPECT_EQ(shown.Messages, std::vector<std::string>{"posted failure"});
}

TEST(MainThreadHandOver, JoinServingServesTheWorkersCallsUntilItEnds) {
    int served = 0;
    std::thread worker([&] {
        for (int i = 0; i < 50; ++i) HandOver().call([&] { ++served; });
    });
    HandOver().joinServing(worker);
    EXPECT_FALSE(worker.joinable());
    EXPECT_EQ(served, 50);
}

// ---- waiting with messages ----

TEST(WaitWithMessages, WithAManualClockItServesOnceAndAdvancesByTheRest) {
    TManualClock clock(1000);
    bool served = false;
    HandOver().post([&] {
        served = true;
        clock.Advance(30);
    });
    WaitWithMessages(100);
    EXPECT_TRUE(served);
    EXPECT_EQ(TickCount(), 1100u);
}

TEST(WaitWithMessages, AWrapOfTheCounterEndsTheWait) {
    TManualClock clock(0xFFFFFFF0u);
    HandOver().post([&] { clock.Advance(0x20); });
    WaitWithMessages(1000);
    EXPECT_EQ(TickCount(), 0x10u);
    EXPECT_EQ(TickElapsed(0xFFFFFFF0u, 0x10u), 0x20u);
}

TEST(WaitWithMessages, OnTheSystemClockItWaitsTheWholeTimeWhileServing) {
    std::atomic<bool> served{false};
    std::thread worker([&] { HandOver().call([&] { served = true; }); });
    const std::uint32_t start = TickCount();
    WaitWithMessages(30);
    EXPECT_GE(TickElapsed(start, TickCount()), 30u);
    EXPECT_TRUE(served.load());
    worker.join();
}

} // namespace
