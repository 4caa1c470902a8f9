#pragma once

#include "device_link/ByteString.h"
#include "terminal/LogToFile.h"

#include <QDateTime>
#include <QString>

#include <cstdint>
#include <functional>
#include <string>

// The connection survey log "CS.log": program start and end, every connection with its banner,
// every disconnection, repair attempt, discard, rejection and heart-link loss the device
// reports, and a report block at the end of each run. Each line is appended by opening and
// closing the file, so the log is complete at any moment of a night's test.
//
// The survey lines are gated by "Write log CS"; the banner and the report are not. A failure
// to write any line never ends the run: the first one is told once through OnWriteFailed, and
// the next line is tried again (a success ends the failing spell, so a later one is told too).
//
// The methods named after the device's events are called by the terminal session's handlers of
// those events (TTerminalSession::AttachSurveyLog), in the device's order. Test duration is
// measured on a steady clock from OnConnected, so a night across a clock change comes out
// right; "Test Start:" and "Test end:" are local times.
//
// The main window:
//  - creation, step 15-16: constructs the log (DefaultFileName()), sets WriteLogCS from
//    "Write log CS", OnWriteFailed to add the line to the terminal, OnConnectionLostAfterTick
//    (below), attaches it to the session, then calls WriteStartLine();
//  - "Write log CS" toggled: WriteLogCS := its check mark;
//  - "Log file" menu about to show: both commands enabled exactly when Exists();
//    "Show connection survey Log": when Exists(), a viewer opens GetFileName(), else the "Info"
//    box with NotFoundText(); "Delete the connection survey log file": when Exists(), asks
//    DeleteQuestion (Yes/No/Cancel) and on Yes shows the message Delete() returns, if any;
//  - OnClose: ends the run first when the port is open (as F8 does: TTerminalSession::
//    OpenOrClosePort, whose failure does not stop the quit), then WriteClosingLine(), then
//    saves settings.ini.
// OnConnectionLostAfterTick is raised after the survey tick that gave the connection up has
// returned, before what the window's own handlers of the loss left to run then: the window
// shows the lost-connection box there, and its presenter's "Find device" follows it.
class TSurveyLog {
public:
    static constexpr const char* DeleteQuestion = "Are you sure to want to delete the connection survey log file?";
    static constexpr const char* LostConnectionText =
        "The connection with the Kelvo device has been lost!\r\n\r\n\r\nCheck your connection.";

    explicit TSurveyLog(const QString& FileName = DefaultFileName());

    // "CS.log" beside the executable.
    static QString DefaultFileName();
    const QString& GetFileName() const { return FFileName; }
    bool Exists() const;
    QString NotFoundText() const;
    // Deletes the file; returns the message for the user when it cannot, else empty.
    std::string Delete() const;

    // "Write log CS".
    bool WriteLogCS = true;

    std::function<void(const std::string& line)> OnWriteFailed;
    std::function<void()> OnConnectionLostAfterTick;
    // Where the lines go instead of the file, when set (a decode of a capture prints them).
    std::function<void(const QString& line)> OnLine;

    // The clocks, replaced by tests: local time for the texts, a steady millisecond count for
    // the test duration.
    std::function<QDateTime()> CurrentTime = [] { return QDateTime::currentDateTime(); };
    std::function<std::int64_t()> SteadyMs;

    void WriteStartLine();
    void WriteClosingLine();
    // Nothing while WriteLogCS is off; else the time, a tab, Code, and a tab and Text when
    // Text is not empty.
    void WriteSurveyLine(const QString& Code, const QString& Text = QString());
    void WriteRunReport(const QString& Reason, double Version, std::int32_t DisconnectionCount);

    void OnConnected(double Version);
    void OnDisconnected(double Version, std::int32_t DisconnectionCount);
    void OnRepairingConnection(std::int32_t DisconnectionCount, std::int32_t Resistance);
    void OnConnectionLost(double Version, std::int32_t DisconnectionCount, std::int32_t Resistance);
    void OnKvdErrorInfo(std::int32_t KvdErrorCode, std::int32_t Occurence, std::int32_t Resistance);
    void OnComDataPacketDiscard(const ByteString& Str);
    void OnMessageRejected(const ByteString& Str);
    void OnHeartConnectionLost();

    // "dd/mm/yy hh:nn:ss:zzz" with the system's separators.
    static QString LogTimeText(const QDateTime& When);
    // Hours (counting on past 24), minutes, seconds and milliseconds.
    static QString DurationText(std::int64_t Milliseconds);

private:
    void Append(const QString& line);

    QString FFileName;
    TLogToFile FLog;
    QDateTime FConnectTime;
    QDateTime FEndTime;
    std::int64_t FConnectSteadyMs = 0;
    bool FConnectedOnce = false;
    // Between the device's "repairing process aborted" and its connection-lost event: the
    // disconnection in between belongs to the loss, which writes the run's one report.
    bool FGivingUp = false;
    bool FFailing = false;
};
