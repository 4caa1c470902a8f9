#pragma once

#include <QObject>
#include <QString>

#include <memory>
#include <string>

class QAction;
class QLabel;
class QStatusBar;
class TLinkStatus;
class TTerminalSession;
class TUserDialogs;

// What the window shows of the evidence it keeps: "Record traffic..." (Port menu and main
// toolbar) starts and stops the session's capture, "Time stamps" (Terminal menu) stamps each new
// line, and the status bar's first panel tells the port, the link's state, "REC" and
// "CS log off". A capture that fails says so in the terminal, beeps and unchecks its action;
// the ride goes on.
class TCaptureControls final : public QObject {
public:
    TCaptureControls(TTerminalSession& session, TUserDialogs& dialogs, QAction& record, QAction& timeStamps,
                     QStatusBar& statusBar);
    ~TCaptureControls() override;

    // "Write log CS" changed.
    void SetSurveyLogOn(bool on);
    // The port's name or state may have changed without an event of the device's.
    void RefreshLink();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void Record(bool on);
    void ShowRecording(bool on);
    void ShowLink(const std::string& text);
    void ShowLinkInTheRoomThereIs();

    TTerminalSession& FSession;
    TUserDialogs& FDialogs;
    QAction& FRecord;
    QLabel* FPanel;
    QString FLinkText;
    std::unique_ptr<TLinkStatus> FStatus;
};
