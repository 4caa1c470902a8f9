#include "terminal/CommandTable.h"

#include <algorithm>
#include <array>
#include <stdexcept>

namespace CommandTable {

namespace {

using enum TCommand;

constexpr bool On = true;
constexpr bool Off = false;

// Id, object name, caption, shortcut, hint, enabled, checkable, checked, visible.
// "Help", "Upgrade wizard...", "Go to line", "Find next" and "Show video [F10]" have no action.
constexpr std::array Table{
    TCommandRow{FindDevice, "ActionFindDevice", "Find device", "", "", On, Off, Off, On},
    TCommandRow{OpenPort, "ActionOpenPort", OpenPortCaption, "F8", "Open/close the port", On, Off, Off, On},
    TCommandRow{StartDevice, "ActionStartDevice", "Start device [F9]", "F9",
                 "Start/Stop the communication with the \"Kelvo \" device", On, On, Off, On},
    TCommandRow{ClearText, "ActionClearText", "Clear Text [F12]", "F12", "Clear the terminal text", Off, Off,
                 Off, On},
    TCommandRow{ClearBufferIO, "ActionClearBufferIO", "Clear buffer I/O", "", "", Off, Off, Off, On},
    TCommandRow{ComPortSettings, "ActionComPortSettings", "Com port Settings", "F2",
                 "Allows to setup the com port (port, bauds, parity etc.).", On, Off, Off, On},
    TCommandRow{LoadComPortSettings, "ActionLoadComPortSettings", "Load com port settings", "F4",
                 "Load from registry the com port setup", On, Off, Off, On},
    TCommandRow{SaveComPortSettings, "ActionSaveComPortSettings", "Save com port settings", "F5",
                 "Save to registry the com port setup", On, Off, Off, On},
    TCommandRow{FollowEntries, "ActionFollowEntries", "Follow entries [F10]", "F10",
                 "The terminal cursor follows the last byte received.", On, On, On, On},
    TCommandRow{GoToLine, "ActionGoToLine", "Go to line", "Ctrl+G", "Got to line number...", Off, Off, Off,
                 On},
    TCommandRow{Print, "ActionPrint", "Print...", "Ctrl+P", "Print with dialog", Off, Off, Off, On},
    TCommandRow{PrinterSetup, "ActionPrinterSetup", "Printer setup", "", "", On, Off, Off, On},
    TCommandRow{Quit, "ActionQuit", "Quit", "", "Exit application", On, Off, Off, On},
    TCommandRow{DiscardNullValues, "ActionDiscardNullValues", "Discard null values", "",
                 "If pressed then the zero or null values are not shown", On, On, Off, Off},
    TCommandRow{DisplayEvents, "ActionDisplayEvents", "Display events", "",
                 "Enable disable terminal display", On, On, Off, Off},
    TCommandRow{OnlyStatValues, "ActionOnlyStatValues", "Only stat. values", "", "", On, On, Off, Off},
    TCommandRow{RegulTool, "ActionRegulTool", "Regul Tool", "", "", On, Off, Off, On},
    TCommandRow{DisconnectionSettings, "ActionDisconnectionSettings", "Disconnection settings", "", "", On,
                 Off, Off, On},
    TCommandRow{WriteLogCS, "ActionWriteLogCS", "Write log CS", "", "", On, On, On, On},
    TCommandRow{ShowSurveyLog, "ActionShowSurveyLog", "Show connection survey Log", "", "", On, Off, Off,
                 On},
    TCommandRow{DeleteSurveyLog, "ActionDeleteSurveyLog", "Delete the connection survey log file", "", "",
                 On, Off, Off, On},
    TCommandRow{Copy, "ActionCopy", "Co&pier", "Ctrl+C", "Copier", On, Off, Off, On},
    TCommandRow{Cut, "ActionCut", "Cut", "Ctrl+X", "Couper", On, Off, Off, Off},
    TCommandRow{Paste, "ActionPaste", "Paste", "Ctrl+V", "Coller", On, Off, Off, Off},
    TCommandRow{Delete, "ActionDelete", "Delete", "Del", "", On, Off, Off, On},
    TCommandRow{SelectAll, "ActionSelectAll", "SelectAll", "Ctrl+A", "", On, Off, Off, On},
    TCommandRow{Undo, "ActionUndo", "Undo", "Alt+Backspace", "", On, Off, Off, On},
    TCommandRow{Find, "ActionFind", "Find...", "Ctrl+Alt+F", "", Off, Off, Off, On},
    TCommandRow{FindNext, "ActionFindNext", "Find next", "F3", "", Off, Off, Off, On},
    TCommandRow{Help, "ActionHelp", "Help", "", "", On, Off, Off, On},
    TCommandRow{ConsoleVersion, "ActionConsoleVersion", "Console Version", "", "", On, Off, Off, On},
    TCommandRow{UpgradeWizard, "ActionUpgradeWizard", "Upgrade wizard...", "", "", On, Off, Off, On},
    TCommandRow{About, "ActionAbout", "About", "", "", On, Off, Off, On},
    TCommandRow{ShowVideo, "ActionShowVideo", "Show video [F10]", "", "", On, Off, Off, Off},
    TCommandRow{StartTest, "ActionStartTest", "Start test", "", "", On, Off, Off, On},
    TCommandRow{RandomResistance, "ActionRandomResistance", "Random resistance", "", "", On, On, Off, On},
    TCommandRow{RandomElevation, "ActionRandomElevation", "Random elevation", "", "", On, On, Off, On},
    TCommandRow{SetRandomValue, "ActionSetRandomValue", "Set random value", "", "", On, Off, Off, On},
    TCommandRow{DisableSpeedZero, "ActionDisableSpeedZero", "Disable speed=0", "", "", On, On, Off, On},
    TCommandRow{RecordTraffic, "ActionRecordTraffic", "Record traffic...", "",
                 "Keep every byte to and from the console in a capture file", On, On, Off, On},
    TCommandRow{TimeStamps, "ActionTimeStamps", "Time stamps", "",
                 "Begin each new terminal line with the time it arrived", On, On, Off, On},
    TCommandRow{RunTestPlan, "ActionRunTestPlan", "Run test plan...", "",
                 "Runs a test plan on the console and gives its verdict", On, Off, Off, On},
    TCommandRow{TerminalCopy, "ItemTerminalCopy", "Copy", "", "", Off, Off, Off, On},
    TCommandRow{TerminalCut, "ItemTerminalCut", "Cut", "", "", Off, Off, Off, On},
    TCommandRow{TerminalPaste, "ItemTerminalPaste", "Paste", "", "", Off, Off, Off, On},
    TCommandRow{TerminalFind, "ItemTerminalFind", "Find", "", "", Off, Off, Off, On},
    TCommandRow{TerminalFindNext, "ItemTerminalFindNext", "Find next", "", "", Off, Off, Off, On},
    TCommandRow{TerminalSelectAll, "ItemTerminalSelectAll", "Select all", "", "", Off, Off, Off, On},
};

TMenuEntry Item(TCommand command) {
    return {TMenuEntry::meCommand, command};
}
TMenuEntry Separator() {
    return {TMenuEntry::meSeparator};
}
TMenuEntry Sub(const char* title) {
    return {TMenuEntry::meSubMenu, Quit, title};
}

} // namespace

std::span<const TCommandRow> Commands() {
    return Table;
}

const std::vector<TMenuLayout>& MenuBar() {
    static const std::vector<TMenuLayout> menus{
        {"Port",
         "&Port",
         {Item(ComPortSettings), Item(OpenPort), Item(LoadComPortSettings), Item(SaveComPortSettings),
          Item(ClearBufferIO), Separator(), Item(RecordTraffic), Separator(), Item(Print), Item(PrinterSetup),
          Separator(), Item(Quit)}},
        {"Edit",
         "&Edit",
         {Item(Copy), Item(Cut), Item(Paste), Item(SelectAll), Separator(), Item(FollowEntries), Separator(),
          Item(Find), Item(FindNext)}},
        {"Kelvo Device", "&Kelvo Device", {Item(StartDevice)}},
        {"Terminal",
         "&Terminal",
         {Item(FollowEntries), Item(TimeStamps), Item(ClearText), Item(GoToLine), Item(Print), Sub("Terminal options"),
          Separator(), Item(TerminalCopy), Item(TerminalCut), Item(TerminalPaste), Item(TerminalFind),
          Item(TerminalFindNext), Item(TerminalSelectAll)}},
        {"Help", "&Help", {Item(Help), Item(ConsoleVersion), Item(UpgradeWizard), Separator(), Item(About)}},
    };
    return menus;
}

const std::vector<TMenuLayout>& SubMenus() {
    static const std::vector<TMenuLayout> menus{
        {"Options",
         "&Options",
         {Item(DisconnectionSettings), Item(WriteLogCS), Separator(), Item(ComPortSettings),
          Item(SaveComPortSettings), Item(LoadComPortSettings)}},
        {"Terminal options", "&Options", {Item(DiscardNullValues), Item(DisplayEvents), Item(OnlyStatValues)}},
        {"Test",
         "&Test",
         {Item(StartTest), Separator(), Item(RandomResistance), Item(RandomElevation), Item(SetRandomValue),
          Separator(), Item(DisableSpeedZero), Separator(), Item(RunTestPlan)}},
        {"Log file", "&Log file", {Item(WriteLogCS), Item(ShowSurveyLog), Item(DeleteSurveyLog)}},
    };
    return menus;
}

const TMenuLayout& SubMenu(const std::string& key) {
    const auto& menus = SubMenus();
    const auto found =
        std::find_if(menus.begin(), menus.end(), [&](const TMenuLayout& menu) { return menu.Key == key; });
    if (found == menus.end()) throw std::logic_error("sub-menu missing from the commands table: " + key);
    return *found;
}

const std::vector<TToolbarContents>& Toolbars() {
    static const std::vector<TToolbarContents> toolbars{
        {"ToolBarButton",
         "Main toolbar",
         {Item(FindDevice), Item(OpenPort), Item(StartDevice), Item(RecordTraffic), Separator(), Sub("Test"), Sub("Log file"),
          Sub("Options"), Separator(), Item(RegulTool), Item(ShowVideo), Item(Quit)}},
        {"TBToolbar1", "Toolbar terminal", {Item(SelectAll), Item(ClearText)}},
    };
    return toolbars;
}

} // namespace CommandTable
