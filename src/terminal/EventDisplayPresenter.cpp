#include "terminal/EventDisplayPresenter.h"

#include "terminal/HandlerChain.h"
#include "terminal/TerminalSession.h"

namespace {
// A tick whose raw speed fell this far below the shown one is a misreading.
constexpr long double SpeedReadingTolerance = 0.5L;

TMainFormView::TIndicator KeyIndicator(TConsoleKey key) {
    switch (key) {
    case ckPlus:
        return TMainFormView::inKeyPlus;
    case ckMinus:
        return TMainFormView::inKeyMinus;
    case ckTab:
        return TMainFormView::inKeyTab;
    case ckEnter:
        break;
    }
    return TMainFormView::inKeyEnter;
}
} // namespace

TEventDisplayPresenter::TEventDisplayPresenter(TTerminalSession& session, TMainFormView& view,
                                               TUserDialogs& dialogs)
    : FSession(session), FView(view), FDialogs(dialogs) {
    HookSession();
    HookDevice();
}

TMainFormView::TStatsLabels TEventDisplayPresenter::StatsLabels(const EventText::TStatsContext& stats,
                                                                std::int32_t serialNumber,
                                                                std::int32_t productVersion) {
    return {EventText::LabelTimeText(stats),    EventText::LabelDistanceText(stats),
            EventText::LabelSpeedText(stats),   EventText::Fixed(stats.AverageSpeed, 1, 2),
            EventText::LabelCadenceText(stats), EventText::LabelHeartText(stats),
            std::to_string(serialNumber),       std::to_string(productVersion)};
}

void TEventDisplayPresenter::ShowEmptyRide() {
    const TKelvoDevice& device = FSession.Device();
    EventText::TStatsContext empty;
    empty.Version = device.GetVersion();
    empty.UnitMeasure = device.GetUnitMeasure();
    FView.ShowStatsLabels(StatsLabels(empty, device.GetSerialNumber(), device.GetProductVersion()));
    FView.ShowHeartImpulses(EventText::HeartImpulsesLabel(0));
}

void TEventDisplayPresenter::AddLine(const std::string& line) {
    // Unchecked, the terminal keeps only the newest line.
    if (!FSession.WriteToMemo && FView.TerminalLineCount() > 0) FView.ClearTerminal();
    FView.AppendTerminalLine(FSession.TimeStamps ? EventText::TimeStamped(line, QTime::currentTime()) : line);
}

void TEventDisplayPresenter::HookSession() {
    FSession.OnAddLine = [this](const std::string& line) { AddLine(line); };
    FSession.OnClearTerminal = [this] { FView.ClearTerminal(); };
    FSession.OnBeep = [this] { FDialogs.Beep(); };
    FSession.OnStatsLabels = [this](const EventText::TStatsContext& stats) {
        const TKelvoDevice& device = FSession.Device();
        FView.ShowStatsLabels(StatsLabels(stats, device.GetSerialNumber(), device.GetProductVersion()));
    };
    FSession.OnConsoleKeyPressed = [this](TConsoleKey key) { FView.Light(KeyIndicator(key)); };
    FSession.OnHeartImpulses = [this](long long impulses) {
        FView.ShowHeartImpulses(EventText::HeartImpulsesLabel(impulses));
    };
}

void TEventDisplayPresenter::HookDevice() {
    TKelvoDevice& device = FSession.Device();
    // The session writes the labels first; the check's box comes after them.
    RunAfterHandler(device.OnStats,
                    [this](TComponent*, int, int, long double, long double, long double oldSpeed, bool) {
                        if (FSession.Device().GetSpeed() - oldSpeed > SpeedReadingTolerance)
                            FDialogs.ShowMessage(TUserDialogs::bkError, SpeedReadingError);
                    });
    RunAfterHandler(device.OnInstantSpeed, [this](TComponent*) {
        FView.ShowInstantSpeed(EventText::Fixed(FSession.Device().GetInstantSpeed(), 3, 2));
    });
    RunAfterHandler(device.OnInstantHeart,
                    [this](TComponent*, const std::string&) { FView.Light(TMainFormView::inHeart); });
    RunAfterHandler(device.OnConnected, [this](TComponent*) { ShowDisconnections(); });
    RunAfterHandler(device.OnRepairingConnection, [this](TComponent*) {
        ShowDisconnections();
        FDialogs.Beep();
    });
}

void TEventDisplayPresenter::ShowDisconnections() {
    FView.ShowDisconnections(std::to_string(FSession.Device().GetDisconnectionCount()));
}
