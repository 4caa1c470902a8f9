#pragma once

#include <QStringList>

#include <cstdint>
#include <functional>
#include <string>

class TKelvoDevice;

// Finding the serial port a Kelvo console is attached to, and reading what the connected
// console tells about itself. Both drive the device's own port and handshake and wait while
// processing window messages, so frames are parsed during the search. Progress goes to the
// progress dialog (headless when no window layer installed one).
namespace DeviceDiscovery {

// Where the step-by-step account of a search goes, one line per call (the terminal's lines);
// nothing is logged while it is empty.
extern std::function<void(const std::string& Line)> DiscoveryLog;
// Where the names of the ports to try come from: ListSerialPorts unless replaced.
extern std::function<void(QStringList& Ports)> PortLister;

// Scans every serial port, Passes times over, for a console that answers the identification.
// True when one did: the device is then connected on that port with the port open. Otherwise
// every tried port is closed again and the port setting is the last port of the list.
bool FindDevice(TKelvoDevice& Device, std::int32_t Passes, std::int32_t WaitMs);
// Tries the port currently set on the device's port; true when a console answered there.
bool ProbePort(TKelvoDevice& Device, std::int32_t WaitMs);

struct TDeviceInfo {
    std::string VersionText;
    std::string ProductVersionText;
    std::string SerialText;
};
// The connected console's version, product version and serial number as texts, "Not
// available" for what is not known; asks the console for what is missing first.
TDeviceInfo GetDeviceInfo(TKelvoDevice& Device, std::int32_t WaitMs);
// Asks for the serial number and product version not yet received, then waits WaitMs.
void QueryMissingInfo(TKelvoDevice& Device, std::int32_t WaitMs);

// The port name as logged: the port's text without NUL characters.
std::string CleanPortName(const std::string& Port);

} // namespace DeviceDiscovery
