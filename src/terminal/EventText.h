#pragma once

#include "device/KelvoTypes.h"

#include <QTime>

#include <optional>
#include <string>

// The lines and label texts that the terminal shows for the device's events. Toolkit-free, so
// the main window and the headless monitor print exactly the same text.
namespace EventText {

// A number with a fixed count of decimals, at least `width` characters wide (padded with
// blanks on the left), with the system's decimal separator.
std::string Fixed(long double value, int decimals, int width = 0);
// Nearest integer, halves to even.
long long Round(long double value);

// With "Time stamps" on, a terminal line begins with its arrival's time of day, "hh:mm:ss.zzz ".
std::string TimeStamped(const std::string& line, const QTime& arrival);

// What the device knows when a message line is written.
struct TMessageContext {
    double Version = 0;
    long double RollCount = 0;
    long double Distance = 0;
    std::int32_t SerialNumber = 0;
    std::int32_t ProductVersion = 0;
};

// The "Rcv>> " line of a decoded message; none for a message type without a line.
std::optional<std::string> KelvoMessageLine(const TMessageContext& device, int messageType, long double Value1,
                                            long double Value2, long double Value3, const ByteString& Str);
// Below version 4.5 a measurement line replaces the terminal when "WriteToMemo" is unchecked.
bool MessageClearsTerminal(double version, int messageType);

std::string DiscardedLine(const ByteString& Str);
std::string RejectedLine(const ByteString& Str);
std::string ErrorInfoLine(std::int32_t code, const std::string& codeText, std::int32_t occurence,
                          std::int32_t resistance);
std::optional<std::string> ConsoleKeyLine(int consoleKey);
std::string HeartImpulsesLabel(long long heartImpulses);

// Port line events: each adds one fixed line.
inline constexpr const char* BreakLine = "*** Break";
inline constexpr const char* CTSLine = "*** CTS: ";
inline constexpr const char* DSRLine = "*** DSR: ";
inline constexpr const char* RingLine = "*** Ring: ";
inline constexpr const char* Rx80FullLine = "*** Rx80Full: ";

// Echo of a request the window sends itself, and of the resistance the device sends.
std::string RequestEchoLine(const ByteString& frame, const std::string& description);
std::string ResistanceEchoLine(const std::string& description);
std::string DeviceFoundLine(const std::string& portName);
// Why a port did not open: the system's words and number (EComPort::NoSystemError: none known,
// `reason` says it), then a hint of what to do, each a line of its own.
std::string OpenFailureLine(const std::string& portName, const std::string& reason, int systemError);
std::string HintLine(const std::string& hint);

// The statistics labels written at every statistics tick.
struct TStatsContext {
    double Version = 0;
    std::int32_t LapEventCount = 0;
    std::int32_t ElapsedTime = 0; // ms
    std::int32_t MessageCount = 0;
    long double RollCount = 0;
    long double Distance = 0;
    long double Speed = 0;
    long double LapDistance = 0; // km or miles of the statistics interval
    std::int32_t LapTime = 0;    // ms of the statistics interval
    TUnitMeasure UnitMeasure = umKm;
    long double AverageSpeed = 0;
    std::int32_t Cadence = 0;
    std::int32_t AverageCadence = 0;
    std::int32_t HeartRate = 0;
    std::int32_t AverageHeartRate = 0;
    std::int32_t Power = 0; // W
    std::int32_t Energy = 0;
};
std::string LabelTimeText(const TStatsContext& stats);
std::string LabelDistanceText(const TStatsContext& stats);
std::string LabelSpeedText(const TStatsContext& stats);
// The lap's distance in metres over its time; 0 before any time has passed.
long double LapMetresPerSecond(const TStatsContext& stats);
std::string LabelCadenceText(const TStatsContext& stats);
std::string LabelHeartText(const TStatsContext& stats);
// The estimated power and the energy of the ride, which no window label shows.
std::string PowerEnergyText(const TStatsContext& stats);
// Elapsed milliseconds as hours, minutes and seconds; past 24 hours the hours keep counting.
std::string ElapsedTimeText(std::int32_t milliseconds);

} // namespace EventText
