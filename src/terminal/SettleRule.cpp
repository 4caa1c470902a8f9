#include "terminal/SettleRule.h"

#include <algorithm>
#include <cmath>
#include <numeric>

TSettleRule::TSettled TSettleRule::Judge(const std::vector<TSample>& samples) const {
    if (samples.empty() || samples.back().Ms - samples.front().Ms < FSpanMs) return {};
    const std::uint32_t stretchStart = samples.back().Ms - FSpanMs;
    // The last sample at or before the stretch's start, so that the stretch spans the whole span.
    const auto stretch = std::find_if(samples.rbegin(), samples.rend(),
                                      [&](const TSample& s) { return s.Ms <= stretchStart; }).base() - 1;
    const double mean =
        std::accumulate(stretch, samples.end(), 0.0, [](double sum, const TSample& s) { return sum + s.Value; }) /
        static_cast<double>(samples.end() - stretch);
    const auto within = [this, mean](const TSample& s) { return std::fabs(s.Value - mean) <= FTolerance * std::fabs(mean); };
    if (!std::all_of(stretch, samples.end(), within)) return {};
    const auto settled = std::find_if_not(samples.rbegin(), samples.rend(), within).base();
    return {true, settled->Ms, mean};
}
