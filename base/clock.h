#pragma once
// The program's one clock. Timestamps, log headers, flood history and join
// times all read it, so tests can set the time.
#include <QDateTime>
#include <QObject>
#include <QTimer>
#include <functional>

QDateTime currentDateTime();
// currentDateTime() as milliseconds since the epoch, without making a
// QDateTime when the system clock is read.
qint64 currentMSecsSinceEpoch();
// Installs a clock for tests; an empty function goes back to the system clock.
void setClock(std::function<QDateTime()> clock);
// The time zone has changed (tests set TZ): currentDateTime() looks its
// offset from UTC up again at once, not at the next second.
void zoneChanged();

// Milliseconds of the program's monotonic clock (only differences mean
// anything). The pacing, the reconnect waits and the anti-idle read it.
qint64 clockMs();

// For tests: the clock stands still until moveClock moves it. While it is
// held, currentDateTime() is start plus how far it was moved (unless
// setClock installed a clock of its own), and a TClockTimer fires when the
// clock is moved past its moment, not in real time. Timers already running
// keep what they had left.
void holdClock(const QDateTime &start);
// Moves a held clock on by ms, firing each timer that falls due on the way
// in the order of its moments, with the clock standing at that moment.
void moveClock(qint64 ms);
// Back to the system clock; running timers keep what they had left.
void releaseClock();
bool clockHeld();

// A timer on the program's clock: a QTimer while the clock runs, one that
// follows moveClock while a test holds it.
class TClockTimer : public QObject {
    Q_OBJECT
public:
    explicit TClockTimer(QObject *parent = nullptr);
    ~TClockTimer() override;

    void start(int ms);
    void start() { start(m_interval); }
    void stop();
    bool isActive() const;
    int interval() const { return m_interval; }
    void setInterval(int ms);
    // Milliseconds until it fires; -1 when it does not run.
    int remainingTime() const;
    void setSingleShot(bool single);
    bool isSingleShot() const { return m_single; }
    void setTimerType(Qt::TimerType type) { m_timer.setTimerType(type); }

Q_SIGNALS:
    void timeout();

private:
    friend struct HeldClock;
    friend void holdClock(const QDateTime &start);
    friend void moveClock(qint64 ms);
    friend void releaseClock();
    void fire();
    QTimer m_timer;
    int m_interval = 0;
    bool m_single = false;
    bool m_heldActive = false; // running on the held clock
    qint64 m_due = 0;          // its moment on the held clock
};

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
