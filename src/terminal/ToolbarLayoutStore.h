#pragma once

#include <QByteArray>
#include <QString>

#include <cstdint>
#include <string>

// Where one toolbar stood when the window was last destroyed.
struct TToolbarLayout {
    bool Visible = true;
    std::int32_t DockRow = 0;
    std::int32_t DockPos = 0;
    std::int32_t FloatLeft = 0;
    std::int32_t FloatTop = 0;
    // "+" while floating, else the name of the dock ("Top", "Bottom", "Left", "Right").
    QString DockedTo;
    QString LastDock;
};

// The toolbar layout in the user's registry key: one sub-key per toolbar, named after it
// (ToolBarButton, TBToolbar2, TBToolbar1), holding "Rev" 2000, "Visible", "DockRow",
// "DockPos", "FloatLeft", "FloatTop", "DockedTo" and "LastDock". Beside them the key keeps
// the window's own toolkit state, from which the window restores the toolbars exactly.
//
// The main window:
//  - creation, step 8: restoreState(LoadWindowState());
//  - destruction, after the port settings: Save(name, layout) for each toolbar, then
//    SaveWindowState(saveState()); a message returned is shown and the rest is still saved.
class TToolbarLayoutStore {
public:
    static constexpr const char* DefaultKey = "\\Software\\Corvane\\Tavrik";

    explicit TToolbarLayoutStore(QString Key = QString::fromLatin1(DefaultKey));

    // The window's toolkit state as last saved; empty when none.
    QByteArray LoadWindowState() const;
    // The window's size and place as last saved; empty when none (the first start).
    QByteArray LoadWindowGeometry() const;

    // Each returns the message for the user when the store refused the values, else empty.
    std::string Save(const QString& Toolbar, const TToolbarLayout& Layout) const;
    std::string SaveWindowState(const QByteArray& State, const QByteArray& Geometry) const;

private:
    QString FKey;
};
