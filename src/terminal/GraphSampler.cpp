#include "terminal/GraphSampler.h"

#include "terminal/HandlerChain.h"
#include "terminal/IntegerText.h"
#include "terminal/TerminalSession.h"

TGraphSampler::TGraphSampler(TTerminalSession& session, TGraphData& graph) : FSession(session), FGraph(graph) {
    RunAfterHandler(FSession.Device().OnStats,
                    [this](TComponent*, int, int, long double, long double, long double, bool) { StatsTick(); });
}

void TGraphSampler::SetEnabled(bool enabled) {
    FEnabled = enabled;
    FSampleCount = 0;
}

void TGraphSampler::SetSampleFrequencyText(const std::string& text) {
    const std::optional<std::int32_t> value = IntegerOfText(text);
    if (!value) return;
    FSampleFrequency = *value;
    FSampleCount = 0;
}

bool TGraphSampler::SetPointsForPageText(const std::string& text) {
    const std::optional<std::int32_t> value = IntegerOfText(text);
    if (!value || *value < 1 || *value > MaxPointsPerPage) return false;
    FGraph.SetPointsPerPage(*value);
    FGraph.ShowPage(FGraph.GetPage());
    return true;
}

std::int64_t TGraphSampler::ValueInForce(TField field) const {
    return field == gfSampleFrequency ? FSampleFrequency : FGraph.GetPointsPerPage();
}

bool TGraphSampler::ShowsValueInForce(TField field, const std::string& text) const {
    return IntegerOfText(text) == ValueInForce(field);
}

std::string TGraphSampler::ValueInForceText(TField field) const { return std::to_string(ValueInForce(field)); }

const char* TGraphSampler::RefusalText(TField field) {
    return field == gfSampleFrequency ? "Refused: a whole number only" : "Refused: 1 to 100000 only";
}

void TGraphSampler::StatsTick() {
    if (!FEnabled || FSampleFrequency <= 0) return;
    if (FSampleCount != FSampleFrequency - 1) {
        ++FSampleCount;
        return;
    }
    const TKelvoDevice& device = FSession.Device();
    FGraph.Add({static_cast<double>(device.GetSpeed()), static_cast<double>(device.GetKelvoResistance()),
                static_cast<double>(device.GetCadence()), static_cast<double>(device.GetHeartRate())});
    if (ShowLastValue) FGraph.ShowLastValue();
    FSampleCount = 0;
    Raise(OnPointAdded);
}
