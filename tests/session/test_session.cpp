// The session without a window: on a QCoreApplication against the local
// gateway, it connects, logs in, reports the server's events, reconnects
// after a lost link, and stops for a refused login or the user's Disconnect.
#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"
#include "session/TSession.h"
#include "support/clockhold.h"
#include "support/gatewayprocess.h"
#include "support/loopbackserver.h"

#include <QCoreApplication>
#include <QDateTime>
#include <QSignalSpy>
#include <QtTest>

#include <memory>

namespace {
// A session pointed at a gateway, and what it said (notice lines). Its
// clock stands still: the pacing and the reconnect waits move only when
// the test moves it.
struct Trial {
    GatewayProcess gateway;
    TSettingsStore settings; // outlives the session that reads it
    TSession session;
    QStringList notices;

    explicit Trial(const QStringList &gatewayArgs = {}) : gateway(gatewayArgs)
    {
        settings.setBytes(TSetting::username, QStringLiteral("alice"));
        settings.setBytes(TSetting::password, QStringLiteral("pw"));
        settings.setBytes(TSetting::server, QStringLiteral("127.0.0.1"));
        settings.setNumber(TSetting::quotaBytesPerUnit, 100);
        session.bnet->Port = gateway.port();
        session.setStore(&settings);
        holdClock(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)));
        QObject::connect(&session, &TSession::notice,
                         [this](const QString &text) { notices << text; });
    }
    ~Trial() { releaseClock(); }
    // The schedule's next wait, passed on the held clock.
    void passWait()
    {
        QTRY_VERIFY_WITH_TIMEOUT(session.reconnectTimer->isActive(), 10000);
        moveClock(session.reconnectTimer->remainingTime());
    }
    bool loggedIn()
    {
        QSignalSpy named(&session, &TSession::uniqueName);
        session.connectNow();
        return named.wait(10000);
    }
};
} // namespace

class TestSession : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void noWidgetIsLoaded()
    {
        // The session's layer brings in neither QtGui nor QtWidgets.
        QVERIFY(qobject_cast<QCoreApplication *>(QCoreApplication::instance()));
        QVERIFY(!QCoreApplication::instance()->inherits("QGuiApplication"));
    }

    // Connect, login, the channel and its members, what is said, in order;
    // the raw line comes after the events made from it.
    void connectsLogsInAndReports()
    {
        Trial t({"--script", QFINDTESTDATA("session/session_script.txt")});
        QVERIFY2(t.gateway.port(), qPrintable(t.gateway.errorText()));
        QStringList events;
        auto note = [&events](const QString &what) { events << what; };
        QObject::connect(&t.session, &TSession::linkUp,
                         [&](const QString &address) { note("up " + address); });
        QObject::connect(&t.session, &TSession::uniqueName,
                         [&](const QString &u) { note("name " + u); });
        QObject::connect(&t.session, &TSession::channel,
                         [&](const QString &c) { note("channel " + c); });
        QObject::connect(&t.session, &TSession::showUser,
                         [&](const QString &u, const QString &, const QString &p) {
                             note("user " + u + " " + p);
                         });
        QObject::connect(&t.session, &TSession::talk,
                         [&](const QString &u, const QString &m) { note("talk " + u + ": " + m); });
        QObject::connect(&t.session, &TSession::lineReceived, [&](const QString &line) {
            if (line.startsWith(QLatin1String("1005 ")))
                note("raw talk");
        });
        QVERIFY(t.loggedIn());
        QVERIFY(t.session.connected());
        QVERIFY(t.session.loginSeen());
        QTRY_VERIFY_WITH_TIMEOUT(events.contains("raw talk"), 10000);
        QCOMPARE(events.first(), QStringLiteral("up 127.0.0.1"));
        QCOMPARE(events.at(1), QStringLiteral("name alice"));
        QVERIFY(events.contains("channel Chat"));
        QVERIFY(events.contains("user scripted SEXP"));
        const int said = events.indexOf("talk scripted: hello from the script");
        QVERIFY(said > 0);
        QCOMPARE(events.at(said + 1), QStringLiteral("raw talk"));
        QVERIFY(t.notices.isEmpty());
    }

    // A typed line goes out through the pacing to the server, and the
    // server's own echo comes back as an event.
    void sendsThroughThePacing()
    {
        Trial t;
        QVERIFY(t.loggedIn());
        QSignalSpy sent(&t.session, &TSession::whisperSent);
        t.session.process->SendLine(QStringLiteral("/m alice to myself\r"));
        QVERIFY(sent.wait(10000));
        QCOMPARE(sent.first().at(1).toString(), QStringLiteral("to myself"));
    }

    // The server closes the link: with reconnecting on, the session says
    // when it tries again, connects and logs in, and the schedule ends
    // there; with it off, it only reports the link down.
    void reconnectsAfterALostLink_data()
    {
        QTest::addColumn<bool>("reconnect");
        QTest::newRow("on") << true;
        QTest::newRow("off") << false;
    }
    void reconnectsAfterALostLink()
    {
        QFETCH(bool, reconnect);
        Trial t;
        t.settings.setFlag(TSetting::autoReconnect, reconnect);
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        QSignalSpy named(&t.session, &TSession::uniqueName);
        t.gateway.command(QStringLiteral("close"));
        QVERIFY(down.wait(10000));
        QVERIFY(!t.session.connected());
        if (!reconnect) {
            QVERIFY(!t.session.reconnecting());
            QVERIFY(t.notices.isEmpty());
            return;
        }
        QVERIFY(t.session.reconnecting());
        QCOMPARE(t.notices, QStringList({"Reconnecting in 5 seconds."}));
        QSignalSpy up(&t.session, &TSession::linkUp);
        moveClock(4999);
        QCOMPARE(t.notices.size(), 1); // not a moment early
        QCOMPARE(up.count(), 0);
        moveClock(1);
        QVERIFY(named.wait(10000));
        QCOMPARE(t.notices, QStringList({"Reconnecting in 5 seconds.", "Reconnecting..."}));
        QVERIFY(t.session.connected());
        QVERIFY(!t.session.reconnecting());
    }

    // A login the server refuses is told (the line before the login), and
    // the link lost after it is not tried again: the same password would be
    // refused again.
    void refusedLoginEndsReconnecting()
    {
        Trial t({"--account", "alice:right"});
        t.settings.setFlag(TSetting::autoReconnect, true);
        QSignalSpy unhandled(&t.session, &TSession::unhandled);
        QSignalSpy down(&t.session, &TSession::linkDown);
        t.session.connectNow();
        QTRY_VERIFY_WITH_TIMEOUT(
            !unhandled.isEmpty() &&
                unhandled.last().at(0).toString().startsWith(QLatin1String("Login failed")),
            10000);
        QVERIFY(!t.session.loginSeen());
        if (t.session.connected()) {
            t.gateway.command(QStringLiteral("close"));
            QVERIFY(down.wait(10000));
        }
        QVERIFY(!t.session.reconnecting());
        for (const QString &n : std::as_const(t.notices))
            QVERIFY2(!n.startsWith(QLatin1String("Reconnecting in")), qPrintable(n));
    }

    // The user's Disconnect during the wait ends the schedule and says so;
    // a wait that was already due then does nothing.
    void disconnectEndsTheSchedule()
    {
        Trial t;
        t.settings.setFlag(TSetting::autoReconnect, true);
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        t.gateway.command(QStringLiteral("close"));
        QVERIFY(down.wait(10000));
        QVERIFY(t.session.reconnecting());
        QSignalSpy state(&t.session, &TSession::stateChanged);
        t.session.disconnectNow();
        QVERIFY(!t.session.reconnecting());
        QVERIFY(!state.isEmpty());
        QCOMPARE(t.notices.last(), QStringLiteral("Reconnecting stopped."));
        QSignalSpy up(&t.session, &TSession::linkUp);
        t.session.reconnectDue();
        moveClock(60 * 60 * 1000); // long past any wait of the schedule
        QCOMPARE(up.count(), 0);
        QCOMPARE(t.notices.last(), QStringLiteral("Reconnecting stopped."));
        QVERIFY(!t.session.connected());
    }

    // The link dies under a logged-in session, and the server holds the
    // session for a while, refusing the account's login as it would a
    // wrong password. Reconnecting goes on with the schedule's waits,
    // saying why each time, until the hold ends; the user's own Connect
    // still stops at the first refusal.
    void heldSessionIsWaitedOut()
    {
        Trial t({"--hold-seconds", "3600"});
        QVERIFY2(t.gateway.port(), qPrintable(t.gateway.errorText()));
        t.settings.setFlag(TSetting::autoReconnect, true);
        QVERIFY(t.loggedIn());
        QSignalSpy named(&t.session, &TSession::uniqueName);
        t.gateway.command(QStringLiteral("drop alice"));
        const QString held =
            QStringLiteral("The login was refused; the server may still hold the old session.");
        t.passWait(); // 5 s: refused, the session is held
        QTRY_VERIFY_WITH_TIMEOUT(t.notices.contains(held), 10000);
        t.passWait(); // 10 s: refused again
        QTRY_VERIFY_WITH_TIMEOUT(t.notices.count(held) == 2, 10000);
        // The server lets the session go: the next attempt is let in.
        t.gateway.command(QStringLiteral("release alice"));
        t.passWait();
        QVERIFY(named.wait(10000));
        QVERIFY(t.session.connected());
        QVERIFY(!t.session.reconnecting());
        QVERIFY2(t.notices.count(held) == 2, qPrintable(t.notices.join('|')));
        QVERIFY(!t.notices.contains("The login was refused; not reconnecting."));
        // Each refusal is followed by the next wait of the schedule.
        const int first = int(t.notices.indexOf(held));
        QCOMPARE(t.notices.value(first + 1), QStringLiteral("Reconnecting in 10 seconds."));
        QCOMPARE(t.notices.value(int(t.notices.lastIndexOf(held)) + 1),
                 QStringLiteral("Reconnecting in 20 seconds."));
        QVERIFY(!t.session.returning());

        // The user's own Connect is refused once and for all.
        t.notices.clear();
        QSignalSpy down(&t.session, &TSession::linkDown);
        t.gateway.command(QStringLiteral("drop alice"));
        QVERIFY(down.wait(10000));
        QVERIFY(t.session.reconnecting());
        QSignalSpy unhandled(&t.session, &TSession::unhandled);
        t.session.connectNow();
        QTRY_VERIFY_WITH_TIMEOUT(!unhandled.isEmpty() && unhandled.last().at(0).toString() ==
                                                             QLatin1String("Login failed."),
                                 10000);
        QVERIFY(!t.session.reconnecting());
        QVERIFY(!t.notices.contains(held));
    }

    // Thirty minutes after the loss, a refusal is no longer put down to a
    // held session: reconnecting ends.
    void heldSessionWaitEndsAfterThirtyMinutes()
    {
        QDateTime now(QDate(2026, 12, 9), QTime(12, 0), Qt::UTC);
        setClock([&now] { return now; });
        const std::unique_ptr<void, void (*)(void *)> systemClockAfter(
            &now, [](void *) { setClock(nullptr); });
        Trial t({"--hold-seconds", "3600"});
        QVERIFY2(t.gateway.port(), qPrintable(t.gateway.errorText()));
        t.settings.setFlag(TSetting::autoReconnect, true);
        QVERIFY(t.loggedIn());
        t.gateway.command(QStringLiteral("drop alice"));
        const QString held =
            QStringLiteral("The login was refused; the server may still hold the old session.");
        t.passWait();
        QTRY_VERIFY_WITH_TIMEOUT(t.notices.contains(held), 10000);
        QVERIFY(t.session.reconnecting());
        now = now.addSecs(TSession::heldSessionSeconds - 1);
        const qsizetype refusals = t.notices.count(held);
        t.passWait();
        QTRY_VERIFY_WITH_TIMEOUT(t.notices.count(held) > refusals, 10000);
        QVERIFY(t.session.reconnecting());
        now = now.addSecs(1);
        t.passWait();
        QTRY_VERIFY_WITH_TIMEOUT(t.notices.contains("The login was refused; not reconnecting."),
                                 10000);
        QVERIFY(!t.session.reconnecting());
        QVERIFY(!t.session.reconnectTimer->isActive());
    }

    // The session keeps the channel a lost link was in for the login to go
    // back to; when the server will not let the user in, it says so once
    // and stays where the server put it.
    void returnChannelAndItsRefusal()
    {
        ClockHold clock;
        LoopbackServer server;
        TSettingsStore s; // outlives the session that reads it
        s.setBytes(TSetting::username, QStringLiteral("alice"));
        s.setBytes(TSetting::server, QStringLiteral("127.0.0.1"));
        s.setFlag(TSetting::autoReconnect, true);
        TSession session;
        session.setStore(&s);
        session.bnet->Port = server.port();
        // The schedule's wait, passed on the held clock.
        const auto waitOut = [&session] {
            QTRY_VERIFY_WITH_TIMEOUT(session.reconnectTimer->isActive(), 10000);
            moveClock(session.reconnectTimer->remainingTime());
        };
        QStringList notices;
        QObject::connect(&session, &TSession::notice,
                         [&notices](const QString &n) { notices << n; });
        const QByteArray greeting = "2010 NAME alice\r\n1007 CHANNEL \"Chat\"\r\n";

        session.connectNow();
        QTRY_VERIFY_WITH_TIMEOUT(server.received().contains("\x03\x04"), 10000);
        server.send(greeting + "1007 CHANNEL \"Busy Room\"\r\n");
        QTRY_COMPARE_WITH_TIMEOUT(session.currentChannel(), QStringLiteral("Busy Room"), 10000);
        QVERIFY(session.returnChannel().isEmpty());
        QVERIFY(!session.returning());

        QSignalSpy up(&session, &TSession::linkUp);
        server.clearReceived();
        server.closeClient();
        waitOut();
        QVERIFY(up.wait(10000));
        QVERIFY(session.returning());
        QCOMPARE(session.returnChannel(), QStringLiteral("Busy Room"));
        QTRY_VERIFY_WITH_TIMEOUT(server.received().contains("\x03\x04"), 10000);
        // Two refusals, for the two joins of the login: said once.
        server.send(greeting + "1013 CHANNELFULL \"Busy Room\"\r\n"
                               "1013 CHANNELFULL \"Busy Room\"\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(session.returnChannel().isEmpty(), 10000);
        QCOMPARE(notices.filter("Could not").size(), 1);
        QVERIFY(notices.contains("Could not go back to the channel Busy Room; staying in Chat."));
        QVERIFY(!session.returning());
        QCOMPARE(session.currentChannel(), QStringLiteral("Chat"));

        // A loss in the channel the server chose goes back there; the
        // user's own Connect never goes back.
        server.closeClient();
        waitOut();
        QVERIFY(up.wait(10000));
        QCOMPARE(session.returnChannel(), QStringLiteral("Chat"));
        session.disconnectNow();
        session.connectNow();
        QVERIFY(up.wait(10000));
        QVERIFY(session.returnChannel().isEmpty());
        QVERIFY(!session.returning());
    }

    // The quota's figures reach the pacing as the store changes them, and
    // at a connect.
    void quotaReachesThePacing()
    {
        TSettingsStore s;
        TSession session;
        session.setStore(&s);
        s.setNumber(TSetting::quotaUnits, 7);
        s.setNumber(TSetting::quotaWindow, 9);
        s.setNumber(TSetting::quotaBytesPerUnit, 33);
        s.setNumber(TSetting::quotaMargin, 250);
        QCOMPARE(session.process->QuotaUnits, 7);
        QCOMPARE(session.process->QuotaWindowMs, 9000);
        QCOMPARE(session.process->QuotaBytesPerUnit, 33);
        QCOMPARE(session.process->QuotaMarginMs, 250);
        // A connect hands them over too, whatever the pacing held.
        session.process->QuotaUnits = 0;
        s.setBytes(TSetting::server, QStringLiteral("127.0.0.1"));
        session.bnet->Port = 1; // nothing listens there: the connect fails
        session.connectNow();
        QCOMPARE(session.process->QuotaUnits, 7);
        // A store given later is the one followed.
        TSettingsStore other;
        session.setStore(&other);
        s.setNumber(TSetting::quotaUnits, 3);
        QCOMPARE(session.process->QuotaUnits, 7);
        other.setNumber(TSetting::quotaUnits, 4);
        QCOMPARE(session.process->QuotaUnits, 4);
    }
};

QTEST_GUILESS_MAIN(TestSession)
#include "test_session.moc"
