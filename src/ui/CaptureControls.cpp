#include "ui/CaptureControls.h"

#include "terminal/ExecutableFolder.h"
#include "terminal/LinkStatus.h"
#include "terminal/TerminalSession.h"
#include "terminal/UserDialogs.h"

#include <QAction>
#include <QDateTime>
#include <QDir>
#include <QEvent>
#include <QFontMetrics>
#include <QLabel>
#include <QSignalBlocker>
#include <QStatusBar>

namespace {
// Beside the survey log, named after its start, so that captures of a night never overwrite
// one another.
QString SuggestedCaptureFile() {
    return BesideExecutable(QDateTime::currentDateTime().toString(QStringLiteral("'kelvo-'yyyyMMdd-hhmmss'.capture'")));
}
// A capture running shows in red, where a technician looks for what is being kept; the spaces
// between the parts are kept as they are, not folded as mark-up would.
QString PanelText(const QString& text) {
    const QString parts = text.toHtmlEscaped().replace(
        QStringLiteral("  REC"),
        QStringLiteral("  <span style=\"color:#d00000; font-weight:bold\">REC</span>"));
    return QStringLiteral("<span style=\"white-space:pre\">%1</span>").arg(parts);
}
} // namespace

TCaptureControls::TCaptureControls(TTerminalSession& session, TUserDialogs& dialogs, QAction& record,
                                   QAction& timeStamps, QStatusBar& statusBar)
    : FSession(session), FDialogs(dialogs), FRecord(record), FPanel(new QLabel(&statusBar)),
      FStatus(std::make_unique<TLinkStatus>(session)) {
    FPanel->setObjectName(QStringLiteral("StatusLink"));
    FPanel->setTextFormat(Qt::RichText);
    // A long port name or state takes the bar's free width but never widens the window; the whole
    // text stays in the tool tip.
    FPanel->setSizePolicy(QSizePolicy::Ignored, QSizePolicy::Preferred);
    FPanel->installEventFilter(this);
    statusBar.insertWidget(0, FPanel, 1);
    ShowLink(FStatus->Text());
    FStatus->OnChanged = [this](const std::string& text) { ShowLink(text); };
    FSession.Capture().OnFailed = [this](const std::string& message) {
        Raise(FSession.OnAddLine, "!!! " + message);
        FDialogs.Beep();
        ShowRecording(false);
    };
    connect(&record, &QAction::triggered, this, [this](bool on) { Record(on); });
    connect(&timeStamps, &QAction::toggled, this, [this](bool on) { FSession.TimeStamps = on; });
    FSession.TimeStamps = timeStamps.isChecked();
}

// The session, and its capture, go before the window's members.
TCaptureControls::~TCaptureControls() = default;

void TCaptureControls::ShowLink(const std::string& text) {
    FLinkText = QString::fromStdString(text);
    FPanel->setToolTip(FLinkText);
    ShowLinkInTheRoomThereIs();
}

// A text too long for the panel loses the middle of the port's name, so that the state, "REC"
// and "CS log off" at its end stay in sight.
void TCaptureControls::ShowLinkInTheRoomThereIs() {
    const QFontMetrics metrics(FPanel->font());
    const int room = FPanel->width() - 2 * metrics.averageCharWidth(); // (REC is bold)
    FPanel->setText(PanelText(room > 0 ? metrics.elidedText(FLinkText, Qt::ElideMiddle, room) : FLinkText));
}

bool TCaptureControls::eventFilter(QObject* watched, QEvent* event) {
    if (watched == FPanel && event->type() == QEvent::Resize) ShowLinkInTheRoomThereIs();
    return false;
}

void TCaptureControls::RefreshLink() {
    FStatus->Refresh();
}

void TCaptureControls::SetSurveyLogOn(bool on) { FStatus->SetSurveyLogOn(on); }

void TCaptureControls::Record(bool on) {
    TTrafficCapture& capture = FSession.Capture();
    if (!on) {
        capture.Stop();
        ShowRecording(false);
        return;
    }
    const std::string path = FDialogs.ChooseSaveFile("Record traffic", SuggestedCaptureFile().toStdString());
    if (path.empty()) {
        ShowRecording(false);
        return;
    }
    const std::string failure = capture.Start(path, FSession.CaptureHeader("kelvo-terminal"));
    if (!failure.empty())
        FDialogs.ShowMessage(TUserDialogs::bkError,
                             "Cannot record the traffic into " + QDir::toNativeSeparators(QString::fromStdString(path)).toStdString() +
                                 ": " + failure);
    ShowRecording(capture.IsRunning());
}

void TCaptureControls::ShowRecording(bool on) {
    const QSignalBlocker quiet(&FRecord);
    FRecord.setChecked(on);
    FStatus->Refresh();
}
