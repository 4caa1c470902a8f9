#include "device_link/ComPortTypes.h"

#include <array>

std::uint32_t BaudRateSpeed(TBaudRate rate, std::int32_t custom) {
    static constexpr std::array<std::uint32_t, 16> Speeds = {0,     110,   300,   600,    1200,   2400,
                                                             4800,  9600,  14400, 19200,  38400,  56000,
                                                             57600, 115200, 128000, 256000};
    if (rate == brCustom) return static_cast<std::uint32_t>(custom);
    return Speeds[static_cast<std::size_t>(rate)];
}
