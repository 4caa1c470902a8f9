#pragma once

#include <QByteArray>
#include <QDir>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>

// A 64 KiB memory file system mounted over a temporary folder (or over `folder`, made when
// missing), so that a write meets a full disk as it does on a user's machine. Mounting needs
// root: a test checks Mounted() and skips itself otherwise.
class TSmallDisk {
public:
    static constexpr qint64 PageSize = 4096;

    explicit TSmallDisk(const QString& folder = QString()) : FPath(folder.isEmpty() ? FFolder.path() : folder) {
        QDir().mkpath(FPath);
        FMounted = ::mount("tmpfs", QFile::encodeName(FPath).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TSmallDisk() {
        if (FMounted) ::umount2(QFile::encodeName(FPath).constData(), MNT_DETACH);
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mounted() const { return FMounted; }
    QString Path(const QString& name) const { return QDir(FPath).filePath(name); }

    // Takes every free block, page by page, then byte by byte into the last page; then gives
    // `leave` bytes back.
    void Fill(qint64 leave = 0) {
        QFile filler(Path(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::Append | QIODevice::Unbuffered)) return;
        const QByteArray page(PageSize, 'x');
        while (filler.write(page) == page.size()) {}
        while (filler.write("x", 1) == 1) {}
        filler.resize(filler.size() - leave);
    }
    void Free() { QFile::remove(Path(QStringLiteral(".filler"))); }

private:
    QTemporaryDir FFolder;
    QString FPath;
    bool FMounted = false;
};
