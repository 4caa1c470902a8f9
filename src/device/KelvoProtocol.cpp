#include "device/KelvoProtocol.h"

#include <cmath>
#include <cstdio>
#include <numbers>

namespace KelvoProtocol {

namespace {
constexpr std::uint32_t NoPeriod = 0xFFFF;
// 125000 / 33: the roll value of a period of one unit.
constexpr long double RollConstant = 125000.0L / 33.0L;

char Byte(std::int32_t value) { return static_cast<char>(static_cast<std::uint8_t>(value & 0xFF)); }

std::string Format(const char* format, unsigned a, unsigned b = 0, unsigned c = 0) {
    char text[96];
    std::snprintf(text, sizeof text, format, a, b, c);
    return text;
}

int SignedByte(std::uint8_t byte) { return byte < 0x80 ? byte : byte - 256; }
} // namespace

TProtocolFamily FamilyOfVersion(double version) {
    if (version < 4) return TProtocolFamily::ByteStream;
    if (version == 4) return TProtocolFamily::ShortFrames;
    return TProtocolFamily::LongFrames;
}

ByteString BuildRequest(std::uint16_t Type, std::int32_t A, std::int32_t B) {
    const bool identification = Type == rqIdentification;
    ByteString frame;
    frame.reserve(RequestFrameSize);
    frame += static_cast<char>(StartByte);
    frame += Byte(Type);
    frame += Byte(A);
    frame += identification ? static_cast<char>(PadByte) : Byte(B);
    frame += static_cast<char>(PadByte);
    frame += static_cast<char>(StopByte);
    return frame;
}

std::string RequestLogText(std::uint16_t Type, std::uint16_t A, std::uint16_t B) {
    switch (Type) {
    case rqSetPoints: return Format("%u Infos, Resist: %u, Elev: %u", Type, A, B);
    case rqTotalRollCount: return Format("%u Request: Total roll count", Type);
    case rqSerialNumber: return Format("%u Request: Serial number", Type);
    case rqResetRollerTurns: return Format("%u Request: reset the total and partial roller turns", Type);
    case rqResetConsole: return Format("%u Request: Reset Console", Type);
    case rqPauseConsole: return Format("%u Request: Pause console", Type);
    case rqIdentification: return Format("%u Request: Identification", Type);
    case rqProductVersion: return Format("%u Request: Product version", Type);
    default: return {};
    }
}

std::uint8_t FrameByte(const ByteString& frame, std::size_t index) {
    return index < frame.size() ? ByteAt(frame, index) : 0;
}

std::uint32_t Field16(const ByteString& frame, std::size_t first) {
    return FrameByte(frame, first) * 256u + FrameByte(frame, first + 1);
}

std::uint32_t Field24(const ByteString& frame, std::size_t first) {
    return FrameByte(frame, first) * 65536u + Field16(frame, first + 1);
}

bool IsRejectedFrame(const ByteString& frame) {
    const bool framedLength = frame.size() == ShortFrameSize || frame.size() == LongFrameSize;
    return framedLength && ByteAt(frame, 0) != StartByte;
}

long double LongRollValue(const ByteString& frame) {
    const std::uint32_t period = Field16(frame, 3);
    return period > 0 && period < NoPeriod ? RollConstant / period : 0.0L;
}

long double LongCadence(const ByteString& frame) {
    const std::uint32_t period = Field16(frame, 5);
    return period > 200 && period < NoPeriod ? 60000.0L / period : 0.0L;
}

long double LongHeartRate(const ByteString& frame) {
    const std::uint32_t period = Field16(frame, 7);
    return period > 0 && period < NoPeriod ? 60000.0L / period : 0.0L;
}

long double ShortRollValue(const ByteString& frame) { return FrameByte(frame, 3); }

double CadenceImpulse(std::uint8_t status) { return (status & StatusBit::Pedal) != 0 ? 1.0 : 0.0; }
double HeartImpulse(std::uint8_t status) { return (status & StatusBit::Heart) != 0 ? 1.0 : 0.0; }
double RollImpulse(std::uint8_t status) { return (status & StatusBit::Roll) != 0 ? 1.0 : 0.0; }

std::optional<int> ConsoleKeyOfStatus(std::uint8_t status) {
    for (int bit = 0; bit < 4; ++bit)
        if ((status & (1u << bit)) != 0) return bit;
    return std::nullopt;
}

std::uint32_t CounterValue(const ByteString& frame) { return Field24(frame, 2); }

double Orientation(std::uint8_t xByte, std::uint8_t yByte) {
    const int x = SignedByte(xByte);
    const int y = SignedByte(yByte);
    if (y == 0) return 0.0;
    const double angle = std::atan(static_cast<double>(x) / y) * 180.0 / std::numbers::pi;
    if (y > 0) return angle;
    return x >= 0 ? angle + 180.0 : angle - 180.0;
}

int ProductVersion(const ByteString& frame) { return FrameByte(frame, 2); }

std::optional<double> VersionOfIdentificationAnswer(std::uint8_t answer) {
    for (const TIdentificationAnswer& entry : IdentificationAnswers)
        if (entry.Answer == answer) return entry.Version;
    return std::nullopt;
}

} // namespace KelvoProtocol
