#include "terminal/SetPointControls.h"

#include "device/KelvoProtocol.h"
#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"

#include <algorithm>

TSetPointControls::TSetPointControls(TTerminalSession& session) : FSession(session) { HookDevice(); }

void TSetPointControls::HookDevice() {
    TKelvoDevice& device = FSession.Device();
    RunAfterHandler(device.OnAfterStop, [this](TComponent*) { FollowDevice(); });
    RunAfterHandler(device.OnDisconnected, [this](TComponent*) { FollowDevice(); });
}

void TSetPointControls::SetResistance(std::int32_t value) {
    TKelvoDevice& device = FSession.Device();
    ShowResistance(std::clamp(value, 0, MaxSetPoint));
    FSession.Capture().Note("setpoint resistance " + std::to_string(FResistance));
    // A set-point that did not go out has its failure line instead of an echo.
    const bool sent = FSession.RunUserWrite([&] { device.SetKelvoResistance(FResistance); });
    if (sent && device.GetComPortConnected()) EchoResistance();
}

void TSetPointControls::EchoResistance() {
    const TKelvoDevice& device = FSession.Device();
    const std::string description =
        KelvoProtocol::RequestLogText(KelvoProtocol::rqSetPoints, static_cast<std::uint16_t>(device.GetKelvoResistance()),
                                      static_cast<std::uint16_t>(device.GetKelvoElevation()));
    FSession.WriteEcho(EventText::ResistanceEchoLine(description));
}

void TSetPointControls::ResistanceTrackMoved(std::int32_t position) {
    SetResistance(std::clamp(position, 0, MaxResistanceTrack));
}

void TSetPointControls::SetElevation(std::int32_t value) {
    TKelvoDevice& device = FSession.Device();
    ShowElevation(std::clamp(value, 0, MaxSetPoint));
    device.SetKelvoElevation(FElevation);
    // The request carries what the device itself would send: no resistance at a standstill
    // while the security holds the roller. Byte-stream consoles get nothing (the session's rule).
    FSession.SendConsoleRequest(KelvoProtocol::rqSetPoints, device.ResistanceToSend(), FElevation);
}

void TSetPointControls::FollowDevice() {
    const TKelvoDevice& device = FSession.Device();
    ShowResistance(device.GetKelvoResistance());
    ShowElevation(std::clamp(device.GetKelvoElevation(), 0, MaxSetPoint));
}

void TSetPointControls::ShowResistance(std::int32_t value) {
    FResistance = value;
    FResistanceTrack = std::min(value, MaxResistanceTrack);
    Raise(OnShowResistance, FResistance, FResistanceTrack);
}

void TSetPointControls::ShowElevation(std::int32_t value) {
    FElevation = value;
    FElevationTrack = value;
    Raise(OnShowElevation, FElevation, FElevationTrack);
}
