#include "device_link/WholeFileWrite.h"

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QSaveFile>
#include <QTemporaryFile>

#include <cerrno>
#include <cstring>
#include <unistd.h>

namespace {

// errno right after the failing call names the cause; Qt's own text reads "Unknown error" for
// a failure found inside commit().
QString Reason(const QFileDevice& file, int code) {
    if (code != 0) return QString::fromLocal8Bit(std::strerror(code));
    return file.errorString();
}

QString Written(QSaveFile& file, const QByteArray& contents) {
    errno = 0;
    if (!file.open(QIODevice::WriteOnly)) return Reason(file, errno);
    errno = 0;
    if (file.write(contents) != contents.size() || !file.flush() || ::fsync(file.handle()) != 0) {
        const QString reason = Reason(file, errno);
        file.cancelWriting();
        return reason;
    }
    errno = 0;
    if (!file.commit()) return Reason(file, errno);
    return {};
}

bool FolderTakesNewFiles(const QString& fileName) {
    QTemporaryFile probe(QFileInfo(fileName).absolutePath() + QStringLiteral("/.probe-XXXXXX"));
    return probe.open();
}

// A copy of the old file in the system's temporary folder; empty when none could be made.
QString KeptCopy(const QString& fileName) {
    QTemporaryFile copy(QDir::tempPath() + u'/' + QFileInfo(fileName).fileName() + QStringLiteral(".old-XXXXXX"));
    QFile old(fileName);
    if (!copy.open() || !old.open(QIODevice::ReadOnly)) return {};
    const QByteArray bytes = old.readAll();
    if (copy.write(bytes) != bytes.size() || !copy.flush()) return {};
    copy.setAutoRemove(false);
    return copy.fileName();
}

} // namespace

QString WriteWholeFile(const QString& fileName, const QByteArray& contents) {
    QSaveFile file(fileName);
    return Written(file, contents);
}

QString WriteWholeFileInPlaceWhenNeeded(const QString& fileName, const QByteArray& contents) {
    if (FolderTakesNewFiles(fileName) || !QFileInfo::exists(fileName)) return WriteWholeFile(fileName, contents);
    const QString copy = KeptCopy(fileName);
    if (copy.isEmpty()) return QStringLiteral("no copy of the old file could be kept to write it in place");
    QSaveFile file(fileName);
    file.setDirectWriteFallback(true);
    const QString reason = Written(file, contents);
    if (reason.isEmpty()) {
        QFile::remove(copy);
        return {};
    }
    return QStringLiteral("%1; the old file is kept in %2").arg(reason, QDir::toNativeSeparators(copy));
}
