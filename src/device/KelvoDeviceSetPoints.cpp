// Resistance and elevation set-points.
#include "device/KelvoDevice.h"

#include "device/KelvoProtocol.h"

#include <algorithm>
#include <cmath>

namespace {
constexpr std::int32_t MaxSetPoint = 255;
// 255 / 9999: the elevation range 0..9999 covers one byte.
constexpr double ElevationByteScale = 0.025502550255025502;
} // namespace

bool TKelvoDevice::ResistanceHeldAtZero() const { return FSecurityActive && FSpeed == 0; }

void TKelvoDevice::SetKelvoResistance(std::int32_t Value) {
    Value = std::clamp(Value, 0, MaxSetPoint);
    // A brake that bites before the roller turns would hold the rider at the start.
    if (ResistanceHeldAtZero()) Value = 0;
    FKelvoResistance = Value;
    if (!FMaintainsConsoleActive) SendSetPoints();
}

// Sent with the next request, never on its own, and not bounded: only its low byte goes out.
void TKelvoDevice::SetKelvoElevation(std::int32_t Value) { FKelvoElevation = Value; }

void TKelvoDevice::SetInitialResistance(std::int32_t Value) {
    Value = std::clamp(Value, 0, MaxSetPoint);
    // The frame delimiters are never chosen as a resting resistance.
    if (Value == KelvoProtocol::StartByte) Value = KelvoProtocol::StartByte - 1;
    if (Value == KelvoProtocol::StopByte) Value = KelvoProtocol::StopByte - 1;
    if (Value == FInitialResistance) return;
    FInitialResistance = Value;
    SetKelvoResistance(Value);
}

void TKelvoDevice::SetCurrentElevation(std::int32_t Value) {
    if (Value == FCurrentElevation) return;
    FCurrentElevation = Value;
    SetKelvoElevation(ElevationToByte(Value));
}

std::int32_t TKelvoDevice::ElevationToByte(std::int32_t Value) const {
    return static_cast<std::int32_t>(std::nearbyint(Value * ElevationByteScale));
}

std::int32_t TKelvoDevice::ResistanceToSend() const { return ResistanceHeldAtZero() ? 0 : FKelvoResistance; }

void TKelvoDevice::SendSetPoints() {
    const std::int32_t resistance = ResistanceToSend();
    // The byte-stream consoles take no set-points; a repair sends nothing until it is over.
    if (FVersion < 4 || FRepairing) return;
    Send(KelvoProtocol::BuildRequest(KelvoProtocol::rqSetPoints, resistance, FKelvoElevation & 0xFF));
}

void TKelvoDevice::SetResistanceReducer(double Value) { FResistanceReducer = std::clamp(Value, 0.0, 1.0); }

void TKelvoDevice::ZeroSetPoints() {
    SetKelvoResistance(0);
    SetKelvoElevation(0);
}
