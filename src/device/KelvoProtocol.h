#pragma once

#include "device_link/ByteString.h"

#include <array>
#include <cstdint>
#include <optional>
#include <string>

// The bytes exchanged with the Kelvo console: request frames, console frames, field encodings.
namespace KelvoProtocol {

inline constexpr std::uint8_t StartByte = 0xF0;
inline constexpr std::uint8_t StopByte = 0xF7;
inline constexpr std::uint8_t PadByte = 0x00;
inline constexpr std::uint8_t IdentificationCode = 0x28;
// The byte-stream console's answer to the identification byte.
inline constexpr std::uint8_t ByteStreamAnswer = IdentificationCode * 2;

inline constexpr std::size_t RequestFrameSize = 6;
inline constexpr std::size_t ShortFrameSize = 6;
inline constexpr std::size_t LongFrameSize = 10;

enum TKelvoRequestType : std::uint16_t {
    rqSetPoints = 1,
    rqTotalRollCount = 2,
    rqSerialNumber = 3,
    rqResetRollerTurns = 4,
    rqResetConsole = 6,
    rqPauseConsole = 7,
    rqIdentification = 8,
    rqProductVersion = 9,
};

// Type byte (byte 1) of the console's frames.
namespace MessageByte {
inline constexpr std::uint8_t Infos = 0x01;
inline constexpr std::uint8_t RollCount = 0x02;
inline constexpr std::uint8_t SerialNumber = 0x03;
inline constexpr std::uint8_t Ack = 0x05;
inline constexpr std::uint8_t Identification = 0x08;
inline constexpr std::uint8_t ProductVersion = 0x09;
} // namespace MessageByte

// Bits of the status byte.
namespace StatusBit {
inline constexpr std::uint8_t KeyMask = 0x0F;
inline constexpr std::uint8_t Pedal = 0x10;
inline constexpr std::uint8_t Heart = 0x20;
inline constexpr std::uint8_t Roll = 0x40;
} // namespace StatusBit

enum class TProtocolFamily { ByteStream, ShortFrames, LongFrames };

struct TIdentificationAnswer {
    std::uint8_t Answer;
    double Version;
};

// Answer byte = IdentificationCode * 2 + an offset that names the version.
inline constexpr std::array<TIdentificationAnswer, 6> IdentificationAnswers = {{
    {0x50, 4.0},
    {0x55, 4.5},
    {0x54, 5.0},
    {0x5A, 5.5},
    {0x58, 6.0},
    {0x5C, 7.0},
}};

// Versions up to 3 stream status bytes, exactly 4 sends 6-byte frames, above 4 10-byte frames.
TProtocolFamily FamilyOfVersion(double version);

// The 6-byte request frame; the identification request always carries B = 0.
ByteString BuildRequest(std::uint16_t Type, std::int32_t A, std::int32_t B);
// The request's description for the terminal; empty for a type no request uses.
std::string RequestLogText(std::uint16_t Type, std::uint16_t A, std::uint16_t B);

// Field readers. A frame cut short by an early stop byte is never read past its end: the
// missing bytes read as 0x00.
std::uint8_t FrameByte(const ByteString& frame, std::size_t index);
std::uint32_t Field16(const ByteString& frame, std::size_t first);
std::uint32_t Field24(const ByteString& frame, std::size_t first);

// A 6- or 10-byte frame that does not begin with the start byte is rejected whole.
bool IsRejectedFrame(const ByteString& frame);

// Decoding of a long infos frame (bytes 3..4 roll period, 5..6 cadence period, 7..8 heart period).
long double LongRollValue(const ByteString& frame);
long double LongCadence(const ByteString& frame);
long double LongHeartRate(const ByteString& frame);
// Byte 3 of a short infos frame: roll events counted by the console.
long double ShortRollValue(const ByteString& frame);

// Impulses carried by a status byte.
double CadenceImpulse(std::uint8_t status);
double HeartImpulse(std::uint8_t status);
double RollImpulse(std::uint8_t status);
// The console key of a status byte: the lowest of the bits 0..3 that is set (as a TConsoleKey
// ordinal), if any.
std::optional<int> ConsoleKeyOfStatus(std::uint8_t status);

// Total roll count or serial number (bytes 2..4); 0 carries no count.
std::uint32_t CounterValue(const ByteString& frame);
// Angle in degrees of the two signed orientation bytes; y = 0 gives 0.
double Orientation(std::uint8_t xByte, std::uint8_t yByte);
// Byte 2 of a product version frame; 0 = unknown.
int ProductVersion(const ByteString& frame);
// The console version that an identification answer byte names.
std::optional<double> VersionOfIdentificationAnswer(std::uint8_t answer);

} // namespace KelvoProtocol
