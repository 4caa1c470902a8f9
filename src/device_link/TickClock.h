#pragma once

#include <cstdint>

// The 32-bit millisecond tick counter that every device computation reads. It wraps after about
// 49.7 days like the operating system's tick count, so intervals are taken with TickElapsed.
std::uint32_t TickCount();

// Milliseconds from `start` to `now`, right across one wrap of the counter.
inline std::uint32_t TickElapsed(std::uint32_t start, std::uint32_t now) { return now - start; }

// Where TickCount() reads its time. The steady system clock serves unless another source is
// installed; tests install a TManualClock so that intervals are exact and nothing sleeps.
class TTickSource {
public:
    virtual ~TTickSource() = default;
    virtual std::uint32_t Now() const = 0;
};

// Makes `source` the clock of TickCount() (nullptr: the system clock) and returns the previous one.
TTickSource* InstallTickSource(TTickSource* source);
TTickSource* InstalledTickSource();
