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
    // An impulse, or a new period, every 500 ms: a full window in 4 s. A period held between
    // beats counts once only, so the value comes from the beats.
    device.SetHeartArrayLength(8);
    Heart(120);
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return device.GetHeartRate() > 0; }, 10000));
    EXPECT_LE(std::abs(device.GetHeartRate() - 120), 2) << device.GetHeartRate();
    EXPECT_EQ(connectionLost, 0);

    Heart(0);
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return connectionLost > 0; }, 2 * SurveyMs + 1000));
    EXPECT_EQ(device.GetHeartRate(), 0);
}

INSTANTIATE_TEST_SUITE_P(Families, HeartWithEmulator, testing::Values(4.0, 5.0),
                         [](const testing::TestParamInfo<double>& info) {
                             return "Version" + std::to_string(static_cast<int>(info.param));
                         });

} // namespace
