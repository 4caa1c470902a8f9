#include "console_sim/ConsoleCommand.h"
#include "integration/EmulatorFixture.h"
#include "terminal/PlanRunner.h"
#include "terminal/TerminalSession.h"
#include "terminal/TestPlanReader.h"

#include <gmock/gmock.h>

#include <sstream>

using testing::Contains;
using testing::ElementsAre;
using testing::HasSubstr;
using testing::MatchesRegex;
using testing::StartsWith;

namespace {

using TState = TPlanExecution::TState;

// Speed at no resistance, the brake's bite, a pause in which the faults come, and the link's
// cleanliness over the whole plan. The survey watches 10-byte frames every 3 s, so a console
// gone silent is a lost link within 6 s: the pause is longer.
const char* const BrakePlan = R"({"name": "brake", "console": 5, "steps": [
    {"step": "expect", "figure": "speed", "min": 20, "max": 30, "within": 10},
    {"step": "set", "setpoint": "resistance", "value": 128},
    {"step": "settle", "figure": "speed", "min": 10, "max": 15, "for": 2, "within": 15},
    {"step": "wait", "seconds": 8},
    {"step": "expect", "figure": "discarded", "max": 20}]})";
constexpr std::size_t SettleRow = 3;
constexpr std::size_t WaitRow = 4;
constexpr std::size_t DiscardedRow = 5;

std::vector<TScriptLine> ScriptOf(const std::string& text) {
    std::istringstream script(text);
    return ParseScript(script);
}

class PlanRunnerTest : public testing::Test {
protected:
    std::unique_ptr<TTerminalSession> ownedSession = std::make_unique<TTerminalSession>();
    TTerminalSession& session = *ownedSession;
    TPlanRunner runner{session};

    void TearDown() override { ownedSession.reset(); }

    // Rides the emulator and runs the plan; `fault` is sent to the console as `faultRow` begins.
    void Run(EmulatorFixture& emulator, const std::string& fault = "",
             const TTestPlan& plan = TTestPlanReader::Parse(BrakePlan, "brake.json"), std::size_t faultRow = WaitRow) {
        session.Device().SetComPortPort(emulator.Path());
        ASSERT_EQ(session.OpenOrClosePort(), "");
        ASSERT_TRUE(EmulatorFixture::ServeUntil([this] { return session.Device().GetSpeed() > 0; }, 5000));
        runner.Start(plan);
        const auto current = [this] { return runner.Execution()->Current(); };
        if (!fault.empty()) {
            ASSERT_TRUE(EmulatorFixture::ServeUntil([&] { return current() >= faultRow; }, 60000));
            ASSERT_EQ(current(), faultRow) << testing::PrintToString(runner.Report().TextLines());
            emulator.Console().Command(fault);
        }
        ASSERT_TRUE(EmulatorFixture::ServeUntil([this] { return !runner.Running(); }, 40000));
    }
    std::vector<TState> States() const {
        std::vector<TState> states;
        for (const auto& row : runner.Execution()->Rows()) states.push_back(row.State);
        return states;
    }
    const TPlanExecution::TRow& Row(std::size_t row) const { return runner.Execution()->Rows().at(row); }
};

} // namespace

TEST_F(PlanRunnerTest, AHealthyConsolePassesAndGetsItsRestingResistanceBack) {
    EmulatorFixture emulator(5);
    Run(emulator);
    EXPECT_TRUE(runner.Execution()->Passed()) << testing::PrintToString(runner.Report().TextLines());
    // 25 km/h x 128 / (128 + 128)
    EXPECT_THAT(Row(SettleRow).Measured, MatchesRegex("12\\.[4-6][0-9] km/h after [0-9.]+ s"));
    EXPECT_EQ(session.Device().GetKelvoResistance(), 0);
    EXPECT_EQ(runner.Report().Serial, 123456);
}

TEST_F(PlanRunnerTest, ABrakeThatDoesNotBiteFailsTheSettleStepAtTheRidersOwnSpeed) {
    EmulatorFixture emulator(5, ScriptOf("start nobrake on"));
    Run(emulator);
    EXPECT_THAT(States(), ElementsAre(TState::stPassed, TState::stPassed, TState::stPassed, TState::stFailed,
                                      TState::stPassed, TState::stPassed));
    EXPECT_THAT(Row(SettleRow).Measured, MatchesRegex("settled at 2[45]\\.[0-9]+ km/h"));
}

TEST_F(PlanRunnerTest, AHangUpOrASilenceFailsTheStepRunningAndEndsThePlan) {
    for (const char* fault : {"hangup 3000", "silence 7000"}) {
        SCOPED_TRACE(fault);
        EmulatorFixture emulator(5);
        Run(emulator, fault);
        EXPECT_THAT(States(), ElementsAre(TState::stPassed, TState::stPassed, TState::stPassed, TState::stPassed,
                                          TState::stFailed, TState::stNotRun));
        EXPECT_THAT(Row(WaitRow).Measured, MatchesRegex("(link lost|console disconnected).* at [0-9.]+ s"));
        if (std::string_view(fault).starts_with("silence")) {
            // The ledger counts the repair the step names, as the report is made and as kept.
            EXPECT_THAT(Row(WaitRow).Measured, HasSubstr("repair started"));
            EXPECT_THAT(runner.Report().LedgerLines, Contains(StartsWith("repairs begun=1 ")));
            ASSERT_TRUE(EmulatorFixture::ServeUntil([this] { return !runner.Timer().GetEnabled(); }, 2000));
            EXPECT_THAT(runner.Report().LedgerLines, Contains(StartsWith("repairs begun=1 ")));
        }
        session.OpenOrClosePort();
    }
}

TEST_F(PlanRunnerTest, GarbageBeyondTheLimitFailsTheLastStepWithTheBytesDiscarded) {
    EmulatorFixture emulator(5);
    const std::uint64_t before = session.Ledger().GetBytesDiscarded();
    Run(emulator, "garbage 300");
    EXPECT_THAT(States(), ElementsAre(TState::stPassed, TState::stPassed, TState::stPassed, TState::stPassed,
                                      TState::stPassed, TState::stFailed));
    const std::uint64_t discarded = session.Ledger().GetBytesDiscarded() - before;
    EXPECT_GT(discarded, 20u);
    EXPECT_EQ(Row(DiscardedRow).Measured, std::to_string(discarded) + " bytes");
}

TEST_F(PlanRunnerTest, TheSmokePlanFailsOnlyItsDiscardedBytesStepOnGarbageBeyondItsLimit) {
    constexpr std::size_t WaitRowOfSmoke = 11;
    constexpr std::size_t DiscardedRowOfSmoke = 14;
    EmulatorFixture emulator(5);
    const std::uint64_t before = session.Ledger().GetBytesDiscarded();
    Run(emulator, "garbage 300", TTestPlanReader::ReadFile(KELVO_PLANS_DIR "/smoke.json"), WaitRowOfSmoke);
    for (std::size_t row = 0; row < runner.Execution()->Rows().size(); ++row)
        EXPECT_EQ(Row(row).State, row == DiscardedRowOfSmoke ? TState::stFailed : TState::stPassed) << row;
    const std::uint64_t discarded = session.Ledger().GetBytesDiscarded() - before;
    EXPECT_GT(discarded, 64u);
    EXPECT_EQ(Row(DiscardedRowOfSmoke).Measured, std::to_string(discarded) + " bytes");
}
