#include "device_link/ThreadedTimer.h"

#include "device_link/MainThreadHandOver.h"

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
    {
        std::lock_guard lock(FMutex);
        // A new generation ends the current wait without a tick and voids a tick already taken.
        ++FGeneration;
        FRunning = value && (FThreadInterval != 0 || AllowZero);
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
        if (generation != FGeneration) return;
        try {
            DoTimer();
        } catch (...) {
            // A tick's failure (its handler's, an override's, the handler's copy) never stops
            // the timer, nor reaches its thread.
        }
    });
}
