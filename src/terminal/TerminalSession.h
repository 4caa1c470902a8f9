#pragma once

#include "device/KelvoDevice.h"
#include "terminal/EventText.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>

// What the main window does without any widget: it owns the device with the window's layout
// values, applies the start-up line settings, runs the port open/close flow and SwitchDevice,
// follows version changes, and turns every device event into terminal lines. The main window
// and the headless monitor both drive this one class.
class TTerminalSession {
public:
    TTerminalSession();
    ~TTerminalSession();
    TTerminalSession(const TTerminalSession&) = delete;
    TTerminalSession& operator=(const TTerminalSession&) = delete;

    TKelvoDevice& Device() { return *FDevice; }

    // The console version the window selects at start-up.
    static constexpr double StartupVersion = 4.5;

    // "Open port [F8]": closes an open port, or opens the device's port. Returns the message
    // for the user when it fails, empty on success.
    std::string OpenOrClosePort();
    // Ends a running connection and, when On, starts a new run (connecting first if needed).
    void SwitchDevice(bool On);

    // A console request button: writes the request's echo line and sends it while the port is
    // open. A failed write becomes one terminal line and a beep; nothing escapes.
    void SendConsoleRequest(std::uint16_t Type, std::int32_t A, std::int32_t B);

    // "Enable Con. survey": switches the connection survey and its timers on or off.
    void SetConnectionSurveyEnabled(bool enabled);

    // "WriteToMemo": unchecked, the terminal keeps only the newest line.
    bool WriteToMemo = true;

    std::function<void(const std::string& line)> OnAddLine;
    std::function<void()> OnClearTerminal;
    std::function<void(const EventText::TStatsContext& stats)> OnStatsLabels;
    std::function<void()> OnBeep;

private:
    void ApplyLayoutValues();
    void HookDeviceEvents();
    void HookPortFlow();
    void AddLine(const std::string& line);
    void ShowKelvoMessage(int messageType, long double Value1, long double Value2, long double Value3,
                          const ByteString& Str);
    void ShowStats(std::int32_t LapEventCount);
    void FollowVersion();

    std::unique_ptr<TKelvoDevice> FDevice;
    long long FHeartImpulses = 0;
};
