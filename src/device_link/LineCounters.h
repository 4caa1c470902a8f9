#pragma once

#include "device_link/ComPortTypes.h"

#include <cstdint>

// The driver's running counts of line errors and modem line changes. Line errors are the
// differences between two readings, so reading never loses an error to another reader.
struct TLineCounters {
    bool Supported = false;
    std::uint32_t Frame = 0;
    std::uint32_t Parity = 0;
    std::uint32_t Overrun = 0;
    std::uint32_t BufferOverrun = 0;
    std::uint32_t Break = 0;
    std::uint32_t CTS = 0;
    std::uint32_t DSR = 0;
    std::uint32_t Ring = 0;
    std::uint32_t RLSD = 0;
};

// The errors counted from `before` to `after`; parity errors only when the port checks parity.
TComErrors ErrorsBetween(const TLineCounters& before, const TLineCounters& after, bool parityChecked);
