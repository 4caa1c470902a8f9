#pragma once

#include <QString>

// The folder that files "beside the executable" go to, with a trailing separator: the
// executable's own folder when it can be written to and is not an installed program's bin
// folder, else the application's data folder (an installed program cannot write to /usr/bin),
// created when missing. When neither is known the result is empty, so names stay relative to
// the working folder.
QString ExecutableFolder();
// The same rule for a program in `programFolder`.
QString ExecutableFolderFor(const QString& programFolder);

// `name` when it is absolute, else `name` inside ExecutableFolder().
QString BesideExecutable(const QString& name);
