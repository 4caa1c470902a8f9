#pragma once

#include <QStringView>

// Stored setting texts are compared ignoring the case of a to z only, so that no locale's case
// rules can make two different stored words equal.
inline bool SameAsciiText(QStringView left, QStringView right) {
    if (left.size() != right.size()) return false;
    const auto upper = [](QChar c) { return c >= u'a' && c <= u'z' ? QChar(c.unicode() - 0x20) : c; };
    for (qsizetype i = 0; i < left.size(); ++i)
        if (upper(left[i]) != upper(right[i])) return false;
    return true;
}
