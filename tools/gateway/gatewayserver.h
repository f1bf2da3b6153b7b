#pragma once
// A small multi-client chat gateway speaking the line protocol of the real
// servers: the telnet-style login, channels, talk, emotes, whispers, squelch,
// a few information commands and the flood quota. Simulated members (from
// the console or the chatter simulation) live beside the connected clients.
#include "floodquota.h"
#include "gatewayoptions.h"
#include "linesplitter.h"

#include <QByteArray>
#include <QHash>
#include <QList>
#include <QObject>
#include <QSet>
#include <QTcpServer>
#include <functional>
#include <memory>

class QTcpSocket;
class GatewayConnection;

class GatewayServer : public QObject {
    Q_OBJECT
public:
    static inline const QByteArray DefaultChannel = "Chat";
    static constexpr quint16 ClientFlags = 0x10;
    static constexpr quint16 SquelchedFlag = 0x20;

    explicit GatewayServer(GatewayOptions options, QObject *parent = nullptr);
    ~GatewayServer() override;

    // Listens on 127.0.0.1 at the options' port (0: a free one).
    bool listen(QString *error);
    quint16 port() const;

    // One console command; returns an error text, empty when it was done.
    // Sets *quit for "quit".
    QString consoleCommand(const QByteArray &line, bool *quit = nullptr);

    // Simulated members (console and chatter simulation). Each returns an
    // error text, empty on success.
    QString simJoin(const QByteArray &name, const QByteArray &product, quint16 flags);
    QString simLeave(const QByteArray &name);
    QString simSay(const QByteArray &name, const QByteArray &text);
    QString simEmote(const QByteArray &name, const QByteArray &text);
    QString simWhisper(const QByteArray &name, const QByteArray &to, const QByteArray &text);
    QString setFlags(const QByteArray &name, quint16 flags);
    void broadcast(const QByteArray &text);
    void sendToAll(const QByteArray &bytes); // to every logged-in client, as they are
    void closeAll();

    QList<QByteArray> simulatedNames() const;
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
    struct Member {
        QByteArray name;
        QByteArray product;
        quint16 flags = 0;
        QByteArray channel; // lower-case key of the channel it is in
        GatewayConnection *conn = nullptr; // none for simulated members
    };
    struct Channel {
        QByteArray name;
        QList<Member *> members; // in joining order
    };

    void acceptConnections();
    void memberGone(GatewayConnection *conn);     // leaves the channel, if logged in
    void connectionGone(GatewayConnection *conn); // socket closed: forget it
    void clientLine(GatewayConnection *conn, const QByteArray &line);

    Member *findMember(const QByteArray &name) const;
    Member *findSimulated(const QByteArray &name, QString *error) const;
    Member *addMember(const QByteArray &name, const QByteArray &product, quint16 flags,
                      GatewayConnection *conn);
    void removeMember(Member *m);

    // Channel movements: the lines the mover and the others see.
    void enterChannel(Member *m, const QByteArray &channel, bool withTopic);
    void leaveChannel(Member *m);
    QByteArray channelRefusal(const QByteArray &channel) const;

    quint16 flagsSeenBy(const Member *viewer, const Member *m) const;
    QByteArray flagsText(const Member *viewer, const Member *m) const;
    bool hears(const Member *viewer, const Member *speaker) const;
    void send(const Member *to, const QByteArray &line) const;
    void talk(Member *from, const QByteArray &text);
    void emote(Member *from, const QByteArray &text);
    void whisper(Member *from, const QByteArray &to, const QByteArray &text);
    void sendUserList(Member *m);

    // The client side.
    bool passwordAccepted(const QByteArray &name, const QByteArray &password) const;
    void loggedIn(GatewayConnection *conn, const QByteArray &name);
    void command(Member *m, const QByteArray &cmd, const QByteArray &rest);
    void info(const Member *m, const QByteArray &text) const;
    void error(const Member *m, const QByteArray &text) const;
    void usage(const Member *m, const QList<QByteArray> &lines) const;
    int userCount() const;
    int channelCount() const;
    QByteArray productTitle(const QByteArray &product) const;

    GatewayOptions m_options;
    QTcpServer m_server;
    QList<GatewayConnection *> m_connections;
    qint64 m_bytesReceived = 0;
    QHash<QByteArray, Member *> m_members;   // by lower-case name
    QHash<QByteArray, Channel> m_channels;   // by lower-case name
};
