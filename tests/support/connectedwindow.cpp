#include "connectedwindow.h"

#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "loopbackserver.h"
#include "mainwindow/Tmain.h"
#include "session/TSession.h"
#include "support/waits.h"

#include <QPointer>
#include <QTcpSocket>
#include <QtTest>

QByteArray loginBytes(const QByteArray &name, const QByteArray &password)
{
    return "\x03\x04" + name + '\r' + password + "\r\r";
}

bool connectToServer(Tmain &m, LoopbackServer &server, const QByteArray &login, int timeoutMs)
{
    if (!server.listening()) {
        qWarning("connectToServer: the test server does not listen");
        return false;
    }
    m.session->bnet->Port = server.port();
    m.ConnectClick();
    const bool arrived = waitUntil(
        [&] {
            return login.isEmpty() ? server.received().contains("\r\r")
                                   : server.received().startsWith(login);
        },
        timeoutMs);
    if (!arrived) {
        qWarning("connectToServer: no login arrived (%s); the server got \"%s\"",
                 m.session->bnet->Connected() ? "connected" : "not connected",
                 server.received().toPercentEncoding().constData());
        return false;
    }
    if (!m.session->bnet->Connected()) {
        qWarning("connectToServer: the login arrived, but the window is not connected");
        return false;
    }
    return true;
}

bool connectToGateway(Tmain &m, quint16 port, const QString &name, int timeoutMs)
{
    if (port == 0) {
        qWarning("connectToGateway: the gateway did not start");
        return false;
    }
    const QString greeting = QStringLiteral(" <%1> You have no mail.").arg(name);
    int next = m.chat->lineCount();
    m.session->bnet->Port = port;
    m.ConnectClick();
    const bool greeted = tickUntilChatShows(m, greeting, next, timeoutMs) >= 0;
    if (!greeted)
        qWarning("connectToGateway: no \"%s\" from the gateway on port %u (%s)",
                 qPrintable(greeting), port,
                 m.session->bnet->Connected() ? "connected" : "not connected");
    return greeted;
}

bool wireSettled(Tmain &m, LoopbackServer &server, int timeoutMs)
{
    static int probes = 0;
    const QByteArray probe = "\x7ftest probe " + QByteArray::number(++probes) + '\r';
    if (!m.session->bnet->Connected() || !m.session->bnet->SendData(QString::fromLatin1(probe)))
        return false;
    if (!waitUntil([&] { return server.received().contains(probe); }, timeoutMs)) {
        qWarning("wireSettled: the probe line did not arrive");
        return false;
    }
    server.takeReceived(probe);
    return true;
}

namespace {
void stepPacing(Tmain &m)
{
    if (clockHeld())
        moveClock(m.session->process->FloodInterval());
    else
        m.session->process->floodTimerTick();
}
} // namespace

bool tickPacingUntil(Tmain &m, const std::function<bool()> &done, int timeoutMs)
{
    // The sockets get their events between steps.
    return waitUntil(
        [&] {
            if (done())
                return true;
            stepPacing(m);
            return done();
        },
        timeoutMs);
}

bool tickUntilWireShows(Tmain &m, LoopbackServer &server, QByteArray line, int timeoutMs)
{
    if (!line.endsWith('\r'))
        line += '\r';
    const auto shows = [&] {
        const QByteArray &wire = server.received();
        for (qsizetype at = wire.indexOf(line); at >= 0; at = wire.indexOf(line, at + 1))
            if (at == 0 || wire.at(at - 1) == '\r')
                return true;
        return false;
    };
    if (tickPacingUntil(m, shows, timeoutMs))
        return true;
    qWarning("tickUntilWireShows: no \"%s\"; the wire holds \"%s\"",
             line.toPercentEncoding().constData(),
             server.received().toPercentEncoding().constData());
    return false;
}

int tickUntilChatShows(Tmain &m, const QString &line, int from, int timeoutMs)
{
    int at = -1;
    // Every line from `from` each time: a line can change in place (an own
    // line loses its pending mark once the server has taken it).
    const auto shows = [&] {
        for (int i = from, n = m.chat->lineCount(); i < n; ++i)
            if (m.chat->lineText(i) == line) {
                at = i;
                return true;
            }
        return false;
    };
    if (tickPacingUntil(m, shows, timeoutMs))
        return at;
    QStringList seen;
    for (int i = from; i < m.chat->lineCount(); ++i)
        seen << m.chat->lineText(i);
    qWarning("tickUntilChatShows: no \"%s\" among: %s", qPrintable(line),
             qPrintable(seen.join(QLatin1Char('|'))));
    return -1;
}

QByteArray takeWire(Tmain &m, LoopbackServer &server, int timeoutMs)
{
    TBnetChat *pacing = m.session->process;
    if (!tickPacingUntil(
            m, [pacing] { return pacing->queuedCount() == 0; }, timeoutMs))
        qWarning("takeWire: the pacing still holds %d lines", pacing->queuedCount());
    if (!wireSettled(m, server, timeoutMs) && server.hasClient()) {
        // The link is down: the server has read all there was once it has
        // seen the link close.
        const QPointer<QTcpSocket> peer = server.client();
        if (!waitUntil(
                [peer] {
                    return !peer || peer->state() == QAbstractSocket::UnconnectedState ||
                           !peer->isValid();
                },
                timeoutMs))
            qWarning("takeWire: the closed link did not reach the server");
    }
    QByteArray out = server.received();
    server.clearReceived();
    return out;
}

QStringList takeWireLines(Tmain &m, LoopbackServer &server, int timeoutMs)
{
    QStringList out = QString::fromLatin1(takeWire(m, server, timeoutMs)).split(QLatin1Char('\r'));
    out.removeAll(QString());
    return out;
}
