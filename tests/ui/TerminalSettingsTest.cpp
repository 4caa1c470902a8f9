#include "ui/TerminalMainForm.h"

#include "device_link/UserSettingsFolder.h"
#include "device_link/WaitWithMessages.h"
#include "integration/EmulatorFixture.h"
#include "terminal/CommandTable.h"
#include "terminal/IniSettings.h"
#include "terminal/SurveyLog.h"
#include "terminal/TerminalSession.h"
#include "terminal/UserDialogs.h"
#include "ui/QtUserDialogs.h"
#include "terminal/NotepadDialogs.h"
#include "ui/NotepadMainForm.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QCoreApplication>
#include <QPlainTextEdit>
#include <QFile>
#include <QMenu>
#include <QMouseEvent>
#include <QSettings>
#include <QMessageBox>
#include <QPushButton>
#include <QSpinBox>
#include <QTimer>
#include <QTimer>
#include <QToolBar>
#include <gmock/gmock.h>

namespace {

using testing::HasSubstr;

class TQuietDialogs final : public TUserDialogs {
public:
    void ShowMessage(TBoxKind kind, const std::string& text) override {
        Kinds.push_back(kind);
        Shown.push_back(text);
    }
    TAnswer AskNoRetry(const std::string&) override { return anNo; }
    TAnswer AskYesNoCancel(const std::string&) override { return anYes; }
    void Beep() override {}
    bool ChoosePrinter(QPrinter&) override { return false; }
    void SetUpPrinter(QPrinter&) override {}
    std::vector<TBoxKind> Kinds;
    std::vector<std::string> Shown;
};

class TCancellingDialogs final : public TNotepadDialogs {
public:
    TAnswer AskYesNoCancel(const QString&) override { return anCancel; }
    bool AskYesDefaultNo(const QString&) override { return false; }
    std::optional<QString> ChooseFileToOpen() override { return std::nullopt; }
    std::optional<QString> ChooseFileToSave(const QString&) override { return std::nullopt; }
};

// Each test starts without settings.ini, survey log or stored settings, and leaves none.
class TerminalSettingsTest : public testing::Test {
protected:
    TerminalSettingsTest() { RemoveStoredSettings(); }
    ~TerminalSettingsTest() override { RemoveStoredSettings(); }

    static void RemoveStoredSettings() {
        QFile::remove(TIniSettings::DefaultFileName());
        QFile::remove(TSurveyLog::DefaultFileName());
        QFile::remove(UserSettingsFolder() + QStringLiteral("/Corvane/Tavrik.conf"));
    }
    // The window and beside it a viewer of the survey log holding an edit.
    static void ShowEditedViewer(TTerminalMainForm& window, TNotepadMainForm& viewer) {
        viewer.OpenFile(TSurveyLog::DefaultFileName());
        viewer.findChild<QPlainTextEdit*>()->appendPlainText(QStringLiteral("a note"));
        window.show();
        viewer.show();
    }
    static void WriteIni(const QByteArray& general) {
        QFile file(TIniSettings::DefaultFileName());
        ASSERT_TRUE(file.open(QIODevice::WriteOnly));
        file.write("[General]\r\n" + general);
    }
    static std::string SurveyLog() {
        QFile file(TSurveyLog::DefaultFileName());
        return file.open(QIODevice::ReadOnly) ? file.readAll().toStdString() : std::string();
    }
    template <typename T> static T& Child(TTerminalMainForm& window, const char* name) {
        return *window.findChild<T*>(QString::fromLatin1(name));
    }

    TQuietDialogs Dialogs;
};

TEST_F(TerminalSettingsTest, BoxesIncrementsPortAndToolbarSetInOneRunAreThereInTheNext) {
    {
        TTerminalMainForm window(Dialogs);
        Child<QCheckBox>(window, "CheckBoxWriteToMemo").setChecked(false);
        Child<QCheckBox>(window, "CheckBoxEnableConSurvey").setChecked(false);
        Child<QSpinBox>(window, "txtIncrementi").setValue(7);
        Child<QSpinBox>(window, "txtTimeIncrementi").setValue(12);
        window.Session().Device().SetComPortPort("ttyKELVO9");
        window.addToolBar(Qt::BottomToolBarArea, &Child<QToolBar>(window, "ToolBarButton"));
        window.Action(TCommand::TimeStamps)->setChecked(true);
        window.resize(1100, 700);
        EXPECT_TRUE(window.close());
    }
    EXPECT_THAT(QFile(TIniSettings::DefaultFileName()).exists(), true);
    TTerminalMainForm window(Dialogs);
    EXPECT_EQ(window.size(), QSize(1100, 700));
    EXPECT_TRUE(window.Action(TCommand::TimeStamps)->isChecked());
    EXPECT_TRUE(window.Session().TimeStamps);
    EXPECT_FALSE(Child<QCheckBox>(window, "CheckBoxWriteToMemo").isChecked());
    EXPECT_FALSE(window.Session().WriteToMemo);
    EXPECT_FALSE(Child<QCheckBox>(window, "CheckBoxEnableConSurvey").isChecked());
    EXPECT_TRUE(Child<QCheckBox>(window, "CheckBoxHRFilter2Active").isChecked());
    EXPECT_EQ(Child<QSpinBox>(window, "txtIncrementi").value(), 7);
    EXPECT_EQ(Child<QSpinBox>(window, "txtTimeIncrementi").value(), 12);
    EXPECT_EQ(window.Session().Device().GetComPortPort(), "ttyKELVO9");
    EXPECT_EQ(window.toolBarArea(&Child<QToolBar>(window, "ToolBarButton")), Qt::BottomToolBarArea);
    EXPECT_TRUE(Dialogs.Shown.empty());
}

// Dragged by its handle out of the window, as a user makes it float.
void FloatByItsHandle(QToolBar& toolbar) {
    const QPoint handle(4, toolbar.height() / 2);
    auto send = [&toolbar](QEvent::Type type, QPoint local, Qt::MouseButtons buttons) {
        QMouseEvent event(type, local, toolbar.mapToGlobal(local), type == QEvent::MouseMove ? Qt::NoButton : Qt::LeftButton,
                          buttons, Qt::NoModifier);
        QApplication::sendEvent(&toolbar, &event);
    };
    send(QEvent::MouseButtonPress, handle, Qt::LeftButton);
    for (int step = 1; step <= 10; ++step) send(QEvent::MouseMove, handle + QPoint(step * 30, step * 40), Qt::LeftButton);
    send(QEvent::MouseButtonRelease, handle + QPoint(300, 400), Qt::NoButton);
}

TEST_F(TerminalSettingsTest, AFloatingMainToolbarComesBackShownAndFloating) {
    {
        TTerminalMainForm window(Dialogs);
        window.show();
        auto& toolbar = Child<QToolBar>(window, "ToolBarButton");
        FloatByItsHandle(toolbar);
        ASSERT_TRUE(toolbar.isFloating());
        EXPECT_TRUE(window.close());
        // The quit that follows the last window's close closes every other window, the floating
        // toolbar too, before the window is destroyed.
        QCoreApplication::postEvent(QCoreApplication::instance(), new QEvent(QEvent::Quit));
        QApplication::processEvents();
    }
    TTerminalMainForm window(Dialogs);
    window.show();
    const auto& toolbar = Child<QToolBar>(window, "ToolBarButton");
    EXPECT_TRUE(toolbar.isFloating());
    EXPECT_TRUE(toolbar.isVisible());
    const QSettings registry(QSettings::NativeFormat, QSettings::UserScope, QStringLiteral("Corvane"),
                             QStringLiteral("Tavrik"));
    EXPECT_EQ(registry.value(QStringLiteral("ToolBarButton/Visible")).toInt(), 1);
    EXPECT_EQ(registry.value(QStringLiteral("ToolBarButton/DockedTo")).toString(), QStringLiteral("+"));
}

TEST_F(TerminalSettingsTest, LoadedBoxesAndTheDeviceAgreeAfterStartUp) {
    for (const bool filter2 : {false, true}) {
        SCOPED_TRACE(filter2);
        WriteIni(QByteArray("MantConsActive=0\r\nHrFilter2Active=") + (filter2 ? "1" : "0") + "\r\n");
        TTerminalMainForm window(Dialogs);
        EXPECT_EQ(Child<QCheckBox>(window, "CheckBoxHRFilter2Active").isChecked(), filter2);
        EXPECT_EQ(window.Session().Device().GetHrFilter2Active(), filter2);
        // The start-up version sets the device's keep-alive again, and the box follows it.
        EXPECT_TRUE(Child<QCheckBox>(window, "CheckBoxMantConsoleActive").isChecked());
        EXPECT_TRUE(window.Session().Device().GetMaintainsConsoleActive());
    }
}

TEST_F(TerminalSettingsTest, QuittingWithThePortOpenWritesTheRunsReportBeforeTheClosingLine) {
    EmulatorFixture emulator(5);
    TTerminalMainForm window(Dialogs);
    window.Session().Device().SetComPortPort(emulator.Path());
    window.Action(TCommand::OpenPort)->trigger();
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return window.Session().Device().GetConnected(); }, 5000));
    EXPECT_TRUE(window.close());

    const std::string log = SurveyLog();
    EXPECT_THAT(log, testing::StartsWith("Tavrik started on: "));
    const std::size_t banner = log.find("Kelvo 5.0 connected on ");
    const std::size_t disconnected = log.find("\t------ Kvd Disconnected ------\r\n");
    const std::size_t report = log.find("End reason:\tKvd Disconnected\r\n");
    const std::size_t closing = log.find("\t\r\n****************** Tavrik Closed ****************** \r\n");
    EXPECT_LT(banner, disconnected);
    EXPECT_LT(disconnected, report);
    EXPECT_LT(report, closing);
    EXPECT_NE(closing, std::string::npos);
}

TEST_F(TerminalSettingsTest, DeletingTheLogAsksAndAMissingLogIsNotFound) {
    TTerminalMainForm window(Dialogs);
    ASSERT_TRUE(QFile::exists(TSurveyLog::DefaultFileName())); // the start line
    window.Action(TCommand::DeleteSurveyLog)->trigger();
    EXPECT_FALSE(QFile::exists(TSurveyLog::DefaultFileName()));
    window.Action(TCommand::ShowSurveyLog)->trigger();
    ASSERT_EQ(Dialogs.Shown.size(), 1u);
    EXPECT_THAT(Dialogs.Shown[0], HasSubstr("CS.log not found!"));
    EXPECT_EQ(Dialogs.Kinds[0], TUserDialogs::bkInfo);
    // Opening the "Log file" menu enables its two commands exactly while the log exists.
    for (QObject* container : window.Action(TCommand::ShowSurveyLog)->associatedObjects())
        if (auto* menu = qobject_cast<QMenu*>(container)) emit menu->aboutToShow();
    EXPECT_FALSE(window.Action(TCommand::ShowSurveyLog)->isEnabled());
    EXPECT_FALSE(window.Action(TCommand::DeleteSurveyLog)->isEnabled());
}

TEST_F(TerminalSettingsTest, InfoBoxIsTitledInfoWithItsIconAndStaysOnTop) {
    QString title;
    QMessageBox::Icon icon = QMessageBox::NoIcon;
    bool onTop = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr) return;
        title = box->windowTitle();
        icon = box->icon();
        onTop = box->windowFlags().testFlag(Qt::WindowStaysOnTopHint);
        box->button(QMessageBox::Ok)->click();
    });
    TQtUserDialogs().ShowMessage(TUserDialogs::bkInfo, "CS.log not found!");
    EXPECT_EQ(title, QStringLiteral("Info"));
    EXPECT_EQ(icon, QMessageBox::Information);
    EXPECT_TRUE(onTop);
}

TEST_F(TerminalSettingsTest, QuitAsksEachOpenViewerFirstAndCancelKeepsTheProgram) {
    TTerminalMainForm window(Dialogs);
    TCancellingDialogs cancelling;
    TNotepadMainForm viewer(&Dialogs, &cancelling);
    ShowEditedViewer(window, viewer);
    EXPECT_FALSE(window.close());
    EXPECT_TRUE(viewer.isVisible());
    EXPECT_THAT(SurveyLog(), testing::Not(HasSubstr("Tavrik Closed")));
}

// The same Cancel for a close asked for inside a wait: the program goes on, and its waits still
// wait (a close carried past the waits would have ended every later wait). In a process of its
// own, as a close that went on would end the waits of the whole process.
TEST_F(TerminalSettingsTest, ACancelledCloseInsideAWaitLeavesTheWaitsWaiting) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(
        {
            TTerminalMainForm window(Dialogs);
            TCancellingDialogs cancelling;
            TNotepadMainForm viewer(&Dialogs, &cancelling);
            ShowEditedViewer(window, viewer);
            QTimer::singleShot(0, &window, [&window] { window.close(); });
            WaitWithMessages(50);
            QCoreApplication::processEvents();
            std::_Exit(window.isVisible() && !WaitsAborted() ? 0 : 1);
        },
        testing::ExitedWithCode(0), "");
}

} // namespace
