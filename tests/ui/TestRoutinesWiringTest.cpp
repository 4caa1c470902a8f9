#include "device/PseudoTerminalLine.h"
#include "terminal/BoxRecorder.h"
#include "terminal/CommandTable.h"
#include "terminal/TerminalSession.h"
#include "ui/LevelBar.h"
#include "ui/TerminalMainForm.h"
#include "ui/RegulToolForm.h"
#include "ui/TerminalView.h"

#include <QAction>
#include <QApplication>
#include <QComboBox>
#include <QKeyEvent>
#include <QWheelEvent>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSlider>
#include <QSpinBox>
#include <gmock/gmock.h>

#include <array>

namespace {
class TestRoutinesWiringTest : public testing::Test {
protected:
    TBoxRecorder dialogs;
    TTerminalMainForm window{dialogs};

    template <typename T> T& Child(QObject& parent, const char* name) {
        T* child = parent.findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return *child;
    }
};
} // namespace

TEST_F(TestRoutinesWiringTest, SetPointFieldDrivesItsBarsAndTheRampNeedsAConnectedDevice) {
    window.Session().Device().SetSecurityActive(false);
    Child<QSpinBox>(window, "SpinEditCalcEditResistance").setValue(255);
    EXPECT_EQ(Child<QSlider>(window, "TrackBarResistance").value(), 254);
    EXPECT_EQ(Child<TLevelBar>(window, "LevelBarResistance").Value(), 255);
    EXPECT_EQ(window.Session().Device().GetKelvoResistance(), 255);
    EXPECT_EQ(Child<QSpinBox>(window, "SpinEditCalcEditElevation").minimum(), 0);
    window.Action(TCommand::StartTest)->trigger();
    EXPECT_EQ(Child<QPushButton>(window, "BtResistanceTest").text(), "Start/Stop");
}

TEST_F(TestRoutinesWiringTest, ResistanceTrackBarAppliesWhereADragEndsAndAtEveryKeyStep) {
    window.Session().Device().SetSecurityActive(false);
    QSlider& track = Child<QSlider>(window, "TrackBarResistance");
    track.setSliderDown(true);
    track.setValue(120);
    EXPECT_EQ(window.Session().Device().GetKelvoResistance(), 0); // still dragging
    track.setValue(90);
    track.setSliderDown(false); // released, wherever the pointer is
    EXPECT_EQ(window.Session().Device().GetKelvoResistance(), 90);
    track.triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_EQ(window.Session().Device().GetKelvoResistance(), 91);
    EXPECT_EQ(Child<QSpinBox>(window, "SpinEditCalcEditResistance").value(), 91);
}

TEST_F(TestRoutinesWiringTest, EachRegulToolOpensAWindowAndAClosedOneIsNotWrittenTo) {
    window.Action(TCommand::RegulTool)->trigger();
    window.Action(TCommand::RegulTool)->trigger();
    QList<TRegulToolForm*> open = window.findChildren<TRegulToolForm*>();
    ASSERT_EQ(open.size(), 2);
    open.first()->close();
    QApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
    open = window.findChildren<TRegulToolForm*>();
    ASSERT_EQ(open.size(), 1);
    window.Session().Device().OnHeartConnectionLost(nullptr);
    EXPECT_EQ(Child<QPlainTextEdit>(*open.first(), "MemoHeartRegul").toPlainText(), "Heart conn. lost");
}

// A version picked with the mouse keeps the keyboard on the list, and neither a key nor a wheel
// notch reaches a set-point control that the user has not focused.
TEST_F(TestRoutinesWiringTest, NoKeyOrWheelReachesASetPointControlTheUserDidNotFocus) {
    window.Session().Device().SetSecurityActive(false);
    window.show();
    window.activateWindow();
    QCoreApplication::processEvents();
    const std::array<const char*, 4> setPointControls{"SpinEditCalcEditResistance", "TrackBarResistance",
                                                      "SpinEditCalcEditElevation", "TrackBarElevation"};
    for (const char* name : setPointControls) // nor does the window hand one the keyboard at start
        EXPECT_FALSE(Child<QWidget>(window, name).hasFocus()) << name;
    QComboBox& versions = Child<QComboBox>(window, "ComboBoxKelvoVersion");
    versions.setFocus();
    QCoreApplication::processEvents();
    emit versions.activated(2);
    EXPECT_EQ(QApplication::focusWidget(), &versions);
    QKeyEvent up(QEvent::KeyPress, Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(QApplication::focusWidget(), &up);
    EXPECT_EQ(window.Session().Device().GetKelvoResistance(), 0);
    const auto notch = [](QWidget& control) {
        QWheelEvent wheel(QPointF(5, 5), control.mapToGlobal(QPointF(5, 5)), {}, {0, 120}, Qt::NoButton,
                          Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(&control, &wheel);
    };
    for (const char* name : setPointControls) notch(Child<QWidget>(window, name));
    EXPECT_EQ(window.Session().Device().GetKelvoResistance(), 0);
    EXPECT_EQ(window.Session().Device().GetKelvoElevation(), 0);
    QSpinBox& resistance = Child<QSpinBox>(window, "SpinEditCalcEditResistance");
    resistance.setFocus();
    notch(resistance);
    EXPECT_EQ(window.Session().Device().GetKelvoResistance(), 1);
}

// A console that hung up with the port still open: every set-point step the user makes (field,
// bar, a held key's repeats) is a terminal line and a beep, never a box that could stack.
TEST_F(TestRoutinesWiringTest, FailedSetPointWritesAreTerminalLinesNeverBoxes) {
    TKelvoDevice& device = window.Session().Device();
    PseudoTerminalLine line;
    device.OnComPortAfterOpen = nullptr; // no run: nothing but the test writes
    device.SetComPortPort(line.PortName());
    device.SetComPortConnected(true);
    device.SetVersion(5);
    device.SetSecurityActive(false);
    device.SetMaintainsConsoleActive(false); // each change goes out at once
    line.CloseMaster();
    Child<QSpinBox>(window, "SpinEditCalcEditResistance").setValue(10);
    Child<QSpinBox>(window, "SpinEditCalcEditResistance").stepBy(1);
    Child<QSlider>(window, "TrackBarResistance").triggerAction(QAbstractSlider::SliderSingleStepAdd);
    EXPECT_THAT(dialogs.Shown, testing::IsEmpty());
    const TTerminalLines& lines = Child<TTerminalView>(window, "Memo").Lines();
    int failures = 0;
    for (std::size_t i = 0; i < lines.Count(); ++i)
        failures += lines.Line(i).starts_with("!!! Send failed: ");
    EXPECT_EQ(failures, 3);
    EXPECT_EQ(device.GetKelvoResistance(), 12); // the controls show the value in force
}
