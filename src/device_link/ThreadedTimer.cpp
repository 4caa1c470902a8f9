#include "device_link/ThreadedTimer.h"

#include "device_link/MainThreadHandOver.h"
#include "device_link/VirtualTime.h"

#include <algorithm>
#include <chrono>

TThreadedTimer::TThreadedTimer() {
    TMainThreadHandOver::Instance();
    FThread = std::thread([this] {
        try {
            Run();
        } catch (const TWorkerAbandoned&) {
            // The timer was destroyed from its own tick: it is gone, so is this thread.
        }
    });
    // The thread's id is known before anyone can set its priority.
    std::unique_lock lock(FMutex);
    FWake.wait(lock, [this] { return FThreadId != 0; });
}

TThreadedTimer::~TThreadedTimer() {
    BeginDestruction();
    FEnabled = false;
    CancelVirtualTick();
    {
        std::lock_guard lock(FMutex);
        FTerminated = true;
    }
    FWake.notify_all();
    TMainThreadHandOver::Instance().joinServing(FThread);
}

void TThreadedTimer::SetEnabled(bool value) {
    if (value == FEnabled) return;
    FEnabled = value;
    ScheduleVirtualTick();
    {
        std::lock_guard lock(FMutex);
        // A new generation ends the current wait without a tick and voids a tick already taken.
        ++FGeneration;
        FRunning = value && FVirtualTick == 0 && (FThreadInterval != 0 || AllowZero);
    }
    FWake.notify_all();
}

void TThreadedTimer::SetInterval(std::uint32_t value) {
    if (value == FInterval) return;
    const bool enabled = FEnabled;
    SetEnabled(false);
    FInterval = value;
    {
        std::lock_guard lock(FMutex);
        FThreadInterval = value;
    }
    SetEnabled(enabled);
}

void TThreadedTimer::SetThreadPriority(TThreadPriority value) {
    FThreadPriority = value;
    ApplyThreadPriority(FThreadId, value);
}

// Under a virtual time the ticks are its actions: the thread stays waiting, and each tick
// schedules the next one interval later, unless the tick itself restarted the timer.
void TThreadedTimer::ScheduleVirtualTick() {
    CancelVirtualTick();
    TVirtualTime* const time = TVirtualTime::Installed();
    if (time == nullptr || !FEnabled || (FInterval == 0 && !AllowZero)) return;
    // An interval of 0 still lets the virtual time move on, as the main thread's turns do.
    const auto interval = std::chrono::milliseconds(std::max<std::uint32_t>(FInterval, 1));
    FVirtualTick = time->After(interval, [this, alive = std::weak_ptr<bool>(FAlive)] {
        FVirtualTick = 0;
        RunTick();
        if (!alive.expired() && FVirtualTick == 0) ScheduleVirtualTick();
    });
}

void TThreadedTimer::CancelVirtualTick() {
    if (FVirtualTick == 0) return;
    if (TVirtualTime* const time = TVirtualTime::Installed()) time->Cancel(FVirtualTick);
    FVirtualTick = 0;
}

void TThreadedTimer::RunTick() {
    try {
        DoTimer();
    } catch (...) {
        // A tick's failure (its handler's, an override's, the handler's copy) never stops
        // the timer, nor reaches its thread.
    }
}

void TThreadedTimer::DoTimer() {
    if (!FEnabled || !OnTimer || IsDestroying()) return;
    // A copy: a handler may replace OnTimer while it runs (the survey tick and Stop do).
    const TNotifyEvent handler = OnTimer;
    handler(this);
}

void TThreadedTimer::Run() {
    std::unique_lock lock(FMutex);
    FThreadId = CurrentThreadId();
    FWake.notify_all();
    while (!FTerminated) {
        if (!WaitForTick(lock)) continue;
        const std::uint64_t generation = FGeneration;
        lock.unlock();
        HandOverTick(generation);
        lock.lock();
    }
}

// True when a full interval ran out undisturbed. A disabled timer's thread waits here, at a
// safe point, until it is enabled or terminated.
bool TThreadedTimer::WaitForTick(std::unique_lock<std::mutex>& lock) {
    FWake.wait(lock, [this] { return FTerminated || FRunning; });
    if (FTerminated) return false;
    const std::uint64_t generation = FGeneration;
    const auto deadline = std::chrono::steady_clock::now() + std::chrono::milliseconds(FThreadInterval);
    const bool disturbed = FWake.wait_until(
        lock, deadline, [&] { return FTerminated || !FRunning || FGeneration != generation; });
    return !disturbed;
}

void TThreadedTimer::HandOverTick(std::uint64_t generation) {
    // Runs on the main thread, where FGeneration changes, so it is read there without the lock.
    TMainThreadHandOver::Instance().call([this, generation] {
        if (generation == FGeneration) RunTick();
    });
}
