#pragma once
// One session with the chat gateway: the link (`bnet`), the interpreter
// (`process`), the connect and login sequence, reconnecting after a lost
// link, and the flood quota's figures. It needs no widget: the window
// subscribes to its events and draws what they report, and tests drive it
// on a QCoreApplication.
#include "core/reconnectschedule.h"

#include <QObject>
#include <QString>
#include <QStringList>

#include <functional>

class QTimer;
class TSettingsStore;
class TBnetChat;
class TChatInterface;

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
        QString server;   // a host name to look up
        bool reconnect;
        int quotaUnits;
        int quotaWindowSeconds;
        int quotaBytesPerUnit;
        int quotaMarginMs;
    };
    Settings settings() const;

    // Hands the flood quota's figures to the pacing (a connect and every
    // change of the store's quota do it too).
    void applyQuota(const Settings &s);

    // The user's Connect: a pending reconnect gives way to it.
    void connectNow();
    // The user's Disconnect: ends a pending reconnect as well.
    void disconnectNow();
    // Ends a reconnect schedule; a non-empty why is told (notice).
    void endReconnect(const QString &why);

    bool connected() const;
    // A reconnect schedule is under way: from a lost link or a failed
    // connect until a login goes through or the user ends it.
    bool reconnecting() const { return m_reconnect.running(); }
    // The gateway has named the user on this connection.
    bool loginSeen() const { return m_uniqueNameSeen; }
    // The wait is over: the next attempt.
    void reconnectDue();
    QTimer *reconnectTimer = nullptr;
    // How long one second of the schedule lasts; tests shorten it.
    int reconnectSecondMs = 1000;

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
    // Lines the pacing could not send before the link ended.
    void unsent(const QStringList &lines);

private:
    void wire();
    void openLink();
    // The server closed the link, or a connect failed.
    void linkLost();
    void loginRefused();
    TSettingsStore *m_store = nullptr;
    QMetaObject::Connection m_quotaLink;
    TReconnectSchedule m_reconnect;
    bool m_loginRefused = false; // on this connection
    bool m_uniqueNameSeen = false;
};
