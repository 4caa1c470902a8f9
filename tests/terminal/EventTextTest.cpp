#include "terminal/EventText.h"

#include <gtest/gtest.h>

using namespace EventText;

namespace {

TMessageContext Device(double version) {
    TMessageContext context;
    context.Version = version;
    context.RollCount = 1234.56789;
    context.Distance = 0.076;
    context.SerialNumber = 66051;
    context.ProductVersion = 12;
    return context;
}

const ByteString Infos6 = BytesOf({0xF0, 0x01, 0x20, 0x05, 0x00, 0xF7});

// ---- Message lines of both families ----

TEST(KelvoMessageLine, BelowFourAndAHalfRollsAreWholeNumbers) {
    EXPECT_EQ(*KelvoMessageLine(Device(4), mtInfos, 5, 1, 0, Infos6),
              "Rcv>>  F0 01 20 05 00 F7 mtInfos, Rolls: 5, RollCount: 1235, Dist.: 0.08, HR: 1, Cad: 0");
    EXPECT_EQ(*KelvoMessageLine(Device(4), mtRollCount, -1, -1, -1, Infos6),
              "Rcv>>  F0 01 20 05 00 F7 mtRollCount: RollRoundCount: 1235,");
}

TEST(KelvoMessageLine, FromFourAndAHalfRollsKeepFiveDecimals) {
    EXPECT_EQ(*KelvoMessageLine(Device(5), mtInfos, 5.9001, 60, 80.4, Infos6),
              "Rcv>>  F0 01 20 05 00 F7 mtInfos, Rolls: 5.90010, RollCount: 1234.56789, Dist.: 0.08, HR: 60, Cad: 80");
    EXPECT_EQ(*KelvoMessageLine(Device(4.5), mtRollCount, -1, -1, -1, Infos6),
              "Rcv>>  F0 01 20 05 00 F7 mtRollCount: RollRoundCount: 1234.56789,");
}

TEST(KelvoMessageLine, RoundingIsHalfToEven) {
    EXPECT_EQ(*KelvoMessageLine(Device(4), mtInfos, 2.5, 0.5, 1.5, BytesOf({})),
              "Rcv>>  mtInfos, Rolls: 2, RollCount: 1235, Dist.: 0.08, HR: 0, Cad: 2");
}

TEST(KelvoMessageLine, OtherTypesAreTheSameInBothFamilies) {
    for (double version : {4.0, 5.0}) {
        EXPECT_EQ(*KelvoMessageLine(Device(version), MtSerialNumber, -1, -1, -1, Infos6),
                  "Rcv>>  F0 01 20 05 00 F7 MtSerialNumber: 66051");
        EXPECT_EQ(*KelvoMessageLine(Device(version), MtIdentification, 84, -1, -1, Infos6),
                  "Rcv>>  F0 01 20 05 00 F7 MtIdentification");
        EXPECT_EQ(*KelvoMessageLine(Device(version), mtProductVersion, 12, -1, -1, Infos6),
                  "Rcv>>  F0 01 20 05 00 F7 mtProductVersion: 12");
        EXPECT_EQ(*KelvoMessageLine(Device(version), mtAck, -1, -1, -1, Infos6), "Rcv>>mtAck: -------- ACK --------");
        EXPECT_FALSE(KelvoMessageLine(Device(version), 6, -1, -1, -1, Infos6));
    }
}

TEST(KelvoMessageLine, OnlyShortFamilyMeasurementsClearTheTerminal) {
    EXPECT_TRUE(MessageClearsTerminal(4, mtInfos));
    EXPECT_TRUE(MessageClearsTerminal(3, mtInfos));
    EXPECT_FALSE(MessageClearsTerminal(4.5, mtInfos));
    EXPECT_FALSE(MessageClearsTerminal(4, mtRollCount));
}

// ---- Other lines ----

TEST(TerminalLines, DiscardRejectAndEcho) {
    EXPECT_EQ(DiscardedLine(BytesOf({0x41, 0x42})), "*** Discarded:  41 42");
    EXPECT_EQ(RejectedLine(BytesOf({0x01})), "!!! Rejected:  01");
    EXPECT_EQ(RequestEchoLine(BytesOf({0xF0, 0x09, 0x00, 0x00, 0x00, 0xF7}), "9 Request: Product version"),
              "\tTRX <<<   F0 09 00 00 00 F7 9 Request: Product version");
    EXPECT_EQ(ResistanceEchoLine("1 Infos, Resist: 120, Elev: 3"), "\tTRX <<<  1 Infos, Resist: 120, Elev: 3 Resistance");
    EXPECT_EQ(DeviceFoundLine("ttyUSB0"), "Device found on port: ttyUSB0");
}

TEST(TerminalLines, ErrorInfoWithAndWithoutAttempt) {
    EXPECT_EQ(ErrorInfoLine(614, "connection restablished", -1, 40), "614 connection restablished, Resistance: 40");
    EXPECT_EQ(ErrorInfoLine(720, "connection lost, trying to reconnect", 3, 0),
              "720: connection lost, trying to reconnect, #attempt: 3, Resistance: 0");
}

TEST(TerminalLines, ConsoleKeys) {
    EXPECT_EQ(*ConsoleKeyLine(ckPlus), "ckPlus pressed");
    EXPECT_EQ(*ConsoleKeyLine(ckMinus), "ckMinus pressed");
    EXPECT_EQ(*ConsoleKeyLine(ckEnter), "ckEnter pressed");
    EXPECT_EQ(*ConsoleKeyLine(ckTab), "ckTab pressed");
    EXPECT_FALSE(ConsoleKeyLine(4));
}

// ---- Statistics labels ----

TStatsContext Stats(double version) {
    TStatsContext stats;
    stats.Version = version;
    stats.LapEventCount = 30;
    stats.ElapsedTime = 3723000; // 1 h 2 min 3 s
    stats.MessageCount = 37230;
    stats.RollCount = 147.388283;
    stats.Distance = 0.0208;
    stats.Speed = 25.04;
    stats.LapDistance = 0.00694;
    stats.LapTime = 1000;
    stats.AverageSpeed = 25.0094;
    stats.Cadence = 80;
    stats.AverageCadence = 79;
    stats.HeartRate = 120;
    stats.AverageHeartRate = 118;
    return stats;
}

TEST(StatsLabels, TextsOfEveryLabel) {
    EXPECT_EQ(LabelTimeText(Stats(5)), "Events count: 30 in ms 3723000, avg per Sec: 10, Elapsed time: 01:02:03");
    EXPECT_EQ(LabelDistanceText(Stats(5)), "Rolls count: 147.38828 Total distance: 0.021 kms");
    EXPECT_EQ(LabelDistanceText(Stats(4)), "Rolls count: 147 Total distance: 0.021 kms");
    // 6.94 m in one second.
    EXPECT_EQ(LabelSpeedText(Stats(5)), "Speed: 25.0 Km/h, 6.94 m/s, Speed AVG: 25.009 km/h");
    EXPECT_EQ(LabelCadenceText(Stats(5)), "Cadence: 80, Cadence Avg: 79");
    EXPECT_EQ(LabelHeartText(Stats(5)), "Heart: 120, Heart Average: 118");
}

TEST(StatsLabels, PowerAndEnergyOfTheMonitorLine) {
    TStatsContext stats = Stats(5);
    stats.Power = 142;
    stats.Energy = 2;
    EXPECT_EQ(PowerEnergyText(stats), "Power: 142 W, Energy: 2");
}

TEST(StatsLabels, NoRateBeforeTimePassesAndHoursGoOnPastADay) {
    TStatsContext stats = Stats(5);
    stats.ElapsedTime = 0;
    EXPECT_EQ(LabelTimeText(stats), "Events count: 30 in ms 0, avg per Sec: 0, Elapsed time: 00:00:00");
    EXPECT_EQ(ElapsedTimeText(90061000), "25:01:01");
}

TEST(StatsLabels, MetresPerSecondOfTheLapInEitherUnitAndNoneBeforeTimePasses) {
    TStatsContext stats = Stats(5);
    stats.LapDistance = 0.005; // miles: 8.045 m in half a second
    stats.LapTime = 500;
    stats.UnitMeasure = umMiles;
    EXPECT_DOUBLE_EQ(static_cast<double>(LapMetresPerSecond(stats)), 16.09);
    stats.UnitMeasure = umKm; // 5 m in half a second
    EXPECT_DOUBLE_EQ(static_cast<double>(LapMetresPerSecond(stats)), 10);
    stats.LapTime = 0;
    EXPECT_EQ(LapMetresPerSecond(stats), 0);
}

TEST(Numbers, FixedPadsAndKeepsDecimals) {
    EXPECT_EQ(Fixed(3.14159, 2), "3.14");
    EXPECT_EQ(Fixed(5, 5, 2), "5.00000");
    EXPECT_EQ(Fixed(0.5, 1, 5), "  0.5");
    EXPECT_EQ(Round(2.5), 2);
    EXPECT_EQ(Round(3.5), 4);
    EXPECT_EQ(Round(-2.5), -2);
}

} // namespace
