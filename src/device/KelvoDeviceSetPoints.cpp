// Resistance and elevation set-points.
#include "device/KelvoDevice.h"

#include "device/KelvoProtocol.h"

void TKelvoDevice::SetKelvoResistance(std::int32_t Value) { FKelvoResistance = Value; }

void TKelvoDevice::SetKelvoElevation(std::int32_t Value) { FKelvoElevation = Value; }

void TKelvoDevice::SetInitialResistance(std::int32_t Value) { FInitialResistance = Value; }

void TKelvoDevice::SendSetPoints() {
    if (FRepairing) return;
    Send(KelvoProtocol::BuildRequest(KelvoProtocol::rqSetPoints, FKelvoResistance, FKelvoElevation));
}
