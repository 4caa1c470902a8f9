#pragma once

#include "terminal/SettleRule.h"

#include <cstdint>
#include <string>
#include <vector>

// What a resistance ramp did to the rider: for each step, the set-point, the time until the
// speed settled (from then on within 2 % of the speed it held over the step's last 2 s) and
// that speed. Fed with the steps and the statistics ticks' speeds; times are tick counts.
class TRampReport {
public:
    static constexpr std::uint32_t SettleSpanMs = 2000;
    static constexpr double SettleTolerance = 0.02;

    void Clear() { FSteps.clear(); }
    void Step(std::uint32_t tick, std::int32_t setPoint);
    // A speed sample; ignored before the first step.
    void Speed(std::uint32_t tick, double speed);
    bool Empty() const { return FSteps.empty(); }

    // One line per step, after a heading; `unit` names the speed unit ("km/h").
    std::vector<std::string> Lines(const std::string& unit) const;

private:
    using TSample = TSettleRule::TSample;
    struct TStep {
        std::uint32_t Tick;
        std::int32_t SetPoint;
        std::vector<TSample> Samples;
    };
    static std::string StepLine(const TStep& step, const std::string& unit);

    std::vector<TStep> FSteps;
};
