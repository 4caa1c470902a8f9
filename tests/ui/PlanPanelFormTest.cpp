#include "integration/EmulatorFixture.h"
#include "terminal/BoxRecorder.h"
#include "terminal/CommandTable.h"
#include "terminal/TerminalSession.h"
#include "ui/PlanPanelForm.h"
#include "ui/TerminalMainForm.h"

#include <QAction>
#include <QFrame>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTemporaryDir>
#include <QSpinBox>
#include <QTreeWidget>
#include <gmock/gmock.h>

using testing::HasSubstr;

namespace {

template <typename T> T& Child(QWidget& parent, const char* name) {
    T* child = parent.findChild<T*>(QString::fromLatin1(name));
    if (child == nullptr) throw std::runtime_error(std::string("no control ") + name);
    return *child;
}

class PlanPanelFormTest : public testing::Test {
protected:
    QTemporaryDir folder;
    std::unique_ptr<TTerminalSession> ownedSession = std::make_unique<TTerminalSession>();
    TTerminalSession& session = *ownedSession;
    TPlanPanelForm panel{session, nullptr, nullptr};

    void TearDown() override { ownedSession.reset(); }
    QString PlanFile(const char* json) {
        const QString path = folder.filePath("plan.json");
        QFile file(path);
        EXPECT_TRUE(file.open(QIODevice::WriteOnly | QIODevice::Truncate));
        file.write(json);
        return path;
    }
    void Ride(EmulatorFixture& emulator) {
        session.Device().SetComPortPort(emulator.Path());
        ASSERT_EQ(session.OpenOrClosePort(), "");
    }
    QString Cell(int row, int column) { return Child<QTreeWidget>(panel, "ListSteps").topLevelItem(row)->text(column); }
    QString Verdict() { return Child<QLabel>(panel, "LabelVerdict").text(); }
};

} // namespace

TEST_F(PlanPanelFormTest, APlanRunsWithItsQuestionAnsweredByTheButtonAndEndsInItsVerdict) {
    EmulatorFixture emulator(5);
    Ride(emulator);
    panel.OpenPlan(PlanFile(R"({"name": "bench", "steps": [
        {"step": "expect", "figure": "speed", "min": 20, "max": 30, "within": 10},
        {"step": "ask", "text": "Is the display lit?"}]})"));
    EXPECT_EQ(Cell(2, 1), "ask: Is the display lit?");
    QPushButton& start = Child<QPushButton>(panel, "ButtonStartStop");
    start.click();
    EXPECT_EQ(start.text(), "Stop");
    QFrame& question = Child<QFrame>(panel, "FrameQuestion");
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return !question.isHidden(); }, 15000));
    EXPECT_EQ(Child<QLabel>(panel, "LabelQuestion").text(), "Is the display lit?");
    EXPECT_EQ(Cell(1, 2), "passed");
    EXPECT_THAT(Cell(1, 3).toStdString(), testing::MatchesRegex("2[0-9]\\.[0-9]+ km/h"));
    EXPECT_EQ(Cell(2, 2), "running");
    EXPECT_EQ(Verdict(), "");
    Child<QPushButton>(panel, "ButtonYes").click();
    EXPECT_EQ(Verdict(), "PASSED");
    EXPECT_TRUE(question.isHidden());
    EXPECT_EQ(start.text(), "Start");
    QProgressBar& progress = Child<QProgressBar>(panel, "ProgressBarPlan");
    EXPECT_EQ(progress.value(), progress.maximum());
    EXPECT_TRUE(Child<QPushButton>(panel, "ButtonSaveJUnit").isEnabled());
    // The report goes where the user chose, or says why it did not.
    panel.ChooseFile = [this](const QString&, const QString&, bool) { return folder.filePath("gone/report.txt"); };
    Child<QPushButton>(panel, "ButtonSaveReport").click();
    EXPECT_EQ(Child<QLabel>(panel, "LabelMessage").text().toStdString(),
              "Not saved: " + folder.filePath("gone/report.txt").toStdString() + ": No such file or directory");
}

TEST_F(PlanPanelFormTest, ARefusedPlanSaysWhyAndAClosedPanelStopsItsPlan) {
    panel.OpenPlan(PlanFile(R"({"steps": [{"step": "wait", "seconds": 0}]})"));
    EXPECT_THAT(Child<QLabel>(panel, "LabelMessage").text().toStdString(),
                HasSubstr("plan.json: step 1: 'seconds' is 0, outside 0.1 to 3600"));
    EXPECT_FALSE(Child<QPushButton>(panel, "ButtonStartStop").isEnabled());

    EmulatorFixture emulator(5);
    Ride(emulator);
    panel.OpenPlan(PlanFile(R"({"steps": [{"step": "wait", "seconds": 600}]})"));
    panel.show();
    Child<QPushButton>(panel, "ButtonStartStop").click();
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return Cell(1, 2) == "running"; }, 15000));
    panel.close();
    EXPECT_FALSE(panel.Presenter().Running());
    EXPECT_EQ(Cell(1, 3), "stopped: the panel was closed");
    EXPECT_EQ(Cell(1, 4), "");
    EXPECT_EQ(Verdict(), "FAILED");
}

TEST(PlanPanelInTheWindow, AWindowClosedWhileThePanelsFileDialogIsOpenTakesThePanelSafely) {
    TTerminalSession session;
    auto* window = new QWidget;
    auto* panel = new TPlanPanelForm(session, nullptr, window);
    panel->ChooseFile = [window](const QString&, const QString&, bool) {
        delete window;
        return QString("plan.json");
    };
    Child<QPushButton>(*panel, "ButtonOpenPlan").click();
    SUCCEED(); // nothing touched the panel after it went
}

TEST(PlanPanelInTheWindow, RunTestPlanOpensOnePanelAndItsResistanceGoesThroughTheField) {
    TBoxRecorder dialogs;
    TTerminalMainForm window{dialogs};
    window.Action(TCommand::RunTestPlan)->trigger();
    window.Action(TCommand::RunTestPlan)->trigger();
    ASSERT_EQ(window.findChildren<TPlanPanelForm*>().size(), 1);
    TPlanPanelForm& panel = *window.findChild<TPlanPanelForm*>();
    EXPECT_TRUE(panel.isVisible());
    // The field shows the plan's resistance, and the one before it once the plan ends.
    QTemporaryDir folder;
    QFile plan(folder.filePath("plan.json"));
    ASSERT_TRUE(plan.open(QIODevice::WriteOnly));
    plan.write(R"({"steps": [{"step": "set", "setpoint": "resistance", "value": 77}, {"step": "wait", "seconds": 60}]})");
    plan.close();
    TKelvoDevice& device = window.Session().Device();
    device.SetSecurityActive(false);
    device.SetConnected(true);
    panel.OpenPlan(plan.fileName());
    Child<QPushButton>(panel, "ButtonStartStop").click();
    QSpinBox& field = Child<QSpinBox>(window, "SpinEditCalcEditResistance");
    EXPECT_EQ(field.value(), 77);
    panel.close();
    EXPECT_EQ(field.value(), 0);
    EXPECT_EQ(device.GetKelvoResistance(), 0);
}
