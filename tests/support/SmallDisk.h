#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>
#include <QTemporaryDir>

#include <sys/mount.h>

// A 64 KiB memory file system mounted over a temporary folder, so that a write meets a full
// disk as it does on a user's machine. Mounting needs root: a test checks Mounted() and skips
// itself otherwise.
class TSmallDisk {
public:
    TSmallDisk() {
        FMounted = FFolder.isValid() &&
                   ::mount("tmpfs", QFile::encodeName(FFolder.path()).constData(), "tmpfs", 0, "size=64k") == 0;
    }
    ~TSmallDisk() {
        if (FMounted) ::umount2(QFile::encodeName(FFolder.path()).constData(), MNT_DETACH);
    }
    TSmallDisk(const TSmallDisk&) = delete;
    TSmallDisk& operator=(const TSmallDisk&) = delete;

    bool Mounted() const { return FMounted; }
    QString Path(const QString& name) const { return FFolder.filePath(name); }

    // Takes every free block: page by page, then byte by byte into the last page.
    void Fill() {
        QFile filler(Path(QStringLiteral(".filler")));
        if (!filler.open(QIODevice::Append | QIODevice::Unbuffered)) return;
        const QByteArray page(4096, 'x');
        while (filler.write(page) == page.size()) {}
        while (filler.write("x", 1) == 1) {}
    }
    void Free() { QFile::remove(Path(QStringLiteral(".filler"))); }

private:
    QTemporaryDir FFolder;
    bool FMounted = false;
};
