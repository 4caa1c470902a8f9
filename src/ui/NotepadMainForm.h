#pragma once

#include "terminal/NotepadView.h"

#include <QMainWindow>

#include <memory>

namespace Ui {
class TNotepadMainForm;
}
class QDialog;
class QLabel;
class QLineEdit;
class QPrinter;
class TNotepadDialogs;
class TNotepadPresenter;
class TUserDialogs;

// The text viewer: a small plain-text editor that shows the connection survey log. Thin wiring
// of its form and commands to TNotepadPresenter.
//
// The main window:
//  - a viewer is made when one is needed (a hidden one made at start would show nothing);
//  - "Show connection survey Log": ShowLog(file, dialogs) when the file exists;
//  - closing: CloseViewers() first; when it returns false the window stays open (the user
//    cancelled a viewer's ask-to-save).
class TNotepadMainForm final : public QMainWindow, private TNotepadView {
    Q_OBJECT
public:
    // `messages` or `dialogs` null: the viewer asks through Qt's own dialogs, which it owns.
    explicit TNotepadMainForm(TUserDialogs* messages = nullptr, TNotepadDialogs* dialogs = nullptr,
                              QWidget* parent = nullptr);
    ~TNotepadMainForm() override;

    TNotepadPresenter& Presenter() { return *FPresenter; }

    // Throws EInOutError when the file cannot be read.
    void OpenFile(const QString& fileName);

    // Freed when closed, else only hidden.
    bool GetFreeOnClose() const;
    void SetFreeOnClose(bool value);

    // A new viewer, "Log editor", 800 x 600, on top, freed when closed, showing the file, with
    // dialogs of its own; when the file cannot be read it is freed at once, the error shown
    // through `messages`, and null is returned.
    static TNotepadMainForm* ShowLog(const QString& fileName, TUserDialogs& messages);
    // Closes every viewer through its ask-to-save question; false as soon as one stays open.
    static bool CloseViewers();

    // The text laid out in lines and pages in the memo's font.
    void PrintTo(QPrinter& printer);

protected:
    void closeEvent(QCloseEvent* event) override;
    bool eventFilter(QObject* watched, QEvent* event) override;

private:
    void BuildCommands();
    void BuildStatusBar();
    void CentreOnScreen();
    void ConnectMemo();
    void UpdateCommands();
    void Print();
    void SetUpPrinter();
    void ChangeFont();
    void ShowFindDialog(bool replacing);
    void FindAgain();
    QDialog* FindDialog();
    QPrinter& Printer();
    QAction* Command(const char* name) const;

    // ---- TNotepadView ----
    QString Text() const override;
    void LoadText(const QString& text) override;
    bool IsModified() const override;
    void SetModified(bool modified) override;
    void SetCaption(const QString& caption) override;
    int CaretPosition() const override;
    int SelectionStart() const override;
    int SelectionLength() const override;
    void Select(int start, int length) override;
    void ReplaceSelection(const QString& text) override;
    void SetReadOnlyNotice(const QString& notice) override;
    void SetCaretText(const QString& text) override;
    void SetLengthText(const QString& text) override;

    std::unique_ptr<Ui::TNotepadMainForm> ui;
    std::unique_ptr<TUserDialogs> FOwnMessages;
    TUserDialogs& FMessages;
    std::unique_ptr<TNotepadDialogs> FOwnDialogs;
    std::unique_ptr<TNotepadPresenter> FPresenter;
    std::unique_ptr<QPrinter> FPrinter;
    int FCommandsRunning = 0;
    bool FFreeWhenCommandEnds = false;
    bool FCloseWhenCommandEnds = false;
    QLabel* FNoticePanel = nullptr;
    QLabel* FCaretPanel = nullptr;
    QLabel* FLengthPanel = nullptr;
    QDialog* FFindDialog = nullptr;
    QLineEdit* FFindText = nullptr;
    QLineEdit* FReplaceText = nullptr;
    QWidget* FReplaceRow = nullptr;
};
