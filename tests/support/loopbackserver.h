#pragma once
// A one-client TCP server on 127.0.0.1 for tests that read the exact bytes
// a client sends and answer with bytes of their own.
#include <QByteArray>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

class LoopbackServer : public QObject {
public:
    LoopbackServer()
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                m_client = s;
                ++m_connections;
                QObject::connect(s, &QTcpSocket::readyRead, this,
                                 [this, s] { m_received += s->readAll(); });
            }
        });
        m_listening = m_server.listen(QHostAddress::LocalHost, 0);
        QVERIFY(m_listening);
    }
    bool listening() const { return m_listening; }
    quint16 port() const { return m_server.serverPort(); }
    // How many clients have connected so far.
    int connections() const { return m_connections; }
    bool hasClient() const { return !m_client.isNull(); }
    QTcpSocket *client() const { return m_client; }
    // Everything received so far.
    QByteArray received() const { return m_received; }
    void clearReceived() { m_received.clear(); }
    // Takes the first bytes equal to bytes out of what was received.
    void takeReceived(const QByteArray &bytes)
    {
        const qsizetype at = m_received.indexOf(bytes);
        if (at >= 0)
            m_received.remove(at, bytes.size());
    }
    void send(const QByteArray &bytes)
    {
        if (m_client) {
            m_client->write(bytes);
            m_client->flush();
        }
    }
    void closeClient()
    {
        if (m_client)
            m_client->disconnectFromHost();
    }

private:
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_received;
    int m_connections = 0;
    bool m_listening = false;
};
