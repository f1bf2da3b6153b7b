// Outages on a real network, with lines typed into them: one shorter than
// either side's patience, which the link survives, and one longer, after
// which the client reconnects while the server still holds the old
// session. Bob, on the server's own side, sees what reached the gateway.
// Kernel timers cannot be moved: each test waits for events with
// deadlines and asserts upper bounds only.
#include "faulttrial.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QTimer>

namespace {
const QString held =
    QStringLiteral("The login was refused; the server may still hold the old session.");
}

class TestFaultOutage : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Ten seconds without a packet, three lines typed at its start: the
    // kernel's retransmissions carry them once the link is back, one after
    // the other, and nothing is given up or given back.
    void shortOutageLosesNothing()
    {
        FaultNet net;
        NEED_NETWORK(net);
        Trial t(net.serverAddress());
        t.settings.setFlag(TSetting::autoReconnect, true);
        Observer bob;
        QVERIFY(bob.logIn(net, "bob", "Chat"));
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        QVERIFY2(net.cut(), qPrintable(net.error()));
        const QStringList typed = {QStringLiteral("are you still there?"),
                                   QStringLiteral("the link went quiet"),
                                   QStringLiteral("back in a moment")};
        t.type(typed);
        // The outage ends by the clock of the world, not by an event.
        bool mended = false;
        QTimer::singleShot(10000, [&] { mended = net.mend(); });
        QTRY_VERIFY_WITH_TIMEOUT(bob.talkOf("alice").size() + t.unsent.size() >= typed.size(),
                                 45000);
        QVERIFY2(mended, qPrintable(net.error()));
        const QString account = accountFor(typed, bob.talkOf("alice"), t.unsent, t.taken);
        QVERIFY2(account.isEmpty(), qPrintable(account));
        // Short of the client's own limit: the link lived through it.
        QCOMPARE(bob.talkOf("alice"), typed);
        QVERIFY(t.unsent.isEmpty());
        QCOMPARE(down.count(), 0);
        QVERIFY2(t.notices.isEmpty(), qPrintable(t.notices.join(QLatin1Char('|'))));
        QTRY_COMPARE_WITH_TIMEOUT(t.taken, typed, 10000);
    }

    // Longer than the client waits: it gives the link up and gives the
    // lines back. The server notices later (its console's drop is its own
    // time-out) and holds the session ten seconds more, refusing the
    // account's login with "Login failed." meanwhile; the client keeps
    // trying and gets back in.
    void longOutageWaitsOutTheHeldSession()
    {
        FaultNet net;
        NEED_NETWORK(net, QStringLiteral("--hold-seconds"), QStringLiteral("10"));
        Trial t(net.serverAddress());
        t.settings.setFlag(TSetting::autoReconnect, true);
        Observer bob;
        QVERIFY(bob.logIn(net, "bob", "Chat"));
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        QSignalSpy unhandled(&t.session, &TSession::unhandled);
        QVERIFY2(net.cut(), qPrintable(net.error()));
        QElapsedTimer clock;
        clock.start();
        const QStringList typed = {QStringLiteral("anyone?"), QStringLiteral("hello?")};
        t.type(typed);
        QVERIFY(down.wait(promisedMs + 5000));
        QVERIFY2(clock.elapsed() < promisedMs, qPrintable(QString::number(clock.elapsed())));
        // Given back, not lost: nothing reached the gateway.
        QVERIFY(bob.talkOf("alice").isEmpty());
        QString account = accountFor(typed, bob.talkOf("alice"), t.unsent, t.taken);
        QVERIFY2(account.isEmpty(), qPrintable(account));

        t.notices.clear();
        net.gatewayCommand(QStringLiteral("drop alice"));
        QVERIFY2(net.mend(), qPrintable(net.error()));
        QSignalSpy named(&t.session, &TSession::uniqueName);
        // Refused at the 5 s attempt (the hold lasts 10 s), let in at 15 s
        // (or, on a slow machine, at 35 s).
        QVERIFY(named.wait(60000));
        QVERIFY2(t.notices.contains(held), qPrintable(t.notices.join(QLatin1Char('|'))));
        bool failedLogin = false;
        for (const QList<QVariant> &line : unhandled)
            failedLogin = failedLogin || line.value(0).toString() == QLatin1String("Login failed.");
        QVERIFY(failedLogin);
        QVERIFY(!t.notices.contains(QStringLiteral("The login was refused; not reconnecting.")));
        QVERIFY(t.session.connected());
        QVERIFY(!t.session.reconnecting());
        // The lines given back stay the user's: nothing went out by itself.
        QVERIFY(bob.waitFor("1002 JOIN alice"));
        QVERIFY(bob.talkOf("alice").isEmpty());
        account = accountFor(typed, bob.talkOf("alice"), t.unsent, t.taken);
        QVERIFY2(account.isEmpty(), qPrintable(account));
    }
};

QTEST_GUILESS_MAIN(TestFaultOutage)
#include "fault_outage.moc"
