// Power, energy and virtual speed.
#include "device/KelvoDevice.h"

void TKelvoDevice::ResetVirtualSpeed() {
    FVirtualSpeedDelta = 0;
    FVirtualDistanceStep = 0;
}

void TKelvoDevice::EnergyStep(long double) {}

void TKelvoDevice::PowerStep() {}

void TKelvoDevice::UpdateVirtualSpeed(double) {}
