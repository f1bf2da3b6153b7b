#pragma once
// A small multi-client chat gateway speaking the line protocol of the real
// servers: the telnet-style login, channels, talk, emotes, whispers, squelch,
// a few information commands and the flood quota. Simulated members (from
// the console or the chatter simulation) live beside the connected clients;
// who is in which channel is the channel model's.
#include "channelmodel.h"
#include "floodquota.h"
#include "gatewayoptions.h"
#include "linesplitter.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <QTimer>
#include <functional>
#include <memory>

class QTcpSocket;
class GatewayConnection;

class GatewayServer : public QObject {
    Q_OBJECT
public:
    static inline const QByteArray DefaultChannel = "Chat";
    static constexpr quint16 ClientFlags = 0x10;

    explicit GatewayServer(GatewayOptions options, QObject *parent = nullptr);
    ~GatewayServer() override;

    // Listens on 127.0.0.1 at the options' port (0: a free one).
    bool listen(QString *error);
    quint16 port() const;

    // One console command (console.cpp); returns an error text, empty when
    // it was done. Sets *quit for "quit".
    QString consoleCommand(const QByteArray &line, bool *quit = nullptr);

    // Simulated members (simulatedmembers.cpp), for the console and the
    // chatter simulation. Each returns an error text, empty on success.
    QString simJoin(const QByteArray &name, const QByteArray &product, quint16 flags);
    QString simLeave(const QByteArray &name);
    QString simSay(const QByteArray &name, const QByteArray &text);
    QString simEmote(const QByteArray &name, const QByteArray &text);
    QString simWhisper(const QByteArray &name, const QByteArray &to, const QByteArray &text);
    QString setFlags(const QByteArray &name, quint16 flags);
    QList<QByteArray> simulatedNames() const;

    void broadcast(const QByteArray &text);
    void sendToAll(const QByteArray &bytes); // to every logged-in client, as they are
    void closeAll();
    // Resets the link of the logged-in client NAME as a dying network
    // would; its session is held (--hold-seconds). An error text, or empty.
    QString dropClient(const QByteArray &name);
    // Ends the hold of a session whose link died, as its time running out would.
    QString releaseHeld(const QByteArray &name);
    // Accounts whose session is held after their link died.
    QList<QByteArray> heldNames() const;
    // The keep-alive line, as the real servers send it.
    static inline const QByteArray KeepaliveLine = "2000 NULL\r\n";

    QList<QByteArray> clientNames() const; // logged-in clients
    int connectionCount() const;
    // Bytes read from all clients so far: lets a test know the gateway has
    // seen everything it sent before it looks at the answers.
    qint64 bytesReceived() const { return m_bytesReceived; }

    // Monotonic milliseconds for the flood quota; tests replace it.
    std::function<qint64()> clock;

    const GatewayOptions &options() const { return m_options; }

private:
    friend class GatewayConnection;
    friend struct ClientCommands; // the command table's handlers
    using Member = ChannelModel::Member;

    void acceptConnections();
    void memberGone(GatewayConnection *conn);     // leaves the channel, if logged in
    void connectionGone(GatewayConnection *conn); // socket closed: forget it
    // The member of a link that died stays for holdSeconds without a link.
    void holdMember(GatewayConnection *conn);
    // Ends the holds whose time on clock() is up (a login looks first).
    void releaseExpiredHolds();
    void clientLine(GatewayConnection *conn, const QByteArray &line);

    Member *findMember(const QByteArray &name) const { return m_model.find(name); }
    Member *findSimulated(const QByteArray &name, QString *error) const;
    // conn: the client's connection; none for a simulated member.
    Member *addMember(const QByteArray &name, const QByteArray &product, quint16 flags,
                      GatewayConnection *conn);
    void removeMember(Member *m);
    // The connection of a client member; nullptr for a simulated one.
    GatewayConnection *connectionOf(const Member *m) const { return m_clients.value(m); }

    // Channel movements, with the topic for a client that moves to the
    // default channel when withTopic.
    void enterChannel(Member *m, const QByteArray &channel, bool withTopic);
    QByteArray channelRefusal(const QByteArray &channel) const;

    void send(const Member *to, const QByteArray &line) const;
    void talk(Member *from, const QByteArray &text);
    void emote(Member *from, const QByteArray &text);
    void whisper(Member *from, const QByteArray &to, const QByteArray &text);

    // The client side.
    bool passwordAccepted(const QByteArray &name, const QByteArray &password) const;
    void loggedIn(GatewayConnection *conn, const QByteArray &name);
    void info(const Member *m, const QByteArray &text) const;
    void error(const Member *m, const QByteArray &text) const;
    void usage(const Member *m, const QList<QByteArray> &lines) const;
    int userCount() const { return m_model.memberCount(); }
    int channelCount() const { return m_model.channelCount(); }

    GatewayOptions m_options;
    QTcpServer m_server;
    QList<GatewayConnection *> m_connections;
    qint64 m_bytesReceived = 0;
    ChannelModel m_model;
    QHash<const Member *, GatewayConnection *> m_clients;
    // Held members and the serial of their hold, so that a hold's end
    // cannot remove a member that came back and was held again.
    struct Hold {
        quint64 serial = 0;
        qint64 until = 0; // on clock()
    };
    QHash<Member *, Hold> m_held;
    quint64 m_holdSerial = 0;
    QTimer *m_keepalive = nullptr;
};
