#include "monitor/MonitorOptions.h"

#include <gmock/gmock.h>

#include <stdexcept>

using testing::HasSubstr;

namespace {

TMonitorOptions Parsed(const QStringList& arguments) { return MonitorOptions::Parse(arguments); }

std::string RefusalOf(const QStringList& arguments) {
    try {
        Parsed(arguments);
    } catch (const std::invalid_argument& error) {
        return error.what();
    }
    return "accepted";
}

bool SameBoxes(const TOptionBoxes& a, const TOptionBoxes& b) {
    return a.WriteToMemo == b.WriteToMemo && a.MantConsoleActive == b.MantConsoleActive &&
           a.EnableConSurvey == b.EnableConSurvey && a.HrFilter2Active == b.HrFilter2Active &&
           a.Security == b.Security && a.EnableOrientation == b.EnableOrientation;
}

// The monitor shows what the window shows only while its boxes start as the window's.
TEST(MonitorOptions, TheBoxesStartAsTheWindowsAndEachFlagUnchecksItsOwnBoxOnly) {
    EXPECT_TRUE(SameBoxes(Parsed({"/dev/ttyUSB0"}).Boxes, TOptionBoxes{}));
    for (const auto& [flag, box] : {std::pair{"--no-survey", &TOptionBoxes::EnableConSurvey},
                                    std::pair{"--no-hr-filter2", &TOptionBoxes::HrFilter2Active},
                                    std::pair{"--no-security", &TOptionBoxes::Security}}) {
        TOptionBoxes expected;
        expected.*box = false;
        EXPECT_TRUE(SameBoxes(Parsed({flag, "/dev/ttyUSB0"}).Boxes, expected)) << flag;
        EXPECT_THAT(MonitorOptions::Usage(), HasSubstr(flag));
    }
}

TEST(MonitorOptions, ABadArgumentIsNamedWithWhatIsWrong) {
    EXPECT_THAT(RefusalOf({"--no-heart", "p"}), HasSubstr("unknown option --no-heart"));
    EXPECT_THAT(RefusalOf({"--seconds", "x", "p"}), HasSubstr("--seconds"));
    EXPECT_THAT(RefusalOf({"a", "b"}), HasSubstr("a second port 'b'"));
    EXPECT_THAT(RefusalOf({"--decode", "f.capture", "p"}), HasSubstr("--decode plays a capture without a port"));
    EXPECT_EQ(RefusalOf({"--no-hr-filter2", "--decode", "f.capture"}), "accepted");
}

} // namespace
