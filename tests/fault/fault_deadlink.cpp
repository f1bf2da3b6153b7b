// Dead links on a real network: the gateway in one network namespace, the
// client in another, the link between them cut by dropping every packet
// both ways. Kernel timers cannot be moved, so each test waits for the
// event with a deadline and asserts an upper bound only. A test that
// cannot build its network skips with the reason, or fails under CI=true.
#include "faulttrial.h"

#include <QCoreApplication>
#include <QElapsedTimer>

class TestFaultDeadlink : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Nobody types: the keep-alive probes find the link dead.
    void quietDeadLinkIsNoticed()
    {
        FaultNet net;
        NEED_NETWORK(net);
        Trial t(net.serverAddress());
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        QVERIFY2(net.cut(), qPrintable(net.error()));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(down.wait(promisedMs + 5000));
        const qint64 took = clock.elapsed();
        qInfo("quiet dead link told after %.1f s", took / 1000.0);
        QVERIFY2(took < promisedMs, qPrintable(QString::number(took)));
        QVERIFY2(t.notices.value(0).startsWith(QLatin1String(
                     "The link to the server was lost: the server stopped answering")),
                 qPrintable(t.notices.join(QLatin1Char('|'))));
    }

    // Lines typed into the dead link: the unacknowledged bytes end it.
    void typingIntoDeadLinkIsNoticed()
    {
        FaultNet net;
        NEED_NETWORK(net);
        Trial t(net.serverAddress());
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        QVERIFY2(net.cut(), qPrintable(net.error()));
        QElapsedTimer clock;
        clock.start();
        QVERIFY(t.session.bnet->SendData(QStringLiteral("anyone there?\r")));
        QVERIFY(down.wait(promisedMs + 5000));
        const qint64 took = clock.elapsed();
        qInfo("dead link while typing told after %.1f s", took / 1000.0);
        QVERIFY2(took < promisedMs, qPrintable(QString::number(took)));
        QVERIFY2(t.notices.value(0).startsWith(QLatin1String("The link to the server was lost:")),
                 qPrintable(t.notices.join(QLatin1Char('|'))));
        QVERIFY(!t.errors.isEmpty());
    }

    // A quiet link that works is never taken for dead: past the time the
    // keep-alive probes would have given up on a dead one, it is still up,
    // the probes answered by the server's kernel.
    void quietLiveLinkStaysUp()
    {
        FaultNet net;
        NEED_NETWORK(net);
        Trial t(net.serverAddress());
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        // Nothing is sent for 55 s: the link must stay up all along. The
        // kernel's keep-alive timers run in real time; no clock moves them.
        QVERIFY(!down.wait(55000));
        QVERIFY(t.session.connected());
        QVERIFY(t.notices.isEmpty());
        QVERIFY(t.errors.isEmpty());
        // And it still carries lines both ways.
        QSignalSpy received(&t.session, &TSession::lineReceived);
        QVERIFY(t.session.bnet->SendData(QStringLiteral("/whoami\r")));
        QVERIFY(received.wait(10000));
    }

    // A connect to an address that drops every packet hangs; Connect says
    // so, Disconnect ends it at once, and once the link is back a new
    // connect goes through.
    void cancelledConnectToDroppingAddress()
    {
        FaultNet net;
        NEED_NETWORK(net);
        QVERIFY2(net.cut(), qPrintable(net.error()));
        Trial t(net.serverAddress());
        QSignalSpy up(&t.session, &TSession::linkUp);
        QSignalSpy down(&t.session, &TSession::linkDown);
        t.session.connectNow();
        QVERIFY(t.session.connecting());
        // Nothing comes back while the packets are dropped (the kernel's
        // SYN retries run in real time: two seconds of them, no answer).
        QVERIFY(!up.wait(2000));
        QVERIFY(t.errors.isEmpty());
        t.session.connectNow();
        QVERIFY(t.notices.value(0).contains(QLatin1String("is under way")));
        QElapsedTimer clock;
        clock.start();
        t.session.disconnectNow();
        QVERIFY(clock.elapsed() < 1000);
        QCOMPARE(down.count(), 1);
        QVERIFY(!t.session.connecting());
        QVERIFY(t.notices.value(1).contains(QLatin1String("was cancelled")));

        QVERIFY2(net.mend(), qPrintable(net.error()));
        QVERIFY(t.loggedIn());
        QVERIFY(t.errors.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestFaultDeadlink)
#include "fault_deadlink.moc"
