#pragma once
// What the fault tests share: a session in the client's namespace pointed
// at the gateway across the link, and a member on the server's side whose
// view is what reached the gateway. A test that cannot build its network
// skips with the reason, or fails under CI=true.
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "session/TSession.h"
#include "support/faultnet.h"

#include <QHostAddress>
#include <QNetworkProxy>
#include <QSignalSpy>
#include <QTcpSocket>
#include <QtTest>

// The promise: a dead link is told within this.
constexpr int promisedMs = 60000;

// The network, the gateway started with the further arguments given.
#define NEED_NETWORK(net, ...)                                                                     \
    do {                                                                                           \
        if (!(net).setUp(qEnvironmentVariable("TRESSEL_GATEWAY"), QStringList{__VA_ARGS__})) {     \
            if ((net).gatewayFailed() || qEnvironmentVariable("CI") == QLatin1String("true"))      \
                QFAIL(qPrintable("cannot build the test network: " + (net).error()));              \
            QSKIP(qPrintable("cannot build the test network: " + (net).error()));                  \
        }                                                                                          \
    } while (false)

// A further step of building the network (the loss, the delay queue): as
// for the network itself.
#define NEED_STEP(net, step)                                                                       \
    do {                                                                                           \
        if (!(step)) {                                                                             \
            if (qEnvironmentVariable("CI") == QLatin1String("true"))                               \
                QFAIL(qPrintable("cannot build the test network: " + (net).error()));              \
            QSKIP(qPrintable("cannot build the test network: " + (net).error()));                  \
        }                                                                                          \
    } while (false)

struct Trial {
    TSettingsStore settings; // outlives the session that reads it
    TSession session;
    QStringList notices;
    QStringList errors;
    QStringList taken;        // lines the session said the server's side took
    QStringList unsent;       // lines it gave back
    QStringList refusedLines; // lines the quota refused, as matched by the session
    explicit Trial(const QString &server)
    {
        session.bnet->Port = 6112;
        settings.setBytes(TSetting::username, QStringLiteral("alice"));
        settings.setBytes(TSetting::password, QStringLiteral("pw"));
        settings.setBytes(TSetting::server, server);
        session.setStore(&settings);
        QObject::connect(&session, &TSession::notice,
                         [this](const QString &text) { notices << text; });
        QObject::connect(&session, &TSession::socketError,
                         [this](const QString &why) { errors << why; });
        QObject::connect(&session, &TSession::taken,
                         [this](const QString &line) { taken << line.trimmed(); });
        QObject::connect(&session, &TSession::unsent, [this](const QStringList &lines, int) {
            for (const QString &l : lines)
                unsent << l.trimmed();
        });
        QObject::connect(&session, &TSession::refused,
                         [this](const QString &line, int) { refusedLines << line.trimmed(); });
    }
    bool loggedIn(int timeoutMs = 15000)
    {
        QSignalSpy named(&session, &TSession::uniqueName);
        session.connectNow();
        return named.wait(timeoutMs);
    }
    // Typed lines: planned and handed to the pacing as the input line does.
    void type(const QStringList &lines)
    {
        for (const QString &line : lines)
            session.send(session.plan(line));
    }
};

// A member logged in on the server's side of the link (its loopback), so
// that the faults never touch it: what it is told is what reached the
// gateway.
struct Observer {
    QTcpSocket socket;
    QByteArray got;
    Observer()
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { got += socket.readAll(); });
    }
    // Logs name in and joins channel; false with a warning when it does not.
    bool logIn(FaultNet &net, const QByteArray &name, const QByteArray &channel)
    {
        socket.setProxy(QNetworkProxy::NoProxy);
        // Connecting to an address opens the socket at once, in the
        // namespace the thread is in.
        if (!net.onServerSide([this] { socket.connectToHost(QHostAddress::LocalHost, 6112); }))
            return false;
        if (!socket.waitForConnected(5000)) {
            qWarning("%s could not connect: %s", name.constData(),
                     qPrintable(socket.errorString()));
            return false;
        }
        // Everybody starts in Chat.
        socket.write("\x03\x04" + name + "\rpw\r\r" +
                     (channel == "Chat" ? QByteArray() : "/join " + channel + '\r'));
        if (!waitFor("1007 CHANNEL \"" + channel + '"')) {
            qWarning("%s did not get into %s: %s", name.constData(), channel.constData(),
                     got.constData());
            return false;
        }
        return true;
    }
    bool waitFor(const QByteArray &bytes, int timeoutMs = 10000)
    {
        return QTest::qWaitFor([&] { return got.contains(bytes); }, timeoutMs);
    }
    // What name said in the channel, in the order the gateway passed it on.
    QStringList talkOf(const QByteArray &name) const
    {
        QStringList out;
        const QByteArray head = "1005 TALK " + name + ' ';
        for (const QByteArray &line : got.split('\n')) {
            if (!line.startsWith(head))
                continue;
            const qsizetype open = line.indexOf('"');
            const qsizetype close = line.lastIndexOf('"');
            if (open >= 0 && close > open)
                out << QString::fromLatin1(line.mid(open + 1, close - open - 1));
        }
        return out;
    }
};

// Lines typed into a fault: each reached the gateway once, in the order
// typed, or was given back to the user; none the session called taken is
// missing. Empty when that holds, else what went wrong.
inline QString accountFor(const QStringList &typed, const QStringList &delivered,
                          const QStringList &unsent, const QStringList &taken)
{
    QStringList problems;
    qsizetype last = -1;
    for (const QString &line : typed) {
        const qsizetype times = delivered.count(line);
        if (times > 1)
            problems << QStringLiteral("\"%1\" arrived %2 times").arg(line).arg(times);
        if (times == 0 && !unsent.contains(line))
            problems << QStringLiteral("\"%1\" was lost silently").arg(line);
        if (times == 0 && taken.contains(line))
            problems << QStringLiteral("\"%1\" was called taken and never arrived").arg(line);
        const qsizetype at = delivered.indexOf(line);
        if (at >= 0 && at < last)
            problems << QStringLiteral("\"%1\" arrived out of order").arg(line);
        last = std::max(last, at);
    }
    for (const QString &line : delivered)
        if (!typed.contains(line))
            problems << QStringLiteral("\"%1\" arrived, never typed").arg(line);
    return problems.join(QStringLiteral("; "));
}
