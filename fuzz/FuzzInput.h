#pragma once

#include "device_link/ByteString.h"

#include <cstddef>
#include <cstdint>

class TManualClock;

// Reads a fuzzer's input as a setup byte followed by received chunks. Each chunk is one header
// byte and its bytes: the low six bits give the length less one (1..64 bytes), the top two bits
// how long the line was quiet before it (0, 10, 100 or 1000 ms). A seed is thus written by hand:
// 0x89 then ten bytes is one long frame 100 ms after the one before.
class TFuzzInput {
public:
    TFuzzInput(const std::uint8_t* data, std::size_t size) : FData(data), FSize(size) {}

    bool Empty() const { return FPosition >= FSize; }
    // The next byte, 0 past the end.
    std::uint8_t Byte();
    // The next chunk; moves the clock on by the quiet time before it.
    ByteString Chunk(TManualClock& clock);

private:
    const std::uint8_t* FData;
    std::size_t FSize;
    std::size_t FPosition = 0;
};
