#include "ui/TerminalMainForm.h"

#include "device/DeviceDiscovery.h"
#include "device/ProgressOperations.h"
#include "device/PseudoTerminalLine.h"
#include "device_link/TrafficRecord.h"
#include "integration/EmulatorFixture.h"
#include "terminal/CommandTable.h"
#include "terminal/QuitSignals.h"
#include "terminal/SurveyLog.h"
#include "terminal/TerminalSession.h"
#include "terminal/UserDialogs.h"
#include "ui/CompassForm.h"
#include "ui/GraphicsForm.h"
#include "ui/GraphicsPage.h"
#include "ui/Led.h"
#include "ui/OrientationPage.h"
#include "ui/QtUserDialogs.h"
#include "ui/TerminalView.h"
#include "ui/TickLabel.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QComboBox>
#include <QDialog>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QMenuBar>
#include <QMessageBox>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QTabWidget>
#include <QTemporaryDir>
#include <QTextDocumentFragment>
#include <QTimer>
#include <gmock/gmock.h>

#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <fstream>

namespace {

// A label's text as the user reads it, without its mark-up.
std::string ShownText(const QLabel& label) {
    return QTextDocumentFragment::fromHtml(label.text()).toPlainText().toStdString();
}

class TSilentDialogs final : public TUserDialogs {
public:
    std::vector<std::string> Shown;
    void ShowMessage(TBoxKind, const std::string& text) override { Shown.push_back(text); }
    TAnswer AskNoRetry(const std::string& text) override {
        Shown.push_back(text);
        return anNo;
    }
    TAnswer AskYesNoCancel(const std::string&) override { return Answer; }
    TAnswer Answer = anCancel;
    void Beep() override {}
    bool ChoosePrinter(QPrinter&) override { return false; }
    void SetUpPrinter(QPrinter&) override {}
    std::string ChooseSaveFile(const std::string&, const std::string&) override { return SaveFile; }
    std::string SaveFile;
};

class TerminalMainFormTest : public testing::Test {
protected:
    TSilentDialogs dialogs;
    TTerminalMainForm window{dialogs};

    template <typename T> T& Child(const char* name) {
        T* child = window.findChild<T*>(QString::fromLatin1(name));
        if (child == nullptr) throw std::runtime_error(std::string("no control ") + name);
        return *child;
    }
    const TTerminalLines& Lines() { return Child<TTerminalView>("Memo").Lines(); }
    std::size_t CountLines(const std::string& text) {
        std::size_t count = 0;
        for (std::size_t i = 0; i < Lines().Count(); ++i)
            count += Lines().Line(i).find(text) != std::string::npos;
        return count;
    }
    bool RideShows() {
        return EmulatorFixture::ServeUntil(
            [this] { return CountLines("Rcv>> ") > 0 && CountLines("mtInfos") > 0; }, 5000);
    }
    void OpenOn(const EmulatorFixture& emulator) {
        window.Session().Device().SetComPortPort(emulator.Path());
        window.Action(TCommand::OpenPort)->trigger();
    }
};

} // namespace

TEST_F(TerminalMainFormTest, StartUpStateHoldsTheCommandsTable) {
    for (const TCommandRow& row : CommandTable::Commands()) {
        SCOPED_TRACE(row.ObjectName);
        const QAction& action = Child<QAction>(row.ObjectName);
        EXPECT_EQ(action.text(), QString::fromUtf8(row.Caption));
        EXPECT_EQ(action.shortcut(), QKeySequence(QString::fromLatin1(row.Shortcut)));
        EXPECT_EQ(action.statusTip(), QString::fromUtf8(row.Hint));
        // Without a hint the tool tip is Qt's own, made from the caption.
        if (*row.Hint) {
            EXPECT_EQ(action.toolTip(), QString::fromUtf8(row.Hint));
        }
        // A hidden action reads as disabled in Qt, whatever its own state.
        EXPECT_EQ(action.isEnabled(), row.Enabled && row.Visible);
        // "Display events" is executed once during creation.
        EXPECT_EQ(action.isChecked(), row.Checked || row.Id == TCommand::DisplayEvents);
        EXPECT_EQ(action.isVisible(), row.Visible);
    }
    QStringList menuTitles;
    for (const QAction* menu : window.menuBar()->actions())
        menuTitles << menu->text();
    // Each menu opens with Alt and its underlined first letter.
    EXPECT_EQ(menuTitles, (QStringList{"&Port", "&Edit", "&Kelvo Device", "&Terminal", "&Help"}));
    EXPECT_THAT(ShownText(Child<QLabel>("StatusLink")), testing::MatchesRegex("COM: .* closed"));
    EXPECT_TRUE(Child<QAction>("ActionStartDevice").associatedObjects().size() >= 3); // window, menu, toolbar
    EXPECT_EQ(window.windowTitle(), "Kelvo Terminal Tester");
    EXPECT_EQ(window.size(), QSize(800, 600));
    EXPECT_EQ(Child<QComboBox>("ComboBoxKelvoVersion").currentText(), "Kelvo 4.5");
    EXPECT_EQ(Child<QLabel>("LabelSpeedAvg").text(), "0.0"); // an empty ride's, not the control's name
    EXPECT_EQ(Child<QLabel>("LabelInstantSpeed").text(), "...");
    EXPECT_EQ(Child<TLed>("HeartLed").Interval(), 100);
    EXPECT_EQ(Child<TLed>("keyEnter").Interval(), 200);
    EXPECT_TRUE(Child<QCheckBox>("CheckBoxWriteToMemo").isChecked());
}

// Tab from the terminal reaches the version list, then the request buttons, in screen order.
TEST_F(TerminalMainFormTest, TabGoesFromTheTerminalToTheRequestButtonsAsTheyAreShown) {
    window.show();
    std::vector<std::string> reached;
    for (QWidget* next = Child<TTerminalView>("Memo").nextInFocusChain(); reached.size() < 4; next = next->nextInFocusChain())
        if (next->isVisible() && (next->focusPolicy() & Qt::TabFocus) && next->focusProxy() == nullptr &&
            !qobject_cast<QLineEdit*>(next))
            reached.push_back(next->objectName().toStdString());
    EXPECT_EQ(reached, (std::vector<std::string>{"ComboBoxKelvoVersion", "BtIdentification", "BtProductVersion",
                                                 "BtSerialNumber"}));
}

// Before the first ride the page reads as an empty ride, in the texts a ride shows.
TEST_F(TerminalMainFormTest, StatisticsPageBeforeTheFirstRideShowsTheEmptyRidesTexts) {
    EXPECT_EQ(Child<QLabel>("LabelTime").text(),
              "Events count: 0 in ms 0, avg per Sec: 0, Elapsed time: 00:00:00");
    EXPECT_EQ(Child<QLabel>("LabelDistance").text(), "Rolls count: 0.00000 Total distance: 0.000 kms");
    EXPECT_EQ(Child<QLabel>("LabelSpeed").text(), "Speed: 0.0 Km/h, 0.00 m/s, Speed AVG: 0.000 km/h");
    EXPECT_EQ(Child<QLabel>("LabelSpeedAvg").text(), "0.0");
    EXPECT_EQ(Child<QLabel>("LabelCadence").text(), "Cadence: 0, Cadence Avg: 0");
    EXPECT_EQ(Child<QLabel>("LabelHeart").text(), "Heart: 0, Heart Average: 0");
    EXPECT_EQ(Child<QLabel>("LabelheartImpulsions").text(), "HR impuls 0");
}

TEST_F(TerminalMainFormTest, OpeningThePortRidesWithReceivedLinesAndLabelsAndWriteToMemoKeepsOneLine) {
    EmulatorFixture emulator(5);
    OpenOn(emulator);
    ASSERT_TRUE(RideShows());
    EXPECT_EQ(window.Action(TCommand::OpenPort)->text(), "Close port [F8]");
    EXPECT_TRUE(window.Action(TCommand::ClearText)->isEnabled());
    // A statistics tick of the ride shows the console's serial number.
    EXPECT_TRUE(EmulatorFixture::ServeUntil(
        [this] {
            return Child<QLabel>("labelSerialNumber").text() == QString::number(TConsoleSettings{}.Serial);
        },
        3000));
    // Received lines leave the caret panel alone; a key in the terminal shows where the caret is.
    QLabel& caretPanel = Child<QLabel>("StatusCaret");
    EXPECT_EQ(caretPanel.text(), "Col 1  Ln 1");
    QKeyEvent release(QEvent::KeyRelease, Qt::Key_Up, Qt::NoModifier);
    QCoreApplication::sendEvent(&Child<TTerminalView>("Memo"), &release);
    const TTerminalLines::TPosition caret = Lines().Caret();
    EXPECT_EQ(caretPanel.text(), QString("Col %1  Ln %2").arg(caret.Column + 1).arg(caret.Line + 1));

    Child<QCheckBox>("CheckBoxWriteToMemo").setChecked(false);
    const std::size_t before = CountLines("mtInfos");
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return CountLines("mtInfos") != before; }, 3000));
    EXPECT_EQ(Lines().Count(), 1U);
}

TEST_F(TerminalMainFormTest, ALongPortNameInTheStatusBarNeverWidensTheWindow) {
    const int width = window.width();
    const std::string name = "/dev/serial/by-id/" + std::string(200, 'x');
    window.Session().Device().SetComPortPort(name);
    window.Action(TCommand::OpenPort)->trigger(); // no such port: the status tells it closed
    window.show();
    window.resize(width, window.height());
    QCoreApplication::processEvents();
    EXPECT_LE(window.minimumSizeHint().width(), width);
    ASSERT_THAT(Child<QLabel>("StatusLink").toolTip().toStdString(), testing::HasSubstr(name));
    // The port's name gives way in its middle; the state stays in sight.
    EXPECT_THAT(ShownText(Child<QLabel>("StatusLink")),
                testing::MatchesRegex("COM: /dev/serial.*….* closed"));
}

TEST_F(TerminalMainFormTest, FiguresOfAHoursLongRideNeverWidenTheWindow) {
    window.show();
    window.resize(800, window.height());
    const std::pair<const char*, const char*> texts[] = {
        {"LabelTime", "Events count: 12345 in ms 360000000, avg per Sec: 33, Elapsed time: 100:00:00:000"},
        {"LabelDistance", "Rolls count: 12345678.90 Total distance: 12345.67 kms"},
        {"LabelSpeed", "Speed: 123.4 Km/h, 34.29 m/s, Speed AVG: 123.45 km/h"},
        {"LabelCadence", "Cadence: 255, Cadence Avg: 255"},
        {"LabelHeart", "Heart: 255, Heart Average: 255"},
        {"LabelSpeedAvg", "123.45"},
        {"labelSerialNumber", "4294967295"},
    };
    for (const auto& [name, text] : texts)
        Child<TTickLabel>(name).ShowText(text);
    // Each layout level asks its parent for a new pass in an event of its own.
    for (int pass = 0; pass < 5; ++pass)
        QCoreApplication::processEvents();
    EXPECT_LE(window.minimumSizeHint().width(), 800);
    EXPECT_EQ(window.width(), 800);
}

TEST_F(TerminalMainFormTest, TheStatusBarTellsTheLinkAndWhatIsKeptWhileACaptureAndTimeStampsKeepTheRide) {
    EmulatorFixture emulator(5);
    const QLabel& status = Child<QLabel>("StatusLink");
    const auto statusSays = [&](const std::string& text) {
        return EmulatorFixture::ServeUntil([&] { return ShownText(status) == text; }, 5000);
    };
    dialogs.SaveFile = std::filesystem::absolute("window.capture").string();
    std::filesystem::remove(dialogs.SaveFile);
    window.Action(TCommand::RecordTraffic)->trigger();
    EXPECT_TRUE(window.Action(TCommand::RecordTraffic)->isChecked());
    OpenOn(emulator);
    ASSERT_TRUE(RideShows());
    EXPECT_TRUE(statusSays("COM: " + emulator.Path() + " Kelvo 5 riding  REC")) << ShownText(status);
    EXPECT_THAT(status.text().toStdString(), testing::HasSubstr("color:#d00000")) << "REC is red";

    window.Action(TCommand::TimeStamps)->setChecked(true);
    const std::size_t before = Lines().Count();
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return Lines().Count() > before + 1; }, 3000));
    EXPECT_THAT(Lines().Line(Lines().Count() - 1), testing::MatchesRegex("[0-9]{2}:[0-9]{2}:[0-9]{2}\\.[0-9]{3} .+"));
    window.Action(TCommand::WriteLogCS)->setChecked(false);
    EXPECT_TRUE(statusSays("COM: " + emulator.Path() + " Kelvo 5 riding  REC  CS log off"));

    window.Action(TCommand::RecordTraffic)->trigger();
    window.Action(TCommand::OpenPort)->trigger();
    EXPECT_TRUE(statusSays("COM: " + emulator.Path() + " closed  CS log off"));
    std::ifstream capture(dialogs.SaveFile);
    const std::vector<TRecordEntry> entries = ParseRecord(capture);
    const auto has = [&](TRecordDirection direction, const std::string& start) {
        return std::any_of(entries.begin(), entries.end(), [&](const TRecordEntry& entry) {
            return entry.Direction == direction && entry.Bytes.rfind(start, 0) == 0;
        });
    };
    EXPECT_TRUE(has(TRecordDirection::rdNote, "open " + emulator.Path() + " 9600 8 Even 1"));
    EXPECT_TRUE(has(TRecordDirection::rdIn, "\xF0")) << "the identification request";
    EXPECT_TRUE(has(TRecordDirection::rdNote, "handshake"));
    EXPECT_TRUE(has(TRecordDirection::rdOut, "\xF0\x01")) << "a measurement frame";
}

TEST_F(TerminalMainFormTest, LinkPageShowsTheLedgerOfARideWithARepairedHangUp) {
    TConsoleSettings settings;
    settings.Version = 5;
    TConsoleSimulator console(settings);
    // The port follows the console to its new line after the hang-up; the link is this run's alone.
    const QTemporaryDir folder;
    const std::string link = QDir(folder.path()).filePath("console").toStdString();
    console.SetLinkPath(link);
    console.Start();
    window.show();
    window.Session().Device().SetComPortPort(link);
    window.Action(TCommand::OpenPort)->trigger();
    ASSERT_TRUE(RideShows());
    console.Command("hangup 1500");
    const TLinkLedger& ledger = window.Session().Ledger();
    ASSERT_TRUE(EmulatorFixture::ServeUntil(
        [&] { return ledger.GetRepaired() == 1 && ledger.Repairs().back().MessageAfterMs.has_value(); },
        15000));

    const QTimer& refresh = Child<QTimer>("TimerLink");
    EXPECT_FALSE(refresh.isActive());
    Child<QTabWidget>("PageControlBottom").setCurrentWidget(&Child<QWidget>("TabLink"));
    EXPECT_TRUE(refresh.isActive());
    EXPECT_EQ(refresh.interval(), 1000);
    const std::string page = Child<QPlainTextEdit>("MemoLink").toPlainText().toStdString();
    EXPECT_THAT(page, testing::HasSubstr("silences=1 "));
    EXPECT_THAT(page, testing::HasSubstr(": repaired, "));
    EXPECT_THAT(page, testing::HasSubstr("(all accounted for)"));
    // Kept in the test's folder, to look at the page.
    window.grab().save(QStringLiteral("link-page.png"));
    Child<QPushButton>("ButtonResetLedger").click();
    EXPECT_THAT(Child<QPlainTextEdit>("MemoLink").toPlainText().toStdString(), testing::HasSubstr("silences=0 "));
    window.Action(TCommand::OpenPort)->trigger();
    console.Stop();
}

TEST_F(TerminalMainFormTest, TheThousandAndFirstLineRemovesTheFirst) {
    for (int i = 1; i <= 1001; ++i)
        window.Session().OnAddLine("line " + std::to_string(i));
    EXPECT_EQ(Lines().Count(), 1000U);
    EXPECT_EQ(Lines().Line(0), "line 2");
    EXPECT_EQ(Lines().Line(999), "line 1001");
}

TEST_F(TerminalMainFormTest, StartDeviceMarkFollowsTheDeviceAcrossTwoPresses) {
    EmulatorFixture emulator(5);
    OpenOn(emulator);
    ASSERT_TRUE(RideShows());
    QAction& startDevice = *window.Action(TCommand::StartDevice);
    EXPECT_TRUE(startDevice.isChecked());
    startDevice.trigger();
    EXPECT_FALSE(startDevice.isChecked());
    EXPECT_EQ(startDevice.text(), "Start Device [F9]");
    startDevice.trigger();
    EXPECT_TRUE(startDevice.isChecked());
    EXPECT_EQ(startDevice.text(), "Stop Device [F9]");
}

namespace {
using namespace std::string_literals;

struct TRequestButton {
    const char* Name;
    ByteString Frame;
    const char* Line;
};
const std::vector<TRequestButton>& RequestButtons() {
    static const std::vector<TRequestButton> buttons{
        {"BtIdentification", "\xF0\x08\x28\x00\x00\xF7"s,
         "\tTRX <<<   F0 08 28 00 00 F7 8 Request: Identification"},
        {"BtProductVersion", "\xF0\x09\x00\x00\x00\xF7"s,
         "\tTRX <<<   F0 09 00 00 00 F7 9 Request: Product version"},
        {"BtSerialNumber", "\xF0\x03\x00\x00\x00\xF7"s,
         "\tTRX <<<   F0 03 00 00 00 F7 3 Request: Serial number"},
        {"BtResetRollerTurns", "\xF0\x04\x00\x00\x00\xF7"s,
         "\tTRX <<<   F0 04 00 00 00 F7 4 Request: reset the total and partial roller turns"},
        {"BtResetConsole", "\xF0\x06\x00\x00\x00\xF7"s,
         "\tTRX <<<   F0 06 00 00 00 F7 6 Request: Reset Console"},
        {"BtPauseOn", "\xF0\x07\x01\x00\x00\xF7"s, "\tTRX <<<   F0 07 01 00 00 F7 7 Request: Pause console"},
        {"BtPauseOff", "\xF0\x07\x00\x00\x00\xF7"s, "\tTRX <<<   F0 07 00 00 00 F7 7 Request: Pause console"},
        {"BtTotalRollCount", "\xF0\x02\x00\x00\x00\xF7"s,
         "\tTRX <<<   F0 02 00 00 00 F7 2 Request: Total roll count"},
    };
    return buttons;
}
} // namespace

TEST_F(TerminalMainFormTest, RequestButtonsWriteTheirLineAndSendOnlyWhileThePortIsOpen) {
    EmulatorFixture emulator(5);
    window.Session().Device().SetComPortPort(emulator.Path());
    for (const TRequestButton& button : RequestButtons()) {
        SCOPED_TRACE(button.Name);
        Child<QPushButton>(button.Name).click();
        ASSERT_GE(Lines().Count(), 2U);
        EXPECT_EQ(Lines().Line(Lines().Count() - 2), button.Line);
        EXPECT_EQ(Lines().Line(Lines().Count() - 1), "");
    }
    EXPECT_FALSE(emulator.PcSentAnything());

    window.Action(TCommand::OpenPort)->trigger();
    ASSERT_TRUE(RideShows());
    for (const TRequestButton& button : RequestButtons()) {
        SCOPED_TRACE(button.Name);
        const std::size_t sent = emulator.SentByPc(button.Frame);
        const std::size_t echoed = CountLines(button.Line);
        Child<QPushButton>(button.Name).click();
        EXPECT_EQ(CountLines(button.Line), echoed + 1);
        EXPECT_TRUE(
            EmulatorFixture::ServeUntil([&] { return emulator.SentByPc(button.Frame) > sent; }, 2000));
    }
}

TEST_F(TerminalMainFormTest, AVersionPickedInTheListIsTheDevicesVersion) {
    QComboBox& versions = Child<QComboBox>("ComboBoxKelvoVersion");
    emit versions.activated(5);
    EXPECT_EQ(window.Session().Device().GetVersion(), 4);
    EXPECT_EQ(window.Session().Device().GetSpeedArrayLength(), 25);
    EXPECT_EQ(versions.currentText(), "Kelvo 4");
    EXPECT_TRUE(versions.isEnabled());
}

// "Find..." hands the keyboard to its dialog, also when the dialog was left open behind the window.
TEST_F(TerminalMainFormTest, FindTakesTheKeyboardToItsDialog) {
    window.show();
    window.Session().OnAddLine("Rcv>> a line");
    window.Action(TCommand::Find)->trigger();
    window.activateWindow();
    QCoreApplication::processEvents();
    window.Action(TCommand::Find)->trigger();
    QCoreApplication::processEvents();
    EXPECT_EQ(QApplication::activeWindow(), &Child<QDialog>("FindDialog"));
    EXPECT_EQ(QApplication::focusWidget(), &Child<QLineEdit>("FindText"));
}

// A box raised from a timer tick during a search: the search's progress dialog has disabled the
// main window, yet the box takes its answer.
TEST_F(TerminalMainFormTest, ABoxRaisedWhileTheProgressDialogIsShownStaysAnswerable) {
    window.show();
    ShowProgressDialog(-1, 3, "Reading the com ports...");
    EXPECT_FALSE(window.isEnabled());
    bool answerable = false;
    QTimer::singleShot(0, [&] {
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        answerable = box != nullptr && box->isEnabled() && box->button(QMessageBox::Ok)->isEnabled();
        if (box != nullptr) box->button(QMessageBox::Ok)->click();
    });
    TQtUserDialogs().ShowMessage(TUserDialogs::bkError, "Error in speed reading [>0.5]");
    CloseProgressDialog();
    EXPECT_TRUE(answerable);
    EXPECT_TRUE(window.isEnabled());
}

// A tick's message raised while a box is open (inside that box's wait) comes after it, once: one
// box at a time, none lost.
TEST(QtUserDialogsTest, AMessageRaisedWhileABoxIsOpenComesOnceAfterIt) {
    TQtUserDialogs dialogs;
    QStringList seen;
    int mostOpen = 0;
    bool raised = false;
    QTimer::singleShot(30, [&] {
        for (int tick = 0; tick < 2; ++tick) dialogs.ShowMessage(TUserDialogs::bkError, "a tick's error");
        raised = true;
    });
    QTimer answering;
    answering.setInterval(10);
    QObject::connect(&answering, &QTimer::timeout, [&] {
        const QWidgetList windows = QApplication::topLevelWidgets();
        const auto open = std::count_if(windows.begin(), windows.end(), [](const QWidget* window) {
            return qobject_cast<const QMessageBox*>(window) != nullptr && window->isVisible();
        });
        mostOpen = std::max(mostOpen, static_cast<int>(open));
        auto* box = qobject_cast<QMessageBox*>(QApplication::activeModalWidget());
        if (box == nullptr || (box->text() == "first" && !raised)) return;
        seen << box->text();
        box->button(QMessageBox::Ok)->click();
    });
    answering.start();
    dialogs.ShowMessage(TUserDialogs::bkInformation, "first");
    EXPECT_EQ(seen, (QStringList{"first", "a tick's error"}));
    EXPECT_EQ(mostOpen, 1);
}

// Real time must pass for the lamp's own timer: 100 ms.
TEST(Led, GoesOutOneIntervalAfterItLit) {
    TLed led("Hr", Qt::red, 100);
    led.resize(led.sizeHint());
    // The lamp's centre, as painted from the face kept for its state.
    const auto lamp = [&] { return led.grab().toImage().pixelColor(7, led.height() / 2); };
    const QColor dark = lamp();
    led.Light();
    EXPECT_TRUE(led.IsLit());
    EXPECT_EQ(lamp(), QColor(Qt::red));
    QElapsedTimer elapsed;
    elapsed.start();
    EmulatorFixture::ServeUntil([&] { return !led.IsLit(); }, 2000);
    EXPECT_FALSE(led.IsLit());
    EXPECT_GE(elapsed.elapsed(), 90);
    EXPECT_EQ(lamp(), dark);
    EXPECT_EQ(dark.rgb(), QColor(Qt::red).darker(350).rgb());
}

// Closing in the middle of a handshake or a search with a silent line: the wait ends at once, the
// window closes once the command's caller has returned, well within a second, and no box of the
// ended command is raised. Run in a process of its own, since a program that is ending ends every
// later wait too; that process ends without the application's teardown, so its exit code alone
// tells the result.
namespace {
[[noreturn]] void CloseDuring(TCommand command) {
    TSilentDialogs dialogs;
    PseudoTerminalLine silentLine;
    DeviceDiscovery::PortLister = [&silentLine](QStringList& ports) {
        ports = {QString::fromStdString(silentLine.PortName())};
    };
    QElapsedTimer elapsed;
    {
        TTerminalMainForm window(dialogs);
        window.show();
        window.Session().Device().SetComPortPort(silentLine.PortName());
        QTimer::singleShot(50, &window, [&] {
            elapsed.start();
            window.close();
        });
        window.Action(command)->trigger();
        // Every wait ends at once now: the event loop alone carries the close out.
        QElapsedTimer serving;
        serving.start();
        while (window.isVisible() && serving.elapsed() < 3000)
            QCoreApplication::processEvents(QEventLoop::AllEvents, 50);
        if (window.isVisible()) std::_Exit(2);
    }
    if (!dialogs.Shown.empty()) std::_Exit(4);
    std::_Exit(elapsed.isValid() && elapsed.elapsed() < 1000 ? 0 : 3);
}
} // namespace

TEST(TerminalMainFormDeathTest, CloseDuringAHandshakeEndsTheWindowWithinASecond) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(CloseDuring(TCommand::OpenPort), testing::ExitedWithCode(0), "");
}

TEST(TerminalMainFormDeathTest, CloseDuringASearchEndsTheWindowWithoutItsNotFoundBox) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(CloseDuring(TCommand::FindDevice), testing::ExitedWithCode(0), "");
}

// ---- Ending the program ----
// Each in a process of its own: the application's event loop runs and ends there.
namespace {
[[noreturn]] void CloseWithTheGraphicsAndCompassWindowsOpen() {
    TSilentDialogs dialogs;
    TTerminalMainForm window(dialogs);
    window.show();
    window.findChild<TGraphicsPage*>()->Graphics().show();
    window.findChild<TOrientationPage*>()->Compass().show();
    QTimer::singleShot(0, &window, [&window] { window.close(); });
    QTimer::singleShot(3000, [] { std::_Exit(7); });
    std::_Exit(QApplication::exec());
}

std::string LogEnd() {
    QFile log(TSurveyLog::DefaultFileName());
    if (!log.open(QIODevice::ReadOnly)) return {};
    return log.readAll().right(40).toStdString();
}

// A quit signal while a box waits for its answer: the box closes, the window writes what a close
// writes, and the program ends well within a second of the signal.
[[noreturn]] void SignalWhileABoxIsOpen(int quitSignal, TCommand command) {
    DeviceDiscovery::PortLister = [](QStringList& ports) { ports.clear(); };
    TQtUserDialogs dialogs;
    QElapsedTimer sinceSignal;
    {
        TTerminalMainForm window(dialogs);
        const TQuitSignals quitSignals([&window] { window.EndBySignal(); });
        window.show();
        QTimer::singleShot(0, &window, [&window, command] { window.Action(command)->trigger(); });
        QTimer::singleShot(300, [&sinceSignal, quitSignal] {
            if (QApplication::activeModalWidget() == nullptr) std::_Exit(6);
            sinceSignal.start();
            std::raise(quitSignal);
        });
        QTimer::singleShot(3000, [] { std::_Exit(5); });
        QApplication::exec();
    }
    if (LogEnd().find("Tavrik Closed") == std::string::npos) std::_Exit(4);
    std::_Exit(sinceSignal.elapsed() < 1000 ? 0 : 3);
}
} // namespace

TEST(TerminalMainFormDeathTest, ClosingTheMainWindowEndsTheProgramWithTheGraphicsAndCompassWindowsOpen) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(CloseWithTheGraphicsAndCompassWindowsOpen(), testing::ExitedWithCode(0), "");
}

TEST(TerminalMainFormDeathTest, AQuitSignalClosesAnOpenBoxWritesTheCloseAndEndsWithinASecond) {
    GTEST_FLAG_SET(death_test_style, "threadsafe");
    EXPECT_EXIT(SignalWhileABoxIsOpen(SIGTERM, TCommand::About), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(SignalWhileABoxIsOpen(SIGTERM, TCommand::FindDevice), testing::ExitedWithCode(0), "");
    EXPECT_EXIT(SignalWhileABoxIsOpen(SIGHUP, TCommand::StartDevice), testing::ExitedWithCode(0), "");
}
