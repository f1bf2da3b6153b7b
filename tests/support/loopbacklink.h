#pragma once
// A connection's client end on 127.0.0.1 and the listener's end of it, for
// tests that drive TChatInterface directly. Fails the running test (QVERIFY)
// when either end does not come up.
#include "connection/TChatInterface.h"

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
