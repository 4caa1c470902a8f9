#include "terminal/LogToFile.h"

#include "terminal/DateTimeText.h"
#include "terminal/EInOutError.h"
#include "terminal/ExecutableFolder.h"

#include <QDateTime>
#include <QDir>

#include <cerrno>
#include <cstring>

namespace {

constexpr char LineEnd[] = "\r\n";

} // namespace

TLogToFile::TLogToFile() = default;

TLogToFile::~TLogToFile() {
    BeginDestruction();
    CloseLog();
}

void TLogToFile::Add(const QString& Text, int LinesBefore, int LinesAfter) {
    errno = 0;
    if (!OpenLog()) Fail(QStringLiteral("Cannot open log file"), errno);
    try {
        WriteLines(Text, LinesBefore, LinesAfter);
    } catch (...) {
        CloseLog();
        throw;
    }
    CloseLog();
}

void TLogToFile::WriteLines(const QString& Text, int LinesBefore, int LinesAfter) {
    QByteArray bytes = EndOfTornLine();
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

// A line that an earlier failure left without its end (a short write the file could not be cut
// back from, a crash, another writer) is ended first, so that the next line has one of its own.
QByteArray TLogToFile::EndOfTornLine() {
    const qint64 size = FFile.size();
    if (size == 0 || !FFile.seek(size - 1)) return {};
    const QByteArray last = FFile.read(1);
    if (last == "\n") return {};
    return last == "\r" ? QByteArray("\n") : QByteArray(LineEnd);
}

// One write call for the whole text, on an unbuffered file: a full disk takes all of it or a part,
// and a part is cut off again, so that the file ends on a whole line.
void TLogToFile::WriteRaw(const QByteArray& bytes) {
    const qint64 before = FFile.size();
    errno = 0;
    if (FFile.write(bytes) == bytes.size()) return;
    const int code = errno;
    if (FFile.size() != before) FFile.resize(before);
    Fail(QStringLiteral("Cannot write log file"), code);
}

void TLogToFile::Fail(const QString& what, int code) const {
    const QString reason = code != 0 ? QString::fromLocal8Bit(std::strerror(code)) : FFile.errorString();
    throw EInOutError(
        QStringLiteral("%1 %2: %3").arg(what, QDir::toNativeSeparators(FLogFileName), reason).toStdString());
}

bool TLogToFile::OpenLog() {
    CloseLog();
    FLogFileName = BesideExecutable(FLogFileName);
    FFile.setFileName(FLogFileName);
    const bool append = !FOverwriteExistingFile && FFile.exists();
    return FFile.open(QIODevice::Unbuffered |
                      (append ? QIODevice::ReadWrite | QIODevice::Append : QIODevice::WriteOnly | QIODevice::Truncate));
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
