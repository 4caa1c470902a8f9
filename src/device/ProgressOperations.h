#pragma once

#include <cstdint>
#include <string>

// The one progress dialog that a long operation on the main thread shows. Callers reach it
// through the three free operations below, so that code without a window (discovery in
// kelvo-monitor, tests) runs unchanged; the window layer installs the real dialog.
//
// The free operations keep the bookkeeping (is a dialog current?); an implementation only
// presents. Every ShowProgressDialog is paired with one CloseProgressDialog.
class TProgressPresenter {
public:
    virtual ~TProgressPresenter() = default;
    // CancelMessage below 0: no cancel button.
    virtual void Show(std::int32_t CancelMessage, std::int32_t Max, const std::string& Text) = 0;
    virtual void Update(std::int32_t Max, std::int32_t Position, const std::string& Text) = 0;
    virtual void Close() = 0;
    // The hourglass cursor while the main thread is busy, and back.
    virtual void SetBusyCursor(bool Busy) = 0;
};

// Makes `presenter` the dialog of the free operations (nullptr: the headless one, which shows
// nothing) and returns the previous one. A dialog that is current stays with its presenter.
TProgressPresenter* InstallProgressPresenter(TProgressPresenter* presenter);

// Shows the dialog with the bar at 0 of Max. A dialog that is still current is closed first,
// so the windows it disabled are never left disabled.
void ShowProgressDialog(std::int32_t CancelMessage, std::int32_t Max, const std::string& Text);
// Throws std::logic_error "ProgressDlgForm is nil !!!" when no dialog is current.
void UpdateProgressDialog(std::int32_t Max, std::int32_t Position, const std::string& Text);
// Does nothing when no dialog is current.
void CloseProgressDialog();
bool IsProgressDialogShown();

// The hourglass cursor for a wait without the dialog; callers pair them.
void BeginBusyCursor();
void EndBusyCursor();
