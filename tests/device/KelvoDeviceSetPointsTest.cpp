#include "device/KelvoDevice.h"
#include "device/KelvoProtocol.h"
#include "device_link/ManualClock.h"

#include <gmock/gmock.h>

#include <vector>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

// Keeps what the device would write to the port.
class RecordingDevice : public TKelvoDevice {
public:
    std::int32_t Send(const ByteString& Data) override {
        sent.push_back(HexText(Data));
        return static_cast<std::int32_t>(Data.size());
    }
    void SetRepairing(bool repairing) { FRepairing = repairing; }
    std::vector<std::string> sent;
};

std::string SetPoints(std::int32_t resistance, std::int32_t elevation) {
    return HexText(KelvoProtocol::BuildRequest(KelvoProtocol::rqSetPoints, resistance, elevation));
}

ByteString LongInfos(std::uint16_t rollPeriod) {
    return BytesOf({0xF0, 0x01, 0x00, static_cast<std::uint8_t>(rollPeriod >> 8), static_cast<std::uint8_t>(rollPeriod),
                    0x00, 0x00, 0x00, 0x00, 0xF7});
}

class DeviceSetPointsTest : public testing::Test {
protected:
    TManualClock clock{1000};
    RecordingDevice device;

    void Connect(double version) {
        device.SetVersion(version);
        device.SetConnected(true);
        device.sent.clear();
    }
    // Every assignment of the resistance goes out at once.
    void SendOnEveryAssignment() { device.SetMaintainsConsoleActive(false); }
};

// ---- Bounds ----

TEST_F(DeviceSetPointsTest, ResistanceIsBoundedToOneByte) {
    device.SetSecurityActive(false);
    device.SetKelvoResistance(300);
    EXPECT_EQ(device.GetKelvoResistance(), 255);
    device.SetKelvoResistance(-5);
    EXPECT_EQ(device.GetKelvoResistance(), 0);
}

TEST_F(DeviceSetPointsTest, InitialResistanceAvoidsTheFrameDelimiters) {
    device.SetSecurityActive(false);
    device.SetInitialResistance(240);
    EXPECT_EQ(device.GetInitialResistance(), 239);
    EXPECT_EQ(device.GetKelvoResistance(), 239);
    device.SetInitialResistance(247);
    EXPECT_EQ(device.GetInitialResistance(), 246);
    device.SetInitialResistance(1000);
    EXPECT_EQ(device.GetInitialResistance(), 255);
    device.SetInitialResistance(-1);
    EXPECT_EQ(device.GetInitialResistance(), 0);
}

TEST_F(DeviceSetPointsTest, ElevationMapsOntoOneByte) {
    EXPECT_EQ(device.ElevationToByte(0), 0);
    EXPECT_EQ(device.ElevationToByte(5000), 128);
    EXPECT_EQ(device.ElevationToByte(9999), 255);
    device.SetCurrentElevation(5000);
    EXPECT_EQ(device.GetKelvoElevation(), 128);
    device.SetKelvoElevation(7);
    device.SetCurrentElevation(5000); // unchanged: the set-point is left alone
    EXPECT_EQ(device.GetKelvoElevation(), 7);
}

TEST_F(DeviceSetPointsTest, ReducerIsBoundedToOne) {
    device.SetResistanceReducer(1.5);
    EXPECT_EQ(device.GetResistanceReducer(), 1.0);
    device.SetResistanceReducer(-0.5);
    EXPECT_EQ(device.GetResistanceReducer(), 0.0);
}

// ---- Safety at a standstill ----

TEST_F(DeviceSetPointsTest, StandstillWithSecurityStoresZeroUntilTheNextAssignment) {
    Connect(5);
    device.SetKelvoResistance(100);
    EXPECT_EQ(device.GetKelvoResistance(), 0);
    device.ParseMessage(LongInfos(642)); // the roller turns
    ASSERT_GT(device.GetSpeed(), 0);
    device.SendSetPoints();
    EXPECT_THAT(device.sent, ElementsAre(SetPoints(0, 0)));
    device.SetKelvoResistance(100);
    EXPECT_EQ(device.GetKelvoResistance(), 100);
}

TEST_F(DeviceSetPointsTest, RequestAtAStandstillCarriesZeroWithoutChangingTheProperty) {
    Connect(5);
    device.ParseMessage(LongInfos(642));
    device.SetKelvoResistance(100);
    device.ResetStats(); // not running: the speed goes back to 0
    device.SendSetPoints();
    EXPECT_THAT(device.sent, ElementsAre(SetPoints(0, 0)));
    EXPECT_EQ(device.GetKelvoResistance(), 100);
}

TEST_F(DeviceSetPointsTest, StandstillWithoutSecurityKeepsTheResistance) {
    Connect(5);
    device.SetSecurityActive(false);
    device.SetKelvoResistance(100);
    EXPECT_EQ(device.GetKelvoResistance(), 100);
    device.SendSetPoints();
    EXPECT_THAT(device.sent, ElementsAre(SetPoints(100, 0)));
}

// ---- When the request goes out ----

TEST_F(DeviceSetPointsTest, ElevationSendsOnlyItsLowByteAndNeverOnItsOwn) {
    Connect(5);
    SendOnEveryAssignment();
    device.SetKelvoElevation(300);
    EXPECT_EQ(device.GetKelvoElevation(), 300);
    EXPECT_THAT(device.sent, IsEmpty());
    device.SetSecurityActive(false);
    device.SetKelvoResistance(10);
    EXPECT_THAT(device.sent, ElementsAre(SetPoints(10, 44)));
}

TEST_F(DeviceSetPointsTest, MaintainedConsoleWaitsForTheKeepAlive) {
    Connect(5);
    device.SetSecurityActive(false);
    device.SetKelvoResistance(10);
    EXPECT_THAT(device.sent, IsEmpty());
}

TEST_F(DeviceSetPointsTest, ByteStreamConsolesAndRepairsGetNothing) {
    Connect(3);
    SendOnEveryAssignment();
    device.SetSecurityActive(false);
    device.SetKelvoResistance(10);
    device.SetInitialResistance(20);
    device.SendSetPoints();
    EXPECT_THAT(device.sent, IsEmpty());

    device.SetVersion(5);
    device.SetRepairing(true);
    device.SendSetPoints();
    EXPECT_THAT(device.sent, IsEmpty());
}

TEST_F(DeviceSetPointsTest, PauseSendsZerosWithoutChangingTheSetPoints) {
    Connect(5);
    device.SetSecurityActive(false);
    device.SetKelvoResistance(50);
    device.SetKelvoElevation(9);
    device.Start();
    device.Pause();
    EXPECT_THAT(device.sent, ElementsAre(SetPoints(0, 0)));
    EXPECT_EQ(device.GetKelvoResistance(), 50);
    EXPECT_EQ(device.GetKelvoElevation(), 9);
}

// ---- When the set-points change without the application ----

TEST_F(DeviceSetPointsTest, StopAndDisconnectRestoreTheInitialResistance) {
    Connect(5);
    device.SetSecurityActive(false);
    device.SetInitialResistance(30);
    device.Start();
    device.SetKelvoResistance(80);
    device.SetKelvoElevation(9);
    device.Stop();
    EXPECT_EQ(device.GetKelvoResistance(), 30);
    EXPECT_EQ(device.GetKelvoElevation(), 0);

    device.SetKelvoResistance(80);
    device.SetConnected(false);
    EXPECT_EQ(device.GetKelvoResistance(), 30);
}

TEST_F(DeviceSetPointsTest, ResetStatsClearsSlopeAndElevationButNotTheSetPoint) {
    device.SetCurrentSlope(-4);
    device.SetCurrentElevation(5000);
    device.ResetStats();
    EXPECT_EQ(device.GetCurrentSlope(), 0.0L);
    EXPECT_EQ(device.GetCurrentElevation(), 0);
    EXPECT_EQ(device.GetKelvoElevation(), 128);
}

} // namespace
