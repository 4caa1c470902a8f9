#include "terminal/PlanReport.h"

#include "terminal/EventText.h"

#include <cstdio>

const char* TPlanReport::StateText(TPlanExecution::TState state) {
    switch (state) {
    case TPlanExecution::stPending: return "pending";
    case TPlanExecution::stRunning: return "running";
    case TPlanExecution::stPassed: return "passed";
    case TPlanExecution::stFailed: return "FAILED";
    case TPlanExecution::stNotRun: return "not run";
    }
    return "";
}

std::string TPlanReport::RowLine(std::size_t index, const TPlanExecution::TRow& row) {
    char head[32];
    std::snprintf(head, sizeof head, "%4zu %-8s ", index, StateText(row.State));
    std::string line = head + row.Title;
    if (!row.Measured.empty()) line += ": " + row.Measured;
    if (row.State == TPlanExecution::stFailed && !row.Expected.empty()) line += " (expected " + row.Expected + ")";
    return line;
}

std::string TPlanReport::VerdictLine() const {
    const std::size_t passed = TPlanExecution::Count(Rows, TPlanExecution::stPassed);
    return std::string("Verdict: ") + (Passed ? "PASSED" : "FAILED") + " (" + std::to_string(passed) + " of " +
           std::to_string(Rows.size()) + " passed)";
}

std::vector<std::string> TPlanReport::TextLines() const {
    std::vector<std::string> lines{
        "Test plan: " + PlanName + " (" + PlanFile + ")",
        "Console: version " + TestPlanText::Number(ConsoleVersion) + " on " + ConsolePort + ", serial number " + TestPlanText::Number(Serial) +
            ", firmware " + TestPlanText::Number(Firmware),
        "Started: " + StartTime + ", took " + EventText::Fixed(DurationMs / 1000.0L, 1) + " s",
    };
    if (!CaptureFile.empty()) lines.push_back("Traffic capture: " + CaptureFile);
    lines.push_back("Steps:");
    for (std::size_t row = 0; row < Rows.size(); ++row) lines.push_back(RowLine(row, Rows[row]));
    lines.push_back(VerdictLine());
    lines.push_back("Link quality:");
    for (const std::string& line : LedgerLines) lines.push_back("  " + line);
    return lines;
}

QByteArray TPlanReport::TextFile() const {
    QByteArray text;
    for (const std::string& line : TextLines()) text += QByteArray::fromStdString(line) + '\n';
    return text;
}
