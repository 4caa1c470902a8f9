// The device component against the emulated console over a real pseudo-terminal.
#include "device/KelvoDevice.h"
#include "device/KelvoProtocol.h"
#include "integration/EmulatorFixture.h"

#include <gtest/gtest.h>

using namespace KelvoProtocol;

namespace {

struct Family {
    double consoleVersion;
    double startVersion; // what the PC believes before the handshake
};

class DeviceWithEmulator : public testing::TestWithParam<Family> {
protected:
    EmulatorFixture emulator{GetParam().consoleVersion};
    TKelvoDevice device;

    void OpenPort() {
        device.SetVersion(GetParam().startVersion);
        device.SetComPortPort(emulator.Path());
        device.SetComPortConnected(true);
    }
};

TEST_P(DeviceWithEmulator, TryConnectTakesTheAnnouncedVersion) {
    OpenPort();
    ASSERT_TRUE(device.TryConnect(300));
    EXPECT_EQ(device.GetVersion(), GetParam().consoleVersion);
    EXPECT_EQ(device.GetStatus(), dsConnected);
}

TEST_P(DeviceWithEmulator, ClosedPortMakesTryConnectFailWithoutSending) {
    device.SetVersion(GetParam().startVersion);
    device.SetComPortPort(emulator.Path());
    EXPECT_FALSE(device.TryConnect(300));
    EXPECT_FALSE(emulator.PcSentAnything());
}

INSTANTIATE_TEST_SUITE_P(Families, DeviceWithEmulator,
                         testing::Values(Family{3, 3}, Family{4, 4.5}, Family{5, 4.5}),
                         [](const testing::TestParamInfo<Family>& info) {
                             return "Version" + std::to_string(static_cast<int>(info.param.consoleVersion));
                         });

class FramedDevice : public DeviceWithEmulator {};

TEST_P(FramedDevice, SerialNumberAndProductVersionArriveAfterConnecting) {
    OpenPort();
    ASSERT_TRUE(device.TryConnect(300));
    EXPECT_TRUE(EmulatorFixture::ServeUntil(
        [&] { return device.GetSerialNumber() == 123456 && device.GetProductVersion() == 1; }, 3000));
}

INSTANTIATE_TEST_SUITE_P(Families, FramedDevice, testing::Values(Family{4, 4.5}, Family{5, 4.5}),
                         [](const testing::TestParamInfo<Family>& info) {
                             return "Version" + std::to_string(static_cast<int>(info.param.consoleVersion));
                         });

TEST(DeviceKeepAlive, VersionFourAnswersEveryFrame) {
    EmulatorFixture emulator(4);
    TKelvoDevice device;
    device.SetComPortPort(emulator.Path());
    device.SetComPortConnected(true);
    ASSERT_TRUE(device.TryConnect(300));
    int frames = 0;
    device.OnKelvoMessage = [&](TComponent*, TKelvoDeviceMessageType type, long double, long double, long double,
                                const ByteString&) { frames += type == mtInfos; };
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return frames >= 5; }, 3000));
    const ByteString setPoints = BuildRequest(rqSetPoints, 0, 0);
    EXPECT_TRUE(EmulatorFixture::ServeUntil([&] { return emulator.SentByPc(setPoints) >= 5; }, 1000));
}

TEST(DeviceKeepAlive, VersionFiveSendsOncePerStatisticsTick) {
    EmulatorFixture emulator(5);
    TKelvoDevice device;
    device.SetVersion(4.5);
    device.SetStatsInterval(200);
    device.SetComPortPort(emulator.Path());
    device.SetComPortConnected(true);
    ASSERT_TRUE(device.TryConnect(300));
    int ticks = 0;
    int frames = 0;
    device.OnStats = [&](TComponent*, int, int, long double, long double, long double, bool) { ++ticks; };
    device.OnKelvoMessage = [&](TComponent*, TKelvoDeviceMessageType type, long double, long double, long double,
                                const ByteString&) { frames += type == mtInfos; };
    device.Start();
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return ticks >= 3; }, 3000));
    device.Stop();
    // The emulator records what it read from the line a moment after the PC wrote it.
    const ByteString setPoints = BuildRequest(rqSetPoints, 0, 0);
    const auto allKeepAlivesRecorded = [&] { return emulator.SentByPc(setPoints) >= static_cast<std::size_t>(ticks); };
    EXPECT_TRUE(EmulatorFixture::ServeUntil(allKeepAlivesRecorded, 2000)) << ticks << " ticks";
    const std::size_t keepAlives = emulator.SentByPc(setPoints);
    // Far fewer keep-alives than frames: they follow the tick, not the frames.
    EXPECT_LT(keepAlives, static_cast<std::size_t>(frames));
}

} // namespace
