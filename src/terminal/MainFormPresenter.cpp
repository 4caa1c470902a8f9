#include "terminal/MainFormPresenter.h"

#include "device/DeviceDiscovery.h"
#include "device/KelvoProtocol.h"
#include "device/ProgressOperations.h"
#include "device_link/ComPortSettings.h"
#include "device_link/WaitWithMessages.h"
#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"

#include <algorithm>
#include <cstdio>
#include <exception>
#include <tuple>

namespace {

constexpr std::array<const char*, 9> VersionCaptions{
    "Kelvo 7", "Kelvo 6", "Kelvo 5.5", "Kelvo 5", "Kelvo 4.5", "Kelvo 4", "Kelvo 3", "Kelvo 2", "Kelvo 1"};
// The version each item's caption names.
constexpr std::array<double, 9> VersionValues{7, 6, 5.5, 5, 4.5, 4, 3, 2, 1};
constexpr double OrientationVersion = 5.5;

const char* const RegistryPath = "\\Software\\Corvane\\Tavrik";
const char* const DeviceNotFoundText =
    "Cannot find the Kelvo device!\r\nplease verify your connection,\r\nand Retry";
constexpr std::int32_t SearchPasses = 3;
constexpr std::int32_t SearchWaitMs = 100;
constexpr std::int32_t DeviceInfoWaitMs = 1000;

constexpr std::array Requests{
    TMainFormPresenter::TConsoleRequest{"BtIdentification", "Identification request",
                                        KelvoProtocol::rqIdentification, KelvoProtocol::IdentificationCode,
                                        0},
    TMainFormPresenter::TConsoleRequest{"BtProductVersion", "Product version",
                                        KelvoProtocol::rqProductVersion, 0, 0},
    TMainFormPresenter::TConsoleRequest{"BtSerialNumber", "Serial number", KelvoProtocol::rqSerialNumber, 0,
                                        0},
    TMainFormPresenter::TConsoleRequest{"BtResetRollerTurns", "Reset total and partial roller turns",
                                        KelvoProtocol::rqResetRollerTurns, 0, 0},
    TMainFormPresenter::TConsoleRequest{"BtResetConsole", "Reset the console", KelvoProtocol::rqResetConsole,
                                        0, 0},
    TMainFormPresenter::TConsoleRequest{"BtPauseOn", "Pause On", KelvoProtocol::rqPauseConsole, 1, 0},
    TMainFormPresenter::TConsoleRequest{"BtPauseOff", "Pause Off", KelvoProtocol::rqPauseConsole, 0, 0},
    TMainFormPresenter::TConsoleRequest{"BtTotalRollCount", "Total RollCount",
                                        KelvoProtocol::rqTotalRollCount, 0, 0},
};

// The hourglass while a command waits for the console.
struct TBusyCursor {
    TBusyCursor() { BeginBusyCursor(); }
    ~TBusyCursor() { EndBusyCursor(); }
    TBusyCursor(const TBusyCursor&) = delete;
    TBusyCursor& operator=(const TBusyCursor&) = delete;
};

std::string ConsoleVersionText(const DeviceDiscovery::TDeviceInfo& info) {
    return "Kelvu Version: \t" + info.VersionText + "\r\nProductVersion: \t" + info.ProductVersionText +
           "\r\nSerialNumber: \t" + info.SerialText;
}

} // namespace

// What "Com port Settings" and "Load com port settings" may change on the port's line.
struct TMainFormPresenter::TPortSettings {
    explicit TPortSettings(const TKelvoDevice& device)
        : Open(device.GetComPortConnected()), Port(device.GetComPortPort()),
          Line(device.GetComPortBaudRate(), device.GetComPort()->GetDataBits(),
               device.GetComPort()->GetStopBits(), device.GetComPort()->GetParity().GetBits()) {}
    bool Open;
    std::string Port;
    std::tuple<TBaudRate, TDataBits, TStopBits, TParityBits> Line;
    bool SameLine(const TPortSettings& other) const { return Port == other.Port && Line == other.Line; }
};

TMainFormPresenter::TMainFormPresenter(TTerminalSession& session, TMainFormView& view, TUserDialogs& dialogs)
    : FSession(session), FView(view), FDialogs(dialogs) {
    HookPortEvents();
    HookDeviceEvents();
    DeviceDiscovery::DiscoveryLog = [this](const std::string& line) { AddLine(line); };
}

TMainFormPresenter::~TMainFormPresenter() {
    DeviceDiscovery::DiscoveryLog = nullptr;
}

TKelvoDevice& TMainFormPresenter::Device() {
    return FSession.Device();
}

void TMainFormPresenter::AddLine(const std::string& line) {
    Raise(FSession.OnAddLine, line);
}

// ---- Port and device events ----

void TMainFormPresenter::HookPortEvents() {
    TKelvoDevice& device = Device();
    RunAfterHandler(device.OnComPortBeforeOpen,
                    [this](TComponent*) { FView.SetPriorityListsEnabled(!Device().GetComPortConnected()); });
    // The captions follow the port even while the device repairs the link; only the session's
    // stop and run steps wait for the repair to finish.
    RunBeforeHandler(device.OnComPortAfterOpen, [this](TComponent*) { ShowPortOpen(true); });
    RunBeforeHandler(device.OnComPortBeforeClose,
                     [this](TComponent*) { FView.SetCommandEnabled(TCommand::ClearBufferIO, false); });
    RunAfterHandler(device.OnComPortAfterClose, [this](TComponent*) { ShowPortOpen(false); });
}

void TMainFormPresenter::ShowPortOpen(bool open) {
    if (open) FView.SetCommandEnabled(TCommand::ClearBufferIO, true);
    FView.SetCommandCaption(TCommand::OpenPort,
                            open ? CommandTable::ClosePortCaption : CommandTable::OpenPortCaption);
    FView.SetPriorityListsEnabled(!Device().GetComPortConnected());
}

void TMainFormPresenter::HookDeviceEvents() {
    TKelvoDevice& device = Device();
    RunAfterHandler(device.OnConnected, [this](TComponent*) {
        FView.SetCommandCaption(TCommand::StartDevice, CommandTable::StopDeviceCaption);
        FView.SetCommandChecked(TCommand::StartDevice, true);
    });
    RunAfterHandler(device.OnDisconnected, [this](TComponent*) {
        FView.SetCommandCaption(TCommand::StartDevice, CommandTable::StartDeviceCaption);
        FView.SetCommandChecked(TCommand::StartDevice, false);
    });
    RunAfterHandler(device.OnVersionChange, [this](TComponent*) { FollowVersion(); });
    RunAfterHandler(device.OnConnectionLost, [this](TComponent*) {
        if (!Device().GetComPortConnected()) ShowPortOpen(false);
        // The loss is told from inside the survey's tick: the search runs once that has returned,
        // unless the window has gone or is closing by then.
        RunAfterWaits([this, alive = std::weak_ptr<bool>(FAlive)] {
            if (!alive.expired() && !FCloseRequested) FindDevice();
        });
    });
}

void TMainFormPresenter::FollowVersion() {
    // The list is usable again however the handling ends.
    struct TListDisabled {
        TMainFormView& View;
        explicit TListDisabled(TMainFormView& view) : View(view) { View.SetVersionListEnabled(false); }
        ~TListDisabled() { View.SetVersionListEnabled(true); }
        TListDisabled(const TListDisabled&) = delete;
        TListDisabled& operator=(const TListDisabled&) = delete;
    } disabled(FView);
    const TKelvoDevice& device = Device();
    ShowRollerFields();
    const auto item = std::find(VersionValues.begin(), VersionValues.end(), device.GetVersion());
    if (item != VersionValues.end()) FView.SelectVersionItem(static_cast<int>(item - VersionValues.begin()));
    if (device.GetVersion() == OrientationVersion) FView.CheckEnableOrientationBox();
    FView.SetMaintainsConsoleActiveBox(device.GetMaintainsConsoleActive());
}

void TMainFormPresenter::ShowRollerFields() {
    const TKelvoDevice& device = Device();
    FView.ShowRollerFields({static_cast<double>(device.GetNumberOfRoundPerRollEvent()),
                            static_cast<double>(device.GetRollDiameter()),
                            static_cast<double>(device.GetDistancePerRollEvent())});
}

// ---- Creation and destruction ----

void TMainFormPresenter::Create() {
    SelectVersion(StartupVersionItem);
    // "Display events" executed once.
    FView.SetCommandChecked(TCommand::DisplayEvents, true);
    DisplayEventsToggled(true);
    FView.SetCommandChecked(TCommand::DiscardNullValues, Device().GetComPort()->GetDiscardNull());
    // A failed load is shown; the console's line settings are forced all the same.
    Guarded([this] { RestoreComPortSettings(); });
    Device().ApplyConsoleLineSettings();
}

void TMainFormPresenter::Destroy() {
    Guarded([this] { StoreComPortSettings(); });
}

bool TMainFormPresenter::MayCloseNow(const std::function<void()>& closeAgain) {
    if (WaitDepth() == 0) return true;
    if (!FCloseRequested) {
        FCloseRequested = true;
        RunAfterWaits(closeAgain);
        AbortWaits();
    }
    return false;
}

void TMainFormPresenter::EndRunBeforeClosing() {
    FCloseRequested = true;
    // A close that fails does not stop the quit.
    if (Device().GetComPortConnected()) FSession.OpenOrClosePort();
    else if (Device().GetConnected()) Guarded([this] { FSession.SwitchDevice(false); });
}

// ---- Commands ----

bool TMainFormPresenter::Refused() {
    if (WaitDepth() == 0 && !Device().GetRepairing() && !RepairBetweenAttempts()) return false;
    FDialogs.Beep();
    return true;
}

// A repair that reopens the port leaves it closed between its attempts, while the run goes on and
// the survey's next tick makes the next attempt. With the survey switched off meanwhile no attempt
// comes, and F8 stays free to open the port again.
bool TMainFormPresenter::RepairBetweenAttempts() {
    const TKelvoDevice& device = Device();
    return device.GetConnected() && !device.GetComPortConnected() && device.GetConnectionSurvey();
}

bool TMainFormPresenter::Guarded(const std::function<void()>& command) {
    try {
        command();
        return true;
    } catch (const std::exception& error) {
        FDialogs.ShowMessage(TUserDialogs::bkError, error.what());
        return false;
    }
}

void TMainFormPresenter::OpenOrClosePort() {
    if (Refused()) return;
    const TBusyCursor busy;
    const bool wasOpen = Device().GetComPortConnected();
    const std::string failure = FSession.OpenOrClosePort();
    if (!failure.empty()) {
        FDialogs.ShowMessage(wasOpen ? TUserDialogs::bkPlain : TUserDialogs::bkError, failure);
        if (wasOpen) FDialogs.Beep(); // a failed close: the box first, then the beep
    } else if (!wasOpen) {
        FView.MoveTerminalCaretToStart();
    }
}

void TMainFormPresenter::StartOrStopDevice() {
    if (!Refused()) {
        if (!Device().GetComPortConnected()) {
            FDialogs.ShowMessage(TUserDialogs::bkWarning, "Open port first, please !");
        } else {
            const TBusyCursor busy;
            Guarded([this] { FSession.SwitchDevice(!Device().GetConnected()); });
        }
    }
    // The mark shows the device's state, not the clicks.
    FView.SetCommandChecked(TCommand::StartDevice, Device().GetConnected());
}

void TMainFormPresenter::FindDevice() {
    if (Refused()) return;
    TKelvoDevice& device = Device();
    const std::string startPort = device.GetComPortPort();
    bool found = false;
    Guarded([&] {
        while (!(found = DeviceDiscovery::FindDevice(device, SearchPasses, SearchWaitMs)) && SearchAgain()) {
        }
    });
    if (!found) {
        // A failed search tried every port; the stored port must stay the one the user had.
        if (!device.GetComPortConnected()) device.SetComPortPort(startPort);
        return;
    }
    Guarded([this] { StoreComPortSettings(); });
    AddLine(EventText::DeviceFoundLine(device.GetComPortPort()));
    AddLine("");
    FView.MoveTerminalCaretToStart();
}

// A search that the window's close ended asks nothing, and a Retry answered after the window
// closed behind its box searches no more: the program is ending.
bool TMainFormPresenter::SearchAgain() {
    return !WaitsAborted() && !FCloseRequested &&
           FDialogs.AskNoRetry(DeviceNotFoundText) == TUserDialogs::anRetry && !FCloseRequested;
}

void TMainFormPresenter::ShowConsoleVersion() {
    if (Refused()) return;
    Guarded([this] {
        const DeviceDiscovery::TDeviceInfo info = [this] {
            const TBusyCursor busy; // the query waits a second for the console's answers
            return DeviceDiscovery::GetDeviceInfo(Device(), DeviceInfoWaitMs);
        }();
        // Nor does a query that the close ended show its box.
        if (!WaitsAborted()) FDialogs.ShowMessage(TUserDialogs::bkInformation, ConsoleVersionText(info));
    });
}

void TMainFormPresenter::ShowAbout() {
    FDialogs.ShowMessage(TUserDialogs::bkInformation, AboutText());
}

std::string TMainFormPresenter::FileVersion() {
    constexpr std::array<int, 4> parts{KELVO_FILE_VERSION_PARTS};
    char text[64];
    std::snprintf(text, sizeof text, "%d.%d.%d.%d", parts[0], parts[1], parts[2], parts[3]);
    return text;
}

std::string TMainFormPresenter::AboutText() {
    return "Kelvo terminal observer, Corvane s.r.l.\r\n\r\nBeta version " + FileVersion();
}

void TMainFormPresenter::ClearBufferIO() {
    TComPort& port = *Device().GetComPort();
    if (!port.GetConnected()) return;
    Guarded([&port] {
        port.AbortPendingIo();
        port.ClearBuffers(true, true);
    });
}

void TMainFormPresenter::RunPortSettingsCommand(const std::function<void()>& command) {
    if (Refused()) return;
    const TPortSettings before(Device());
    Guarded(command);
    const TPortSettings after(Device());
    // A changed open port whose reopening left the console unconnected gets its run started,
    // as opening the port starts it.
    if (before.Open && after.Open && !before.SameLine(after) && !Device().GetConnected()) {
        const TBusyCursor busy;
        Guarded([this] { FSession.SwitchDevice(true); });
    }
}

void TMainFormPresenter::EditComPortSettings(const std::function<void()>& showSetupDialog) {
    RunPortSettingsCommand(showSetupDialog);
}

void TMainFormPresenter::EditDisconnectionSettings(const std::function<void()>& showDialog) {
    if (Refused()) return;
    Guarded(showDialog);
}

void TMainFormPresenter::LoadComPortSettings() {
    RunPortSettingsCommand([this] { RestoreComPortSettings(); });
}

void TMainFormPresenter::SaveComPortSettings() {
    if (Refused()) return;
    Guarded([this] { StoreComPortSettings(); });
}

void TMainFormPresenter::StoreComPortSettings() {
    TComPortSettings(*Device().GetComPort()).SaveSettings(stRegistry, RegistryPath);
}

void TMainFormPresenter::RestoreComPortSettings() {
    TComPortSettings(*Device().GetComPort()).LoadSettings(stRegistry, RegistryPath);
}

void TMainFormPresenter::DisplayEventsToggled(bool checked) {
    FView.SetCommandChecked(TCommand::OnlyStatValues, !checked);
}

void TMainFormPresenter::OnlyStatValuesToggled(bool checked) {
    FView.SetCommandChecked(TCommand::DisplayEvents, !checked);
}

// ---- Version list, roller fields, priorities ----

std::span<const char* const> TMainFormPresenter::VersionItems() {
    return VersionCaptions;
}

void TMainFormPresenter::SelectVersion(int index) {
    if (index < 0 || index >= static_cast<int>(VersionValues.size())) return;
    const double version = VersionValues[static_cast<std::size_t>(index)];
    FSession.Capture().Note("version-selected " + QString::number(version).toStdString());
    Guarded([this, version] { Device().SetVersion(version); });
}

void TMainFormPresenter::SetRoundsPerRollEvent(double value) {
    Device().SetNumberOfRoundPerRollEvent(value);
    ShowRollerFields();
}

void TMainFormPresenter::SetRollDiameter(double value) {
    Device().SetRollDiameter(value);
    ShowRollerFields();
}

void TMainFormPresenter::SetComPriority(int index) {
    ApplyPriority(
        index, [this](TThreadPriority priority) { Device().GetComPort()->SetEventThreadPriority(priority); });
}

void TMainFormPresenter::SetStatsPriority(int index) {
    ApplyPriority(index,
                  [this](TThreadPriority priority) { Device().SetTimerStatsThreadPriority(priority); });
}

void TMainFormPresenter::ApplyPriority(int index, const std::function<void(TThreadPriority)>& apply) {
    FView.SetPriorityListsEnabled(false);
    try {
        apply(static_cast<TThreadPriority>(index));
    } catch (const std::exception& error) {
        FDialogs.ShowMessage(TUserDialogs::bkError, std::string("Error!\r\n") + error.what());
    }
    FView.SetPriorityListsEnabled(!Device().GetComPortConnected());
}

// ---- Console requests and command states ----

std::span<const TMainFormPresenter::TConsoleRequest> TMainFormPresenter::ConsoleRequests() {
    return Requests;
}

void TMainFormPresenter::SendConsoleRequest(const TConsoleRequest& request) {
    FSession.SendConsoleRequest(request.Type, request.A, request.B);
}

std::vector<std::pair<TCommand, bool>> TMainFormPresenter::CommandStates(const TTerminalState& terminal) {
    const bool hasText = terminal.LineCount > 0;
    return {{TCommand::Paste, terminal.ClipboardHasText},
            {TCommand::Cut, terminal.HasSelection},
            {TCommand::Copy, terminal.HasSelection},
            {TCommand::Delete, terminal.HasSelection},
            {TCommand::ClearText, hasText},
            {TCommand::SelectAll, hasText},
            {TCommand::Print, hasText},
            {TCommand::Find, hasText},
            {TCommand::Undo, terminal.Modified}};
}
