#include "console_sim/ConsoleFrames.h"

#include "device/KelvoProtocol.h"

#include <algorithm>

namespace ConsoleFrames {

namespace {
char Byte(std::uint32_t value) { return static_cast<char>(static_cast<std::uint8_t>(value & 0xFF)); }
// Start byte, type byte and stop byte frame the payload.
constexpr std::size_t FramingBytes = 3;
} // namespace

ByteString Big16(std::uint32_t value) { return {Byte(value >> 8), Byte(value)}; }

ByteString Big24(std::uint32_t value) { return {Byte(value >> 16), Byte(value >> 8), Byte(value)}; }

ByteString Frame(std::size_t size, std::uint8_t type, const ByteString& payload) {
    const std::size_t payloadSize = size - FramingBytes;
    ByteString frame;
    frame.reserve(size);
    frame += Byte(KelvoProtocol::StartByte);
    frame += Byte(type);
    frame += payload.substr(0, payloadSize);
    frame.append(payloadSize - std::min(payload.size(), payloadSize), Byte(KelvoProtocol::PadByte));
    frame += Byte(KelvoProtocol::StopByte);
    return frame;
}

ByteString IdentificationAnswerFrame(std::uint8_t answer) {
    return Frame(KelvoProtocol::ShortFrameSize, KelvoProtocol::MessageByte::Identification, ByteString(1, Byte(answer)));
}

ByteString IdentificationAnswerBytes(TConsoleFamily family, std::uint8_t answer) {
    return family == TConsoleFamily::cfByteStream ? ByteString(1, Byte(answer)) : IdentificationAnswerFrame(answer);
}

} // namespace ConsoleFrames
