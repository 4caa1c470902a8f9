#pragma once

#include <span>
#include <string>
#include <vector>

// The main window's commands as data: caption, shortcut, hint and initial state of each, and
// the menus and toolbars that hold them. The window makes one action per command from this
// table, so a test can hold the whole table against the window.
enum class TCommand {
    FindDevice,
    OpenPort,
    StartDevice,
    ClearText,
    ClearBufferIO,
    ComPortSettings,
    LoadComPortSettings,
    SaveComPortSettings,
    FollowEntries,
    GoToLine,
    Print,
    PrinterSetup,
    Quit,
    DiscardNullValues,
    DisplayEvents,
    OnlyStatValues,
    RegulTool,
    DisconnectionSettings,
    WriteLogCS,
    ShowSurveyLog,
    DeleteSurveyLog,
    Copy,
    Cut,
    Paste,
    Delete,
    SelectAll,
    Undo,
    Find,
    FindNext,
    Help,
    ConsoleVersion,
    UpgradeWizard,
    About,
    ShowVideo,
    StartTest,
    RandomResistance,
    RandomElevation,
    SetRandomValue,
    DisableSpeedZero,
    RecordTraffic,
    TimeStamps,
    RunTestPlan,
    // Plain items of the "Terminal" menu, disabled, without an action of their own.
    TerminalCopy,
    TerminalCut,
    TerminalPaste,
    TerminalFind,
    TerminalFindNext,
    TerminalSelectAll,
};

struct TCommandRow {
    TCommand Id;
    const char* ObjectName;
    const char* Caption;
    // In the portable text form of a key sequence ("F8", "Ctrl+G"); empty for none.
    const char* Shortcut;
    // Shown as tool tip and status tip; empty for none.
    const char* Hint;
    bool Enabled;
    bool Checkable;
    bool Checked;
    bool Visible;
};

// An entry of a menu or toolbar: a command, a separator, or a sub-menu named by its key.
struct TMenuEntry {
    enum TKind { meCommand, meSeparator, meSubMenu } Kind;
    TCommand Command = TCommand::Quit;
    const char* SubMenu = "";
};

struct TMenuLayout {
    // Tells apart menus of the same title.
    const char* Key;
    const char* Title;
    std::vector<TMenuEntry> Entries;
};

struct TToolbarContents {
    const char* ObjectName;
    const char* Title;
    std::vector<TMenuEntry> Entries;
};

namespace CommandTable {

std::span<const TCommandRow> Commands();

// The menus of the menu bar, in order.
const std::vector<TMenuLayout>& MenuBar();
// Menus that only appear inside others (sub-menus and the main toolbar's drop-down menus).
const std::vector<TMenuLayout>& SubMenus();
const TMenuLayout& SubMenu(const std::string& key);
// The main toolbar and the terminal's small toolbar (its check boxes follow its actions).
const std::vector<TToolbarContents>& Toolbars();

// Captions that change with the port's and the device's state.
inline constexpr const char* OpenPortCaption = "Open port [F8]";
inline constexpr const char* ClosePortCaption = "Close port [F8]";
inline constexpr const char* StartDeviceCaption = "Start Device [F9]";
inline constexpr const char* StopDeviceCaption = "Stop Device [F9]";

} // namespace CommandTable
