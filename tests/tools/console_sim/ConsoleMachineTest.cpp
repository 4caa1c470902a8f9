#include "PcSide.h"
#include "console_sim/ConsoleMachine.h"

#include <gtest/gtest.h>

namespace {

std::vector<ByteString> Sent(const TConsoleActions& actions) {
    std::vector<ByteString> sent;
    for (const TConsoleAction& action : actions)
        if (action.Kind == TConsoleAction::akSend) sent.push_back(action.Bytes);
    return sent;
}

TConsoleMachine ConnectedMachine(double version) {
    TConsoleSettings settings;
    settings.Version = version;
    TConsoleMachine machine(settings);
    machine.Receive(0, Hex("F0 08 28 00 00 F7"));
    return machine;
}

TEST(ConsoleMachine, FramesFallDueEvery100MsAfterTheHandshake) {
    TConsoleMachine machine = ConnectedMachine(5);
    EXPECT_EQ(machine.NextDueMs(), 100);
    EXPECT_TRUE(Sent(machine.Advance(99.9)).empty());
    EXPECT_EQ(Sent(machine.Advance(350)).size(), 3u);
    EXPECT_EQ(machine.NextDueMs(), 400);
}

TEST(ConsoleMachine, SilenceLosesTheFramesOfItsWindowOnly) {
    TConsoleMachine machine = ConnectedMachine(4);
    machine.Apply(50, ParseConsoleCommand("silence 300"));
    EXPECT_TRUE(Sent(machine.Advance(349)).empty());
    EXPECT_EQ(Sent(machine.Advance(400)).size(), 1u);
}

TEST(ConsoleMachine, RequestSplitInTwoChunksAndNoiseBeforeItIsStillAnswered) {
    TConsoleMachine machine = ConnectedMachine(5);
    EXPECT_TRUE(Sent(machine.Receive(10, Hex("F0 33 F0 09 00"))).empty());
    EXPECT_EQ(Sent(machine.Receive(11, Hex("00 00 F7"))), std::vector<ByteString>{Hex("F0 09 01 00 00 00 00 00 00 F7")});
}

TEST(ConsoleMachine, HangUpIsHandedToTheLineAndTheNextLineNeedsAHandshake) {
    TConsoleMachine machine = ConnectedMachine(6);
    const TConsoleActions actions = machine.Apply(20, ParseConsoleCommand("hangup 500"));
    ASSERT_EQ(actions.size(), 1u);
    EXPECT_EQ(actions[0].Kind, TConsoleAction::akHangUp);
    EXPECT_EQ(actions[0].Ms, 500);
    machine.LineLost();
    EXPECT_TRUE(Sent(machine.Advance(1000)).empty());
    EXPECT_TRUE(Sent(machine.Receive(1000, Hex("F0 09 00 00 00 F7"))).empty());
}

// The heart periods of the long infos frames of `seconds` of riding.
std::vector<std::uint32_t> HeartPeriods(double heart, int seconds) {
    TConsoleSettings settings;
    settings.Heart = heart;
    TConsoleMachine machine(settings);
    machine.Receive(0, Hex("F0 08 28 00 00 F7"));
    std::vector<std::uint32_t> periods;
    // In frame steps: a machine asked after a long gap skips the frames it missed.
    for (double now = 100; now <= seconds * 1000.0; now += 100)
        for (const ByteString& frame : Sent(machine.Advance(now)))
            periods.push_back(static_cast<std::uint8_t>(frame[7]) * 256u + static_cast<std::uint8_t>(frame[8]));
    return periods;
}

TEST(ConsoleMachine, EachHeartBeatBringsANewPeriodThatTheFramesBetweenBeatsRepeat) {
    const std::vector<std::uint32_t> periods = HeartPeriods(120, 60);
    ASSERT_EQ(periods.size(), 600u);
    int beats = 0;
    double beatMs = 0;
    for (std::size_t i = 0; i < periods.size(); ++i) {
        EXPECT_NEAR(periods[i], 500, 10) << i;
        if (i > 0 && periods[i] == periods[i - 1]) continue;
        ++beats;
        beatMs += periods[i];
    }
    EXPECT_NEAR(beats, 120, 1); // 60 s at 120 bpm
    EXPECT_NEAR(60000 * beats / beatMs, 120, 1);
    EXPECT_EQ(HeartPeriods(120, 60), periods) << "the same ride gives the same beats";
    EXPECT_EQ(HeartPeriods(0, 1), std::vector<std::uint32_t>(10, 0)) << "no belt, no period";
}

} // namespace
