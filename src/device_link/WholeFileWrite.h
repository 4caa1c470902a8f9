#pragma once

#include <QByteArray>
#include <QString>

// Writes a whole file so that it ends complete or the old file stays as it was: the bytes go to
// a temporary file beside it, every write, the flush and the sync to disk are checked, and only
// then does the new file take the old one's place. (A buffered write that fails only in the
// flush inside QSaveFile::commit() would otherwise put an empty file in place of the old one.)
//
// Each returns empty when the file was written, else why not in the system's words
// ("No space left on device").
QString WriteWholeFile(const QString& fileName, const QByteArray& contents);

// The same, but where the folder takes no temporary file (the file may be written, the folder
// not) the file is written in place, after a copy of the old one has been kept in the system's
// temporary folder; the copy is removed once the new file is complete, and named in the reason
// when it is not.
QString WriteWholeFileInPlaceWhenNeeded(const QString& fileName, const QByteArray& contents);
