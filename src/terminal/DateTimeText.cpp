#include "terminal/DateTimeText.h"

#include <QLocale>

namespace {

QChar FirstSeparatorOf(const QString& systemFormat, QChar fallback) {
    for (const QChar c : systemFormat)
        if (!c.isLetter() && c != u'\'' && !c.isSpace()) return c;
    return fallback;
}

QString Padded(int value, qsizetype width) { return QString::number(value).rightJustified(width, u'0'); }

// Length of the run of `letter` (any case) starting at `from`.
qsizetype RunLength(const QString& format, qsizetype from, QChar letter) {
    qsizetype end = from;
    while (end < format.size() && format[end].toLower() == letter) ++end;
    return end - from;
}

bool StartsWithAt(const QString& format, qsizetype at, QLatin1StringView word) {
    return format.mid(at, word.size()).compare(word, Qt::CaseInsensitive) == 0;
}

class TDateTimeWriter {
public:
    TDateTimeWriter(const QString& format, const QDateTime& when) : FFormat(format), FWhen(when) {}

    QString Run() {
        while (FAt < FFormat.size()) WriteToken();
        return FOut;
    }

private:
    void WriteToken() {
        const QChar c = FFormat[FAt];
        const QChar letter = c.toLower();
        if (c == u'"' || c == u'\'') return WriteQuoted(c);
        if (letter == u'a') return WriteMeridiem();
        if (QStringLiteral("dmyhnsztc").contains(letter)) return WriteField(letter);
        FOut += c == u'/' ? DateSeparator() : c == u':' ? TimeSeparator() : c;
        ++FAt;
        if (!c.isSpace() && c != u':') FAfterHour = false;
    }

    void WriteQuoted(QChar quote) {
        const qsizetype close = FFormat.indexOf(quote, FAt + 1);
        const qsizetype end = close < 0 ? FFormat.size() : close;
        FOut += FFormat.mid(FAt + 1, end - FAt - 1);
        FAt = end + 1;
    }

    void WriteMeridiem() {
        const bool pm = FWhen.time().hour() >= 12;
        if (StartsWithAt(FFormat, FAt, QLatin1StringView("am/pm"))) return Emit(5, pm ? "pm" : "am");
        if (StartsWithAt(FFormat, FAt, QLatin1StringView("a/p"))) return Emit(3, pm ? "p" : "a");
        if (StartsWithAt(FFormat, FAt, QLatin1StringView("ampm")))
            return Emit(4, pm ? QLocale::system().pmText() : QLocale::system().amText());
        Emit(1, "a");
    }

    void Emit(qsizetype consumed, const QString& text) {
        FOut += text;
        FAt += consumed;
        FAfterHour = false;
    }

    bool TwelveHourClock() const {
        return FFormat.contains(QLatin1StringView("am/pm"), Qt::CaseInsensitive) ||
               FFormat.contains(QLatin1StringView("a/p"), Qt::CaseInsensitive) ||
               FFormat.contains(QLatin1StringView("ampm"), Qt::CaseInsensitive);
    }

    void WriteField(QChar letter) {
        const qsizetype run = RunLength(FFormat, FAt, letter);
        const bool minutes = letter == u'm' && FAfterHour;
        FAt += run;
        const QDate date = FWhen.date();
        const QTime time = FWhen.time();
        const QLocale system = QLocale::system();
        switch (letter.unicode()) {
        case u'd':
            FOut += run <= 2   ? Padded(date.day(), run)
                    : run == 3 ? system.dayName(date.dayOfWeek(), QLocale::ShortFormat)
                    : run == 4 ? system.dayName(date.dayOfWeek(), QLocale::LongFormat)
                    : run == 5 ? ShortDate()
                               : system.toString(date, QLocale::LongFormat);
            break;
        case u'm':
            FOut += minutes    ? Padded(time.minute(), std::min<qsizetype>(run, 2))
                    : run <= 2 ? Padded(date.month(), run)
                               : system.monthName(date.month(), run == 3 ? QLocale::ShortFormat : QLocale::LongFormat);
            break;
        case u'y': FOut += run <= 2 ? Padded(date.year() % 100, 2) : Padded(date.year(), 4); break;
        case u'h': FOut += Padded(TwelveHourClock() ? (time.hour() + 11) % 12 + 1 : time.hour(), std::min<qsizetype>(run, 2)); break;
        case u'n': FOut += Padded(time.minute(), std::min<qsizetype>(run, 2)); break;
        case u's': FOut += Padded(time.second(), std::min<qsizetype>(run, 2)); break;
        case u'z': FOut += Padded(time.msec(), run >= 3 ? 3 : 1); break;
        case u't': FOut += run == 1 ? ShortTime() : LongTime(); break;
        default: FOut += CompleteText(); break;
        }
        FAfterHour = letter == u'h';
    }

    QString ShortDate() const { return QLocale::system().toString(FWhen.date(), QLocale::ShortFormat); }
    QString ShortTime() const { return FormatDateTime(QStringLiteral("hh:nn"), FWhen); }
    QString LongTime() const { return FormatDateTime(QStringLiteral("hh:nn:ss"), FWhen); }

    // "c": the short date, then the long time unless it is exactly midnight.
    QString CompleteText() const {
        if (FWhen.time() == QTime(0, 0)) return ShortDate();
        return ShortDate() + u' ' + LongTime();
    }

    const QString& FFormat;
    const QDateTime& FWhen;
    QString FOut;
    qsizetype FAt = 0;
    bool FAfterHour = false;
};

} // namespace

QString FormatDateTime(const QString& format, const QDateTime& when) { return TDateTimeWriter(format, when).Run(); }

QChar DateSeparator() { return FirstSeparatorOf(QLocale::system().dateFormat(QLocale::ShortFormat), u'/'); }

QChar TimeSeparator() { return FirstSeparatorOf(QLocale::system().timeFormat(QLocale::ShortFormat), u':'); }
