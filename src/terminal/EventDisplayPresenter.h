#pragma once

#include "terminal/EventText.h"
#include "terminal/MainFormView.h"
#include "terminal/UserDialogs.h"

class TTerminalSession;

// Shows the device's events on the main window: the session's terminal lines (with the
// "WriteToMemo" rule), the statistics labels, the instant speed, the heart impulses, the
// disconnection count, the heart and console-key LEDs, and the speed-reading check.
class TEventDisplayPresenter {
public:
    TEventDisplayPresenter(TTerminalSession& session, TMainFormView& view, TUserDialogs& dialogs);

    // Before the first ride the labels read as a ride that has counted nothing yet, in the texts
    // a ride shows.
    void ShowEmptyRide();

    static TMainFormView::TStatsLabels StatsLabels(const EventText::TStatsContext& stats,
                                                   std::int32_t serialNumber, std::int32_t productVersion);
    static constexpr const char* SpeedReadingError = "Error in speed reading [>0.5]";

private:
    void HookSession();
    void HookDevice();
    void AddLine(const std::string& line);
    void ShowDisconnections();

    TTerminalSession& FSession;
    TMainFormView& FView;
    TUserDialogs& FDialogs;
};
