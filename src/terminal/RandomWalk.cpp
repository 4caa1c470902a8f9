#include "terminal/RandomWalk.h"

#include "terminal/IntegerText.h"
#include "terminal/SetPointControls.h"
#include "terminal/TerminalSession.h"

#include <algorithm>
#include <cmath>
#include <random>

namespace {
double UniformRandom() {
    static std::mt19937 generator{std::random_device{}()};
    return std::uniform_real_distribution<double>(0.0, 1.0)(generator);
}
} // namespace

TRandomWalk::TRandomWalk(TTerminalSession& session, TSetPointControls& setPoints)
    : Random(UniformRandom), FSession(session), FSetPoints(setPoints) {
    FTimer.SetInterval(1000);
    FTimer.SetThreadPriority(tpLower);
    FTimer.OnTimer = [this](TComponent*) { Tick(); };
}

void TRandomWalk::SetWalks(bool resistance, bool elevation) {
    FResistance = resistance;
    FElevation = elevation;
    FTimer.SetEnabled(resistance || elevation);
}

std::int32_t TRandomWalk::RandomStep(double r, std::int32_t entity) {
    return static_cast<std::int32_t>(std::nearbyint(r * entity - entity / 2.0));
}

std::int32_t TRandomWalk::Stepped(std::int32_t position) const {
    return std::clamp(position + RandomStep(Random(), FRandomEntity), 0, TSetPointControls::MaxSetPoint);
}

void TRandomWalk::Tick() {
    if (!FSession.Device().GetConnected()) {
        SetWalks(false, false);
        Raise(OnWalksUnchecked);
        return;
    }
    if (FResistance) FSetPoints.ResistanceTrackMoved(Stepped(FSetPoints.GetResistanceTrack()));
    if (FElevation) FSetPoints.SetElevation(Stepped(FSetPoints.GetElevationTrack()));
}

std::string TRandomWalk::SetRandomEntityText(const std::string& text) {
    const std::optional<std::int32_t> value = IntegerOfText(text);
    if (!value) return "'" + text + "' is not a valid integer value";
    FRandomEntity = *value;
    return {};
}
