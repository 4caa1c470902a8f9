#include "monitor/MonitorCommand.h"

#include "device/KelvoDevice.h"

#include <gmock/gmock.h>

#include <stdexcept>

using testing::HasSubstr;

namespace {

std::string ErrorOf(const std::string& line) {
    try {
        ParseMonitorCommand(line);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "accepted";
}

TEST(MonitorCommand, EachCommandReachesItsProperty) {
    TKelvoDevice device;
    device.SetSecurityActive(false);
    ApplyMonitorCommand(device, ParseMonitorCommand("resistance 120"));
    ApplyMonitorCommand(device, ParseMonitorCommand("  elevation   5000 "));
    ApplyMonitorCommand(device, ParseMonitorCommand("slope -2.5"));
    ApplyMonitorCommand(device, ParseMonitorCommand("weight 72.5"));
    EXPECT_EQ(device.GetKelvoResistance(), 120);
    EXPECT_EQ(device.GetCurrentElevation(), 5000);
    EXPECT_EQ(device.GetKelvoElevation(), 128);
    EXPECT_EQ(device.GetCurrentSlope(), -2.5L);
    EXPECT_EQ(device.GetRiderWeight(), 72.5L);
    EXPECT_EQ(ParseMonitorCommand(" quality ").Kind, TMonitorCommandKind::mcQuality);
    EXPECT_EQ(ParseMonitorCommand("quality-reset").Kind, TMonitorCommandKind::mcResetQuality);
}

TEST(MonitorCommand, BadLinesSayWhatIsWrong) {
    EXPECT_THAT(ErrorOf("speed 3"), HasSubstr("unknown command 'speed'"));
    EXPECT_THAT(ErrorOf("resistance"), HasSubstr("usage: resistance N"));
    EXPECT_THAT(ErrorOf("resistance 1 2"), HasSubstr("usage: resistance N"));
    EXPECT_THAT(ErrorOf("resistance 256"), HasSubstr("outside 0 to 255"));
    EXPECT_THAT(ErrorOf("resistance 2.5"), HasSubstr("not a whole number"));
    EXPECT_THAT(ErrorOf("slope x"), HasSubstr("'x' is not a number"));
    EXPECT_THAT(ErrorOf("quality 3"), HasSubstr("usage: quality"));
}

} // namespace
