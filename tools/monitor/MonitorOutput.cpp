#include "monitor/MonitorOutput.h"

#include "terminal/TerminalSession.h"

#include <QString>

#include <cstdio>

namespace MonitorOutput {

std::function<QTime()> LineTime;

void PrintLine(const std::string& line) {
    std::fputs((LineTime ? EventText::TimeStamped(line, LineTime()) : line).c_str(), stdout);
    std::fputc('\n', stdout);
    std::fflush(stdout);
}

std::string StatsLine(const EventText::TStatsContext& stats) {
    return "STATS " + EventText::LabelTimeText(stats) + " | " + EventText::LabelDistanceText(stats) + " | " +
           EventText::LabelSpeedText(stats) + " | " + EventText::LabelCadenceText(stats) + " | " +
           EventText::LabelHeartText(stats) + " | " + EventText::PowerEnergyText(stats);
}

void PrintQuality(const TTerminalSession& session) {
    for (const std::string& line : session.LinkQualityLines()) PrintLine("QUALITY " + line);
}

// From the session's link ledger: read from the port (or, after a user's reset, carried in from
// the splitter's buffer), cut into packets, discarded by the splitter, or still waiting in its
// buffer.
void PrintCounters(TTerminalSession& session) {
    const TLinkLedger& ledger = session.Ledger();
    std::printf("COUNTERS read=%llu packets=%llu discarded=%llu buffered=%zu carried=%llu\n",
                static_cast<unsigned long long>(ledger.GetBytesRead()),
                static_cast<unsigned long long>(ledger.GetBytesInPackets()),
                static_cast<unsigned long long>(ledger.GetBytesDiscarded()),
                session.Device().GetDataPacket()->GetBuffer().size(),
                static_cast<unsigned long long>(ledger.GetBytesCarried()));
}

std::string OneLine(const std::string& text) { return QString::fromStdString(text).simplified().toStdString(); }

} // namespace MonitorOutput
