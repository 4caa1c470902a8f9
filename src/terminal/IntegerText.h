#pragma once

#include <charconv>
#include <cstdint>
#include <optional>
#include <string>

// The whole text as a 32-bit integer; none for an empty text, other characters or an overflow.
inline std::optional<std::int32_t> IntegerOfText(const std::string& text) {
    std::int32_t value = 0;
    const char* end = text.data() + text.size();
    const auto [stop, error] = std::from_chars(text.data(), end, value);
    if (text.empty() || error != std::errc() || stop != end) return std::nullopt;
    return value;
}
