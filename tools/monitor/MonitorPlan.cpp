#include "monitor/MonitorPlan.h"

#include "terminal/PlanJUnit.h"
#include "terminal/PlanReportFile.h"

#include <cstdio>

TMonitorPlan::TMonitorPlan(TTerminalSession& session, TTestPlan plan, TFiles files,
                           std::function<void(const std::string&)> print)
    : FFiles(std::move(files)), FPlan(std::move(plan)), FRunner(session), FPrint(std::move(print)) {
    FRunner.OnRowChanged = [this](std::size_t row) { PrintRow(row); };
}

void TMonitorPlan::Start(std::function<void()> onFinished) {
    FPrinted.clear();
    FRunner.OnFinished = std::move(onFinished);
    FPrint("PLAN " + FPlan.Name + " (" + FPlan.FileName + "): " + std::to_string(FPlan.Steps.size()) + " steps");
    FRunner.Start(FPlan);
}

void TMonitorPlan::Refuse(const std::string& why) {
    FRunner.Start(FPlan);
    FRunner.Stop(why);
}

void TMonitorPlan::End(const std::string& why) { FRunner.Stop(why); }

void TMonitorPlan::PrintRow(std::size_t row) {
    const TPlanExecution& execution = *FRunner.Execution();
    const TPlanExecution::TRow& state = execution.Rows()[row];
    // A row is told again with each statistics tick; a line is printed when its state changes.
    FPrinted.resize(execution.Rows().size(), TPlanExecution::stPending);
    if (state.State == FPrinted[row]) return;
    FPrinted[row] = state.State;
    FPrint("PLAN " + TPlanReport::RowLine(row, state));
    if (state.State == TPlanExecution::stRunning && row > 0 && execution.StepOf(row).Kind == TPlanStepKind::psAsk) {
        const TPlanStep& step = execution.StepOf(row);
        FPrint("PLAN ask: " + step.Text + (step.Key ? " (answered by the console's " + TestPlanText::NameOf(TestPlanText::Keys(), *step.Key) + " key)" : " (no key answers it here)"));
    }
}

int TMonitorPlan::Finish() {
    const TPlanReport report = FRunner.Report();
    const std::vector<std::string> lines = report.TextLines();
    for (const std::string& line : lines) FPrint("PLAN " + line);
    int status = report.Passed ? ExitPassed : ExitFailed;
    const auto save = [&status](const std::string& path, const QByteArray& bytes) {
        if (path.empty()) return;
        const std::string failure = PlanReportFile::Save(path, bytes);
        if (failure.empty()) return;
        std::fprintf(stderr, "Cannot write the report %s\n", failure.c_str());
        status = ExitFailed;
    };
    save(FFiles.Report, report.TextFile());
    save(FFiles.JUnit, TPlanJUnit::Xml(report));
    return status;
}
