// How the link reaches the server and notices that it died: the kernel's
// dead-link timers on the socket, IPv6 addresses, a name with both kinds of
// address tried at once, a connect cancelled while it hangs, a link given
// up by its owner, and the link through a SOCKS5 or HTTP CONNECT proxy
// (set by hand or by the environment), whose refusals are told in words.
#include "connection/TChatInterface.h"
#include "connection/proxychoice.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"
#include "session/TSession.h"
#include "support/gatewayprocess.h"
#include "support/silentserver.h"
#include "testproxy.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QSignalSpy>
#include <QTcpServer>
#include <QtTest>

#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>

namespace {
// A session for a server; what it says is kept.
struct Trial {
    TSettingsStore store; // outlives the session that reads it
    TSession session;
    TSession::Settings settings; // put into the store at each connect
    QStringList notices;
    QStringList errors;

    explicit Trial(quint16 port, const QString &server = QStringLiteral("127.0.0.1"))
    {
        settings.userName = QStringLiteral("alice");
        settings.password = QStringLiteral("pw");
        settings.server = server;
        session.bnet->Port = port;
        session.setStore(&store);
        QObject::connect(&session, &TSession::notice,
                         [this](const QString &text) { notices << text; });
        QObject::connect(&session, &TSession::socketError,
                         [this](const QString &why) { errors << why; });
    }
    // The user's Connect, with the settings as the test left them.
    void connectNow()
    {
        using namespace TSetting;
        store.setBytes(username, settings.userName);
        store.setBytes(password, settings.password);
        store.setBytes(server, settings.server);
        store.setFlag(autoReconnect, settings.reconnect);
        store.setNumber(proxyKind, settings.proxy.kind);
        store.setBytes(proxyHost, settings.proxy.host);
        store.setNumber(proxyPort, settings.proxy.port);
        store.setBytes(proxyUser, settings.proxy.user);
        store.setBytes(proxyPassword, settings.proxy.password);
        session.connectNow();
    }
    bool loggedIn(int timeoutMs = 10000)
    {
        QSignalSpy named(&session, &TSession::uniqueName);
        connectNow();
        return named.wait(timeoutMs);
    }
    // Connects and waits for the connect to fail; its error text.
    QString failure()
    {
        QSignalSpy failed(&session, &TSession::socketError);
        connectNow();
        if (failed.isEmpty() && !failed.wait(10000))
            return QStringLiteral("(no error)");
        return failed.first().first().toString();
    }
};

// A port on address where nobody listens.
quint16 closedPort(const QHostAddress &address)
{
    QTcpServer probe;
    if (!probe.listen(address, 0))
        return 0;
    return probe.serverPort();
}

int intOption(int fd, int level, int name)
{
    int value = -1;
    socklen_t size = sizeof value;
    if (::getsockopt(fd, level, name, &value, &size) != 0)
        return -1;
    return value;
}

// Sets an environment variable for the scope, and puts the old value back.
struct EnvSetting {
    QByteArray name;
    QByteArray old;
    bool had;
    EnvSetting(const char *n, const QByteArray &value)
        : name(n), old(qgetenv(n)), had(qEnvironmentVariableIsSet(n))
    {
        qputenv(n, value);
    }
    ~EnvSetting()
    {
        if (had)
            qputenv(name.constData(), old);
        else
            qunsetenv(name.constData());
    }
};
} // namespace

class TestLinkReach : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init()
    {
        // The environment's proxies must not reach the tests that do not ask.
        for (const char *name :
             {"all_proxy", "ALL_PROXY", "http_proxy", "HTTP_PROXY", "no_proxy", "NO_PROXY"})
            qunsetenv(name);
    }

    // Keep-alive after 10 s of silence, a probe every 5 s, six unanswered
    // probes end it (40 s); sent bytes unacknowledged for 40 s end it too.
    void linkCarriesDeadLinkTimers()
    {
        GatewayProcess gateway;
        QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
        Trial t(gateway.port());
        QVERIFY(t.loggedIn());
        const int fd = int(t.session.bnet->SocketDescriptor());
        QVERIFY(fd >= 0);
        QCOMPARE(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
        const int idle = intOption(fd, IPPROTO_TCP, TCP_KEEPIDLE);
        const int interval = intOption(fd, IPPROTO_TCP, TCP_KEEPINTVL);
        const int probes = intOption(fd, IPPROTO_TCP, TCP_KEEPCNT);
        const int userTimeout = intOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT);
        QCOMPARE(idle, 10);
        QCOMPARE(interval, 5);
        QCOMPARE(probes, 6);
        QCOMPARE(userTimeout, 40000);
        // Either way a dead link is noticed within a minute.
        QVERIFY(idle + interval * probes <= 40);
        QVERIFY(userTimeout <= 40000);
        QVERIFY(t.session.bnet->LinkOptionsProblem().isEmpty());
        QVERIFY(t.notices.isEmpty());
    }

    // "::1" and "[::1]" are the same server; the port stays the one given.
    void ipv6Literal_data()
    {
        QTest::addColumn<QString>("server");
        QTest::newRow("bare") << QStringLiteral("::1");
        QTest::newRow("bracketed") << QStringLiteral("[::1]");
    }
    void ipv6Literal()
    {
        QFETCH(QString, server);
        GatewayProcess gateway({"--address", "::1"});
        if (!gateway.port())
            QSKIP(qPrintable("no gateway on ::1 (no IPv6 loopback?): " + gateway.errorText()));
        Trial t(gateway.port(), server);
        QSignalSpy up(&t.session, &TSession::linkUp);
        QVERIFY(t.loggedIn());
        QCOMPARE(up.first().first().toString(), server);
        QVERIFY(t.errors.isEmpty());
    }

    // A name with both kinds of address: both are tried at once and the
    // first to connect wins, so a family whose connect hangs costs nothing
    // (one after the other, it would cost the whole connect timeout).
    void bothFamiliesRace()
    {
        SilentServer hanging; // IPv4: the connect is never answered
        if (!hanging.full())
            QSKIP("the loopback accept queue could not be filled");
        GatewayProcess gateway({"--port", QString::number(hanging.port()), "--address", "::1"});
        if (!gateway.port())
            QSKIP(qPrintable("no gateway on ::1: " + gateway.errorText()));
        Trial t(hanging.port(), QStringLiteral("chat.example"));
        QStringList asked;
        t.session.bnet->Resolve = [&asked](const QString &host, QObject *,
                                           const TChatInterface::ResolveAnswer &answer) {
            asked << host;
            answer({QHostAddress(QStringLiteral("127.0.0.1")), QHostAddress(QStringLiteral("::1"))},
                   QString());
        };
        QElapsedTimer clock;
        clock.start();
        QVERIFY(t.loggedIn(10000));
        QVERIFY2(clock.elapsed() < 10000, "the hanging family held the connect up");
        QCOMPARE(asked, QStringList{QStringLiteral("chat.example")});
        QVERIFY(t.errors.isEmpty());
    }

    // A family that refuses gives way to the next address and the other
    // family; only when every address failed is the connect a failure, once.
    void refusedFamilyFallsBack()
    {
        GatewayProcess gateway;
        QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
        Trial t(gateway.port(), QStringLiteral("chat.example"));
        t.session.bnet->Resolve = [](const QString &, QObject *,
                                     const TChatInterface::ResolveAnswer &answer) {
            // Nobody listens on ::1 or 127.0.0.2 at that port.
            answer({QHostAddress(QStringLiteral("::1")), QHostAddress(QStringLiteral("127.0.0.2")),
                    QHostAddress(QStringLiteral("127.0.0.1"))},
                   QString());
        };
        QVERIFY(t.loggedIn());
        QVERIFY(t.errors.isEmpty());

        const quint16 closed = closedPort(QHostAddress::LocalHost);
        Trial none(closed, QStringLiteral("chat.example"));
        none.session.bnet->Resolve = [](const QString &, QObject *,
                                        const TChatInterface::ResolveAnswer &answer) {
            answer({QHostAddress(QStringLiteral("::1")), QHostAddress(QStringLiteral("127.0.0.1"))},
                   QString());
        };
        QSignalSpy failed(&none.session, &TSession::socketError);
        none.connectNow();
        QVERIFY(failed.wait(10000));
        QCOMPARE(failed.count(), 1);
        QVERIFY2(failed.first().first().toString().contains(QLatin1String("refused")),
                 qPrintable(failed.first().first().toString()));
        QVERIFY(!none.session.connecting());

        // A name that is not found says so, as before.
        Trial unknown(closed, QStringLiteral("nowhere.invalid"));
        unknown.session.bnet->Resolve = [](const QString &, QObject *,
                                           const TChatInterface::ResolveAnswer &answer) {
            answer({}, QStringLiteral("Host not found"));
        };
        QCOMPARE(unknown.failure(), QStringLiteral("Host not found"));
    }

    // Cancelling a connect that hangs, while the name is looked up and
    // while the link opens: it ends at once with the usual close event,
    // the answers that come after it change nothing, and a new connect can
    // start straight away.
    void cancelledConnect()
    {
        SilentServer hanging;
        if (!hanging.full())
            QSKIP("the loopback accept queue could not be filled");
        TChatInterface link;
        link.Address = QStringLiteral("127.0.0.1");
        link.Port = hanging.port();
        int closes = 0;
        int errors = 0;
        int ups = 0;
        link.OnDisconnect = [&] { ++closes; };
        link.OnSocketError = [&] { ++errors; };
        link.OnConnect = [&] { ++ups; };
        QVERIFY(link.Open());
        QVERIFY(link.Connecting());
        QVERIFY(!link.Open()); // one at a time
        link.Close();
        QCOMPARE(closes, 1);
        QVERIFY(!link.Connecting());

        TChatInterface::ResolveAnswer late;
        link.Address = QStringLiteral("chat.example");
        link.Resolve = [&late](const QString &, QObject *,
                               const TChatInterface::ResolveAnswer &answer) { late = answer; };
        QVERIFY(link.Open());
        QVERIFY(link.Connecting());
        link.Close();
        QCOMPARE(closes, 2);
        late({QHostAddress(QStringLiteral("127.0.0.1"))}, QString());
        QCoreApplication::processEvents();
        QVERIFY(!link.Connecting());
        QCOMPARE(errors, 0);
        QCOMPARE(ups, 0);
        QVERIFY(link.Open()); // free again
        link.Close();
    }

    // The session: Connect while a connect is under way says so and
    // leaves it be; Disconnect cancels it and says so.
    void sessionSaysAConnectIsUnderWay()
    {
        SilentServer hanging;
        if (!hanging.full())
            QSKIP("the loopback accept queue could not be filled");
        Trial t(hanging.port());
        QSignalSpy down(&t.session, &TSession::linkDown);
        t.connectNow();
        QVERIFY(t.session.connecting());
        QCOMPARE(t.session.progressText(),
                 QStringLiteral("Connecting to 127.0.0.1, port %1... (Disconnect cancels)")
                     .arg(hanging.port()));
        t.connectNow();
        QCOMPARE(t.notices, QStringList{QStringLiteral(
                                "A connect to 127.0.0.1 is under way; Disconnect cancels it.")});
        QVERIFY(t.session.connecting());
        t.session.disconnectNow();
        QVERIFY(!t.session.connecting());
        QVERIFY(t.session.progressText().isEmpty());
        QCOMPARE(t.notices.value(1), QStringLiteral("The connect to 127.0.0.1 was cancelled."));
        QCOMPARE(down.count(), 1);
    }

    // A live link its owner finds dead ends as a lost link, with the reason.
    void droppedLinkEndsAsLost()
    {
        GatewayProcess gateway;
        QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
        Trial t(gateway.port());
        QVERIFY(t.loggedIn());
        QSignalSpy down(&t.session, &TSession::linkDown);
        t.session.bnet->Drop(QStringLiteral("the test says so"));
        QCOMPARE(down.count(), 1);
        QVERIFY(!t.session.connected());
        QCOMPARE(t.notices.value(0),
                 QStringLiteral("The link to the server was lost: the test says so."));
        // Dropping again, or a link that is not up, does nothing.
        t.session.bnet->Drop(QStringLiteral("again"));
        QCOMPARE(down.count(), 1);
    }

    // Through a proxy the server's name goes to the proxy, which looks it
    // up; the login and the server's lines come through.
    void throughProxy_data()
    {
        QTest::addColumn<int>("kind");
        QTest::addColumn<QString>("server");
        QTest::addColumn<QByteArray>("user");
        QTest::newRow("socks5 name")
            << int(TestProxy::Socks5) << QStringLiteral("localhost") << QByteArray();
        QTest::newRow("socks5 address")
            << int(TestProxy::Socks5) << QStringLiteral("127.0.0.1") << QByteArray();
        QTest::newRow("socks5 user")
            << int(TestProxy::Socks5) << QStringLiteral("localhost") << QByteArray("bob");
        QTest::newRow("http name")
            << int(TestProxy::HttpConnect) << QStringLiteral("localhost") << QByteArray();
        QTest::newRow("http address")
            << int(TestProxy::HttpConnect) << QStringLiteral("127.0.0.1") << QByteArray();
    }
    void throughProxy()
    {
        QFETCH(int, kind);
        QFETCH(QString, server);
        QFETCH(QByteArray, user);
        GatewayProcess gateway;
        QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
        TestProxy proxy{TestProxy::Kind(kind)};
        QVERIFY(proxy.port());
        proxy.user = user;
        proxy.password = "secret";
        Trial t(gateway.port(), server);
        t.settings.proxy.kind =
            kind == TestProxy::Socks5 ? TProxyChoice::Socks5 : TProxyChoice::HttpConnect;
        t.settings.proxy.host = QStringLiteral("127.0.0.1");
        t.settings.proxy.port = proxy.port();
        t.settings.proxy.user = QString::fromLatin1(user);
        t.settings.proxy.password = QStringLiteral("secret");
        QVERIFY2(t.loggedIn(), qPrintable(t.notices.join(QLatin1Char('|')) + " / " +
                                          t.errors.join(QLatin1Char('|')) + " / " +
                                          proxy.requests.join(QLatin1Char(','))));
        QCOMPARE(proxy.requests,
                 QStringList{server + QLatin1Char(':') + QString::number(gateway.port())});
        // The dead-link timers are on the socket to the proxy.
        QVERIFY2(t.session.bnet->LinkOptionsProblem().isEmpty(),
                 qPrintable(t.session.bnet->LinkOptionsProblem()));
        const int fd = int(t.session.bnet->SocketDescriptor());
        QVERIFY(fd >= 0);
        sockaddr_in peer{};
        socklen_t size = sizeof peer;
        QCOMPARE(::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size), 0);
        QCOMPARE(ntohs(peer.sin_port), proxy.port());
        QCOMPARE(intOption(fd, SOL_SOCKET, SO_KEEPALIVE), 1);
        QCOMPARE(intOption(fd, IPPROTO_TCP, TCP_USER_TIMEOUT), 40000);
        QVERIFY(t.errors.isEmpty());
        // What the proxy's side acknowledged is read on that socket too: a
        // line is taken, and the next goes only then, so all three are.
        QSignalSpy taken(&t.session, &TSession::taken);
        for (const QString &line :
             {QStringLiteral("one"), QStringLiteral("two"), QStringLiteral("three")})
            t.session.send(t.session.plan(line));
        QTRY_COMPARE_WITH_TIMEOUT(taken.count(), 3, 20000);
        QCOMPARE(taken.last().first().toString().trimmed(), QStringLiteral("three"));
        QCOMPARE(t.session.bnet->UnacknowledgedBytes(), 0);
        QVERIFY(t.session.bnet->RoundTripMicroseconds() > 0);
    }

    // A proxy that refuses, is not there, or turns the password down: the
    // connect fails with words that name the proxy, and no link comes up.
    void proxyFailuresAreTold()
    {
        GatewayProcess gateway;
        QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
        struct Case {
            TestProxy::Kind kind;
            bool refuse;
            QByteArray user;
            QString expect;
        };
        const QList<Case> cases = {
            {TestProxy::Socks5, true, {}, QStringLiteral("SOCKS5 proxy 127.0.0.1:")},
            {TestProxy::HttpConnect, true, {}, QStringLiteral("HTTP proxy 127.0.0.1:")},
            {TestProxy::Socks5, false, "carol", QStringLiteral("The SOCKS5 proxy 127.0.0.1:")},
        };
        for (const Case &c : cases) {
            TestProxy proxy(c.kind);
            proxy.refuse = c.refuse;
            proxy.user = c.user;
            proxy.password = "right";
            Trial t(gateway.port());
            t.settings.proxy.kind =
                c.kind == TestProxy::Socks5 ? TProxyChoice::Socks5 : TProxyChoice::HttpConnect;
            t.settings.proxy.host = QStringLiteral("127.0.0.1");
            t.settings.proxy.port = proxy.port();
            t.settings.proxy.user = QString::fromLatin1(c.user);
            t.settings.proxy.password = QStringLiteral("wrong");
            QSignalSpy up(&t.session, &TSession::linkUp);
            const QString why = t.failure();
            QVERIFY2(why.contains(c.expect), qPrintable(why));
            QCOMPARE(up.count(), 0);
            QVERIFY(!t.session.connecting());
        }
        // Nobody at the proxy's address.
        Trial t(gateway.port());
        t.settings.proxy.kind = TProxyChoice::Socks5;
        t.settings.proxy.host = QStringLiteral("127.0.0.1");
        t.settings.proxy.port = closedPort(QHostAddress::LocalHost);
        const QString why = t.failure();
        QVERIFY2(why.startsWith(QLatin1String("The SOCKS5 proxy 127.0.0.1:")) &&
                     why.contains(QLatin1String("refused")),
                 qPrintable(why));

        // A proxy chosen but not given: nothing goes out, and it says why.
        Trial unset(gateway.port());
        unset.settings.proxy.kind = TProxyChoice::HttpConnect;
        unset.connectNow();
        QVERIFY(!unset.session.connecting());
        QCOMPARE(unset.notices.value(0),
                 QStringLiteral("Not connecting: The proxy setting names no host and port "
                                "(Advanced tab of Preferences)."));
    }

    // The environment's proxy: taken when set, passed by for no_proxy hosts.
    void environmentProxyIsUsed()
    {
        GatewayProcess gateway;
        QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
        TestProxy proxy(TestProxy::Socks5);
        EnvSetting all("all_proxy", "socks5h://127.0.0.1:" + QByteArray::number(proxy.port()));
        {
            Trial t(gateway.port(), QStringLiteral("localhost"));
            t.settings.proxy.kind = TProxyChoice::Environment;
            QVERIFY(t.loggedIn());
            QCOMPARE(proxy.requests.size(), 1);
        }
        {
            EnvSetting no("no_proxy", "example.org, localhost");
            Trial t(gateway.port(), QStringLiteral("localhost"));
            t.settings.proxy.kind = TProxyChoice::Environment;
            QVERIFY(t.loggedIn());
            QCOMPARE(proxy.requests.size(), 1); // straight to the server
        }
        {
            // "None" ignores the environment.
            Trial t(gateway.port(), QStringLiteral("localhost"));
            QVERIFY(t.loggedIn());
            QCOMPARE(proxy.requests.size(), 1);
        }
    }

    // Reading the environment's proxy variables, without a network.
    void environmentProxyIsRead()
    {
        auto env = [](const QList<std::pair<QString, QString>> &values) {
            QProcessEnvironment e;
            for (const auto &v : values)
                e.insert(v.first, v.second);
            return e;
        };
        QString problem;
        QNetworkProxy p =
            TProxy::fromEnvironment(QStringLiteral("chat.example"), env({}), &problem);
        QCOMPARE(p.type(), QNetworkProxy::NoProxy);
        QVERIFY(problem.isEmpty());

        // all_proxy first, then ALL_PROXY, then http_proxy.
        p = TProxy::fromEnvironment(QStringLiteral("chat.example"),
                                    env({{"http_proxy", "http://web:3128"},
                                         {"ALL_PROXY", "socks5://big:1081"},
                                         {"all_proxy", "socks5://user:pw@small"}}),
                                    &problem);
        QCOMPARE(p.type(), QNetworkProxy::Socks5Proxy);
        QCOMPARE(p.hostName(), QStringLiteral("small"));
        QCOMPARE(p.port(), quint16(1080));
        QCOMPARE(p.user(), QStringLiteral("user"));
        QCOMPARE(p.password(), QStringLiteral("pw"));
        p = TProxy::fromEnvironment(
            QStringLiteral("chat.example"),
            env({{"http_proxy", "http://web:3128"}, {"ALL_PROXY", "socks5h://big:1081"}}),
            &problem);
        QCOMPARE(TProxy::describe(p), QStringLiteral("SOCKS5 proxy big:1081"));
        p = TProxy::fromEnvironment(QStringLiteral("chat.example"),
                                    env({{"http_proxy", "web:3128"}}), &problem);
        QCOMPARE(TProxy::describe(p), QStringLiteral("HTTP proxy web:3128"));
        QVERIFY(problem.isEmpty());

        // A proxy that cannot carry the link is a problem, not ignored.
        p = TProxy::fromEnvironment(QStringLiteral("chat.example"),
                                    env({{"all_proxy", "https://secure:443"}}), &problem);
        QCOMPARE(p.type(), QNetworkProxy::NoProxy);
        QVERIFY2(problem.contains(QLatin1String("all_proxy")), qPrintable(problem));

        // no_proxy (or NO_PROXY) passes a host by.
        problem.clear();
        p = TProxy::fromEnvironment(
            QStringLiteral("irc.chat.example"),
            env({{"all_proxy", "socks5://big"}, {"NO_PROXY", "other.org,.chat.example"}}),
            &problem);
        QCOMPARE(p.type(), QNetworkProxy::NoProxy);
        QVERIFY(problem.isEmpty());
    }

    void noProxyMatching()
    {
        const QString list =
            QStringLiteral("example.org, .chat.example ,10.0.0.0/8,::1,[fe80::1]:80,"
                           "host.test:6112");
        QVERIFY(TProxy::bypassed(list, QStringLiteral("example.org")));
        QVERIFY(TProxy::bypassed(list, QStringLiteral("www.Example.org.")));
        QVERIFY(!TProxy::bypassed(list, QStringLiteral("badexample.org")));
        QVERIFY(TProxy::bypassed(list, QStringLiteral("chat.example")));
        QVERIFY(TProxy::bypassed(list, QStringLiteral("a.b.chat.example")));
        QVERIFY(TProxy::bypassed(list, QStringLiteral("10.1.2.3")));
        QVERIFY(!TProxy::bypassed(list, QStringLiteral("11.1.2.3")));
        QVERIFY(TProxy::bypassed(list, QStringLiteral("[::1]")));
        QVERIFY(TProxy::bypassed(list, QStringLiteral("fe80::1")));
        QVERIFY(TProxy::bypassed(list, QStringLiteral("host.test")));
        QVERIFY(!TProxy::bypassed(list, QStringLiteral("::2")));
        QVERIFY(TProxy::bypassed(QStringLiteral("*"), QStringLiteral("anything")));
        QVERIFY(!TProxy::bypassed(QString(), QStringLiteral("anything")));
    }
};

QTEST_GUILESS_MAIN(TestLinkReach)
#include "test_link_reach.moc"
