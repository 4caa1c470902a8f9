#include "device_link/QorinThreadTimer.h"
#include "device_link/ServeUntil.h"
#include "device_link/WaitWithMessages.h"

#include <gtest/gtest.h>

#include <chrono>
#include <memory>
#include <stdexcept>
#include <vector>

using namespace std::chrono_literals;
using Clock = std::chrono::steady_clock;

namespace {

// The moments of a timer's ticks. The lower bounds of the tests are firm (a tick never comes
// early); the upper bounds only allow for a loaded machine.
class TTickLog {
public:
    explicit TTickLog(TThreadedTimer& timer) {
        timer.OnTimer = [this](TComponent*) { Ticks.push_back(Clock::now()); };
    }
    bool WaitFor(std::size_t count) { return ServeUntil([&] { return Ticks.size() >= count; }); }
    std::vector<Clock::time_point> Ticks;
};

constexpr auto Slack = 200ms;

TEST(ThreadedTimer, TheFirstTickComesOneIntervalAfterEnabling) {
    TThreadedTimer timer;
    TTickLog log(timer);
    EXPECT_FALSE(timer.GetEnabled());
    EXPECT_EQ(timer.GetInterval(), 1000u);
    timer.SetInterval(50);
    const auto enabled = Clock::now();
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitFor(2));
    EXPECT_GE(log.Ticks[0] - enabled, 50ms);
    EXPECT_LT(log.Ticks[0] - enabled, 50ms + Slack);
    EXPECT_GE(log.Ticks[1] - log.Ticks[0], 50ms);
}

TEST(ThreadedTimer, DisablingDuringTheWaitPreventsTheTickAndEnablingStartsAFullInterval) {
    TThreadedTimer timer;
    TTickLog log(timer);
    timer.SetInterval(80);
    timer.SetEnabled(true);
    WaitWithMessages(50);
    timer.SetEnabled(false);
    WaitWithMessages(100);
    EXPECT_TRUE(log.Ticks.empty());

    const auto enabled = Clock::now();
    timer.SetEnabled(true);
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_GE(log.Ticks[0] - enabled, 80ms);
}

TEST(ThreadedTimer, AHandlerMayDisableItsOwnTimer) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.OnTimer = [&](TComponent*) {
        ++ticks;
        timer.SetEnabled(false);
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    ASSERT_TRUE(ServeUntil([&] { return ticks == 1; }));
    WaitWithMessages(50);
    EXPECT_EQ(ticks, 1);
}

TEST(ThreadedTimer, ChangingTheIntervalRestartsTheWait) {
    TThreadedTimer timer;
    TTickLog log(timer);
    timer.SetInterval(300);
    timer.SetEnabled(true);
    WaitWithMessages(100);
    // The old wait would end 200 ms from here; the new one ends 250 ms from here.
    const auto changed = Clock::now();
    timer.SetInterval(250);
    EXPECT_TRUE(timer.GetEnabled());
    ASSERT_TRUE(log.WaitFor(1));
    EXPECT_GE(log.Ticks[0] - changed, 250ms);
}

TEST(ThreadedTimer, AThrowingHandlerIsSwallowedAndTheNextTickComes) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.OnTimer = [&](TComponent*) {
        if (++ticks == 1) throw std::runtime_error("tick failed");
    };
    timer.SetInterval(10);
    timer.SetEnabled(true);
    EXPECT_TRUE(ServeUntil([&] { return ticks >= 2; }));
}

struct TThrowingTimer : TThreadedTimer {
    int Ticks = 0;
    void DoTimer() override {
        ++Ticks;
        throw std::runtime_error("override failed");
    }
};

TEST(ThreadedTimer, AThrowingTickOverrideNeverReachesTheTimersThread) {
    TThrowingTimer timer;
    timer.SetInterval(10);
    timer.SetEnabled(true);
    EXPECT_TRUE(ServeUntil([&] { return timer.Ticks >= 2; }));
}

TEST(ThreadedTimer, ATimerDestroyedFromItsOwnHandlerEndsWithoutHanging) {
    auto timer = std::make_unique<TThreadedTimer>();
    bool destroyed = false;
    timer->OnTimer = [&](TComponent*) {
        timer.reset();
        destroyed = true;
    };
    timer->SetInterval(10);
    timer->SetEnabled(true);
    EXPECT_TRUE(ServeUntil([&] { return destroyed; }));
}

TEST(ThreadedTimer, IntervalZeroTicksOnlyWithAllowZero) {
    TThreadedTimer timer;
    int ticks = 0;
    timer.OnTimer = [&](TComponent*) { ++ticks; };
    timer.SetInterval(0);
    timer.SetEnabled(true);
    EXPECT_TRUE(timer.GetEnabled());
    WaitWithMessages(60);
    EXPECT_EQ(ticks, 0);

    timer.SetEnabled(false);
    timer.AllowZero = true;
    timer.SetEnabled(true);
    EXPECT_TRUE(ServeUntil([&] { return ticks >= 20; }));
}

TEST(ThreadedTimer, DestroyingAnEnabledTimerIsPromptAndNoTickFollows) {
    int ticks = 0;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->OnTimer = [&](TComponent*) { ++ticks; };
    timer->SetInterval(1000);
    timer->SetEnabled(true);
    WaitWithMessages(20);
    const auto start = Clock::now();
    timer.reset();
    EXPECT_LT(Clock::now() - start, 100ms);
    WaitWithMessages(30);
    EXPECT_EQ(ticks, 0);
}

TEST(ThreadedTimer, DestroyingATimerWhoseTickWaitsForTheMainThreadRunsNoHandler) {
    int ticks = 0;
    auto timer = std::make_unique<TThreadedTimer>();
    timer->OnTimer = [&](TComponent*) { ++ticks; };
    timer->SetInterval(0);
    timer->AllowZero = true;
    timer->SetEnabled(true);
    // Not served: the thread is soon blocked handing a tick over.
    std::this_thread::yield();
    timer.reset();
    WaitWithMessages(10);
    EXPECT_EQ(ticks, 0);
}

TEST(ThreadedTimer, PriorityIsKept) {
    TThreadedTimer timer;
    timer.SetThreadPriority(tpLower);
    EXPECT_EQ(timer.GetThreadPriority(), tpLower);
}

TEST(QorinThreadTimer, TheCountersBelongToTheOwner) {
    TQorinThreadTimer timer;
    EXPECT_EQ(timer.GetElapsedTime(), 0);
    EXPECT_EQ(timer.GetLapTime(), 0);
    timer.SetElapsedTime(1500);
    timer.SetLapTime(300);
    timer.SetElapsedTime(1500);
    EXPECT_EQ(timer.GetElapsedTime(), 1500);
    EXPECT_EQ(timer.GetLapTime(), 300);
    timer.ResetTimes();
    EXPECT_EQ(timer.GetElapsedTime(), 0);
    EXPECT_EQ(timer.GetLapTime(), 0);
}

} // namespace
