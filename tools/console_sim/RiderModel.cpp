#include "console_sim/RiderModel.h"

#include <algorithm>

namespace {
// Resistance steps that halve the rider's speed.
constexpr double HalvingLoad = 128;
constexpr double ElevationWeight = 8;
// A steep descent at most doubles the speed.
constexpr double LowestLoad = -64;
constexpr double HeartPerLoad = 0.25;
constexpr double HighestHeart = 220;
} // namespace

void TRiderModel::SetSetPoints(std::uint8_t resistance, std::uint8_t elevation) {
    FResistance = resistance;
    FElevation = static_cast<std::int8_t>(elevation);
}

double TRiderModel::GetLoad() const {
    if (FBrakeFailed) return 0;
    return std::max(LowestLoad, FResistance + ElevationWeight * FElevation);
}

double TRiderModel::EffortFactor() const { return HalvingLoad / (HalvingLoad + GetLoad()); }

double TRiderModel::GetHeart() const {
    if (FBaseHeart <= 0) return 0;
    return std::min(HighestHeart, FBaseHeart + HeartPerLoad * std::max(0.0, GetLoad()));
}
