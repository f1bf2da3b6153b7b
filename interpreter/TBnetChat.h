#pragma once
// The interpreter of the chat gateway's numeric event lines: one event per
// line, the login write, and outgoing lines paced by a flood interval and
// by the server's flood quota.
#include "base/clock.h"
#include "base/wirecodes.h"
#include "interpreter/tBaseInterpreter.h"

#include <QList>
#include <QStringList>

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
    // The server's keep-alive line (it carries nothing else).
    std::function<void()> OnKeepAlive;
    // The lines not taken (without their CR, in order) when the link ended:
    // the first `written` of them were written to the link but never
    // acknowledged, so they may have arrived; the rest were still queued.
    std::function<void(const QStringList &lines, int written)> OnUnsent;
    // A line handed to the link was taken by the server's side: Qt has
    // written it to the kernel and the peer has acknowledged its bytes.
    std::function<void(const QString &line)> OnTaken;

    // The server refused the last line sent for its flood quota (fired after
    // OnError). waitMs: when it goes out again; -1: it is not sent again,
    // because the server would refuse it however long the client waited.
    std::function<void(const QString &line, int waitMs)> OnRefused;

    QString UserName = QStringLiteral("Guest");
    QString Password;

    int FloodInterval() const { return floodIntervalMs; }
    // The ticks fall every ms from now on.
    void setFloodInterval(int ms);

    // The server's flood quota as the settings describe it. A line costs one
    // unit per started QuotaBytesPerUnit bytes of its text (CR not counted),
    // at least one; the server refuses a line that brings the units of its
    // last QuotaWindowMs to QuotaUnits, and hangs up at twice that. The
    // pacing adds QuotaMarginMs to the window for the network's delay. Read
    // whenever a line is weighed, so a change counts from the next line.
    int QuotaUnits = 5;
    int QuotaWindowMs = 5000;
    int QuotaBytesPerUnit = Wire::QuotaBytesPerUnit;
    int QuotaMarginMs = 500;

    // The server's words for a refusal by the quota.
    static const QString QuotaRefusal;
    // Milliseconds of a monotonic clock; tests replace it.
    std::function<qint64()> clock;

    bool Login();

    QString GetUser(const QString &line) const override;
    QString GetMess(const QString &line) const override;
    QString GetFlags(const QString &line) const override;
    QString GetUserType(const QString &line) const override;

    void ParseLine(const QString &line) override;
    void SendLine(const QString &line) override;

    // One step of the pacing; the timer calls it every FloodInterval while
    // a tick has something to do (a line waits or is in flight, or the one
    // sent last has not had its tick yet). The ticks between, which would
    // find nothing to do, are not woken for; those that are keep their
    // whole intervals from the start.
    void floodTimerTick();
    // The quota has let the first held line go; the hold timer calls it.
    void holdTimerExpired();
    bool isQueued(const QString &line) const { return sendQueue.contains(line); }
    // The link ended: what was written but not taken, and what is queued,
    // goes back to the owner at once (OnUnsent).
    void linkEnded();
    // A line was written and is not yet taken: no other goes meanwhile.
    bool inFlight() const { return flying; }
    // The round trip the last taken line measured (ms): the next line waits
    // this long after it, so that a refusal is matched to the line it
    // answers.
    int roundTripMs() const { return rttMs; }
    // How often an unacknowledged line is looked at (ms).
    static constexpr int TakenPollMs = 5;
    // Looks whether the line in flight has been taken; the poll calls it.
    void checkTaken();
    int queuedCount() const { return int(sendQueue.size()); }
    // The flood timer is set: a tick has something to do.
    bool ticking() const { return floodTimer.isActive(); }

    // The units a line (its CR included or not) costs.
    int unitsOf(const QString &line) const;
    // Milliseconds until the hold timer lets the first queued line go; -1
    // when no line is held by the quota.
    int holdMs() const { return holdTimer.isActive() ? holdTimer.interval() : -1; }
    // How long the pacing takes the server to remember a line: the window
    // and margin, doubled for every refusal on this connection (at most 60 s).
    int pacingWindowMs() const;
    // Refusals on this connection that raised the pacing window.
    int refusals() const { return backoffBase == baseWindowMs() ? backoff : 0; }
    // Lines handed to the link so far, resent ones included.
    int sentCount() const { return linesSent; }

private:
    struct Sent {
        qint64 at;
        int units;
    };

    // Sends what the pacing lets go now and arms the hold timer for the
    // line the quota holds; then sets the flood timer if a tick has
    // something to do.
    void pump();
    void sendNext();
    void keepTicking();
    // Milliseconds the quota holds a line of these units from now (0: it
    // may go).
    qint64 quotaWait(int units, qint64 now) const;
    qint64 baseWindowMs() const;
    void transmit(const QString &line, bool resend);
    // A refusal of lastSent: puts it back first in the queue and returns the
    // milliseconds until it goes, or -1 when it is not sent again.
    int takeRefusal();
    // Forgets what was sent: a new connection is a new count at the server.
    void resetQuota();
    // Empties the queue because the connection is down.
    void discardQueue();

    TClockTimer floodTimer; // single shot: the next tick with something to do
    int floodIntervalMs = Wire::FloodIntervalMs;
    qint64 tickOriginMs = 0; // clockMs() the ticks count their intervals from
    TClockTimer holdTimer;   // single shot: when the quota lets the held line go
    QTimer takenTimer;       // polls the socket while a line is in flight (real time)
    TClockTimer settleTimer; // single shot: a round trip after the last line was taken
    bool flying = false;
    QString flight;           // the line in flight
    qint64 flightWritten = 0; // clock() when it was written
    int rttMs = 0;
    qint64 settleUntil = 0; // clock(): the next line waits until then
    QStringList sendQueue;
    bool sendReady = true; // the next line may go out at once

    QList<Sent> sentLog;         // lines sent on this connection, oldest first
    QString lastSent;            // the line a refusal arriving now refers to
    bool answerable = false;     // no refusal has been taken for lastSent yet
    bool resendFirst = false;    // the queue's first line is a refused one
    bool lastSentAlone = false;  // lastSent went again after the longest wait
    bool lastSentResend = false; // lastSent was a refused line sent again
    // From a refusal until a refused line is known to have been taken: the
    // server's count may be near the hang-up, whatever the figures say.
    bool cautious = false;
    int linesSent = 0;
    int backoff = 0;        // refusals that doubled the pacing window
    qint64 backoffBase = 0; // the window and margin the doubling started from
    // The buffers the fields of the line being parsed are handed over in.
    QString m_spareUser, m_spareMess, m_spareFlags, m_spareType;
};
