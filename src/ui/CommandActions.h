#pragma once

#include "terminal/CommandTable.h"

#include <map>

class QAction;
class QMainWindow;
class QMenu;
class QToolBar;
class QWidget;

// The window's actions made from the commands table: one QAction per command, shared by the
// menu bar, the toolbars and the shortcut, with its caption, hint (tool tip and status tip),
// shortcut and initial state.
class TCommandActions {
public:
    explicit TCommandActions(QMainWindow& window);

    QAction* Action(TCommand command) const;
    // The main toolbar is docked in the window; the terminal's small toolbar is returned for the
    // window to place on its terminal page.
    QToolBar* TerminalToolbar() const { return FTerminalToolbar; }

private:
    void CreateActions();
    void BuildMenuBar();
    void BuildToolbars();
    QMenu* BuildMenu(QWidget* parent, const TMenuLayout& layout);
    void AddEntries(QWidget& container, const std::vector<TMenuEntry>& entries);

    QMainWindow& FWindow;
    std::map<TCommand, QAction*> FActions;
    QToolBar* FTerminalToolbar = nullptr;
};
