#pragma once

#include "device_link/ThreadPriority.h"
#include "terminal/CommandTable.h"
#include "terminal/MainFormView.h"
#include "terminal/UserDialogs.h"

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <span>
#include <string>
#include <utility>
#include <vector>

class TTerminalSession;
class TKelvoDevice;

// What the main window's commands do, without a widget: the port open/close flow, the device
// run, the device search, the port settings commands, the version list, the help boxes and the
// captions and check marks that follow the port's and the device's events. A command that would
// start a wait while one runs (or while the device repairs the link) is refused with a beep:
// run inside a wait it would nest a second handshake or search into the first.
class TMainFormPresenter {
public:
    TMainFormPresenter(TTerminalSession& session, TMainFormView& view, TUserDialogs& dialogs);
    ~TMainFormPresenter();
    TMainFormPresenter(const TMainFormPresenter&) = delete;
    TMainFormPresenter& operator=(const TMainFormPresenter&) = delete;

    // The steps of window creation that need no widget, in their order.
    void Create();
    // Window destruction: the port settings are stored.
    void Destroy();

    void OpenOrClosePort();
    void StartOrStopDevice();
    void FindDevice();
    void ShowConsoleVersion();
    void ShowAbout();
    void ClearBufferIO();
    // "Com port Settings": `showSetupDialog` runs the window's setup dialog on the device's port.
    void EditComPortSettings(const std::function<void()>& showSetupDialog);
    // "Disconnection settings": `showDialog` runs the window's dialog, not while a wait runs.
    void EditDisconnectionSettings(const std::function<void()>& showDialog);
    void LoadComPortSettings();
    void SaveComPortSettings();
    void DisplayEventsToggled(bool checked);
    void OnlyStatValuesToggled(bool checked);

    // The version list: the user picked the item at `index`.
    void SelectVersion(int index);
    void SetRoundsPerRollEvent(double value);
    void SetRollDiameter(double value);
    void SetComPriority(int index);
    void SetStatsPriority(int index);

    // A close of the window: true when it may go on now; otherwise it is carried out through
    // `closeAgain` once the outermost wait has returned, and every wait is ended at once.
    bool MayCloseNow(const std::function<void()>& closeAgain);
    // The close goes on: the run ends as F8 ends it, so that its report comes before the survey
    // log's closing line, and a search asked for from a box still open asks and runs no more.
    void EndRunBeforeClosing();

    // ---- Data the window is built from ----
    struct TConsoleRequest {
        const char* ObjectName;
        const char* Caption;
        std::uint16_t Type;
        std::int32_t A;
        std::int32_t B;
    };
    static std::span<const TConsoleRequest> ConsoleRequests();
    void SendConsoleRequest(const TConsoleRequest& request);

    static std::span<const char* const> VersionItems();
    static constexpr int StartupVersionItem = 4;

    // What the terminal holds, for the commands that depend on it.
    struct TTerminalState {
        std::size_t LineCount = 0;
        bool HasSelection = false;
        bool ClipboardHasText = false;
        bool Modified = false;
    };
    static std::vector<std::pair<TCommand, bool>> CommandStates(const TTerminalState& terminal);

    static std::string AboutText();
    static std::string FileVersion();

private:
    struct TPortSettings;

    void HookPortEvents();
    void HookDeviceEvents();
    void FollowVersion();
    void ShowRollerFields();
    void ShowPortOpen(bool open);
    bool Refused();
    bool RepairBetweenAttempts();
    bool SearchAgain();
    // Runs `command`, showing any failure in an error box; true when it did not fail.
    bool Guarded(const std::function<void()>& command);
    void RunPortSettingsCommand(const std::function<void()>& command);
    void ApplyPriority(int index, const std::function<void(TThreadPriority)>& apply);
    void StoreComPortSettings();
    void RestoreComPortSettings();
    void AddLine(const std::string& line);
    TKelvoDevice& Device();

    TTerminalSession& FSession;
    TMainFormView& FView;
    TUserDialogs& FDialogs;
    bool FCloseRequested = false;
    // Expires with the presenter, for the work it leaves to run after the waits.
    std::shared_ptr<bool> FAlive = std::make_shared<bool>(true);
};
