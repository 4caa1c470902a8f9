#include "ui/QtNotepadDialogs.h"

#include "terminal/NotepadPresenter.h"

#include <QFileDialog>
#include <QMessageBox>

namespace {

QMessageBox::StandardButton AskWarning(QWidget* owner, const QString& text, QMessageBox::StandardButtons buttons,
                                       QMessageBox::StandardButton defaultButton) {
    QMessageBox box(QMessageBox::Warning, QStringLiteral("Warning"), text, buttons, owner);
    box.setDefaultButton(defaultButton);
    return static_cast<QMessageBox::StandardButton>(box.exec());
}

} // namespace

TNotepadDialogs::TAnswer TQtNotepadDialogs::AskYesNoCancel(const QString& text) {
    switch (AskWarning(FOwner, text, QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel, QMessageBox::Yes)) {
    case QMessageBox::Yes: return anYes;
    case QMessageBox::No: return anNo;
    default: return anCancel;
    }
}

bool TQtNotepadDialogs::AskYesDefaultNo(const QString& text) {
    return AskWarning(FOwner, text, QMessageBox::Yes | QMessageBox::No, QMessageBox::No) == QMessageBox::Yes;
}

std::optional<QString> TQtNotepadDialogs::ChooseFileToOpen() {
    QFileDialog dialog(FOwner);
    dialog.setFileMode(QFileDialog::ExistingFile);
    dialog.setNameFilters(TNotepadPresenter::NameFilters(TNotepadPresenter::OpenFilter));
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}

std::optional<QString> TQtNotepadDialogs::ChooseFileToSave(const QString& fileName) {
    QFileDialog dialog(FOwner);
    dialog.setAcceptMode(QFileDialog::AcceptSave);
    const QStringList filters = TNotepadPresenter::NameFilters(TNotepadPresenter::SaveFilter);
    dialog.setNameFilters(filters);
    dialog.setDefaultSuffix(TNotepadPresenter::DefaultExtension(filters.constFirst()));
    QObject::connect(&dialog, &QFileDialog::filterSelected, &dialog, [&dialog](const QString& filter) {
        dialog.setDefaultSuffix(TNotepadPresenter::DefaultExtension(filter));
    });
    dialog.selectFile(fileName);
    if (dialog.exec() != QDialog::Accepted || dialog.selectedFiles().isEmpty()) return std::nullopt;
    return dialog.selectedFiles().constFirst();
}
