#pragma once

#include "terminal/IniSettings.h"
#include "terminal/MainFormView.h"
#include "terminal/ToolbarLayoutStore.h"
#include "ui/ProgressDialogPresenter.h"

#include <QMainWindow>
#include <QPointer>

#include <array>
#include <memory>
#include <optional>

namespace Ui {
class TTerminalMainForm;
}
class QDialog;
class QLabel;
class TCaptureControls;
class QPrinter;
class TCommandActions;
class TEventDisplayPresenter;
class TGraphicsPage;
class TOrientationPage;
class TRegulToolFeed;
class TTestRoutinesPanel;
class TLed;
class TMainFormPresenter;
class TSurveyLog;
class TTerminalSession;
class TUserDialogs;

// The test terminal's main window: wiring of its form, its actions and its small widgets to the
// terminal session and the two presenters, which decide everything it shows.
class TTerminalMainForm final : public QMainWindow, private TMainFormView {
    Q_OBJECT
public:
    explicit TTerminalMainForm(TUserDialogs& dialogs, QWidget* parent = nullptr);
    ~TTerminalMainForm() override;

    TTerminalSession& Session() { return *FSession; }
    QAction* Action(TCommand command) const;
    // A quit signal: the window closes as its user would close it (the run's report, the survey
    // log's closing line and settings.ini are written), the boxes still open closed unanswered.
    void EndBySignal();

protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void closeEvent(QCloseEvent* event) override;

private:
    void BuildTerminalToolbar();
    void BuildRequestButtons();
    void BuildLeds();
    void OrderTabsAsShown();
    void BuildStatusBar();
    void FillLists();
    void ConnectCommands();
    void ConnectTerminal();
    void ConnectOptionBoxes();
    void ConnectParameters();
    // ---- test routines, orientation and graphics pages, auxiliary windows ----
    void BuildTestRoutines();
    void BuildTestPages();
    void ConnectAuxiliaryWindows();
    void ConnectOrientationPage();
    // No routine's tick runs, and no regulation window is written to, once the device goes away.
    void EndTestRoutines();
    // The link ledger's page, refreshed once a second while it is shown.
    void ConnectLinkPage();
    void ShowLinkQuality();
    // ---- settings, toolbar layout and the connection survey log ----
    void LoadIniSettings();
    void SaveIniSettings();
    TIniSettings CurrentIniSettings() const;
    // Where the main toolbar stands and the window's toolkit state, taken while the window is
    // still shown: a close hides a floating toolbar with it.
    struct TToolbarsSnapshot {
        TToolbarLayout Main;
        QByteArray State;
        QByteArray Geometry;
    };
    void RestoreToolbars();
    TToolbarsSnapshot ToolbarsNow() const;
    void StoreToolbars(const TToolbarsSnapshot& toolbars);
    void OpenSurveyLog();
    void ShowSurveyLogFile();
    void DeleteSurveyLogFile();
    void ConnectionLostAfterTick();
    void EndBeforeClosing();
    void ConnectAction(TCommand command, void (TMainFormPresenter::*handler)());
    void UpdateCommandStates();
    void ShowFindDialog();
    void PrintTerminal();
    QPrinter& Printer();
    bool TerminalVisible() const;
    TMainFormView& View() { return *this; }

    // ---- TMainFormView ----
    void SetCommandCaption(TCommand command, const std::string& caption) override;
    void SetCommandEnabled(TCommand command, bool enabled) override;
    void SetCommandChecked(TCommand command, bool checked) override;
    void SetPriorityListsEnabled(bool enabled) override;
    void SetVersionListEnabled(bool enabled) override;
    void SelectVersionItem(int index) override;
    void ShowRollerFields(const TRollerFields& fields) override;
    void SetMaintainsConsoleActiveBox(bool checked) override;
    void CheckEnableOrientationBox() override;
    void ShowStatsLabels(const TStatsLabels& labels) override;
    void ShowInstantSpeed(const std::string& text) override;
    void ShowHeartImpulses(const std::string& text) override;
    void ShowDisconnections(const std::string& text) override;
    void Light(TIndicator indicator) override;
    void AppendTerminalLine(const std::string& line) override;
    void ClearTerminal() override;
    std::size_t TerminalLineCount() const override;
    void MoveTerminalCaretToStart() override;

    std::unique_ptr<Ui::TTerminalMainForm> ui;
    TUserDialogs& FDialogs;
    TProgressDialogPresenter FProgress;
    std::unique_ptr<TTerminalSession> FSession;
    std::unique_ptr<TCommandActions> FActions;
    std::unique_ptr<TMainFormPresenter> FPresenter;
    std::unique_ptr<TEventDisplayPresenter> FDisplay;
    std::unique_ptr<TCaptureControls> FCapture;
    std::unique_ptr<TSurveyLog> FSurveyLog;
    std::unique_ptr<TRegulToolFeed> FRegulFeed;
    TTestRoutinesPanel* FTestRoutines = nullptr;
    TOrientationPage* FOrientationPage = nullptr;
    TGraphicsPage* FGraphicsPage = nullptr;
    std::unique_ptr<QPrinter> FPrinter;
    QDialog* FFindDialog = nullptr;
    std::array<TLed*, 5> FLeds{};
    QLabel* FCaretPanel = nullptr;
    QPointer<QWidget> FFocusBeforeVersionList;
    bool FClipboardHasText = false;
    bool FDestroying = false;
    std::optional<TToolbarsSnapshot> FToolbarsAtClose;
};
