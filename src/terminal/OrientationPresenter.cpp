#include "terminal/OrientationPresenter.h"

#include "device/KelvoProtocol.h"
#include "terminal/DateTimeText.h"
#include "terminal/EventText.h"
#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"
#include "terminal/UserDialogs.h"

#include <cmath>
#include <cstdio>

namespace {
constexpr std::uint32_t TickIntervalMs = 500;
constexpr std::int32_t FullTurn = 360;

std::string Hex(const char* format, std::uint8_t value) {
    char text[8];
    std::snprintf(text, sizeof text, format, static_cast<unsigned>(value));
    return text;
}
} // namespace

TOrientationPresenter::TOrientationPresenter(TTerminalSession& session, TUserDialogs& dialogs)
    : FSession(session), FDialogs(dialogs) {
    FTimer.SetInterval(TickIntervalMs);
    FTimer.OnTimer = [this](TComponent*) { Tick(); };
    FHexLog.SetLogFileName(QString::fromLatin1(HexLogName));
    RunAfterHandler(FSession.Device().OnVersionChange, [this](TComponent*) {
        Raise(OnEnableOrientationBox, FSession.Device().GetVersion() == OrientationVersion);
    });
}

std::int32_t TOrientationPresenter::SignedByte(std::uint8_t value) { return static_cast<std::int8_t>(value); }

std::int32_t TOrientationPresenter::DialHeading(double angle) {
    const auto heading = static_cast<std::int32_t>(std::nearbyint(angle)) % FullTurn;
    return heading < 0 ? heading + FullTurn : heading;
}

TOrientationPresenter::TLabels TOrientationPresenter::Labels(std::uint8_t hex1, std::uint8_t hex2, double angle) {
    return {Hex("%2X", hex1),
            Hex("%X", hex2),
            std::to_string(SignedByte(hex1)),
            std::to_string(SignedByte(hex2)),
            EventText::Fixed(angle, 1) + "\u00B0",
            DialHeading(angle)};
}

std::string TOrientationPresenter::SampleLine(std::uint8_t hex1, std::uint8_t hex2, double orientation) {
    return std::to_string(hex1) + "\t" + std::to_string(hex2) + "\t" + std::to_string(SignedByte(hex1)) + "\t" +
           std::to_string(SignedByte(hex2)) + "\t" + EventText::Fixed(orientation, 2);
}

// The system's long time format, two blanks, its short date format.
std::string TOrientationPresenter::HeaderTimeLine() {
    return FormatDateTime(QStringLiteral("tt'  'ddddd"), QDateTime::currentDateTime()).toStdString();
}

void TOrientationPresenter::SetEnabled(bool enabled) { FTimer.SetEnabled(enabled); }

void TOrientationPresenter::SetStartingAngle() { FStartingAngle = FSession.Device().GetOrientation(); }

void TOrientationPresenter::SetWriteHexValues(bool write) {
    FWriteHexValues = write;
    WriteHexLines({HeaderTimeLine(), ColumnHeader});
}

void TOrientationPresenter::RefreshHexLabels() {
    const TKelvoDevice& device = FSession.Device();
    const TLabels labels = Labels(device.GetRotationHex1(), device.GetRotationHex2(), 0);
    Raise(OnHexLabels, labels.Hex1, labels.Hex2);
}

void TOrientationPresenter::Tick() {
    const TKelvoDevice& device = FSession.Device();
    if (!device.GetConnected()) return;
    SendRequest();
    const double orientation = device.GetOrientation();
    Raise(OnLabels, Labels(device.GetRotationHex1(), device.GetRotationHex2(), orientation - FStartingAngle));
    if (FWriteHexValues) WriteHexLines({SampleLine(device.GetRotationHex1(), device.GetRotationHex2(), orientation)});
}

// A failed poll is skipped: the next tick asks again.
void TOrientationPresenter::SendRequest() {
    try {
        FSession.Device().Send(KelvoProtocol::BuildRequest(KelvoProtocol::rqSerialNumber, 0, 0));
    } catch (const std::exception&) {
    }
}

// A log that cannot be written stops the logging, and says so once.
void TOrientationPresenter::WriteHexLines(std::initializer_list<std::string> lines) {
    try {
        for (const std::string& line : lines) FHexLog.Add(QString::fromStdString(line));
    } catch (const std::exception& error) {
        const bool wasWriting = FWriteHexValues;
        FWriteHexValues = false;
        Raise(OnWriteHexValuesUnchecked);
        if (wasWriting) FDialogs.ShowMessage(TUserDialogs::bkError, error.what());
    }
}
