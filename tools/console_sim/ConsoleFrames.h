#pragma once

#include "console_sim/ConsoleVersion.h"
#include "device_link/ByteString.h"

#include <cstddef>
#include <cstdint>

// The console's own frame encoder. It shares the protocol's constants with the terminal but
// none of its code, so that a mistake in the terminal's decoding cannot be mirrored here.
namespace ConsoleFrames {

// Big-endian fields, the protocol's byte order.
ByteString Big16(std::uint32_t value);
ByteString Big24(std::uint32_t value);

// Start byte, type, payload padded with 0x00 to `size` - 3 bytes, stop byte. A payload longer
// than the frame allows is a programming error and is cut.
ByteString Frame(std::size_t size, std::uint8_t type, const ByteString& payload);

// The identification answer always travels in a 6-byte frame, whatever the family.
ByteString IdentificationAnswerFrame(std::uint8_t answer);
// What a console of `family` sends for the identification answer `answer`: the byte stream
// answers with the byte alone.
ByteString IdentificationAnswerBytes(TConsoleFamily family, std::uint8_t answer);

} // namespace ConsoleFrames
