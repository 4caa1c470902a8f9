#include "device/KelvoDevice.h"
#include "device_link/ManualClock.h"

#include <gmock/gmock.h>

#include <string>
#include <vector>

using testing::ElementsAre;

namespace {

class TestableDevice : public TKelvoDevice {
public:
    using TKelvoDevice::HeartSurveyTick;
    using TKelvoDevice::StatsTick;
    void SetHeartRate(std::int32_t value) { FHeartRate = value; }
    // As the message intake does: the second filter's result becomes the heart rate.
    std::int32_t FeedFilter2(double value) { return FHeartRate = FilterHeart2(value); }
};

ByteString LongInfos(std::uint16_t heartPeriod) {
    // A roll period of 642 keeps the roller turning; the heart period is bytes 7 and 8.
    return BytesOf({0xF0, 0x01, 0x00, 0x02, 0x82, 0x00, 0x00, static_cast<std::uint8_t>(heartPeriod >> 8),
                    static_cast<std::uint8_t>(heartPeriod), 0xF7});
}

constexpr std::uint8_t HeartImpulseBit = 0x20;
ByteString ShortHeartImpulse() { return BytesOf({0xF0, 0x01, HeartImpulseBit, 0x01, 0x00, 0xF7}); }

struct Alarm {
    int percent;
    bool isHigherLimit;
};

class DeviceHeartTest : public testing::Test {
protected:
    TManualClock clock{1000};
    TestableDevice device;
    std::vector<std::string> instantTexts;

    void Connect(double version) {
        device.SetVersion(version);
        device.SetHeartEnabled(true);
        device.SetConnected(true);
        device.OnInstantHeart = [this](TComponent*, const std::string& text) { instantTexts.push_back(text); };
    }

    // A ride whose statistics tick runs the alarm check at `heartRate`.
    std::vector<Alarm> TickAt(std::int32_t heartRate, bool leaveDoStop = false) {
        std::vector<Alarm> alarms;
        device.OnAlarmHeart = [&](TComponent*, int percent, bool isHigher, bool, bool& doStop) {
            alarms.push_back({percent, isHigher});
            if (!leaveDoStop) doStop = false;
        };
        device.SetHeartRate(heartRate);
        clock.Advance(1000);
        device.StatsTick(nullptr);
        return alarms;
    }

    void Ride() {
        Connect(5);
        device.SetSecurityActive(false);
        device.Start();
    }
};

// ---- First filter ----

TEST_F(DeviceHeartTest, FirstFilterGivesNothingUntilTheWindowIsFull) {
    device.SetVersion(5);
    for (int k = 1; k <= 24; ++k) EXPECT_EQ(device.FilterHeart(80), 0) << k;
    EXPECT_EQ(device.FilterHeart(93), 81); // (24 x 80 + 93) / 25 = 80.52
    EXPECT_EQ(device.GetHeartCount(), 1);
    EXPECT_EQ(device.GetHeartSum(), 81);
}

TEST_F(DeviceHeartTest, FirstFilterTakesOneOffBeforeVersionFourAndAHalf) {
    device.SetVersion(4);
    for (int k = 1; k <= 24; ++k) device.FilterHeart(80);
    EXPECT_EQ(device.FilterHeart(80), 79);
    EXPECT_EQ(device.GetHeartCount(), 0); // impulse consoles count in HeartImpulse
}

// ---- Version 5 heart periods ----

TEST_F(DeviceHeartTest, RepeatedPeriodAddsNoSampleAndNoSignOfLife) {
    Connect(5);
    device.ParseMessage(LongInfos(812));
    EXPECT_THAT(instantTexts, ElementsAre("812\t0\t"));
    device.HeartSurveyTick(nullptr);
    EXPECT_TRUE(device.GetHeartConnectionActive());
    device.ParseMessage(LongInfos(812));
    EXPECT_EQ(instantTexts.size(), 1u);
    int lost = 0;
    device.OnHeartConnectionLost = [&](TComponent*) { ++lost; };
    device.HeartSurveyTick(nullptr);
    EXPECT_EQ(lost, 1);
}

TEST_F(DeviceHeartTest, AlternatingPeriodsFillTheWindow) {
    Connect(5);
    for (int k = 0; k < 25; ++k) device.ParseMessage(LongInfos(k % 2 == 0 ? 750 : 749));
    EXPECT_EQ(device.GetHeartRate(), 80); // 13 x 80 + 12 x 80.107 over 25
    EXPECT_EQ(instantTexts.size(), 25u);
}

TEST_F(DeviceHeartTest, InstantHeartTextIsTheWholePeriod_AndTheMessageKeepsExtendedValues) {
    Connect(5);
    std::vector<std::string> expected;
    for (std::uint16_t period = 240; period <= 2500; ++period) {
        device.ParseMessage(LongInfos(period));
        expected.push_back(std::to_string(period) + "\t0\t");
    }
    EXPECT_EQ(instantTexts, expected); // 857, 923 and 701 among them

    long double heart = 0;
    long double cadence = 0;
    device.OnKelvoMessage = [&](TComponent*, TKelvoDeviceMessageType, long double, long double v2, long double v3,
                                const ByteString&) {
        heart = v2;
        cadence = v3;
    };
    // Cadence period 201 in bytes 5..6, heart period 857 in bytes 7..8.
    device.ParseMessage(BytesOf({0xF0, 0x01, 0x00, 0x02, 0x82, 0x00, 0xC9, 0x03, 0x59, 0xF7}));
    EXPECT_EQ(heart, 60000.0L / 857);
    EXPECT_EQ(cadence, 60000.0L / 201);
}

TEST_F(DeviceHeartTest, NoPeriodGivesNoValue) {
    Connect(5);
    device.ParseMessage(LongInfos(0));
    device.ParseMessage(LongInfos(65535));
    EXPECT_TRUE(instantTexts.empty());
    EXPECT_EQ(device.GetHeartArray().back(), 0.0);
}

// ---- Impulse consoles ----

TEST_F(DeviceHeartTest, ImpulsesFasterThan240MsReachTheCeilingAndReset) {
    Connect(4);
    device.ParseMessage(ShortHeartImpulse()); // the first beat is only timed
    EXPECT_EQ(device.GetHeartRate(), 0);
    for (int k = 1; k <= 24; ++k) {
        clock.Advance(200); // counts as 240 ms: 250 bpm
        device.ParseMessage(ShortHeartImpulse());
    }
    EXPECT_EQ(device.GetHeartRate(), 0);
    EXPECT_EQ(instantTexts.back(), "240\t0\t");
    clock.Advance(200);
    device.ParseMessage(ShortHeartImpulse()); // window full: 250 - 1 is above 230
    EXPECT_EQ(device.GetHeartRate(), 230);
    EXPECT_EQ(device.GetHeartSum(), 230);
    EXPECT_EQ(instantTexts.back(), "0\t0\t"); // the reset cleared the interval
    clock.Advance(500);
    device.ParseMessage(ShortHeartImpulse()); // a first beat again
    EXPECT_EQ(device.GetHeartInterval(), 0);
}

// ---- Second filter ----

TEST_F(DeviceHeartTest, SecondFilterWarmsUpThenLimitsItsSteps) {
    device.SetVersion(5);
    device.SetHeartArrayLength(1);
    EXPECT_EQ(device.FeedFilter2(119), 0);
    EXPECT_EQ(device.FeedFilter2(118), 0);
    EXPECT_EQ(device.FeedFilter2(120), 0);
    EXPECT_EQ(device.FeedFilter2(185), 0); // a step of 65: the fallback, 0 so far
    EXPECT_EQ(device.FeedFilter2(180), 180); // a step of 60 is taken
    EXPECT_EQ(device.FeedFilter2(190), 190);
    EXPECT_EQ(device.FeedFilter2(260), 180); // the rate when 190 was taken
    EXPECT_EQ(device.GetHeartCount(), 2);
}

TEST_F(DeviceHeartTest, SecondFilterTakesTheThirdBigFallInARow) {
    device.SetVersion(5);
    device.SetHeartArrayLength(1);
    for (double value : {250.0, 185.0, 120.0}) device.FeedFilter2(value);
    EXPECT_EQ(device.FeedFilter2(55), 55);
}

TEST_F(DeviceHeartTest, SecondFilterFollowsALastingStepButNeverASpike) {
    device.SetVersion(5);
    device.SetHeartArrayLength(1);
    const auto feed = [this](std::initializer_list<double> values) {
        std::vector<std::int32_t> rates;
        for (double value : values) rates.push_back(device.FeedFilter2(value));
        return rates;
    };
    feed({120, 120, 120, 120, 120});
    // Single spikes, a spike each way and values too far apart are no new level.
    EXPECT_THAT(feed({190, 120, 190, 50, 190, 255, 190, 120}), testing::Each(120));
    // The third of three close values beyond the limit is the new level, and it holds.
    EXPECT_THAT(feed({192, 188, 191, 189}), ElementsAre(120, 120, 191, 189));
    // Back down the same way; meanwhile the rate from before the last accepted value is shown.
    EXPECT_THAT(feed({121, 118, 120, 119}), ElementsAre(191, 191, 120, 119));
}

TEST_F(DeviceHeartTest, ResetRestartsTheWarmUp) {
    device.SetVersion(5);
    device.SetHeartArrayLength(1);
    for (double value : {100.0, 100.0, 100.0, 100.0}) device.FeedFilter2(value);
    device.ResetHeartCounters();
    EXPECT_EQ(device.FeedFilter2(100), 0);
}

// ---- Heart survey ----

TEST_F(DeviceHeartTest, EverySilentSurveyTickReportsTheLoss) {
    Connect(5);
    device.SetHeartArrayLength(1);
    device.ParseMessage(LongInfos(500));
    EXPECT_EQ(device.GetHeartRate(), 120);
    device.HeartSurveyTick(nullptr);
    int lost = 0;
    device.OnHeartConnectionLost = [&](TComponent*) { ++lost; };
    device.HeartSurveyTick(nullptr);
    device.HeartSurveyTick(nullptr);
    EXPECT_EQ(lost, 2);
    EXPECT_EQ(device.GetHeartRate(), 0);
    EXPECT_FALSE(device.GetHeartConnectionActive());
}

TEST_F(DeviceHeartTest, HeartEnabledSwitchesTheSurveyAndTheConnection) {
    device.SetHeartEnabled(true);
    EXPECT_TRUE(device.GetHeartConnectionSurvey());
    EXPECT_TRUE(device.GetHeartConnectionActive());
    EXPECT_FALSE(device.GetHeartSurveyTimer()->GetEnabled()); // not connected
    device.SetConnected(true);
    EXPECT_TRUE(device.GetHeartSurveyTimer()->GetEnabled());
    device.SetHeartRate(90);
    device.SetHeartEnabled(false);
    EXPECT_FALSE(device.GetHeartSurveyTimer()->GetEnabled());
    EXPECT_EQ(device.GetHeartRate(), 0);
}

// ---- Statistics tick and alarms ----

TEST_F(DeviceHeartTest, AlarmPercentagesOfBothLimits) {
    Ride();
    const std::vector<Alarm> high = TickAt(168);
    ASSERT_EQ(high.size(), 1u);
    EXPECT_TRUE(high[0].isHigherLimit);
    EXPECT_EQ(high[0].percent, 5);
    const std::vector<Alarm> low = TickAt(40);
    ASSERT_EQ(low.size(), 1u);
    EXPECT_FALSE(low[0].isHigherLimit);
    EXPECT_EQ(low[0].percent, 20);
    EXPECT_TRUE(TickAt(100).empty());
    EXPECT_EQ(device.GetStatus(), dsRunning);
}

TEST_F(DeviceHeartTest, RatesBelow35DropTheConnectionBeforeAnyAlarm) {
    Ride();
    EXPECT_EQ(TickAt(36).size(), 1u);
    EXPECT_TRUE(TickAt(30).empty());
    EXPECT_FALSE(device.GetHeartConnectionActive());
}

TEST_F(DeviceHeartTest, ZeroLimitGivesNoPercentage) {
    Ride();
    device.SetAlarmHeartHighLimit(0);
    const std::vector<Alarm> alarms = TickAt(100);
    ASSERT_EQ(alarms.size(), 1u);
    EXPECT_EQ(alarms[0].percent, 0);
}

TEST_F(DeviceHeartTest, AbsoluteLimitTakesTheLoadOffButTheRideGoesOn) {
    Ride();
    device.SetAlarmHeartAbsoluteLimit(200);
    device.SetKelvoResistance(100);
    device.SetKelvoElevation(20);
    EXPECT_EQ(TickAt(210, true).size(), 1u);
    EXPECT_EQ(device.GetKelvoResistance(), 0);
    EXPECT_EQ(device.GetKelvoElevation(), 0);
    EXPECT_EQ(device.GetStatus(), dsRunning);
    EXPECT_FALSE(device.GetStoppedByComponent());
}

TEST_F(DeviceHeartTest, AlarmLeftStoppingEndsTheRide) {
    Ride();
    device.SetInitialResistance(30);
    EXPECT_EQ(TickAt(168, true).size(), 1u);
    EXPECT_EQ(device.GetStatus(), dsStopped);
    EXPECT_TRUE(device.GetStoppedByComponent());
    EXPECT_EQ(device.GetKelvoElevation(), 0);
}

TEST_F(DeviceHeartTest, TickAveragesTheCountedValues) {
    Ride();
    device.SetHeartArrayLength(1);
    for (std::uint16_t period : {500, 600, 750}) device.ParseMessage(LongInfos(period)); // 120, 100, 80
    TickAt(device.GetHeartRate());
    EXPECT_EQ(device.GetAverageHeartRate(), 100);
}

TEST_F(DeviceHeartTest, DisabledHeartZeroesTheRateAtTheTick) {
    Ride();
    device.SetHeartEnabled(false);
    TickAt(120);
    EXPECT_EQ(device.GetHeartRate(), 0);
}

} // namespace
