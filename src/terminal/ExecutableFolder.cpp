#include "terminal/ExecutableFolder.h"

#include <QCoreApplication>
#include <QDir>
#include <QFileInfo>
#include <QStandardPaths>

namespace {

QString WithTrailingSeparator(const QString& folder) {
    if (folder.isEmpty() || folder.endsWith(u'/')) return folder;
    return folder + u'/';
}

// An installed program's folder is a bin folder beside the share folder the installation put
// its desktop entry in. The user may be able to write there (root can write to /usr/bin), but
// the program's files belong to the user, not to the installation.
bool IsInstalledProgramFolder(const QString& folder) {
    return QFileInfo(folder).fileName() == u"bin" &&
           QFileInfo::exists(folder + QStringLiteral("/../share/applications/kelvo-terminal.desktop"));
}

QString WritableProgramFolder(const QString& folder) {
    if (folder.isEmpty() || !QFileInfo(folder).isWritable() || IsInstalledProgramFolder(folder)) return {};
    return folder;
}

// Also when it cannot be created: the files then fail to be written and say so, rather than
// land unnoticed in whatever folder the program was started from.
QString DataFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (!folder.isEmpty()) QDir().mkpath(folder);
    return folder;
}

} // namespace

QString ExecutableFolderFor(const QString& programFolder) {
    const QString beside = WritableProgramFolder(programFolder);
    return WithTrailingSeparator(beside.isEmpty() ? DataFolder() : beside);
}

// Chosen once: were the folder's rights to change mid-run, settings.ini and CS.log would
// otherwise end up in two different folders.
QString ExecutableFolder() {
    if (QCoreApplication::instance() == nullptr) return ExecutableFolderFor(QString());
    static const QString chosen = ExecutableFolderFor(QCoreApplication::applicationDirPath());
    return chosen;
}

QString BesideExecutable(const QString& name) {
    if (QDir::isAbsolutePath(name)) return name;
    return ExecutableFolder() + name;
}
