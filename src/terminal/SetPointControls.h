#pragma once

#include <cstdint>
#include <functional>

class TTerminalSession;

// The resistance and elevation controls of the "Pc to console" panel without widgets: each
// field with its level bar and track bar. A change of a field applies the set-point to the
// device and writes its echo line; the bars show the field. After every stop or disconnection
// (the device then holds its resting set-points) the controls take the device's values without
// echo or send, so the controls always show the set-points in force.
class TSetPointControls {
public:
    explicit TSetPointControls(TTerminalSession& session);
    TSetPointControls(const TSetPointControls&) = delete;
    TSetPointControls& operator=(const TSetPointControls&) = delete;

    static constexpr std::int32_t MaxSetPoint = 255;
    static constexpr std::int32_t MaxResistanceTrack = 254;

    std::int32_t GetResistance() const { return FResistance; }
    std::int32_t GetResistanceTrack() const { return FResistanceTrack; }
    std::int32_t GetElevation() const { return FElevation; }
    std::int32_t GetElevationTrack() const { return FElevationTrack; }

    // The resistance field took a value: applied, echoed while the port is open.
    void SetResistance(std::int32_t value);
    // The resistance track bar's drag ended, or a key or the wheel moved it: the field takes it.
    void ResistanceTrackMoved(std::int32_t position);
    // The elevation field or its track bar took a value: applied and sent with its echo.
    void SetElevation(std::int32_t value);

    // Shows the device's set-points without applying them.
    void FollowDevice();

    // The field's value and the bar's position to show.
    std::function<void(std::int32_t field, std::int32_t track)> OnShowResistance;
    std::function<void(std::int32_t field, std::int32_t track)> OnShowElevation;

private:
    void HookDevice();
    void ShowResistance(std::int32_t value);
    void ShowElevation(std::int32_t value);
    void EchoResistance();

    TTerminalSession& FSession;
    std::int32_t FResistance = 0;
    std::int32_t FResistanceTrack = 0;
    std::int32_t FElevation = 0;
    std::int32_t FElevationTrack = 0;
};
