#include "terminal/MainFormPresenter.h"

#include "device/DeviceDiscovery.h"
#include "device_link/ProgramInfo.h"
#include "device_link/WaitWithMessages.h"
#include "integration/EmulatorFixture.h"
#include "terminal/EventDisplayPresenter.h"
#include "terminal/LinkStatus.h"
#include "terminal/TerminalSession.h"

#include <QDir>
#include <QSettings>
#include <QTemporaryDir>
#include <QTimer>
#include <gmock/gmock.h>

#include <deque>
#include <map>

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;

namespace {

class TRecordingView final : public TMainFormView {
public:
    std::map<TCommand, std::string> Captions;
    std::map<TCommand, bool> Checked;
    std::map<TCommand, bool> Enabled;
    std::vector<std::string> Lines;
    int VersionItem = -1;
    bool VersionListEnabled = true;
    bool OrientationChecked = false;
    TRollerFields Roller;
    TStatsLabels Stats;

    std::vector<std::string> PortCaptions;

    void SetCommandCaption(TCommand command, const std::string& caption) override {
        Captions[command] = caption;
        if (command == TCommand::OpenPort) PortCaptions.push_back(caption);
    }
    void SetCommandEnabled(TCommand command, bool enabled) override { Enabled[command] = enabled; }
    void SetCommandChecked(TCommand command, bool checked) override { Checked[command] = checked; }
    void SetPriorityListsEnabled(bool) override {}
    void SetVersionListEnabled(bool enabled) override { VersionListEnabled = enabled; }
    void SelectVersionItem(int index) override { VersionItem = index; }
    void ShowRollerFields(const TRollerFields& fields) override { Roller = fields; }
    void SetMaintainsConsoleActiveBox(bool) override {}
    void CheckEnableOrientationBox() override { OrientationChecked = true; }
    void ShowStatsLabels(const TStatsLabels& labels) override { Stats = labels; }
    void ShowInstantSpeed(const std::string&) override {}
    void ShowHeartImpulses(const std::string&) override {}
    void ShowDisconnections(const std::string&) override {}
    void Light(TIndicator) override {}
    void AppendTerminalLine(const std::string& line) override { Lines.push_back(line); }
    void ClearTerminal() override { Lines.clear(); }
    std::size_t TerminalLineCount() const override { return Lines.size(); }
    void MoveTerminalCaretToStart() override {}

    bool HasLineWith(const std::string& text) const {
        return std::any_of(Lines.begin(), Lines.end(),
                           [&](const std::string& line) { return line.find(text) != std::string::npos; });
    }
};

class TAnsweringDialogs final : public TUserDialogs {
public:
    std::vector<std::pair<TBoxKind, std::string>> Shown;
    std::deque<TAnswer> Answers;
    int Questions = 0;
    // What happens while a question's box is open (a close of the window behind it).
    std::function<void()> WhileAsking = [] {};
    int Beeps = 0;
    std::size_t BoxesBeforeLastBeep = 0;

    void ShowMessage(TBoxKind kind, const std::string& text) override { Shown.emplace_back(kind, text); }
    TAnswer AskYesNoCancel(const std::string&) override { return anCancel; }
    TAnswer AskNoRetry(const std::string&) override {
        ++Questions;
        WhileAsking();
        if (Answers.empty()) return anNo;
        const TAnswer answer = Answers.front();
        Answers.pop_front();
        return answer;
    }
    void Beep() override {
        ++Beeps;
        BoxesBeforeLastBeep = Shown.size();
    }
    bool ChoosePrinter(QPrinter&) override { return false; }
    void SetUpPrinter(QPrinter&) override {}
};

class MainFormPresenterTest : public testing::Test {
protected:
    TTerminalSession session;
    TRecordingView view;
    TAnsweringDialogs dialogs;
    TMainFormPresenter presenter{session, view, dialogs};
    TEventDisplayPresenter display{session, view, dialogs};

    TKelvoDevice& Device() { return session.Device(); }
    bool RideShows() {
        return EmulatorFixture::ServeUntil([this] { return view.HasLineWith("mtInfos, Rolls: "); }, 5000);
    }
};

const std::string NotAvailable = "Not available";

} // namespace

// ---- Port and run ----

TEST_F(MainFormPresenterTest, OpeningOnTheEmulatorRidesAndClosingEndsTheRunWithTheCaptions) {
    EmulatorFixture emulator(5);
    Device().SetComPortPort(emulator.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    EXPECT_EQ(view.Captions[TCommand::OpenPort], "Close port [F8]");
    EXPECT_EQ(view.Captions[TCommand::StartDevice], "Stop Device [F9]");
    EXPECT_TRUE(view.Checked[TCommand::StartDevice]);
    EXPECT_TRUE(view.Enabled[TCommand::ClearBufferIO]);

    presenter.OpenOrClosePort();
    EXPECT_FALSE(Device().GetComPortConnected());
    EXPECT_EQ(view.Captions[TCommand::OpenPort], "Open port [F8]");
    EXPECT_EQ(view.Captions[TCommand::StartDevice], "Start Device [F9]");
    EXPECT_FALSE(view.Checked[TCommand::StartDevice]);
    EXPECT_FALSE(view.Enabled[TCommand::ClearBufferIO]);
}

TEST_F(MainFormPresenterTest, StartDeviceStopsARunningRideAndTheNextPressStartsOne) {
    EmulatorFixture emulator(5);
    Device().SetComPortPort(emulator.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    presenter.StartOrStopDevice();
    EXPECT_FALSE(Device().GetConnected());
    EXPECT_EQ(view.Captions[TCommand::StartDevice], "Start Device [F9]");
    EXPECT_FALSE(view.Checked[TCommand::StartDevice]);
    presenter.StartOrStopDevice();
    EXPECT_TRUE(Device().GetConnected());
    EXPECT_EQ(Device().GetStatus(), dsRunning);
    EXPECT_TRUE(view.Checked[TCommand::StartDevice]);
}

TEST_F(MainFormPresenterTest, StartDeviceWithThePortClosedOnlyWarns) {
    presenter.StartOrStopDevice();
    EXPECT_THAT(dialogs.Shown,
                ElementsAre(std::pair(TUserDialogs::bkWarning, std::string("Open port first, please !"))));
    EXPECT_FALSE(view.Checked[TCommand::StartDevice]);
}

TEST_F(MainFormPresenterTest, OpenFailuresNameThePort) {
    Device().SetComPortPort("");
    presenter.OpenOrClosePort();
    Device().SetComPortPort("/nonexistent/tty");
    presenter.OpenOrClosePort();
    EXPECT_THAT(dialogs.Shown,
                ElementsAre(std::pair(TUserDialogs::bkError, std::string("Please assign a com port !")),
                            std::pair(TUserDialogs::bkError,
                                      std::string("Cannot open the com port !\r\n/nonexistent/tty"
                                                  "\r\nPlease verify your connection"))));
}

TEST_F(MainFormPresenterTest, AFailureAfterThePortOpenedIsShownInItsOwnWords) {
    EmulatorFixture emulator(5);
    Device().SetComPortPort(emulator.Path());
    Device().OnComPortAfterOpen = [](TComponent*) { throw std::runtime_error("write refused"); };
    presenter.OpenOrClosePort();
    EXPECT_TRUE(Device().GetComPortConnected());
    EXPECT_THAT(dialogs.Shown, ElementsAre(std::pair(TUserDialogs::bkError, std::string("write refused"))));
}

TEST_F(MainFormPresenterTest, AFailedCloseShowsItsMessageThenBeeps) {
    EmulatorFixture emulator(5);
    Device().SetComPortPort(emulator.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    const int beepsBefore = dialogs.Beeps;
    Device().OnComPortBeforeClose = [](TComponent*) { throw std::runtime_error("close refused"); };
    presenter.OpenOrClosePort();
    EXPECT_THAT(dialogs.Shown, ElementsAre(std::pair(TUserDialogs::bkPlain, std::string("close refused"))));
    EXPECT_EQ(dialogs.Beeps, beepsBefore + 1);
    EXPECT_EQ(dialogs.BoxesBeforeLastBeep, 1u);
}

// The device closes and reopens the port itself: the port's caption follows, the run is left to
// the repair.
TEST_F(MainFormPresenterTest, ARepairThatReopensThePortShowsItAndKeepsTheRide) {
    QTemporaryDir folder;
    const std::string link = QDir(folder.path()).filePath("console").toStdString();
    TConsoleSimulator console{TConsoleSettings{}};
    console.SetLinkPath(link);
    console.Start();
    Device().SetComPortPort(link);
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    view.PortCaptions.clear();
    console.Command("hangup 1500");
    // The repair's report of code 614 begins its line.
    const auto reported = [this] {
        return std::any_of(view.Lines.begin(), view.Lines.end(),
                           [](const std::string& line) { return line.rfind("614", 0) == 0; });
    };
    const TLinkStatus status(session);
    const bool repaired = EmulatorFixture::ServeUntil(reported, 15000);
    // The status bar's panel says the repair is over once the ride goes on.
    const bool riding = EmulatorFixture::ServeUntil([&] { return status.Text().ends_with(" riding"); }, 3000);
    console.Stop();
    ASSERT_TRUE(repaired);
    EXPECT_TRUE(riding) << status.Text();
    EXPECT_THAT(view.PortCaptions, Contains("Open port [F8]"));
    EXPECT_EQ(view.Captions[TCommand::OpenPort], "Close port [F8]");
    EXPECT_TRUE(Device().GetConnected());
    EXPECT_EQ(Device().GetStatus(), dsRunning);
    EXPECT_TRUE(view.Checked[TCommand::StartDevice]);
    presenter.OpenOrClosePort(); // while the status still listens
}

// A command that would nest a second handshake into a running wait is refused with a beep.
TEST_F(MainFormPresenterTest, PortAndSearchCommandsAreRefusedInsideAWait) {
    EmulatorFixture emulator(5);
    Device().SetComPortPort(emulator.Path());
    QTimer::singleShot(0, [this] {
        presenter.OpenOrClosePort();
        presenter.FindDevice();
        presenter.StartOrStopDevice();
        presenter.ShowConsoleVersion();
        presenter.LoadComPortSettings();
    });
    WaitWithMessages(20);
    EXPECT_EQ(dialogs.Beeps, 5);
    EXPECT_FALSE(Device().GetComPortConnected());
    EXPECT_TRUE(dialogs.Shown.empty());
}

// A repair that reopens the port (short frames) leaves it closed between its attempts while the run
// goes on: the commands are refused there too, and a close of the window still ends the run.
TEST_F(MainFormPresenterTest, BetweenARepairsAttemptsCommandsAreRefusedAndAQuitEndsTheRun) {
    EmulatorFixture emulator(4);
    Device().SetComPortPort(emulator.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    emulator.Console().Command("hangup 60000");
    ASSERT_TRUE(EmulatorFixture::ServeUntil([this] { return !Device().GetComPortConnected(); }, 8000));
    ASSERT_TRUE(Device().GetConnected());
    const int beeps = dialogs.Beeps;
    presenter.OpenOrClosePort();
    presenter.StartOrStopDevice();
    presenter.FindDevice();
    presenter.LoadComPortSettings();
    EXPECT_EQ(dialogs.Beeps - beeps, 4);
    EXPECT_TRUE(dialogs.Shown.empty());
    // The survey switched off: no attempt comes any more, and F8 may open the port again.
    Device().SetConnectionSurvey(false);
    presenter.OpenOrClosePort();
    EXPECT_EQ(dialogs.Beeps - beeps, 4);
    EXPECT_FALSE(dialogs.Shown.empty());
    presenter.EndRunBeforeClosing();
    EXPECT_FALSE(Device().GetConnected());
    EXPECT_EQ(view.Captions[TCommand::StartDevice], "Start Device [F9]");
}

// ---- Device search ----

TEST_F(MainFormPresenterTest, FindDeviceFindsTheEmulatorStoresItsPortAndTheRideGoesOn) {
    EmulatorFixture emulator(5);
    qputenv("KELVO_EXTRA_PORTS", QByteArray::fromStdString(emulator.Path()));
    Device().SetComPortPort("");
    presenter.FindDevice();
    qunsetenv("KELVO_EXTRA_PORTS");
    EXPECT_TRUE(Device().GetConnected());
    EXPECT_THAT(view.Lines, Contains("Device found on port: " + emulator.Path()));
    view.Lines.clear();
    EXPECT_TRUE(RideShows());
    EXPECT_EQ(QSettings("Corvane", "Tavrik").value("Port").toString().toStdString(), emulator.Path());
}

TEST_F(MainFormPresenterTest, AFailedSearchAsksAgainOnRetryAndPutsBackThePortItStartedFrom) {
    const auto lister = DeviceDiscovery::PortLister;
    DeviceDiscovery::PortLister = [](QStringList& ports) { ports = {"/nonexistent/tty"}; };
    Device().SetComPortPort("/dev/kelvo-stored");
    dialogs.Answers = {TUserDialogs::anRetry, TUserDialogs::anNo};
    presenter.FindDevice();
    DeviceDiscovery::PortLister = lister;
    EXPECT_EQ(dialogs.Questions, 2);
    EXPECT_EQ(Device().GetComPortPort(), "/dev/kelvo-stored");
    EXPECT_FALSE(view.HasLineWith("Device found"));
}

TEST_F(MainFormPresenterTest, ARetryAnsweredAfterTheWindowClosedBehindItsBoxSearchesNoMore) {
    const auto lister = DeviceDiscovery::PortLister;
    DeviceDiscovery::PortLister = [](QStringList& ports) { ports = {"/nonexistent/tty"}; };
    dialogs.Answers = {TUserDialogs::anRetry};
    dialogs.WhileAsking = [this] { presenter.EndRunBeforeClosing(); };
    presenter.FindDevice();
    DeviceDiscovery::PortLister = lister;
    EXPECT_EQ(dialogs.Questions, 1);
}

TEST_F(MainFormPresenterTest, ALostConnectionShowsThePortClosedAndSearchesAgain) {
    EmulatorFixture emulator(5);
    const auto lister = DeviceDiscovery::PortLister;
    DeviceDiscovery::PortLister = [&emulator](QStringList& ports) {
        ports = {QString::fromStdString(emulator.Path())};
    };
    view.Captions[TCommand::OpenPort] = "Close port [F8]";
    Device().OnConnectionLost(&Device());
    DeviceDiscovery::PortLister = lister;
    EXPECT_EQ(view.Captions[TCommand::OpenPort], "Close port [F8]"); // the search opened the port again
    EXPECT_THAT(view.Lines, Contains("Device found on port: " + emulator.Path()));
    EXPECT_TRUE(Device().GetConnected());
}

// ---- Version list ----

TEST_F(MainFormPresenterTest, AVersionSelectionSetsTheNamedVersionAndTheSpeedArrayFollows) {
    presenter.Create();
    EXPECT_EQ(view.VersionItem, 4); // "Kelvo 4.5"
    EXPECT_EQ(Device().GetVersion(), 4.5);
    presenter.SelectVersion(5); // "Kelvo 4"
    EXPECT_EQ(Device().GetVersion(), 4);
    EXPECT_EQ(Device().GetSpeedArrayLength(), 25);
    presenter.SelectVersion(0); // "Kelvo 7"
    EXPECT_EQ(Device().GetVersion(), 7);
    EXPECT_EQ(Device().GetSpeedArrayLength(), 6);
    Device().SetVersion(5.5);
    EXPECT_EQ(view.VersionItem, 2);
    EXPECT_TRUE(view.OrientationChecked);
    EXPECT_TRUE(view.VersionListEnabled);
}

// 40 mm x pi per round, in metres to four decimals.
TEST_F(MainFormPresenterTest, AVersionFourConsoleSelectsItsItemAndTheLongSpeedArray) {
    EmulatorFixture emulator(4);
    presenter.Create();
    Device().SetComPortPort(emulator.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    EXPECT_EQ(view.VersionItem, 5); // "Kelvo 4"
    EXPECT_EQ(Device().GetSpeedArrayLength(), 25);
}

TEST_F(MainFormPresenterTest, EditingTheRollerFieldsRefreshesTheDistancePerRollEvent) {
    presenter.SetRoundsPerRollEvent(1);
    presenter.SetRollDiameter(40);
    EXPECT_DOUBLE_EQ(view.Roller.DistancePerRollEvent, 0.1257);
    presenter.SetRoundsPerRollEvent(2);
    EXPECT_EQ(Device().GetNumberOfRoundPerRollEvent(), 2);
    EXPECT_DOUBLE_EQ(view.Roller.DistancePerRollEvent, 0.2513);
}

// ---- Settings at creation ----

TEST_F(MainFormPresenterTest, AFailedLoadAtCreationIsShownAndTheConsoleLineIsForcedAllTheSame) {
    QSettings store("Corvane", "Tavrik");
    store.setValue("Port", "/dev/kelvo-stored");
    store.setValue("BaudRate", "Custom"); // without its CustomBaudRate the load fails
    store.sync();
    presenter.Create();
    store.clear();
    ASSERT_EQ(dialogs.Shown.size(), 1U);
    EXPECT_THAT(dialogs.Shown[0].second, HasSubstr("Failed to load settings"));
    EXPECT_EQ(Device().GetComPortPort(), "/dev/kelvo-stored");
    EXPECT_EQ(Device().GetComPortBaudRate(), br9600);
    EXPECT_TRUE(view.Checked[TCommand::DisplayEvents]);
    EXPECT_FALSE(view.Checked[TCommand::OnlyStatValues]);
}

TEST_F(MainFormPresenterTest, LoadingAnotherPortIntoAnOpenOneRidesOnTheNewPort) {
    EmulatorFixture first(5);
    EmulatorFixture second(5);
    Device().SetComPortPort(first.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    QSettings store("Corvane", "Tavrik");
    store.setValue("Port", QString::fromStdString(second.Path()));
    store.sync();
    presenter.LoadComPortSettings();
    store.clear();
    EXPECT_EQ(Device().GetComPortPort(), second.Path());
    EXPECT_TRUE(Device().GetConnected());
    EXPECT_EQ(Device().GetStatus(), dsRunning);
    EXPECT_TRUE(dialogs.Shown.empty());
}

// ---- Help boxes ----

TEST_F(MainFormPresenterTest, ConsoleVersionOfANotConnectedDeviceAndTheAboutBox) {
    presenter.ShowConsoleVersion();
    presenter.ShowAbout();
    EXPECT_THAT(
        dialogs.Shown,
        ElementsAre(
            std::pair(TUserDialogs::bkInformation, "Kelvu Version: \t" + NotAvailable +
                                                       "\r\nProductVersion: \t" + NotAvailable +
                                                       "\r\nSerialNumber: \t" + NotAvailable),
            std::pair(TUserDialogs::bkInformation,
                      std::string("Kelvo terminal observer, Corvane s.r.l.\r\n\r\nBeta version 0.1.0.0"))));
    // Every program's --version names the same version as the box.
    EXPECT_EQ(std::string(ProgramInfo::Version()), "0.1.0.0");
}

TEST_F(MainFormPresenterTest, ConsoleVersionOfTheEmulatorsConsole) {
    EmulatorFixture emulator(5);
    Device().SetComPortPort(emulator.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    presenter.ShowConsoleVersion();
    ASSERT_EQ(dialogs.Shown.size(), 1U);
    const TConsoleSettings console; // the emulator's own product version and serial number
    EXPECT_EQ(dialogs.Shown[0].second, "Kelvu Version: \t5\r\nProductVersion: \t" +
                                           std::to_string(console.Product) + "\r\nSerialNumber: \t" +
                                           std::to_string(console.Serial));
}

// ---- Terminal lines ----

TEST_F(MainFormPresenterTest, WithWriteToMemoUncheckedTheTerminalKeepsOnlyTheNewestLine) {
    EmulatorFixture emulator(5);
    session.WriteToMemo = false;
    Device().SetComPortPort(emulator.Path());
    presenter.OpenOrClosePort();
    ASSERT_TRUE(RideShows());
    EXPECT_EQ(view.Lines.size(), 1U);
}

// The tick's raw speed was below -0.5 before the device clamped it to 0.
TEST_F(MainFormPresenterTest, ASpeedThatFellBelowTheShownOneIsAReadingError) {
    Device().OnStats(&Device(), 1000, 10, 0, 0, -0.4L, false);
    EXPECT_TRUE(dialogs.Shown.empty());
    Device().OnStats(&Device(), 1000, 10, 0, 0, -0.6L, true);
    EXPECT_THAT(dialogs.Shown,
                ElementsAre(std::pair(TUserDialogs::bkError, std::string("Error in speed reading [>0.5]"))));
    EXPECT_EQ(view.Stats.Speed.rfind("Speed: ", 0), 0U); // the labels were written first
}

TEST_F(MainFormPresenterTest, CommandStatesFollowTheTerminal) {
    using State = TMainFormPresenter::TTerminalState;
    const auto enabled = [](const State& terminal) {
        std::map<TCommand, bool> states;
        for (const auto& [command, on] : TMainFormPresenter::CommandStates(terminal))
            states[command] = on;
        return states;
    };
    const auto empty = enabled(State{});
    EXPECT_FALSE(empty.at(TCommand::ClearText) || empty.at(TCommand::Copy) || empty.at(TCommand::Paste));
    const auto selected = enabled(State{3, true, true, false});
    EXPECT_TRUE(selected.at(TCommand::ClearText) && selected.at(TCommand::Find) &&
                selected.at(TCommand::Copy) && selected.at(TCommand::Paste));
    EXPECT_FALSE(selected.at(TCommand::Undo));
}
