#pragma once

#include <string>

class TKelvoDevice;

// A line typed on kelvo-monitor's standard input: a set-point or a ride condition for the
// device, so that a ride can be driven from a script, or a question to the monitor itself.
enum class TMonitorCommandKind { mcResistance, mcElevation, mcSlope, mcWeight, mcQuality, mcResetQuality };

struct TMonitorCommand {
    TMonitorCommandKind Kind = TMonitorCommandKind::mcResistance;
    double Value = 0;
};

// Throws std::invalid_argument with a message for the user that names what is wrong.
TMonitorCommand ParseMonitorCommand(const std::string& line);
// resistance -> KelvoResistance, elevation -> CurrentElevation, slope -> CurrentSlope,
// weight -> RiderWeight. A question to the monitor (quality) changes nothing on the device.
void ApplyMonitorCommand(TKelvoDevice& device, const TMonitorCommand& command);
// The commands understood, one per line, for the usage text.
const char* MonitorCommandHelp();
