#pragma once

#include "device_link/Component.h"

#include <QFile>
#include <QString>

// Appends text lines to a log file, opening and closing the file for every line so that the
// file is complete at any moment and other programs can read it while the terminal runs.
// A line may carry a prefix, the current date and time, a separator and a suffix.
class TLogToFile : public TComponent {
public:
    TLogToFile();
    ~TLogToFile() override;

    const QString& GetLogFileName() const { return FLogFileName; }
    void SetLogFileName(const QString& value) { FLogFileName = value; }
    bool GetOverwriteExistingFile() const { return FOverwriteExistingFile; }
    void SetOverwriteExistingFile(bool value) { FOverwriteExistingFile = value; }
    bool GetClearonCreate() const { return FClearonCreate; }
    void SetClearonCreate(bool value) { FClearonCreate = value; }
    bool GetIncDateTime() const { return FIncDateTime; }
    void SetIncDateTime(bool value) { FIncDateTime = value; }
    bool GetIncPrefix() const { return FIncPrefix; }
    void SetIncPrefix(bool value) { FIncPrefix = value; }
    bool GetIncSeparator() const { return FIncSeparator; }
    void SetIncSeparator(bool value) { FIncSeparator = value; }
    bool GetIncSuffix() const { return FIncSuffix; }
    void SetIncSuffix(bool value) { FIncSuffix = value; }
    const QString& GetPrefix() const { return FPrefix; }
    void SetPrefix(const QString& value) { FPrefix = value; }
    const QString& GetSeparator() const { return FSeparator; }
    void SetSeparator(const QString& value) { FSeparator = value; }
    const QString& GetSuffix() const { return FSuffix; }
    void SetSuffix(const QString& value) { FSuffix = value; }
    const QString& GetDateTimeFormatStr() const { return FDateTimeFormatStr; }
    void SetDateTimeFormatStr(const QString& value) { FDateTimeFormatStr = value; }

    // Writes LinesBefore empty lines, the line, then LinesAfter empty lines, each ending in
    // CR LF. Throws EInOutError when the file cannot be opened or written; the text is then
    // written whole or, where the file cannot be cut back, the next line starts on its own.
    void Add(const QString& Text, int LinesBefore = 0, int LinesAfter = 0);

protected:
    // Completes a relative LogFileName (once, in the property) and opens the file: appending
    // to an existing one unless OverwriteExistingFile, else emptied. Never throws.
    bool OpenLog();
    void CloseLog();

    void Loaded() override;

private:
    QString LineOf(const QString& Text);
    void WriteLines(const QString& Text, int LinesBefore, int LinesAfter);
    QByteArray EndOfTornLine();
    void WriteRaw(const QByteArray& bytes);
    // `code`: errno of the failed call, 0 when none is known.
    [[noreturn]] void Fail(const QString& what, int code) const;

    QString FLogFileName = QStringLiteral("LogFile.Txt");
    bool FOverwriteExistingFile = false;
    bool FClearonCreate = false;
    bool FIncDateTime = false;
    bool FIncPrefix = false;
    bool FIncSeparator = false;
    bool FIncSuffix = false;
    QString FPrefix;
    QString FSeparator;
    QString FSuffix;
    QString FDateTimeFormatStr = QStringLiteral("c");
    QFile FFile;
};
