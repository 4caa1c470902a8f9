#pragma once

#include <QString>

// The folder that files "beside the executable" go to, with a trailing separator: the
// executable's own folder when it can be written to and is not an installed program's bin
// folder, else the application's data folder (an installed program cannot write to /usr/bin),
// created when missing (and named even when it cannot be created, so that a write fails
// visibly). Only without any data folder is the result empty, names then staying relative to
// the working folder. Chosen at the first call once the application exists, and kept for the
// whole run.
QString ExecutableFolder();
// The same rule for a program in `programFolder`.
QString ExecutableFolderFor(const QString& programFolder);

// `name` when it is absolute, else `name` inside ExecutableFolder().
QString BesideExecutable(const QString& name);
