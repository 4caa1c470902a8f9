#include "terminal/RampReport.h"

#include "device_link/TickClock.h"
#include "terminal/EventText.h"

#include <algorithm>
#include <cmath>
#include <numeric>

void TRampReport::Step(std::uint32_t tick, std::int32_t setPoint) { FSteps.push_back({tick, setPoint, {}}); }

void TRampReport::Speed(std::uint32_t tick, double speed) {
    if (FSteps.empty()) return;
    TStep& step = FSteps.back();
    step.Samples.push_back({TickElapsed(step.Tick, tick), speed});
}

// The speed settles at the mean of the step's last 2 s when every sample of that stretch lies
// within the tolerance of it; it settled at the first sample from which the speed stayed there.
TRampReport::TSettled TRampReport::Settled(const std::vector<TSample>& samples) {
    if (samples.empty() || samples.back().Ms - samples.front().Ms < SettleSpanMs) return {};
    const std::uint32_t stretchStart = samples.back().Ms - SettleSpanMs;
    // The last sample at or before the stretch's start, so that the stretch spans 2 s.
    const auto stretch = std::find_if(samples.rbegin(), samples.rend(),
                                      [&](const TSample& s) { return s.Ms <= stretchStart; }).base() - 1;
    const double speed =
        std::accumulate(stretch, samples.end(), 0.0, [](double sum, const TSample& s) { return sum + s.Speed; }) /
        static_cast<double>(samples.end() - stretch);
    const auto within = [speed](const TSample& s) { return std::fabs(s.Speed - speed) <= SettleTolerance * std::fabs(speed); };
    if (!std::all_of(stretch, samples.end(), within)) return {};
    const auto settled = std::find_if_not(samples.rbegin(), samples.rend(), within).base();
    return {true, settled->Ms, speed};
}

std::string TRampReport::StepLine(const TStep& step, const std::string& unit) {
    const std::string head = "  Resistance " + std::to_string(step.SetPoint) + ": ";
    const TSettled settled = Settled(step.Samples);
    if (settled.Found)
        return head + "settled after " + EventText::Fixed(settled.AfterMs / 1000.0L, 1) + " s at " +
               EventText::Fixed(settled.Speed, 2) + " " + unit;
    if (step.Samples.empty()) return head + "no speed sample";
    return head + "not settled, last " + EventText::Fixed(step.Samples.back().Speed, 2) + " " + unit;
}

std::vector<std::string> TRampReport::Lines(const std::string& unit) const {
    std::vector<std::string> lines{"Ramp report (settled: within 2 % for 2 s):"};
    for (const TStep& step : FSteps) lines.push_back(StepLine(step, unit));
    return lines;
}
