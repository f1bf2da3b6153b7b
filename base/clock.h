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
