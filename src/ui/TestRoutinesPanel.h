#pragma once

#include "terminal/RandomWalk.h"
#include "terminal/ResistanceRamp.h"
#include "terminal/SetPointControls.h"

#include <QObject>

#include <functional>

class QAction;
class QPushButton;
class QSlider;
class QSpinBox;
class QWidget;
class TLevelBar;
class TUserDialogs;

// The set-point controls of "Pc to console", the "Resistance test" group and the "Test" menu,
// wired to the set-points, the ramp and the random walks.
class TTestRoutinesPanel final : public QObject {
    Q_OBJECT
public:
    struct TControls {
        QSpinBox* Resistance;
        TLevelBar* ResistanceLevel;
        QSlider* ResistanceTrack;
        QSpinBox* Elevation;
        TLevelBar* ElevationLevel;
        QSlider* ElevationTrack;
        QSpinBox* Step;
        QSpinBox* Pace;
        QPushButton* RampButton;
        QAction* StartTest;
        QAction* RandomResistance;
        QAction* RandomElevation;
        QAction* SetRandomValue;
    };

    TTestRoutinesPanel(TTerminalSession& session, TUserDialogs& dialogs, const TControls& controls, QWidget* window);

    TSetPointControls& SetPoints() { return FSetPoints; }
    TResistanceRamp& Ramp() { return FRamp; }
    TRandomWalk& Walk() { return FWalk; }
    // No tick of the routines may run once the device goes away.
    void StopTimers();

protected:
    // A wheel over a set-point control the user has not focused scrolls the panel instead.
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void GuardSetPointControls();
    void ConnectSetPoints();
    void ConnectRoutines();
    void AskRandomEntity();
    // A ramp that could not start or stop: its error in a box, nothing escapes a slot. (A failed
    // set-point write is the session's terminal line and beep.)
    void Guarded(const std::function<void()>& change);

    TUserDialogs& FDialogs;
    TControls FControls;
    QWidget* FWindow;
    TSetPointControls FSetPoints;
    TResistanceRamp FRamp;
    TRandomWalk FWalk;
};
