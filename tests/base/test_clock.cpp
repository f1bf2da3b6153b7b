// The program's clock and its timers: held by a test, they move only when
// the test moves the clock, each timer firing at its own moment and in the
// order of the moments; let go, they run on in real time with what they had
// left, and the clock never goes back.
#include "base/clock.h"
#include "support/clockhold.h"

#include <QSignalSpy>
#include <QtTest>

namespace {
const QDateTime start(QDate(2026, 12, 8), QTime(14, 5, 9));
}

class TestClock : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void heldClockMovesOnlyWhenMoved()
    {
        ClockHold hold(start);
        QVERIFY(clockHeld());
        const qint64 t0 = clockMs();
        QCOMPARE(currentDateTime(), start);
        QCOMPARE(clockMs(), t0);
        moveClock(1500);
        QCOMPARE(clockMs(), t0 + 1500);
        QCOMPARE(currentDateTime(), start.addMSecs(1500));
        moveClock(-20); // never back
        QCOMPARE(clockMs(), t0 + 1500);
    }

    void singleShotFiresAtItsMoment()
    {
        ClockHold hold(start);
        TClockTimer t;
        t.setSingleShot(true);
        qint64 firedAt = -1;
        connect(&t, &TClockTimer::timeout, [&] { firedAt = clockMs(); });
        const qint64 t0 = clockMs();
        t.start(5000);
        QVERIFY(t.isActive());
        QCOMPARE(t.interval(), 5000);
        moveClock(4999);
        QCOMPARE(firedAt, -1);
        QCOMPARE(t.remainingTime(), 1);
        moveClock(10000); // past it: it fires at its moment, once
        QCOMPARE(firedAt, t0 + 5000);
        QVERIFY(!t.isActive());
        QCOMPARE(t.remainingTime(), -1);
        firedAt = -1;
        moveClock(60000);
        QCOMPARE(firedAt, -1);
    }

    void timersFireInTheOrderOfTheirMoments()
    {
        ClockHold hold(start);
        TClockTimer second;  // every second
        TClockTimer pacing;  // every 1.5 s
        TClockTimer stopped; // stopped before it was due
        QStringList order;
        const qint64 t0 = clockMs();
        const auto note = [&](const char *name) {
            return [&order, &t0, name] {
                order << QStringLiteral("%1@%2").arg(QLatin1String(name)).arg(clockMs() - t0);
            };
        };
        connect(&second, &TClockTimer::timeout, note("s"));
        connect(&pacing, &TClockTimer::timeout, note("p"));
        connect(&stopped, &TClockTimer::timeout, note("x"));
        second.start(1000);
        pacing.start(1500);
        stopped.start(2000);
        stopped.stop();
        moveClock(3100);
        QCOMPARE(order, (QStringList{"s@1000", "p@1500", "s@2000", "s@3000", "p@3000"}));
        // A timer started from another's timeout counts from that moment.
        TClockTimer later;
        later.setSingleShot(true);
        connect(&later, &TClockTimer::timeout, note("l"));
        connect(&second, &TClockTimer::timeout, [&] {
            if (!later.isActive() && !order.contains(QStringLiteral("l@4500")))
                later.start(500);
        });
        order.clear();
        moveClock(1500);
        QCOMPARE(order, (QStringList{"s@4000", "p@4500", "l@4500"}));
    }

    void aRunningTimerKeepsWhatItHadLeft()
    {
        // Held while it runs in real time: it is due as far ahead as it had.
        TClockTimer t;
        t.setSingleShot(true);
        QSignalSpy fired(&t, &TClockTimer::timeout);
        t.start(60 * 1000);
        {
            ClockHold hold(start);
            QVERIFY(t.isActive());
            QVERIFY(t.remainingTime() > 50 * 1000);
            moveClock(t.remainingTime() - 1);
            QCOMPARE(fired.count(), 0);
            QCOMPARE(t.remainingTime(), 1);
        }
        // Let go with a moment left: it fires in real time.
        QVERIFY(!clockHeld());
        QVERIFY(t.isActive());
        QVERIFY(fired.wait(5000));
        QCOMPARE(fired.count(), 1);
    }

    void theClockNeverGoesBack()
    {
        const qint64 before = clockMs();
        {
            ClockHold hold(start);
            moveClock(24 * 60 * 60 * 1000); // a day ahead
        }
        QVERIFY(clockMs() >= before + 24 * 60 * 60 * 1000);
        // A repeating timer runs on at its own interval in real time.
        TClockTimer t;
        QSignalSpy fired(&t, &TClockTimer::timeout);
        t.start(5);
        QTRY_VERIFY(fired.count() >= 2);
        QCOMPARE(t.interval(), 5);
    }

    void timeTextFollowsTheSecondAndTheLocale()
    {
        // The text of a second is kept from one line to the next: a new
        // second, or a new locale within the same one, makes it anew.
        const QLocale before;
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        const QString us = longTimeText(QTime(13, 5, 7, 100));
        QVERIFY2(us.contains(QLatin1String("1:05:07")) && us.contains(QLatin1String("PM")),
                 qPrintable(us));
        QCOMPARE(longTimeText(QTime(13, 5, 7, 900)), us);
        QVERIFY(longTimeText(QTime(13, 5, 8)).contains(QLatin1String("1:05:08")));
        QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
        QCOMPARE(longTimeText(QTime(13, 5, 8)), QStringLiteral("13:05:08"));
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        QCOMPARE(longTimeText(QTime(13, 5, 7)), us);
        QCOMPARE(parseLongTimeText(us), QTime(13, 5, 7));
        QLocale::setDefault(before);
    }
};

QTEST_GUILESS_MAIN(TestClock)
#include "test_clock.moc"
