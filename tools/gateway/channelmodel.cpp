#include "channelmodel.h"

#include "base/wirecodes.h"
ChannelModel::~ChannelModel() { qDeleteAll(m_members); }

bool ChannelModel::validName(const QByteArray &name)
{
    if (name.isEmpty() || name.size() > MaxUserName)
        return false;
    for (char c : name) {
        const uchar u = uchar(c);
        if (u <= ' ' || u == '"' || u == 0x7f)
            return false;
    }
    return true;
}

ChannelModel::Member *ChannelModel::find(const QByteArray &name) const
{
    return m_members.value(key(name));
}

ChannelModel::Member *ChannelModel::add(const QByteArray &name, const QByteArray &product,
                                        quint16 flags, bool client)
{
    auto *m = new Member{name, product, flags, client, QByteArray(), {}};
    m_members.insert(key(name), m);
    return m;
}

void ChannelModel::remove(Member *m)
{
    leave(m);
    m_members.remove(key(m->name));
    delete m;
}

const ChannelModel::Channel *ChannelModel::channel(const QByteArray &name) const
{
    auto it = m_channels.find(key(name));
    return it == m_channels.end() ? nullptr : &*it;
}

QByteArray ChannelModel::channelName(const Member *m) const
{
    return m->channel.isEmpty() ? QByteArray() : m_channels.value(m->channel).name;
}

void ChannelModel::enter(Member *m, const QByteArray &channel)
{
    const QByteArray k = key(channel);
    leave(m);
    Channel &c = m_channels[k];
    if (c.name.isEmpty())
        c.name = channel;
    c.members.append(m);
    m->channel = k;
    for (const Member *other : c.members)
        if (other != m && other->client)
            deliver(other, QByteArray::number(Wire::Join) + " JOIN " + m->name + ' ' +
                               flagsText(other, m) + " [" + m->product + ']');
    if (m->client)
        sendUserList(m);
}

void ChannelModel::leave(Member *m)
{
    if (m->channel.isEmpty())
        return;
    auto it = m_channels.find(m->channel);
    m->channel.clear();
    if (it == m_channels.end())
        return;
    it->members.removeOne(m);
    // Only clients get lines: a crowd of simulated members must not cost a
    // line each per arrival or departure.
    for (const Member *other : it->members)
        if (other->client)
            deliver(other, QByteArray::number(Wire::Leave) + " LEAVE " + m->name + ' ' +
                               flagsText(other, m));
    if (it->members.isEmpty())
        m_channels.erase(it);
}

void ChannelModel::sendUserList(const Member *m) const
{
    const Channel &c = *m_channels.constFind(m->channel);
    deliver(m, QByteArray::number(Wire::Channel) + " CHANNEL \"" + c.name + '"');
    // The newcomer first, then the others from the latest arrival back.
    auto userLine = [&](const Member *u) {
        deliver(m, QByteArray::number(Wire::ShowUser) + " USER " + u->name + ' ' + flagsText(m, u) +
                       " [" + u->product + ']');
    };
    userLine(m);
    for (int i = c.members.size() - 1; i >= 0; --i)
        if (c.members[i] != m)
            userLine(c.members[i]);
}

void ChannelModel::setFlags(Member *m, quint16 flags)
{
    m->flags = flags;
    auto it = m_channels.find(m->channel);
    if (it != m_channels.end())
        for (const Member *viewer : it->members)
            showFlags(viewer, m);
}

void ChannelModel::squelch(Member *viewer, const Member *target)
{
    viewer->squelched.insert(key(target->name));
}

bool ChannelModel::unsquelch(Member *viewer, const Member *target)
{
    return viewer->squelched.remove(key(target->name));
}

quint16 ChannelModel::flagsSeenBy(const Member *viewer, const Member *m) const
{
    quint16 flags = m->flags;
    if (viewer->squelched.contains(key(m->name)))
        flags |= SquelchedFlag;
    return flags;
}

QByteArray ChannelModel::flagsText(const Member *viewer, const Member *m) const
{
    return QByteArray::number(flagsSeenBy(viewer, m), 16).rightJustified(4, '0');
}

bool ChannelModel::hears(const Member *viewer, const Member *speaker) const
{
    return viewer != speaker && !viewer->squelched.contains(key(speaker->name));
}

void ChannelModel::showFlags(const Member *viewer, const Member *m) const
{
    deliver(viewer,
            QByteArray::number(Wire::UserFlags) + " USER " + m->name + ' ' + flagsText(viewer, m));
}

void ChannelModel::deliver(const Member *to, const QByteArray &line) const
{
    if (to->client && send)
        send(to, line);
}
