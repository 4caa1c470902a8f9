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
    TCommandSpec{FindDevice, "ActionFindDevice", "Find device", "", "", On, Off, Off, On},
    TCommandSpec{OpenPort, "ActionOpenPort", OpenPortCaption, "F8", "Open/close the port", On, Off, Off, On},
    TCommandSpec{StartDevice, "ActionStartDevice", "Start device [F9]", "F9",
                 "Start/Stop the communication with the \"Kelvo \" device", On, On, Off, On},
    TCommandSpec{ClearText, "ActionClearText", "Clear Text [F12]", "F12", "Clear the terminal text", Off, Off,
                 Off, On},
    TCommandSpec{ClearBufferIO, "ActionClearBufferIO", "Clear buffer I/O", "", "", Off, Off, Off, On},
    TCommandSpec{ComPortSettings, "ActionComPortSettings", "Com port Settings", "F2",
                 "Allows to setup the com port (port, bauds, parity etc.).", On, Off, Off, On},
    TCommandSpec{LoadComPortSettings, "ActionLoadComPortSettings", "Load com port settings", "F4",
                 "Load from registry the com port setup", On, Off, Off, On},
    TCommandSpec{SaveComPortSettings, "ActionSaveComPortSettings", "Save com port settings", "F5",
                 "Save to registry the com port setup", On, Off, Off, On},
    TCommandSpec{FollowEntries, "ActionFollowEntries", "Follow entries [F10]", "F10",
                 "The terminal cursor follows the last byte received.", On, On, On, On},
    TCommandSpec{GoToLine, "ActionGoToLine", "Go to line", "Ctrl+G", "Got to line number...", Off, Off, Off,
                 On},
    TCommandSpec{Print, "ActionPrint", "Print...", "Ctrl+P", "Print with dialog", Off, Off, Off, On},
    TCommandSpec{PrinterSetup, "ActionPrinterSetup", "Printer setup", "", "", On, Off, Off, On},
    TCommandSpec{Quit, "ActionQuit", "Quit", "", "Exit application", On, Off, Off, On},
    TCommandSpec{DiscardNullValues, "ActionDiscardNullValues", "Discard null values", "",
                 "If pressed then the zero or null values are not shown", On, On, Off, Off},
    TCommandSpec{DisplayEvents, "ActionDisplayEvents", "Display events", "",
                 "Enable disable terminal display", On, On, Off, Off},
    TCommandSpec{OnlyStatValues, "ActionOnlyStatValues", "Only stat. values", "", "", On, On, Off, Off},
    TCommandSpec{RegulTool, "ActionRegulTool", "Regul Tool", "", "", On, Off, Off, On},
    TCommandSpec{DisconnectionSettings, "ActionDisconnectionSettings", "Disconnection settings", "", "", On,
                 Off, Off, On},
    TCommandSpec{WriteLogCS, "ActionWriteLogCS", "Write log CS", "", "", On, On, On, On},
    TCommandSpec{ShowSurveyLog, "ActionShowSurveyLog", "Show connection survey Log", "", "", On, Off, Off,
                 On},
    TCommandSpec{DeleteSurveyLog, "ActionDeleteSurveyLog", "Delete the connection survey log file", "", "",
                 On, Off, Off, On},
    TCommandSpec{Copy, "ActionCopy", "Co&pier", "Ctrl+C", "Copier", On, Off, Off, On},
    TCommandSpec{Cut, "ActionCut", "Cut", "Ctrl+X", "Couper", On, Off, Off, Off},
    TCommandSpec{Paste, "ActionPaste", "Paste", "Ctrl+V", "Coller", On, Off, Off, Off},
    TCommandSpec{Delete, "ActionDelete", "Delete", "Del", "", On, Off, Off, On},
    TCommandSpec{SelectAll, "ActionSelectAll", "SelectAll", "Ctrl+A", "", On, Off, Off, On},
    TCommandSpec{Undo, "ActionUndo", "Undo", "Alt+Backspace", "", On, Off, Off, On},
    TCommandSpec{Find, "ActionFind", "Find...", "Ctrl+Alt+F", "", Off, Off, Off, On},
    TCommandSpec{FindNext, "ActionFindNext", "Find next", "F3", "", Off, Off, Off, On},
    TCommandSpec{Help, "ActionHelp", "Help", "", "", On, Off, Off, On},
    TCommandSpec{ConsoleVersion, "ActionConsoleVersion", "Console Version", "", "", On, Off, Off, On},
    TCommandSpec{UpgradeWizard, "ActionUpgradeWizard", "Upgrade wizard...", "", "", On, Off, Off, On},
    TCommandSpec{About, "ActionAbout", "About", "", "", On, Off, Off, On},
    TCommandSpec{ShowVideo, "ActionShowVideo", "Show video [F10]", "", "", On, Off, Off, Off},
    TCommandSpec{StartTest, "ActionStartTest", "Start test", "", "", On, Off, Off, On},
    TCommandSpec{RandomResistance, "ActionRandomResistance", "Random resistance", "", "", On, On, Off, On},
    TCommandSpec{RandomElevation, "ActionRandomElevation", "Random elevation", "", "", On, On, Off, On},
    TCommandSpec{SetRandomValue, "ActionSetRandomValue", "Set random value", "", "", On, Off, Off, On},
    TCommandSpec{DisableSpeedZero, "ActionDisableSpeedZero", "Disable speed=0", "", "", On, On, Off, On},
    TCommandSpec{TerminalCopy, "ItemTerminalCopy", "Copy", "", "", Off, Off, Off, On},
    TCommandSpec{TerminalCut, "ItemTerminalCut", "Cut", "", "", Off, Off, Off, On},
    TCommandSpec{TerminalPaste, "ItemTerminalPaste", "Paste", "", "", Off, Off, Off, On},
    TCommandSpec{TerminalFind, "ItemTerminalFind", "Find", "", "", Off, Off, Off, On},
    TCommandSpec{TerminalFindNext, "ItemTerminalFindNext", "Find next", "", "", Off, Off, Off, On},
    TCommandSpec{TerminalSelectAll, "ItemTerminalSelectAll", "Select all", "", "", Off, Off, Off, On},
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

std::span<const TCommandSpec> Commands() {
    return Table;
}

const TCommandSpec& Spec(TCommand command) {
    const auto found = std::find_if(Table.begin(), Table.end(),
                                    [command](const TCommandSpec& spec) { return spec.Id == command; });
    if (found == Table.end()) throw std::logic_error("command missing from the commands table");
    return *found;
}

const std::vector<TMenuSpec>& MenuBar() {
    static const std::vector<TMenuSpec> menus{
        {"Port",
         "Port",
         {Item(ComPortSettings), Item(OpenPort), Item(LoadComPortSettings), Item(SaveComPortSettings),
          Item(ClearBufferIO), Separator(), Item(Print), Item(PrinterSetup), Separator(), Item(Quit)}},
        {"Edit",
         "Edit",
         {Item(Copy), Item(Cut), Item(Paste), Item(SelectAll), Separator(), Item(FollowEntries), Separator(),
          Item(Find), Item(FindNext)}},
        {"Kelvo Device", "Kelvo Device", {Item(StartDevice)}},
        {"Terminal",
         "Terminal",
         {Item(FollowEntries), Item(ClearText), Item(GoToLine), Item(Print), Sub("Terminal options"),
          Separator(), Item(TerminalCopy), Item(TerminalCut), Item(TerminalPaste), Item(TerminalFind),
          Item(TerminalFindNext), Item(TerminalSelectAll)}},
        {"Help", "Help", {Item(Help), Item(ConsoleVersion), Item(UpgradeWizard), Separator(), Item(About)}},
    };
    return menus;
}

const std::vector<TMenuSpec>& SubMenus() {
    static const std::vector<TMenuSpec> menus{
        {"Options",
         "Options",
         {Item(DisconnectionSettings), Item(WriteLogCS), Separator(), Item(ComPortSettings),
          Item(SaveComPortSettings), Item(LoadComPortSettings)}},
        {"Terminal options", "Options", {Item(DiscardNullValues), Item(DisplayEvents), Item(OnlyStatValues)}},
        {"Test",
         "Test",
         {Item(StartTest), Separator(), Item(RandomResistance), Item(RandomElevation), Item(SetRandomValue),
          Separator(), Item(DisableSpeedZero)}},
        {"Log file", "Log file", {Item(WriteLogCS), Item(ShowSurveyLog), Item(DeleteSurveyLog)}},
    };
    return menus;
}

const TMenuSpec& SubMenu(const std::string& key) {
    const auto& menus = SubMenus();
    const auto found =
        std::find_if(menus.begin(), menus.end(), [&](const TMenuSpec& menu) { return menu.Key == key; });
    if (found == menus.end()) throw std::logic_error("sub-menu missing from the commands table: " + key);
    return *found;
}

const std::vector<TToolbarSpec>& Toolbars() {
    static const std::vector<TToolbarSpec> toolbars{
        {"ToolBarButton",
         "Main toolbar",
         {Item(FindDevice), Item(OpenPort), Item(StartDevice), Separator(), Sub("Test"), Sub("Log file"),
          Sub("Options"), Separator(), Item(RegulTool), Item(ShowVideo), Item(Quit)}},
        {"TBToolbar1", "Toolbar terminal", {Item(SelectAll), Item(ClearText)}},
    };
    return toolbars;
}

} // namespace CommandTable
