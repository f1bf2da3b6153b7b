#include "base/clock.h"

#include <QElapsedTimer>
#include <QList>
#include <QLocale>
#include <QRegularExpression>
#include <algorithm>
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

// The second whose offset from UTC currentDateTime() holds.
qint64 &zoneOffsetSecond()
{
    static qint64 second = std::numeric_limits<qint64>::min();
    return second;
}

void zoneChanged() { zoneOffsetSecond() = std::numeric_limits<qint64>::min(); }

// The clock a test holds, and every timer of the program.
struct HeldClock {
    bool held = false;
    QDateTime start;
    qint64 startMs = 0; // the monotonic reading when it was taken
    qint64 moved = 0;
    // Added to the system's readings so that the clock never goes back
    // when a test lets go of a clock it moved ahead.
    qint64 ahead = 0;
    QList<TClockTimer *> timers;

    static HeldClock &get()
    {
        static HeldClock c;
        return c;
    }
    qint64 nowMs() const { return startMs + moved; }

    // The running timer due first, at or before untilMs.
    TClockTimer *nextDue(qint64 untilMs) const
    {
        TClockTimer *first = nullptr;
        for (TClockTimer *t : timers)
            if (t->m_heldActive && t->m_due <= untilMs && (!first || t->m_due < first->m_due))
                first = t;
        return first;
    }
};

namespace {
qint64 systemMs()
{
    static QElapsedTimer since = [] {
        QElapsedTimer t;
        t.start();
        return t;
    }();
    return since.elapsed();
}
} // namespace

QDateTime currentDateTime()
{
    auto &f = clockOverride();
    if (f)
        return f();
    if (const HeldClock &c = HeldClock::get(); c.held)
        return c.start.addMSecs(c.moved);
    // Asking for the local time makes the C library re-check its zone file
    // (a stat or two) every time; every chat line asks. The offset from UTC
    // is looked up once per second instead: zone and daylight-saving changes
    // fall on whole seconds, so the answer is the same.
    qint64 &offsetSecond = zoneOffsetSecond();
    static int offset = 0;
    const qint64 ms = QDateTime::currentMSecsSinceEpoch();
    const qint64 second = ms >= 0 ? ms / 1000 : (ms - 999) / 1000;
    if (second != offsetSecond) {
        offset = QDateTime::fromMSecsSinceEpoch(second * 1000).offsetFromUtc();
        offsetSecond = second;
    }
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC, offset);
}

qint64 currentMSecsSinceEpoch()
{
    if (clockOverride() || HeldClock::get().held)
        return currentDateTime().toMSecsSinceEpoch();
    return QDateTime::currentMSecsSinceEpoch();
}

void setClock(std::function<QDateTime()> clock) { clockOverride() = std::move(clock); }

qint64 clockMs()
{
    const HeldClock &c = HeldClock::get();
    return c.held ? c.nowMs() : systemMs() + c.ahead;
}

bool clockHeld() { return HeldClock::get().held; }

void holdClock(const QDateTime &start)
{
    HeldClock &c = HeldClock::get();
    if (!c.held) {
        c.startMs = systemMs() + c.ahead;
        c.moved = 0;
        for (TClockTimer *t : c.timers) {
            if (!t->m_timer.isActive())
                continue;
            t->m_due = c.nowMs() + std::max(0, t->m_timer.remainingTime());
            t->m_timer.stop();
            t->m_heldActive = true;
        }
    }
    c.start = start;
    c.held = true;
}

void moveClock(qint64 ms)
{
    HeldClock &c = HeldClock::get();
    if (!c.held)
        return;
    const qint64 until = c.nowMs() + std::max<qint64>(0, ms);
    while (TClockTimer *t = c.nextDue(until)) {
        c.moved = t->m_due - c.startMs;
        if (t->m_single)
            t->m_heldActive = false;
        else
            t->m_due += std::max(1, t->m_interval);
        t->fire();
    }
    c.moved = until - c.startMs;
}

void releaseClock()
{
    HeldClock &c = HeldClock::get();
    if (!c.held)
        return;
    c.ahead = std::max(c.ahead, c.nowMs() - systemMs());
    for (TClockTimer *t : c.timers) {
        if (!t->m_heldActive)
            continue;
        t->m_heldActive = false;
        t->m_timer.start(int(std::clamp<qint64>(t->m_due - c.nowMs(), 0, INT_MAX)));
        if (!t->m_single)
            t->m_timer.setInterval(t->m_interval);
    }
    c.held = false;
}

TClockTimer::TClockTimer(QObject *parent) : QObject(parent)
{
    connect(&m_timer, &QTimer::timeout, this, [this] {
        // A repeating timer resumed with what it had left goes on at its
        // own interval.
        if (!m_single && m_timer.interval() != m_interval)
            m_timer.setInterval(m_interval);
        fire();
    });
    HeldClock::get().timers.append(this);
}

TClockTimer::~TClockTimer() { HeldClock::get().timers.removeOne(this); }

void TClockTimer::fire() { Q_EMIT timeout(); }

void TClockTimer::start(int ms)
{
    m_interval = ms;
    const HeldClock &c = HeldClock::get();
    if (c.held) {
        m_timer.stop();
        m_heldActive = true;
        m_due = c.nowMs() + std::max(0, ms);
    } else {
        m_heldActive = false;
        m_timer.start(ms);
    }
}

void TClockTimer::stop()
{
    m_heldActive = false;
    m_timer.stop();
}

bool TClockTimer::isActive() const { return m_heldActive || m_timer.isActive(); }

void TClockTimer::setInterval(int ms)
{
    m_interval = ms;
    m_timer.setInterval(ms);
}

int TClockTimer::remainingTime() const
{
    if (m_heldActive)
        return int(std::max<qint64>(0, m_due - HeldClock::get().nowMs()));
    return m_timer.isActive() ? m_timer.remainingTime() : -1;
}

void TClockTimer::setSingleShot(bool single)
{
    m_single = single;
    m_timer.setSingleShot(single);
}

QString longTimeText(const QTime &time)
{
    // Every chat line asks, many a second in a busy channel: the text of a
    // second is made once (for the same locale).
    thread_local QLocale lastLocale;
    thread_local int lastSecond = -1;
    thread_local QString lastText;
    const QLocale locale;
    const int second = time.isValid() ? time.msecsSinceStartOfDay() / 1000 : -1;
    if (second >= 0 && second == lastSecond && locale == lastLocale)
        return lastText;
    lastText = locale.toString(time, timeOfDayFormat());
    lastSecond = second;
    lastLocale = locale;
    return lastText;
}

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
