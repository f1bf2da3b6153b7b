// The session without a window: on a QCoreApplication against the local
// gateway, it connects, logs in, reports the server's events, reconnects
// after a lost link, and stops for a refused login or the user's Disconnect.
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"
#include "session/TSession.h"
#include "support/gatewayprocess.h"

#include <QCoreApplication>
#include <QSignalSpy>
#include <QtTest>

namespace {
// A session pointed at a gateway, and what it said (notice lines).
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
        session.reconnectSecondMs = 20; // a second of the schedule
        QObject::connect(&session, &TSession::notice,
                         [this](const QString &text) { notices << text; });
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
        t.session.reconnectSecondMs = 60000; // the test ends the wait itself
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
        QCOMPARE(up.count(), 0);
        QVERIFY(!t.session.connected());
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
