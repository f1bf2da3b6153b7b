// The members the gateway plays itself, for the console and the chatter
// simulation: they join, talk, whisper and change flags like clients, but
// get no lines.
#include "gatewayserver.h"

GatewayServer::Member *GatewayServer::findSimulated(const QByteArray &name, QString *error) const
{
    Member *m = findMember(name);
    if (!m || m->client) {
        *error = QString("No simulated member named '%1'.").arg(QString::fromLatin1(name));
        return nullptr;
    }
    return m;
}

QList<QByteArray> GatewayServer::simulatedNames() const
{
    QList<QByteArray> names;
    for (const Member *m : m_model.members())
        if (!m->client)
            names.append(m->name);
    return names;
}

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
