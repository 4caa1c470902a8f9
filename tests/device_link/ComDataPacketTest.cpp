#include "device_link/ComDataPacket.h"
#include "device_link/ComLinkHost.h"
#include "device_link/SplitterRecorder.h"

#include <gmock/gmock.h>
#include <stdexcept>

using testing::ElementsAre;
using testing::IsEmpty;

namespace {

class SplitterTest : public testing::Test {
protected:
    TComDataPacket splitter;
    SplitterRecorder recorder{splitter};

    void Feed(std::initializer_list<std::uint8_t> bytes) { splitter.AppendReceived(BytesOf(bytes)); }
};

// ---- Start and stop strings, device framing without size rule ----

TEST_F(SplitterTest, WholeFrameInOneChunk_IsOnePacket) {
    ConfigureAsDevice(splitter, 0);
    Feed({0xF0, 0x01, 0x02, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 02 F7"));
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
}

TEST_F(SplitterTest, FrameInTwoChunks_IsDeliveredAfterTheSecond) {
    ConfigureAsDevice(splitter, 0);
    Feed({0xF0, 0x01});
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_TRUE(splitter.GetInPacket());
    Feed({0x02, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 02 F7"));
}

TEST_F(SplitterTest, TwoFramesInOneChunk_ComeInOrder) {
    ConfigureAsDevice(splitter, 0);
    Feed({0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 F7", "P: F0 02 F7"));
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
}

TEST_F(SplitterTest, BytesBeforeStart_AreDiscardedBeforeThePacket) {
    ConfigureAsDevice(splitter, 0);
    Feed({0xF7, 0x33, 0xF0, 0x01, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("D: F7 33", "P: F0 01 F7"));
}

TEST_F(SplitterTest, EventsFollowBufferOrder_AndTheTailWaitsInsideAPacket) {
    ConfigureAsDevice(splitter, 0);
    Feed({0x41, 0x42, 0xF0, 0x10, 0xF7, 0xF0, 0x20});
    EXPECT_THAT(recorder.events, ElementsAre("D: 41 42", "P: F0 10 F7"));
    EXPECT_EQ(HexText(splitter.GetBuffer()), " F0 20");
    EXPECT_TRUE(splitter.GetInPacket());
}

TEST_F(SplitterTest, SecondStartInsideAPacket_IsAnOrdinaryByte) {
    ConfigureAsDevice(splitter, 0);
    Feed({0xF0, 0x01, 0xF0, 0x02, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 F0 02 F7"));
}

TEST_F(SplitterTest, StopStringIsSearchedOnlyAfterTheStartString) {
    // With start = stop, the stop must not be found at the start string's own position.
    splitter.SetStartString(BytesOf({0x7E}));
    splitter.SetStopString(BytesOf({0x7E}));
    splitter.SetIncludeStrings(true);
    Feed({0x7E, 0x01, 0x02, 0x7E});
    EXPECT_THAT(recorder.events, ElementsAre("P: 7E 01 02 7E"));
}

// ---- Size rule ----

TEST_F(SplitterTest, SizeRuleBeatsAnEarlierStopByte) {
    ConfigureAsDevice(splitter, 6);
    Feed({0xF0, 0x01, 0x02, 0xF7, 0xF0, 0x03, 0x04, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 02 F7 F0 03"));
    EXPECT_EQ(HexText(splitter.GetBuffer()), " 04 F7");
    EXPECT_FALSE(splitter.GetInPacket());
    Feed({0xF0});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 02 F7 F0 03", "D: 04 F7"));
}

TEST_F(SplitterTest, StopByteEndsAPacketShorterThanTheSize) {
    ConfigureAsDevice(splitter, 6);
    Feed({0xF0, 0x01, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 F7"));
}

// ---- Buffer limit ----

TEST_F(SplitterTest, BufferReachingExactlyTheLimit_IsDiscardedWhole) {
    ConfigureAsDevice(splitter, 0);
    splitter.AppendReceived(ByteString(4095, '\x11'));
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_EQ(splitter.GetBuffer().size(), 4095u);
    splitter.AppendReceived(ByteString(1, '\x11'));
    ASSERT_EQ(recorder.events.size(), 1u);
    EXPECT_EQ(recorder.events[0].size(), 2u + 3u * 4096u);
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
    EXPECT_FALSE(splitter.GetInPacket());
}

TEST_F(SplitterTest, PacketsAreCutBeforeTheLimitIsTested) {
    ConfigureAsDevice(splitter, 0);
    splitter.SetMaxBufferSize(8);
    Feed({0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7, 0xF0, 0x03, 0x04});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 F7", "P: F0 02 F7"));
    EXPECT_EQ(HexText(splitter.GetBuffer()), " F0 03 04");
}

TEST_F(SplitterTest, NoLimitWhenMaxBufferSizeIsZero) {
    ConfigureAsDevice(splitter, 0);
    splitter.SetMaxBufferSize(0);
    splitter.AppendReceived(ByteString(10000, '\x11'));
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_EQ(splitter.GetBuffer().size(), 10000u);
}

// ---- Case and markers ----

TEST_F(SplitterTest, CaseInsensitiveMatchesLowerCaseLettersOnly) {
    splitter.SetStartString("A");
    splitter.SetStopString("Z");
    Feed({0x61, 0x01, 0x5A});
    EXPECT_THAT(recorder.events, IsEmpty());
    splitter.SetCaseInsensitive(true); // discards the waiting bytes
    recorder.events.clear();
    Feed({0x61, 0x01, 0x7A});
    EXPECT_THAT(recorder.events, ElementsAre("P: 01"));
}

TEST_F(SplitterTest, MatchFormFoldsOnlyAsciiLowerCase) {
    splitter.SetCaseInsensitive(true);
    EXPECT_EQ(HexText(splitter.MatchForm(BytesOf({0x60, 0x61, 0x7A, 0x7B, 0xE1, 0xF0}))), " 60 41 5A 7B E1 F0");
    splitter.SetCaseInsensitive(false);
    EXPECT_EQ(HexText(splitter.MatchForm(BytesOf({0x61}))), " 61");
}

TEST_F(SplitterTest, ExcludedMarkersAreStripped) {
    ConfigureAsDevice(splitter, 0);
    splitter.SetIncludeStrings(false);
    Feed({0xF0, 0x01, 0x02, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: 01 02"));
}

TEST_F(SplitterTest, OnlyTheFirstStopOccurrenceCountsWhenStripping) {
    ConfigureAsDevice(splitter, 4);
    splitter.SetIncludeStrings(false);
    Feed({0xF0, 0x01, 0xF7, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: 01 F7 F7"));
}

TEST_F(SplitterTest, StrippingAPacketShorterThanTheStopString_KeepsWhatIsLeft) {
    ConfigureAsDevice(splitter, 1);
    splitter.SetIncludeStrings(false);
    Feed({0xF0, 0x01});
    EXPECT_THAT(recorder.events, ElementsAre("P:"));
    EXPECT_EQ(HexText(splitter.GetBuffer()), " 01");

    TComDataPacket twoByteMarkers;
    SplitterRecorder twoByteRecorder{twoByteMarkers};
    twoByteMarkers.SetStartString("AB");
    twoByteMarkers.SetStopString("CD");
    twoByteMarkers.SetSize(3);
    twoByteMarkers.AppendReceived("ABX");
    EXPECT_THAT(twoByteRecorder.events, ElementsAre("P: 58"));
}

// ---- Without an end condition, and without a start string ----

TEST_F(SplitterTest, WithoutEndConditionEveryChunkIsOnePacket) {
    splitter.SetStartString(BytesOf({0xF0}));
    Feed({0x01, 0x02});
    Feed({0xF0, 0x03});
    EXPECT_THAT(recorder.events, ElementsAre("P: 01 02", "P: F0 03"));
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
}

TEST_F(SplitterTest, EmptyStartStringStartsAtTheFirstByte) {
    splitter.SetStopString(BytesOf({0xF7}));
    splitter.SetIncludeStrings(true);
    Feed({0x01, 0x02, 0xF7, 0x03});
    EXPECT_THAT(recorder.events, ElementsAre("P: 01 02 F7"));
    EXPECT_EQ(HexText(splitter.GetBuffer()), " 03");
    EXPECT_TRUE(splitter.GetInPacket());
}

// ---- Custom start and stop ----

TEST_F(SplitterTest, CustomStartZeroNeverStarts_UntilTheLimitDiscards) {
    ConfigureAsDevice(splitter, 0);
    splitter.SetMaxBufferSize(10);
    splitter.OnCustomStart = [](TComponent*, const ByteString&, std::int32_t& pos) { pos = 0; };
    Feed({0xF0, 0x01, 0xF7});
    EXPECT_THAT(recorder.events, IsEmpty());
    Feed({0xF0, 0x01, 0xF7, 0xF0, 0x01, 0xF7, 0x00});
    EXPECT_THAT(recorder.events, ElementsAre("D: F0 01 F7 F0 01 F7 F0 01 F7 00"));
}

TEST_F(SplitterTest, CustomStartMinusOneFallsBackToTheStartString) {
    ConfigureAsDevice(splitter, 0);
    splitter.OnCustomStart = [](TComponent*, const ByteString&, std::int32_t&) {};
    Feed({0x01, 0xF0, 0x02, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("D: 01", "P: F0 02 F7"));
}

TEST_F(SplitterTest, CustomPositionsOverrideStringsAndSize) {
    ConfigureAsDevice(splitter, 6);
    splitter.OnCustomStart = [](TComponent*, const ByteString&, std::int32_t& pos) { pos = 2; };
    splitter.OnCustomStop = [](TComponent*, const ByteString& s, std::int32_t& pos) {
        if (s.size() >= 3) pos = 3;
    };
    Feed({0xAA, 0xBB, 0xCC, 0xDD});
    EXPECT_THAT(recorder.events, ElementsAre("D: AA", "P: BB CC DD"));
}

TEST_F(SplitterTest, CustomStopZeroWaitsEvenWhenSizeIsReached) {
    ConfigureAsDevice(splitter, 6);
    splitter.OnCustomStop = [](TComponent*, const ByteString&, std::int32_t& pos) { pos = 0; };
    Feed({0xF0, 0x01, 0xF7, 0x02, 0x03, 0x04, 0x05, 0xF7});
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_EQ(splitter.GetBuffer().size(), 8u);
}

// ---- Setters ----

TEST_F(SplitterTest, FramingSettersDiscardOnlyOnARealChange) {
    ConfigureAsDevice(splitter, 6);
    Feed({0xF0, 0x01});
    splitter.SetSize(6);
    EXPECT_THAT(recorder.events, IsEmpty());
    splitter.SetSize(0);
    EXPECT_THAT(recorder.events, ElementsAre("D: F0 01"));
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
    EXPECT_FALSE(splitter.GetInPacket());
}

TEST_F(SplitterTest, MaxBufferSizeAndIncludeStringsLeaveTheBufferAlone) {
    ConfigureAsDevice(splitter, 6);
    Feed({0xF0, 0x01});
    splitter.SetMaxBufferSize(2);
    splitter.SetIncludeStrings(false);
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_EQ(splitter.GetBuffer().size(), 2u);
}

TEST_F(SplitterTest, SettersOnlyStoreWhileLoading) {
    ConfigureAsDevice(splitter, 6);
    Feed({0xF0, 0x01});
    splitter.BeginLoading();
    splitter.SetSize(10);
    splitter.EndLoading();
    EXPECT_THAT(recorder.events, IsEmpty());
    EXPECT_EQ(splitter.GetSize(), 10);
}

// ---- Failure handling ----

TEST_F(SplitterTest, ThrowingPacketHandler_LeavesTheRestBufferedForTheNextChunk) {
    ConfigureAsDevice(splitter, 0);
    int packets = 0;
    splitter.OnPacket = [&](TComponent*, const ByteString&) {
        if (++packets == 1) throw std::runtime_error("handler failed");
    };
    EXPECT_THROW(Feed({0xF0, 0x01, 0xF7, 0xF0, 0x02, 0xF7}), std::runtime_error);
    EXPECT_EQ(HexText(splitter.GetBuffer()), " F0 02 F7");
    Feed({});
    EXPECT_EQ(packets, 2);
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
}

TEST_F(SplitterTest, ThrowingDiscardHandler_StillDropsTheBytesBeforeTheStart) {
    ConfigureAsDevice(splitter, 0);
    splitter.OnDiscard = [](TComponent*, const ByteString&) { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(Feed({0x01, 0x02, 0xF0, 0x03}), std::runtime_error);
    EXPECT_EQ(HexText(splitter.GetBuffer()), " F0 03");
    EXPECT_TRUE(splitter.GetInPacket());
}

TEST_F(SplitterTest, ThrowingHandler_StillLetsTheLimitDiscard) {
    ConfigureAsDevice(splitter, 0);
    splitter.SetMaxBufferSize(6);
    bool discarded = false;
    splitter.OnPacket = [](TComponent*, const ByteString&) { throw std::runtime_error("handler failed"); };
    splitter.OnDiscard = [&](TComponent*, const ByteString&) { discarded = true; };
    EXPECT_THROW(Feed({0xF0, 0x01, 0xF7, 0x11, 0x12, 0x13, 0x14, 0x15, 0x16}), std::runtime_error);
    EXPECT_TRUE(discarded);
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
}

TEST_F(SplitterTest, ThrowingHandlerOnDiscardBuffer_StillClears) {
    ConfigureAsDevice(splitter, 6);
    Feed({0xF0, 0x01});
    splitter.OnDiscard = [](TComponent*, const ByteString&) { throw std::runtime_error("handler failed"); };
    EXPECT_THROW(splitter.SetSize(0), std::runtime_error);
    EXPECT_THAT(splitter.GetBuffer(), IsEmpty());
    EXPECT_FALSE(splitter.GetInPacket());
}

TEST_F(SplitterTest, HandlerChangingFramingDiscardsWhatIsStillBuffered) {
    ConfigureAsDevice(splitter, 0);
    splitter.OnPacket = [&](TComponent*, const ByteString& s) {
        recorder.events.push_back("P:" + HexText(s));
        splitter.SetSize(10);
    };
    Feed({0xF0, 0x01, 0xF7, 0xF0, 0x02});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 F7", "D: F0 02"));
}

// ---- The port link ----

class FakePort : public TComLinkHost {
public:
    void Receive(std::initializer_list<std::uint8_t> bytes) {
        const ByteString chunk = BytesOf(bytes);
        ForEachLink([&](TComLink& link) {
            if (link.OnRxBuf) link.OnRxBuf(this, chunk.data(), static_cast<int>(chunk.size()));
        });
    }
};

TEST_F(SplitterTest, ChangingThePortKeepsAHalfReceivedPacket) {
    ConfigureAsDevice(splitter, 0);
    FakePort first;
    FakePort second;
    splitter.SetComPort(&first);
    EXPECT_TRUE(first.HasLink());
    first.Receive({0xF0, 0x01});
    splitter.SetComPort(&second);
    EXPECT_FALSE(first.HasLink());
    second.Receive({0x02, 0xF7});
    EXPECT_THAT(recorder.events, ElementsAre("P: F0 01 02 F7"));
}

TEST_F(SplitterTest, DestroyedPortIsForgotten) {
    auto port = std::make_unique<FakePort>();
    splitter.SetComPort(port.get());
    port.reset();
    EXPECT_EQ(splitter.GetComPort(), nullptr);
    FakePort other;
    splitter.SetComPort(&other);
    EXPECT_TRUE(other.HasLink());
}

TEST(SplitterLifetime, DestroyedSplitterUnregistersItsLink) {
    FakePort port;
    {
        TComDataPacket splitter;
        splitter.SetComPort(&port);
        EXPECT_TRUE(port.HasLink());
    }
    EXPECT_FALSE(port.HasLink());
    port.Receive({0x01}); // nothing left to call
}

TEST(SplitterLifetime, ZeroBytesPassThroughUnchanged) {
    TComDataPacket splitter;
    SplitterRecorder recorder(splitter);
    splitter.SetStopString(BytesOf({0xF7}));
    splitter.SetIncludeStrings(true);
    splitter.AppendReceived(BytesOf({0x00, 0x00, 0xF7}));
    EXPECT_THAT(recorder.events, ElementsAre("P: 00 00 F7"));
}

} // namespace
