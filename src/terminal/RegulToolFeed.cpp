#include "terminal/RegulToolFeed.h"

#include "terminal/EventText.h"
#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"

#include <algorithm>

namespace {
const char* const NoValue = "...";

template <typename Array> std::vector<std::string> LinesOf(const Array& values, int decimals, int width) {
    std::vector<std::string> lines;
    lines.reserve(values.size());
    for (const auto value : values) lines.push_back(EventText::Fixed(value, decimals, width));
    return lines;
}
} // namespace

TRegulToolFeed::TRegulToolFeed(TTerminalSession& session) : FSession(session) { HookDevice(); }

void TRegulToolFeed::Attach(TRegulToolView& view) {
    if (std::find(FViews.begin(), FViews.end(), &view) == FViews.end()) FViews.push_back(&view);
}

void TRegulToolFeed::Detach(TRegulToolView& view) { std::erase(FViews, &view); }

std::string TRegulToolFeed::HeartLabel(std::int32_t heartRate) {
    return "HR: " + (heartRate > LowestShownHeartRate ? std::to_string(heartRate) : std::string(NoValue));
}

std::string TRegulToolFeed::CadenceLabel(std::int32_t cadence) {
    return "Cadence: " + (cadence != 0 ? std::to_string(cadence) : std::string(NoValue));
}

std::string TRegulToolFeed::SpeedLabel(long double speed) { return "Speed: " + EventText::Fixed(speed, 1, 2); }

// A copy of the list: a window may close while it is written to.
template <typename Write> void TRegulToolFeed::ToEach(Write write) {
    if (FViews.empty()) return;
    for (TRegulToolView* view : std::vector<TRegulToolView*>(FViews))
        if (std::find(FViews.begin(), FViews.end(), view) != FViews.end()) write(*view);
}

std::vector<std::string> TRegulToolFeed::HeartArrayLines() const {
    std::vector<std::string> lines = LinesOf(FSession.Device().GetHeartArray(), 1, 2);
    lines.emplace_back(HeartArrayEnd);
    return lines;
}

void TRegulToolFeed::HookDevice() {
    TKelvoDevice& device = FSession.Device();
    RunAfterHandler(device.OnBeforeStart, [this](TComponent*) { ToEach([](TRegulToolView& view) { view.ClearMemos(); }); });
    RunAfterHandler(device.OnInstantHeart, [this](TComponent*, const std::string& text) {
        ToEach([&](TRegulToolView& view) {
            view.AddHeartRegulLine(text);
            view.ShowHeartArray(HeartArrayLines());
        });
    });
    RunAfterHandler(device.OnStats, [this](TComponent*, int, int, long double, long double, long double, bool) {
        const TKelvoDevice& device = FSession.Device();
        ToEach([&](TRegulToolView& view) {
            view.ShowHeartLabel(HeartLabel(device.GetHeartRate()));
            view.ShowCadenceLabel(CadenceLabel(device.GetCadence()));
            view.ShowSpeedLabel(SpeedLabel(device.GetSpeed()));
        });
    });
    RunAfterHandler(device.OnKelvoMessage,
                    [this](TComponent*, TKelvoDeviceMessageType, long double, long double, long double, const ByteString&) {
                        const TKelvoDevice& device = FSession.Device();
                        if (device.GetVersion() > HighestArrayVersion) return;
                        ToEach([&](TRegulToolView& view) {
                            view.ShowSpeedAndCadenceArrays(LinesOf(device.GetSpeedArray(), 8, 2),
                                                           LinesOf(device.GetCadenceArray(), 0, 0));
                        });
                    });
    RunAfterHandler(device.OnHeartConnectionLost, [this](TComponent*) {
        ToEach([](TRegulToolView& view) {
            view.AddHeartRegulLine(HeartLostLine);
            view.ShowHeartLabel(HeartLabel(0));
        });
    });
}
