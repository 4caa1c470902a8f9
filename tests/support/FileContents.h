#pragma once

#include <QByteArray>
#include <QFile>
#include <QString>

// A file's bytes, empty when it cannot be read.
inline QByteArray ContentsOf(const QString& path) {
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
}

// The file made to hold exactly `contents`; false when it cannot be written.
inline bool WriteContents(const QString& path, const QByteArray& contents) {
    QFile file(path);
    return file.open(QIODevice::WriteOnly) && file.write(contents) == contents.size();
}
