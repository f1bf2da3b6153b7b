#pragma once
// The gateway's channels and who is in them: the members (clients and
// simulated ones), their flags, the squelches that decide who hears and sees
// whom, and the lines that joins, leaves and flag changes send. It holds no
// socket: lines go out through `send`, and only to members that are clients.
#include <QByteArray>
#include <QHash>
#include <QList>
#include <QSet>
#include <functional>

class ChannelModel {
public:
    static constexpr quint16 SquelchedFlag = 0x20;
    static constexpr int MaxUserName = 31;

    struct Member {
        QByteArray name;
        QByteArray product;
        quint16 flags = 0;
        bool client = false;        // a connected client; simulated members get no lines
        QByteArray channel;         // lower-case key of the channel it is in
        QSet<QByteArray> squelched; // lower-case names this member squelched
    };
    struct Channel {
        QByteArray name;
        QList<Member *> members; // in joining order
    };

    ChannelModel() = default;
    ~ChannelModel();
    ChannelModel(const ChannelModel &) = delete;
    ChannelModel &operator=(const ChannelModel &) = delete;

    // Where a line for a client goes.
    std::function<void(const Member *to, const QByteArray &line)> send;

    // Names and channels are the same in any case.
    static QByteArray key(const QByteArray &name) { return name.toLower(); }
    // A name a member may have: 1 to MaxUserName bytes, no space, control
    // character or quote.
    static bool validName(const QByteArray &name);

    Member *find(const QByteArray &name) const;
    // A member in no channel yet; the name must be valid and not taken.
    Member *add(const QByteArray &name, const QByteArray &product, quint16 flags, bool client);
    // Leaves its channel, then is gone.
    void remove(Member *m);
    const QHash<QByteArray, Member *> &members() const { return m_members; } // by key
    int memberCount() const { return m_members.size(); }
    int channelCount() const { return m_channels.size(); }

    // A channel by its name in any case; nullptr when no one is in it.
    const Channel *channel(const QByteArray &name) const;
    // The name of the channel m is in, as its first member spelled it; empty
    // when in none.
    QByteArray channelName(const Member *m) const;

    // Moves m to the channel (leaving the one it was in): the others there
    // see it join, and m gets the channel's name and its user list.
    void enter(Member *m, const QByteArray &channel);
    // The others in m's channel see it leave; an empty channel is gone.
    void leave(Member *m);
    // The others in m's channel, and m, see the new flags.
    void setFlags(Member *m, quint16 flags);

    // viewer stops hearing target and sees it with SquelchedFlag, or hears
    // and sees it as before again; unsquelch is false when it was not squelched.
    void squelch(Member *viewer, const Member *target);
    bool unsquelch(Member *viewer, const Member *target);

    // Who sees what: m's flags as the viewer sees them, and as on the wire.
    quint16 flagsSeenBy(const Member *viewer, const Member *m) const;
    QByteArray flagsText(const Member *viewer, const Member *m) const;
    // Whether viewer gets speaker's talk: not its own, not when squelched.
    bool hears(const Member *viewer, const Member *speaker) const;
    // Tells viewer m's flags as it sees them.
    void showFlags(const Member *viewer, const Member *m) const;

private:
    void deliver(const Member *to, const QByteArray &line) const;
    void sendUserList(const Member *m) const;

    QHash<QByteArray, Member *> m_members; // by key
    QHash<QByteArray, Channel> m_channels; // by key
};
