#include "FuzzInput.h"

#include "device_link/ManualClock.h"

#include <algorithm>

namespace {
constexpr std::uint8_t LengthBits = 0x3F;
constexpr std::uint32_t QuietMs[] = {0, 10, 100, 1000};
} // namespace

std::uint8_t TFuzzInput::Byte() { return Empty() ? 0 : FData[FPosition++]; }

ByteString TFuzzInput::Chunk(TManualClock& clock) {
    const std::uint8_t header = Byte();
    clock.Advance(QuietMs[header >> 6]);
    const std::size_t length = std::min<std::size_t>((header & LengthBits) + 1u, FSize - FPosition);
    ByteString chunk(reinterpret_cast<const char*>(FData + FPosition), length);
    FPosition += length;
    return chunk;
}
