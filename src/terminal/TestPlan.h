#pragma once

#include "device/KelvoTypes.h"

#include <cstddef>
#include <optional>
#include <string>
#include <utility>
#include <vector>

// A test plan: one console driven through the same steps every time, each ending in a
// verdict. Read from a JSON file by TTestPlanReader; run by TPlanExecution.

// What a step measures. The counters (disconnections, rejected frames, discarded bytes) count
// from the plan's start.
enum class TPlanFigure {
    pfSpeed, pfCadence, pfHeart, pfPower, pfEnergy, pfDistance, pfSerial, pfFirmware,
    pfRate, pfKey, pfDisconnections, pfRejected, pfDiscarded,
};

// What a "set" step changes, as the monitor's commands do.
enum class TPlanSetPoint { spResistance, spElevation, spSlope, spWeight };
inline constexpr std::size_t PlanSetPointCount = 4;

enum class TPlanStepKind { psSet, psWait, psExpect, psSettle, psAsk };

struct TPlanStep {
    TPlanStepKind Kind = TPlanStepKind::psWait;
    // The file's own title for the step; empty: the step describes itself.
    std::string Name;
    TPlanSetPoint SetPoint = TPlanSetPoint::spResistance;
    double Value = 0;
    // A wait's length; the time limit of expect ("within", 0: at once), settle and ask; the
    // measuring window of a rate ("for").
    double Seconds = 0;
    TPlanFigure Figure = TPlanFigure::pfSpeed;
    std::optional<double> Min;
    std::optional<double> Max;
    TKelvoDeviceMessageType Message = mtInfos;
    // The console key a key step waits for, or that answers an operator's question.
    std::optional<TConsoleKey> Key;
    // A settle step: how long the figure stays within the band (a fraction of its mean).
    double SettleSeconds = 2;
    double Band = 0.02;
    // A settle step compared with the one before it: its bounds are fractions of the value at
    // which the last earlier settle step of the same figure settled.
    bool Relative = false;
    // The operator's question.
    std::string Text;
};

struct TTestPlan {
    std::string Name;
    std::string FileName;
    // The console version the plan is written for; empty: any.
    std::optional<double> ConsoleVersion;
    std::vector<TPlanStep> Steps;
};

namespace TestPlanText {
// The names a plan file uses, in the order its messages list them.
template <typename T> using TNames = std::vector<std::pair<std::string, T>>;
const TNames<TPlanStepKind>& StepKinds();
const TNames<TPlanFigure>& Figures();
const TNames<TPlanSetPoint>& SetPoints();
const TNames<TKelvoDeviceMessageType>& Messages();
const TNames<TConsoleKey>& Keys();
// The name of `value` in `names`.
template <typename T> const std::string& NameOf(const TNames<T>& names, T value) {
    for (const auto& [name, named] : names)
        if (named == value) return name;
    return names.front().first;
}
const char* FigureUnit(TPlanFigure figure);
// A plain number with the decimals it needs (at most 3): "12.5", "255".
std::string Number(double value);
// A value as the reports show it, with the figure's unit: "12.5 km/h", "123456".
std::string Value(TPlanFigure figure, double value);
// "20 to 30 km/h", "at least 1", "at most 0".
std::string Bounds(const TPlanStep& step);
// The step's name, or what it does: "speed 20 to 30 km/h within 10 s".
std::string Title(const TPlanStep& step);
} // namespace TestPlanText
