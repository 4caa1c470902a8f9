#pragma once

#include "monitor/MonitorPlan.h"
#include "terminal/OptionBoxes.h"
#include "terminal/TerminalSession.h"

#include <QStringList>

#include <optional>
#include <string>

// What kelvo-monitor was asked to do on its command line.
struct TMonitorOptions {
    double Version = TTerminalSession::StartupVersion;
    std::optional<int> Seconds;
    // The window's option boxes as they start; a flag unchecks one, as a user would.
    TOptionBoxes Boxes;
    bool Counters = false;
    bool Quality = false;
    bool Find = false;
    // Each printed line begins with its arrival's time of day, as the window's "Time stamps".
    bool TimeStamps = false;
    // A capture of the port's traffic, as the window's "Record traffic...".
    std::string Capture;
    // A capture to decode instead of a ride on a port.
    std::string Decode;
    std::string Port;
    TMonitorPlan::TFiles Plan;
};

namespace MonitorOptions {

// The arguments after the program's name. Throws std::invalid_argument naming the argument and
// what is wrong with it.
TMonitorOptions Parse(const QStringList& arguments);
std::string Usage();

} // namespace MonitorOptions
