#include "ui/CommandActions.h"

#include <QAction>
#include <QMainWindow>
#include <QMenu>
#include <QMenuBar>
#include <QToolBar>
#include <QToolButton>

namespace {
constexpr const char* MainToolbarName = "ToolBarButton";
} // namespace

TCommandActions::TCommandActions(QMainWindow& window) : FWindow(window) {
    CreateActions();
    BuildMenuBar();
    BuildToolbars();
}

QAction* TCommandActions::Action(TCommand command) const {
    return FActions.at(command);
}

void TCommandActions::CreateActions() {
    for (const TCommandRow& row : CommandTable::Commands()) {
        auto* action = new QAction(QString::fromUtf8(row.Caption), &FWindow);
        action->setObjectName(QString::fromLatin1(row.ObjectName));
        action->setShortcut(QKeySequence(QString::fromLatin1(row.Shortcut), QKeySequence::PortableText));
        action->setToolTip(QString::fromUtf8(row.Hint));
        action->setStatusTip(QString::fromUtf8(row.Hint));
        action->setEnabled(row.Enabled);
        action->setCheckable(row.Checkable);
        action->setChecked(row.Checked);
        action->setVisible(row.Visible);
        // Shortcuts work wherever the focus is in the window, also for commands off the menus.
        FWindow.addAction(action);
        FActions.emplace(row.Id, action);
    }
}

QMenu* TCommandActions::BuildMenu(QWidget* parent, const TMenuLayout& layout) {
    auto* menu = new QMenu(QString::fromUtf8(layout.Title), parent);
    AddEntries(*menu, layout.Entries);
    return menu;
}

void TCommandActions::AddEntries(QWidget& container, const std::vector<TMenuEntry>& entries) {
    for (const TMenuEntry& entry : entries) {
        switch (entry.Kind) {
        case TMenuEntry::meCommand:
            container.addAction(Action(entry.Command));
            break;
        case TMenuEntry::meSeparator: {
            auto* separator = new QAction(&container);
            separator->setSeparator(true);
            container.addAction(separator);
            break;
        }
        case TMenuEntry::meSubMenu: {
            QMenu* menu = BuildMenu(&container, CommandTable::SubMenu(entry.SubMenu));
            container.addAction(menu->menuAction());
            if (auto* toolbar = qobject_cast<QToolBar*>(&container)) {
                if (auto* button = qobject_cast<QToolButton*>(toolbar->widgetForAction(menu->menuAction())))
                    button->setPopupMode(QToolButton::InstantPopup);
            }
            break;
        }
        }
    }
}

void TCommandActions::BuildMenuBar() {
    for (const TMenuLayout& layout : CommandTable::MenuBar())
        FWindow.menuBar()->addMenu(BuildMenu(FWindow.menuBar(), layout));
}

void TCommandActions::BuildToolbars() {
    for (const TToolbarContents& layout : CommandTable::Toolbars()) {
        auto* toolbar = new QToolBar(QString::fromUtf8(layout.Title), &FWindow);
        toolbar->setObjectName(QString::fromLatin1(layout.ObjectName));
        toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        AddEntries(*toolbar, layout.Entries);
        if (QString::fromLatin1(layout.ObjectName) == QLatin1String(MainToolbarName))
            FWindow.addToolBar(toolbar);
        else
            FTerminalToolbar = toolbar;
    }
}
