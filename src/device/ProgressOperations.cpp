#include "device/ProgressOperations.h"

#include <stdexcept>

namespace {
class THeadlessProgress final : public TProgressPresenter {
public:
    void Show(std::int32_t, std::int32_t, const std::string&) override {}
    void Update(std::int32_t, std::int32_t, const std::string&) override {}
    void Close() override {}
    void SetBusyCursor(bool) override {}
};

THeadlessProgress Headless;
TProgressPresenter* Installed = &Headless;
// The presenter showing the current dialog, nullptr when none is shown.
TProgressPresenter* Current = nullptr;
} // namespace

TProgressPresenter* InstallProgressPresenter(TProgressPresenter* presenter) {
    TProgressPresenter* previous = Installed == &Headless ? nullptr : Installed;
    Installed = presenter != nullptr ? presenter : &Headless;
    return previous;
}

void ShowProgressDialog(std::int32_t CancelMessage, std::int32_t Max, const std::string& Text) {
    CloseProgressDialog();
    Installed->Show(CancelMessage, Max, Text);
    Current = Installed;
}

void UpdateProgressDialog(std::int32_t Max, std::int32_t Position, const std::string& Text) {
    if (Current == nullptr) throw std::logic_error("ProgressDlgForm is nil !!!");
    Current->Update(Max, Position, Text);
}

void CloseProgressDialog() {
    if (Current == nullptr) return;
    TProgressPresenter* closing = Current;
    Current = nullptr;
    closing->Close();
}

bool IsProgressDialogShown() { return Current != nullptr; }

void BeginBusyCursor() { Installed->SetBusyCursor(true); }

void EndBusyCursor() { Installed->SetBusyCursor(false); }
