#pragma once
// The interpreter of the chat gateway's numeric event lines: one event per
// line, the login write, and outgoing lines paced by a flood interval.
#include "interpreter/tBaseInterpreter.h"

#include <QStringList>
#include <QTimer>

#include <functional>

class TBnetChat : public tBaseInterpreter {
    Q_OBJECT
public:
    explicit TBnetChat(QObject *parent = nullptr);

    std::function<void(const QString &User, const QString &Mess)> OnTalk, OnWhisper, OnWhisperSent,
        OnEmote;
    std::function<void(const QString &User, const QString &Flags, const QString &UserType)>
        OnShowUser, OnJoin, OnLeave;
    std::function<void(const QString &Mess)> OnInfo, OnBroadcast, OnChannel, OnChannelFull,
        OnChanNotExist, OnRestricted, OnError, OnUnHandled;
    std::function<void(const QString &User, const QString &Flags)> OnUserFlags;
    std::function<void(const QString &User)> OnUniqueName;
    // The lines still queued (without their CR, in order) when the queue is
    // emptied because the connection is no longer connected.
    std::function<void(const QStringList &lines)> OnUnsent;

    QString UserName = QStringLiteral("Guest");
    QString Password;

    int FloodInterval() const { return floodTimer.interval(); }
    void setFloodInterval(int ms) { floodTimer.setInterval(ms); }

    bool Login();

    QString GetUser(const QString &line) const override;
    QString GetMess(const QString &line) const override;
    QString GetFlags(const QString &line) const override;
    QString GetUserType(const QString &line) const override;

    void ParseLine(const QString &line) override;
    void SendLine(const QString &line) override;

    // One step of the pacing; the timer calls it every FloodInterval.
    void floodTimerTick();
    bool isQueued(const QString &line) const { return sendQueue.contains(line); }
    int queuedCount() const { return int(sendQueue.size()); }

private:
    QTimer floodTimer;
    QStringList sendQueue;
    bool sendReady = true; // the next line may go out at once
};
