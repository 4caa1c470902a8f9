#include "device_link/QorinThreadTimer.h"

void TQorinThreadTimer::SetElapsedTime(std::int64_t Value) {
    if (Value != FElapsedTime) FElapsedTime = Value;
}

void TQorinThreadTimer::SetLapTime(std::int64_t Value) {
    if (Value != FLapTime) FLapTime = Value;
}

void TQorinThreadTimer::ResetTimes() {
    FElapsedTime = 0;
    FLapTime = 0;
}
