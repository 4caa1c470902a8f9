// Heart rate from the emulated console: beat periods (version 5) and beat impulses (version 4).
#include "device/KelvoDevice.h"
#include "integration/EmulatorFixture.h"

#include <gtest/gtest.h>

#include <cstdlib>

namespace {

// Two beats of the impulse console in every survey period.
constexpr int SurveyMs = 1000;

class HeartWithEmulator : public testing::TestWithParam<double> {
protected:
    EmulatorFixture emulator{GetParam()};
    TKelvoDevice device;
    int connectionLost = 0;

    void SetUp() override {
        device.SetHeartEnabled(true);
        device.SetHrDelayBeforeReset(SurveyMs);
        device.OnHeartConnectionLost = [this](TComponent*) { ++connectionLost; };
        device.SetVersion(GetParam() == 4 ? 4 : 4.5);
        device.SetComPortPort(emulator.Path());
        device.SetComPortConnected(true);
        ASSERT_TRUE(device.TryConnect(300));
        device.Start();
    }

    void Heart(int bpm) { emulator.Console().Command("heart " + std::to_string(bpm)); }
};

TEST_P(HeartWithEmulator, RateOfAFullWindowThenLossWhenTheBeltStops) {
    int expected = 120;
    bool high = false;
    if (GetParam() == 4) {
        device.SetHeartArrayLength(8); // an impulse every 500 ms: a full window in 4 s
        Heart(120);
    } else {
        // A period held unchanged counts once only, as a belt holding its last beat would; a real
        // heart varies, so the emulated one alternates between two rates at every message.
        device.OnKelvoMessage = [&](TComponent*, TKelvoDeviceMessageType type, long double, long double, long double,
                                    const ByteString&) {
            if (type != mtInfos) return;
            high = !high;
            Heart(high ? 122 : 120);
        };
        expected = 121;
    }
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return device.GetHeartRate() > 0; }, 10000));
    EXPECT_LE(std::abs(device.GetHeartRate() - expected), 2) << device.GetHeartRate();
    EXPECT_EQ(connectionLost, 0);

    device.OnKelvoMessage = nullptr;
    Heart(0);
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return connectionLost > 0; }, 2 * SurveyMs + 1000));
    EXPECT_EQ(device.GetHeartRate(), 0);
}

INSTANTIATE_TEST_SUITE_P(Families, HeartWithEmulator, testing::Values(4.0, 5.0),
                         [](const testing::TestParamInfo<double>& info) {
                             return "Version" + std::to_string(static_cast<int>(info.param));
                         });

} // namespace
