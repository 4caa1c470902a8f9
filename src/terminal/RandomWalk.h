#pragma once

#include "device_link/QorinThreadTimer.h"

#include <cstdint>
#include <functional>
#include <string>

class TSetPointControls;
class TTerminalSession;

// "Random resistance" and "Random elevation": once a second each checked walk moves its track
// bar by a random step of -E/2..E/2 (E = RandomEntity) and applies the new position as the
// set-point. The first tick that finds the device no longer connected stops the walks and
// unchecks both items.
class TRandomWalk {
public:
    TRandomWalk(TTerminalSession& session, TSetPointControls& setPoints);
    TRandomWalk(const TRandomWalk&) = delete;
    TRandomWalk& operator=(const TRandomWalk&) = delete;

    // The two menu items' check marks after a click on either.
    void SetWalks(bool resistance, bool elevation);
    bool Running() const { return FTimer.GetEnabled(); }
    TQorinThreadTimer& Timer() { return FTimer; }
    void Tick();

    std::int32_t GetRandomEntity() const { return FRandomEntity; }
    // "Set random value": the input box's text; the conversion error's message for a text that is
    // not an integer (the value then stays), empty otherwise.
    std::string SetRandomEntityText(const std::string& text);

    // round(r x E - E/2), ties to even, for a uniform r in [0, 1).
    static std::int32_t RandomStep(double r, std::int32_t entity);

    // A fresh uniform number in [0, 1) for each step; tests give their own.
    std::function<double()> Random;
    // Both items lose their check marks (the walk stopped by itself).
    std::function<void()> OnWalksUnchecked;

private:
    std::int32_t Stepped(std::int32_t position) const;

    TTerminalSession& FSession;
    TSetPointControls& FSetPoints;
    TQorinThreadTimer FTimer;
    bool FResistance = false;
    bool FElevation = false;
    std::int32_t FRandomEntity = 30;
};
