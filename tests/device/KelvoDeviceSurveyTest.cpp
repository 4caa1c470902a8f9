#include "device/KelvoDevice.h"
#include "device/KelvoProtocol.h"
#include "device/PseudoTerminalLine.h"
#include "device_link/ManualClock.h"
#include "device_link/WaitWithMessages.h"

#include <QCoreApplication>
#include <QTimer>

#include <gmock/gmock.h>

#include <chrono>
#include <fcntl.h>
#include <functional>
#include <memory>
#include <stdexcept>
#include <string>
#include <sys/file.h>
#include <unistd.h>
#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class TestableDevice : public TKelvoDevice {
public:
    using TKelvoDevice::SurveyTick;
    TQorinThreadTimer& SurveyTimer() { return *FConnectionSurveyTimer; }
};

class SurveyTest : public testing::Test {
protected:
    SurveyTest() {
        device.OnKvdErrorInfo = [this](TComponent*, int type, int code, int occurence) {
            std::string text = std::to_string(code);
            if (occurence != -1) text += "(" + std::to_string(occurence) + ")";
            EXPECT_EQ(type, code == 614 ? ketConnected : ketConnecting) << code;
            reports.push_back(text);
        };
        device.OnRepairingConnection = [this](TComponent*) { reports.push_back("repairing"); };
        device.OnConnectionLost = [this](TComponent*) { reports.push_back("lost"); };
    }

    // Connected on an open port, the survey armed as after an identification answer.
    void ConnectOn(PseudoTerminalLine& line, double version) {
        device.SetVersion(version);
        device.SetComPortPort(line.PortName());
        device.SetComPortConnected(true);
        device.SetConnected(true);
        ASSERT_TRUE(device.SurveyTimer().GetEnabled());
    }

    // One silent survey interval: the first tick after connecting sees the connection's own
    // "message received" state, so a silence takes two ticks to show.
    void SilentTick() { device.SurveyTick(&device.SurveyTimer()); }

    std::vector<std::string> TakeReports() { return std::exchange(reports, {}); }

    TManualClock clock{5000};
    TestableDevice device;
    std::vector<std::string> reports;
};

// ---- Settings and their limits ----

TEST_F(SurveyTest, IntervalIsLimitedForShortFamiliesAndFixedForLongFrames) {
    device.SetConnectionSurveyInterval(100);
    EXPECT_EQ(device.GetConnectionSurveyInterval(), 400);
    EXPECT_EQ(device.SurveyTimer().GetInterval(), 400u);
    device.SetConnectionSurveyInterval(5000);
    EXPECT_EQ(device.GetConnectionSurveyInterval(), 3000);

    device.SetConnectionSurveyInterval(1000);
    device.SetVersion(5);
    EXPECT_EQ(device.SurveyTimer().GetInterval(), 3000u);
    device.SetConnectionSurveyInterval(500);
    EXPECT_EQ(device.GetConnectionSurveyInterval(), 1000);
    EXPECT_EQ(device.SurveyTimer().GetInterval(), 3000u);

    device.SetVersion(4); // switching back restores the stored interval
    EXPECT_EQ(device.SurveyTimer().GetInterval(), 1000u);
}

TEST_F(SurveyTest, CloseOpenDelayIsKeptBetween300And2000) {
    device.SetDisconDelayBetweenCloseOpenPort(100);
    EXPECT_EQ(device.GetDisconDelayBetweenCloseOpenPort(), 300);
    device.SetDisconDelayBetweenCloseOpenPort(2500);
    EXPECT_EQ(device.GetDisconDelayBetweenCloseOpenPort(), 2000);
}

TEST_F(SurveyTest, SurveysFollowTheSwitchOnlyWhileConnected) {
    device.SetSurveysActive(true);
    EXPECT_FALSE(device.SurveyTimer().GetEnabled());
    device.SetConnectionSurvey(false);
    device.SetConnectionSurvey(true); // a closed port is never reopened by a survey
    EXPECT_FALSE(device.SurveyTimer().GetEnabled());
    device.SetSimulationMode(true); // connects without a port
    device.SetSurveysActive(false);
    EXPECT_FALSE(device.SurveyTimer().GetEnabled());
    device.SetSurveysActive(true);
    EXPECT_TRUE(device.SurveyTimer().GetEnabled());
    device.SetConnectionSurvey(false);
    EXPECT_FALSE(device.SurveyTimer().GetEnabled());
    device.SetSurveysActive(true);
    EXPECT_FALSE(device.SurveyTimer().GetEnabled());
    device.SetConnectionSurvey(true);
    EXPECT_TRUE(device.SurveyTimer().GetEnabled());
}

// ---- Silence detection ----

TEST_F(SurveyTest, SimulationModeTicksDoNothing) {
    device.SetSimulationMode(true);
    SilentTick();
    SilentTick();
    SilentTick();
    EXPECT_THAT(reports, IsEmpty());
    EXPECT_TRUE(device.GetConnected());
    EXPECT_EQ(device.GetDisconnectionCount(), 0);
}

TEST_F(SurveyTest, AFrameBetweenTicksPreventsTheRepair) {
    device.SetConnected(true);
    device.SetDisconMaxTry(0);
    SilentTick(); // arms the silence flag
    device.ParseMessage(KelvoProtocol::BuildRequest(KelvoProtocol::rqSetPoints, 0, 0)); // any frame counts
    SilentTick();
    EXPECT_THAT(reports, IsEmpty());
    EXPECT_TRUE(device.GetConnected());
    SilentTick();
    EXPECT_THAT(reports, ElementsAre("repairing", "720(1)", "711(0)", "lost"));
}

TEST_F(SurveyTest, NoTriesAllowedGivesUpAtTheFirstSilence) {
    device.SetConnected(true);
    device.SetDisconMaxTry(0);
    SilentTick();
    SilentTick();
    EXPECT_THAT(reports, ElementsAre("repairing", "720(1)", "711(0)", "lost"));
    EXPECT_FALSE(device.GetConnected());
    EXPECT_EQ(device.GetDisconnectionCount(), 1);
    EXPECT_FALSE(device.SurveyTimer().GetEnabled());
}

TEST_F(SurveyTest, HandlerIsRemovedDuringTheTickAndBackEvenWhenAReportFails) {
    device.SetConnected(true);
    device.SetDisconMaxTry(0);
    bool handlerDuringTick = true;
    device.OnKvdErrorInfo = [&](TComponent*, int, int, int) {
        handlerDuringTick = static_cast<bool>(device.SurveyTimer().OnTimer);
        EXPECT_TRUE(device.GetRepairing());
        throw std::runtime_error("report handler failed");
    };
    SilentTick();
    EXPECT_THROW(SilentTick(), std::runtime_error);
    EXPECT_FALSE(handlerDuringTick);
    EXPECT_TRUE(static_cast<bool>(device.SurveyTimer().OnTimer));
    EXPECT_FALSE(device.GetRepairing());
    EXPECT_TRUE(device.GetNoMessageSinceTick());
}

// ---- Repair, short frames ----

TEST_F(SurveyTest, ShortFramesReopenedPortWithSilentConsoleRepairsEveryTickWithoutDisconnecting) {
    PseudoTerminalLine line;
    ConnectOn(line, 4);
    SilentTick();
    line.Drain();
    for (int tick = 1; tick <= 3; ++tick) {
        SilentTick();
        EXPECT_THAT(TakeReports(), ElementsAre("repairing", "720(1)", "611", "614")) << tick;
        EXPECT_EQ(device.GetDisconnectionCount(), tick);
        EXPECT_TRUE(device.GetConnected());
        EXPECT_TRUE(device.GetComPortConnected());
        EXPECT_EQ(device.GetRepairTries(), 0);
        EXPECT_EQ(HexText(line.Drain()), " F0 08 28 00 00 F7") << tick;
    }
}

TEST_F(SurveyTest, ShortFramesUnreopenablePortGivesUpAfterMaxTries) {
    PseudoTerminalLine line;
    ConnectOn(line, 4);
    device.SetDisconMaxTry(30);
    SilentTick();
    line.CloseMaster();
    for (int tick = 1; tick <= 30; ++tick) {
        SilentTick();
        std::vector<std::string> expected;
        if (tick == 1) expected.push_back("repairing");
        expected.push_back("720(" + std::to_string(tick) + ")");
        expected.push_back("710");
        ASSERT_EQ(TakeReports(), expected) << tick;
        ASSERT_TRUE(device.GetConnected()) << tick;
    }
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("720(31)", "711(30)", "lost"));
    EXPECT_FALSE(device.GetConnected());
    EXPECT_EQ(device.GetDisconnectionCount(), 1);
}

TEST_F(SurveyTest, AReopenThatFailsKeepsItsReason) {
    PseudoTerminalLine line;
    device.SetVersion(5);
    device.SetComPortPort(line.PortName());
    device.SetConnected(true); // the port closed: each repair attempt reopens it
    // A handler of the repair's own open closes the port again.
    device.OnComPortAfterOpen = [&](TComponent*) { device.GetComPort()->Close(); };
    SilentTick();
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("repairing", "720(1)", "710"));
    EXPECT_EQ(device.GetReopenFailure(), "the port closed 0 ms after it opened, during the repair's own open or close");
    device.OnComPortAfterOpen = nullptr;
    // Another program holds the line (a second console emulator took over the port's name).
    const int holder = ::open(line.PortName().c_str(), O_RDWR | O_NOCTTY);
    ASSERT_EQ(::flock(holder, LOCK_EX | LOCK_NB), 0);
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("720(2)", "710"));
    EXPECT_EQ(device.GetReopenFailure(),
              "Unable to open com port (win error code: 11); another program has the port open");
    ::close(holder);
    line.CloseMaster(); // the line is gone
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("720(3)", "710", "711(3)", "lost"));
    EXPECT_EQ(device.GetReopenFailure(), "Unable to open com port (win error code: 2)");
}

TEST_F(SurveyTest, ShortFramesWithoutCloseOpenGiveUpOnAClosedPort) {
    device.SetVersion(4);
    device.SetConnected(true); // a user connects with the port closed
    device.SetDisconUseCloseOpenPort(false);
    SilentTick();
    SilentTick();
    EXPECT_THAT(reports, ElementsAre("repairing", "720(1)", "710", "711(1)", "lost"));
}

TEST_F(SurveyTest, QuickConnectRefusesLongFrameVersions) {
    device.SetVersion(5);
    try {
        device.QuickConnectDevice(false);
        FAIL() << "no error";
    } catch (const std::exception& error) {
        EXPECT_STREQ(error.what(), "Procedure QuickConnectDevice: the Kelvo version must be 4 or lower!");
    }
}

// ---- Repair, long frames ----

TEST_F(SurveyTest, LongFramesClosedUnreopenablePortGivesUpAtTheThirdTick) {
    PseudoTerminalLine line;
    const std::string path = line.PortName();
    line.CloseMaster();
    device.SetVersion(5);
    device.SetComPortPort(path);
    device.SetConnected(true);
    SilentTick();
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("repairing", "720(1)", "710"));
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("720(2)", "710"));
    EXPECT_TRUE(device.GetConnected());
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("720(3)", "710", "711(3)", "lost"));
    EXPECT_FALSE(device.GetConnected());
}

TEST_F(SurveyTest, LongFramesResendTheIdentificationOnAnOpenPort) {
    PseudoTerminalLine line;
    ConnectOn(line, 5);
    SilentTick();
    line.Drain();
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("repairing", "720(1)", "614"));
    EXPECT_EQ(HexText(line.Drain()), " F0 08 28 00 00 F7");
    EXPECT_TRUE(device.GetConnected());
}

// ---- Port close and the connection ----

TEST_F(SurveyTest, UserCloseDisconnectsButARepairCloseDoesNot) {
    PseudoTerminalLine line;
    ConnectOn(line, 4);
    SilentTick();
    SilentTick(); // closes and reopens the port inside the repair
    EXPECT_TRUE(device.GetConnected());
    device.SetComPortConnected(false);
    EXPECT_FALSE(device.GetConnected());
}

// ---- User commands inside a repair ----

// Runs `command` from the next wait, as a user's command arrives while the repair waits.
void DuringNextWait(std::function<void()> command) {
    QTimer::singleShot(0, QCoreApplication::instance(), std::move(command));
}

TEST_F(SurveyTest, AUserCloseWhileTheRepairWaitsEndsItWithoutReportsOrReopening) {
    PseudoTerminalLine line;
    ConnectOn(line, 4);
    SilentTick();
    // The repair's reopen is followed by its second wait; the user closes the port in it.
    device.OnComPortAfterOpen = [this](TComponent*) { DuringNextWait([this] { device.SetComPortConnected(false); }); };
    SilentTick();
    EXPECT_THAT(TakeReports(), ElementsAre("repairing", "720(1)"));
    EXPECT_FALSE(device.GetComPortConnected());
    EXPECT_FALSE(device.GetConnected());
    EXPECT_FALSE(device.GetRepairing());
}

TEST_F(SurveyTest, StopOrADisconnectionWhileTheRepairWaitsEndsIt) {
    for (const std::function<void()>& command :
         {std::function<void()>([this] { device.Stop(); }), std::function<void()>([this] { device.SetConnected(false); })}) {
        PseudoTerminalLine line;
        ConnectOn(line, 4);
        SilentTick();
        line.Drain();
        device.OnRepairingConnection = [&](TComponent*) { DuringNextWait(command); };
        SilentTick();
        EXPECT_THAT(TakeReports(), ElementsAre("720(1)"));
        EXPECT_EQ(line.Drain(), "") << "no identification after the command";
        device.SetComPortConnected(false);
        device.SetConnected(false);
    }
}

TEST_F(SurveyTest, AVersionChangeDuringAShortFrameRepairSendsTheFrameIdentification) {
    PseudoTerminalLine line;
    ConnectOn(line, 4);
    SilentTick();
    line.Drain();
    device.OnRepairingConnection = [this](TComponent*) { DuringNextWait([this] { device.SetVersion(5); }); };
    SilentTick();
    EXPECT_EQ(HexText(line.Drain()), " F0 08 28 00 00 F7");
}

TEST_F(SurveyTest, TheRepairIsOverWhenTheLossIsReported) {
    device.SetConnected(true);
    // A running ride is left running by the disconnect, whose stop would clear the flag anyway.
    device.Start();
    ASSERT_EQ(device.GetStatus(), dsRunning);
    device.SetDisconMaxTry(0);
    bool repairingAtLoss = true;
    device.OnConnectionLost = [&](TComponent*) { repairingAtLoss = device.GetRepairing(); };
    SilentTick();
    SilentTick();
    EXPECT_FALSE(repairingAtLoss);
}

// ---- Destruction inside a repair ----

struct TWatchedDevice : TKelvoDevice {
    explicit TWatchedDevice(bool& freed) : Freed(freed) {}
    ~TWatchedDevice() override { Freed = true; }
    bool& Freed;
};

TEST(SurveyDestruction, ADeviceDestroyedWhileItsTimersRepairWaitsIsFreedOnceTheTickIsOver) {
    PseudoTerminalLine line;
    bool freed = false;
    std::unique_ptr<TKelvoDevice> device = std::make_unique<TWatchedDevice>(freed);
    std::vector<int> reports;
    device->SetVersion(4);
    device->SetComPortPort(line.PortName());
    device->SetComPortConnected(true);
    device->SetConnected(true);
    device->OnKvdErrorInfo = [&](TComponent*, int, int code, int) { reports.push_back(code); };
    device->OnRepairingConnection = [&](TComponent*) { DuringNextWait([&] { DestroyAfterWaits(std::move(device)); }); };
    const auto start = std::chrono::steady_clock::now();
    while (!freed && std::chrono::steady_clock::now() - start < std::chrono::seconds(5)) {
        WaitWithMessages(5);
        QCoreApplication::processEvents(); // the event loop, where deferred ends run
    }
    EXPECT_TRUE(freed);
    EXPECT_THAT(reports, ElementsAre(720)) << "a device going away repairs and reports nothing more";
}

// ---- Keep-alive ----

TEST_F(SurveyTest, ShortFramesAnswerEveryFrameWithTheSetPoints) {
    PseudoTerminalLine line;
    ConnectOn(line, 4);
    line.Drain();
    device.GetDataPacket()->AppendReceived(BytesOf({0xF0, 0x01, 0x00, 0x02, 0x00, 0xF7}));
    EXPECT_EQ(HexText(line.Drain()), " F0 01 00 00 00 F7");
    device.SetMaintainsConsoleActive(false);
    device.GetDataPacket()->AppendReceived(BytesOf({0xF0, 0x01, 0x00, 0x02, 0x00, 0xF7}));
    EXPECT_EQ(line.Drain(), "");
}

} // namespace
