#include "ui/TestRoutinesPanel.h"

#include "terminal/UserDialogs.h"
#include "ui/LevelBar.h"

#include <QAction>
#include <QCoreApplication>
#include <QEvent>
#include <QInputDialog>
#include <QPushButton>
#include <QSignalBlocker>
#include <QSlider>
#include <QSpinBox>

namespace {
void Show(QSpinBox& field, TLevelBar& level, QSlider& track, int value, int position) {
    const QSignalBlocker fieldBlocker(field);
    const QSignalBlocker trackBlocker(track);
    field.setValue(value);
    level.SetValue(value);
    track.setValue(position);
}
} // namespace

TTestRoutinesPanel::TTestRoutinesPanel(TTerminalSession& session, TUserDialogs& dialogs, const TControls& controls,
                                       QWidget* window)
    : QObject(window), FDialogs(dialogs), FControls(controls), FWindow(window), FSetPoints(session),
      FRamp(session, FSetPoints, dialogs), FWalk(session, FSetPoints) {
    GuardSetPointControls();
    ConnectSetPoints();
    ConnectRoutines();
}

// A set-point goes to the roller: only a control the user clicked or tabbed to takes keys, and the
// wheel only while it has the focus.
void TTestRoutinesPanel::GuardSetPointControls() {
    const TControls c = FControls;
    const std::initializer_list<QWidget*> setPointControls{c.Resistance, c.ResistanceTrack, c.Elevation,
                                                           c.ElevationTrack};
    for (QWidget* control : setPointControls) {
        control->setFocusPolicy(Qt::StrongFocus);
        control->installEventFilter(this);
    }
}

bool TTestRoutinesPanel::eventFilter(QObject* watched, QEvent* event) {
    auto* control = qobject_cast<QWidget*>(watched);
    if (event->type() != QEvent::Wheel || control == nullptr || control->hasFocus())
        return QObject::eventFilter(watched, event);
    if (QWidget* parent = control->parentWidget()) QCoreApplication::sendEvent(parent, event);
    event->accept();
    return true;
}

void TTestRoutinesPanel::StopTimers() {
    FRamp.Timer().SetEnabled(false);
    FWalk.Timer().SetEnabled(false);
}

void TTestRoutinesPanel::Guarded(const std::function<void()>& change) {
    try {
        change();
    } catch (const std::exception& error) {
        FDialogs.ShowMessage(TUserDialogs::bkError, error.what());
    }
}

void TTestRoutinesPanel::ConnectSetPoints() {
    const TControls c = FControls;
    FSetPoints.OnShowResistance = [c](int value, int position) {
        Show(*c.Resistance, *c.ResistanceLevel, *c.ResistanceTrack, value, position);
    };
    FSetPoints.OnShowElevation = [c](int value, int position) {
        Show(*c.Elevation, *c.ElevationLevel, *c.ElevationTrack, value, position);
    };
    // The fields apply when committed (Enter, focus out, an arrow step), not at each typed digit.
    connect(c.Resistance, &QSpinBox::valueChanged, this,
            [this](int value) { FSetPoints.SetResistance(value); });
    // A drag applies where it ends; keys, the wheel and clicks on the groove apply at once.
    connect(c.ResistanceTrack, &QSlider::sliderReleased, this,
            [this, c] { FSetPoints.ResistanceTrackMoved(c.ResistanceTrack->value()); });
    connect(c.ResistanceTrack, &QSlider::valueChanged, this, [this, c](int position) {
        if (!c.ResistanceTrack->isSliderDown()) FSetPoints.ResistanceTrackMoved(position);
    });
    connect(c.Elevation, &QSpinBox::valueChanged, this, [this](int value) { FSetPoints.SetElevation(value); });
    connect(c.ElevationTrack, &QSlider::valueChanged, this, [this](int value) { FSetPoints.SetElevation(value); });
}

void TTestRoutinesPanel::ConnectRoutines() {
    const TControls c = FControls;
    FRamp.SetStep(c.Step->value());
    FRamp.SetPace(c.Pace->value());
    connect(c.Step, &QSpinBox::valueChanged, this, [this](int value) { FRamp.SetStep(value); });
    connect(c.Pace, &QSpinBox::valueChanged, this, [this](int value) { FRamp.SetPace(value); });
    FRamp.OnCaption = [c](const std::string& caption) { c.RampButton->setText(QString::fromStdString(caption)); };
    connect(c.RampButton, &QPushButton::clicked, this, [this] { Guarded([this] { FRamp.StartOrStop(); }); });
    connect(c.StartTest, &QAction::triggered, c.RampButton, &QPushButton::click);
    const auto walksClicked = [this, c] { FWalk.SetWalks(c.RandomResistance->isChecked(), c.RandomElevation->isChecked()); };
    connect(c.RandomResistance, &QAction::triggered, this, walksClicked);
    connect(c.RandomElevation, &QAction::triggered, this, walksClicked);
    FWalk.OnWalksUnchecked = [c] {
        c.RandomResistance->setChecked(false);
        c.RandomElevation->setChecked(false);
    };
    connect(c.SetRandomValue, &QAction::triggered, this, [this] { AskRandomEntity(); });
}

void TTestRoutinesPanel::AskRandomEntity() {
    bool ok = false;
    const QString text = QInputDialog::getText(FWindow, QStringLiteral("Random Entity"), QStringLiteral("Value"),
                                               QLineEdit::Normal, QString::number(FWalk.GetRandomEntity()), &ok);
    if (!ok) return;
    const std::string failure = FWalk.SetRandomEntityText(text.toStdString());
    if (!failure.empty()) FDialogs.ShowMessage(TUserDialogs::bkError, failure);
}
