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

// The first sample from which a stretch of 2 s at least (up to the first sample 2 s later)
// stays within the tolerance of its own mean.
TRampReport::TSettled TRampReport::Settled(const std::vector<TSample>& samples) {
    for (auto first = samples.begin(); first != samples.end(); ++first) {
        auto end = std::find_if(first, samples.end(),
                                [&](const TSample& s) { return s.Ms - first->Ms >= SettleSpanMs; });
        if (end == samples.end()) break; // no full stretch is left
        ++end;
        const double mean =
            std::accumulate(first, end, 0.0, [](double sum, const TSample& s) { return sum + s.Speed; }) /
            static_cast<double>(end - first);
        const bool steady = std::all_of(first, end, [mean](const TSample& s) {
            return std::fabs(s.Speed - mean) <= SettleTolerance * std::fabs(mean);
        });
        if (steady) return {true, first->Ms, mean};
    }
    return {};
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
