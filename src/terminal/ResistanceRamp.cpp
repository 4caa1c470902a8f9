#include "terminal/ResistanceRamp.h"

#include "device_link/TickClock.h"
#include "terminal/HandlerChain.h"
#include "terminal/SetPointControls.h"
#include "terminal/TerminalSession.h"
#include "terminal/UserDialogs.h"

#include <algorithm>

namespace {
constexpr std::int32_t MaxStep = 150;
constexpr std::int32_t MaxPaceSeconds = 999;
} // namespace

TResistanceRamp::TResistanceRamp(TTerminalSession& session, TSetPointControls& setPoints, TUserDialogs& dialogs)
    : FSession(session), FSetPoints(setPoints), FDialogs(dialogs) {
    FTimer.SetInterval(1000);
    FTimer.OnTimer = [this](TComponent*) { Tick(); };
    HookStats();
}

void TResistanceRamp::HookStats() {
    RunAfterHandler(FSession.Device().OnStats, [this](TComponent*, int, int, long double, long double, long double, bool) {
        if (Running()) FReport.Speed(TickCount(), static_cast<double>(FSession.Device().GetSpeed()));
    });
}

void TResistanceRamp::SetStep(std::int32_t value) { FStep = std::clamp(value, 1, MaxStep); }

void TResistanceRamp::SetPace(std::int32_t seconds) { FPace = std::clamp(seconds, 1, MaxPaceSeconds); }

void TResistanceRamp::StartOrStop() {
    if (Running()) Stop();
    else if (FSession.Device().GetConnected()) Start();
}

void TResistanceRamp::Start() {
    FReport.Clear();
    FReport.Step(TickCount(), FSetPoints.GetResistance());
    // Each ramp holds its first value for the pace the field shows now, not for the pace read at
    // the last tick of the ramp before (after a 999 s ramp the next one would wait 16 minutes).
    ApplyPace();
    FTimer.SetEnabled(true);
    Raise(OnCaption, std::string(StopCaption));
}

void TResistanceRamp::Stop() {
    FTimer.SetEnabled(false);
    Raise(OnCaption, std::string(StartCaption));
    Report();
}

void TResistanceRamp::Tick() {
    if (!FSession.Device().GetConnected()) {
        Stop();
        return;
    }
    const std::int32_t current = FSetPoints.GetResistance();
    std::int32_t next = current + FStep;
    if (current == TSetPointControls::MaxSetPoint) {
        // The ramp ends even when the roller cannot be told.
        FSession.RunUserWrite([this] { FSession.Device().SetKelvoResistance(0); });
        Stop();
        FDialogs.ShowMessage(TUserDialogs::bkInformation, FinishedText);
        next = 0;
    }
    FSetPoints.SetResistance(std::min(next, TSetPointControls::MaxSetPoint));
    if (Running()) FReport.Step(TickCount(), FSetPoints.GetResistance());
    ApplyPace();
}

void TResistanceRamp::ApplyPace() { FTimer.SetInterval(static_cast<std::uint32_t>(FPace) * 1000); }

void TResistanceRamp::Report() {
    if (FReport.Empty()) return;
    const char* unit = FSession.Device().GetUnitMeasure() == umMiles ? "mph" : "km/h";
    for (const std::string& line : FReport.Lines(unit)) Raise(FSession.OnAddLine, line);
    FReport.Clear();
}
