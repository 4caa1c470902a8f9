#pragma once

#include "device_link/Component.h"
#include "device_link/ThreadPriority.h"

#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <thread>

// A timer whose waiting runs on its own thread, so that its period holds while the main thread
// is busy; each tick is handed to the main thread, which runs OnTimer. The interval counts from
// the end of the previous tick's handling: ticks never overlap and never queue up.
class TThreadedTimer : public TComponent {
public:
    using TNotifyEvent = std::function<void(TComponent* Sender)>;

    TThreadedTimer();
    ~TThreadedTimer() override;

    bool GetEnabled() const { return FEnabled; }
    // Enabling starts a full interval; disabling prevents every later tick, even one whose wait
    // is nearly over.
    void SetEnabled(bool value);
    // Milliseconds between ticks (1000 at creation). A change restarts the wait of a running timer.
    std::uint32_t GetInterval() const { return FInterval; }
    void SetInterval(std::uint32_t value);
    TThreadPriority GetThreadPriority() const { return FThreadPriority; }
    void SetThreadPriority(TThreadPriority value);

    // Whether an interval of 0 may run (then ticks follow as fast as the main thread takes them).
    // Read when the timer is enabled.
    bool AllowZero = false;
    // Runs on the main thread; what it throws is dropped and the ticks go on.
    TNotifyEvent OnTimer;

protected:
    // Runs the tick on the main thread: OnTimer, when enabled and not being destroyed. What it
    // throws is dropped.
    virtual void DoTimer();

private:
    void Run();
    bool WaitForTick(std::unique_lock<std::mutex>& lock);
    void HandOverTick(std::uint64_t generation);
    void RunTick();
    void ScheduleVirtualTick();
    void CancelVirtualTick();

    bool FEnabled = false;
    std::uint32_t FInterval = 1000;
    TThreadPriority FThreadPriority = tpNormal;

    // Shared with the thread, under FMutex.
    std::mutex FMutex;
    std::condition_variable FWake;
    bool FRunning = false;
    bool FTerminated = false;
    std::uint32_t FThreadInterval = 1000;
    // Counts the restarts of the wait; a tick taken before the latest restart is not run.
    std::uint64_t FGeneration = 0;
    int FThreadId = 0;

    std::thread FThread;

    // The pending tick's handle while a virtual time drives the timer, else 0.
    std::uint64_t FVirtualTick = 0;
    // Lets a virtual tick see that its own handler destroyed the timer.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
