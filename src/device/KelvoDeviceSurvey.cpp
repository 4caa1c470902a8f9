// Connection survey, repair and keep-alive.
#include "device/KelvoDevice.h"

#include "device/KelvoProtocol.h"

void TKelvoDevice::SetConnectionSurvey(bool Value) {
    if (Value == FConnectionSurvey) return;
    FConnectionSurvey = Value;
    FConnectionSurveyTimer->SetEnabled(Value);
}

void TKelvoDevice::SetConnectionSurveyInterval(std::int32_t Value) {
    FConnectionSurveyInterval = Value;
    FConnectionSurveyTimer->SetInterval(Value);
}

void TKelvoDevice::SetDisconDelayBetweenCloseOpenPort(std::int32_t Value) {
    if (Value == FDisconDelayBetweenCloseOpenPort) return;
    FDisconDelayBetweenCloseOpenPort = std::clamp(Value, 300, 2000);
}

void TKelvoDevice::SetSurveysActive(bool Value) {
    FConnectionSurveyTimer->SetEnabled(Value && FConnectionSurvey);
}

bool TKelvoDevice::QuickConnectDevice() { return TryConnect(300); }

void TKelvoDevice::SurveyTick(TComponent*) {
    if (IsDestroying()) return;
    FNoMessageSinceTick = true;
}

void TKelvoDevice::KeepAliveAfterFrame() {
    if (FVersion == 4 && FConnected && FMaintainsConsoleActive) SendSetPoints();
}

void TKelvoDevice::SendKeepAliveSetPoints() {
    const bool inRide = FStatus >= dsConnected && FStatus <= dsStopped;
    if (FVersion <= 4 || !FConnected || !FMaintainsConsoleActive || !inRide) return;
    try {
        SendSetPoints();
    } catch (...) {
        // The next tick sends again; a lost keep-alive is what the survey watches for.
    }
}
