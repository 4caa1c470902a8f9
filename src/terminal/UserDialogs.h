#pragma once

#include <string>

class QPrinter;

// The message boxes, the print dialogs and the beep of the main window, behind one small
// interface: the window uses the real ones, tests answer them without a display.
class TUserDialogs {
public:
    // bkInfo: the short notice titled "Info" that stays on top of every window.
    enum TBoxKind { bkPlain, bkInformation, bkInfo, bkWarning, bkError };
    enum TAnswer { anNo, anRetry, anYes, anCancel };

    virtual ~TUserDialogs() = default;

    // A modal box with the single button OK.
    virtual void ShowMessage(TBoxKind kind, const std::string& text) = 0;
    // An error box with the buttons No and Retry.
    virtual TAnswer AskNoRetry(const std::string& text) = 0;
    // A confirmation with the buttons Yes, No and Cancel.
    virtual TAnswer AskYesNoCancel(const std::string& text) = 0;
    virtual void Beep() = 0;
    // The print dialog for `printer`; true when the user chose to print.
    virtual bool ChoosePrinter(QPrinter& printer) = 0;
    // The printer setup dialog for `printer`.
    virtual void SetUpPrinter(QPrinter& printer) = 0;
    // A file dialog for a new file, opening on `suggested`; the chosen path, or empty when the
    // user cancelled (and where no dialog can be shown).
    virtual std::string ChooseSaveFile(const std::string& title, const std::string& suggested) {
        (void)title;
        (void)suggested;
        return {};
    }
    // The program ends without its user (a signal): every dialog still open is closed unanswered
    // (No, Cancel), and a box asked for from now on is not shown.
    virtual void EndAll() {}
};
