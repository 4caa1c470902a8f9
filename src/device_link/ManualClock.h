#pragma once

#include "device_link/TickClock.h"

#include <atomic>
#include <cstdint>

// A tick source that moves only when told to. While it lives it is the clock of TickCount();
// its destruction puts back the clock that was installed before it.
class TManualClock : public TTickSource {
public:
    explicit TManualClock(std::uint32_t start = 0);
    ~TManualClock() override;
    TManualClock(const TManualClock&) = delete;
    TManualClock& operator=(const TManualClock&) = delete;

    std::uint32_t Now() const override { return FNow.load(std::memory_order_acquire); }
    void Set(std::uint32_t ms) { FNow.store(ms, std::memory_order_release); }
    // Wraps past 0xFFFFFFFF as the system counter does.
    void Advance(std::uint32_t ms) { FNow.fetch_add(ms, std::memory_order_acq_rel); }

    // The manual clock that TickCount() reads now, or nullptr when another source runs.
    static TManualClock* Installed();

private:
    std::atomic<std::uint32_t> FNow;
    TTickSource* FPrevious;
};
