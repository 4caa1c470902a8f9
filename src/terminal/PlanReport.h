#pragma once

#include "terminal/PlanExecution.h"

#include <QByteArray>
#include <string>
#include <vector>

// What a plan's run leaves for the people and the tools after it: the plan, the console, the
// start time, every row with its value and verdict, and the link's quality. It reads as text,
// and a CI server reads the same as JUnit XML (TPlanJUnit).
struct TPlanReport {
    std::string PlanName;
    std::string PlanFile;
    std::string ConsolePort;
    double ConsoleVersion = 0;
    double Serial = 0;
    double Firmware = 0;
    // ISO 8601, local time with its offset.
    std::string StartTime;
    std::uint32_t DurationMs = 0;
    std::vector<TPlanExecution::TRow> Rows;
    bool Passed = false;
    std::vector<std::string> LedgerLines;
    // The traffic capture running as the plan ended; empty: none ran.
    std::string CaptureFile;

    static const char* StateText(TPlanExecution::TState state);
    // "  3 passed   speed 20 to 30 km/h within 10 s: 24.98 km/h"
    static std::string RowLine(std::size_t index, const TPlanExecution::TRow& row);
    std::string VerdictLine() const;
    std::vector<std::string> TextLines() const;
    // The text lines as a file's bytes.
    QByteArray TextFile() const;
};
