#include "device/KelvoProtocol.h"
#include "integration/EmulatorFixture.h"
#include "terminal/BoxRecorder.h"
#include "terminal/RampReport.h"
#include "terminal/RandomWalk.h"
#include "terminal/ResistanceRamp.h"
#include "terminal/SetPointControls.h"
#include "terminal/TerminalSession.h"

#include <gmock/gmock.h>

#include <cstdio>
#include <deque>

using testing::ElementsAre;

namespace {

ByteString SetPointsFrame(int resistance, int elevation) {
    return KelvoProtocol::BuildRequest(KelvoProtocol::rqSetPoints, resistance, elevation);
}

class TestRoutinesTest : public testing::Test {
protected:
    // The device goes first, as in the window: its last events still find the routines.
    std::unique_ptr<TTerminalSession> ownedSession = std::make_unique<TTerminalSession>();
    TTerminalSession& session = *ownedSession;
    TBoxRecorder boxes;
    TSetPointControls setPoints{session};
    TResistanceRamp ramp{session, setPoints, boxes};
    TRandomWalk walk{session, setPoints};
    std::vector<std::string> lines;
    std::vector<int> shownResistance;
    std::string caption = "Start/Stop";

    void SetUp() override {
        session.OnAddLine = [this](const std::string& line) { lines.push_back(line); };
        setPoints.OnShowResistance = [this](int field, int) { shownResistance.push_back(field); };
        ramp.OnCaption = [this](const std::string& text) { caption = text; };
    }
    void TearDown() override { ownedSession.reset(); }
    TKelvoDevice& Device() { return session.Device(); }
    // A ride on the emulator, rolling, so that the security lets the resistance through.
    void Ride(EmulatorFixture& emulator) {
        Device().SetComPortPort(emulator.Path());
        ASSERT_EQ(session.OpenOrClosePort(), "");
        ASSERT_TRUE(EmulatorFixture::ServeUntil([this] { return Device().GetSpeed() > 0; }, 5000));
    }
    bool EmulatorGets(EmulatorFixture& emulator, const ByteString& frame) {
        return EmulatorFixture::ServeUntil([&] { return emulator.SentByPc(frame) > 0; }, 3000);
    }
};

} // namespace

// ---- Resistance ramp ----

TEST_F(TestRoutinesTest, RampOfStep100FromZeroClimbsHoldsTheTopThenFinishesAtZero) {
    EmulatorFixture emulator(5);
    Ride(emulator);
    ramp.SetStep(100);
    ramp.StartOrStop();
    ASSERT_EQ(caption, "Stop");
    ramp.Timer().SetInterval(600000); // the test ticks by hand
    shownResistance.clear();
    for (int tick = 0; tick < 4; ++tick) {
        ramp.Tick();
        EXPECT_TRUE(EmulatorGets(emulator, SetPointsFrame(setPoints.GetResistance(), 0))) << tick;
    }
    EXPECT_THAT(shownResistance, ElementsAre(100, 200, 255, 0));
    EXPECT_THAT(boxes.Shown, ElementsAre("Test finished !"));
    EXPECT_FALSE(ramp.Running());
    EXPECT_EQ(caption, "Start");
    EXPECT_EQ(Device().GetKelvoResistance(), 0);
    // Each step echoes the set-point in force, and the report closes the ramp.
    EXPECT_THAT(lines, testing::Contains("\tTRX <<<  1 Infos, Resist: 200, Elev: 0 Resistance"));
    EXPECT_THAT(lines, testing::Contains("Ramp report (settled: within 2 % for 2 s):"));
}

TEST_F(TestRoutinesTest, RampStartedAt255EndsAtTheFirstTickAndALostDeviceStopsItWithoutABox) {
    Device().SetSimulationMode(true); // connected without a port
    setPoints.SetResistance(255);
    ramp.StartOrStop();
    ramp.Tick();
    EXPECT_FALSE(ramp.Running());
    EXPECT_THAT(boxes.Shown, ElementsAre("Test finished !"));
    EXPECT_EQ(setPoints.GetResistance(), 0);

    boxes.Shown.clear();
    ramp.StartOrStop();
    ASSERT_TRUE(ramp.Running());
    Device().SetSimulationMode(false);
    ramp.Tick();
    EXPECT_FALSE(ramp.Running());
    EXPECT_EQ(caption, "Start");
    EXPECT_TRUE(boxes.Shown.empty());
    // Not connected: the button changes nothing.
    caption = "Start/Stop";
    ramp.StartOrStop();
    EXPECT_FALSE(ramp.Running());
    EXPECT_EQ(caption, "Start/Stop");
}

TEST_F(TestRoutinesTest, StepAndPaceAreClampedAndThePaceTakesEffectAfterTheNextTick) {
    ramp.SetStep(0);
    EXPECT_EQ(ramp.GetStep(), 1);
    ramp.SetStep(151);
    EXPECT_EQ(ramp.GetStep(), 150);
    ramp.SetPace(-4);
    EXPECT_EQ(ramp.GetPace(), 1);
    ramp.SetPace(1000);
    EXPECT_EQ(ramp.GetPace(), 999);
    Device().SetSimulationMode(true);
    ramp.StartOrStop();
    EXPECT_EQ(ramp.Timer().GetInterval(), 999000u);
    ramp.SetPace(7);
    EXPECT_EQ(ramp.Timer().GetInterval(), 999000u);
    ramp.Tick();
    EXPECT_EQ(ramp.Timer().GetInterval(), 7000u);
    ramp.StartOrStop();
    // The next ramp takes the pace shown at its start, not the one its predecessor last read.
    ramp.SetPace(2);
    ramp.StartOrStop();
    EXPECT_EQ(ramp.Timer().GetInterval(), 2000u);
    ramp.StartOrStop();
}

// The ramp on its own timer against the emulator's rider: each held step settles at the base
// speed x 128 / (128 + resistance).
TEST_F(TestRoutinesTest, RampReportShowsTheSpeedsOfTheRiderModel) {
    EmulatorFixture emulator(5);
    Ride(emulator);
    ramp.SetStep(100);
    ramp.SetPace(5);
    ramp.StartOrStop();
    ASSERT_TRUE(EmulatorFixture::ServeUntil([this] { return !ramp.Running(); }, 40000)); // five paces of 5 s
    const auto heading = std::find(lines.begin(), lines.end(), "Ramp report (settled: within 2 % for 2 s):");
    ASSERT_NE(heading, lines.end());
    std::vector<std::string> report;
    std::copy_if(heading, lines.end(), std::back_inserter(report),
                 [](const std::string& line) { return line.starts_with("Ramp report") || line.starts_with("  Resistance "); });
    for (const std::string& line : report) std::printf("%s\n", line.c_str());
    ASSERT_EQ(report.size(), 5u); // 0 (held for the first pace), 100, 200, 255
    for (const int resistance : {100, 200, 255}) {
        const double expected = 25.0 * 128 / (128 + resistance);
        const auto line = std::find_if(report.begin(), report.end(), [&](const std::string& text) {
            return text.find("Resistance " + std::to_string(resistance) + ": settled") != std::string::npos;
        });
        ASSERT_NE(line, report.end()) << resistance;
        double speed = 0;
        ASSERT_EQ(std::sscanf(line->c_str() + line->find(" at ") + 4, "%lf", &speed), 1);
        EXPECT_NEAR(speed, expected, expected * 0.03) << *line;
    }
}

TEST(RampReportTest, StepsSettleOnTheFirstSteadyTwoSecondsOrSayWhyNot) {
    TRampReport report;
    report.Speed(0, 30); // before any step: not counted
    report.Step(1000, 0);
    for (const auto& [ms, speed] : {std::pair{1500, 25.0}, {2500, 25.2}, {3510, 24.9}}) report.Speed(ms, speed);
    report.Step(4000, 100);
    for (const auto& [ms, speed] : {std::pair{4500, 20.0}, {5500, 14.1}, {6500, 14.0}, {7500, 14.05}})
        report.Speed(ms, speed);
    report.Step(8000, 200);
    report.Speed(8500, 12);
    report.Step(9000, 255);
    EXPECT_THAT(report.Lines("km/h"), ElementsAre("Ramp report (settled: within 2 % for 2 s):",
                                                  "  Resistance 0: settled after 0.5 s at 25.03 km/h",
                                                  "  Resistance 100: settled after 1.5 s at 14.05 km/h",
                                                  "  Resistance 200: not settled, last 12.00 km/h",
                                                  "  Resistance 255: no speed sample"));
}

// ---- Set-point controls ----

TEST_F(TestRoutinesTest, SetPointsEchoWhileThePortIsOpenAndFollowTheDeviceAfterAStop) {
    setPoints.SetResistance(40); // port closed: no echo
    EXPECT_TRUE(lines.empty());
    EmulatorFixture emulator(5);
    Ride(emulator);
    lines.clear();
    setPoints.SetResistance(300);
    EXPECT_EQ(setPoints.GetResistanceTrack(), 254);
    EXPECT_THAT(lines, ElementsAre("\tTRX <<<  1 Infos, Resist: 255, Elev: 0 Resistance", ""));
    // With one line kept, the echo is that line: no empty line comes to replace it.
    session.WriteToMemo = false;
    lines.clear();
    setPoints.SetResistance(255);
    EXPECT_THAT(lines, ElementsAre("\tTRX <<<  1 Infos, Resist: 255, Elev: 0 Resistance"));
    session.WriteToMemo = true;
    setPoints.SetElevation(-1); // bounded like its bars, not sent as 255
    EXPECT_EQ(setPoints.GetElevation(), 0);
    setPoints.SetElevation(12);
    EXPECT_TRUE(EmulatorGets(emulator, SetPointsFrame(255, 12)));

    lines.clear();
    shownResistance.clear();
    Device().Stop();
    EXPECT_EQ(setPoints.GetResistance(), 0);
    EXPECT_EQ(setPoints.GetElevation(), 0);
    EXPECT_THAT(shownResistance, testing::Each(0));
    EXPECT_TRUE(lines.empty());
}

TEST_F(TestRoutinesTest, ElevationRequestCarriesTheResistanceTheDeviceWouldSend) {
    Device().SetSecurityActive(false);
    setPoints.SetResistance(90);
    Device().SetSecurityActive(true); // at a standstill the request carries 0
    setPoints.SetElevation(7);
    EXPECT_THAT(lines, testing::Contains(testing::EndsWith(" 1 Infos, Resist: 0, Elev: 7")));
}

// ---- Random walks ----

TEST_F(TestRoutinesTest, RandomStepsOfThirtyStayWithinFifteenAndReachTheEmulator) {
    for (const double r : {0.0, 0.0166, 0.5, 0.9999}) {
        const int step = TRandomWalk::RandomStep(r, 30);
        EXPECT_TRUE(step >= -15 && step <= 15) << r;
    }
    EXPECT_EQ(TRandomWalk::RandomStep(0.0, 30), -15);
    EXPECT_EQ(TRandomWalk::RandomStep(0.95, 30), 14); // 13.5 rounds to even

    EmulatorFixture emulator(5);
    Ride(emulator);
    setPoints.SetResistance(100);
    std::deque<double> randoms{0.0, 0.9999, 0.5};
    walk.Random = [&randoms] {
        const double r = randoms.front();
        randoms.pop_front();
        return r;
    };
    walk.SetWalks(true, true);
    walk.Timer().SetEnabled(false); // ticked by hand
    walk.Tick(); // resistance -15, elevation +15
    EXPECT_EQ(setPoints.GetResistance(), 85);
    EXPECT_EQ(setPoints.GetElevation(), 15);
    EXPECT_TRUE(EmulatorGets(emulator, SetPointsFrame(85, 15)));
}

TEST_F(TestRoutinesTest, AWalkTickWithoutADeviceStopsTheWalkAndUnchecksItsItems) {
    bool unchecked = false;
    walk.OnWalksUnchecked = [&] { unchecked = true; };
    walk.SetWalks(false, true);
    EXPECT_TRUE(walk.Running());
    walk.Tick();
    EXPECT_FALSE(walk.Running());
    EXPECT_TRUE(unchecked);
    EXPECT_EQ(walk.SetRandomEntityText("x1"), "'x1' is not a valid integer value");
    EXPECT_EQ(walk.GetRandomEntity(), 30);
    EXPECT_EQ(walk.SetRandomEntityText("40"), "");
    EXPECT_EQ(walk.GetRandomEntity(), 40);
}
