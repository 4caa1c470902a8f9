#pragma once

#include "terminal/NotepadDialogs.h"

class QWidget;

// The text viewer's questions and file dialogs as Qt shows them, owned by the viewer so that
// they stand on top of it (the viewer stays on top of other windows).
class TQtNotepadDialogs final : public TNotepadDialogs {
public:
    explicit TQtNotepadDialogs(QWidget* owner) : FOwner(owner) {}

    TAnswer AskYesNoCancel(const QString& text) override;
    bool AskYesDefaultNo(const QString& text) override;
    std::optional<QString> ChooseFileToOpen() override;
    std::optional<QString> ChooseFileToSave(const QString& fileName) override;

private:
    QWidget* FOwner;
};
