#pragma once

#include <QDir>
#include <QString>
#include <QtGlobal>

// Settings of the current user must land in the test's own folder, never in the real user's.
// Called before the first settings object of the process is made, since Qt reads the folder once.
inline QString UserSettingsFolder() {
    if (qEnvironmentVariableIsEmpty("XDG_CONFIG_HOME"))
        qputenv("XDG_CONFIG_HOME", QDir::current().filePath(QStringLiteral("config")).toLocal8Bit());
    return qEnvironmentVariable("XDG_CONFIG_HOME");
}
