#include "terminal/widgets/CommandActions.h"

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
    for (const TCommandSpec& spec : CommandTable::Commands()) {
        auto* action = new QAction(QString::fromUtf8(spec.Caption), &FWindow);
        action->setObjectName(QString::fromLatin1(spec.ObjectName));
        action->setShortcut(QKeySequence(QString::fromLatin1(spec.Shortcut), QKeySequence::PortableText));
        action->setToolTip(QString::fromUtf8(spec.Hint));
        action->setStatusTip(QString::fromUtf8(spec.Hint));
        action->setEnabled(spec.Enabled);
        action->setCheckable(spec.Checkable);
        action->setChecked(spec.Checked);
        action->setVisible(spec.Visible);
        // Shortcuts work wherever the focus is in the window, also for commands off the menus.
        FWindow.addAction(action);
        FActions.emplace(spec.Id, action);
    }
}

QMenu* TCommandActions::BuildMenu(QWidget* parent, const TMenuSpec& spec) {
    auto* menu = new QMenu(QString::fromUtf8(spec.Title), parent);
    AddEntries(*menu, spec.Entries);
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
    for (const TMenuSpec& spec : CommandTable::MenuBar())
        FWindow.menuBar()->addMenu(BuildMenu(FWindow.menuBar(), spec));
}

void TCommandActions::BuildToolbars() {
    for (const TToolbarSpec& spec : CommandTable::Toolbars()) {
        auto* toolbar = new QToolBar(QString::fromUtf8(spec.Title), &FWindow);
        toolbar->setObjectName(QString::fromLatin1(spec.ObjectName));
        toolbar->setToolButtonStyle(Qt::ToolButtonTextOnly);
        AddEntries(*toolbar, spec.Entries);
        if (QString::fromLatin1(spec.ObjectName) == QLatin1String(MainToolbarName))
            FWindow.addToolBar(toolbar);
        else
            FTerminalToolbar = toolbar;
    }
}
