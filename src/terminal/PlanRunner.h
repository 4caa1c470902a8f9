#pragma once

#include "device_link/QorinThreadTimer.h"
#include "terminal/PlanExecution.h"
#include "terminal/PlanReport.h"

#include <QDateTime>
#include <array>
#include <functional>
#include <memory>
#include <string>

class TTerminalSession;

// Runs a test plan on the session's console: the device's events and statistics ticks feed the
// plan's execution, a timer of its own lets waits and time limits end while the console is
// silent, and set-points go to the device. The ride and every window go on as usual meanwhile.
// When the plan ends the set-points it changed are put back as they were before it.
class TPlanRunner {
public:
    static constexpr std::uint32_t PollIntervalMs = 200;

    explicit TPlanRunner(TTerminalSession& session);
    ~TPlanRunner();
    TPlanRunner(const TPlanRunner&) = delete;
    TPlanRunner& operator=(const TPlanRunner&) = delete;

    // Starts a plan; one already running is stopped first.
    void Start(const TTestPlan& plan);
    // Stops a running plan: its running step fails with `why`, the rest are not run.
    void Stop(const std::string& why = "stopped by the user");
    // The operator's button for the question being asked.
    void Answer(bool yes);
    bool Running() const { return FExecution && FExecution->Running(); }
    // The plan running or run last; nullptr before the first.
    const TPlanExecution* Execution() const { return FExecution.get(); }
    TPlanReport Report() const;
    TQorinThreadTimer& Timer() { return FTimer; }
    // One poll of the clock; the timer calls it.
    void Poll();

    // How a resistance reaches the device: by default straight to it; the window goes through
    // its resistance field, so that the field shows it.
    std::function<void(std::int32_t resistance)> SetResistance;
    std::function<void(std::size_t row)> OnRowChanged;
    std::function<void()> OnFinished;

private:
    struct TBaseline {
        double Resistance = 0;
        double Elevation = 0;
        double Slope = 0;
        double Weight = 0;
        std::uint64_t Rejected = 0;
        std::uint64_t Discarded = 0;
    };
    void HookDevice();
    TPlanFigures ReadFigures() const;
    // Returns why the set-point could not be applied, empty when it was.
    std::string Apply(TPlanSetPoint setPoint, double value);
    void Finished();
    // The ledger's lines as the plan ended, kept for its reports.
    void KeepLedger();
    void RestoreSetPoints();
    // The console's port and identity and the traffic capture running, as a report's head.
    TPlanReport ConsoleNow() const;
    // A count of the ledger since the plan began; a user's reset of the ledger meanwhile
    // restarts it from 0.
    static double Since(std::uint64_t now, std::uint64_t base) { return now >= base ? double(now - base) : double(now); }

    TTerminalSession& FSession;
    TQorinThreadTimer FTimer;
    std::unique_ptr<TPlanExecution> FExecution;
    TBaseline FBaseline;
    std::array<bool, PlanSetPointCount> FSetPointsChanged{};
    double FDisconnections = 0;
    QDateTime FStartTime;
    std::vector<std::string> FLedgerLines;
    bool FLedgerPending = false;
    // The console as the plan ended: a ride's end forgets its serial number.
    TPlanReport FConsole;
    // The device's handlers outlive nothing: they reach the runner through this while it lives.
    std::shared_ptr<TPlanRunner*> FSelf;
};
