#include "terminal/LogToFile.h"

#include "terminal/DateTimeText.h"
#include "terminal/EInOutError.h"
#include "terminal/ExecutableFolder.h"

#include <QDateTime>
#include <QDir>

namespace {

constexpr char LineEnd[] = "\r\n";

} // namespace

TLogToFile::TLogToFile() = default;

TLogToFile::~TLogToFile() {
    BeginDestruction();
    CloseLog();
}

void TLogToFile::Add(const QString& Text, int LinesBefore, int LinesAfter) {
    if (!OpenLog()) Fail(QStringLiteral("Cannot open log file"));
    try {
        WriteLines(Text, LinesBefore, LinesAfter);
    } catch (...) {
        CloseLog();
        throw;
    }
    CloseLog();
}

void TLogToFile::WriteLines(const QString& Text, int LinesBefore, int LinesAfter) {
    QByteArray bytes;
    for (int i = 0; i < LinesBefore; ++i) bytes += LineEnd;
    bytes += LineOf(Text).toLocal8Bit() + LineEnd;
    for (int i = 0; i < LinesAfter; ++i) bytes += LineEnd;
    WriteRaw(bytes);
}

QString TLogToFile::LineOf(const QString& Text) {
    QString line;
    if (FIncPrefix) line += FPrefix;
    if (FIncDateTime) {
        if (FDateTimeFormatStr.isEmpty()) FDateTimeFormatStr = QStringLiteral("c");
        line += FormatDateTime(FDateTimeFormatStr, QDateTime::currentDateTime());
    }
    if (FIncSeparator) line += FSeparator;
    line += Text;
    if (FIncSuffix) line += FSuffix;
    return line;
}

void TLogToFile::WriteRaw(const QByteArray& bytes) {
    if (FFile.write(bytes) != bytes.size() || !FFile.flush()) Fail(QStringLiteral("Cannot write log file"));
}

void TLogToFile::Fail(const QString& what) const {
    throw EInOutError(QStringLiteral("%1 %2: %3")
                          .arg(what, QDir::toNativeSeparators(FLogFileName), FFile.errorString())
                          .toStdString());
}

bool TLogToFile::OpenLog() {
    CloseLog();
    FLogFileName = BesideExecutable(FLogFileName);
    FFile.setFileName(FLogFileName);
    const bool append = !FOverwriteExistingFile && FFile.exists();
    return FFile.open(append ? QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate);
}

void TLogToFile::CloseLog() {
    if (FFile.isOpen()) FFile.close();
}

// Clearing is done once, after the stored values are in place, so that it empties the file
// the layout names rather than the default one.
void TLogToFile::Loaded() {
    if (!FClearonCreate) return;
    const bool overwrite = FOverwriteExistingFile;
    FOverwriteExistingFile = true;
    OpenLog();
    CloseLog();
    FOverwriteExistingFile = overwrite;
}
