#pragma once

#include "terminal/EventText.h"

#include <QTime>

#include <functional>
#include <string>

class TTerminalSession;

// What kelvo-monitor prints, one line at a time on standard output: the terminal's lines, the
// STATS lines, the ledger.
namespace MonitorOutput {

// When set, every printed line begins with the time this gives (--timestamps: the time of day;
// a decode: the capture's time).
extern std::function<QTime()> LineTime;

void PrintLine(const std::string& line);
std::string StatsLine(const EventText::TStatsContext& stats);
// The session's link-quality ledger, one QUALITY line each.
void PrintQuality(const TTerminalSession& session);
// Where every received byte went (the COUNTERS line).
void PrintCounters(TTerminalSession& session);
// A box's text on one line: its line breaks become single blanks.
std::string OneLine(const std::string& text);

} // namespace MonitorOutput
