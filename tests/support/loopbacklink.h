#pragma once
// A connection's client end on 127.0.0.1 and the listener's end of it, for
// tests that drive TChatInterface directly. Fails the running test (QVERIFY)
// when either end does not come up.
#include "connection/TChatInterface.h"
#include "support/waits.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

inline void openLoopbackLink(QObject *owner, QTcpServer &server, TChatInterface *&link,
                             QTcpSocket *&peer)
{
    link = new TChatInterface(owner);
    link->Address = QStringLiteral("127.0.0.1");
    link->Port = server.serverPort();
    QVERIFY(link->Open());
    QTRY_VERIFY(link->Connected());
    QTRY_VERIFY(server.hasPendingConnections());
    peer = server.nextPendingConnection();
    QVERIFY(peer);
}

// Everything link has written so far, as peer reads it: a probe line
// written straight to the link, past any pacing, proves that all before it
// has arrived; what came before the probe is returned, the probe left out.
inline QByteArray readUpToProbe(TChatInterface &link, QTcpSocket &peer)
{
    static int probes = 0;
    const QByteArray probe = "\x7fprobe " + QByteArray::number(++probes) + '\r';
    if (!link.SendData(QString::fromLatin1(probe))) {
        qWarning("readUpToProbe: the link cannot send the probe");
        return peer.readAll();
    }
    QByteArray got;
    if (!waitUntil([&] { return (got += peer.readAll()).contains(probe); }))
        qWarning("readUpToProbe: the probe line did not arrive");
    return got.left(got.indexOf(probe));
}

// The listener, the link and the peer's end of it, for a test class that
// drives links of its own.
struct LoopbackLinkBench {
    QTcpServer server;
    TChatInterface *link = nullptr;
    QTcpSocket *peer = nullptr;

    void openLink(QObject *owner) { openLoopbackLink(owner, server, link, peer); }
    void closeLink()
    {
        delete link;
        link = nullptr;
        delete peer;
        peer = nullptr;
    }
};
