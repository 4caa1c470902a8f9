#include "device_link/ByteString.h"

ByteString BytesOf(std::initializer_list<std::uint8_t> bytes) {
    ByteString result;
    result.reserve(bytes.size());
    for (std::uint8_t byte : bytes) result.push_back(static_cast<char>(byte));
    return result;
}

std::string HexText(std::string_view bytes) {
    std::string text;
    text.reserve(bytes.size() * 3);
    AppendHexText(text, bytes);
    return text;
}

void AppendHexText(std::string& text, std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t byte = ByteAt(bytes, i);
        const char hex[3] = {' ', digits[byte >> 4], digits[byte & 0x0F]};
        text.append(hex, 3);
    }
}
