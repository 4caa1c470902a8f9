#pragma once

#include <cstdint>
#include <string>
#include <string_view>

// Frames, chunks and packets: any byte 0x00..0xFF passes unchanged. Bytes are read through
// std::uint8_t only, never through char arithmetic.
using ByteString = std::string;

inline std::uint8_t ByteAt(std::string_view bytes, std::size_t index) {
    return static_cast<std::uint8_t>(bytes[index]);
}

ByteString BytesOf(std::initializer_list<std::uint8_t> bytes);

// Each byte as a blank and two upper-case hexadecimal digits: F0 08 gives " F0 08".
std::string HexText(std::string_view bytes);
// The same text, appended to `text`.
void AppendHexText(std::string& text, std::string_view bytes);
