#include "ui/ProgressDialogPresenter.h"

#include "ui/ProgressDlgForm.h"

#include <QApplication>

TProgressDialogPresenter::TProgressDialogPresenter() : FPrevious(InstallProgressPresenter(this)) {}

TProgressDialogPresenter::~TProgressDialogPresenter() {
    if (FForm) CloseProgressDialog();
    InstallProgressPresenter(FPrevious);
}

void TProgressDialogPresenter::Show(std::int32_t CancelMessage, std::int32_t Max, const std::string& Text) {
    DisableOtherWindows();
    FForm = std::make_unique<TProgressDlgForm>(CancelMessage);
    FForm->SetProgress(Max, 0);
    FForm->SetText(QString::fromStdString(Text));
    FForm->show();
}

void TProgressDialogPresenter::Update(std::int32_t Max, std::int32_t Position, const std::string& Text) {
    if (!FForm) return;
    FForm->SetProgress(Max, Position);
    FForm->SetText(QString::fromStdString(Text));
}

void TProgressDialogPresenter::Close() {
    EnableDisabledWindows();
    if (FForm) FForm->close();
    FForm.reset();
}

void TProgressDialogPresenter::SetBusyCursor(bool Busy) {
    if (Busy) QApplication::setOverrideCursor(Qt::WaitCursor);
    else QApplication::restoreOverrideCursor();
}

void TProgressDialogPresenter::DisableOtherWindows() {
    FDisabled.clear();
    for (QWidget* window : QApplication::topLevelWidgets()) {
        if (window->isVisible() && window->isEnabled()) {
            window->setEnabled(false);
            FDisabled.emplace_back(window);
        }
    }
}

void TProgressDialogPresenter::EnableDisabledWindows() {
    for (const QPointer<QWidget>& window : FDisabled) {
        if (window) window->setEnabled(true);
    }
    FDisabled.clear();
}
