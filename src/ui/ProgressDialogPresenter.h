#pragma once

#include "device/ProgressOperations.h"

#include <QPointer>
#include <QWidget>

#include <memory>
#include <vector>

class TProgressDlgForm;

// The progress operations shown as a TProgressDlgForm. While the dialog is shown every other
// window of the application is disabled; closing it enables again exactly those it disabled.
class TProgressDialogPresenter final : public TProgressPresenter {
public:
    // Installs itself as the presenter of the free progress operations, and puts the previous
    // one back when destroyed.
    TProgressDialogPresenter();
    ~TProgressDialogPresenter() override;
    TProgressDialogPresenter(const TProgressDialogPresenter&) = delete;
    TProgressDialogPresenter& operator=(const TProgressDialogPresenter&) = delete;

    void Show(std::int32_t CancelMessage, std::int32_t Max, const std::string& Text) override;
    void Update(std::int32_t Max, std::int32_t Position, const std::string& Text) override;
    void Close() override;
    void SetBusyCursor(bool Busy) override;

    TProgressDlgForm* GetForm() const { return FForm.get(); }

private:
    void DisableOtherWindows();
    void EnableDisabledWindows();

    std::unique_ptr<TProgressDlgForm> FForm;
    // Guarded: a window may be destroyed while the dialog is shown.
    std::vector<QPointer<QWidget>> FDisabled;
    TProgressPresenter* FPrevious = nullptr;
};
