#include "ConsoleTestSupport.h"

#include <gtest/gtest.h>

#include <cmath>
#include <tuple>

namespace {

constexpr double RollConstant = 125000.0 / 33.0;

std::uint32_t Field16(const ByteString& frame, std::size_t first) { return ByteAt(frame, first) * 256u + ByteAt(frame, first + 1); }

// Decoded as the terminal must: roll value 125000/33/p events in 100 ms, each event the
// version's distance per roll event (0.1414 m for versions 5 and 6).
double LongFrameSpeed(const ByteString& frame, double metresPerEvent) {
    return metresPerEvent * RollConstant / Field16(frame, 3) * 36;
}

// ---- Handshake ----

class Handshake : public testing::TestWithParam<std::tuple<double, std::string>> {};

TEST_P(Handshake, IdentificationIsAnsweredWithTheVersionsAnswerAndStreamingFollows) {
    const auto [version, answer] = GetParam();
    TConsoleBench bench(Settings(version));
    EXPECT_EQ(bench.Pc->ReadFor(150), "") << "a console says nothing before the handshake";
    EXPECT_EQ(HexText(bench.Identify()), answer);
    if (version < 4) {
        EXPECT_EQ(bench.Pc->Read(1).size(), 1u);
    } else {
        const ByteString frame = bench.Pc->Read(version == 4 ? 6 : 10);
        EXPECT_EQ(ByteAt(frame, 0), 0xF0);
        EXPECT_EQ(ByteAt(frame, 1), 0x01);
        EXPECT_EQ(ByteAt(frame, frame.size() - 1), 0xF7);
    }
}

INSTANTIATE_TEST_SUITE_P(EveryVersion, Handshake,
                         testing::Values(std::make_tuple(1.0, " 50"), std::make_tuple(2.0, " 50"),
                                         std::make_tuple(3.0, " 50"), std::make_tuple(4.0, " F0 08 50 00 00 F7"),
                                         std::make_tuple(4.5, " F0 08 55 00 00 F7"),
                                         std::make_tuple(5.0, " F0 08 54 00 00 F7"),
                                         std::make_tuple(5.5, " F0 08 5A 00 00 F7"),
                                         std::make_tuple(6.0, " F0 08 58 00 00 F7"),
                                         std::make_tuple(7.0, " F0 08 5C 00 00 F7")));

TEST(ConsoleHandshake, RequestsBeforeTheHandshakeAreNotAnswered) {
    TConsoleBench bench(Settings(5));
    bench.Pc->Send(Hex("F0 09 00 00 00 F7 F0 02 00 00 00 F7"));
    EXPECT_EQ(bench.Pc->ReadFor(150), "");
}

// ---- Streams ----

TEST(ConsoleStream, LongInfosCarryRollCadenceAndHeartPeriodsTenTimesASecond) {
    TConsoleSettings settings = Settings(5, 30);
    settings.Cadence = 80;
    settings.Heart = 120;
    TConsoleBench bench(settings);
    bench.Identify();
    const ByteString first = bench.Pc->Read(10);
    const double start = SteadyMs();
    const ByteString tenMore = bench.Pc->Read(100, 3000);
    const double elapsed = SteadyMs() - start;
    ASSERT_EQ(tenMore.size(), 100u);
    EXPECT_NEAR(elapsed, 1000, 150);
    // 60000 / 80 rpm = 750 ms; 60000 / 120 bpm = 500 ms, give or take the beat's 2 %.
    EXPECT_EQ(HexText(first.substr(0, 3)), " F0 01 00");
    EXPECT_EQ(Field16(first, 5), 750u);
    EXPECT_NEAR(Field16(first, 7), 500, 10);
    EXPECT_EQ(ByteAt(first, 9), 0xF7);
}

TEST(ConsoleStream, ShortInfosCountTheRollEventsOfEach100Ms) {
    const ByteString frames = TConsoleBench(Settings(4, 30)).Streamed(60);
    ASSERT_EQ(frames.size(), 60u);
    unsigned events = 0;
    for (std::size_t at = 0; at < frames.size(); at += 6) {
        EXPECT_EQ(HexText(frames.substr(at, 2)), " F0 01");
        EXPECT_EQ(HexText(frames.substr(at + 4, 2)), " 00 F7");
        events += ByteAt(frames, at + 3);
    }
    // 30 km/h over 1 s with 0.0620 m per event: 30 / 3.6 / 0.062 = 134.4 events.
    EXPECT_NEAR(events, 134.4, 1);
}

TEST(ConsoleStream, ByteStreamSetsTheRollBitOncePerRollEvent) {
    const ByteString bytes = TConsoleBench(Settings(1, 30)).Streamed(100);
    ASSERT_EQ(bytes.size(), 100u);
    int rolls = 0;
    for (std::size_t i = 0; i < bytes.size(); ++i) rolls += (ByteAt(bytes, i) & 0x40) != 0;
    // 100 bytes are 1 s; 30 km/h with 0.2513 m per event: 33.2 events.
    EXPECT_NEAR(rolls, 33.2, 1);
}

TEST(ConsoleStream, SpeedRoundTripAt30KmhOnVersion5) {
    EXPECT_NEAR(LongFrameSpeed(TConsoleBench(Settings(5, 30)).Streamed(10), 0.1414), 30, 0.1);
}

TEST(ConsoleStream, ResistanceSetPointSlowsTheRider) {
    TConsoleBench bench(Settings(5, 30));
    bench.Identify();
    bench.Pc->Send(Hex("F0 01 80 00 00 F7"));
    // Load 128 halves the effort factor: 30 x 128 / (128 + 128) = 15 km/h.
    double speed = 30;
    for (int frame = 0; frame < 5 && std::abs(speed - 15) > 0.1; ++frame)
        speed = LongFrameSpeed(bench.Pc->Read(10), 0.1414);
    EXPECT_NEAR(speed, 15, 0.1);
    // A brake that no longer bites gives the rider back the effort of no resistance.
    bench.Console.Command("nobrake on");
    for (int frame = 0; frame < 5 && std::abs(speed - 30) > 0.1; ++frame)
        speed = LongFrameSpeed(bench.Pc->Read(10), 0.1414);
    EXPECT_NEAR(speed, 30, 0.1);
}

TEST(ConsoleStream, ByteStreamTakesAnIdentificationByteOnlyAfterThePcWasQuiet) {
    TConsoleBench bench(Settings(2, 0));
    bench.Console.Command("cadence 0");
    bench.Console.Command("heart 0");
    bench.Identify();
    bench.Pc->Read(5);
    // A riding PC answers every chunk; 0x28 among its answers is a resistance of 40.
    bench.Pc->Send(Hex("00 28"));
    EXPECT_EQ(bench.Pc->ReadFor(300).find(static_cast<char>(0x50)), ByteString::npos);
    bench.Pc->Send(Hex("28"));
    EXPECT_NE(bench.Pc->ReadFor(300).find(static_cast<char>(0x50)), ByteString::npos);
}

TEST(ConsoleStream, KeyIsHeldForItsTimeThenReleased) {
    TConsoleBench bench(Settings(5));
    bench.Identify();
    bench.Console.Command("key enter 250");
    int held = 0;
    ByteString frame;
    for (int i = 0; i < 10; ++i) {
        frame = bench.Pc->Read(10);
        held += (ByteAt(frame, 2) & 0x0F) == 0x04;
    }
    EXPECT_GE(held, 2);
    EXPECT_LE(held, 3);
    EXPECT_EQ(ByteAt(frame, 2), 0x00);
}

// ---- Answers to requests ----

// Reads frames of one size until one of `type` comes (infos frames stream in between).
ByteString NextFrameOfType(TPcSide& pc, std::size_t size, std::uint8_t type) {
    for (int i = 0; i < 20; ++i) {
        const ByteString frame = pc.Read(size);
        if (frame.size() == size && ByteAt(frame, 1) == type) return frame;
    }
    return {};
}

TEST(ConsoleRequests, LongFamilyAnswersProductVersionSerialNumberWithOrientationAndRollCount) {
    TConsoleSettings settings = Settings(6);
    settings.Serial = 0x0A0B0C;
    settings.Product = 7;
    TConsoleBench bench(settings);
    bench.Identify();
    bench.Console.Command("orientation -1 1");
    bench.Pc->Send(Hex("F0 09 00 00 00 F7"));
    EXPECT_EQ(HexText(NextFrameOfType(*bench.Pc, 10, 0x09)), " F0 09 07 00 00 00 00 00 00 F7");
    bench.Pc->Send(Hex("F0 03 00 00 00 F7"));
    EXPECT_EQ(HexText(NextFrameOfType(*bench.Pc, 10, 0x03)), " F0 03 0A 0B 0C FF 01 00 00 F7");
    bench.Pc->Read(30); // three infos frames: about 17 roll events at 30 km/h
    bench.Pc->Send(Hex("F0 02 00 00 00 F7"));
    const ByteString count = NextFrameOfType(*bench.Pc, 10, 0x02);
    EXPECT_GT(ByteAt(count, 4), 0) << "the roller has turned since the handshake";
    EXPECT_EQ(HexText(count.substr(5)), " 00 00 00 00 F7");
}

TEST(ConsoleRequests, ShortFamilySerialNumberHasNoOrientation) {
    TConsoleSettings settings = Settings(4);
    settings.Serial = 66051;
    TConsoleBench bench(settings);
    bench.Identify();
    bench.Pc->Send(Hex("F0 03 00 00 00 F7"));
    EXPECT_EQ(HexText(NextFrameOfType(*bench.Pc, 6, 0x03)), " F0 03 01 02 03 F7");
}

TEST(ConsoleRequests, PauseIsAcknowledgedAndFreezesTheTotalRollCount) {
    TConsoleBench bench(Settings(5, 40));
    bench.Identify();
    bench.Pc->Send(Hex("F0 07 01 00 00 F7"));
    EXPECT_EQ(HexText(NextFrameOfType(*bench.Pc, 10, 0x05)), " F0 05 00 00 00 00 00 00 00 F7");
    bench.Pc->Send(Hex("F0 02 00 00 00 F7"));
    const ByteString before = NextFrameOfType(*bench.Pc, 10, 0x02);
    bench.Pc->Read(30); // three infos frames ridden while paused
    bench.Pc->Send(Hex("F0 02 00 00 00 F7"));
    EXPECT_EQ(NextFrameOfType(*bench.Pc, 10, 0x02), before);
    bench.Pc->Send(Hex("F0 07 00 00 00 F7 F0 04 00 00 00 F7"));
    EXPECT_EQ(ByteAt(NextFrameOfType(*bench.Pc, 10, 0x05), 1), 0x05);
    EXPECT_EQ(ByteAt(NextFrameOfType(*bench.Pc, 10, 0x05), 1), 0x05) << "reset roller turns is acknowledged";
}

TEST(ConsoleRequests, RecordKeepsWhatThePcSentWithDirections) {
    TConsoleBench bench(Settings(5));
    bench.Identify();
    bench.Pc->Send(Hex("F0 01 0A 00 00 F7"));
    EXPECT_TRUE(bench.Console.WaitForRecord(
        [](const std::vector<TRecordEntry>& record) {
            for (const TRecordEntry& entry : record)
                if (entry.Direction == TRecordDirection::rdIn && entry.Bytes == Hex("F0 01 0A 00 00 F7")) return true;
            return false;
        },
        2000));
    const auto record = bench.Console.GetRecord();
    EXPECT_EQ(record[0].Direction, TRecordDirection::rdIn);
    EXPECT_EQ(record[1].Direction, TRecordDirection::rdOut);
    EXPECT_EQ(record[2].Bytes, "handshake");
}

} // namespace
