#pragma once

#include "terminal/NotepadDialogs.h"
#include "terminal/NotepadView.h"

#include <QDateTime>
#include <QString>
#include <QStringConverter>
#include <QStringList>

#include <functional>
#include <optional>

class TUserDialogs;

// What the text viewer's commands do, without a widget: opening and saving with the ask-to-save
// rules, the file name and caption, find and replace, Insert Date/Time and the status texts.
// A save never loses the user's work or the file: it is written through a temporary file that
// replaces the old one only once complete (in place, after a copy is kept, where the folder
// takes no new file), a failure is told in the system's words, and a file that changed on disk
// since it was opened or saved (the survey log grows while a viewer shows it) is overwritten
// only when the user says so. The file is read as UTF-8, or as ISO-8859-1 when it is not valid
// UTF-8, and written back in that encoding with its own line breaks; one that the memo cannot
// show unchanged opens read-only.
class TNotepadPresenter {
public:
    static const QString CaptionSuffix; // " — log editor"
    static const QString UntitledName;
    static const QString OpenFilter;
    static const QString SaveFilter;

    TNotepadPresenter(TNotepadView& view, TUserDialogs& messages, TNotepadDialogs& dialogs);

    const QString& GetFileName() const { return FFileName; }
    bool GetIsUntitled() const { return FIsUntitled; }

    // Loads the file for editing; throws EInOutError naming it when it cannot be read (the
    // text stays as it was).
    void OpenFile(const QString& fileName);

    void New();
    void Open();
    // Each returns true when the text was written.
    bool Save();
    bool SaveAs();
    // The window may close: not modified, or the user said No, or Yes and the save worked.
    bool CloseQuery();

    // "Upper Case" / "Lower Case": the selection by the user's locale, still selected after.
    void ChangeSelectionCase(bool upper);
    // The local date and time "d/mm/yyyy hh:nn:ss" at the caret.
    void InsertDateTime();
    // Downwards from the end of the selection, case-sensitive; selects the match, else beeps.
    bool FindNext(const QString& what);
    // The text of the last search; empty before the first (Find Again then asks for one).
    const QString& LastFind() const { return FLastFind; }
    // Replaces the selection when it is `what`, then finds the next one.
    bool Replace(const QString& what, const QString& with);
    // Every occurrence, as one edit; returns how many (a beep when none).
    int ReplaceAll(const QString& what, const QString& with);

    // The status bar after a caret move (line and column from 1) and after a text change.
    void ShowCaret(int line, int column);
    void ShowLength();
    static QString CaretText(int line, int column);
    // Each line break counts two, as the file has carriage return and line feed.
    static QString LengthText(const QString& text);

    // "Pre&view" and "S&end ...".
    void NotImplemented();
    // Print: false, with the message, when the system has no printer.
    bool MayPrint(bool hasPrinters);
    // The print job's title.
    QString DocumentName() const;

    // Name filters for a file dialog from the system's "Name|*.a;*.b|..." form.
    static QStringList NameFilters(const QString& systemFilter);
    // The extension a save dialog adds for the chosen filter; empty for "All Files".
    static QString DefaultExtension(const QString& nameFilter);

    std::function<QDateTime()> CurrentTime = [] { return QDateTime::currentDateTime(); };

private:
    // Asks to save a modified text; true when the command may go on.
    bool AskToSave();
    bool WriteFile(const QString& fileName);
    QString UnfaithfulNotice() const;
    std::optional<QByteArray> Encoded(QString text) const;
    bool ChangedOnDisk(const QString& fileName) const;
    void RememberDiskState(const QString& fileName);
    QString NamePart() const;
    void SetCaptionFromFileName();

    TNotepadView& FView;
    TUserDialogs& FMessages;
    TNotepadDialogs& FDialogs;
    QString FFileName = UntitledName;
    bool FIsUntitled = true;
    // The bytes as read or last written, the memo's text for them, and their encoding.
    QByteArray FRaw;
    QString FShown;
    QStringConverter::Encoding FEncoding = QStringConverter::Utf8;
    QString FLineBreak = QStringLiteral("\n");
    bool FEndsWithBreak = true;
    QString FLastFind;
    // What the file on disk was when it was opened or last saved.
    QDateTime FDiskModified;
    qint64 FDiskSize = -1;
};
