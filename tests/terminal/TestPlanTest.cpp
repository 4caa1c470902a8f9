#include "terminal/PlanExecution.h"
#include "terminal/PlanJUnit.h"
#include "terminal/PlanReportFile.h"
#include "terminal/PlanRunner.h"
#include "terminal/TerminalSession.h"
#include "terminal/TestPlanReader.h"

#include <gmock/gmock.h>

#include <QDir>
#include <QFile>
#include <QXmlStreamReader>
#include <csignal>
#include <sys/resource.h>

using testing::ElementsAre;
using testing::HasSubstr;

namespace {

using TState = TPlanExecution::TState;

std::string RefusalOf(const std::string& json) {
    try {
        TTestPlanReader::Parse(QByteArray::fromStdString(json), "bench.json");
    } catch (const TTestPlanReader::EUnreadable& refusal) {
        return refusal.what();
    }
    return "accepted";
}

std::string Plan(const std::string& steps) { return R"({"name": "p", "steps": [)" + steps + "]}"; }

// A plan run by hand: the test sets the figures and tells the time.
class PlanExecutionTest : public testing::Test {
protected:
    TPlanFigures figures;
    std::vector<std::pair<TPlanSetPoint, double>> applied;
    std::string setPointRefusal;
    int finished = 0;
    std::unique_ptr<TPlanExecution> run;

    void Load(const std::string& steps, const std::string& console = "5") {
        finished = 0;
        const std::string json = R"({"name": "p", "console": )" + console + R"(, "steps": [)" + steps + "]}";
        run = std::make_unique<TPlanExecution>(TTestPlanReader::Parse(QByteArray::fromStdString(json), "p.json"));
        run->ReadFigures = [this] { return figures; };
        run->ApplySetPoint = [this](TPlanSetPoint setPoint, double value) {
            applied.emplace_back(setPoint, value);
            return setPointRefusal;
        };
        run->OnFinished = [this] { ++finished; };
    }
    void StartConnected(std::uint32_t now = 1000) {
        figures.Connected = true;
        figures.Version = 5;
        run->Start(now);
    }
    std::vector<TState> States() const {
        std::vector<TState> states;
        for (const auto& row : run->Rows()) states.push_back(row.State);
        return states;
    }
    const TPlanExecution::TRow& Row(std::size_t index) const { return run->Rows().at(index); }
};

} // namespace

// ---- Reading a plan ----

TEST(TestPlanReader, AWholePlanReadsEveryKindOfStep) {
    const TTestPlan plan = TTestPlanReader::Parse(R"({"name": "Bench 3", "console": 4.5, "steps": [
        {"step": "set", "setpoint": "elevation", "value": 500},
        {"step": "wait", "seconds": 1.5},
        {"step": "expect", "figure": "rate", "message": "infos", "min": 8, "max": 12},
        {"step": "settle", "figure": "speed", "max": 15, "band": 5, "for": 3, "within": 20, "name": "slows"},
        {"step": "ask", "text": "Press Enter on the console", "key": "enter"}]})", "b.json");
    EXPECT_EQ(plan.Name, "Bench 3");
    EXPECT_EQ(plan.ConsoleVersion, 4.5);
    ASSERT_EQ(plan.Steps.size(), 5u);
    EXPECT_EQ(plan.Steps[0].SetPoint, TPlanSetPoint::spElevation);
    EXPECT_EQ(plan.Steps[2].Seconds, 5); // a rate's window by default
    EXPECT_EQ(plan.Steps[3].Band, 0.05);
    EXPECT_EQ(plan.Steps[3].Min, std::nullopt);
    EXPECT_EQ(plan.Steps[4].Key, ckEnter);
    EXPECT_EQ(plan.Steps[4].Seconds, 120);
    EXPECT_EQ(TestPlanText::Title(plan.Steps[2]), "rate of infos 8 to 12/s over 5 s");
    EXPECT_EQ(TestPlanText::Title(plan.Steps[3]), "slows");
    // Without a name the plan is called after its file; without a console, any version runs it.
    const TTestPlan bare = TTestPlanReader::Parse(R"({"steps": [{"step": "wait", "seconds": 1}]})", "/x/smoke.json");
    EXPECT_EQ(bare.Name, "smoke");
    EXPECT_EQ(bare.ConsoleVersion, std::nullopt);
}

TEST(TestPlanReader, AFaultyPlanIsRefusedWithItsFileStepAndFault) {
    EXPECT_EQ(RefusalOf("{\"name\": \"p\",\n \"steps\": [}"), "bench.json: not JSON: object is missing after a comma at line 2, column 13");
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "wait", "seconds": 1}, {"step": "jump"})")),
              "bench.json: step 2: unknown step 'jump' (set, wait, expect, settle or ask)");
    EXPECT_THAT(RefusalOf(Plan(R"({"step": "expect", "figure": "sped", "min": 1})")),
                HasSubstr("bench.json: step 1: unknown figure 'sped' (speed, cadence,"));
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "expect", "figure": "speed", "min": 30, "max": 20})")),
              "bench.json: step 1: bounds reversed: 'min' 30 is above 'max' 20");
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "set", "setpoint": "resistance", "value": 300})")),
              "bench.json: step 1: 'value' is 300, outside 0 to 255");
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "set", "setpoint": "resistance", "value": 12.5})")),
              "bench.json: step 1: 'value' 12.5 is not a whole number");
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "expect", "figure": "speed", "mxa": 20})")), "bench.json: step 1: unknown field 'mxa'");
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "expect", "figure": "speed"})")), "bench.json: step 1: give 'min', 'max' or both");
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "settle", "figure": "serial", "min": 1})")),
              "bench.json: step 1: only speed, cadence, heart or power settle");
    EXPECT_EQ(RefusalOf(Plan(R"({"step": "settle", "figure": "heart", "max": 1.2, "compared": "previous"})")),
              "bench.json: step 1: nothing to compare with: no earlier settle step of heart");
    EXPECT_EQ(RefusalOf(R"({"name": "p", "steps": []})"), "bench.json: \"steps\" must be a list of at least one step");
    EXPECT_EQ(RefusalOf(R"({"name": "p", "console": "five", "steps": [{"step": "wait", "seconds": 1}]})"),
              "bench.json: 'console' must be a console version (5, 4.5 ...) or \"any\"");
    try {
        TTestPlanReader::ReadFile("missing.json");
        ADD_FAILURE() << "a missing file was read";
    } catch (const TTestPlanReader::EUnreadable& refusal) {
        EXPECT_STREQ(refusal.what(), "missing.json: No such file or directory");
    }
}

// ---- Running a plan ----

TEST_F(PlanExecutionTest, StepsEndAtOnceOrAtTheirTimeAndAFailedFigureDoesNotStopThePlan) {
    Load(R"({"step": "expect", "figure": "speed", "min": 20, "within": 10},
            {"step": "set", "setpoint": "resistance", "value": 128},
            {"step": "expect", "figure": "cadence", "min": 70, "max": 90},
            {"step": "wait", "seconds": 2},
            {"step": "expect", "figure": "rate", "message": "infos", "min": 8, "max": 12, "for": 2})");
    StartConnected(1000);
    EXPECT_EQ(Row(0).Measured, "version 5");
    EXPECT_EQ(run->Current(), 1u);
    run->Poll(6000);
    EXPECT_EQ(Row(1).State, TState::stRunning);
    figures.Speed = 24.5;
    figures.Cadence = 95;
    figures.MessageTick = 7000;
    run->StatsTick(7000);
    // The speed came, the set-point went, the cadence at once was out of bounds, the wait began.
    EXPECT_THAT(States(), ElementsAre(TState::stPassed, TState::stPassed, TState::stPassed, TState::stFailed,
                                      TState::stRunning, TState::stPending));
    EXPECT_EQ(Row(1).Measured, "24.50 km/h");
    EXPECT_EQ(Row(1).DurationMs, 6000u);
    EXPECT_THAT(applied, ElementsAre(std::pair{TPlanSetPoint::spResistance, 128.0}));
    EXPECT_EQ(Row(3).Measured, "95 rpm");
    EXPECT_EQ(Row(3).Expected, "70 to 90 rpm");
    run->Poll(8999);
    EXPECT_EQ(Row(4).State, TState::stRunning);
    run->Poll(9000);
    for (int message = 0; message < 19; ++message) run->MessageTaken(9000 + 100 * message, mtInfos);
    run->MessageTaken(9500, mtAck);
    run->Poll(11000);
    EXPECT_EQ(Row(5).Measured, "9.50/s");
    EXPECT_EQ(Row(5).State, TState::stPassed);
    EXPECT_EQ(finished, 1);
    EXPECT_FALSE(run->Passed());
    EXPECT_EQ(TPlanExecution::Count(run->Rows(), TState::stPassed), 5u);
}

TEST_F(PlanExecutionTest, AFigureOutOfBoundsFailsWhenItsTimeRunsOutWithTheLastValue) {
    Load(R"({"step": "expect", "figure": "heart", "min": 40, "max": 220, "within": 5},
            {"step": "set", "setpoint": "resistance", "value": 80})");
    setPointRefusal = "held at 0: the roller stands still";
    StartConnected(0);
    figures.Heart = 30;
    run->StatsTick(4999);
    EXPECT_EQ(Row(1).State, TState::stRunning);
    EXPECT_EQ(run->Reading(), "30 bpm");
    figures.Heart = 0;
    run->Poll(5000);
    EXPECT_EQ(Row(1).Measured, "0 bpm");
    EXPECT_EQ(Row(1).State, TState::stFailed);
    EXPECT_EQ(Row(2).State, TState::stFailed);
    EXPECT_EQ(Row(2).Expected, "held at 0: the roller stands still");
}

TEST_F(PlanExecutionTest, SettlingFollowsTheRampsRuleWithTheStepsBandAndSpan) {
    Load(R"({"step": "settle", "figure": "speed", "min": 10, "max": 15, "for": 2, "within": 8},
            {"step": "settle", "figure": "speed", "min": 10, "max": 15, "for": 2, "within": 4},
            {"step": "settle", "figure": "speed", "min": 10, "max": 15, "for": 2, "within": 3},
            {"step": "settle", "figure": "speed", "max": 0.6, "compared": "previous", "for": 2, "within": 5})");
    StartConnected(0);
    // Falling from 25 km/h, then within 2 % of 12.5 from the fourth second.
    std::uint32_t now = 0;
    for (double speed : {25.0, 20.0, 15.0, 12.5, 12.6, 12.4}) {
        figures.Speed = speed;
        run->StatsTick(now += 1000);
    }
    EXPECT_EQ(Row(1).State, TState::stPassed);
    EXPECT_EQ(Row(1).Measured, "12.50 km/h after 4.0 s");
    // Steady, but above the bound; then too short a ride to settle at all.
    figures.Speed = 25;
    for (int tick = 0; tick < 4; ++tick) run->StatsTick(now += 1000);
    EXPECT_EQ(Row(2).Measured, "settled at 25 km/h");
    for (double speed : {20.0, 12.0, 16.0}) {
        figures.Speed = speed;
        run->StatsTick(now += 1000);
    }
    EXPECT_EQ(Row(3).Measured, "not settled, last 16 km/h");
    EXPECT_EQ(Row(3).Expected, "10 to 15 km/h, within 2.0 % for 2.0 s");
    // Compared with the last speed that settled, however its step ended.
    figures.Speed = 12;
    for (int tick = 0; tick < 3; ++tick) run->StatsTick(now += 1000);
    EXPECT_EQ(Row(4).State, TState::stPassed);
    EXPECT_EQ(Row(4).Expected, "at most 15 km/h (at most 0.6 x before 25 km/h), within 2.0 % for 2.0 s");
}

TEST_F(PlanExecutionTest, AWrongConsoleOrALostLinkEndsThePlanAndLeavesTheRestNotRun) {
    Load(R"({"step": "wait", "seconds": 10}, {"step": "wait", "seconds": 1})");
    figures.Connected = true;
    figures.Version = 4.5;
    run->Start(0);
    EXPECT_THAT(States(), ElementsAre(TState::stFailed, TState::stNotRun, TState::stNotRun));
    EXPECT_EQ(Row(0).Measured, "version 4.5");
    EXPECT_EQ(Row(0).Expected, "version 5");

    Load(R"({"step": "wait", "seconds": 10}, {"step": "wait", "seconds": 1})", "\"any\"");
    figures.Connected = false;
    run->Start(0);
    run->LinkLost(500, "console disconnected"); // not connected yet: nothing to lose
    figures.Connected = true;
    run->Poll(1000);
    run->LinkLost(3500, "console disconnected");
    EXPECT_THAT(States(), ElementsAre(TState::stPassed, TState::stFailed, TState::stNotRun));
    EXPECT_EQ(Row(1).Measured, "console disconnected at 3.5 s");
    EXPECT_EQ(Row(1).DurationMs, 2500u);
    EXPECT_EQ(finished, 1);
    run->Poll(20000);
    EXPECT_EQ(finished, 1);

    Load(R"({"step": "wait", "seconds": 1})", "\"any\"");
    figures.Connected = false;
    run->Start(0);
    run->Poll(TPlanExecution::HandshakeLimitMs);
    EXPECT_EQ(Row(0).Measured, "no console connected within 15.0 s");
}

TEST_F(PlanExecutionTest, TheOperatorAnswersByTheKeyOrTheButtonOrNotAtAll) {
    Load(R"({"step": "ask", "text": "Press Enter on the console", "key": "enter", "within": 30},
            {"step": "ask", "text": "Is the display lit?"},
            {"step": "expect", "figure": "key", "key": "tab", "within": 5},
            {"step": "ask", "text": "Press Enter", "key": "enter", "within": 10})");
    StartConnected(0);
    run->KeyPressed(100, ckPlus);
    EXPECT_EQ(Row(1).State, TState::stRunning);
    run->KeyPressed(200, ckEnter);
    run->KeyPressed(300, ckEnter); // the question without a key waits for the button
    run->Answer(400, false);
    run->KeyPressed(500, ckTab);
    run->Poll(10500);
    EXPECT_THAT(States(), ElementsAre(TState::stPassed, TState::stPassed, TState::stFailed, TState::stPassed,
                                      TState::stFailed));
    EXPECT_EQ(Row(2).Measured, "answered no");
    EXPECT_EQ(Row(4).Measured, "no answer");
}

TEST_F(PlanExecutionTest, ALiveFigureHeldFromASilentConsoleFailsForWantOfAMessage) {
    Load(R"({"step": "expect", "figure": "speed", "min": 20, "within": 5},
            {"step": "expect", "figure": "cadence", "min": 70}, {"step": "expect", "figure": "cadence", "min": 70})");
    figures.Speed = 25;
    figures.Cadence = 80;
    figures.MessageTick = 900;
    StartConnected(1000);
    run->Poll(5999);
    EXPECT_EQ(Row(1).State, TState::stRunning);
    run->Poll(6000);
    EXPECT_EQ(Row(1).State, TState::stFailed);
    EXPECT_EQ(Row(1).Measured, "no message since the step began");
    // At once: the next message is waited for a moment.
    figures.MessageTick = 6100;
    run->Poll(6200);
    EXPECT_EQ(Row(2).Measured, "80 rpm");
    run->Poll(7199);
    EXPECT_EQ(Row(3).State, TState::stRunning);
    run->Poll(7200);
    EXPECT_EQ(Row(3).Measured, "no message since the step began");
}

// ---- Reports ----

TEST_F(PlanExecutionTest, TheJUnitFileHoldsACasePerRowWithItsFailureAndTheRowsNotRun) {
    Load(R"({"step": "expect", "figure": "speed", "min": 20}, {"step": "wait", "seconds": 5},
            {"step": "wait", "seconds": 5})");
    StartConnected(0);
    run->Stop(2000, "stopped by the user");
    TPlanReport report;
    report.PlanName = "p & <q>";
    report.Rows = run->Rows();
    QXmlStreamReader xml(TPlanJUnit::Xml(report));
    std::vector<std::string> seen;
    while (!xml.atEnd()) {
        if (xml.readNext() != QXmlStreamReader::StartElement) continue;
        const QString name = xml.name().toString();
        if (name == "testsuite") seen.push_back("suite " + xml.attributes().value("failures").toString().toStdString());
        if (name == "testcase") seen.push_back(xml.attributes().value("name").toString().toStdString());
        if (name == "failure" || name == "skipped")
            seen.push_back(name.toStdString() + ": " + xml.attributes().value("message").toString().toStdString());
    }
    ASSERT_FALSE(xml.hasError()) << xml.errorString().toStdString();
    EXPECT_THAT(seen, ElementsAre("suite 2", "00 hand-shake", "01 speed at least 20 km/h",
                                  "failure: 0 km/h; expected at least 20 km/h", "02 wait 5 s",
                                  "failure: stopped by the user", "03 wait 5 s",
                                  "skipped: not run: the plan ended before this step"));
    EXPECT_THAT(report.TextLines(), testing::Contains("   1 FAILED   speed at least 20 km/h: 0 km/h (expected at least 20 km/h)"));
    EXPECT_THAT(report.TextLines(), testing::Contains("Verdict: FAILED (1 of 4 passed)"));
}

TEST(PlanReportFile, AFailedWriteGivesTheSystemsReasonAndKeepsTheOldFile) {
    ASSERT_EQ(PlanReportFile::Save("report.txt", "old"), "");
    EXPECT_EQ(PlanReportFile::Save("no-such-folder/report.txt", "new"), "no-such-folder/report.txt: No such file or directory");
    // A disk that fills up in the middle of the write: the file size limit stands in for it.
    rlimit limit{};
    ASSERT_EQ(getrlimit(RLIMIT_FSIZE, &limit), 0);
    const rlimit small{16, limit.rlim_max};
    const auto previous = std::signal(SIGXFSZ, SIG_IGN);
    ASSERT_EQ(setrlimit(RLIMIT_FSIZE, &small), 0);
    const std::string failure = PlanReportFile::Save("report.txt", QByteArray(4096, 'x'));
    setrlimit(RLIMIT_FSIZE, &limit);
    std::signal(SIGXFSZ, previous);
    EXPECT_EQ(failure, "report.txt: File too large");
    QFile kept("report.txt");
    ASSERT_TRUE(kept.open(QIODevice::ReadOnly));
    EXPECT_EQ(kept.readAll(), "old");
}

TEST(PlanRunner, AResistanceTheDeviceHoldsAtZeroFailsItsStep) {
    TTerminalSession session;
    TPlanRunner runner(session);
    session.Device().SetSecurityActive(true); // the roller stands still
    session.Device().SetConnected(true);
    runner.Start(TTestPlanReader::Parse(R"({"steps": [{"step": "set", "setpoint": "resistance", "value": 80}]})", "p.json"));
    const TPlanExecution::TRow& row = runner.Execution()->Rows().at(1);
    EXPECT_EQ(row.State, TState::stFailed);
    EXPECT_EQ(row.Expected, "held at 0: the roller stands still");
}

TEST(PlanRunner, TheReportAndTheJUnitFileNameTheTrafficCaptureRunning) {
    TTerminalSession session;
    TPlanRunner runner(session);
    session.Device().SetConnected(true);
    ASSERT_EQ(session.Capture().Start("bench.capture", {}), "");
    runner.Start(TTestPlanReader::Parse(R"({"steps": [{"step": "expect", "figure": "disconnections", "max": 0}]})", "p.json"));
    ASSERT_FALSE(runner.Running());
    session.Capture().Stop();
    const TPlanReport report = runner.Report();
    EXPECT_THAT(report.TextLines(), testing::Contains("Traffic capture: bench.capture"));
    EXPECT_THAT(TPlanJUnit::Xml(report).toStdString(), HasSubstr(R"(<property name="capture" value="bench.capture"/>)"));
}
