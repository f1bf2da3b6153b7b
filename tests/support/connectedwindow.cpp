#include "connectedwindow.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "loopbackserver.h"
#include "mainwindow/Tmain.h"
#include "session/TSession.h"

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
    const bool arrived = QTest::qWaitFor(
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
    const bool greeted = QTest::qWaitFor(
        [&] {
            m.session->process->floodTimerTick();
            for (const int n = m.chat->lineCount(); next < n; ++next)
                if (m.chat->lineText(next) == greeting)
                    return true;
            return false;
        },
        timeoutMs);
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
    if (!QTest::qWaitFor([&] { return server.received().contains(probe); }, timeoutMs)) {
        qWarning("wireSettled: the probe line did not arrive");
        return false;
    }
    server.takeReceived(probe);
    return true;
}
