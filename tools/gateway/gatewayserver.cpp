#include "gatewayserver.h"

#include "commands.h"
#include "gatewayconnection.h"
#include "hostile.h"

#include <QElapsedTimer>
#include <QTcpSocket>
#include <memory>

namespace {

const QByteArray ChatTopic =
    "Chat topic: This is the public chat channel. Feel free to chat...";

QByteArray key(const QByteArray &name) { return ChannelModel::key(name); }

bool parseFlags(const QByteArray &text, quint16 *flags)
{
    if (text.isEmpty() || text.size() > 4)
        return false;
    bool ok = false;
    const uint v = text.toUInt(&ok, 16);
    if (!ok)
        return false;
    *flags = quint16(v);
    return true;
}

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
}

GatewayServer::~GatewayServer() = default; // connections are children and go with us

bool GatewayServer::listen(QString *error)
{
    if (!m_server.listen(QHostAddress::LocalHost, m_options.port)) {
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
    memberGone(conn);
    m_connections.removeOne(conn);
    conn->deleteLater();
}

// ---- members and channels ------------------------------------------------

GatewayServer::Member *GatewayServer::findSimulated(const QByteArray &name, QString *error) const
{
    Member *m = findMember(name);
    if (!m || m->client) {
        *error = QString("No simulated member named '%1'.").arg(QString::fromLatin1(name));
        return nullptr;
    }
    return m;
}

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
    m_model.remove(m);
}

QList<QByteArray> GatewayServer::simulatedNames() const
{
    QList<QByteArray> names;
    for (const Member *m : m_model.members())
        if (!m->client)
            names.append(m->name);
    return names;
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
    send(m, "1018 INFO \"" + text + '"');
}

void GatewayServer::error(const Member *m, const QByteArray &text) const
{
    send(m, "1019 ERROR \"" + text + '"');
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
        return "1015 CHANNELRESTRICTED" + quoted;
    if (named(m_options.fullChannels))
        return "1013 CHANNELFULL" + quoted;
    if (named(m_options.missingChannels))
        return "1014 CHANNELDOESNOTEXIST" + quoted;
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
            send(other, "1005 TALK " + from->name + ' ' + m_model.flagsText(other, from) + " \""
                            + text + '"');
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
        send(other, "1023 EMOTE " + from->name + ' ' + m_model.flagsText(other, from) + " \""
                        + text + '"');
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
    send(from,
         "1010 WHISPER " + to->name + ' ' + m_model.flagsText(from, to) + " \"" + text + '"');
    if (toConn && (to == from || m_model.hears(to, from))) {
        send(to,
             "1004 WHISPER " + from->name + ' ' + m_model.flagsText(to, from) + " \"" + text + '"');
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
    send(m, "2010 NAME " + name);
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
    info(m, "and " + users + " users playing 0 games and chatting in "
                + QByteArray::number(channelCount()) + " channels.");
    info(m, "Having trouble with a command? Type /help to");
    info(m, "learn more about it.");
    info(m, "Type /language to switch translation.");
    info(m, "");
    send(m, "1005 TALK " + name + ' ' + m_model.flagsText(m, m) + " \"You have no mail.\"");
    info(m, ChatTopic);
    if (hostile::afterLogin(m_options.hostile, conn))
        return;
    for (const QByteArray &line : m_options.script)
        send(m, line);
    for (const QByteArray &text : m_options.broadcasts)
        send(m, "1006 _ \"" + text + '"');
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

// ---- simulated members and the console ------------------------------------

QString GatewayServer::simJoin(const QByteArray &name, const QByteArray &product, quint16 flags)
{
    if (!ChannelModel::validName(name))
        return QString("'%1' is not a valid user name.").arg(QString::fromLatin1(name));
    if (findMember(name))
        return QString("'%1' is already logged on.").arg(QString::fromLatin1(name));
    if (product.size() != 4)
        return QString("'%1' is not a four-letter product code.").arg(QString::fromLatin1(product));
    Member *m = addMember(name, product.toUpper(), flags, nullptr);
    enterChannel(m, DefaultChannel, false);
    return QString();
}

QString GatewayServer::simLeave(const QByteArray &name)
{
    QString err;
    Member *m = findSimulated(name, &err);
    if (m)
        removeMember(m);
    return err;
}

QString GatewayServer::simSay(const QByteArray &name, const QByteArray &text)
{
    QString err;
    if (Member *m = findSimulated(name, &err))
        talk(m, text);
    return err;
}

QString GatewayServer::simEmote(const QByteArray &name, const QByteArray &text)
{
    QString err;
    if (Member *m = findSimulated(name, &err))
        emote(m, text);
    return err;
}

QString GatewayServer::simWhisper(const QByteArray &name, const QByteArray &to,
                                  const QByteArray &text)
{
    QString err;
    Member *m = findSimulated(name, &err);
    if (!m)
        return err;
    Member *target = findMember(to);
    if (!target || !target->client)
        return QString("No client named '%1' is logged on.").arg(QString::fromLatin1(to));
    whisper(m, to, text);
    return QString();
}

QString GatewayServer::setFlags(const QByteArray &name, quint16 flags)
{
    Member *m = findMember(name);
    if (!m)
        return QString("No member named '%1'.").arg(QString::fromLatin1(name));
    m_model.setFlags(m, flags);
    return QString();
}

void GatewayServer::broadcast(const QByteArray &text)
{
    sendToAll("1006 _ \"" + text + "\"\r\n");
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

QString GatewayServer::consoleCommand(const QByteArray &line, bool *quit)
{
    QByteArray rest;
    const QByteArray cmd = key(firstWord(line.trimmed(), &rest));
    QByteArray tail;
    const QByteArray arg = firstWord(rest, &tail);
    if (cmd.isEmpty())
        return QString();
    if (cmd == "broadcast") {
        broadcast(rest);
    } else if (cmd == "raw") {
        sendToAll(rest + "\r\n");
    } else if (cmd == "rawbytes") {
        QByteArray hex = rest;
        hex.replace(' ', "");
        for (char c : hex)
            if (!isxdigit(uchar(c)))
                return "rawbytes wants hexadecimal digits, such as 31 30 30 35 0d 0a.";
        if (hex.size() % 2)
            return "rawbytes wants an even number of hexadecimal digits.";
        sendToAll(QByteArray::fromHex(hex));
    } else if (cmd == "join") {
        QByteArray more;
        const QByteArray product = firstWord(tail, &more);
        quint16 flags = ClientFlags;
        if (!more.isEmpty() && !parseFlags(more, &flags))
            return QString("'%1' is not a flags value of up to four hexadecimal digits.")
                .arg(QString::fromLatin1(more));
        return simJoin(arg, product.isEmpty() ? QByteArray("CHAT") : product, flags);
    } else if (cmd == "joins" || cmd == "leaves") {
        // A burst: PREFIX0 .. PREFIX(N-1) join or leave in one go.
        QByteArray more;
        const QByteArray prefix = firstWord(tail, &more);
        bool ok = false;
        const int n = arg.toInt(&ok);
        if (!ok || n < 0 || prefix.isEmpty())
            return QString("%1 wants a count and a name prefix.").arg(QString::fromLatin1(cmd));
        QByteArray unused;
        const QByteArray product = more.isEmpty() ? QByteArray("CHAT") : firstWord(more, &unused);
        for (int i = 0; i < n; ++i) {
            const QByteArray name = prefix + QByteArray::number(i);
            const QString problem =
                cmd == "joins" ? simJoin(name, product, ClientFlags) : simLeave(name);
            if (!problem.isEmpty())
                return problem;
        }
    } else if (cmd == "leave") {
        return simLeave(arg);
    } else if (cmd == "say") {
        return simSay(arg, tail);
    } else if (cmd == "emote") {
        return simEmote(arg, tail);
    } else if (cmd == "whisper") {
        QByteArray text;
        const QByteArray to = firstWord(tail, &text);
        return simWhisper(arg, to, text);
    } else if (cmd == "flags") {
        quint16 flags = 0;
        if (!parseFlags(tail, &flags))
            return QString("'%1' is not a flags value of up to four hexadecimal digits.")
                .arg(QString::fromLatin1(tail));
        return setFlags(arg, flags);
    } else if (cmd == "close") {
        closeAll();
    } else if (cmd == "quit") {
        if (quit)
            *quit = true;
    } else {
        return QString("Unknown console command '%1'.").arg(QString::fromLatin1(cmd));
    }
    return QString();
}
