#pragma once

#include "terminal/UserDialogs.h"

#include <string>
#include <vector>

// Dialogs that note each box's text and answer every question with its first choice.
class TBoxRecorder final : public TUserDialogs {
public:
    std::vector<std::string> Shown;
    void ShowMessage(TBoxKind, const std::string& text) override { Shown.push_back(text); }
    TAnswer AskNoRetry(const std::string&) override { return anNo; }
    TAnswer AskYesNoCancel(const std::string&) override { return anCancel; }
    void Beep() override {}
    bool ChoosePrinter(QPrinter&) override { return false; }
    void SetUpPrinter(QPrinter&) override {}
};
