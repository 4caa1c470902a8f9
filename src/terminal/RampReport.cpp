#include "terminal/RampReport.h"

#include "device_link/TickClock.h"
#include "terminal/EventText.h"

void TRampReport::Step(std::uint32_t tick, std::int32_t setPoint) { FSteps.push_back({tick, setPoint, {}}); }

void TRampReport::Speed(std::uint32_t tick, double speed) {
    if (FSteps.empty()) return;
    TStep& step = FSteps.back();
    step.Samples.push_back({TickElapsed(step.Tick, tick), speed});
}

std::string TRampReport::StepLine(const TStep& step, const std::string& unit) {
    const std::string head = "  Resistance " + std::to_string(step.SetPoint) + ": ";
    const TSettleRule::TSettled settled = TSettleRule(SettleSpanMs, SettleTolerance).Judge(step.Samples);
    if (settled.Found)
        return head + "settled after " + EventText::Fixed(settled.AfterMs / 1000.0L, 1) + " s at " +
               EventText::Fixed(settled.Value, 2) + " " + unit;
    if (step.Samples.empty()) return head + "no speed sample";
    return head + "not settled, last " + EventText::Fixed(step.Samples.back().Value, 2) + " " + unit;
}

std::vector<std::string> TRampReport::Lines(const std::string& unit) const {
    std::vector<std::string> lines{"Ramp report (settled: within 2 % for 2 s):"};
    for (const TStep& step : FSteps) lines.push_back(StepLine(step, unit));
    return lines;
}
