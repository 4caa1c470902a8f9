// Power, energy and virtual speed.
#include "device/KelvoDevice.h"

#include <cmath>

namespace {
// Coefficients of the power estimate: d v^3 + e v^2 + v (g m s + f).
struct TPowerCoefficients {
    double d, e, f, g;
};
constexpr TPowerCoefficients PowerKm{0.00145, 0.127, -0.37, 0.027};
constexpr TPowerCoefficients PowerMiles{0.006, 0.33, -0.6, 0.02};

// Coefficients of the energy increment: K1 v^3 + K2 v m + K3 v s.
struct TEnergyCoefficients {
    long double k1, k2, k3;
};
constexpr TEnergyCoefficients EnergyKm{0.0000044L, 0.000018L, 0.002L};
constexpr TEnergyCoefficients EnergyMiles{0.0000183L, 0.000013L, 0.0015L};

// The bicycle's own mass, added to the rider's.
constexpr long double BicycleKg = 10;
constexpr long double BicycleLb = 22;
constexpr double Gravity = 9.8;
// On flat or rising ground the extra speed fades by this many times the extra drag per tick.
constexpr double DecayFactor = 2.5;
constexpr long double SecondsPerHour = 3600;
} // namespace

long double TKelvoDevice::TotalMass() const {
    return FRiderWeight + (FUnitMeasure == umKm ? BicycleKg : BicycleLb);
}

double TKelvoDevice::PowerEstimate(double Speed, double Slope) const {
    if (Speed <= 0) return 0;
    const TPowerCoefficients& c = FUnitMeasure == umKm ? PowerKm : PowerMiles;
    const double mass = static_cast<double>(TotalMass());
    const double power = c.d * Speed * Speed * Speed + c.e * Speed * Speed + Speed * (c.g * mass * Slope + c.f);
    return power > 0 ? power : 0;
}

void TKelvoDevice::EnergyStep(long double OldSpeed) {
    const TEnergyCoefficients& c = FUnitMeasure == umKm ? EnergyKm : EnergyMiles;
    const long double v = OldSpeed;
    const long double energy = c.k1 * v * v * v + c.k2 * v * TotalMass() + c.k3 * v * FCurrentSlope;
    if (energy > 0) FEnergyTotal += energy;
    FEnergy = static_cast<std::int32_t>(std::nearbyint(FEnergyTotal));
}

bool TKelvoDevice::VirtualSpeedActive() const { return FVirtualSpeedEnabled && !FSimulationMode; }

void TKelvoDevice::PowerStep() {
    // The power is the rider's own: never the virtual extra speed.
    const long double speed = VirtualSpeedActive() ? FRealSpeed : FSpeed;
    FPower = static_cast<std::int32_t>(
        std::nearbyint(PowerEstimate(static_cast<double>(speed), static_cast<double>(FCurrentSlope))));
}

void TKelvoDevice::VirtualSpeedStep() {
    if (!VirtualSpeedActive()) return;
    if (FCurrentSlope < 0 || FVirtualSpeedDelta > 0) UpdateVirtualSpeed(static_cast<double>(FRealSpeed));
    else ResetVirtualSpeed();
    FVirtualDistanceStep = FVirtualSpeedDelta != 0
                               ? static_cast<double>(RoundDecimals(FPrecisionDistance, FVirtualSpeedDelta / SecondsPerHour))
                               : 0;
}

void TKelvoDevice::UpdateVirtualSpeed(double RealSpeed) {
    if (RealSpeed == 0) {
        ResetVirtualSpeed();
        return;
    }
    const double mass = static_cast<double>(TotalMass());
    const double k = mass / Gravity;
    const double previous = FVirtualSpeedDelta;
    FPreviousVirtualSpeedDelta = previous;
    FSlopeTerm = mass * std::abs(static_cast<double>(FCurrentSlope)) * FVirtualSpeedAttenuation / 100;
    FDragAtSpeed = PowerEstimate(RealSpeed, 0) / RealSpeed;
    const double virtualSpeed = RealSpeed + previous;
    FDragAtVirtualSpeed = virtualSpeed != 0 ? PowerEstimate(virtualSpeed, 0) / virtualSpeed : 0;
    FNetTerm = FDragAtSpeed + FSlopeTerm - FDragAtVirtualSpeed;
    double delta = 0;
    if (FCurrentSlope < 0) delta = static_cast<double>(RoundDecimals(FPrecisionSpeed, previous + FNetTerm / k));
    else if (std::abs(previous) > FTolerance) delta = previous - FDragAtVirtualSpeed * DecayFactor / k;
    FVirtualSpeedDelta = delta < 0 ? 0 : delta;
}

void TKelvoDevice::ResetVirtualSpeed() {
    FPreviousVirtualSpeedDelta = 0;
    FVirtualSpeedDelta = 0;
    FVirtualDistanceStep = 0;
    FDragAtVirtualSpeed = 0;
    FSlopeTerm = 0;
    FDragAtSpeed = 0;
}

void TKelvoDevice::SetVirtualSpeedEnabled(bool Value) {
    if (Value == FVirtualSpeedEnabled) return;
    if (!Value) ResetVirtualSpeed();
    FVirtualSpeedEnabled = Value;
}
