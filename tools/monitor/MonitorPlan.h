#pragma once

#include "terminal/PlanRunner.h"
#include "terminal/TestPlan.h"

#include <functional>
#include <string>
#include <vector>

class TTerminalSession;

// kelvo-monitor --plan: the plan runs on the monitor's session once the port is open, its
// progress goes to standard output as PLAN lines, and at the end its reports are written and
// its verdict becomes the exit status.
class TMonitorPlan {
public:
    static constexpr int ExitPassed = 0;
    static constexpr int ExitFailed = 1;
    static constexpr int ExitUnreadable = 2;

    struct TFiles {
        std::string Plan;
        std::string JUnit;
        std::string Report;
    };

    TMonitorPlan(TTerminalSession& session, TTestPlan plan, TFiles files, std::function<void(const std::string&)> print);

    // Runs the plan; `onFinished` is called when it has ended.
    void Start(std::function<void()> onFinished);
    // The port did not open: the plan fails at its hand-shake with the reason.
    void Refuse(const std::string& why);
    // The monitor is ending: a plan still running fails where it stands.
    void End(const std::string& why);
    // Prints the report, writes the files asked for; the exit status.
    int Finish();

private:
    void PrintRow(std::size_t row);

    TFiles FFiles;
    TTestPlan FPlan;
    TPlanRunner FRunner;
    std::function<void(const std::string&)> FPrint;
    std::vector<TPlanExecution::TState> FPrinted;
};
