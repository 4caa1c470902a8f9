#pragma once

#include "device/KelvoDevice.h"
#include "terminal/ApplicationMessageHook.h"
#include "terminal/EventText.h"
#include "terminal/LinkLedger.h"
#include "terminal/TrafficCapture.h"
#include "terminal/OptionBoxes.h"

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// What the main window does without any widget: it owns the device with the window's layout
// values, applies the start-up line settings, runs the port open/close flow and SwitchDevice,
// follows version changes, and turns every device event into terminal lines. The main window
// and the headless monitor both drive this one class.
class TSurveyLog;

class TTerminalSession {
public:
    TTerminalSession();
    ~TTerminalSession();
    TTerminalSession(const TTerminalSession&) = delete;
    TTerminalSession& operator=(const TTerminalSession&) = delete;

    TKelvoDevice& Device() { return *FDevice; }
    // The link's quality since the port opened (a repair's reopen does not start it again).
    TLinkLedger& Ledger() { return FLedger; }
    // The ledger as text, with what the splitter still holds.
    std::vector<std::string> LinkQualityLines() const;
    // The user's fresh start of the ledger: counted from now, what the splitter holds carried in;
    // with the port closed (not by a repair) it stays stopped until the port opens.
    void ResetLedger();

    // The capture of the port's traffic (stopped until started), with a note for each event of
    // the connection and each request the user sends.
    TTrafficCapture& Capture() { return *FCapture; }
    // The capture file's header: the program, the wall-clock start, the port and its settings.
    std::vector<std::string> CaptureHeader(const std::string& program) const;
    // The port and its line settings, as a capture's notes and header give them.
    std::string PortDescription() const;

    // The console version the window selects at start-up.
    static constexpr double StartupVersion = 4.5;

    // "Open port [F8]": closes an open port, or opens the device's port. Returns the message
    // for the user when it fails, empty on success. A failed close beeps after its message is
    // shown, so the beep is the caller's.
    std::string OpenOrClosePort();
    // Why the last open failed, as the lines it added to the terminal: the system's words and,
    // where there is one, a hint. Empty after an open that succeeded.
    const std::vector<std::string>& OpenFailureReason() const { return FOpenFailureReason; }
    // Ends a running connection and, when On, starts a new run (connecting first if needed).
    void SwitchDevice(bool On);

    // A console request button: writes the request's echo line and sends it while the port is
    // open. A failed write becomes one terminal line and a beep; nothing escapes. Byte-stream
    // consoles take every byte as a resistance, so they get only the identification byte.
    void SendConsoleRequest(std::uint16_t Type, std::int32_t A, std::int32_t B);
    // The echo of what the user sent (a request, a set-point) and the empty line after it; with
    // "WriteToMemo" unchecked the empty line is left out, since it would replace the echo at once.
    void WriteEcho(const std::string& line);
    // A write the user caused (a request, a set-point from a field, a bar, a key or the wheel, a
    // routine's step): a failure becomes one terminal line and a beep, never a box, so that a held
    // key or an auto-repeating bar cannot stack boxes. True when the write went out.
    bool RunUserWrite(const std::function<void()>& write);

    // The application message that the device posts for a repeated enter key.
    static constexpr std::uint32_t EnterKeyMessage = 1479;

    // The connection survey log that the device's connection, survey, discard and rejection
    // events write to (nullptr: none). The session's handlers write it before the window's.
    void AttachSurveyLog(TSurveyLog* log) { FSurveyLog = log; }

    // "Enable Con. survey": switches the connection survey and its timers on or off.
    void SetConnectionSurveyEnabled(bool enabled);
    // What the option boxes' clicks change, all at once: the session starts from the window's
    // boxes as they are at start (TOptionBoxes{}); the monitor applies the ones its flags change.
    void ApplyOptionBoxes(const TOptionBoxes& boxes);

    // "WriteToMemo": unchecked, the terminal keeps only the newest line.
    bool WriteToMemo = TOptionBoxes{}.WriteToMemo;
    // "Time stamps": each new terminal line begins with the time of day it arrived.
    bool TimeStamps = false;
    // The window clears it while the terminal page is hidden: request echoes are then not written.
    bool TerminalVisible = true;

    std::function<void(const std::string& line)> OnAddLine;
    std::function<void()> OnClearTerminal;
    std::function<void(const EventText::TStatsContext& stats)> OnStatsLabels;
    std::function<void()> OnBeep;
    // A console key press, from the device or from the enter key's application message.
    std::function<void(TConsoleKey key)> OnConsoleKeyPressed;
    // The running total of heart impulses changed (a measurement message, a new run).
    std::function<void(long long heartImpulses)> OnHeartImpulses;

private:
    void ApplyLayoutValues();
    void HookDeviceEvents();
    void HookPortFlow();
    void HookByteCounting();
    std::size_t BufferedBytes() const;
    void HookConnectionEvents();
    void AddLine(const std::string& line);
    void ShowKelvoMessage(int messageType, long double Value1, long double Value2, long double Value3,
                          const ByteString& Str);
    void ShowStats(std::int32_t LapEventCount);
    void PressConsoleKey(TConsoleKey key);
    void WriteRequestEcho(const ByteString& frame, const std::string& description);
    ByteString WireBytesOfRequest(std::uint16_t Type, const ByteString& frame) const;
    void FollowVersion();
    void HookCaptureNotes();
    void TellOpenFailureReason(const std::string& port, const std::exception& error);

    std::unique_ptr<TKelvoDevice> FDevice;
    TSurveyLog* FSurveyLog = nullptr;
    std::unique_ptr<TApplicationMessageHook> FMessageHook;
    long long FHeartImpulses = 0;
    TLinkLedger FLedger;
    // After the device: it leaves the device's port before the port goes.
    std::unique_ptr<TTrafficCapture> FCapture;
    std::vector<std::string> FOpenFailureReason;
    bool FDestroying = false;
};
