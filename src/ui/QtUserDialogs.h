#pragma once

#include "terminal/UserDialogs.h"

#include <deque>
#include <string>

class QDialog;
class QWidget;

// The user dialogs as Qt shows them. The main window's have no parent window: a box raised from
// a timer tick while the search's progress dialog has disabled the main window stays
// answerable. A window that stays on top (the text viewer) owns its own, so that they open
// above it. One box at a time: a message raised while one is open (a tick's, run inside that
// box's wait) is shown once it has been answered, and a text already waiting is not queued twice.
class TQtUserDialogs final : public TUserDialogs {
public:
    explicit TQtUserDialogs(QWidget* owner = nullptr) : FOwner(owner) {}

    void ShowMessage(TBoxKind kind, const std::string& text) override;
    TAnswer AskNoRetry(const std::string& text) override;
    TAnswer AskYesNoCancel(const std::string& text) override;
    void Beep() override;
    bool ChoosePrinter(QPrinter& printer) override;
    void SetUpPrinter(QPrinter& printer) override;
    std::string ChooseSaveFile(const std::string& title, const std::string& suggested) override;
    void EndAll() override;

private:
    // The dialog's answer; once ending, none is shown and `text`, when there is one, goes to
    // standard error, so that no message is lost.
    int Run(QDialog& dialog, const std::string& text = {});
    void ShowWaitingMessages();

    QWidget* FOwner;
    struct TMessage {
        TBoxKind Kind;
        std::string Text;
    };
    std::deque<TMessage> FWaiting;
    int FOpen = 0;
    bool FEnding = false;
};
