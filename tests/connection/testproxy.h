#pragma once
// A small SOCKS5 or HTTP CONNECT proxy on 127.0.0.1 for the tests: it
// takes a client's request, records what it asked for, connects on (a
// numeric address as it stands, any name to 127.0.0.1) and relays both
// ways. It can refuse every request, and the SOCKS5 one can ask for a user
// and password.
#include <QHostAddress>
#include <QPointer>
#include <QStringList>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtEndian>

#include <memory>
#include <vector>

class TestProxy : public QObject {
public:
    enum Kind { Socks5, HttpConnect };

    explicit TestProxy(Kind kind) : m_kind(kind)
    {
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection())
                accept(s);
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }

    quint16 port() const { return m_server.serverPort(); }
    // "host:port" of every request, as the client named it.
    QStringList requests;
    bool refuse = false;
    QByteArray user;     // SOCKS5: non-empty asks for this user and password
    QByteArray password; // SOCKS5

private:
    struct Client {
        QPointer<QTcpSocket> in;
        QPointer<QTcpSocket> out;
        QByteArray buffer;
        int stage = 0;
    };

    void accept(QTcpSocket *in)
    {
        auto client = std::make_shared<Client>();
        client->in = in;
        in->setParent(this);
        QObject::connect(in, &QTcpSocket::readyRead, this, [this, client] {
            client->buffer += client->in->readAll();
            if (client->stage == 3) {
                relay(*client);
                return;
            }
            m_kind == Socks5 ? socks(client) : http(client);
        });
        QObject::connect(in, &QTcpSocket::disconnected, this, [client] {
            if (client->out)
                client->out->disconnectFromHost();
        });
    }

    void relay(Client &client)
    {
        if (client.out && !client.buffer.isEmpty())
            client.out->write(client.buffer);
        client.buffer.clear();
    }

    void refuseWith(Client &client, const QByteArray &bytes)
    {
        client.in->write(bytes);
        client.in->flush();
        client.in->disconnectFromHost();
        client.stage = 4;
    }

    // Connects on to host:port; reply goes to the client once it is up.
    void connectOn(const std::shared_ptr<Client> &client, const QString &host, quint16 port,
                   const QByteArray &reply)
    {
        requests << host + QLatin1Char(':') + QString::number(port);
        QHostAddress address(host);
        if (address.isNull())
            address = QHostAddress::LocalHost;
        auto *out = new QTcpSocket(this);
        client->out = out;
        QObject::connect(out, &QTcpSocket::connected, this, [client, reply] {
            client->in->write(reply);
            client->stage = 3;
            if (!client->buffer.isEmpty()) {
                client->out->write(client->buffer);
                client->buffer.clear();
            }
        });
        QObject::connect(out, &QTcpSocket::readyRead, this, [client] {
            if (client->in)
                client->in->write(client->out->readAll());
        });
        QObject::connect(out, &QTcpSocket::disconnected, this, [client] {
            if (client->in)
                client->in->disconnectFromHost();
        });
        out->connectToHost(address, port);
    }

    void socks(const std::shared_ptr<Client> &client)
    {
        QByteArray &b = client->buffer;
        if (client->stage == 0) {
            if (b.size() < 2 || b.size() < 2 + quint8(b[1]))
                return;
            const QByteArray methods = b.mid(2, quint8(b[1]));
            b.remove(0, 2 + quint8(b[1]));
            const char wanted = user.isEmpty() ? 0 : 2;
            if (!methods.contains(wanted)) {
                refuseWith(*client, QByteArray("\x05\xff", 2));
                return;
            }
            client->in->write(QByteArray("\x05", 1) + QByteArray(1, wanted));
            client->stage = user.isEmpty() ? 2 : 1;
        }
        if (client->stage == 1) {
            if (b.size() < 2)
                return;
            const int ulen = quint8(b[1]);
            if (b.size() < 3 + ulen || b.size() < 3 + ulen + quint8(b[2 + ulen]))
                return;
            const int plen = quint8(b[2 + ulen]);
            const QByteArray u = b.mid(2, ulen);
            const QByteArray p = b.mid(3 + ulen, plen);
            b.remove(0, 3 + ulen + plen);
            if (u != user || p != password) {
                refuseWith(*client, QByteArray("\x01\x01", 2));
                return;
            }
            client->in->write(QByteArray("\x01\x00", 2));
            client->stage = 2;
        }
        if (client->stage == 2) {
            if (b.size() < 5)
                return;
            const char type = b[3];
            const int addressLength = type == 1 ? 4 : type == 4 ? 16 : 1 + quint8(b[4]);
            if (b.size() < 4 + addressLength + 2)
                return;
            QString host;
            if (type == 1)
                host = QHostAddress(qFromBigEndian<quint32>(b.constData() + 4)).toString();
            else if (type == 4)
                host = QHostAddress(reinterpret_cast<const quint8 *>(b.constData() + 4)).toString();
            else
                host = QString::fromLatin1(b.mid(5, quint8(b[4])));
            const quint16 port = qFromBigEndian<quint16>(b.constData() + 4 + addressLength);
            b.remove(0, 4 + addressLength + 2);
            if (refuse) {
                requests << host + QLatin1Char(':') + QString::number(port);
                // 2: not allowed by the proxy's rules.
                refuseWith(*client, QByteArray("\x05\x02\x00\x01\0\0\0\0\0\0", 10));
                return;
            }
            connectOn(client, host, port, QByteArray("\x05\x00\x00\x01\0\0\0\0\0\0", 10));
        }
    }

    void http(const std::shared_ptr<Client> &client)
    {
        QByteArray &b = client->buffer;
        const qsizetype end = b.indexOf("\r\n\r\n");
        if (client->stage != 0 || end < 0)
            return;
        const QList<QByteArray> words = b.left(b.indexOf("\r\n")).split(' ');
        b.remove(0, end + 4);
        if (words.size() < 3 || words[0] != "CONNECT") {
            refuseWith(*client, "HTTP/1.1 400 Bad Request\r\n\r\n");
            return;
        }
        const QByteArray target = words[1];
        const qsizetype colon = target.lastIndexOf(':');
        QString host = QString::fromLatin1(target.left(colon));
        if (host.startsWith(QLatin1Char('[')))
            host = host.mid(1, host.size() - 2);
        const quint16 port = quint16(target.mid(colon + 1).toUInt());
        if (refuse) {
            requests << host + QLatin1Char(':') + QString::number(port);
            refuseWith(*client, "HTTP/1.1 403 Forbidden\r\nContent-Length: 0\r\n\r\n");
            return;
        }
        connectOn(client, host, port, "HTTP/1.1 200 Connection established\r\n\r\n");
    }

    Kind m_kind;
    QTcpServer m_server;
};
