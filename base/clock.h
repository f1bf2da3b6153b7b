#pragma once
// The program's one clock. Timestamps, log headers, flood history and join
// times all read it, so tests can set the time.
#include <QDateTime>
#include <functional>

QDateTime currentDateTime();
// Installs a clock for tests; an empty function goes back to the system clock.
void setClock(std::function<QDateTime()> clock);

// The locale's long time format as a time of day: hours, minutes and
// seconds, AM/PM where the locale uses one, and no time-zone name.
QString longTimeText(const QTime &time);
// The locale's short date format.
QString shortDateText(const QDate &date);
// The time of day longTimeText gave, read back (invalid when it is not one).
QTime parseLongTimeText(const QString &text);
// A date shortDateText gave, read back; a two-digit year is taken as the
// one of the last hundred years up to the clock's (invalid when it is none).
QDate parseShortDateText(const QString &text);
