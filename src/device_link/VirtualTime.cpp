#include "device_link/VirtualTime.h"

#include <algorithm>
#include <utility>

TVirtualTime::TVirtualTime(std::uint32_t start) : TManualClock(start), FStart(start) {}

TVirtualTime* TVirtualTime::Installed() { return dynamic_cast<TVirtualTime*>(InstalledTickSource()); }

std::uint64_t TVirtualTime::At(TDuration when, TAction action) {
    const std::uint64_t handle = ++FLastHandle;
    const TDuration due = std::max(when, FElapsed);
    FActions.emplace(TKey{due, handle}, std::move(action));
    FDueOf.emplace(handle, due);
    return handle;
}

void TVirtualTime::Cancel(std::uint64_t handle) {
    const auto due = FDueOf.find(handle);
    if (due == FDueOf.end()) return;
    FActions.erase(TKey{due->second, handle});
    FDueOf.erase(due);
}

void TVirtualTime::PassUntil(TDuration end) {
    while (!FActions.empty() && FActions.begin()->first.first <= end) {
        auto next = FActions.begin();
        MoveTo(next->first.first);
        const TAction action = std::move(next->second);
        FDueOf.erase(next->first.second);
        FActions.erase(next);
        action();
    }
    MoveTo(end);
}

void TVirtualTime::MoveTo(TDuration elapsed) {
    FElapsed = std::max(FElapsed, elapsed);
    const auto ms = std::chrono::duration_cast<std::chrono::milliseconds>(FElapsed).count();
    Set(static_cast<std::uint32_t>(FStart + static_cast<std::uint64_t>(ms)));
}
