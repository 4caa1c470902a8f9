#pragma once

#include "device_link/QorinThreadTimer.h"
#include "terminal/LogToFile.h"

#include <cstdint>
#include <functional>
#include <string>

class TTerminalSession;
class TUserDialogs;

// The "Orientation" page without widgets: twice a second it asks the console for its serial
// number (whose answer carries the orientation bytes), shows the values the device holds, and
// may log each sample to "HexValues.Txt". The page lives while "Enable Orientation" is
// checked, which follows the console version (checked exactly at 5.5).
class TOrientationPresenter {
public:
    TOrientationPresenter(TTerminalSession& session, TUserDialogs& dialogs);
    TOrientationPresenter(const TOrientationPresenter&) = delete;
    TOrientationPresenter& operator=(const TOrientationPresenter&) = delete;

    static constexpr double OrientationVersion = 5.5;
    static constexpr const char* HexLogName = "HexValues.Txt";
    static constexpr const char* ColumnHeader = "Hex1\tHex2\tVal1\tVal2\tAngle";

    struct TLabels {
        std::string Hex1;
        std::string Hex2;
        std::string Byte1;
        std::string Byte2;
        std::string Angle;
        // The dial's heading, 0..359 degrees.
        std::int32_t Heading = 0;
    };
    static TLabels Labels(std::uint8_t hex1, std::uint8_t hex2, double angle);
    // The byte read as a signed 8-bit value.
    static std::int32_t SignedByte(std::uint8_t value);
    // round(angle), ties to even, brought into 0..359.
    static std::int32_t DialHeading(double angle);
    static std::string SampleLine(std::uint8_t hex1, std::uint8_t hex2, double orientation);
    static std::string HeaderTimeLine();

    // "Enable Orientation" clicked: the page and its timer follow the box.
    void SetEnabled(bool enabled);
    bool GetEnabled() const { return FTimer.GetEnabled(); }
    // "Set Starting Angle".
    void SetStartingAngle();
    double GetStartingAngle() const { return FStartingAngle; }
    // "Write Hex Values 2 File" clicked: the box's state, then the two header lines.
    void SetWriteHexValues(bool write);
    bool GetWriteHexValues() const { return FWriteHexValues; }
    // After a "Serial number" request: the hex labels from the device's bytes.
    void RefreshHexLabels();
    TLogToFile& HexLog() { return FHexLog; }
    TQorinThreadTimer& Timer() { return FTimer; }
    void Tick();

    std::function<void(const TLabels& labels)> OnLabels;
    std::function<void(const std::string& hex1, const std::string& hex2)> OnHexLabels;
    // "Enable Orientation" is to show this state (a version change).
    std::function<void(bool checked)> OnEnableOrientationBox;
    // The hex log failed: "Write Hex Values 2 File" is to lose its check mark.
    std::function<void()> OnWriteHexValuesUnchecked;

private:
    void WriteHexLines(std::initializer_list<std::string> lines);
    void SendRequest();

    TTerminalSession& FSession;
    TUserDialogs& FDialogs;
    TQorinThreadTimer FTimer;
    TLogToFile FHexLog;
    double FStartingAngle = 0;
    bool FWriteHexValues = false;
};
