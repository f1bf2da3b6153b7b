#include "base/clock.h"

#include <QLocale>
#include <QRegularExpression>
#include <limits>

namespace {
std::function<QDateTime()> &clockOverride()
{
    static std::function<QDateTime()> f;
    return f;
}

// The locale's long time format without any time-zone part ("t", "tt", ...)
// and the separators that stood next to it.
QString timeOfDayFormat()
{
    static QString cachedFor;
    static QString cached;
    const QString fmt = QLocale().timeFormat(QLocale::LongFormat);
    if (fmt == cachedFor && !cached.isEmpty())
        return cached;
    QString out;
    bool inQuote = false;
    for (int i = 0; i < fmt.size(); ++i) {
        const QChar c = fmt[i];
        if (c == QLatin1Char('\'')) {
            inQuote = !inQuote;
            out += c;
        } else if (!inQuote && c == QLatin1Char('t')) {
            // drop the zone letters
        } else {
            out += c;
        }
    }
    cached = out.trimmed();
    // A zone placed in the middle leaves doubled blanks behind.
    cached.replace(QRegularExpression(QStringLiteral("\\s{2,}")), QStringLiteral(" "));
    cachedFor = fmt;
    return cached;
}
} // namespace

QDateTime currentDateTime()
{
    auto &f = clockOverride();
    if (f)
        return f();
    // Asking for the local time makes the C library re-check its zone file
    // (a stat or two) every time; every chat line asks. The offset from UTC
    // is looked up once per second instead: zone and daylight-saving changes
    // fall on whole seconds, so the answer is the same.
    static qint64 offsetSecond = std::numeric_limits<qint64>::min();
    static int offset = 0;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != offsetSecond) {
        offset = QDateTime::fromMSecsSinceEpoch(second * 1000).offsetFromUtc();
        offsetSecond = second;
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
}

void setClock(std::function<QDateTime()> clock) { clockOverride() = std::move(clock); }

QString longTimeText(const QTime &time) { return QLocale().toString(time, timeOfDayFormat()); }

QString shortDateText(const QDate &date) { return QLocale().toString(date, QLocale::ShortFormat); }

QTime parseLongTimeText(const QString &text) { return QLocale().toTime(text, timeOfDayFormat()); }

QDate parseShortDateText(const QString &text)
{
    QDate date = QLocale().toDate(text, QLocale::ShortFormat);
    if (!date.isValid())
        return date;
    const bool twoDigitYear =
        !QLocale().dateFormat(QLocale::ShortFormat).contains(QLatin1String("yyyy"));
    if (twoDigitYear) {
        const int thisYear = currentDateTime().date().year();
        while (date.year() <= thisYear - 100)
            date = date.addYears(100);
        while (date.year() > thisYear)
            date = date.addYears(-100);
    }
    return date;
}
