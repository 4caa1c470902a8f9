#pragma once

#include "device_link/QorinThreadTimer.h"
#include "terminal/RampReport.h"

#include <cstdint>
#include <functional>
#include <string>

class TSetPointControls;
class TTerminalSession;
class TUserDialogs;

// The resistance ramp of "Resistance test": from the field's value it climbs by the step at the
// pace, holds 255 for one more interval, then falls back to 0 and stops with "Test finished !".
// It stops in every state with "Start/Stop" or "Start test", and at the first tick that finds
// the device no longer connected. Each step lasts the pace read when the ramp started or at the
// step before. When it stops, the terminal gets its report.
class TResistanceRamp {
public:
    TResistanceRamp(TTerminalSession& session, TSetPointControls& setPoints, TUserDialogs& dialogs);
    TResistanceRamp(const TResistanceRamp&) = delete;
    TResistanceRamp& operator=(const TResistanceRamp&) = delete;

    static constexpr const char* StartCaption = "Start";
    static constexpr const char* StopCaption = "Stop";
    static constexpr const char* FinishedText = "Test finished !";

    // "Incr. by" and the pace in seconds, clamped into 1..150 and 1..999.
    void SetStep(std::int32_t value);
    std::int32_t GetStep() const { return FStep; }
    void SetPace(std::int32_t seconds);
    std::int32_t GetPace() const { return FPace; }

    // "Start/Stop": starts the ramp while the device is connected, stops a running one always.
    void StartOrStop();
    bool Running() const { return FTimer.GetEnabled(); }
    TQorinThreadTimer& Timer() { return FTimer; }
    // One step; the timer calls it.
    void Tick();

    std::function<void(const std::string& caption)> OnCaption;

private:
    void Start();
    void Stop();
    void ApplyPace();
    void Report();
    void HookStats();

    TTerminalSession& FSession;
    TSetPointControls& FSetPoints;
    TUserDialogs& FDialogs;
    TQorinThreadTimer FTimer;
    TRampReport FReport;
    std::int32_t FStep = 1;
    std::int32_t FPace = 5;
};
