// The roads to the server on a real network: a link that loses every fifth
// packet and delays every packet, IPv6 literals, and the two kinds of
// proxy, one of them refusing. Bob, on the server's own side, sees what
// reached the gateway.
#include "connection/testproxy.h"
#include "faulttrial.h"

#include <QCoreApplication>

namespace {
// A line of exactly 100 bytes, numbered.
QString hundredBytes(int n)
{
    QString line = QStringLiteral("Line %1 of the burst:").arg(n);
    const QString words = QStringLiteral(" Quick brown Fox jumps over the Lazy dog");
    while (line.size() < 100)
        line += words;
    return line.left(100);
}

QStringList burst()
{
    QStringList lines;
    for (int n = 1; n <= 6; ++n)
        lines << hundredBytes(n);
    return lines;
}

// The socket of the session's live link.
QTcpSocket *linkSocket(TSession &session)
{
    for (QTcpSocket *s : session.bnet->findChildren<QTcpSocket *>())
        if (s->state() == QAbstractSocket::ConnectedState)
            return s;
    return nullptr;
}
} // namespace

class TestFaultPaths : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Six 100-byte lines typed at once over a link that drops every fifth
    // packet each way and holds every packet 2 s each way: they reach the
    // gateway whole, in order, once, with no refusal and no alarm (about
    // 50 s).
    void burstUnderLoss()
    {
        FaultNet net;
        NEED_NETWORK(net);
        Trial t(net.serverAddress());
        Observer bob;
        QVERIFY(bob.logIn(net, "bob", "Chat"));
        QVERIFY(t.loggedIn());
        NEED_STEP(net, net.loseEveryFifth() && net.delay(2000));
        QSignalSpy down(&t.session, &TSession::linkDown);
        const QStringList typed = burst();
        t.type(typed);
        QTRY_VERIFY_WITH_TIMEOUT(bob.talkOf("alice").size() + t.unsent.size() >= typed.size(),
                                 140000);
        const QString account = accountFor(typed, bob.talkOf("alice"), t.unsent, t.taken);
        QVERIFY2(account.isEmpty(), qPrintable(account));
        QCOMPARE(bob.talkOf("alice"), typed);
        QVERIFY2(t.refusedLines.isEmpty(), qPrintable(t.refusedLines.join(QLatin1Char('|'))));
        QCOMPARE(down.count(), 0);
        QVERIFY(t.errors.isEmpty());
        QVERIFY(net.delayedPackets() > 0);
    }

    // A long line and two short ones, with a server stricter than the
    // client's flood figures (4 units in the window, not 5): the server
    // refuses the short line right after the long one, and the refusal is
    // matched to the line it answers (never to one that arrived), which
    // goes again. (Each refusal doubles the client's pacing window, so a
    // longer burst would take minutes.)
    void refusalUnderLossIsMatched()
    {
        FaultNet net;
        NEED_NETWORK(net, QStringLiteral("--quota-units"), QStringLiteral("4"));
        Trial t(net.serverAddress());
        Observer bob;
        QVERIFY(bob.logIn(net, "bob", "Chat"));
        QVERIFY(t.loggedIn());
        NEED_STEP(net, net.loseEveryFifth() && net.delay(250));
        QStringList misplaced;
        QObject::connect(&t.session, &TSession::refused, [&](const QString &line, int) {
            // The refusal travels back after the server passed its line
            // on (or not) at once: a line bob has was not refused.
            if (bob.talkOf("alice").contains(line.trimmed()))
                misplaced << line.trimmed();
        });
        QSignalSpy down(&t.session, &TSession::linkDown);
        const QStringList typed = {hundredBytes(1), QStringLiteral("and a short one"),
                                   QStringLiteral("and one more")};
        t.type(typed);
        QTRY_VERIFY2_WITH_TIMEOUT(
            bob.talkOf("alice").size() + t.unsent.size() >= typed.size(),
            qPrintable(QStringLiteral("arrived: %1; refused: %2; given back: %3")
                           .arg(bob.talkOf("alice").join('|'), t.refusedLines.join('|'),
                                t.unsent.join('|'))),
            100000);
        const QString account = accountFor(typed, bob.talkOf("alice"), t.unsent, t.taken);
        QVERIFY2(account.isEmpty(), qPrintable(account));
        QVERIFY2(misplaced.isEmpty(), qPrintable(misplaced.join(QLatin1Char('|'))));
        QVERIFY2(!t.refusedLines.isEmpty(), "the server refused nothing: no refusal was tried");
        QCOMPARE(bob.talkOf("alice"), typed);
        QCOMPARE(down.count(), 0);
    }

    // The server field holds an IPv6 literal, bracketed or bare: the link
    // goes over IPv6 (the gateway listens on nothing else).
    void ipv6Literal()
    {
        FaultNet net(FaultNet::WithIPv6);
        NEED_NETWORK(net);
        const QHostAddress server(net.serverAddress6());
        for (const QString &field :
             {QLatin1Char('[') + net.serverAddress6() + QLatin1Char(']'), net.serverAddress6()}) {
            Trial t(field);
            QVERIFY2(t.loggedIn(), qPrintable(field + QLatin1Char(' ') + t.errors.join('|')));
            QTcpSocket *link = linkSocket(t.session);
            QVERIFY(link);
            QCOMPARE(link->peerAddress(), server);
            QSignalSpy received(&t.session, &TSession::lineReceived);
            QVERIFY(t.session.bnet->SendData(QStringLiteral("/whoami\r")));
            QVERIFY(received.wait(10000));
            t.session.disconnectNow();
        }
    }

    // Through a SOCKS5 and an HTTP CONNECT proxy on the client's side: the
    // proxy is asked for the server across the link, and the login goes
    // through; a proxy that refuses is named in words, and no link comes up.
    void proxies()
    {
        FaultNet net;
        NEED_NETWORK(net);
        const QString target = net.serverAddress() + QStringLiteral(":6112");
        Observer bob;
        QVERIFY(bob.logIn(net, "bob", "Chat"));
        for (const TestProxy::Kind kind : {TestProxy::Socks5, TestProxy::HttpConnect}) {
            const bool socks = kind == TestProxy::Socks5;
            for (const bool refuse : {false, true}) {
                TestProxy proxy(kind); // on 127.0.0.1 of the client's namespace
                proxy.refuse = refuse;
                Trial t(net.serverAddress());
                t.settings.setNumber(TSetting::proxyKind,
                                     socks ? TProxyChoice::Socks5 : TProxyChoice::HttpConnect);
                t.settings.setBytes(TSetting::proxyHost, QStringLiteral("127.0.0.1"));
                t.settings.setNumber(TSetting::proxyPort, proxy.port());
                QSignalSpy up(&t.session, &TSession::linkUp);
                if (!refuse) {
                    QVERIFY2(t.loggedIn(), qPrintable(t.errors.join('|')));
                    QCOMPARE(proxy.requests, QStringList{target});
                    // Lines go through, each taken before the next goes.
                    const QStringList typed = {QStringLiteral("through the proxy"),
                                               QStringLiteral("and once more")};
                    t.type(typed);
                    QTRY_COMPARE_WITH_TIMEOUT(bob.talkOf("alice"), typed, 15000);
                    QTRY_COMPARE_WITH_TIMEOUT(t.taken, typed, 15000);
                    bob.got.clear();
                    t.session.disconnectNow();
                    continue;
                }
                t.session.connectNow();
                QTRY_VERIFY_WITH_TIMEOUT(!t.errors.isEmpty(), 15000);
                const QString expect =
                    QStringLiteral("%1 proxy 127.0.0.1:%2")
                        .arg(socks ? QStringLiteral("SOCKS5") : QStringLiteral("HTTP"))
                        .arg(proxy.port());
                QVERIFY2(t.errors.first().contains(expect), qPrintable(t.errors.first()));
                // Asked for the server across the link (maybe more than once).
                QVERIFY(!proxy.requests.isEmpty());
                for (const QString &asked : std::as_const(proxy.requests))
                    QCOMPARE(asked, target);
                QCOMPARE(up.count(), 0);
                QVERIFY(!t.session.connecting());
            }
        }
    }
};

QTEST_GUILESS_MAIN(TestFaultPaths)
#include "fault_paths.moc"
