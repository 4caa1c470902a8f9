#include "device/KelvoDevice.h"
#include "device_link/ManualClock.h"

#include <gmock/gmock.h>

namespace {

class TestableDevice : public TKelvoDevice {
public:
    using TKelvoDevice::StatsTick;
    using TKelvoDevice::UpdateVirtualSpeed;
    void SetVirtualSpeedDelta(double value) { FVirtualSpeedDelta = value; }
};

// A version 5 infos frame whose roll period gives `kmh` as the sample speed.
ByteString LongInfosAt(double kmh) {
    const auto period = static_cast<std::uint16_t>(0.1414 * 36 * 3787.878787878787879 / kmh + 0.5);
    return BytesOf({0xF0, 0x01, 0x00, static_cast<std::uint8_t>(period >> 8), static_cast<std::uint8_t>(period), 0x00,
                    0x00, 0x00, 0x00, 0xF7});
}

class DevicePowerTest : public testing::Test {
protected:
    TManualClock clock{1000};
    TestableDevice device;

    void Tick() {
        clock.Advance(1000);
        device.StatsTick(nullptr);
    }

    // A simulated ride: the speed is exactly what the host gives.
    void SimulatedRideAt(long double kmh) {
        device.SetSimulationMode(true);
        device.SetVersion(5);
        device.Start();
        device.SimulateValues(0, 0, kmh);
    }

    // A real ride on a version 5 console with a one-sample speed window, exact to 8 decimals.
    void RideAt(double kmh) {
        device.SetVersion(5);
        device.SetPrecisionSpeed(8);
        device.SetPrecisionDistance(8);
        device.SetSpeedArrayLength(1);
        device.SetConnected(true);
        device.Start();
        device.ParseMessage(LongInfosAt(kmh));
    }
};

// ---- Power and energy ----

TEST_F(DevicePowerTest, PowerOfARiderOnTheFlatAndOnAClimb) {
    device.SetRiderWeight(70); // m = 80 kg with the bicycle
    EXPECT_NEAR(device.PowerEstimate(30, 0), 39.15 + 114.3 - 11.1, 1e-9);
    EXPECT_NEAR(device.PowerEstimate(30, 5), 142.35 + 30 * 0.027 * 80 * 5, 1e-9);
    EXPECT_EQ(device.PowerEstimate(0, 5), 0.0);
    EXPECT_EQ(device.PowerEstimate(1, -50), 0.0); // a steep descent gives nothing, never less
}

TEST_F(DevicePowerTest, MilesUseTheirOwnCoefficientsAndTheBicycleInPounds) {
    device.SetUnitMeasure(umMiles);
    device.SetRiderWeight(150); // m = 172 lb
    EXPECT_NEAR(device.PowerEstimate(20, 2), 0.006 * 8000 + 0.33 * 400 + 20 * (0.02 * 172 * 2 - 0.6), 1e-9);
}

TEST_F(DevicePowerTest, TickAddsEnergyAndRoundsThePower) {
    device.SetRiderWeight(70);
    SimulatedRideAt(30);
    Tick();
    EXPECT_NEAR(static_cast<double>(device.GetEnergyTotal()), 0.1188 + 0.0432, 1e-12);
    EXPECT_EQ(device.GetPower(), 142);
    for (int k = 0; k < 9; ++k) Tick();
    EXPECT_EQ(device.GetEnergy(), 2); // 1.62
}

TEST_F(DevicePowerTest, SteepDescentAddsNoNegativeEnergy) {
    device.SetRiderWeight(70);
    SimulatedRideAt(10);
    device.SetCurrentSlope(-50); // 0.0044 + 0.0144 - 1.0 per tick
    Tick();
    EXPECT_EQ(device.GetEnergyTotal(), 0.0L);
}

TEST_F(DevicePowerTest, StandingStillAddsNoEnergy) {
    device.SetRiderWeight(70);
    SimulatedRideAt(0);
    device.SetCurrentSlope(-8);
    Tick();
    EXPECT_EQ(device.GetEnergyTotal(), 0.0L);
    EXPECT_EQ(device.GetPower(), 0);
}

// ---- Virtual speed ----

TEST_F(DevicePowerTest, DescentGrowsTheDeltaBySlopeOverMass) {
    device.SetPrecisionSpeed(8);
    device.SetCurrentSlope(-5); // m = 10 kg, k = 10 / 9.8
    device.UpdateVirtualSpeed(30);
    EXPECT_NEAR(device.GetSlopeTerm(), 0.25, 1e-12);
    EXPECT_NEAR(device.GetNetTerm(), 0.25, 1e-12);
    EXPECT_NEAR(device.GetVirtualSpeedDelta(), 0.245, 1e-9);
}

TEST_F(DevicePowerTest, FlatGroundDropsASmallDeltaAndDecaysALargeOne) {
    device.SetCurrentSlope(0);
    device.SetVirtualSpeedDelta(1.5);
    device.UpdateVirtualSpeed(30);
    EXPECT_EQ(device.GetVirtualSpeedDelta(), 0.0);

    device.SetRiderWeight(70); // m = 80, k = 80 / 9.8
    device.SetVirtualSpeedDelta(3);
    device.UpdateVirtualSpeed(30);
    const double dragAt33 = 0.00145 * 33 * 33 + 0.127 * 33 - 0.37;
    EXPECT_NEAR(device.GetVirtualSpeedDelta(), 3 - dragAt33 * 2.5 / (80 / 9.8), 1e-9);
    device.UpdateVirtualSpeed(30); // 1.35 is within the tolerance of 2
    EXPECT_EQ(device.GetVirtualSpeedDelta(), 0.0);
}

TEST_F(DevicePowerTest, StandstillResetsTheVirtualSpeed) {
    device.SetCurrentSlope(-5);
    device.SetVirtualSpeedDelta(4);
    device.UpdateVirtualSpeed(0);
    EXPECT_EQ(device.GetVirtualSpeedDelta(), 0.0);
}

TEST_F(DevicePowerTest, VirtualSpeedAddsToTheSpeedAndDistanceButNotThePower) {
    device.SetVirtualSpeedEnabled(true);
    RideAt(30);
    device.SetCurrentSlope(-5); // a new ride starts on the flat
    const long double realSpeed = device.GetRealSpeed();
    Tick();
    const double delta = device.GetVirtualSpeedDelta();
    ASSERT_GT(delta, 0);
    EXPECT_NEAR(device.GetVirtualDistanceStep(), delta / 3600, 1e-8);
    EXPECT_EQ(device.GetPower(), static_cast<int>(std::nearbyint(device.PowerEstimate(static_cast<double>(realSpeed), -5))));

    const long double rollsBefore = device.GetRollCount();
    device.ParseMessage(LongInfosAt(30));
    EXPECT_NEAR(static_cast<double>(device.GetSpeed()), static_cast<double>(realSpeed) + delta, 1e-9);
    EXPECT_NEAR(static_cast<double>(device.GetInstantSpeed()), static_cast<double>(realSpeed) + delta, 1e-7);
    // The message's own events plus a tenth of a second of the virtual distance.
    const long double extra = device.GetVirtualDistanceStep() * 1000 * 0.1 / device.GetDistancePerRollEvent();
    EXPECT_NEAR(static_cast<double>(device.GetRollCount() - rollsBefore - device.GetRollIncrement()),
                static_cast<double>(extra), 1e-6);
}

TEST_F(DevicePowerTest, SwitchingVirtualSpeedOffClearsTheDeltaAtOnce) {
    device.SetVirtualSpeedEnabled(true);
    RideAt(30);
    device.SetCurrentSlope(-5); // a new ride starts on the flat
    Tick();
    ASSERT_GT(device.GetVirtualSpeedDelta(), 0);
    device.SetVirtualSpeedEnabled(false);
    EXPECT_EQ(device.GetVirtualSpeedDelta(), 0.0);
    EXPECT_EQ(device.GetVirtualDistanceStep(), 0.0);
}

TEST_F(DevicePowerTest, ClimbWithoutDeltaKeepsTheVirtualSpeedAtZero) {
    device.SetVirtualSpeedEnabled(true);
    RideAt(30);
    device.SetCurrentSlope(3);
    Tick();
    EXPECT_EQ(device.GetVirtualSpeedDelta(), 0.0);
}

} // namespace
