#include "gatewayserver.h"

#include "base/wirecodes.h"
#include "commands.h"
#include "gatewayconnection.h"
#include "hostile.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <memory>

namespace {

const QByteArray ChatTopic = "Chat topic: This is the public chat channel. Feel free to chat...";

QByteArray key(const QByteArray &name) { return ChannelModel::key(name); }

} // namespace

GatewayServer::GatewayServer(GatewayOptions options, QObject *parent)
    : QObject(parent), m_options(std::move(options))
{
    auto started = std::make_shared<QElapsedTimer>();
    started->start();
    clock = [started] { return started->elapsed(); };
    m_model.send = [this](const Member *to, const QByteArray &line) { send(to, line); };
    connect(&m_server, &QTcpServer::newConnection, this, &GatewayServer::acceptConnections);
    if (m_options.burst > 0)
        for (const QByteArray &n : burstSenderNames())
            simJoin(n, "CHAT", ClientFlags);
    if (m_options.keepaliveSeconds > 0) {
        m_keepalive = new QTimer(this);
        connect(m_keepalive, &QTimer::timeout, this, [this] { sendToAll(KeepaliveLine); });
        m_keepalive->start(m_options.keepaliveSeconds * 1000);
    }
}

GatewayServer::~GatewayServer() = default; // connections are children and go with us

bool GatewayServer::listen(QString *error)
{
    if (!m_server.listen(QHostAddress(m_options.address), m_options.port)) {
        *error = m_server.errorString();
        return false;
    }
    return true;
}

quint16 GatewayServer::port() const { return m_server.serverPort(); }

int GatewayServer::connectionCount() const { return m_connections.size(); }

void GatewayServer::acceptConnections()
{
    while (QTcpSocket *socket = m_server.nextPendingConnection())
        m_connections.append(new GatewayConnection(this, socket));
}

void GatewayServer::memberGone(GatewayConnection *conn)
{
    if (Member *m = conn->name.isEmpty() ? nullptr : findMember(conn->name))
        if (connectionOf(m) == conn)
            removeMember(m);
}

void GatewayServer::connectionGone(GatewayConnection *conn)
{
    if (conn->died() && m_options.holdSeconds > 0)
        holdMember(conn);
    else
        memberGone(conn);
    m_connections.removeOne(conn);
    conn->deleteLater();
}

void GatewayServer::holdMember(GatewayConnection *conn)
{
    Member *m = conn->name.isEmpty() ? nullptr : findMember(conn->name);
    if (!m || connectionOf(m) != conn)
        return;
    // The server does not know yet that nobody is there: the member stays
    // in its channel, and its name stays taken, until the hold ends.
    m_clients.remove(m);
    const quint64 serial = ++m_holdSerial;
    const qint64 ms = qint64(m_options.holdSeconds) * 1000;
    m_held.insert(m, {serial, clock() + ms});
    // Others see the member leave when the hold ends, not only at the next
    // login; a login that comes first looks at the clock itself.
    QTimer::singleShot(ms, this, [this, m, serial] {
        if (m_held.value(m).serial == serial)
            removeMember(m);
    });
}

void GatewayServer::releaseExpiredHolds()
{
    const qint64 now = clock();
    QList<Member *> over;
    for (auto it = m_held.begin(); it != m_held.end(); ++it)
        if (it->until <= now)
            over << it.key();
    for (Member *m : over)
        removeMember(m);
}

QString GatewayServer::dropClient(const QByteArray &name)
{
    Member *m = findMember(name);
    GatewayConnection *conn = m ? connectionOf(m) : nullptr;
    if (!conn)
        return QString("'%1' is no logged-in client.").arg(QString::fromLatin1(name));
    conn->drop();
    return QString();
}

QString GatewayServer::releaseHeld(const QByteArray &name)
{
    for (auto it = m_held.begin(); it != m_held.end(); ++it)
        if (it.key()->name == name) {
            removeMember(it.key());
            return QString();
        }
    return QString("'%1' is no held session.").arg(QString::fromLatin1(name));
}

QList<QByteArray> GatewayServer::heldNames() const
{
    QList<QByteArray> names;
    for (auto it = m_held.begin(); it != m_held.end(); ++it)
        names << it.key()->name;
    return names;
}

// ---- members and channels ------------------------------------------------

GatewayServer::Member *GatewayServer::addMember(const QByteArray &name, const QByteArray &product,
                                                quint16 flags, GatewayConnection *conn)
{
    Member *m = m_model.add(name, product, flags, conn != nullptr);
    if (conn)
        m_clients.insert(m, conn);
    return m;
}

void GatewayServer::removeMember(Member *m)
{
    m_clients.remove(m);
    m_held.remove(m);
    m_model.remove(m);
}

QList<QByteArray> GatewayServer::clientNames() const
{
    QList<QByteArray> names;
    for (const Member *m : m_model.members())
        if (m->client)
            names.append(m->name);
    return names;
}

void GatewayServer::send(const Member *to, const QByteArray &line) const
{
    if (GatewayConnection *conn = connectionOf(to))
        conn->writeLine(line);
}

void GatewayServer::info(const Member *m, const QByteArray &text) const
{
    send(m, QByteArray::number(Wire::Info) + " INFO \"" + text + '"');
}

void GatewayServer::error(const Member *m, const QByteArray &text) const
{
    send(m, QByteArray::number(Wire::Error) + " ERROR \"" + text + '"');
}

void GatewayServer::usage(const Member *m, const QList<QByteArray> &lines) const
{
    info(m, "--------------------------------------------------------");
    for (int i = 0; i < lines.size(); ++i)
        i == 0 ? error(m, lines[i]) : info(m, lines[i]);
}

QByteArray GatewayServer::channelRefusal(const QByteArray &channel) const
{
    auto named = [&](const QList<QByteArray> &list) {
        for (const QByteArray &c : list)
            if (key(c) == key(channel))
                return true;
        return false;
    };
    const QByteArray quoted = " \"" + channel + '"';
    if (named(m_options.restrictedChannels))
        return QByteArray::number(Wire::Restricted) + " CHANNELRESTRICTED" + quoted;
    if (named(m_options.fullChannels))
        return QByteArray::number(Wire::ChannelFull) + " CHANNELFULL" + quoted;
    if (named(m_options.missingChannels))
        return QByteArray::number(Wire::ChannelMissing) + " CHANNELDOESNOTEXIST" + quoted;
    return QByteArray();
}

void GatewayServer::enterChannel(Member *m, const QByteArray &channel, bool withTopic)
{
    m_model.enter(m, channel);
    if (m->client && withTopic && m->channel == key(DefaultChannel))
        info(m, ChatTopic);
}

// ---- talk ------------------------------------------------------------------

void GatewayServer::talk(Member *from, const QByteArray &text)
{
    const ChannelModel::Channel *c = m_model.channel(from->channel);
    if (!c)
        return;
    bool heard = false;
    for (const Member *other : c->members)
        if (m_model.hears(other, from)) {
            heard = true;
            send(other, QByteArray::number(Wire::Talk) + " TALK " + from->name + ' ' +
                            m_model.flagsText(other, from) + " \"" + text + '"');
        }
    if (!heard)
        info(from, "No one hears you.");
}

void GatewayServer::emote(Member *from, const QByteArray &text)
{
    const ChannelModel::Channel *c = m_model.channel(from->channel);
    if (!c)
        return;
    bool heard = false;
    for (const Member *other : c->members) {
        if (other != from && !m_model.hears(other, from))
            continue;
        heard = heard || other != from;
        send(other, QByteArray::number(Wire::Emote) + " EMOTE " + from->name + ' ' +
                        m_model.flagsText(other, from) + " \"" + text + '"');
    }
    if (!heard)
        info(from, "No one hears you.");
}

void GatewayServer::whisper(Member *from, const QByteArray &toName, const QByteArray &text)
{
    Member *to = findMember(toName);
    if (!to) {
        error(from, "That user is not logged on.");
        return;
    }
    GatewayConnection *toConn = connectionOf(to);
    if (toConn && toConn->dnd) {
        info(from, to->name + " is unavailable (" + toConn->dndMessage + ')');
        return;
    }
    send(from, QByteArray::number(Wire::WhisperSent) + " WHISPER " + to->name + ' ' +
                   m_model.flagsText(from, to) + " \"" + text + '"');
    if (toConn && (to == from || m_model.hears(to, from))) {
        send(to, QByteArray::number(Wire::Whisper) + " WHISPER " + from->name + ' ' +
                     m_model.flagsText(to, from) + " \"" + text + '"');
        toConn->lastWhisperer = from->name;
    }
    if (toConn && toConn->isAway)
        info(from, to->name + " is away (" + toConn->away + ')');
}

// ---- the client side -----------------------------------------------------

bool GatewayServer::passwordAccepted(const QByteArray &name, const QByteArray &password) const
{
    if (!ChannelModel::validName(name) || findMember(name))
        return false;
    if (m_options.accounts.isEmpty())
        return true;
    // Passwords are compared without regard to case, as the real servers do.
    auto it = m_options.accounts.find(key(name));
    return it != m_options.accounts.end() && key(*it) == key(password);
}

void GatewayServer::loggedIn(GatewayConnection *conn, const QByteArray &name)
{
    conn->name = name;
    Member *m = addMember(name, "CHAT", ClientFlags, conn);
    send(m, QByteArray::number(Wire::UniqueName) + " NAME " + name);
    enterChannel(m, DefaultChannel, false);
    const QByteArray users = QByteArray::number(userCount());
    const int accounts =
        m_options.accounts.isEmpty() ? userCount() : int(m_options.accounts.size());
    error(m, "Hello " + name + ", welcome to PvPGN Realm!");
    info(m, "Running version PvPGN 1.99.7.2.1-PRO on vm.");
    info(m, "This server is hosted by a PvPGN user");
    info(m, "");
    info(m, "There are " + QByteArray::number(accounts) + " user accounts on this server.");
    info(m, "There are currently " + users + " users in 0 games of Chat,");
    info(m, "and " + users + " users playing 0 games and chatting in " +
                QByteArray::number(channelCount()) + " channels.");
    info(m, "Having trouble with a command? Type /help to");
    info(m, "learn more about it.");
    info(m, "Type /language to switch translation.");
    info(m, "");
    send(m, QByteArray::number(Wire::Talk) + " TALK " + name + ' ' + m_model.flagsText(m, m) +
                " \"You have no mail.\"");
    info(m, ChatTopic);
    if (hostile::afterLogin(m_options.hostile, conn))
        return;
    for (const QByteArray &line : m_options.script)
        send(m, line);
    for (const QByteArray &text : m_options.broadcasts)
        send(m, QByteArray::number(Wire::Broadcast) + " _ \"" + text + '"');
    if (m_options.burst > 0)
        conn->startBurst(m_options.burst, m_options.burstLength);
}

void GatewayServer::clientLine(GatewayConnection *conn, const QByteArray &line)
{
    Member *m = findMember(conn->name);
    if (!m || connectionOf(m) != conn)
        return;
    if (!line.startsWith('/')) {
        talk(m, line);
        return;
    }
    QByteArray rest;
    const QByteArray cmd = key(firstWord(line.mid(1), &rest));
    runCommand(*this, m, cmd, rest);
}

// ---- to every client ------------------------------------------------------

void GatewayServer::broadcast(const QByteArray &text)
{
    sendToAll(QByteArray::number(Wire::Broadcast) + " _ \"" + text + "\"\r\n");
}

void GatewayServer::sendToAll(const QByteArray &bytes)
{
    for (const Member *m : m_model.members())
        if (GatewayConnection *conn = connectionOf(m))
            conn->write(bytes);
}

void GatewayServer::closeAll()
{
    const QList<GatewayConnection *> all = m_connections;
    for (GatewayConnection *c : all)
        c->close();
}
