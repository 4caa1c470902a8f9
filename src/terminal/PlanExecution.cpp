#include "terminal/PlanExecution.h"

#include "terminal/EventText.h"

#include <algorithm>
#include <cmath>

using namespace TestPlanText;

namespace {

bool InBounds(const TPlanStep& step, double value) {
    return (!step.Min || value >= *step.Min) && (!step.Max || value <= *step.Max);
}

std::string VersionText(double version) { return "version " + Number(version); }

// The figures the console's messages carry, as opposed to its identity and the plan's counters.
bool IsLive(TPlanFigure figure) {
    switch (figure) {
    case TPlanFigure::pfSpeed:
    case TPlanFigure::pfCadence:
    case TPlanFigure::pfHeart:
    case TPlanFigure::pfPower:
    case TPlanFigure::pfEnergy:
    case TPlanFigure::pfDistance: return true;
    default: return false;
    }
}

std::string SecondsText(std::uint32_t ms) { return EventText::Fixed(ms / 1000.0L, 1) + " s"; }

} // namespace

TPlanExecution::TPlanExecution(TTestPlan plan) : FPlan(std::move(plan)) {
    FRows.push_back({"hand-shake", stPending, "", FPlan.ConsoleVersion ? VersionText(*FPlan.ConsoleVersion) : "any version", 0, 0});
    for (const TPlanStep& step : FPlan.Steps) FRows.push_back({Title(step), stPending, "", "", 0, 0});
}

void TPlanExecution::Start(std::uint32_t now) {
    if (FStarted) return;
    FStarted = true;
    FStartTick = now;
    Advance(now);
}

void TPlanExecution::StatsTick(std::uint32_t now) {
    if (!Running()) return;
    if (FCurrent > 0 && StepOf(FCurrent).Kind == TPlanStepKind::psSettle && FRows[FCurrent].State == stRunning)
        FSamples.push_back({RowElapsed(now), FigureNow(StepOf(FCurrent).Figure)});
    Advance(now);
}

void TPlanExecution::Poll(std::uint32_t now) {
    if (Running()) Advance(now);
}

void TPlanExecution::MessageTaken(std::uint32_t, TKelvoDeviceMessageType type) {
    if (!Running() || FCurrent == 0) return;
    const TPlanStep& step = StepOf(FCurrent);
    if (step.Kind == TPlanStepKind::psExpect && step.Figure == TPlanFigure::pfRate && step.Message == type) ++FMessages;
}

void TPlanExecution::KeyPressed(std::uint32_t now, TConsoleKey key) {
    if (!Running() || FCurrent == 0) return;
    const TPlanStep& step = StepOf(FCurrent);
    const bool waitsForKey = step.Kind == TPlanStepKind::psAsk || step.Figure == TPlanFigure::pfKey;
    if (waitsForKey && step.Key == key) FKeyPressed = true;
    Advance(now);
}

void TPlanExecution::Answer(std::uint32_t now, bool yes) {
    if (!Running() || FCurrent == 0 || StepOf(FCurrent).Kind != TPlanStepKind::psAsk) return;
    FAnswer = yes;
    Advance(now);
}

void TPlanExecution::LinkLost(std::uint32_t now, const std::string& what) {
    // Before the hand-shake the console was not there to lose.
    if (Running() && FCurrent > 0) Abort(now, what + " at " + SecondsText(ElapsedMs(now)), "no disconnection");
}

void TPlanExecution::Stop(std::uint32_t now, const std::string& why) {
    if (Running()) Abort(now, why, "");
}

std::string TPlanExecution::Reading() const {
    if (!Running() || FCurrent == 0) return {};
    const TPlanStep& step = StepOf(FCurrent);
    const bool watchesFigure = step.Kind == TPlanStepKind::psSettle ||
                               (step.Kind == TPlanStepKind::psExpect && step.Figure != TPlanFigure::pfRate &&
                                step.Figure != TPlanFigure::pfKey);
    return watchesFigure ? Value(step.Figure, FigureNow(step.Figure)) : std::string();
}

bool TPlanExecution::Passed() const { return Finished() && Count(FRows, stPassed) == FRows.size(); }

std::size_t TPlanExecution::Count(const std::vector<TRow>& rows, TState state) {
    return static_cast<std::size_t>(std::count_if(rows.begin(), rows.end(), [state](const TRow& row) { return row.State == state; }));
}

// Steps that end at once (a set-point, a figure already in bounds) let the next one begin in
// the same call. A set-point's device events may come back here: they wait for this pass.
void TPlanExecution::Advance(std::uint32_t now) {
    if (FJudging) return;
    FJudging = true;
    while (!Finished()) {
        if (FRows[FCurrent].State == stPending) BeginRow(now);
        if (!Judge(now)) break;
    }
    FJudging = false;
}

void TPlanExecution::BeginRow(std::uint32_t now) {
    TRow& row = FRows[FCurrent];
    row.State = stRunning;
    row.StartMs = ElapsedMs(now);
    FRowTick = now;
    FMessages = 0;
    FKeyPressed = false;
    FAnswer.reset();
    FSamples.clear();
    Changed(FCurrent);
}

bool TPlanExecution::Judge(std::uint32_t now) {
    if (FCurrent == 0) return JudgeHandshake(now);
    const TPlanStep& step = StepOf(FCurrent);
    switch (step.Kind) {
    case TPlanStepKind::psSet: return JudgeSet(step);
    case TPlanStepKind::psWait: return TimeUp(now, step.Seconds) && End(now, stPassed, "", "");
    case TPlanStepKind::psExpect: return JudgeExpect(now, step);
    case TPlanStepKind::psSettle: return JudgeSettle(now, step);
    case TPlanStepKind::psAsk: return JudgeAsk(now, step);
    }
    return false;
}

bool TPlanExecution::JudgeHandshake(std::uint32_t now) {
    const TPlanFigures figures = ReadFigures();
    const std::string expected = FRows[0].Expected;
    if (figures.Connected) {
        const bool right = !FPlan.ConsoleVersion || std::fabs(figures.Version - *FPlan.ConsoleVersion) < 0.001;
        if (right) return End(now, stPassed, VersionText(figures.Version), expected);
        Abort(now, VersionText(figures.Version), expected);
        return true;
    }
    if (RowElapsed(now) < HandshakeLimitMs) return false;
    Abort(now, "no console connected within " + SecondsText(HandshakeLimitMs), expected);
    return true;
}

bool TPlanExecution::JudgeSet(const TPlanStep& step) {
    const std::string failure = ApplySetPoint(step.SetPoint, step.Value);
    return End(FRowTick, failure.empty() ? stPassed : stFailed, Number(step.Value), failure);
}

bool TPlanExecution::JudgeExpect(std::uint32_t now, const TPlanStep& step) {
    if (step.Figure == TPlanFigure::pfKey) {
        const std::string key = NameOf(Keys(), *step.Key);
        if (FKeyPressed) return End(now, stPassed, key + " pressed", "");
        return TimeUp(now, step.Seconds) && End(now, stFailed, "no " + key + " key", key + " within " + SecondsText(static_cast<std::uint32_t>(step.Seconds * 1000)));
    }
    if (step.Figure == TPlanFigure::pfRate) {
        if (!TimeUp(now, step.Seconds)) return false;
        const double rate = static_cast<double>(FMessages) / step.Seconds;
        return End(now, InBounds(step, rate) ? stPassed : stFailed, Value(step.Figure, rate), Bounds(step));
    }
    if (IsLive(step.Figure) && !MessageSinceRowBegan(now)) {
        const double limit = std::max(step.Seconds, FreshMessageLimitMs / 1000.0);
        return TimeUp(now, limit) && End(now, stFailed, "no message since the step began", Bounds(step));
    }
    const double value = FigureNow(step.Figure);
    if (InBounds(step, value)) return End(now, stPassed, Value(step.Figure, value), Bounds(step));
    return TimeUp(now, step.Seconds) && End(now, stFailed, Value(step.Figure, value), Bounds(step));
}

bool TPlanExecution::JudgeSettle(std::uint32_t now, const TPlanStep& step) {
    TPlanStep bounds = step;
    std::string expected = Bounds(step);
    if (step.Relative) {
        const auto before = FSettledAt.find(step.Figure);
        if (before == FSettledAt.end()) return End(now, stFailed, "nothing settled before", "an earlier settle step that settled");
        const auto scale = [&](std::optional<double>& bound) {
            if (bound) bound = *bound * before->second;
        };
        scale(bounds.Min);
        scale(bounds.Max);
        bounds.Relative = false;
        expected = Bounds(bounds) + " (" + expected + " " + Value(step.Figure, before->second) + ")";
    }
    const auto span = static_cast<std::uint32_t>(step.SettleSeconds * 1000);
    expected += ", within " + EventText::Fixed(step.Band * 100, 1) + " % for " + SecondsText(span);
    const TSettleRule::TSettled settled = TSettleRule(span, step.Band).Judge(FSamples);
    if (settled.Found && InBounds(bounds, settled.Value)) {
        FSettledAt[step.Figure] = settled.Value;
        return End(now, stPassed, Value(step.Figure, settled.Value) + " after " + SecondsText(settled.AfterMs), expected);
    }
    if (!TimeUp(now, step.Seconds)) return false;
    if (settled.Found) FSettledAt[step.Figure] = settled.Value;
    const std::string measured = settled.Found   ? "settled at " + Value(step.Figure, settled.Value)
                                 : FSamples.empty() ? "no sample"
                                                    : "not settled, last " + Value(step.Figure, FSamples.back().Value);
    return End(now, stFailed, measured, expected);
}

bool TPlanExecution::JudgeAsk(std::uint32_t now, const TPlanStep& step) {
    if (FAnswer) return End(now, *FAnswer ? stPassed : stFailed, *FAnswer ? "answered yes" : "answered no", "");
    if (FKeyPressed) return End(now, stPassed, NameOf(Keys(), *step.Key) + " pressed", "");
    return TimeUp(now, step.Seconds) &&
           End(now, stFailed, "no answer", "an answer within " + SecondsText(static_cast<std::uint32_t>(step.Seconds * 1000)));
}

bool TPlanExecution::End(std::uint32_t now, TState state, const std::string& measured, const std::string& expected) {
    TRow& row = FRows[FCurrent];
    row.State = state;
    row.Measured = measured;
    row.Expected = expected;
    row.DurationMs = RowElapsed(now);
    Changed(FCurrent);
    ++FCurrent;
    if (Finished() && OnFinished) OnFinished();
    return true;
}

void TPlanExecution::Abort(std::uint32_t now, const std::string& measured, const std::string& why) {
    const std::size_t failed = FCurrent;
    FCurrent = FRows.size(); // no row runs while the handlers hear of it
    FRows[failed].State = stFailed;
    FRows[failed].Measured = measured;
    FRows[failed].Expected = why;
    FRows[failed].DurationMs = RowElapsed(now);
    Changed(failed);
    for (std::size_t row = failed + 1; row < FRows.size(); ++row) {
        FRows[row].State = stNotRun;
        Changed(row);
    }
    if (OnFinished) OnFinished();
}

double TPlanExecution::FigureNow(TPlanFigure figure) const {
    const TPlanFigures figures = ReadFigures();
    switch (figure) {
    case TPlanFigure::pfSpeed: return figures.Speed;
    case TPlanFigure::pfCadence: return figures.Cadence;
    case TPlanFigure::pfHeart: return figures.Heart;
    case TPlanFigure::pfPower: return figures.Power;
    case TPlanFigure::pfEnergy: return figures.Energy;
    case TPlanFigure::pfDistance: return figures.Distance;
    case TPlanFigure::pfSerial: return figures.Serial;
    case TPlanFigure::pfFirmware: return figures.Firmware;
    case TPlanFigure::pfDisconnections: return figures.Disconnections;
    case TPlanFigure::pfRejected: return figures.Rejected;
    case TPlanFigure::pfDiscarded: return figures.Discarded;
    case TPlanFigure::pfRate:
    case TPlanFigure::pfKey: break;
    }
    return 0;
}

void TPlanExecution::Changed(std::size_t row) const {
    if (OnRowChanged) OnRowChanged(row);
}
