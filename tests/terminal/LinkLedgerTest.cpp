#include "terminal/LinkLedger.h"

#include "device_link/ManualClock.h"
#include "terminal/GapHistogram.h"
#include "terminal/TerminalSession.h"

#include <gmock/gmock.h>

using testing::Contains;
using testing::HasSubstr;

namespace {

// ---- Gap histogram ----

TEST(GapHistogram, PercentilesAreExactBelowFourSecondsAndNearestRank) {
    TGapHistogram gaps;
    EXPECT_EQ(gaps.Percentile(50), 0u);
    for (std::uint32_t gap = 1; gap <= 100; ++gap)
        gaps.Add(gap); // 1..100 ms, once each
    EXPECT_EQ(gaps.GetCount(), 100u);
    EXPECT_EQ(gaps.Percentile(50), 50u);
    EXPECT_EQ(gaps.Percentile(99), 99u);
    EXPECT_EQ(gaps.Percentile(100), 100u);
    EXPECT_EQ(gaps.GetLargest(), 100u);
}

TEST(GapHistogram, LongGapsLandInTheirBinAndNeverAboveTheLargest) {
    TGapHistogram gaps;
    gaps.Add(5000);
    // 5000 ms lies in the bin 4992..5055 (64 ms wide between 4096 and 8191): the end of the bin
    // is clamped to the largest gap seen.
    EXPECT_EQ(gaps.Percentile(50), 5000u);
    gaps.Add(7000);
    gaps.Add(0xFFFFFFFFu);
    EXPECT_EQ(gaps.Percentile(50), 7039u); // bin 6976..7039
    EXPECT_EQ(gaps.Percentile(99), 0xFFFFFFFFu);
    gaps.Clear();
    EXPECT_EQ(gaps.GetCount(), 0u);
    EXPECT_EQ(gaps.GetLargest(), 0u);
}

// ---- Ledger ----

class LinkLedgerTest : public testing::Test {
protected:
    TManualClock clock{0xFFFFF000u}; // the tick counter wraps during the tests
    TLinkLedger ledger;

    void InfosEvery(std::uint32_t ms, int count) {
        for (int i = 0; i < count; ++i) {
            clock.Advance(ms);
            ledger.MessageTaken(mtInfos, TickCount());
        }
    }
};

TEST_F(LinkLedgerTest, CountsRatesAndGapsPerTypeExactToTheMillisecond) {
    ledger.MessageTaken(mtInfos, TickCount());
    InfosEvery(100, 99);
    InfosEvery(250, 1);
    clock.Advance(100);
    ledger.MessageTaken(MtIdentification, TickCount());
    const TLinkLedger::TRow& infos = ledger.Row(mtInfos);
    EXPECT_EQ(infos.Count, 101u);
    EXPECT_EQ(infos.Gaps.GetCount(), 100u);
    EXPECT_EQ(infos.Gaps.Percentile(50), 100u);
    EXPECT_EQ(infos.Gaps.Percentile(99), 100u);
    EXPECT_EQ(infos.Gaps.GetLargest(), 250u);
    EXPECT_EQ(ledger.Row(MtIdentification).Gaps.GetCount(), 0u);
    // 101 infos over 99 * 100 + 250 + 100 ms.
    EXPECT_DOUBLE_EQ(ledger.Rate(mtInfos), 101 * 1000.0 / 10250);
    EXPECT_EQ(ledger.GetLongestSilenceMs(), 250u);
}

TEST_F(LinkLedgerTest, SilenceSpansAllTypesAndRejectedFramesBreakIt) {
    ledger.MessageTaken(mtInfos, TickCount());
    clock.Advance(3000);
    ledger.FrameRejected(TickCount());
    clock.Advance(6612);
    ledger.MessageTaken(mtAck, TickCount());
    clock.Advance(40);
    EXPECT_EQ(ledger.Row(TLinkLedger::RejectedRow).Count, 1u);
    EXPECT_EQ(ledger.GetLongestSilenceMs(), 6612u);
    EXPECT_EQ(ledger.QuietMs(), 40u);
}

TEST_F(LinkLedgerTest, TheSilenceSinceTheLastMessageCountsAsOne) {
    InfosEvery(100, 3);
    clock.Advance(14526); // a hang-up that no message ends
    EXPECT_EQ(ledger.GetLongestSilenceMs(), 14526u);
    EXPECT_THAT(ledger.ReportLines(0), Contains("silences=0 longest=14526 ms quiet=14526 ms"));
}

TEST_F(LinkLedgerTest, EveryByteIsAccountedForAcrossAReset) {
    ledger.BytesRead(30);
    ledger.PacketCut(10);
    ledger.BytesDiscarded(12);
    EXPECT_TRUE(ledger.AccountingCloses(8));
    EXPECT_FALSE(ledger.AccountingCloses(7));
    // The port reopens with 8 bytes still in the splitter; they are discarded afterwards.
    ledger.Reset(8);
    ledger.BytesRead(10);
    ledger.PacketCut(10);
    ledger.BytesDiscarded(8);
    EXPECT_EQ(ledger.GetBytesRead(), 10u);
    EXPECT_EQ(ledger.GetPackets(), 1u);
    EXPECT_TRUE(ledger.AccountingCloses(0));
    EXPECT_THAT(ledger.ReportLines(0),
                Contains("bytes read=10 packets=10 discarded=8 buffered=0 carried=8 (all accounted for)"));
}

TEST_F(LinkLedgerTest, RepairsKeepTheirLengthAttemptsAndOutcome) {
    ledger.SurveyReport(720, 1); // a silence: the repair begins
    clock.Advance(400);
    ledger.SurveyReport(710, -1);
    ledger.SurveyReport(720, 2);
    clock.Advance(312);
    ledger.SurveyReport(611, -1);
    ledger.SurveyReport(614, -1);
    clock.Advance(1000);
    ledger.MessageTaken(mtInfos, TickCount()); // the console is back 1712 ms after the repair began
    ledger.MessageTaken(mtInfos, TickCount());
    clock.Advance(4000);
    ledger.SurveyReport(720, 1);
    clock.Advance(900);
    EXPECT_EQ(ledger.Repairs().back().DurationMs, 900u); // still running
    ledger.SurveyReport(711, 1);
    ledger.SurveyReport(614, -1); // nothing runs any more: ignored

    EXPECT_EQ(ledger.GetSilences(), 2u);
    EXPECT_EQ(ledger.GetRepaired(), 1u);
    EXPECT_EQ(ledger.GetGivenUp(), 1u);
    EXPECT_EQ(ledger.GetReopenFailures(), 1u);
    EXPECT_EQ(ledger.GetLongestRepairMs(), 900u);
    const std::vector<TLinkLedger::TRepair> repairs = ledger.Repairs();
    ASSERT_EQ(repairs.size(), 2u);
    EXPECT_EQ(repairs[0].StartMs, 0u);
    EXPECT_EQ(repairs[0].DurationMs, 712u);
    EXPECT_EQ(repairs[0].Attempts, 2);
    EXPECT_EQ(repairs[0].Outcome, TLinkLedger::roRepaired);
    EXPECT_EQ(repairs[0].MessageAfterMs, 1712u);
    EXPECT_FALSE(repairs[1].MessageAfterMs);
    EXPECT_EQ(repairs[1].StartMs, 5712u);
    EXPECT_EQ(repairs[1].Outcome, TLinkLedger::roGivenUp);
    const std::vector<std::string> lines = ledger.ReportLines(0);
    EXPECT_THAT(lines,
                Contains("repair at 0.000 s: repaired, 712 ms, 2 attempts, first message after 1712 ms"));
    EXPECT_THAT(lines, Contains("repair at 5.712 s: given up, 900 ms, 1 attempt"));
}

TEST_F(LinkLedgerTest, AGivenUpRepairCountsTheAttemptsMadeNotTheOneAnnouncedAtTheLimit_AndSaysWhyEachReopenFailed) {
    ledger.SurveyReport(720, 1);
    for (const char* reason : {"A", "B", "C", "D"}) {
        ledger.SurveyReport(710, -1);
        ledger.ReopenFailed(reason);
    }
    ledger.SurveyReport(720, 2);
    ledger.SurveyReport(720, 3); // announced, never made: the survey gives up at once
    ledger.SurveyReport(711, 2);
    ledger.ReopenFailed("after the repair: nowhere to keep it");
    EXPECT_EQ(ledger.GetReopenFailures(), 4u);
    EXPECT_THAT(ledger.ReportLines(0),
                Contains("repair at 0.000 s: given up, 0 ms, 2 attempts, 4 reopens failed (the last 3): B: C: D"));
}

TEST_F(LinkLedgerTest, MemoryStaysBoundedOverANightOfRepairs) {
    for (int i = 0; i < 1000; ++i) {
        ledger.SurveyReport(720, 1);
        clock.Advance(i);
        ledger.SurveyReport(614, -1);
    }
    EXPECT_EQ(ledger.GetSilences(), 1000u);
    EXPECT_EQ(ledger.Repairs().size(), TLinkLedger::KeptRepairs);
    EXPECT_EQ(ledger.Repairs().back().DurationMs, 999u);
    EXPECT_EQ(ledger.GetLongestRepairMs(), 999u);
}

TEST_F(LinkLedgerTest, ResetStartsEveryFigureAgain) {
    InfosEvery(100, 5);
    ledger.SurveyReport(720, 1);
    ledger.Reset();
    clock.Advance(100);
    ledger.MessageTaken(mtInfos, TickCount());
    EXPECT_EQ(ledger.Row(mtInfos).Count, 1u);
    EXPECT_EQ(ledger.Row(mtInfos).Gaps.GetCount(), 0u);
    EXPECT_EQ(ledger.GetSilences(), 0u);
    EXPECT_TRUE(ledger.Repairs().empty());
    EXPECT_EQ(ledger.GetElapsedMs(), 100u);
    EXPECT_THAT(ledger.ReportLines(0), Contains(HasSubstr("mtInfos count=1 rate=10.00/s")));
}

TEST_F(LinkLedgerTest, AClosedPortStopsTheFiguresUntilTheNextReset) {
    InfosEvery(100, 10);
    ledger.SurveyReport(720, 1);
    clock.Advance(500);
    ledger.PortClosed();
    clock.Advance(60000);
    EXPECT_EQ(ledger.GetElapsedMs(), 1500u);
    EXPECT_DOUBLE_EQ(ledger.Rate(mtInfos), 10 * 1000.0 / 1500);
    EXPECT_EQ(ledger.QuietMs(), 500u);
    EXPECT_EQ(ledger.Repairs().back().DurationMs, 500u); // cut short by the close
    EXPECT_EQ(ledger.ReportLines(0).front(), "link quality over 1.500 s since the port opened, until it closed");
    ledger.Reset();
    clock.Advance(100);
    EXPECT_EQ(ledger.GetElapsedMs(), 100u);
}

// ---- Fed by the session ----

struct LinkLedgerInShortFrames : testing::Test {
    LinkLedgerInShortFrames() { device.SetVersion(4); }
    TManualClock clock{1000};
    TTerminalSession session;
    TKelvoDevice& device = session.Device();
    TComDataPacket& splitter = *device.GetDataPacket();
};

TEST_F(LinkLedgerInShortFrames, TheSessionsHandlersFeedTheLedger) {
    // The chunk that follows the garbage byte holds a whole frame and the start of the next one.
    splitter.AppendReceived(BytesOf({0x33, 0xF0, 0x05, 0, 0, 0, 0xF7, 0xF0, 0x05}));
    clock.Advance(100);
    splitter.AppendReceived(BytesOf({0, 0, 0, 0xF7}));
    device.ParseMessage(BytesOf({0x01, 0x02, 0x03, 0x04, 0x05, 0x06}));
    device.DoErrorInfo(ketConnecting, 720, 1);

    const TLinkLedger& ledger = session.Ledger();
    EXPECT_EQ(ledger.GetBytesDiscarded(), 1u);
    EXPECT_EQ(ledger.GetPackets(), 2u);
    EXPECT_EQ(ledger.GetBytesInPackets(), 12u);
    EXPECT_EQ(ledger.Row(mtAck).Count, 2u);
    EXPECT_EQ(ledger.Row(mtAck).Gaps.GetLargest(), 100u);
    EXPECT_EQ(ledger.Row(TLinkLedger::RejectedRow).Count, 1u);
    EXPECT_EQ(ledger.GetSilences(), 1u);
    EXPECT_THAT(session.LinkQualityLines(), Contains(HasSubstr("buffered=0")));
}

TEST_F(LinkLedgerInShortFrames, AUserResetCarriesTheBufferedBytesAndStaysStoppedOnlyWithoutAConnection) {
    splitter.AppendReceived(BytesOf({0xF0, 0x05, 0})); // a frame's start waits in the splitter
    session.ResetLedger();
    splitter.AppendReceived(BytesOf({0, 0, 0xF7}));
    const TLinkLedger& ledger = session.Ledger();
    EXPECT_EQ(ledger.GetBytesCarried(), 3u);
    EXPECT_EQ(ledger.GetBytesInPackets(), 6u);
    EXPECT_EQ(ledger.Row(mtAck).Count, 1u);
    clock.Advance(500);
    EXPECT_EQ(ledger.GetElapsedMs(), 0u);
    EXPECT_EQ(session.LinkQualityLines().front(), "link quality over 0.000 s since the reset, until it closed");
    // Between a repair's attempts the port is closed and the device still connected.
    device.SetConnected(true);
    session.ResetLedger();
    clock.Advance(300);
    EXPECT_EQ(ledger.GetElapsedMs(), 300u);
}

TEST(LinkLedgerInSession, ThePortsCloseAndADisconnectionWithThePortGoneStopTheLedger) {
    TManualClock clock{1000};
    TTerminalSession session;
    TKelvoDevice& device = session.Device();
    clock.Advance(2000);
    device.OnComPortAfterClose(&device);
    clock.Advance(5000);
    EXPECT_EQ(session.Ledger().GetElapsedMs(), 2000u);

    session.Ledger().Reset();
    clock.Advance(300);
    device.OnDisconnected(&device); // a repair given up: the port did not reopen
    clock.Advance(5000);
    EXPECT_EQ(session.Ledger().GetElapsedMs(), 300u);
}

} // namespace
