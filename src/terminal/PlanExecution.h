#pragma once

#include "terminal/SettleRule.h"
#include "terminal/TestPlan.h"

#include <cstddef>
#include <cstdint>
#include <functional>
#include <map>
#include <string>
#include <vector>

// The figures a plan judges, as they stand now. The counters count from the plan's start.
struct TPlanFigures {
    bool Connected = false;
    double Version = 0;
    double Speed = 0;
    double Cadence = 0;
    double Heart = 0;
    double Power = 0;
    double Energy = 0;
    double Distance = 0;
    double Serial = 0;
    double Firmware = 0;
    double Disconnections = 0;
    double Rejected = 0;
    double Discarded = 0;
    // When the console's last message came (the tick clock): the device holds its last
    // figures after the console falls silent.
    std::uint32_t MessageTick = 0;
};

// One plan's run as a state machine without a device or a clock of its own: it is told the
// time with every input, reads the figures through ReadFigures, and applies set-points
// through ApplySetPoint. Its first row is the hand-shake (the console connected, of the
// plan's version); then one row per step. A failed step does not stop the plan, a failed
// hand-shake, a lost link and Stop do: the steps left are not run.
class TPlanExecution {
public:
    enum TState { stPending, stRunning, stPassed, stFailed, stNotRun };
    struct TRow {
        std::string Title;
        TState State = stPending;
        std::string Measured;
        // What the value had to be; for a failure without a value, why it failed.
        std::string Expected;
        std::uint32_t StartMs = 0; // since the plan started
        std::uint32_t DurationMs = 0;
    };
    static constexpr std::uint32_t HandshakeLimitMs = 15000;
    // How long a live figure expected at once waits for the console's next message: it sends
    // about ten a second.
    static constexpr std::uint32_t FreshMessageLimitMs = 1000;

    explicit TPlanExecution(TTestPlan plan);

    std::function<TPlanFigures()> ReadFigures;
    // Returns why the set-point could not be applied, empty when it was.
    std::function<std::string(TPlanSetPoint setPoint, double value)> ApplySetPoint;
    std::function<void(std::size_t row)> OnRowChanged;
    std::function<void()> OnFinished;

    void Start(std::uint32_t now);
    // A statistics tick: a settling figure takes its sample.
    void StatsTick(std::uint32_t now);
    // Time passes: waits end, limits run out, figures that came meanwhile are judged.
    void Poll(std::uint32_t now);
    void MessageTaken(std::uint32_t now, TKelvoDeviceMessageType type);
    void KeyPressed(std::uint32_t now, TConsoleKey key);
    // The operator's button, for the question being asked.
    void Answer(std::uint32_t now, bool yes);
    // The console went away: the running step fails with `what`, the plan ends.
    void LinkLost(std::uint32_t now, const std::string& what);
    void Stop(std::uint32_t now, const std::string& why);

    const TTestPlan& Plan() const { return FPlan; }
    const std::vector<TRow>& Rows() const { return FRows; }
    // The row running, or Rows().size() when none is.
    std::size_t Current() const { return FCurrent; }
    // The step of a row (row 0 is the hand-shake, which has none).
    const TPlanStep& StepOf(std::size_t row) const { return FPlan.Steps.at(row - 1); }
    bool Running() const { return FStarted && !Finished(); }
    // The figure the running step watches, as it stands now ("25.01 km/h"); empty for a step
    // that watches none.
    std::string Reading() const;
    bool Finished() const { return FCurrent >= FRows.size(); }
    bool Passed() const;
    // How many of `rows` are in `state`.
    static std::size_t Count(const std::vector<TRow>& rows, TState state);
    std::uint32_t ElapsedMs(std::uint32_t now) const { return now - FStartTick; }

private:
    void Advance(std::uint32_t now);
    void BeginRow(std::uint32_t now);
    // Judges the running row; true when it ended.
    bool Judge(std::uint32_t now);
    bool JudgeHandshake(std::uint32_t now);
    bool JudgeExpect(std::uint32_t now, const TPlanStep& step);
    bool JudgeSettle(std::uint32_t now, const TPlanStep& step);
    bool JudgeAsk(std::uint32_t now, const TPlanStep& step);
    bool JudgeSet(const TPlanStep& step);
    bool End(std::uint32_t now, TState state, const std::string& measured, const std::string& expected);
    // Ends the plan: the running row fails with `measured` and `why`, the rest are not run.
    void Abort(std::uint32_t now, const std::string& measured, const std::string& why);
    std::uint32_t RowElapsed(std::uint32_t now) const { return now - FRowTick; }
    bool TimeUp(std::uint32_t now, double seconds) const { return RowElapsed(now) >= seconds * 1000; }
    // Whether a message came since the running row began (the tick clock wraps).
    bool MessageSinceRowBegan(std::uint32_t now) const { return ReadFigures().MessageTick - FRowTick <= RowElapsed(now); }
    double FigureNow(TPlanFigure figure) const;
    void Changed(std::size_t row) const;

    TTestPlan FPlan;
    std::vector<TRow> FRows;
    std::size_t FCurrent = 0;
    bool FStarted = false;
    std::uint32_t FStartTick = 0;
    std::uint32_t FRowTick = 0;
    // What the running row gathered: messages of its type, whether its key came, the
    // operator's answer, the settling figure's samples.
    std::uint64_t FMessages = 0;
    bool FKeyPressed = false;
    std::optional<bool> FAnswer;
    std::vector<TSettleRule::TSample> FSamples;
    // Where each figure settled last, for the steps compared with it.
    std::map<TPlanFigure, double> FSettledAt;
    bool FJudging = false;
};
