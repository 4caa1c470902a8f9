#pragma once

#include <QDateTime>
#include <QString>

// Date and time as text in the picture language the log components and the survey log use:
// d dd ddd dddd ddddd dddddd, m mm mmm mmmm (minutes right after an hour), yy yyyy, h hh,
// n nn, s ss, z zzz, t tt, am/pm a/p ampm, c, / and : (the system's separators), and quoted
// literals. Letters are case-insensitive; everything else is copied as it stands.
QString FormatDateTime(const QString& format, const QDateTime& when);

// The separators of the system's short date and time formats.
QChar DateSeparator();
QChar TimeSeparator();
