#pragma once

#include <cstdint>

// Keeps the main thread responsive while an operation waits: processes Qt events and serves
// hand-overs until Ms milliseconds have passed on TickCount(), or the counter wrapped.
//
// With a TManualClock installed the wait cannot let time pass by itself: it processes what is
// pending once, then advances the manual clock by what remains of Ms and returns. A test thus
// sees the same order of events as a real wait, without sleeping.
void WaitWithMessages(std::uint32_t Ms);
