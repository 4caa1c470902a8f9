#include "terminal/EventText.h"

#include "device_link/EComPort.h"

#include <QLocale>
#include <cmath>
#include <cstdarg>
#include <cstdio>

namespace EventText {

namespace {
std::string Format(const char* format, ...) __attribute__((format(printf, 1, 2)));

std::string Format(const char* format, ...) {
    char text[512];
    va_list args;
    va_start(args, format);
    std::vsnprintf(text, sizeof text, format, args);
    va_end(args);
    return text;
}

char DecimalSeparator() {
    const QString separator = QLocale::system().decimalPoint();
    return separator.size() == 1 && separator[0].unicode() < 0x80 ? static_cast<char>(separator[0].unicode()) : '.';
}

std::string Rounded(long double value) { return std::to_string(Round(value)); }
} // namespace

long long Round(long double value) { return std::llrint(value); }

std::string Fixed(long double value, int decimals, int width) {
    std::string text = Format("%*.*Lf", width, decimals, value);
    const std::size_t point = text.find('.');
    if (point != std::string::npos) text[point] = DecimalSeparator();
    return text;
}

bool MessageClearsTerminal(double version, int messageType) { return version < 4.5 && messageType == mtInfos; }

std::optional<std::string> KelvoMessageLine(const TMessageContext& device, int messageType, long double Value1,
                                            long double Value2, long double Value3, const ByteString& Str) {
    const std::string hex = HexText(Str);
    const bool longFamily = device.Version >= 4.5;
    switch (messageType) {
    case mtInfos: {
        const std::string rolls = longFamily ? Fixed(Value1, 5, 2) : Rounded(Value1);
        const std::string rollCount = longFamily ? Fixed(device.RollCount, 5, 2) : Rounded(device.RollCount);
        return "Rcv>> " + hex + " mtInfos, Rolls: " + rolls + ", RollCount: " + rollCount +
               ", Dist.: " + Fixed(device.Distance, 2) + ", HR: " + Rounded(Value2) + ", Cad: " + Rounded(Value3);
    }
    case mtRollCount: {
        const std::string rollCount = longFamily ? Fixed(device.RollCount, 5, 2) : Rounded(device.RollCount);
        return "Rcv>> " + hex + " mtRollCount: RollRoundCount: " + rollCount + ",";
    }
    case MtSerialNumber: return "Rcv>> " + hex + " MtSerialNumber: " + std::to_string(device.SerialNumber);
    case MtIdentification: return "Rcv>> " + hex + " MtIdentification";
    case mtProductVersion: return "Rcv>> " + hex + " mtProductVersion: " + std::to_string(device.ProductVersion);
    case mtAck: return std::string("Rcv>>mtAck: -------- ACK --------");
    default: return std::nullopt;
    }
}

std::string TimeStamped(const std::string& line, const QTime& arrival) {
    return arrival.toString(QStringLiteral("hh:mm:ss.zzz ")).toStdString() + line;
}

std::string DiscardedLine(const ByteString& Str) { return "*** Discarded: " + HexText(Str); }
std::string RejectedLine(const ByteString& Str) { return "!!! Rejected: " + HexText(Str); }

std::string ErrorInfoLine(std::int32_t code, const std::string& codeText, std::int32_t occurence,
                          std::int32_t resistance) {
    if (occurence == -1) return Format("%d %s, Resistance: %d", code, codeText.c_str(), resistance);
    return Format("%d: %s, #attempt: %d, Resistance: %d", code, codeText.c_str(), occurence, resistance);
}

std::optional<std::string> ConsoleKeyLine(int consoleKey) {
    switch (consoleKey) {
    case ckPlus: return std::string("ckPlus pressed");
    case ckMinus: return std::string("ckMinus pressed");
    case ckEnter: return std::string("ckEnter pressed");
    case ckTab: return std::string("ckTab pressed");
    default: return std::nullopt;
    }
}

std::string HeartImpulsesLabel(long long heartImpulses) { return "HR impuls " + std::to_string(heartImpulses); }

std::string RequestEchoLine(const ByteString& frame, const std::string& description) {
    return "\tTRX <<<  " + HexText(frame) + " " + description;
}

std::string ResistanceEchoLine(const std::string& description) {
    return "\tTRX <<<  " + description + " Resistance";
}

std::string DeviceFoundLine(const std::string& portName) { return "Device found on port: " + portName; }

std::string OpenFailureLine(const std::string& portName, const std::string& reason, int systemError) {
    const std::string line = "Cannot open " + portName + ": " + reason;
    return systemError == EComPort::NoSystemError ? line : line + " (system error " + std::to_string(systemError) + ")";
}

std::string HintLine(const std::string& hint) { return "Hint: " + hint; }

std::string ElapsedTimeText(std::int32_t milliseconds) {
    const std::int32_t seconds = std::max(milliseconds, 0) / 1000;
    return Format("%02d:%02d:%02d", seconds / 3600, seconds / 60 % 60, seconds % 60);
}

std::string LabelTimeText(const TStatsContext& stats) {
    // No rate can be given before any time has passed.
    const long long perSecond =
        stats.ElapsedTime > 0 ? Round(stats.MessageCount / (stats.ElapsedTime / 1000.0L)) : 0;
    return Format("Events count: %d in ms %d, avg per Sec: %lld, Elapsed time: %s", stats.LapEventCount,
                  stats.ElapsedTime, perSecond, ElapsedTimeText(stats.ElapsedTime).c_str());
}

std::string LabelDistanceText(const TStatsContext& stats) {
    const std::string rolls = stats.Version < 4.5 ? Rounded(stats.RollCount) : Fixed(stats.RollCount, 5, 2);
    return "Rolls count: " + rolls + " Total distance: " + Fixed(stats.Distance, 3, 2) + " kms";
}

long double LapMetresPerSecond(const TStatsContext& stats) {
    if (stats.LapTime <= 0) return 0;
    const long double metresPerUnit = stats.UnitMeasure == umMiles ? MetresPerMile : MetresPerKm;
    return stats.LapDistance * metresPerUnit / (stats.LapTime / 1000.0L);
}

std::string LabelSpeedText(const TStatsContext& stats) {
    return "Speed: " + Fixed(stats.Speed, 1, 2) + " Km/h, " + Fixed(LapMetresPerSecond(stats), 2) +
           " m/s, Speed AVG: " + Fixed(stats.AverageSpeed, 3, 2) + " km/h";
}

std::string LabelCadenceText(const TStatsContext& stats) {
    return Format("Cadence: %d, Cadence Avg: %d", stats.Cadence, stats.AverageCadence);
}

std::string LabelHeartText(const TStatsContext& stats) {
    return Format("Heart: %d, Heart Average: %d", stats.HeartRate, stats.AverageHeartRate);
}

std::string PowerEnergyText(const TStatsContext& stats) {
    return Format("Power: %d W, Energy: %d", stats.Power, stats.Energy);
}

} // namespace EventText
