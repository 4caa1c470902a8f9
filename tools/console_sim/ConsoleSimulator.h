#pragma once

#include "console_sim/ConsoleMachine.h"
#include "device_link/TrafficRecord.h"
#include "console_sim/PseudoTerminal.h"

#include <chrono>
#include <condition_variable>
#include <deque>
#include <fstream>
#include <functional>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

// The emulated console on a pseudo-terminal, running on a thread of its own: the PC opens
// GetSlavePath() (or the link path) as it would a serial port. Commands are text lines, as on
// the program's standard input. Everything that crosses the line is recorded with its time.
class TConsoleSimulator {
public:
    using TRecordTest = std::function<bool(const std::vector<TRecordEntry>& record)>;

    explicit TConsoleSimulator(const TConsoleSettings& settings);
    TConsoleSimulator(const TConsoleSimulator&) = delete;
    TConsoleSimulator& operator=(const TConsoleSimulator&) = delete;
    ~TConsoleSimulator();

    // Set before Start.
    void SetLinkPath(const std::string& path) { FLinkPath = path; }
    void SetScript(std::vector<TScriptLine> script) { FMachine.SetScript(std::move(script)); }
    void SetReplay(const std::vector<TRecordEntry>& capture) { FMachine.SetReplay(ReplayedPart(capture)); }
    // Appends every record line to `path` as it happens; throws std::runtime_error if it cannot be opened.
    void SetRecordFile(const std::string& path);
    // An emulator that runs for hours writes its record to a file and keeps none in memory.
    void SetKeepRecord(bool keep) { FKeepRecord = keep; }

    // Opens the line and starts the thread; throws std::runtime_error if the line cannot be opened.
    void Start();
    // Stops the thread and closes the line. Safe to call twice.
    void Stop();

    double GetVersion() const { return FMachine.GetVersion().Version; }
    // The slave path of the current line (a new one after each reappearance).
    std::string GetSlavePath() const;
    // Parses and queues a command; throws std::invalid_argument with the reason for a bad one.
    void Command(const std::string& line);

    std::vector<TRecordEntry> GetRecord() const;
    // Waits until `test` holds for the record or `timeoutMs` pass; returns whether it held.
    bool WaitForRecord(const TRecordTest& test, int timeoutMs) const;

    // Raised on the emulator's thread when the line reappears after a hang-up, with the new slave path.
    std::function<void(const std::string& slavePath)> OnLineReappeared;
    // Raised on the emulator's thread when the line could not come back; it stays away.
    std::function<void(const std::string& reason)> OnReappearFailed;

private:
    using TClock = std::chrono::steady_clock;

    double NowMs() const;
    void Run();
    void RunCommands(double nowMs);
    void Perform(double nowMs, const TConsoleActions& actions);
    void Record(double nowMs, TRecordDirection direction, const ByteString& bytes);
    void HangUp(double nowMs, double awayMs);
    void Reappear(double nowMs);
    void WaitForWork(double nowMs);
    void ReceiveFromPc(double nowMs);
    void Wake();

    TConsoleMachine FMachine;
    TPseudoTerminal FLine;
    std::string FLinkPath;
    double FReappearAtMs = -1;
    TClock::time_point FStartTime;
    std::thread FThread;
    int FWakeFd = -1;
    bool FStopping = false;

    mutable std::mutex FMutex;
    mutable std::condition_variable FRecordChanged;
    std::deque<TConsoleCommand> FCommands;
    std::vector<TRecordEntry> FRecord;
    bool FKeepRecord = true;
    std::ofstream FRecordFile;
    std::string FSlavePath;
};
