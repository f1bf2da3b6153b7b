#pragma once
// One session with the chat gateway: the link (`bnet`), the interpreter
// (`process`), the connect and login sequence, reconnecting after a lost
// link, and the flood quota's figures. It needs no widget: the window
// subscribes to its events and draws what they report, and tests drive it
// on a QCoreApplication.
#include "base/clock.h"
#include "connection/proxychoice.h"
#include "core/keepalivewatch.h"
#include "core/reconnectschedule.h"
#include "core/usertable.h"
#include "core/wiresplit.h"

#include <QDateTime>
#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class TSettingsStore;
class TBnetChat;
class TChatInterface;

// A line on its way to the server, planned once: cut into pieces that fit,
// weighed against the longest line the server takes, and checked.
struct TLinePlan {
    QString line;       // as planned (bytes)
    QStringList pieces; // what goes, in order; none when it cannot go
    TWire::Plan::Outcome outcome = TWire::Plan::Fits;
    int limit = 0; // the longest line the server took when planned
    bool goes() const { return outcome == TWire::Plan::Fits || outcome == TWire::Plan::Split; }
};

class TSession : public QObject {
    Q_OBJECT
public:
    explicit TSession(QObject *parent = nullptr);
    ~TSession() override;

    TChatInterface *bnet = nullptr;
    TBnetChat *process = nullptr;

    // The program's settings; until one is given, a store of the session's
    // own at the start values. The quota's figures reach the pacing as the
    // store changes them.
    void setStore(TSettingsStore *store);
    TSettingsStore *store() const { return m_store; }

    // What a connect attempt uses, read from the store at each attempt, so
    // a reconnect takes the settings as they are then.
    struct Settings {
        QString userName; // bytes
        QString password; // bytes
        QString server;   // a host name to look up, or an IPv4 or IPv6 address
        bool reconnect = false;
        TProxyChoice proxy;
        int quotaUnits = 5;
        int quotaWindowSeconds = 5;
        int quotaBytesPerUnit = 0;
        int quotaMarginMs = 500;
    };
    Settings settings() const;
    // The quota's figures alone (the other fields as they start): cutting
    // a line reads nothing else.
    Settings quotaSettings() const;

    // Hands the flood quota's figures to the pacing (a connect and every
    // change of the store's quota do it too).
    void applyQuota(const Settings &s);

    // The longest line the server takes (the quota's figures).
    int wireLimit() const;
    // A line the user typed: talk, whispers and emotes are cut into pieces
    // that fit; any other command must fit as it is.
    TLinePlan plan(const QString &line) const;
    // A line the program put together (a command with a name or a setting
    // in it): it goes whole or not at all.
    TLinePlan planWhole(const QString &line) const;
    // Hands a plan's pieces to the pacing, each ended by a CR.
    void send(const TLinePlan &plan);

    // The user's Connect: a pending reconnect gives way to it. While a
    // connect is under way it says so and leaves that one be.
    void connectNow();
    // The user's Disconnect: ends a pending reconnect and cancels a connect
    // under way as well.
    void disconnectNow();
    // Ends a reconnect schedule; a non-empty why is told (notice).
    void endReconnect(const QString &why);

    bool connected() const;
    // A connect is under way: the name is looked up or the link is opening.
    bool connecting() const;
    // What the window shows while connecting ("Connecting to ..."); empty
    // when no connect is under way.
    QString progressText() const;
    // A reconnect schedule is under way: from a lost link or a failed
    // connect until a login goes through or the user ends it.
    bool reconnecting() const { return m_reconnect.running(); }
    // The gateway has named the user on this connection.
    bool loginSeen() const { return m_uniqueNameSeen; }
    // The wait is over: the next attempt.
    void reconnectDue();
    // The wait before the next attempt, on the program's clock.
    TClockTimer *reconnectTimer = nullptr;
    // Fires when the server's keep-alive line would be overdue (on the
    // program's clock); idle until two of them have set the pace.
    TClockTimer *keepaliveTimer = nullptr;
    const TKeepaliveWatch &keepaliveWatch() const { return m_keepalive; }
    // Declares the link dead if the server's keep-alive line is overdue,
    // else sets the keep-alive timer for the deadline as it now stands.
    void checkKeepalive();
    // How long after a lost link a refused login is taken for the server
    // still holding the old session, and tried again.
    static constexpr int heldSessionSeconds = 30 * 60;
    // This connection was opened by reconnecting after a logged-in link was
    // lost (not by the user's Connect): the server forgot the channel and
    // the away state, which the login puts back.
    bool returning() const { return m_lostAt.isValid(); }
    // The channel the user was in when the link was lost, for the login's
    // joins to go back to; empty once back, after a refusal, or on the
    // user's own Connect (then the home channel is joined).
    QString returnChannel() const { return m_returnTo; }
    // The channel the server last put the user in on this connection.
    QString currentChannel() const { return m_channel; }

    // --- The channel's members (members.cpp) -----------------------------
    // Entries 1..userCount are in use, in order of arrival; whoever sets
    // userCount to 0 empties the table.
    tUserTable userTable;
    int userCount = 0;
    // The entries in use: userCount, as far as the table reaches.
    int usedUsers() const;
    // The squelched mark a new entry starts with (the permasquelch list);
    // unset: none.
    std::function<bool(const QString &name)> startsSquelched;
    // The last entry in use with this exact name (0: none).
    int getUserID(const QString &name) const;
    bool inUserTable(const QString &name) const { return getUserID(name) != 0; }
    // Appends an entry; a name already present gets a second one.
    void addUser(const QString &name, const QString &product, const QString &flags);
    // Removes the entry getUserID finds; false when there is none.
    bool delUser(const QString &name);
    // Records a line the member said as the newest of their last three.
    void modUser(const QString &name, const QString &line);
    // Empties the last lines of members who said nothing for longer than
    // the autosquelch's history delay.
    void expireHistories();

Q_SIGNALS:
    // The link is up; the login goes out right after this.
    void linkUp(const QString &address);
    // The link ended, closed by either side.
    void linkDown();
    void loggedIn();
    // The socket failed; the text is the socket layer's (may be empty).
    void socketError(const QString &why);
    // A line as it came, after the interpreter's events for it.
    void lineReceived(const QString &line);
    // What the session has to tell the user about itself (a Console line).
    void notice(const QString &text);
    // Connected or reconnecting may have changed.
    void stateChanged();

    // The server's events.
    void showUser(const QString &user, const QString &flags, const QString &userType);
    void join(const QString &user, const QString &flags, const QString &userType);
    void leave(const QString &user, const QString &flags, const QString &userType);
    void userFlags(const QString &user, const QString &flags);
    void channel(const QString &name);
    void uniqueName(const QString &user);
    void talk(const QString &user, const QString &text);
    void emote(const QString &user, const QString &text);
    void whisper(const QString &user, const QString &text);
    void whisperSent(const QString &user, const QString &text);
    void broadcast(const QString &text);
    void channelFull(const QString &text);
    void info(const QString &text);
    void chanNotExist(const QString &text);
    void error(const QString &text);
    void restricted(const QString &text);
    // A line with no code before the login is through ("Login failed.").
    void unhandled(const QString &line);
    // The server's flood quota refused the last line sent (waitMs: when it
    // goes again; -1: it does not).
    void refused(const QString &line, int waitMs);
    // Lines the server's side had not taken when the link ended: the first
    // `written` were written and may have arrived, the rest were queued.
    void unsent(const QStringList &lines, int written);
    // A line handed to the link has been taken by the server's side.
    void taken(const QString &line);

private:
    void setKeepaliveTimer(const QDateTime &now);
    void wire();
    void openLink();
    // The server closed the link, or a connect failed.
    void linkLost();
    void loginRefused();
    // The wait before the next attempt of the schedule, said and started.
    void scheduleAttempt();
    // The server would not let the user back into the channel.
    void returnRefused();
    TSettingsStore *m_store = nullptr;
    QMetaObject::Connection m_quotaLink;
    TReconnectSchedule m_reconnect;
    TKeepaliveWatch m_keepalive;
    QDateTime m_lostAt;          // when a logged-in link was lost; invalid: not returning
    QString m_returnTo;          // see returnChannel()
    QString m_channel;           // bytes
    bool m_loginRefused = false; // on this connection
    bool m_uniqueNameSeen = false;
    // No flood history still held is older than this (invalid: none is
    // held), so that most updates need not read the table.
    QDateTime m_oldestHistory;
};
