#include "device/KelvoDevice.h"
#include "device_link/ManualClock.h"

#include <gmock/gmock.h>

#include <vector>

namespace {

class TestableDevice : public TKelvoDevice {
public:
    using TKelvoDevice::StatsTick;
};

ByteString LongInfos(std::uint16_t rollPeriod, std::uint16_t cadencePeriod = 0) {
    return BytesOf({0xF0, 0x01, 0x00, static_cast<std::uint8_t>(rollPeriod >> 8), static_cast<std::uint8_t>(rollPeriod),
                    static_cast<std::uint8_t>(cadencePeriod >> 8), static_cast<std::uint8_t>(cadencePeriod), 0x00,
                    0x00, 0xF7});
}

ByteString ShortInfos(std::uint8_t rolls, std::uint8_t flags = 0) { return BytesOf({0xF0, 0x01, flags, rolls, 0x00, 0xF7}); }

ByteString RollCounter(std::uint32_t count) {
    return BytesOf({0xF0, 0x02, static_cast<std::uint8_t>(count >> 16), static_cast<std::uint8_t>(count >> 8),
                    static_cast<std::uint8_t>(count), 0x00, 0x00, 0x00, 0x00, 0xF7});
}

constexpr std::uint8_t PedalImpulse = 0x10;

struct StatsRecord {
    int lapTime;
    long double lapDistance;
};

class DeviceStatsTest : public testing::Test {
protected:
    TManualClock clock{1000};
    TestableDevice device;
    std::vector<StatsRecord> stats;

    // A ride on a console of `version`, exact to 8 decimals as the terminal keeps them.
    void Ride(double version) {
        device.SetVersion(version);
        device.SetPrecisionSpeed(8);
        device.SetPrecisionDistance(8);
        device.SetConnected(true);
        device.Start();
        device.OnStats = [this](TComponent*, int lapTime, int, long double, long double lapDistance, long double,
                                bool) { stats.push_back({lapTime, lapDistance}); };
    }

    void Tick(std::uint32_t afterMs) {
        clock.Advance(afterMs);
        device.StatsTick(nullptr);
    }

    double Speed() const { return static_cast<double>(device.GetSpeed()); }
};

// ---- Rounding and geometry ----

TEST(RoundDecimals, HalvesGoAwayFromZeroAndResiduesVanish) {
    EXPECT_DOUBLE_EQ(static_cast<double>(TKelvoDevice::RoundDecimals(2, 30.035L)), 30.04);
    EXPECT_DOUBLE_EQ(static_cast<double>(TKelvoDevice::RoundDecimals(2, -30.035L)), -30.04);
    EXPECT_EQ(TKelvoDevice::RoundDecimals(9, 0.000000004L), 0.0L);
    EXPECT_DOUBLE_EQ(static_cast<double>(TKelvoDevice::RoundDecimals(0, 2.5L)), 3.0);
}

TEST_F(DeviceStatsTest, RollerChangesRecomputeTheDistancePerEventToFourDecimals) {
    device.SetVersion(5);
    device.SetRollDiameter(50);
    EXPECT_NEAR(static_cast<double>(device.GetDistancePerRollEvent()), 0.1571, 1e-12);
    device.SetNumberOfRoundPerRollEvent(2);
    EXPECT_NEAR(static_cast<double>(device.GetDistancePerRollEvent()), 0.3142, 1e-12);
}

// ---- Speed ----

TEST_F(DeviceStatsTest, VersionFiveRollPeriodGivesItsEventsAndSampleSpeed) {
    device.SetVersion(5);
    device.SetPrecisionSpeed(2);
    device.SetConnected(true);
    long double rolls = 0;
    device.OnKelvoMessage = [&](TComponent*, TKelvoDeviceMessageType, long double v1, long double, long double,
                                const ByteString&) { rolls = v1; };
    device.ParseMessage(LongInfos(642));
    EXPECT_NEAR(static_cast<double>(rolls), 5.9001, 5e-5);
    EXPECT_DOUBLE_EQ(device.GetSpeedArray().back(), 30.03);
    for (std::uint16_t noPeriod : {0, 65535}) {
        device.ParseMessage(LongInfos(noPeriod));
        EXPECT_EQ(device.GetSpeedArray().back(), 0.0);
    }
}

TEST_F(DeviceStatsTest, SpeedClimbsAsTheArrayFillsWhileTheShortAverageIsQuick) {
    Ride(5);
    const double sample = static_cast<double>(TKelvoDevice::RoundDecimals(8, 0.1414L * 36 * 3787.878787878787879L / 642));
    for (int k = 1; k <= 25; ++k) {
        device.ParseMessage(LongInfos(642));
        EXPECT_NEAR(Speed(), sample * k / 25, 1e-7) << k;
        EXPECT_NEAR(static_cast<double>(device.GetInstantSpeed()), sample * std::min(k, 3) / 3, 1e-7) << k;
    }
}

TEST_F(DeviceStatsTest, ShortFramesAverageSixSamplesForTheInstantSpeed) {
    Ride(4);
    const double sample = 0.0620 * 5 * 36; // 5 events of 0.0620 m in 100 ms
    for (int k = 1; k <= 3; ++k) device.ParseMessage(ShortInfos(5));
    EXPECT_NEAR(static_cast<double>(device.GetInstantSpeed()), sample / 2, 1e-7);
    for (int k = 4; k <= 6; ++k) device.ParseMessage(ShortInfos(5));
    EXPECT_NEAR(static_cast<double>(device.GetInstantSpeed()), sample, 1e-7);
    EXPECT_NEAR(Speed(), sample * 6 / 25, 1e-7);
}

TEST_F(DeviceStatsTest, ShortAverageNeverTakesMoreSamplesThanTheArrayHolds) {
    Ride(5);
    device.SetSpeedArrayLength(2);
    device.ParseMessage(LongInfos(642));
    const double sample = device.GetSpeedArray().back();
    EXPECT_NEAR(static_cast<double>(device.GetInstantSpeed()), sample / 2, 1e-7);
}

TEST_F(DeviceStatsTest, ResizedArraysKeepTheNewestEntriesAtTheNewestEnd) {
    Ride(5);
    device.SetSpeedArrayLength(3);
    for (int k = 1; k <= 3; ++k) device.ParseMessage(LongInfos(642));
    const double sample = device.GetSpeedArray().back();
    device.SetSpeedArrayLength(5);
    EXPECT_THAT(device.GetSpeedArray(), testing::ElementsAre(0, 0, sample, sample, sample));
    device.ParseMessage(LongInfos(0));
    device.SetSpeedArrayLength(2);
    EXPECT_THAT(device.GetSpeedArray(), testing::ElementsAre(sample, 0));
}

TEST_F(DeviceStatsTest, ArrayLengthBelowOneKeepsOneEntry) {
    device.SetSpeedArrayLength(0);
    device.SetCadenceArrayLength(-3);
    EXPECT_EQ(device.GetSpeedArrayLength(), 1);
    EXPECT_EQ(device.GetCadenceArrayLength(), 1);
}

// ---- Cadence ----

TEST_F(DeviceStatsTest, CadenceWaitsForAFullWindow) {
    Ride(5);
    for (int k = 1; k <= 9; ++k) device.ParseMessage(LongInfos(642, 750)); // 80 rpm
    EXPECT_EQ(device.GetCadence(), 0);
    device.ParseMessage(LongInfos(642, 750));
    EXPECT_EQ(device.GetCadence(), 80);
    device.ParseMessage(LongInfos(642, 200)); // 200 ms or less is no value: not pushed
    EXPECT_EQ(device.GetCadenceArray().back(), 80);
}

TEST_F(DeviceStatsTest, ImpulsesCloserThan300MsAreIgnored) {
    Ride(4);
    clock.Advance(500);
    device.ParseMessage(ShortInfos(0, PedalImpulse));
    EXPECT_EQ(device.GetCadenceArray().back(), 120);
    clock.Advance(250);
    device.ParseMessage(ShortInfos(0, PedalImpulse));
    EXPECT_EQ(device.GetCadenceArray().back(), 120);
    EXPECT_EQ(device.GetCadenceArray()[8], 0);
    EXPECT_EQ(device.GetCadenceSum(), 1);
    clock.Advance(100); // 350 ms after the last counted impulse
    device.ParseMessage(ShortInfos(0, PedalImpulse));
    EXPECT_EQ(device.GetCadenceArray().back(), 171);
}

TEST_F(DeviceStatsTest, AverageCadenceIsKeptAtATickWithoutCadence) {
    Ride(5);
    for (int k = 1; k <= 10; ++k) device.ParseMessage(LongInfos(642, 750));
    Tick(1000);
    // 10 values of 80 rpm in 1000 ms of 100 ms messages
    EXPECT_EQ(device.GetAverageCadence(), 80);
    // Eleven new empty entries at the oldest end: ten values later the window is still short.
    device.SetCadenceArrayLength(21);
    for (int k = 1; k <= 10; ++k) device.ParseMessage(LongInfos(642, 600)); // 100 rpm
    EXPECT_EQ(device.GetCadence(), 0);
    Tick(1000); // (800 + 1000) / 20 messages would give 90
    EXPECT_EQ(device.GetAverageCadence(), 80);
}

// ---- Distance and course ----

TEST_F(DeviceStatsTest, CourseEndStopsTheRideAtTheNextTickAndFreezesTheDistance) {
    Ride(5);
    device.CourseDistance = 1;
    int finished = 0;
    device.OnCourseFinished = [&](TComponent*) { ++finished; };
    device.AddRollEvents(7000); // 989.8 m
    EXPECT_FALSE(device.GetCourseFinished());
    device.AddRollEvents(100); // 1003.9 m
    EXPECT_TRUE(device.GetCourseFinished());
    const long double reached = device.GetDistance();
    EXPECT_NEAR(static_cast<double>(reached), 1.0039400, 1e-9);
    device.AddRollEvents(100);
    EXPECT_EQ(device.GetDistance(), reached);
    EXPECT_EQ(device.GetStatus(), dsRunning);
    Tick(1000);
    EXPECT_EQ(device.GetStatus(), dsStopped);
    EXPECT_TRUE(device.GetStoppedByComponent());
    EXPECT_EQ(finished, 1);
}

TEST_F(DeviceStatsTest, NoCourseMeansTheRideNeverEndsByItself) {
    Ride(5);
    device.AddRollEvents(100000);
    Tick(1000);
    EXPECT_EQ(device.GetStatus(), dsRunning);
}

TEST_F(DeviceStatsTest, MilesAre1609MetresAndOnlyLaterValuesChange) {
    Ride(5);
    device.AddRollEvents(1000); // 141.4 m
    EXPECT_NEAR(static_cast<double>(device.GetDistance()), 0.1414, 1e-9);
    device.SetUnitMeasure(umMiles);
    EXPECT_NEAR(static_cast<double>(device.GetDistance()), 0.1414, 1e-9);
    device.AddRollEvents(0);
    EXPECT_NEAR(static_cast<double>(device.GetDistance()), 141.4 / 1609, 1e-8);
    device.ParseMessage(LongInfos(642));
    EXPECT_NEAR(device.GetSpeedArray().back(), 0.1414 * 3787.878787878787879 / 642 / 1609 * 36000, 1e-7);
}

TEST_F(DeviceStatsTest, LapDistanceRoundsTheMetres) {
    Ride(4);
    device.SetPrecisionDistance(1);
    device.AddRollEvents(13); // 0.806 m
    Tick(1000);
    ASSERT_EQ(stats.size(), 1u);
    EXPECT_NEAR(static_cast<double>(stats[0].lapDistance), 0.0008, 1e-12);
}

TEST_F(DeviceStatsTest, RollCounterSetsTheCountAndTheDistance) {
    Ride(5);
    device.ParseMessage(RollCounter(0x010000));
    EXPECT_EQ(device.GetRollCount(), 65536.0L);
    EXPECT_NEAR(static_cast<double>(device.GetDistance()), 65536 * 0.1414 / 1000, 1e-9);
    device.ParseMessage(RollCounter(0)); // carries no count
    EXPECT_EQ(device.GetRollCount(), 65536.0L);
}

// ---- The tick ----

TEST_F(DeviceStatsTest, LateTickShortensOnlyTheNextWaitWithinAHundredMs) {
    Ride(5);
    Tick(1020);
    EXPECT_EQ(device.GetStatsTimer()->GetInterval(), 980u);
    Tick(980);
    EXPECT_EQ(device.GetStatsTimer()->GetInterval(), 1000u);
    Tick(1150);
    EXPECT_EQ(device.GetStatsTimer()->GetInterval(), 1000u);
    ASSERT_EQ(stats.size(), 3u);
    EXPECT_EQ(stats[2].lapTime, 1150);
}

TEST_F(DeviceStatsTest, AverageSpeedIsTheDistanceOverTheRideTime) {
    Ride(5);
    device.AddRollEvents(1000); // 141.4 m
    Tick(10000);
    EXPECT_NEAR(static_cast<double>(device.GetAverageSpeed()), 0.1414 / 10 * 3600, 1e-7);
}

TEST_F(DeviceStatsTest, PauseDropsTheRollsThatCameMeanwhile) {
    Ride(5);
    device.AddRollEvents(10);
    clock.Advance(500);
    device.Pause();
    device.ParseMessage(RollCounter(500));
    EXPECT_EQ(device.GetRollCount(), 500.0L);
    clock.Advance(30000);
    device.Start();
    EXPECT_EQ(device.GetRollCount(), 10.0L);
    Tick(500);
    EXPECT_EQ(device.GetElapsedTime(), 1000);
}

// ---- Simulation ----

TEST_F(DeviceStatsTest, SimulatedValuesNeedSimulationMode) {
    device.SimulateValues(120, 90, 36);
    EXPECT_EQ(device.GetSpeed(), 0.0L);
    device.SetSimulationMode(true);
    EXPECT_TRUE(device.GetConnected());
    device.SetVersion(5);
    device.Start();
    device.SimulateValues(120, 90, 36); // 10 m in one second: 71 events of 0.1414 m
    EXPECT_EQ(device.GetSpeed(), 36.0L);
    EXPECT_EQ(device.GetRollCount(), 71.0L);
    EXPECT_EQ(device.GetHeartRate(), 120);
    EXPECT_EQ(device.GetCadence(), 90);
}

} // namespace
