#include "device/DeviceEventLog.h"
#include "device/KelvoDevice.h"
#include "device/PseudoTerminalLine.h"
#include "device_link/ManualClock.h"
#include "device_link/WaitWithMessages.h"

#include <QCoreApplication>
#include <QTimer>

#include <gmock/gmock.h>

using testing::ElementsAre;

namespace {

class TestableDevice : public TKelvoDevice {
public:
    using TKelvoDevice::StatsTick;
};

class DeviceCoreTest : public testing::Test {
protected:
    TManualClock clock{1000};
    TestableDevice device;
};

// ---- Version ----

TEST_F(DeviceCoreTest, OutOfRangeVersionsBecomeFourWithShortFrames) {
    for (double version : {3.5, 0.0, -2.0}) {
        device.SetVersion(version);
        EXPECT_EQ(device.GetVersion(), 4.0) << version;
        EXPECT_EQ(device.GetDataPacket()->GetSize(), 6);
        EXPECT_EQ(HexText(device.GetDataPacket()->GetStartString()), " F0");
        EXPECT_EQ(device.GetDataPacket()->GetComPort(), device.GetComPort());
        EXPECT_NEAR(static_cast<double>(device.GetDistancePerRollEvent()), 0.0620, 1e-12);
    }
}

TEST_F(DeviceCoreTest, ByteStreamVersionsUnlinkTheSplitterAndPickTheRoller) {
    device.SetVersion(3);
    EXPECT_EQ(device.GetDataPacket()->GetComPort(), nullptr);
    EXPECT_EQ(device.GetRollDiameter(), 30.0L);
    EXPECT_EQ(device.GetNumberOfRoundPerRollEvent(), 2.0L);
    EXPECT_NEAR(static_cast<double>(device.GetDistancePerRollEvent()), 0.1885, 1e-12);

    device.SetVersion(1);
    EXPECT_NEAR(static_cast<double>(device.GetDistancePerRollEvent()), 0.2513, 1e-12);

    device.SetRollDiameter(33);
    device.SetVersion(0.5); // rounds to 0: diameter left alone
    EXPECT_EQ(device.GetVersion(), 0.5);
    EXPECT_EQ(device.GetRollDiameter(), 33.0L);

    device.SetVersion(2.5); // halves to even: 2
    EXPECT_EQ(device.GetRollDiameter(), 30.0L);
}

TEST_F(DeviceCoreTest, LongFrameGeometryPerVersion) {
    const struct {
        double version;
        double distance;
    } table[] = {{4.5, 0.1241}, {5, 0.1414}, {6, 0.1414}, {5.5, 0.0471}, {7, 0.0942}};
    for (const auto& row : table) {
        device.SetVersion(row.version);
        EXPECT_EQ(device.GetPacketSize(), 10);
        EXPECT_EQ(device.GetDataPacket()->GetSize(), 10);
        EXPECT_TRUE(device.GetDataPacket()->GetStartString().empty());
        EXPECT_NEAR(static_cast<double>(device.GetDistancePerRollEvent()), row.distance, 1e-12) << row.version;
    }
    device.SetVersion(8); // unknown long version: geometry left as it was
    EXPECT_NEAR(static_cast<double>(device.GetDistancePerRollEvent()), 0.0942, 1e-12);
}

TEST_F(DeviceCoreTest, SwitchingFromFiveBackToFourRestoresTheMarkers) {
    device.SetVersion(5);
    device.SetVersion(4);
    EXPECT_EQ(HexText(device.GetDataPacket()->GetStartString()), " F0");
    EXPECT_EQ(HexText(device.GetDataPacket()->GetStopString()), " F7");
    EXPECT_EQ(device.GetDataPacket()->GetSize(), 6);
}

TEST_F(DeviceCoreTest, VersionChangeIsRaisedEvenForTheSameValue) {
    DeviceEventLog log(device);
    device.SetVersion(4);
    device.SetVersion(4);
    EXPECT_THAT(log.events, ElementsAre("version", "version"));
}

// ---- Connection and ride status ----

TEST_F(DeviceCoreTest, StartWhileDisconnectedDoesNothing) {
    DeviceEventLog log(device);
    device.Start();
    EXPECT_EQ(device.GetStatus(), dsDisconnected);
    EXPECT_TRUE(log.events.empty());
}

TEST_F(DeviceCoreTest, StartFromConnectedReportsStoppedToRunning) {
    device.SetConnected(true);
    DeviceEventLog log(device);
    device.Start();
    EXPECT_THAT(log.events, ElementsAre("status 4->2"));
    EXPECT_TRUE(device.GetStatsTimer()->GetEnabled());
}

TEST_F(DeviceCoreTest, DisconnectingARunningRideSkipsTheStop) {
    device.SetConnected(true);
    device.Start();
    DeviceEventLog log(device);
    device.SetConnected(false);
    EXPECT_THAT(log.events, ElementsAre("status 2->0", "disconnected"));
    EXPECT_TRUE(device.GetStatsTimer()->GetEnabled());
}

TEST_F(DeviceCoreTest, DisconnectingAPausedRideStopsItFirst) {
    device.SetConnected(true);
    device.Start();
    device.Pause();
    DeviceEventLog log(device);
    device.SetConnected(false);
    EXPECT_THAT(log.events, ElementsAre("status 3->4", "afterstop", "status 4->0", "disconnected"));
}

TEST_F(DeviceCoreTest, VetoedStopKeepsTheRideAndTheSurvey) {
    device.SetConnected(true);
    device.Start();
    device.OnBeforeStop = [](TComponent*, bool& canContinue) { canContinue = false; };
    device.Stop();
    EXPECT_EQ(device.GetStatus(), dsRunning);
    EXPECT_TRUE(device.GetStatsTimer()->GetEnabled());
}

TEST_F(DeviceCoreTest, ResumeExcludesThePauseFromRideTime) {
    device.SetConnected(true);
    device.Start();
    clock.Advance(5000);
    device.Pause();
    clock.Advance(60000);
    DeviceEventLog log(device);
    device.Start();
    EXPECT_THAT(log.events, ElementsAre("status 3->2"));
    clock.Advance(1000);
    device.StatsTick(nullptr);
    EXPECT_EQ(device.GetElapsedTime(), 6000);
}

TEST_F(DeviceCoreTest, SendAndQueriesWithAClosedPort) {
    EXPECT_EQ(device.Send("\x01"), -1);
    device.QuerySerialNumber(); // swallowed: nothing to send to
    device.QueryProductVersion();
    EXPECT_FALSE(device.TryConnect(300));
}

// ---- Handshake ----

const std::string IdentificationRequest = " F0 08 28 00 00 F7";

TEST_F(DeviceCoreTest, TryConnectOnAConnectedDeviceStillAsksWhichFramingToUse) {
    PseudoTerminalLine line;
    device.SetVersion(5);
    device.SetComPortPort(line.PortName());
    device.SetComPortConnected(true);
    device.SetConnected(true); // as the after-open handler does before a search's handshake
    line.Drain();
    EXPECT_TRUE(device.TryConnect(100));
    EXPECT_EQ(HexText(line.Drain()), IdentificationRequest);
    EXPECT_EQ(clock.Now(), 1100u) << "one wait for the answer";
}

TEST_F(DeviceCoreTest, TryConnectWithANegativeWaitEndsAtOnce) {
    PseudoTerminalLine line;
    device.SetComPortPort(line.PortName());
    device.SetComPortConnected(true);
    EXPECT_FALSE(device.TryConnect(-1));
    EXPECT_EQ(clock.Now(), 1000u);
}

TEST(DeviceDestruction, ADeviceDestroyedInTheHandshakesWaitSendsNoMoreAndIsFreedAfterIt) {
    TManualClock clock{1000};
    PseudoTerminalLine line;
    auto device = std::make_unique<TKelvoDevice>();
    TKelvoDevice* const handshaking = device.get();
    device->SetComPortPort(line.PortName());
    device->SetComPortConnected(true);
    line.Drain();
    QTimer::singleShot(0, QCoreApplication::instance(), [&] { DestroyAfterWaits(std::move(device)); });
    EXPECT_FALSE(handshaking->TryConnect(300));
    EXPECT_EQ(clock.Now(), 1000u) << "every wait ended once the device was going away";
    EXPECT_EQ(HexText(line.Drain()), IdentificationRequest);
    QCoreApplication::processEvents();
}

TEST_F(DeviceCoreTest, ErrorTexts) {
    EXPECT_EQ(TKelvoDevice::ErrorText(720), "connection lost, trying to reconnect");
    EXPECT_EQ(TKelvoDevice::ErrorText(614), "connection restablished");
    EXPECT_EQ(TKelvoDevice::ErrorText(5), "Error unknown");
}

TEST_F(DeviceCoreTest, PortPropertiesPassThroughToTheOwnedPortAndTimer) {
    device.SetComPortTag(7);
    device.SetComPortDataBits(dbSeven);
    TComParity parity; // a standalone copy carries values only: assigning it applies them once
    parity.SetBits(prOdd);
    device.SetComPortParity(parity);
    TComTimeouts timeouts = device.GetComPortTimeouts();
    timeouts.SetReadInterval(25);
    device.SetComPortTimeouts(timeouts);
    device.SetStatsTimerTag(3);
    const TComPort& port = *device.GetComPort();
    EXPECT_EQ(port.GetTag(), 7);
    EXPECT_EQ(port.GetDataBits(), dbSeven);
    EXPECT_EQ(port.GetParity().GetBits(), prOdd);
    EXPECT_EQ(port.GetTimeouts().GetReadInterval(), 25);
    EXPECT_EQ(device.GetStatsTimer()->GetTag(), 3);
}

TEST_F(DeviceCoreTest, ComponentVersionIgnoresWhatIsWritten) {
    device.SetComponentVersion(3.25);
    EXPECT_EQ(device.GetComponentVersion(), 3.26);
}

} // namespace
