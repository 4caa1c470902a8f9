#pragma once

#include "device_link/ThreadedTimer.h"

#include <cstdint>

// A threaded timer that carries two millisecond counters for its owner: the ride time and the
// lap time. The timer never changes them itself.
class TQorinThreadTimer : public TThreadedTimer {
public:
    std::int64_t GetElapsedTime() const { return FElapsedTime; }
    virtual void SetElapsedTime(std::int64_t Value);
    std::int64_t GetLapTime() const { return FLapTime; }
    virtual void SetLapTime(std::int64_t Value);
    virtual void ResetTimes();

private:
    std::int64_t FElapsedTime = 0;
    std::int64_t FLapTime = 0;
};
