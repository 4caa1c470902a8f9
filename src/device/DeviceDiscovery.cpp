#include "device/DeviceDiscovery.h"

#include "device/KelvoDevice.h"
#include "device/ProgressOperations.h"
#include "device_link/ApplicationError.h"
#include "device_link/SerialPortList.h"
#include "device_link/WaitWithMessages.h"

#include <QLocale>
#include <QStringList>

#include <algorithm>
#include <stdexcept>

namespace DeviceDiscovery {

std::function<void(const std::string& Line)> DiscoveryLog;
std::function<void(QStringList& Ports)> PortLister = ListSerialPorts;

namespace {
constexpr std::uint32_t OpenSettleMs = 200;
const char* const NoPortsText = "Cannot list the com ports of the computer!";
const char* const NotAvailable = "Not available";

void Log(const std::string& line) {
    if (DiscoveryLog) DiscoveryLog(line);
}

// A line about the device's current port: the cleaned port name, a blank, the text.
void LogPort(const TKelvoDevice& device, const std::string& text) {
    Log(CleanPortName(device.GetComPortPort()) + " " + text);
}

std::string PassText(std::int32_t pass) { return "Time  " + std::to_string(pass); }

// The progress dialog is closed on every way out of a search.
struct TProgressDialogScope {
    TProgressDialogScope(std::int32_t max, const std::string& text) { ShowProgressDialog(-1, max, text); }
    ~TProgressDialogScope() { CloseProgressDialog(); }
    TProgressDialogScope(const TProgressDialogScope&) = delete;
    TProgressDialogScope& operator=(const TProgressDialogScope&) = delete;
};

struct TBusyCursorScope {
    TBusyCursorScope() { BeginBusyCursor(); }
    ~TBusyCursorScope() { EndBusyCursor(); }
    TBusyCursorScope(const TBusyCursorScope&) = delete;
    TBusyCursorScope& operator=(const TBusyCursorScope&) = delete;
};

void ClosePortIfOpen(TKelvoDevice& device) {
    if (device.GetComPortConnected()) device.GetComPort()->Close();
}

QStringList ListAndLogPorts() {
    QStringList ports;
    PortLister(ports);
    Log("List active com ports");
    for (const QString& port : ports) Log("\t" + port.toStdString());
    return ports;
}

void ReportNoPorts(std::int32_t passes, std::int32_t pass) {
    UpdateProgressDialog(passes, pass, NoPortsText);
    ShowApplicationError(std::make_exception_ptr(std::runtime_error(NoPortsText)));
}

// One pass over the listed ports; true when a console answered on one of them.
bool ProbeListedPorts(TKelvoDevice& device, const QStringList& ports, std::int32_t passes, std::int32_t pass,
                      std::int32_t waitMs) {
    for (const QString& port : ports) {
        UpdateProgressDialog(passes, pass, "Opening port " + port.toStdString());
        device.SetComPortPort(port.toStdString());
        Log("");
        if (ProbePort(device, waitMs)) return true;
    }
    return false;
}

// The port open and settled; false (logged) when it could not be opened.
bool OpenForProbe(TKelvoDevice& device) {
    LogPort(device, "Opening port...");
    try {
        device.GetComPort()->Open();
        WaitWithMessages(OpenSettleMs);
    } catch (const std::exception& error) {
        LogPort(device, error.what());
        return false;
    }
    return device.GetComPortConnected();
}

std::string VersionText(double version) { return QLocale::system().toString(version, 'g', 15).toStdString(); }
} // namespace

std::string CleanPortName(const std::string& Port) {
    std::string clean = Port;
    std::erase(clean, '\0');
    return clean;
}

bool FindDevice(TKelvoDevice& Device, std::int32_t Passes, std::int32_t WaitMs) {
    if (Device.GetConnected()) Device.SetConnected(false);
    ClosePortIfOpen(Device);
    TProgressDialogScope progress(Passes, "Reading the com ports...");
    WaitWithMessages(0);

    bool found = false;
    for (std::int32_t pass = 1; pass <= Passes; ++pass) {
        UpdateProgressDialog(Passes, pass, PassText(pass));
        if (found) break;
        Log("");
        Log("FINDING DEVICE: " + std::to_string(pass) + "/" + std::to_string(Passes));
        const QStringList ports = ListAndLogPorts();
        if (ports.isEmpty()) {
            ReportNoPorts(Passes, pass);
            return false;
        }
        found = ProbeListedPorts(Device, ports, Passes, pass, WaitMs);
    }
    return found;
}

bool ProbePort(TKelvoDevice& Device, std::int32_t WaitMs) {
    ClosePortIfOpen(Device);
    if (!OpenForProbe(Device)) return false;
    LogPort(Device, "Opened");
    LogPort(Device, "Sending Kelvo identification...");
    Device.TryConnect(WaitMs);
    if (Device.GetConnected()) {
        LogPort(Device, "KELVO Found on this port!");
        return true;
    }
    LogPort(Device, "KELVO is not present on this port");
    if (Device.GetComPortConnected()) {
        Device.GetComPort()->Close();
        LogPort(Device, "Closing port...");
    }
    return false;
}

TDeviceInfo GetDeviceInfo(TKelvoDevice& Device, std::int32_t WaitMs) {
    TBusyCursorScope busy;
    TDeviceInfo info{NotAvailable, NotAvailable, NotAvailable};
    if (!Device.GetConnected() || Device.GetSimulationMode()) return info;
    info.VersionText = VersionText(Device.GetVersion());
    QueryMissingInfo(Device, WaitMs);
    if (Device.GetSerialNumber() != 0) info.SerialText = std::to_string(Device.GetSerialNumber());
    if (Device.GetProductVersion() != 0) info.ProductVersionText = std::to_string(Device.GetProductVersion());
    return info;
}

void QueryMissingInfo(TKelvoDevice& Device, std::int32_t WaitMs) {
    if (Device.GetSerialNumber() == 0) Device.QuerySerialNumber();
    if (Device.GetProductVersion() == 0) Device.QueryProductVersion();
    WaitWithMessages(static_cast<std::uint32_t>(std::max(WaitMs, 0)));
}

} // namespace DeviceDiscovery
