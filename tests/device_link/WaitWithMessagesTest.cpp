#include "device_link/Component.h"
#include "device_link/MainThreadHandOver.h"
#include "device_link/ManualClock.h"
#include "device_link/WaitWithMessages.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QTimer>
#include <gtest/gtest.h>

#include <chrono>
#include <ctime>
#include <functional>
#include <string>
#include <thread>
#include <vector>

namespace {

// Runs `fn` from the event loop, that is from inside the next wait.
void DuringNextWait(std::function<void()> fn) { QTimer::singleShot(0, QCoreApplication::instance(), std::move(fn)); }

struct TWatchedComponent : TComponent {
    explicit TWatchedComponent(bool& freed) : Freed(freed) {}
    ~TWatchedComponent() override { Freed = true; }
    bool& Freed;
};

// ---- depth and deferred calls ----

TEST(WaitWithMessages, DepthCountsTheNestedWaitsOnly) {
    TManualClock clock;
    std::vector<int> depths;
    DuringNextWait([&] {
        depths.push_back(WaitDepth());
        DuringNextWait([&] { depths.push_back(WaitDepth()); });
        WaitWithMessages(10);
    });
    WaitWithMessages(100);
    EXPECT_EQ(depths, (std::vector<int>{1, 2}));
    EXPECT_EQ(WaitDepth(), 0);
}

TEST(WaitWithMessages, WhatRunsAfterWaitsWaitsForTheOutermostWaitsCallersInOrder) {
    TManualClock clock;
    std::vector<std::string> ran;
    RunAfterWaits([&] { ran.push_back("at once"); });
    DuringNextWait([&] {
        RunAfterWaits([&] { ran.push_back("first"); });
        WaitWithMessages(10);
        RunAfterWaits([&] { ran.push_back("second"); });
    });
    WaitWithMessages(100);
    ran.push_back("caller resumed");
    QCoreApplication::processEvents();
    EXPECT_EQ(ran, (std::vector<std::string>{"at once", "caller resumed", "first", "second"}));
}

TEST(WaitWithMessages, AComponentDestroyedInAWaitIsInertAtOnceEndsTheWaitsAndIsFreedAfterThem) {
    TManualClock clock(1000);
    bool freed = false;
    auto component = std::make_unique<TWatchedComponent>(freed);
    TComponent* watched = component.get();
    bool destroyingInside = false;
    DuringNextWait([&] {
        DestroyAfterWaits(std::move(component));
        destroyingInside = watched->IsDestroying();
        WaitWithMessages(500);
    });
    WaitWithMessages(3000);
    EXPECT_TRUE(destroyingInside);
    EXPECT_EQ(clock.Now(), 1000u) << "no wait let time pass once the component was going away";
    EXPECT_FALSE(freed) << "the wait's caller may still use it";
    QCoreApplication::processEvents();
    EXPECT_TRUE(freed);
    WaitWithMessages(20);
    EXPECT_EQ(clock.Now(), 1020u) << "later waits wait again";
}

TEST(WaitWithMessages, AComponentDestroyedInANestedWaitEndsTheOuterWaitToo) {
    bool freed = false;
    auto component = std::make_unique<TWatchedComponent>(freed);
    // Timers, so that each wait is already in its event loop when they fire.
    QTimer::singleShot(20, QCoreApplication::instance(), [&] {
        QTimer::singleShot(20, QCoreApplication::instance(), [&] { DestroyAfterWaits(std::move(component)); });
        WaitWithMessages(2000);
    });
    const auto start = std::chrono::steady_clock::now();
    WaitWithMessages(4000);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(1000));
    QCoreApplication::processEvents();
    EXPECT_TRUE(freed);
}

// A worker's call that runs an event loop of its own (a message box raised from a timer's tick).
TEST(WaitWithMessages, WhatWaitsForAWorkersCallCostsNoProcessorTimeMeanwhile) {
    bool ran = false;
    bool ranInsideTheCall = false;
    std::clock_t busy = 0;
    std::thread worker([&] {
        TMainThreadHandOver::Instance().call([&] {
            RunAfterWaits([&] { ran = true; });
            const std::clock_t start = std::clock();
            QEventLoop loop;
            QTimer::singleShot(300, &loop, [&] { loop.quit(); });
            loop.exec();
            busy = std::clock() - start;
            ranInsideTheCall = ran;
        });
    });
    while (!ran) QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    worker.join();
    EXPECT_FALSE(ranInsideTheCall);
    EXPECT_LT(busy, CLOCKS_PER_SEC / 10) << "the main thread spun while the call ran";
}

// ---- the program ending (these end every later wait of the process, so they come last) ----

TEST(WaitWithMessagesEnding, AbortEndsTheRunningWaitAndEveryLaterOne) {
    TManualClock clock;
    DuringNextWait([] { AbortWaits(); });
    WaitWithMessages(100);
    WaitWithMessages(100);
    EXPECT_EQ(clock.Now(), 0u);
}

TEST(WaitWithMessagesEnding, AWaitAfterTheApplicationQuitReturnsAtOnce) {
    DuringNextWait([] { QCoreApplication::exit(0); });
    const auto start = std::chrono::steady_clock::now();
    WaitWithMessages(300);
    WaitWithMessages(300);
    EXPECT_LT(std::chrono::steady_clock::now() - start, std::chrono::milliseconds(250));
}

} // namespace
