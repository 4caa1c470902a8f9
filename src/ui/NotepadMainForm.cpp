#include "ui/NotepadMainForm.h"

#include "ui_NotepadMainForm.h"

#include "terminal/EInOutError.h"
#include "terminal/UserDialogs.h"
#include "terminal/NotepadPresenter.h"
#include "ui/QtNotepadDialogs.h"
#include "ui/QtUserDialogs.h"

#include <QAction>
#include <QApplication>
#include <QCloseEvent>
#include <QDialog>
#include <QFontDialog>
#include <QFontInfo>
#include <QGridLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QPrinter>
#include <QPrinterInfo>
#include <QPushButton>
#include <QScreen>
#include <QTextBlock>
#include <QTextDocument>

#include <functional>
#include <utility>
#include <vector>

namespace {

constexpr QSize LogViewerSize(800, 600);
constexpr int CaretPanelWidth = 100;
constexpr int LengthPanelWidth = 50;

QFont MemoFont() {
    QFont font;
    font.setFamilies({QStringLiteral("Courier New"), QStringLiteral("Liberation Mono")});
    font.setStyleHint(QFont::Monospace);
    font.setPixelSize(13);
    return font;
}

} // namespace

TNotepadMainForm::TNotepadMainForm(TUserDialogs* messages, TNotepadDialogs* dialogs, QWidget* parent)
    : QMainWindow(parent, Qt::Window | Qt::WindowStaysOnTopHint), ui(std::make_unique<Ui::TNotepadMainForm>()),
      FOwnMessages(messages == nullptr ? std::make_unique<TQtUserDialogs>(this) : nullptr),
      FMessages(messages != nullptr ? *messages : *FOwnMessages) {
    ui->setupUi(this);
    if (dialogs == nullptr) FOwnDialogs = std::make_unique<TQtNotepadDialogs>(this);
    TNotepadView& view = *this;
    FPresenter = std::make_unique<TNotepadPresenter>(view, FMessages, dialogs != nullptr ? *dialogs : *FOwnDialogs);
    setWindowTitle(QApplication::applicationDisplayName());
    ui->MemoNotepad->setFont(MemoFont());
    ui->MemoNotepad->installEventFilter(this);
    BuildStatusBar();
    BuildCommands();
    ConnectMemo();
    UpdateCommands();
    CentreOnScreen();
}

void TNotepadMainForm::CentreOnScreen() {
    if (const QScreen* screen = QGuiApplication::primaryScreen())
        move(screen->availableGeometry().center() - rect().center());
}

TNotepadMainForm::~TNotepadMainForm() = default;

void TNotepadMainForm::BuildStatusBar() {
    FNoticePanel = new QLabel(this);
    FNoticePanel->setObjectName(QStringLiteral("NoticePanel"));
    FNoticePanel->setFixedWidth(0);
    FCaretPanel = new QLabel(TNotepadPresenter::CaretText(1, 1), this);
    FCaretPanel->setMinimumWidth(CaretPanelWidth);
    FLengthPanel = new QLabel(TNotepadPresenter::LengthText(QString()), this);
    FLengthPanel->setMinimumWidth(LengthPanelWidth);
    for (QLabel* panel : {FNoticePanel, FCaretPanel, FLengthPanel}) ui->StatusBarNotepad->addWidget(panel);
}

// The commands in menu order: object name, menu, caption, shortcut, effect.
void TNotepadMainForm::BuildCommands() {
    QPlainTextEdit* memo = ui->MemoNotepad;
    TNotepadPresenter& presenter = *FPresenter;
    struct TCommandRow {
        const char* Name;
        QMenu* Menu;
        const char* Caption;
        QKeySequence Shortcut;
        std::function<void()> Run;
    };
    const std::vector<TCommandRow> commands{
        {"FileNew", ui->MenuFile, "&New", QKeySequence(QStringLiteral("Ctrl+N")), [&presenter] { presenter.New(); }},
        {"FileOpen", ui->MenuFile, "&Open", QKeySequence(QStringLiteral("Ctrl+O")), [&presenter] { presenter.Open(); }},
        {"FileSave", ui->MenuFile, "&Save", QKeySequence(QStringLiteral("Ctrl+S")), [&presenter] { presenter.Save(); }},
        {"FileSaveAs", ui->MenuFile, "Save &As ...", {}, [&presenter] { presenter.SaveAs(); }},
        {"FilePreview", ui->MenuFile, "Pre&view", {}, [&presenter] { presenter.NotImplemented(); }},
        {"FilePrint", ui->MenuFile, "&Print", QKeySequence(QStringLiteral("Ctrl+P")), [this] { Print(); }},
        {"FilePrinterSetup", ui->MenuFile, "Prin&ter Setup", {}, [this] { SetUpPrinter(); }},
        {"FileSend", ui->MenuFile, "S&end ...", {}, [&presenter] { presenter.NotImplemented(); }},
        {"FileCloseApp", ui->MenuFile, "C&lose", {}, [this] { close(); }},
        {"EditUndo", ui->MenuEdit, "&Undo", QKeySequence(QStringLiteral("Ctrl+Z")), [memo] { memo->undo(); }},
        {"EditCut", ui->MenuEdit, "Cu&t", QKeySequence(QStringLiteral("Ctrl+X")), [memo] { memo->cut(); }},
        {"EditCopy", ui->MenuEdit, "&Copy", QKeySequence(QStringLiteral("Ctrl+C")), [memo] { memo->copy(); }},
        {"EditPaste", ui->MenuEdit, "&Paste", QKeySequence(QStringLiteral("Ctrl+V")), [memo] { memo->paste(); }},
        {"EditClear", ui->MenuEdit, "&Delete", {}, [memo] { memo->textCursor().removeSelectedText(); }},
        {"EditSelectAll", ui->MenuEdit, "Select &All", QKeySequence(QStringLiteral("Ctrl+A")), [memo] { memo->selectAll(); }},
        {"EditUpperCase", ui->MenuEdit, "Upper Ca&se", QKeySequence(QStringLiteral("Ctrl+Shift+Up")),
         [&presenter] { presenter.ChangeSelectionCase(true); }},
        {"EditLowerCase", ui->MenuEdit, "&Lower Case", QKeySequence(QStringLiteral("Ctrl+Shift+Down")),
         [&presenter] { presenter.ChangeSelectionCase(false); }},
        {"EditInsertDate", ui->MenuEdit, "I&nsert Date/Time", {}, [&presenter] { presenter.InsertDateTime(); }},
        {"SearchFind", ui->MenuSearch, "Find ...", QKeySequence(QStringLiteral("Ctrl+F")), [this] { ShowFindDialog(false); }},
        {"SearchFindAgain", ui->MenuSearch, "Find &Again", QKeySequence(QStringLiteral("F3")), [this] { FindAgain(); }},
        {"SearchReplace", ui->MenuSearch, "Replace ...", QKeySequence(QStringLiteral("Ctrl+R")), [this] { ShowFindDialog(true); }},
        {"ViewFont", ui->MenuView, "Change &Font ...", {}, [this] { ChangeFont(); }},
        {"ViewWordWrap", ui->MenuView, "&Word Wrap", {}, [memo] {
             memo->setLineWrapMode(memo->lineWrapMode() == QPlainTextEdit::NoWrap ? QPlainTextEdit::WidgetWidth
                                                                                  : QPlainTextEdit::NoWrap);
         }},
        {"ViewStatusBar", ui->MenuView, "Status &Bar", {}, [this] {
             ui->StatusBarNotepad->setVisible(ui->StatusBarNotepad->isHidden());
         }},
    };
    for (const TCommandRow& row : commands) {
        auto* action = new QAction(QString::fromLatin1(row.Caption), this);
        action->setObjectName(QString::fromLatin1(row.Name));
        action->setShortcut(row.Shortcut);
        connect(action, &QAction::triggered, this, [this, run = row.Run] {
            ++FCommandsRunning;
            run();
            --FCommandsRunning;
            UpdateCommands();
            if (FCommandsRunning > 0) return;
            if (FFreeWhenCommandEnds) deleteLater();
            else if (std::exchange(FCloseWhenCommandEnds, false)) close();
        });
        row.Menu->addAction(action);
    }
    Command("ViewWordWrap")->setCheckable(true);
    Command("ViewStatusBar")->setCheckable(true);
}

void TNotepadMainForm::ConnectMemo() {
    QPlainTextEdit* memo = ui->MemoNotepad;
    connect(memo, &QPlainTextEdit::cursorPositionChanged, this, [this, memo] {
        const QTextCursor cursor = memo->textCursor();
        FPresenter->ShowCaret(cursor.blockNumber() + 1, cursor.positionInBlock() + 1);
    });
    connect(memo, &QPlainTextEdit::textChanged, this, [this] {
        FPresenter->ShowLength();
        UpdateCommands();
    });
    connect(memo, &QPlainTextEdit::selectionChanged, this, [this] { UpdateCommands(); });
    connect(memo, &QPlainTextEdit::undoAvailable, this, [this] { UpdateCommands(); });
    connect(memo, &QPlainTextEdit::modificationChanged, this, [this] { UpdateCommands(); });
}

QAction* TNotepadMainForm::Command(const char* name) const { return findChild<QAction*>(QString::fromLatin1(name)); }

void TNotepadMainForm::UpdateCommands() {
    const QPlainTextEdit* memo = ui->MemoNotepad;
    const bool hasText = !memo->document()->isEmpty();
    for (const char* name : {"FilePrint", "FilePrinterSetup", "FilePreview", "FileSend"}) Command(name)->setEnabled(hasText);
    Command("FileSave")->setEnabled(memo->document()->isModified());
    Command("EditUndo")->setEnabled(memo->document()->isUndoAvailable());
    const bool hasSelection = memo->textCursor().hasSelection();
    for (const char* name : {"EditClear", "EditUpperCase", "EditLowerCase"}) Command(name)->setEnabled(hasSelection);
    Command("ViewWordWrap")->setChecked(memo->lineWrapMode() != QPlainTextEdit::NoWrap);
    Command("ViewStatusBar")->setChecked(!ui->StatusBarNotepad->isHidden());
}

// ---- files and closing -------------------------------------------------------------------------

void TNotepadMainForm::OpenFile(const QString& fileName) { FPresenter->OpenFile(fileName); }

bool TNotepadMainForm::GetFreeOnClose() const { return testAttribute(Qt::WA_DeleteOnClose); }

void TNotepadMainForm::SetFreeOnClose(bool value) { setAttribute(Qt::WA_DeleteOnClose, value); }

TNotepadMainForm* TNotepadMainForm::ShowLog(const QString& fileName, TUserDialogs& messages) {
    auto viewer = std::make_unique<TNotepadMainForm>();
    viewer->setWindowTitle(QStringLiteral("Log editor"));
    viewer->resize(LogViewerSize);
    // Centred at its own size: centred at the small one, it would reach past a small screen.
    viewer->CentreOnScreen();
    viewer->SetFreeOnClose(true);
    try {
        viewer->OpenFile(fileName);
    } catch (const EInOutError& error) {
        viewer.reset();
        messages.ShowMessage(TUserDialogs::bkError, error.what());
        return nullptr;
    }
    viewer->show();
    return viewer.release();
}

bool TNotepadMainForm::CloseViewers() {
    for (QWidget* window : QApplication::topLevelWidgets()) {
        auto* viewer = qobject_cast<TNotepadMainForm*>(window);
        if (viewer != nullptr && viewer->isVisible() && !viewer->close()) return false;
    }
    return true;
}

// A close while a command's dialog is open (the program told to end) closes the dialog; freeing
// the viewer waits until the command has returned, since the dialog and the command still run on
// it, and a modified text is asked about only then, so that no edit is lost unasked.
void TNotepadMainForm::closeEvent(QCloseEvent* event) {
    if (FCommandsRunning > 0) {
        for (QDialog* dialog : findChildren<QDialog*>())
            if (dialog->isModal() && dialog->isVisible()) dialog->reject();
        if (IsModified()) {
            FCloseWhenCommandEnds = true;
            event->ignore();
            return;
        }
        FFreeWhenCommandEnds = FFreeWhenCommandEnds || GetFreeOnClose();
        SetFreeOnClose(false);
        event->accept();
        return;
    }
    if (FPresenter->CloseQuery()) event->accept();
    else event->ignore();
}

// The Enter key alone inserts no line break; Ctrl+Enter does.
bool TNotepadMainForm::eventFilter(QObject* watched, QEvent* event) {
    if (watched != ui->MemoNotepad || event->type() != QEvent::KeyPress) return QMainWindow::eventFilter(watched, event);
    const auto* key = static_cast<QKeyEvent*>(event);
    if (key->key() != Qt::Key_Return && key->key() != Qt::Key_Enter) return false;
    if (key->modifiers() & Qt::ControlModifier) ReplaceSelection(QStringLiteral("\n"));
    return true;
}

// ---- print, font, find -------------------------------------------------------------------------

QPrinter& TNotepadMainForm::Printer() {
    if (!FPrinter) FPrinter = std::make_unique<QPrinter>();
    return *FPrinter;
}

void TNotepadMainForm::Print() {
    if (!FPresenter->MayPrint(!QPrinterInfo::availablePrinterNames().isEmpty())) return;
    if (FMessages.ChoosePrinter(Printer())) PrintTo(Printer());
}

// A font sized in screen pixels would print at the printer's pixel size, far too small to read.
void TNotepadMainForm::PrintTo(QPrinter& printer) {
    printer.setDocName(FPresenter->DocumentName());
    QFont font = ui->MemoNotepad->font();
    if (font.pixelSize() > 0) font.setPointSizeF(font.pixelSize() * 72.0 / logicalDpiY());
    QTextDocument document;
    document.setDefaultFont(font);
    document.setPlainText(Text());
    document.print(&printer);
}

void TNotepadMainForm::SetUpPrinter() { FMessages.SetUpPrinter(Printer()); }

// The dialog lists the families and point sizes the system has: preset with the font the memo
// really shows (its first family may be missing, its size given in pixels), not the one asked.
void TNotepadMainForm::ChangeFont() {
    const QFontInfo shown(ui->MemoNotepad->font());
    QFont preset(shown.family());
    preset.setPointSizeF(shown.pointSizeF());
    preset.setStyle(shown.style());
    preset.setWeight(static_cast<QFont::Weight>(shown.weight()));
    bool chosen = false;
    const QFont font = QFontDialog::getFont(&chosen, preset, this);
    if (chosen) ui->MemoNotepad->setFont(font);
}

QDialog* TNotepadMainForm::FindDialog() {
    if (FFindDialog != nullptr) return FFindDialog;
    FFindDialog = new QDialog(this);
    FFindDialog->setObjectName(QStringLiteral("FindDialog"));
    FFindText = new QLineEdit(FFindDialog);
    FReplaceText = new QLineEdit(FFindDialog);
    auto* findNext = new QPushButton(QStringLiteral("&Find Next"), FFindDialog);
    findNext->setDefault(true);
    auto* replace = new QPushButton(QStringLiteral("&Replace"), FFindDialog);
    auto* replaceAll = new QPushButton(QStringLiteral("Replace &All"), FFindDialog);
    auto* cancel = new QPushButton(QStringLiteral("Cancel"), FFindDialog);
    FReplaceRow = new QWidget(FFindDialog);
    auto* replaceLayout = new QGridLayout(FReplaceRow);
    replaceLayout->setContentsMargins(0, 0, 0, 0);
    replaceLayout->addWidget(new QLabel(QStringLiteral("Replace with:"), FReplaceRow), 0, 0);
    replaceLayout->addWidget(FReplaceText, 0, 1);
    replaceLayout->addWidget(replace, 1, 1);
    replaceLayout->addWidget(replaceAll, 2, 1);
    auto* layout = new QGridLayout(FFindDialog);
    layout->addWidget(new QLabel(QStringLiteral("Find what:"), FFindDialog), 0, 0);
    layout->addWidget(FFindText, 0, 1);
    layout->addWidget(findNext, 0, 2);
    layout->addWidget(FReplaceRow, 1, 0, 1, 2);
    layout->addWidget(cancel, 1, 2, Qt::AlignTop);
    connect(findNext, &QPushButton::clicked, this, [this] { FPresenter->FindNext(FFindText->text()); });
    connect(replace, &QPushButton::clicked, this,
            [this] { FPresenter->Replace(FFindText->text(), FReplaceText->text()); });
    connect(replaceAll, &QPushButton::clicked, this,
            [this] { FPresenter->ReplaceAll(FFindText->text(), FReplaceText->text()); });
    connect(cancel, &QPushButton::clicked, FFindDialog, &QDialog::hide);
    return FFindDialog;
}

void TNotepadMainForm::ShowFindDialog(bool replacing) {
    QDialog* dialog = FindDialog();
    dialog->setWindowTitle(replacing ? QStringLiteral("Replace") : QStringLiteral("Find"));
    FReplaceRow->setVisible(replacing);
    FFindText->setText(FPresenter->LastFind());
    dialog->show();
    dialog->raise();
    FFindText->setFocus();
}

void TNotepadMainForm::FindAgain() {
    if (FPresenter->LastFind().isEmpty()) ShowFindDialog(false);
    else FPresenter->FindNext(FPresenter->LastFind());
}

// ---- TNotepadView ------------------------------------------------------------------------------

QString TNotepadMainForm::Text() const { return ui->MemoNotepad->toPlainText(); }

void TNotepadMainForm::LoadText(const QString& text) {
    ui->MemoNotepad->setPlainText(text);
    ui->MemoNotepad->document()->setModified(false);
}

bool TNotepadMainForm::IsModified() const { return ui->MemoNotepad->document()->isModified(); }

void TNotepadMainForm::SetModified(bool modified) { ui->MemoNotepad->document()->setModified(modified); }

void TNotepadMainForm::SetCaption(const QString& caption) { setWindowTitle(caption); }

int TNotepadMainForm::CaretPosition() const { return ui->MemoNotepad->textCursor().position(); }

int TNotepadMainForm::SelectionStart() const { return ui->MemoNotepad->textCursor().selectionStart(); }

int TNotepadMainForm::SelectionLength() const {
    const QTextCursor cursor = ui->MemoNotepad->textCursor();
    return cursor.selectionEnd() - cursor.selectionStart();
}

void TNotepadMainForm::Select(int start, int length) {
    QTextCursor cursor = ui->MemoNotepad->textCursor();
    cursor.setPosition(start);
    cursor.setPosition(start + length, QTextCursor::KeepAnchor);
    ui->MemoNotepad->setTextCursor(cursor);
    ui->MemoNotepad->ensureCursorVisible();
}

void TNotepadMainForm::ReplaceSelection(const QString& text) {
    QTextCursor cursor = ui->MemoNotepad->textCursor();
    cursor.insertText(text);
    ui->MemoNotepad->setTextCursor(cursor);
}

void TNotepadMainForm::SetReadOnlyNotice(const QString& notice) {
    ui->MemoNotepad->setReadOnly(!notice.isEmpty());
    FNoticePanel->setText(notice);
    FNoticePanel->setToolTip(notice);
    FNoticePanel->setFixedWidth(notice.isEmpty() ? 0 : FNoticePanel->sizeHint().width());
}

void TNotepadMainForm::SetCaretText(const QString& text) { FCaretPanel->setText(text); }

void TNotepadMainForm::SetLengthText(const QString& text) { FLengthPanel->setText(text); }
