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

QString WritableExecutableFolder() {
    if (QCoreApplication::instance() == nullptr) return {};
    const QString folder = QCoreApplication::applicationDirPath();
    if (folder.isEmpty() || !QFileInfo(folder).isWritable()) return {};
    return folder;
}

QString DataFolder() {
    const QString folder = QStandardPaths::writableLocation(QStandardPaths::AppDataLocation);
    if (folder.isEmpty() || !QDir().mkpath(folder)) return {};
    return folder;
}

} // namespace

QString ExecutableFolder() {
    const QString beside = WritableExecutableFolder();
    return WithTrailingSeparator(beside.isEmpty() ? DataFolder() : beside);
}

QString BesideExecutable(const QString& name) {
    if (QDir::isAbsolutePath(name)) return name;
    return ExecutableFolder() + name;
}
