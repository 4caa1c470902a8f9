#include "ConsoleTestSupport.h"
#include "console_sim/ConsoleCommand.h"
#include "device_link/TrafficRecord.h"

#include <gtest/gtest.h>

#include <sstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {

bool HasNote(const std::vector<TRecordEntry>& record, const std::string& note) {
    for (const TRecordEntry& entry : record)
        if (entry.Direction == TRecordDirection::rdNote && entry.Bytes == note) return true;
    return false;
}

// ---- Faults on the line (before a handshake, so no stream mixes in) ----

TEST(ConsoleFaults, GarbageSendsThatManyBytesAsRecorded) {
    TConsoleBench bench(Settings(5));
    bench.Console.Command("garbage 40");
    const ByteString received = bench.Pc->Read(40);
    EXPECT_EQ(received.size(), 40u);
    // The console records a write once it returned, which may be after the PC has read it.
    ASSERT_TRUE(bench.Console.WaitForRecord([](const std::vector<TRecordEntry>& record) { return !record.empty(); },
                                            2000));
    const auto record = bench.Console.GetRecord();
    ASSERT_EQ(record.size(), 1u);
    EXPECT_EQ(record[0].Bytes, received);
}

TEST(ConsoleFaults, CutFramesAreTheHeadOfAnInfosFrame) {
    TConsoleBench bench(Settings(5, 0));
    bench.Console.Command("cut 4");
    EXPECT_EQ(HexText(bench.Pc->Read(4)), " F0 01 00 FF");
    bench.Console.Command("cut 5 stop");
    EXPECT_EQ(HexText(bench.Pc->Read(5)), " F0 01 00 FF F7");
    EXPECT_EQ(bench.Pc->ReadFor(100), "");
}

TEST(ConsoleFaults, BadStartFramesOfBothSizesLackTheStartByte) {
    TConsoleBench bench(Settings(4));
    bench.Console.Command("badstart 6");
    const ByteString shortFrame = bench.Pc->Read(6);
    bench.Console.Command("badstart 10");
    const ByteString longFrame = bench.Pc->Read(10);
    EXPECT_EQ(HexText(shortFrame.substr(0, 2)), " 00 01");
    EXPECT_EQ(ByteAt(shortFrame, 5), 0xF7);
    EXPECT_EQ(longFrame.size(), 10u);
    EXPECT_EQ(HexText(longFrame.substr(0, 2)), " 00 01");
    EXPECT_EQ(ByteAt(longFrame, 9), 0xF7);
}

TEST(ConsoleFaults, UnknownTypesTravelInTheFamilysFrame) {
    TConsoleBench bench(Settings(5));
    bench.Console.Command("unknown");
    EXPECT_EQ(HexText(bench.Pc->Read(10)), " F0 04 00 00 00 00 00 00 00 F7");
    bench.Console.Command("unknown 0x7E");
    EXPECT_EQ(HexText(bench.Pc->Read(10)), " F0 7E 00 00 00 00 00 00 00 F7");
}

TEST(ConsoleFaults, CommandsThatMakeNoSenseAreRefusedWithTheReason) {
    TConsoleBench bench(Settings(2));
    EXPECT_THROW(bench.Console.Command("cut 3"), std::invalid_argument);
    EXPECT_THROW(bench.Console.Command("unknown"), std::invalid_argument);
    EXPECT_THROW(bench.Console.Command("unknown 8"), std::invalid_argument);
    EXPECT_THROW(bench.Console.Command("speed fast"), std::invalid_argument);
    EXPECT_THROW(bench.Console.Command("key shift 100"), std::invalid_argument);
    EXPECT_THROW(bench.Console.Command("fly 3"), std::invalid_argument);
    TConsoleBench longFamily(Settings(5));
    EXPECT_THROW(longFamily.Console.Command("cut 10"), std::invalid_argument);
}

// ---- Identification faults ----

TEST(ConsoleFaults, WrongIdentificationAnswerIsSentOnceAndDoesNotConnect) {
    TConsoleBench bench(Settings(5));
    bench.Console.Command("wrongid");
    EXPECT_EQ(HexText(bench.Identify()), " F0 08 51 00 00 F7");
    EXPECT_EQ(bench.Pc->ReadFor(150), "") << "no stream without a valid handshake";
    EXPECT_EQ(HexText(bench.Identify()), " F0 08 54 00 00 F7");
}

TEST(ConsoleFaults, MutedIdentificationIsNotAnsweredUntilResumed) {
    TConsoleBench bench(Settings(3));
    bench.Console.Command("noid on");
    EXPECT_EQ(bench.Identify(), "");
    bench.Console.Command("noid off");
    EXPECT_EQ(HexText(bench.Identify()), " 50");
}

TEST(ConsoleFaults, SilenceStopsTheStreamForItsTime) {
    TConsoleBench bench(Settings(5));
    bench.Identify();
    bench.Pc->Read(10);
    bench.Console.Command("silence 400");
    const double start = SteadyMs();
    bench.Pc->Read(10); // at most one frame was under way
    const ByteString resumed = bench.Pc->Read(10, 3000);
    EXPECT_EQ(resumed.size(), 10u);
    EXPECT_GE(SteadyMs() - start, 300);
}

// ---- Hang-up ----

TEST(ConsoleHangUp, OldDescriptorSeesTheHangUpAndTheLinkReappears) {
    const std::string link = testing::TempDir() + "kelvo-sim-link-" + std::to_string(::getpid());
    TConsoleSimulator console(Settings(5));
    console.SetLinkPath(link);
    console.Start();
    TPcSide pc(link);
    pc.Send(Hex("F0 08 28 00 00 F7"));
    ASSERT_EQ(pc.Read(6).size(), 6u);
    console.Command("hangup 200");
    EXPECT_TRUE(pc.SeesHangUp(2000));
    ASSERT_TRUE(console.WaitForRecord([](const auto& record) { return HasNote(record, "reappear"); }, 3000));
    TPcSide replugged(link);
    EXPECT_EQ(replugged.ReadFor(100), "") << "the reappeared line waits for a handshake";
    replugged.Send(Hex("F0 08 28 00 00 F7"));
    EXPECT_EQ(HexText(replugged.Read(6)), " F0 08 54 00 00 F7");
    console.Stop();
    struct stat status {};
    EXPECT_NE(::lstat(link.c_str(), &status), 0) << "stopping removes the link";
}

TEST(ConsoleHangUp, ALinkNamingALiveLineIsLeftToItsConsoleAndAStaleOneIsTaken) {
    const std::string link = testing::TempDir() + "kelvo-sim-shared-" + std::to_string(::getpid());
    TConsoleSimulator first(Settings(5));
    first.SetLinkPath(link);
    first.Start();
    TConsoleSimulator second(Settings(5));
    second.SetLinkPath(link);
    EXPECT_THROW(second.Start(), std::runtime_error);
    char target[256] = {};
    ASSERT_GT(::readlink(link.c_str(), target, sizeof target - 1), 0);
    EXPECT_EQ(std::string(target), first.GetSlavePath());
    // The name taken while the first console is away: it stays away, and says so.
    std::string told;
    first.OnReappearFailed = [&](const std::string& reason) { told = reason; };
    first.Command("hangup 200");
    ASSERT_TRUE(first.WaitForRecord([](const auto& record) { return HasNote(record, "hangup"); }, 3000));
    second.Start();
    EXPECT_TRUE(first.WaitForRecord(
        [](const auto& record) {
            return !record.empty() && record.back().Bytes.starts_with("reappear-failed ");
        },
        3000));
    second.Stop();
    first.Stop(); // the emulator's thread ends: what it told can be read
    EXPECT_NE(told.find("it is left alone"), std::string::npos) << told;
    // A link left behind by a console that died names a line that is gone.
    ASSERT_EQ(::symlink("/dev/pts/kelvo-gone", link.c_str()), 0);
    second.Start();
    second.Stop();
}

// ---- Script, record and replay ----

TEST(ConsoleScript, LinesRunAtStartAndAtTheirTimeAfterTheHandshake) {
    std::istringstream text("# warm-up\n200 speed 15\nstart wrongid 0x33\n");
    TConsoleSimulator console(Settings(5, 30));
    console.SetScript(ParseScript(text));
    console.Start();
    TPcSide pc(console.GetSlavePath());
    pc.Send(Hex("F0 08 28 00 00 F7"));
    EXPECT_EQ(HexText(pc.Read(6)), " F0 08 33 00 00 F7");
    pc.Send(Hex("F0 08 28 00 00 F7"));
    pc.Read(6);
    const ByteString early = pc.Read(10);
    ByteString late;
    for (int i = 0; i < 5; ++i) late = pc.Read(10);
    // 30 and 15 km/h with 0.1414 m per event: periods 3787.88 x 36 x 0.1414 / v.
    EXPECT_EQ(ByteAt(early, 3) * 256 + ByteAt(early, 4), 643);
    EXPECT_EQ(ByteAt(late, 3) * 256 + ByteAt(late, 4), 1285);
}

TEST(ConsoleScript, BadLineIsNamedByItsNumber) {
    std::istringstream text("100 speed 20\n\n200 sped 20\n");
    try {
        ParseScript(text);
        FAIL() << "a bad script was accepted";
    } catch (const std::invalid_argument& error) {
        EXPECT_NE(std::string(error.what()).find("line 3"), std::string::npos) << error.what();
    }
}

TEST(ConsoleReplay, CaptureIsPlayedAfterTheHandshakeWithItsTiming) {
    std::istringstream capture("# a console seen once\n"
                               "100.000 in F0 08 28 00 00 F7\n"
                               "100.500 out F0 08 54 00 00 F7\n"
                               "100.500 note handshake\n"
                               "200.500 out F0 01 00 02 83 02 EE 01 F4 F7\n"
                               "210.000 in F0 09 00 00 00 F7\n"
                               "500.500 out F0 09 03 00 00 00 00 00 00 F7\n");
    TConsoleSimulator console(Settings(5));
    console.SetReplay(ParseRecord(capture));
    console.Start();
    TPcSide pc(console.GetSlavePath());
    pc.Send(Hex("F0 08 28 00 00 F7"));
    EXPECT_EQ(HexText(pc.Read(6)), " F0 08 54 00 00 F7");
    const double start = SteadyMs();
    EXPECT_EQ(HexText(pc.Read(10)), " F0 01 00 02 83 02 EE 01 F4 F7");
    EXPECT_EQ(HexText(pc.Read(10)), " F0 09 03 00 00 00 00 00 00 F7");
    EXPECT_NEAR(SteadyMs() - start, 400, 100);
    EXPECT_EQ(pc.ReadFor(150), "") << "nothing after the capture's end";
}

} // namespace
