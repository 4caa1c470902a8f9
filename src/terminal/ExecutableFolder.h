#pragma once

#include <QString>

// The folder that files "beside the executable" go to, with a trailing separator: the
// executable's own folder when it can be written to, else the application's data folder (an
// installed program cannot write to /usr/bin), created when missing. When neither is known
// the result is empty, so names stay relative to the working folder.
QString ExecutableFolder();

// `name` when it is absolute, else `name` inside ExecutableFolder().
QString BesideExecutable(const QString& name);
