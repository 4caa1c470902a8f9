#pragma once

#include <QString>

#include <optional>

// The text viewer's questions and file dialogs, behind one small interface that tests answer
// without a display. Its plain messages and beep go through TUserDialogs.
class TNotepadDialogs {
public:
    enum TAnswer { anYes, anNo, anCancel };

    virtual ~TNotepadDialogs() = default;

    // A warning with the buttons Yes, No and Cancel.
    virtual TAnswer AskYesNoCancel(const QString& text) = 0;
    // A warning with the buttons Yes and No, No being the default.
    virtual bool AskYesDefaultNo(const QString& text) = 0;
    // The open dialog (the file must exist); none when the user cancels.
    virtual std::optional<QString> ChooseFileToOpen() = 0;
    // The save dialog preset with `fileName`; the chosen type's default extension is added to a
    // name typed without one. None when the user cancels.
    virtual std::optional<QString> ChooseFileToSave(const QString& fileName) = 0;
};
