#include "device/KelvoProtocol.h"

#include <cmath>
#include <gtest/gtest.h>
#include <numbers>

using namespace KelvoProtocol;

namespace {

ByteString LongInfos(std::uint16_t roll, std::uint16_t cadence, std::uint16_t heart) {
    return BytesOf({0xF0, 0x01, 0x00, static_cast<std::uint8_t>(roll >> 8), static_cast<std::uint8_t>(roll),
                    static_cast<std::uint8_t>(cadence >> 8), static_cast<std::uint8_t>(cadence),
                    static_cast<std::uint8_t>(heart >> 8), static_cast<std::uint8_t>(heart), 0xF7});
}

// ---- Requests ----

TEST(BuildRequest, IdentificationAlwaysCarriesZeroAsB) {
    EXPECT_EQ(HexText(BuildRequest(rqIdentification, 0x28, 7)), " F0 08 28 00 00 F7");
}

TEST(BuildRequest, OnlyLowBytesOfTheArgumentsAreSent) {
    EXPECT_EQ(HexText(BuildRequest(rqSetPoints, 300, 5)), " F0 01 2C 05 00 F7");
    EXPECT_EQ(HexText(BuildRequest(rqSetPoints, -1, -2)), " F0 01 FF FE 00 F7");
    EXPECT_EQ(HexText(BuildRequest(0x0103, 0, 0)), " F0 03 00 00 00 F7");
}

TEST(BuildRequest, PauseOnAndOff) {
    EXPECT_EQ(HexText(BuildRequest(rqPauseConsole, 1, 0)), " F0 07 01 00 00 F7");
    EXPECT_EQ(HexText(BuildRequest(rqPauseConsole, 0, 0)), " F0 07 00 00 00 F7");
}

TEST(RequestLogText, TextsOfEveryType) {
    EXPECT_EQ(RequestLogText(1, 120, 3), "1 Infos, Resist: 120, Elev: 3");
    EXPECT_EQ(RequestLogText(1, 65535, 0), "1 Infos, Resist: 65535, Elev: 0");
    EXPECT_EQ(RequestLogText(2, 0, 0), "2 Request: Total roll count");
    EXPECT_EQ(RequestLogText(3, 0, 0), "3 Request: Serial number");
    EXPECT_EQ(RequestLogText(4, 0, 0), "4 Request: reset the total and partial roller turns");
    EXPECT_EQ(RequestLogText(6, 0, 0), "6 Request: Reset Console");
    EXPECT_EQ(RequestLogText(7, 1, 0), "7 Request: Pause console");
    EXPECT_EQ(RequestLogText(8, 0x28, 0), "8 Request: Identification");
    EXPECT_EQ(RequestLogText(9, 0, 0), "9 Request: Product version");
    EXPECT_EQ(RequestLogText(0, 0, 0), "");
    EXPECT_EQ(RequestLogText(5, 0, 0), "");
    EXPECT_EQ(RequestLogText(10, 0, 0), "");
}

// ---- Long infos periods ----

TEST(LongInfos, RollPeriodBoundaries) {
    EXPECT_EQ(LongRollValue(LongInfos(0, 0, 0)), 0.0L);
    EXPECT_EQ(LongRollValue(LongInfos(0xFFFF, 0, 0)), 0.0L);
    EXPECT_EQ(LongRollValue(LongInfos(1, 0, 0)), 125000.0L / 33.0L);
    EXPECT_NEAR(static_cast<double>(LongRollValue(LongInfos(3789, 0, 0))), 0.99970, 0.00001);
    EXPECT_EQ(LongRollValue(LongInfos(0xFFFE, 0, 0)), 125000.0L / 33.0L / 65534.0L);
}

TEST(LongInfos, CadencePeriodBoundaries) {
    EXPECT_EQ(LongCadence(LongInfos(0, 0, 0)), 0.0);
    EXPECT_EQ(LongCadence(LongInfos(0, 1, 0)), 0.0);
    EXPECT_EQ(LongCadence(LongInfos(0, 200, 0)), 0.0);
    EXPECT_NEAR(LongCadence(LongInfos(0, 201, 0)), 298.507, 0.001);
    EXPECT_EQ(LongCadence(LongInfos(0, 0xFFFF, 0)), 0.0);
    EXPECT_EQ(LongCadence(LongInfos(0, 1000, 0)), 60.0);
}

TEST(LongInfos, HeartPeriodBoundaries) {
    EXPECT_EQ(LongHeartRate(LongInfos(0, 0, 0)), 0.0);
    EXPECT_EQ(LongHeartRate(LongInfos(0, 0, 1)), 60000.0);
    EXPECT_EQ(LongHeartRate(LongInfos(0, 0, 200)), 300.0);
    EXPECT_EQ(LongHeartRate(LongInfos(0, 0, 1000)), 60.0);
    EXPECT_EQ(LongHeartRate(LongInfos(0, 0, 0xFFFF)), 0.0);
}

// ---- Short frames and status bytes ----

TEST(ShortInfos, RollEventsAreByteThree) {
    EXPECT_EQ(ShortRollValue(BytesOf({0xF0, 0x01, 0x00, 0xFF, 0x00, 0xF7})), 255.0L);
    EXPECT_EQ(ShortRollValue(BytesOf({0xF0, 0x01, 0x00, 0x00, 0x00, 0xF7})), 0.0L);
}

TEST(ShortInfos, FrameCutShortIsNeverReadPastItsEnd) {
    const ByteString cut = BytesOf({0xF0, 0x02, 0xF7});
    EXPECT_EQ(ShortRollValue(cut), 0.0L);
    EXPECT_EQ(CounterValue(cut), 0xF70000u);
    EXPECT_EQ(LongHeartRate(cut), 0.0);
    EXPECT_EQ(FrameByte(cut, 3), 0);
}

TEST(StatusByte, ImpulseBits) {
    EXPECT_EQ(CadenceImpulse(0x10), 1.0);
    EXPECT_EQ(HeartImpulse(0x20), 1.0);
    EXPECT_EQ(RollImpulse(0x40), 1.0);
    EXPECT_EQ(CadenceImpulse(0xEF), 0.0);
    EXPECT_EQ(HeartImpulse(0xDF), 0.0);
    EXPECT_EQ(RollImpulse(0xBF), 0.0);
}

TEST(StatusByte, OnlyTheLowestKeyBitCounts) {
    EXPECT_EQ(ConsoleKeyOfStatus(0x05), 0);
    EXPECT_EQ(ConsoleKeyOfStatus(0x02), 1);
    EXPECT_EQ(ConsoleKeyOfStatus(0x0C), 2);
    EXPECT_EQ(ConsoleKeyOfStatus(0x08), 3);
    EXPECT_EQ(ConsoleKeyOfStatus(0xF0), std::nullopt);
}

// ---- Counters, orientation, identification ----

TEST(Counters, TwentyFourBitBigEndian) {
    EXPECT_EQ(CounterValue(BytesOf({0xF0, 0x02, 0x01, 0x02, 0x03, 0xF7})), 66051u);
    EXPECT_EQ(CounterValue(BytesOf({0xF0, 0x02, 0x00, 0x00, 0x00, 0xF7})), 0u);
    EXPECT_EQ(CounterValue(BytesOf({0xF0, 0x03, 0xFF, 0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00, 0xF7})), 0xFFFFFFu);
}

TEST(Orientation, AngleOfThePointYX) {
    EXPECT_EQ(Orientation(0x10, 0x00), 0.0);
    EXPECT_DOUBLE_EQ(Orientation(0x00, 0xFF), 180.0);
    EXPECT_DOUBLE_EQ(Orientation(0xFF, 0xFF), -135.0);
    EXPECT_DOUBLE_EQ(Orientation(0x01, 0x01), 45.0);
    EXPECT_DOUBLE_EQ(Orientation(0xFF, 0x01), -45.0);
    EXPECT_DOUBLE_EQ(Orientation(0x01, 0xFF), 135.0);
    EXPECT_DOUBLE_EQ(Orientation(0x80, 0x7F), std::atan(-128.0 / 127.0) * 180.0 / std::numbers::pi);
}

TEST(Identification, AnswerTable) {
    EXPECT_EQ(VersionOfIdentificationAnswer(0x50), 4.0);
    EXPECT_EQ(VersionOfIdentificationAnswer(0x55), 4.5);
    EXPECT_EQ(VersionOfIdentificationAnswer(0x54), 5.0);
    EXPECT_EQ(VersionOfIdentificationAnswer(0x5A), 5.5);
    EXPECT_EQ(VersionOfIdentificationAnswer(0x58), 6.0);
    EXPECT_EQ(VersionOfIdentificationAnswer(0x5C), 7.0);
    EXPECT_EQ(VersionOfIdentificationAnswer(0x51), std::nullopt);
    EXPECT_EQ(ProductVersion(BytesOf({0xF0, 0x09, 0x0C, 0x00, 0x00, 0xF7})), 12);
}

// ---- Acceptance and families ----

TEST(Acceptance, OnlyFramedLengthsWithoutStartByteAreRejected) {
    EXPECT_TRUE(IsRejectedFrame(BytesOf({0x01, 0x02, 0x03, 0x04, 0x05, 0x06})));
    EXPECT_FALSE(IsRejectedFrame(BytesOf({0xF0, 0x02, 0x00, 0x00, 0x01, 0x00})));
    EXPECT_TRUE(IsRejectedFrame(ByteString(10, '\x01')));
    EXPECT_FALSE(IsRejectedFrame(BytesOf({0x01, 0x02, 0xF7})));
    EXPECT_FALSE(IsRejectedFrame(ByteString(7, '\x01')));
}

TEST(Families, VersionSelectsTheFamily) {
    EXPECT_EQ(FamilyOfVersion(0.5), TProtocolFamily::ByteStream);
    EXPECT_EQ(FamilyOfVersion(3), TProtocolFamily::ByteStream);
    EXPECT_EQ(FamilyOfVersion(3.5), TProtocolFamily::ByteStream);
    EXPECT_EQ(FamilyOfVersion(4), TProtocolFamily::ShortFrames);
    EXPECT_EQ(FamilyOfVersion(4.5), TProtocolFamily::LongFrames);
    EXPECT_EQ(FamilyOfVersion(7), TProtocolFamily::LongFrames);
}

} // namespace
