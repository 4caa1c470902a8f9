#include "ui/TerminalMainForm.h"

#include "ui_TerminalMainForm.h"

#include "ui/ComSetupFrm.h"
#include "terminal/EventDisplayPresenter.h"
#include "terminal/HandlerChain.h"
#include "terminal/MainFormPresenter.h"
#include "terminal/RegulToolFeed.h"
#include "terminal/SurveyLog.h"
#include "terminal/TerminalSession.h"
#include "terminal/ToolbarLayoutStore.h"
#include "terminal/UserDialogs.h"
#include "ui/CaptureControls.h"
#include "ui/CommandActions.h"
#include "ui/GraphicsPage.h"
#include "ui/Led.h"
#include "ui/OrientationPage.h"
#include "ui/TestRoutinesPanel.h"
#include "ui/TickLabel.h"
#include "ui/DiscSettingsForm.h"
#include "ui/NotepadMainForm.h"
#include "ui/PlanPanelForm.h"
#include "ui/RegulToolForm.h"

#include <QApplication>
#include <QClipboard>
#include <QCloseEvent>
#include <QDialog>
#include <QHBoxLayout>
#include <QLineEdit>
#include <QMenu>
#include <QMimeData>
#include <QPointer>
#include <QPrinter>
#include <QPushButton>
#include <QScreen>
#include <QScrollBar>
#include <QSignalBlocker>
#include <QTimer>
#include <QToolBar>
#include <QVBoxLayout>

namespace {

using enum TCommand;

const char* const WindowCaption = "Kelvo Terminal Tester";
const char* const RequestHint = "Send request to the console";
const QStringList PriorityItems{"Idle", "Lowest", "Lower", "Normal", "Higher", "Highest", "TimeCritical"};
constexpr int NormalPriorityItem = 3;
constexpr int RequestButtonHeight = 21;
constexpr int OrientationPage = 2;
constexpr int HeartLedIntervalMs = 100;
constexpr int KeyLedIntervalMs = 200;
constexpr int LinkRefreshMs = 1000;

void SetText(TTickLabel& label, const std::string& text) {
    label.ShowText(QString::fromStdString(text));
}

// A ride's line may be cut at its panel's edge in a narrow window: the whole line is its tool tip.
void SetRideText(TTickLabel& label, const std::string& text) {
    SetText(label, text);
    label.setToolTip(label.text());
}

std::array<std::pair<bool TOptionBoxes::*, QCheckBox*>, 6> OptionBoxes(const Ui::TTerminalMainForm& form) {
    return {{{&TOptionBoxes::WriteToMemo, form.CheckBoxWriteToMemo},
             {&TOptionBoxes::MantConsoleActive, form.CheckBoxMantConsoleActive},
             {&TOptionBoxes::EnableConSurvey, form.CheckBoxEnableConSurvey},
             {&TOptionBoxes::HrFilter2Active, form.CheckBoxHRFilter2Active},
             {&TOptionBoxes::Security, form.CheckBoxSecurity},
             {&TOptionBoxes::EnableOrientation, form.CheckBoxEnableOrientation}}};
}

// The option boxes and fields that settings.ini keeps.
std::array<std::pair<bool TIniSettings::*, QCheckBox*>, 4> IniBoxes(const Ui::TTerminalMainForm& form) {
    return {{{&TIniSettings::WriteMemo, form.CheckBoxWriteToMemo},
             {&TIniSettings::MantConsActive, form.CheckBoxMantConsoleActive},
             {&TIniSettings::EnableConSurvey, form.CheckBoxEnableConSurvey},
             {&TIniSettings::HrFilter2Active, form.CheckBoxHRFilter2Active}}};
}

std::array<std::pair<std::int32_t TIniSettings::*, QSpinBox*>, 2> IniFields(const Ui::TTerminalMainForm& form) {
    return {{{&TIniSettings::IncrementStep, form.txtIncrementi},
             {&TIniSettings::IncrementInterval, form.txtTimeIncrementi}}};
}

QString DockName(Qt::ToolBarArea area) {
    switch (area) {
    case Qt::BottomToolBarArea: return QStringLiteral("Bottom");
    case Qt::LeftToolBarArea: return QStringLiteral("Left");
    case Qt::RightToolBarArea: return QStringLiteral("Right");
    default: return QStringLiteral("Top");
    }
}

QString GeneralNumber(double value) {
    QLocale locale = QLocale::system();
    locale.setNumberOptions(QLocale::OmitGroupSeparator);
    return locale.toString(value, 'g', 15);
}

} // namespace

TTerminalMainForm::TTerminalMainForm(TUserDialogs& dialogs, QWidget* parent)
    : QMainWindow(parent), ui(std::make_unique<Ui::TTerminalMainForm>()), FDialogs(dialogs),
      FSession(std::make_unique<TTerminalSession>()) {
    ui->setupUi(this);
    FActions = std::make_unique<TCommandActions>(*this);
    BuildTerminalToolbar();
    // Opaque: the terminal's scroll bars, updated as lines arrive, then repaint no page behind it.
    ui->Memo->setAutoFillBackground(true);
    // Opaque pages too: a label changed by a frame or a tick repaints over its page alone, never the
    // tab frame behind it, whose tall lines the raster engine splits over its thread pool.
    for (int page = 0; page < ui->PageControlBottom->count(); ++page)
        ui->PageControlBottom->widget(page)->setAutoFillBackground(true);
    BuildRequestButtons();
    BuildLeds();
    BuildStatusBar();
    FillLists();
    FPresenter = std::make_unique<TMainFormPresenter>(*FSession, View(), FDialogs);
    FDisplay = std::make_unique<TEventDisplayPresenter>(*FSession, View(), FDialogs);
    FCapture = std::make_unique<TCaptureControls>(*FSession, FDialogs, *Action(TCommand::RecordTraffic),
                                                  *Action(TCommand::TimeStamps), *ui->StatusBarNotepad);
    ConnectCommands();
    ConnectTerminal();
    ConnectOptionBoxes();
    ConnectParameters();
    ConnectLinkPage();
    BuildTestRoutines();
    OrderTabsAsShown();
    LoadIniSettings();

    resize(800, 600);
    setWindowTitle(WindowCaption);
    QApplication::setApplicationDisplayName(WindowCaption);
    ui->PageControlMiddle->setCurrentIndex(0);
    ui->PageControlBottom->setCurrentIndex(0);
    ui->PageControlBottom->setTabVisible(OrientationPage, false);
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
    FPresenter->Create();
    FDisplay->ShowEmptyRide();
    RestoreToolbars();
    OpenSurveyLog();
}

TTerminalMainForm::~TTerminalMainForm() {
    FDestroying = true;
    EndTestRoutines();
    FPresenter->Destroy();
    StoreToolbars(FToolbarsAtClose.value_or(ToolbarsNow()));
    // The device goes first, while the presenters its last events reach still exist.
    FSession.reset();
}

QAction* TTerminalMainForm::Action(TCommand command) const {
    return FActions->Action(command);
}

void TTerminalMainForm::EndBySignal() {
    FDialogs.EndAll();
    close();
}

// ---- Building ----

void TTerminalMainForm::BuildTerminalToolbar() {
    QToolBar* toolbar = FActions->TerminalToolbar();
    toolbar->setParent(ui->TabTerminal);
    toolbar->addSeparator();
    // The option boxes share the toolbar's row with its buttons within the window's 800 pixels.
    QFont small = ui->PanelTerminalOptions->font();
    small.setPointSizeF(small.pointSizeF() * 0.85);
    ui->PanelTerminalOptions->setFont(small);
    toolbar->addWidget(ui->PanelTerminalOptions);
    ui->LayoutTerminalPage->insertWidget(0, toolbar);
}

void TTerminalMainForm::BuildRequestButtons() {
    for (const TMainFormPresenter::TConsoleRequest& request : TMainFormPresenter::ConsoleRequests()) {
        auto* button = new QPushButton(QString::fromLatin1(request.Caption), ui->GroupBoxPcToConsole);
        button->setObjectName(QString::fromLatin1(request.ObjectName));
        button->setToolTip(RequestHint);
        button->setStatusTip(RequestHint);
        button->setMaximumHeight(RequestButtonHeight);
        connect(button, &QPushButton::clicked, this,
                [this, &request] { FPresenter->SendConsoleRequest(request); });
        ui->LayoutRequests->addWidget(button);
    }
}

// Tab goes as the eye does: the pages' tabs, the terminal's option boxes, the terminal, then the
// right-hand panel from the version list and the request buttons down, then the bottom pages.
void TTerminalMainForm::OrderTabsAsShown() {
    ui->ScrollPcToConsole->setFocusPolicy(Qt::NoFocus);
    std::vector<QWidget*> order{ui->PageControlMiddle,         ui->CheckBoxWriteToMemo,      ui->CheckBoxMantConsoleActive,
                                ui->CheckBoxEnableConSurvey,   ui->CheckBoxHRFilter2Active,  ui->CheckBoxSecurity,
                                ui->Memo,                      ui->ComboBoxKelvoVersion};
    for (const TMainFormPresenter::TConsoleRequest& request : TMainFormPresenter::ConsoleRequests())
        order.push_back(findChild<QPushButton*>(QString::fromLatin1(request.ObjectName)));
    order.insert(order.end(), {ui->SpinEditCalcEditResistance, ui->TrackBarResistance, ui->txtIncrementi,
                               ui->txtTimeIncrementi, ui->BtResistanceTest, ui->SpinEditCalcEditElevation,
                               ui->TrackBarElevation, ui->PageControlBottom});
    for (std::size_t i = 1; i < order.size(); ++i) setTabOrder(order[i - 1], order[i]);
}

void TTerminalMainForm::BuildLeds() {
    const auto led = [this](const char* name, const char* caption, int intervalMs) {
        auto* lamp = new TLed(QString::fromLatin1(caption), Qt::red, intervalMs, this);
        lamp->setObjectName(QString::fromLatin1(name));
        return lamp;
    };
    FLeds[inHeart] = led("HeartLed", "Hr", HeartLedIntervalMs);
    FLeds[inKeyPlus] = led("keyPlus", "+", KeyLedIntervalMs);
    FLeds[inKeyMinus] = led("keyMinus", "-", KeyLedIntervalMs);
    FLeds[inKeyTab] = led("keyTab", "Tab", KeyLedIntervalMs);
    FLeds[inKeyEnter] = led("keyEnter", "Enter", KeyLedIntervalMs);
    ui->LayoutHeartLed->insertWidget(0, FLeds[inHeart]);
    ui->LayoutConsoleKeys->addWidget(FLeds[inKeyPlus], 0, 0);
    ui->LayoutConsoleKeys->addWidget(FLeds[inKeyMinus], 0, 1);
    ui->LayoutConsoleKeys->addWidget(FLeds[inKeyTab], 1, 0);
    ui->LayoutConsoleKeys->addWidget(FLeds[inKeyEnter], 1, 1);
}

void TTerminalMainForm::BuildStatusBar() {
    FCaretPanel = new QLabel(QStringLiteral("Col 1  Ln 1"), ui->StatusBarNotepad);
    FCaretPanel->setObjectName("StatusCaret");
    FCaretPanel->setMinimumWidth(100);
    auto* length = new QLabel(QStringLiteral("Length: 0"), ui->StatusBarNotepad);
    length->setObjectName("StatusLength");
    length->setMinimumWidth(50);
    ui->StatusBarNotepad->addPermanentWidget(FCaretPanel);
    ui->StatusBarNotepad->addPermanentWidget(length);
}

void TTerminalMainForm::FillLists() {
    for (const char* item : TMainFormPresenter::VersionItems())
        ui->ComboBoxKelvoVersion->addItem(item);
    for (QComboBox* list : {ui->ComboBoxComPriority, ui->ComboBoxStatsPriority}) {
        list->addItems(PriorityItems);
        list->setCurrentIndex(NormalPriorityItem);
    }
    ui->LevelBarResistance->SetRange(0, 255);
    ui->LevelBarElevation->SetRange(0, 255);
}

// ---- Wiring ----

void TTerminalMainForm::ConnectAction(TCommand command, void (TMainFormPresenter::*handler)()) {
    connect(Action(command), &QAction::triggered, this, [this, handler] {
        (FPresenter.get()->*handler)();
        FCapture->RefreshLink(); // a command may have named another port without opening it
    });
}

void TTerminalMainForm::ConnectCommands() {
    ConnectAction(FindDevice, &TMainFormPresenter::FindDevice);
    ConnectAction(OpenPort, &TMainFormPresenter::OpenOrClosePort);
    ConnectAction(StartDevice, &TMainFormPresenter::StartOrStopDevice);
    ConnectAction(ClearBufferIO, &TMainFormPresenter::ClearBufferIO);
    ConnectAction(LoadComPortSettings, &TMainFormPresenter::LoadComPortSettings);
    ConnectAction(SaveComPortSettings, &TMainFormPresenter::SaveComPortSettings);
    ConnectAction(ConsoleVersion, &TMainFormPresenter::ShowConsoleVersion);
    ConnectAction(About, &TMainFormPresenter::ShowAbout);
    connect(Action(ComPortSettings), &QAction::triggered, this, [this] {
        FPresenter->EditComPortSettings([this] { ShowSetupDialog(*FSession->Device().GetComPort(), this); });
        FCapture->RefreshLink();
    });
    connect(Action(DisplayEvents), &QAction::toggled, this,
            [this](bool checked) { FPresenter->DisplayEventsToggled(checked); });
    connect(Action(OnlyStatValues), &QAction::toggled, this,
            [this](bool checked) { FPresenter->OnlyStatValuesToggled(checked); });
    connect(Action(Quit), &QAction::triggered, this, &QWidget::close);
    connect(Action(Print), &QAction::triggered, this, [this] { PrintTerminal(); });
    connect(Action(PrinterSetup), &QAction::triggered, this, [this] { FDialogs.SetUpPrinter(Printer()); });
    connect(Action(Find), &QAction::triggered, this, [this] { ShowFindDialog(); });
    // Cut, Paste, Delete and Undo stay unconnected: the terminal is read-only, and received lines
    // are never removed by an edit.
}

void TTerminalMainForm::ConnectTerminal() {
    TTerminalView& memo = *ui->Memo;
    connect(Action(ClearText), &QAction::triggered, &memo, &TTerminalView::ClearLines);
    connect(Action(Copy), &QAction::triggered, this, [this] {
        if (TerminalVisible()) ui->Memo->CopySelection();
    });
    connect(Action(SelectAll), &QAction::triggered, this, [this] {
        if (TerminalVisible()) ui->Memo->SelectAll();
    });
    connect(Action(FollowEntries), &QAction::toggled, &memo, &TTerminalView::SetFollowEntries);
    connect(&memo, &TTerminalView::SelectionChanged, this, [this] { UpdateCommandStates(); });
    connect(&memo, &TTerminalView::TextChanged, this, [this] { UpdateCommandStates(); });
    // The caret panel follows the user's keys only: a received line costs no status-bar paint.
    memo.installEventFilter(this);
    // The clipboard is asked once per change, never once per received line.
    const auto readClipboard = [this] {
        const QMimeData* data = QGuiApplication::clipboard()->mimeData();
        FClipboardHasText = data != nullptr && data->hasText();
    };
    readClipboard();
    connect(QGuiApplication::clipboard(), &QClipboard::dataChanged, this, [this, readClipboard] {
        readClipboard();
        UpdateCommandStates();
    });
    connect(ui->PageControlMiddle, &QTabWidget::currentChanged, this,
            [this] { FSession->TerminalVisible = TerminalVisible(); });
}

void TTerminalMainForm::ConnectOptionBoxes() {
    // The boxes start as the session does, before their clicks are connected.
    const TOptionBoxes initial;
    for (const auto& [value, box] : OptionBoxes(*ui)) box->setChecked(initial.*value);
    TKelvoDevice& device = FSession->Device();
    connect(ui->CheckBoxWriteToMemo, &QCheckBox::toggled, this,
            [this](bool on) { FSession->WriteToMemo = on; });
    connect(ui->CheckBoxMantConsoleActive, &QCheckBox::toggled, this,
            [&device](bool on) { device.SetMaintainsConsoleActive(on); });
    connect(ui->CheckBoxEnableConSurvey, &QCheckBox::toggled, this,
            [this](bool on) { FSession->SetConnectionSurveyEnabled(on); });
    connect(ui->CheckBoxHRFilter2Active, &QCheckBox::toggled, this,
            [&device](bool on) { device.SetHrFilter2Active(on); });
    connect(ui->CheckBoxSecurity, &QCheckBox::toggled, this,
            [&device](bool on) { device.SetSecurityActive(on); });
    connect(ui->CheckBoxEnableOrientation, &QCheckBox::toggled, this,
            [this](bool on) { ui->PageControlBottom->setTabVisible(OrientationPage, on); });
}

void TTerminalMainForm::ConnectParameters() {
    connect(ui->ComboBoxKelvoVersion, &QComboBox::activated, this,
            [this](int index) { FPresenter->SelectVersion(index); });
    connect(ui->SpinEditDiameter, &QDoubleSpinBox::valueChanged, this,
            [this](double value) { FPresenter->SetRollDiameter(value); });
    connect(ui->SpinEditRoundsPerRollEvent, &QDoubleSpinBox::valueChanged, this,
            [this](double value) { FPresenter->SetRoundsPerRollEvent(value); });
    connect(ui->ComboBoxComPriority, &QComboBox::activated, this,
            [this](int index) { FPresenter->SetComPriority(index); });
    connect(ui->ComboBoxStatsPriority, &QComboBox::activated, this,
            [this](int index) { FPresenter->SetStatsPriority(index); });
}

void TTerminalMainForm::ConnectLinkPage() {
    auto* refresh = new QTimer(this);
    refresh->setObjectName(QStringLiteral("TimerLink"));
    refresh->setInterval(LinkRefreshMs);
    // A selection on the page is the reader copying it: the refresh waits until it is cleared.
    connect(refresh, &QTimer::timeout, this, [this] {
        if (!ui->MemoLink->textCursor().hasSelection()) ShowLinkQuality();
    });
    // Refreshed only while it is shown: a hidden page costs no wake-up.
    connect(ui->PageControlBottom, &QTabWidget::currentChanged, this, [this, refresh] {
        if (ui->PageControlBottom->currentWidget() == ui->TabLink) refresh->start();
        else refresh->stop();
        ShowLinkQuality();
    });
    connect(ui->ButtonResetLedger, &QPushButton::clicked, this, [this] {
        FSession->ResetLedger();
        ShowLinkQuality();
    });
}

void TTerminalMainForm::ShowLinkQuality() {
    if (ui->PageControlBottom->currentWidget() != ui->TabLink) return;
    QStringList lines;
    for (const std::string& line : FSession->LinkQualityLines()) lines << QString::fromStdString(line);
    // The reader keeps the place they scrolled to.
    QScrollBar& scroll = *ui->MemoLink->verticalScrollBar();
    const int at = scroll.value();
    ui->MemoLink->setPlainText(lines.join(u'\n'));
    scroll.setValue(at);
}

// ---- Test routines, orientation and graphics pages, auxiliary windows ----

void TTerminalMainForm::BuildTestRoutines() {
    const TTestRoutinesPanel::TControls controls{
        ui->SpinEditCalcEditResistance, ui->LevelBarResistance, ui->TrackBarResistance, ui->SpinEditCalcEditElevation,
        ui->LevelBarElevation,          ui->TrackBarElevation,  ui->txtIncrementi,      ui->txtTimeIncrementi,
        ui->BtResistanceTest,           Action(StartTest),      Action(RandomResistance), Action(RandomElevation),
        Action(SetRandomValue)};
    FTestRoutines = new TTestRoutinesPanel(*FSession, FDialogs, controls, this);
    BuildTestPages();
    ConnectOrientationPage();
    ConnectAuxiliaryWindows();
}

void TTerminalMainForm::BuildTestPages() {
    FOrientationPage = new TOrientationPage(*FSession, FDialogs, ui->TabOrientation);
    FGraphicsPage = new TGraphicsPage(*FSession, ui->TabGraphics);
    for (QWidget* page : {static_cast<QWidget*>(FOrientationPage), static_cast<QWidget*>(FGraphicsPage)}) {
        auto* layout = new QVBoxLayout(page->parentWidget());
        layout->setContentsMargins(0, 0, 0, 0);
        layout->addWidget(page);
    }
}

void TTerminalMainForm::ConnectOrientationPage() {
    TOrientationPresenter& orientation = FOrientationPage->Presenter();
    connect(ui->CheckBoxEnableOrientation, &QCheckBox::toggled, this,
            [&orientation](bool on) { orientation.SetEnabled(on); });
    orientation.OnEnableOrientationBox = [this](bool on) { ui->CheckBoxEnableOrientation->setChecked(on); };
    // Connected after the button's own request, so the labels follow it.
    connect(findChild<QPushButton*>(QStringLiteral("BtSerialNumber")), &QPushButton::clicked, this,
            [&orientation] { orientation.RefreshHexLabels(); });
    // The console's enter key zeroes the angle while the page is shown.
    RunAfterHandler(FSession->OnConsoleKeyPressed, [this, &orientation](TConsoleKey key) {
        if (key == ckEnter && ui->CheckBoxEnableOrientation->isChecked() &&
            ui->PageControlBottom->currentIndex() == OrientationPage)
            orientation.SetStartingAngle();
    });
}

// Each "Regul Tool" opens one more window; every open one gets the device's events.
void TTerminalMainForm::ConnectAuxiliaryWindows() {
    FRegulFeed = std::make_unique<TRegulToolFeed>(*FSession);
    connect(Action(RegulTool), &QAction::triggered, this,
            [this] { (new TRegulToolForm(&FSession->Device(), *FRegulFeed, this))->show(); });
    // One plan panel, made when first asked for; the menu brings it back to the front.
    connect(Action(RunTestPlan), &QAction::triggered, this, [this] {
        auto* panel = findChild<TPlanPanelForm*>();
        if (!panel) panel = new TPlanPanelForm(*FSession, &FTestRoutines->SetPoints(), this);
        panel->show();
        panel->raise();
        panel->activateWindow();
    });
    connect(Action(DisconnectionSettings), &QAction::triggered, this, [this] {
        FPresenter->EditDisconnectionSettings(
            [this] { TDiscSettingsForm::EditDeviceSettings(FSession->Device(), this); });
    });
}

void TTerminalMainForm::EndTestRoutines() {
    FTestRoutines->StopTimers();
    FOrientationPage->Presenter().SetEnabled(false);
    qDeleteAll(findChildren<TRegulToolForm*>());
}

void TTerminalMainForm::UpdateCommandStates() {
    if (FDestroying) return;
    const TTerminalLines& lines = ui->Memo->Lines();
    const TMainFormPresenter::TTerminalState terminal{lines.Count(), lines.HasSelection(), FClipboardHasText,
                                                      false};
    for (const auto& [command, enabled] : TMainFormPresenter::CommandStates(terminal))
        Action(command)->setEnabled(enabled);
}

bool TTerminalMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched == ui->Memo && event->type() == QEvent::KeyRelease) {
        const TTerminalLines::TPosition caret = ui->Memo->Lines().Caret();
        FCaretPanel->setText(QStringLiteral("Col %1  Ln %2").arg(caret.Column + 1).arg(caret.Line + 1));
    }
    return QMainWindow::eventFilter(watched, event);
}

bool TTerminalMainForm::TerminalVisible() const {
    return ui->PageControlMiddle->currentWidget() == ui->TabTerminal;
}

// Each viewer's question comes first, also inside a wait: a Cancel keeps the program running, and
// a close carried past the waits has ended every wait, which no Cancel could undo.
void TTerminalMainForm::closeEvent(QCloseEvent* event) {
    if (!TNotepadMainForm::CloseViewers() || !FPresenter->MayCloseNow([this] { close(); })) {
        event->ignore();
        return;
    }
    EndBeforeClosing();
    event->accept();
}

void TTerminalMainForm::EndBeforeClosing() {
    FToolbarsAtClose = ToolbarsNow();
    FPresenter->EndRunBeforeClosing();
    FSurveyLog->WriteClosingLine();
    SaveIniSettings();
}

// ---- Settings, toolbar layout and the connection survey log ----

TIniSettings TTerminalMainForm::CurrentIniSettings() const {
    TIniSettings settings;
    for (const auto& [value, box] : IniBoxes(*ui)) settings.*value = box->isChecked();
    for (const auto& [value, field] : IniFields(*ui)) settings.*value = field->value();
    settings.TimeStamps = Action(TCommand::TimeStamps)->isChecked();
    return settings;
}

// A box that loading changes runs its click, so the loaded values reach the device.
void TTerminalMainForm::LoadIniSettings() {
    TIniSettings settings = CurrentIniSettings();
    if (!settings.Load(TIniSettings::DefaultFileName())) return;
    for (const auto& [value, box] : IniBoxes(*ui)) box->setChecked(settings.*value);
    for (const auto& [value, field] : IniFields(*ui)) field->setValue(settings.*value);
    Action(TCommand::TimeStamps)->setChecked(settings.TimeStamps);
}

void TTerminalMainForm::SaveIniSettings() {
    const std::string failure = CurrentIniSettings().Save(TIniSettings::DefaultFileName());
    if (!failure.empty()) FDialogs.ShowMessage(TUserDialogs::bkError, failure);
}

// The window comes back at the size and place it was closed at; the first start keeps 800 x 600.
void TTerminalMainForm::RestoreToolbars() {
    const TToolbarLayoutStore store;
    const QByteArray geometry = store.LoadWindowGeometry();
    if (!geometry.isEmpty()) restoreGeometry(geometry);
    restoreState(store.LoadWindowState());
}

TTerminalMainForm::TToolbarsSnapshot TTerminalMainForm::ToolbarsNow() const {
    const auto* main = findChild<QToolBar*>(QStringLiteral("ToolBarButton"));
    const QString dock = DockName(toolBarArea(main));
    const bool floating = main->isFloating();
    return {{!main->isHidden(), 0, floating ? 0 : main->x(), floating ? main->x() : 0, floating ? main->y() : 0,
             floating ? QStringLiteral("+") : dock, dock},
            saveState(),
            saveGeometry()};
}

// The menu bar and the terminal's toolbar stand where the window puts them; the main toolbar
// may be docked anywhere or float.
void TTerminalMainForm::StoreToolbars(const TToolbarsSnapshot& toolbars) {
    const TToolbarLayout fixed{true, 0, 0, 0, 0, QStringLiteral("Top"), QStringLiteral("Top")};
    const TToolbarLayoutStore store;
    const std::array<std::string, 4> failures{store.Save(QStringLiteral("ToolBarButton"), toolbars.Main),
                                              store.Save(QStringLiteral("TBToolbar2"), fixed),
                                              store.Save(QStringLiteral("TBToolbar1"), fixed),
                                              store.SaveWindowState(toolbars.State, toolbars.Geometry)};
    for (const std::string& failure : failures)
        if (!failure.empty()) FDialogs.ShowMessage(TUserDialogs::bkError, failure);
}

void TTerminalMainForm::OpenSurveyLog() {
    FSurveyLog = std::make_unique<TSurveyLog>();
    FSurveyLog->WriteLogCS = Action(WriteLogCS)->isChecked();
    FSurveyLog->OnWriteFailed = [this](const std::string& line) { Raise(FSession->OnAddLine, line); };
    // The window may be gone by the time the survey tick has returned.
    FSurveyLog->OnConnectionLostAfterTick = [window = QPointer(this)] {
        if (window) window->ConnectionLostAfterTick();
    };
    FSession->AttachSurveyLog(FSurveyLog.get());
    connect(Action(WriteLogCS), &QAction::toggled, this, [this](bool on) {
        FSurveyLog->WriteLogCS = on;
        FCapture->SetSurveyLogOn(on);
    });
    FCapture->SetSurveyLogOn(FSurveyLog->WriteLogCS);
    connect(Action(ShowSurveyLog), &QAction::triggered, this, [this] { ShowSurveyLogFile(); });
    connect(Action(DeleteSurveyLog), &QAction::triggered, this, [this] { DeleteSurveyLogFile(); });
    for (QObject* container : Action(ShowSurveyLog)->associatedObjects()) {
        if (auto* menu = qobject_cast<QMenu*>(container))
            connect(menu, &QMenu::aboutToShow, this, [this] {
                const bool exists = FSurveyLog->Exists();
                Action(ShowSurveyLog)->setEnabled(exists);
                Action(DeleteSurveyLog)->setEnabled(exists);
            });
    }
    FSurveyLog->WriteStartLine();
}

void TTerminalMainForm::ShowSurveyLogFile() {
    if (FSurveyLog->Exists()) TNotepadMainForm::ShowLog(FSurveyLog->GetFileName(), FDialogs);
    else FDialogs.ShowMessage(TUserDialogs::bkInfo, FSurveyLog->NotFoundText().toStdString());
}

void TTerminalMainForm::DeleteSurveyLogFile() {
    if (!FSurveyLog->Exists() || FDialogs.AskYesNoCancel(TSurveyLog::DeleteQuestion) != TUserDialogs::anYes) return;
    const std::string failure = FSurveyLog->Delete();
    if (!failure.empty()) FDialogs.ShowMessage(TUserDialogs::bkError, failure);
}

// The presenter's search follows once the box is answered.
void TTerminalMainForm::ConnectionLostAfterTick() {
    if (!FDestroying) FDialogs.ShowMessage(TUserDialogs::bkPlain, TSurveyLog::LostConnectionText);
}

// ---- Find and print ----

void TTerminalMainForm::ShowFindDialog() {
    if (FFindDialog == nullptr) {
        FFindDialog = new QDialog(this);
        FFindDialog->setObjectName("FindDialog");
        FFindDialog->setWindowTitle(QStringLiteral("Find"));
        auto* what = new QLineEdit(FFindDialog);
        what->setObjectName("FindText");
        auto* next = new QPushButton(QStringLiteral("Find"), FFindDialog);
        next->setDefault(true);
        auto* row = new QHBoxLayout(FFindDialog);
        row->addWidget(what);
        row->addWidget(next);
        connect(next, &QPushButton::clicked, this, [this, what] {
            if (!ui->Memo->FindNext(what->text().toStdString())) FDialogs.Beep();
        });
    }
    if (TerminalVisible()) {
        const QPoint corner = ui->Memo->mapToGlobal(QPoint(ui->Memo->width(), 0));
        FFindDialog->move(corner);
    }
    FFindDialog->show();
    FFindDialog->raise();
    // The user types the text next, also when the dialog was left open behind the window.
    FFindDialog->activateWindow();
    FFindDialog->findChild<QLineEdit*>()->setFocus();
}

QPrinter& TTerminalMainForm::Printer() {
    if (!FPrinter) FPrinter = std::make_unique<QPrinter>();
    return *FPrinter;
}

void TTerminalMainForm::PrintTerminal() {
    QPrinter& printer = Printer();
    if (!FDialogs.ChoosePrinter(printer)) return;
    printer.setDocName(QString());
    ui->Memo->Print(printer);
}

// ---- TMainFormView ----

void TTerminalMainForm::SetCommandCaption(TCommand command, const std::string& caption) {
    Action(command)->setText(QString::fromStdString(caption));
}

void TTerminalMainForm::SetCommandEnabled(TCommand command, bool enabled) {
    Action(command)->setEnabled(enabled);
}

void TTerminalMainForm::SetCommandChecked(TCommand command, bool checked) {
    Action(command)->setChecked(checked);
}

void TTerminalMainForm::SetPriorityListsEnabled(bool enabled) {
    ui->ComboBoxComPriority->setEnabled(enabled);
    ui->ComboBoxStatsPriority->setEnabled(enabled);
}

// Disabling the focused list hands the focus on to the next control (the resistance field, whose
// next Up key would send a set-point): the focus goes back where the user left it.
void TTerminalMainForm::SetVersionListEnabled(bool enabled) {
    if (!enabled) FFocusBeforeVersionList = QApplication::focusWidget();
    ui->ComboBoxKelvoVersion->setEnabled(enabled);
    if (enabled && FFocusBeforeVersionList && QApplication::focusWidget() != FFocusBeforeVersionList)
        FFocusBeforeVersionList->setFocus();
}

void TTerminalMainForm::SelectVersionItem(int index) {
    ui->ComboBoxKelvoVersion->setCurrentIndex(index);
}

void TTerminalMainForm::ShowRollerFields(const TRollerFields& fields) {
    const QSignalBlocker rounds(ui->SpinEditRoundsPerRollEvent);
    const QSignalBlocker diameter(ui->SpinEditDiameter);
    ui->SpinEditRoundsPerRollEvent->setValue(fields.RoundsPerRollEvent);
    ui->SpinEditDiameter->setValue(fields.RollDiameter);
    ui->EditDistancePerRollEvent->setText(GeneralNumber(fields.DistancePerRollEvent));
}

void TTerminalMainForm::SetMaintainsConsoleActiveBox(bool checked) {
    ui->CheckBoxMantConsoleActive->setChecked(checked);
}

void TTerminalMainForm::CheckEnableOrientationBox() {
    ui->CheckBoxEnableOrientation->setChecked(true);
}

void TTerminalMainForm::ShowStatsLabels(const TStatsLabels& labels) {
    SetRideText(*ui->LabelTime, labels.Time);
    SetRideText(*ui->LabelDistance, labels.Distance);
    SetRideText(*ui->LabelSpeed, labels.Speed);
    SetText(*ui->LabelSpeedAvg, labels.SpeedAvg);
    SetRideText(*ui->LabelCadence, labels.Cadence);
    SetRideText(*ui->LabelHeart, labels.Heart);
    SetText(*ui->labelSerialNumber, labels.SerialNumber);
    SetText(*ui->LabelFirmwareNumber, labels.FirmwareNumber);
}

void TTerminalMainForm::ShowInstantSpeed(const std::string& text) {
    SetText(*ui->LabelInstantSpeed, text);
}

void TTerminalMainForm::ShowHeartImpulses(const std::string& text) {
    SetText(*ui->LabelheartImpulsions, text);
}

void TTerminalMainForm::ShowDisconnections(const std::string& text) {
    SetText(*ui->LabelDisconnection, text);
}

void TTerminalMainForm::Light(TIndicator indicator) {
    FLeds[indicator]->Light();
}

void TTerminalMainForm::AppendTerminalLine(const std::string& line) {
    ui->Memo->AppendLine(line);
}

void TTerminalMainForm::ClearTerminal() {
    ui->Memo->ClearLines();
}

std::size_t TTerminalMainForm::TerminalLineCount() const {
    return ui->Memo->Lines().Count();
}

void TTerminalMainForm::MoveTerminalCaretToStart() {
    ui->Memo->MoveCaretToStart();
    ui->Memo->setFocus();
}
