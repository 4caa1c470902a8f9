#include "device_link/ByteString.h"

ByteString BytesOf(std::initializer_list<std::uint8_t> bytes) {
    ByteString result;
    result.reserve(bytes.size());
    for (std::uint8_t byte : bytes) result.push_back(static_cast<char>(byte));
    return result;
}

std::string HexText(std::string_view bytes) {
    static constexpr char digits[] = "0123456789ABCDEF";
    std::string text;
    text.reserve(bytes.size() * 3);
    for (std::size_t i = 0; i < bytes.size(); ++i) {
        const std::uint8_t byte = ByteAt(bytes, i);
        text.push_back(' ');
        text.push_back(digits[byte >> 4]);
        text.push_back(digits[byte & 0x0F]);
    }
    return text;
}
