// A ride on the emulated console: the statistics against what the emulator rides.
#include "device/KelvoDevice.h"
#include "device/KelvoProtocol.h"
#include "integration/EmulatorFixture.h"

#include <gtest/gtest.h>

using namespace KelvoProtocol;

namespace {

constexpr double EmulatorSpeed = 25; // km/h with no resistance on the flat

class RideWithEmulator : public testing::Test {
protected:
    EmulatorFixture emulator{5};
    TKelvoDevice device;
    int ticks = 0;

    void SetUp() override {
        device.SetVersion(4.5);
        device.SetPrecisionSpeed(8);
        device.SetPrecisionDistance(8);
        device.SetComPortPort(emulator.Path());
        device.SetComPortConnected(true);
        ASSERT_TRUE(device.TryConnect(300));
        device.OnStats = [this](TComponent*, int, int, long double, long double, long double, bool) { ++ticks; };
    }

    bool RideTicks(int count) {
        const int target = ticks + count;
        return EmulatorFixture::ServeUntil([&] { return ticks >= target; }, (count + 3) * 1000);
    }

    // Set-point requests with `resistance` in a record of the emulator.
    static std::size_t SetPointRequests(const std::vector<TRecordEntry>& record, std::int32_t resistance) {
        const ByteString request = BuildRequest(rqSetPoints, resistance, 0);
        return static_cast<std::size_t>(std::count_if(record.begin(), record.end(), [&](const TRecordEntry& entry) {
            return entry.Direction == TRecordDirection::rdIn && entry.Bytes.find(request) != ByteString::npos;
        }));
    }

    bool AwaitSetPointRequests(std::int32_t resistance, std::size_t count) {
        return emulator.Console().WaitForRecord(
            [&](const std::vector<TRecordEntry>& record) { return SetPointRequests(record, resistance) >= count; }, 1000);
    }
};

TEST_F(RideWithEmulator, ConstantSpeedGivesItsSpeedAndDistanceAndOneRequestPerTick) {
    device.Start();
    device.SetKelvoResistance(40); // the roller stands still: held at 0
    ASSERT_TRUE(RideTicks(6));
    EXPECT_NEAR(static_cast<double>(device.GetSpeed()), EmulatorSpeed, 0.5);
    const double hours = device.GetElapsedTime() / 3600000.0;
    EXPECT_NEAR(static_cast<double>(device.GetDistance()), EmulatorSpeed * hours, 0.02 * EmulatorSpeed * hours);
    EXPECT_TRUE(AwaitSetPointRequests(0, 6));
    const std::vector<TRecordEntry> record = emulator.Console().GetRecord();
    EXPECT_EQ(SetPointRequests(record, 0), static_cast<std::size_t>(ticks));
    EXPECT_EQ(SetPointRequests(record, 40), 0u);
}

TEST_F(RideWithEmulator, ResistanceAssignedWhileRollingGoesOutWithTheNextTick) {
    device.Start();
    ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return device.GetSpeed() > 0; }, 3000));
    device.SetKelvoResistance(40);
    ASSERT_TRUE(RideTicks(1));
    EXPECT_TRUE(AwaitSetPointRequests(40, 1));
}

} // namespace
