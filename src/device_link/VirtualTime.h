#pragma once

#include "device_link/ManualClock.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <map>
#include <unordered_map>
#include <utility>

// A time that passes only when its driver lets it, for every clock of the program at once: the
// tick counter, the threaded timers (their ticks run here, on the main thread, instead of on
// their threads) and WaitWithMessages (a wait lets its time pass here). While it lives, an
// offline run replays an hour of a ride in moments, with the events in the order and at the
// times a live run had them. Main thread only.
class TVirtualTime : public TManualClock {
public:
    using TAction = std::function<void()>;

    explicit TVirtualTime(std::uint32_t start = 0);

    // The virtual time that TickCount() reads now, or nullptr.
    static TVirtualTime* Installed();

    // Finer than the tick counter's milliseconds, so that events a live run had within one
    // millisecond keep their order.
    using TDuration = std::chrono::microseconds;

    // The time passed since the virtual time began (it does not wrap as the tick counter does).
    TDuration Elapsed() const { return FElapsed; }

    // Runs `action` once the time is `when` (at once, in the next pass, when that has passed);
    // returns a handle for Cancel (never 0).
    std::uint64_t At(TDuration when, TAction action);
    // Runs `action` once `delay` more has passed.
    std::uint64_t After(TDuration delay, TAction action) { return At(FElapsed + delay, std::move(action)); }
    // Forgets an action that has not run yet; 0 and handles already run are ignored.
    void Cancel(std::uint64_t handle);

    // Lets `duration` pass: each action due meanwhile runs at its time, in the order of their times
    // (of their scheduling for equal times). An action may schedule, cancel and let time pass
    // itself; time never goes back.
    void Pass(TDuration duration) { PassUntil(FElapsed + duration); }
    void PassUntil(TDuration when);

    // When a wait due to end at `due` ends: `due` unless WakeUp says otherwise. A live wait ends
    // a little late; a driver that knows how late (a capture's record of what the PC did) sets
    // WakeUp.
    TDuration WakeUpTime(TDuration due) const { return WakeUp ? std::max(WakeUp(due), due) : due; }
    std::function<TDuration(TDuration due)> WakeUp;

private:
    // (due, handle): the handle orders actions due at the same time by their scheduling.
    using TKey = std::pair<TDuration, std::uint64_t>;

    void MoveTo(TDuration elapsed);

    const std::uint32_t FStart;
    TDuration FElapsed{0};
    std::uint64_t FLastHandle = 0;
    std::map<TKey, TAction> FActions;
    // The due time of each action not yet run, by handle.
    std::unordered_map<std::uint64_t, TDuration> FDueOf;
};
