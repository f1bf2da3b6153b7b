// The server's keep-alive line falling silent: the watch learns the
// interval from the lines, arms after two, and gives the link up only when
// the next one is well overdue; the session then says so and goes on as
// for any lost link. Times are moved on the program's clock, so an hour of
// silence takes no time.
#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "core/keepalivewatch.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"
#include "session/TSession.h"
#include "support/clockhold.h"
#include "support/loopbackserver.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QtTest>

namespace {
const QDateTime start = QDateTime(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);

// A session on a loopback server that the test speaks for, on a clock the
// test moves.
struct Trial {
    LoopbackServer server;
    TSettingsStore settings; // outlives the session that reads it
    TSession session;
    QDateTime now = start;
    QStringList notices;
    int lost = 0;

    Trial()
    {
        setClock([this] { return now; });
        session.bnet->Port = server.port();
        settings.setBytes(TSetting::username, QStringLiteral("alice"));
        settings.setBytes(TSetting::password, QStringLiteral("pw"));
        settings.setBytes(TSetting::server, QStringLiteral("127.0.0.1"));
        session.setStore(&settings);
        QObject::connect(&session, &TSession::notice,
                         [this](const QString &text) { notices << text; });
        QObject::connect(&session, &TSession::linkDown, [this] { ++lost; });
    }
    ~Trial() { setClock(nullptr); }
    bool up()
    {
        QSignalSpy linkUp(&session, &TSession::linkUp);
        session.connectNow();
        return linkUp.wait(5000) && QTest::qWaitFor([this] { return server.hasClient(); }, 5000);
    }
    // The server sends a line; waits until the session has read it.
    bool hear(const QByteArray &line)
    {
        QSignalSpy received(&session, &TSession::lineReceived);
        server.send(line + "\r\n");
        return received.wait(5000);
    }
    // Moves the clock on and lets the session look at it.
    void pass(qint64 ms)
    {
        now = now.addMSecs(ms);
        session.checkKeepalive();
    }
};
} // namespace

class TestKeepalive : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void watchLearnsTheIntervalAndArmsAfterTwo()
    {
        TKeepaliveWatch w;
        QVERIFY(!w.armed());
        QVERIFY(!w.deadline().isValid());
        w.keepalive(start);
        // One line says nothing of an interval: no alarm however long after.
        QVERIFY(!w.armed());
        QVERIFY(!w.overdue(start.addDays(2)));
        w.keepalive(start.addSecs(30));
        QVERIFY(w.armed());
        QCOMPARE(w.intervalMs(), 30000);
        // 2.5 intervals and the margin after the last line.
        const QDateTime due = start.addSecs(30).addMSecs(75000 + TKeepaliveWatch::MarginMs);
        QCOMPARE(w.deadline(), due);
        QVERIFY(!w.overdue(due));
        QVERIFY(w.overdue(due.addMSecs(1)));
        // Any other line moves the deadline too; it does not teach the interval.
        w.heard(start.addSecs(50));
        QCOMPARE(w.intervalMs(), 30000);
        QVERIFY(!w.overdue(due.addMSecs(1)));
        QCOMPARE(w.silentMs(start.addSecs(60)), 10000);

        // A longer gap widens the deadline; a shorter one keeps it wide.
        w.keepalive(start.addSecs(120));
        QCOMPARE(w.intervalMs(), 90000);
        w.keepalive(start.addSecs(130));
        QCOMPARE(w.intervalMs(), 90000);
        // A clock set back teaches nothing and does not move "heard" back.
        w.keepalive(start.addSecs(100));
        QCOMPARE(w.intervalMs(), 90000);
        QCOMPARE(w.silentMs(start.addSecs(131)), 1000);

        w.reset();
        QVERIFY(!w.armed());
        QVERIFY(!w.overdue(start.addYears(1)));
    }

    // A server that sends no keep-alive line, or one only, is never taken
    // for dead however quiet it is: an hour of silence, looked at every
    // second of it.
    void quietLinkWithoutKeepalivesStaysUp_data()
    {
        QTest::addColumn<int>("keepalives");
        QTest::newRow("none") << 0;
        QTest::newRow("one") << 1;
    }
    void quietLinkWithoutKeepalivesStaysUp()
    {
        QFETCH(int, keepalives);
        Trial t;
        QVERIFY(t.up());
        for (int i = 0; i < keepalives; ++i)
            QVERIFY(t.hear("2000 NULL"));
        for (int second = 0; second < 3600; ++second)
            t.pass(1000);
        QVERIFY(t.session.connected());
        QCOMPARE(t.lost, 0);
        QVERIFY(t.notices.isEmpty());
    }

    // Keep-alive lines every 30 s for an hour: never an alarm, although
    // nothing else is said.
    void steadyKeepalivesForAnHourStayUp()
    {
        Trial t;
        QVERIFY(t.up());
        for (int i = 0; i < 120; ++i) {
            QVERIFY(t.hear("2000 NULL"));
            for (int second = 0; second < 30; ++second)
                t.pass(1000);
        }
        QVERIFY(t.session.connected());
        QVERIFY(t.session.keepaliveWatch().armed());
        QCOMPARE(t.lost, 0);
        QVERIFY(t.notices.isEmpty());
    }

    // The lines stop: the link is given up just after 2.5 intervals and the
    // margin, the transcript is told why, and reconnecting starts.
    void missingKeepalivesDropTheLink()
    {
        Trial t;
        t.settings.setFlag(TSetting::autoReconnect, true);
        QVERIFY(t.up());
        QVERIFY(t.hear("2000 NULL"));
        t.pass(20000);
        QVERIFY(t.hear("2000 NULL"));
        // Other lines keep it alive past the first deadline.
        t.pass(50000);
        QVERIFY(t.hear("1018 INFO \"still here\""));
        t.pass(50000);
        QVERIFY(t.session.connected());
        // 2.5 x 20 s + 10 s = 60 s after the last line heard.
        t.pass(9000);
        QVERIFY(t.session.connected());
        QSignalSpy closed(t.server.client(), &QTcpSocket::disconnected);
        t.pass(2000);
        QVERIFY(!t.session.connected());
        QCOMPARE(t.lost, 1);
        QCOMPARE(t.notices.value(0),
                 QStringLiteral("The link to the server was lost: the server's keep-alive line, "
                                "which came every 20 seconds, has not come for 61 seconds."));
        QCOMPARE(t.notices.value(1), QStringLiteral("Reconnecting in 5 seconds."));
        QVERIFY(t.session.reconnecting());
        // The socket was really given up: the server sees the link end.
        QVERIFY(closed.count() > 0 || closed.wait(5000));

        // A new link learns afresh: the old interval does not count.
        t.session.endReconnect(QString());
        QVERIFY(t.up());
        QVERIFY(!t.session.keepaliveWatch().armed());
    }

    // The session's own timer, on the program's clock: set for the
    // deadline rather than ticking, it looks again when a line heard since
    // moved the deadline on, and gives the link up when nothing came.
    void theTimerWaitsForTheDeadline()
    {
        Trial t;
        setClock(nullptr);
        ClockHold clock(start);
        QVERIFY(t.up());
        QVERIFY(!t.session.keepaliveTimer->isActive()); // no pace learnt
        QVERIFY(t.hear("2000 NULL"));
        QVERIFY(!t.session.keepaliveTimer->isActive());
        moveClock(20000);
        QVERIFY(t.hear("2000 NULL"));
        // 2.5 x 20 s + 10 s after the last line heard, and a millisecond.
        QCOMPARE(t.session.keepaliveTimer->remainingTime(), 60001);
        moveClock(30000);
        QVERIFY(t.hear("1018 INFO \"still here\""));
        moveClock(30001);
        QVERIFY(t.session.connected());
        QCOMPARE(t.session.keepaliveTimer->remainingTime(), 30000);
        moveClock(29999);
        QVERIFY(t.session.connected());
        moveClock(1);
        QVERIFY(!t.session.connected());
        QCOMPARE(t.lost, 1);
        QCOMPARE(t.notices.value(0),
                 QStringLiteral("The link to the server was lost: the server's keep-alive line, "
                                "which came every 20 seconds, has not come for 60 seconds."));
    }

    // The user's Disconnect is not a lost link and says nothing of one.
    void disconnectIsNotALoss()
    {
        Trial t;
        QVERIFY(t.up());
        QVERIFY(t.hear("2000 NULL"));
        t.pass(10000);
        QVERIFY(t.hear("2000 NULL"));
        t.session.disconnectNow();
        QVERIFY(!t.session.keepaliveTimer->isActive());
        t.pass(3600 * 1000);
        QVERIFY(t.notices.isEmpty());
        QVERIFY(t.session.bnet->LostText().isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestKeepalive)
#include "test_keepalive.moc"
