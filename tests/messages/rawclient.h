#pragma once
#include "support/connectedwindow.h"
#include "support/waits.h"

#include <QByteArray>
#include <QTcpSocket>
#include <QtTest>

// A second chatter speaking the gateway's protocol directly.
class RawClient {
public:
    bool login(quint16 port, const QByteArray &name)
    {
        QObject::connect(&m_socket, &QTcpSocket::readyRead,
                         [this] { m_received += m_socket.readAll(); });
        m_socket.connectToHost(QHostAddress::LocalHost, port);
        if (!m_socket.waitForConnected(5000))
            return false;
        m_socket.write(loginBytes(name, "pw"));
        return waitUntil([&] { return m_received.contains("You have no mail."); }, 5000);
    }
    void say(const QByteArray &line)
    {
        m_socket.write(line + '\r');
        m_socket.flush();
    }
    QByteArray received() const { return m_received; }
    bool waitFor(const QByteArray &needle)
    {
        return waitUntil([&] { return m_received.contains(needle); }, 5000);
    }

private:
    QTcpSocket m_socket;
    QByteArray m_received;
};
