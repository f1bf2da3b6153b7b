#include "session/TSession.h"

#include "base/clock.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"

#include <QProcessEnvironment>

TSession::TSession(QObject *parent)
    : QObject(parent), bnet(new TChatInterface(this)), process(new TBnetChat(this))
{
    process->ChatInterface = bnet;
    reconnectTimer = new TClockTimer(this);
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &TClockTimer::timeout, this,
            [this] { guarded([this] { reconnectDue(); }); });
    keepaliveTimer = new TClockTimer(this);
    keepaliveTimer->setInterval(1000);
    connect(keepaliveTimer, &TClockTimer::timeout, this,
            [this] { guarded([this] { checkKeepalive(); }); });
    wire();
}

TSession::~TSession()
{
    // The link's last events must not reach a session half torn down.
    bnet->OnDisconnect = nullptr;
    bnet->OnConnectClosed = nullptr;
    bnet->OnDataReceived = nullptr;
}

void TSession::wire()
{
    bnet->OnConnect = [this] {
        m_uniqueNameSeen = false; // every connection starts before the gateway names us
        m_loginRefused = false;
        m_keepalive.reset();
        m_keepalive.heard(currentDateTime());
        keepaliveTimer->start();
        Q_EMIT linkUp(bnet->Address);
        if (!bnet->LinkOptionsProblem().isEmpty())
            Q_EMIT notice(QStringLiteral("A dead link may go unnoticed for a long time: the "
                                         "socket did not take its timers: ") +
                          bnet->LinkOptionsProblem());
        process->Login();
        Q_EMIT stateChanged();
    };
    bnet->OnDisconnect = [this] {
        keepaliveTimer->stop();
        Q_EMIT linkDown();
        Q_EMIT stateChanged();
    };
    bnet->OnConnectClosed = [this] {
        keepaliveTimer->stop();
        // A link that died rather than was closed says why first.
        if (!bnet->LostText().isEmpty())
            Q_EMIT notice(QStringLiteral("The link to the server was lost: ") + bnet->LostText() +
                          QLatin1Char('.'));
        Q_EMIT linkDown();
        linkLost();
        Q_EMIT stateChanged();
    };
    bnet->OnDataReceived = [this](const QString &line) {
        m_keepalive.heard(currentDateTime());
        process->ParseLine(line);
        Q_EMIT lineReceived(line);
    };
    bnet->OnLogin = [this] { Q_EMIT loggedIn(); };
    bnet->OnSocketError = [this] {
        Q_EMIT socketError(bnet->SocketErrorText());
        // A connect that failed (an error on a live link ends in its close).
        if (!bnet->Connected()) {
            linkLost();
            Q_EMIT stateChanged();
        }
    };
    process->OnKeepAlive = [this] { m_keepalive.keepalive(currentDateTime()); };

    using User3 = void (TSession::*)(const QString &, const QString &, const QString &);
    using Text2 = void (TSession::*)(const QString &, const QString &);
    using Text1 = void (TSession::*)(const QString &);
    auto user3 = [this](User3 signal) {
        return [this, signal](const QString &u, const QString &f, const QString &t) {
            Q_EMIT(this->*signal)(u, f, t);
        };
    };
    auto text2 = [this](Text2 signal) {
        return [this, signal](const QString &a, const QString &b) { Q_EMIT(this->*signal)(a, b); };
    };
    auto text1 = [this](Text1 signal) {
        return [this, signal](const QString &a) { Q_EMIT(this->*signal)(a); };
    };
    process->OnShowUser = user3(&TSession::showUser);
    process->OnJoin = user3(&TSession::join);
    process->OnLeave = user3(&TSession::leave);
    process->OnUserFlags = text2(&TSession::userFlags);
    process->OnChannel = text1(&TSession::channel);
    process->OnUniqueName = [this](const QString &user) {
        m_uniqueNameSeen = true;
        // Quietly: the gateway's greeting shows that the link is back.
        m_reconnect.end();
        Q_EMIT uniqueName(user);
    };
    process->OnTalk = text2(&TSession::talk);
    process->OnEmote = text2(&TSession::emote);
    process->OnWhisper = text2(&TSession::whisper);
    process->OnWhisperSent = text2(&TSession::whisperSent);
    process->OnBroadcast = text1(&TSession::broadcast);
    process->OnChannelFull = text1(&TSession::channelFull);
    process->OnInfo = text1(&TSession::info);
    process->OnChanNotExist = text1(&TSession::chanNotExist);
    process->OnError = text1(&TSession::error);
    process->OnRestricted = text1(&TSession::restricted);
    process->OnUnHandled = [this](const QString &line) {
        // Before the login is through, the server speaks in plain lines with
        // no code ("Login failed."): the user must see them. Afterwards such
        // lines are of no interest.
        if (m_uniqueNameSeen)
            return;
        Q_EMIT unhandled(line);
        if (line.startsWith(QLatin1String("Login failed")))
            loginRefused();
    };
    process->OnRefused = [this](const QString &line, int waitMs) { Q_EMIT refused(line, waitMs); };
    process->OnUnsent = [this](const QStringList &lines) { Q_EMIT unsent(lines); };
}

bool TSession::connected() const { return bnet->Connected(); }

bool TSession::connecting() const { return bnet->Connecting(); }

QString TSession::progressText() const
{
    if (!connecting())
        return QString();
    const QString via = TProxy::describe(bnet->Proxy);
    return QStringLiteral("Connecting to %1, port %2%3... (Disconnect cancels)")
        .arg(bnet->Address)
        .arg(bnet->Port)
        .arg(via.isEmpty() ? QString() : QStringLiteral(" through the ") + via);
}

void TSession::checkKeepalive()
{
    if (!bnet->Connected()) {
        keepaliveTimer->stop();
        return;
    }
    const QDateTime now = currentDateTime();
    if (!m_keepalive.overdue(now))
        return;
    const qint64 interval = (m_keepalive.intervalMs() + 999) / 1000;
    const qint64 silent = m_keepalive.silentMs(now) / 1000;
    bnet->Drop(QStringLiteral("the server's keep-alive line, which came every %1 seconds, has "
                              "not come for %2 seconds")
                   .arg(interval)
                   .arg(silent));
}

void TSession::applyQuota(const Settings &s)
{
    process->QuotaUnits = s.quotaUnits;
    process->QuotaWindowMs = s.quotaWindowSeconds * 1000;
    process->QuotaBytesPerUnit = s.quotaBytesPerUnit;
    process->QuotaMarginMs = s.quotaMarginMs;
}

int TSession::wireLimit() const
{
    const Settings s = quotaSettings ? quotaSettings() : settings ? settings() : Settings();
    return TWire::lineLimit(s.quotaUnits, s.quotaBytesPerUnit);
}

TLinePlan TSession::plan(const QString &line) const
{
    TLinePlan p;
    p.line = line;
    p.limit = wireLimit();
    TWire::Plan cut = TWire::planLine(line, p.limit);
    p.outcome = cut.outcome;
    p.pieces = std::move(cut.lines);
    return p;
}

TLinePlan TSession::planWhole(const QString &line) const
{
    TLinePlan p;
    p.line = line;
    p.limit = wireLimit();
    if (line.size() > p.limit)
        p.outcome = TWire::Plan::TooLong;
    else
        p.pieces = QStringList{line};
    return p;
}

void TSession::send(const TLinePlan &plan)
{
    for (const QString &piece : plan.pieces)
        process->SendLine(piece + QLatin1Char('\r'));
}

void TSession::connectNow()
{
    if (connecting()) {
        Q_EMIT notice(QStringLiteral("A connect to %1 is under way; Disconnect cancels it.")
                          .arg(bnet->Address));
        return;
    }
    endReconnect(QString()); // the user connects now, not the schedule
    openLink();
}

void TSession::disconnectNow()
{
    endReconnect(QStringLiteral("Reconnecting stopped."));
    if (connecting())
        Q_EMIT notice(QStringLiteral("The connect to %1 was cancelled.").arg(bnet->Address));
    bnet->Close();
}

void TSession::openLink()
{
    const Settings s = settings ? settings() : Settings();
    applyQuota(s);
    process->UserName = s.userName;
    process->Password = s.password;
    QString problem;
    const QNetworkProxy proxy = TProxy::resolve(s.proxy, TChatInterface::HostOf(s.server),
                                                QProcessEnvironment::systemEnvironment(), &problem);
    if (!problem.isEmpty()) {
        // Connecting directly instead would go round the user's proxy.
        endReconnect(QString());
        Q_EMIT notice(QStringLiteral("Not connecting: ") + problem);
        Q_EMIT stateChanged();
        return;
    }
    bnet->Proxy = proxy;
    bnet->Address = s.server;
    bnet->Open();
    Q_EMIT stateChanged();
}

void TSession::linkLost()
{
    const bool wanted = settings && settings().reconnect;
    if (!wanted) {
        // Switched off while a schedule was under way: it ends here.
        if (reconnecting())
            endReconnect(QStringLiteral("Reconnecting stopped."));
        return;
    }
    if (m_loginRefused)
        return; // the same account and password would be refused again
    const int seconds = m_reconnect.next();
    Q_EMIT notice(QStringLiteral("Reconnecting in %1 seconds.").arg(seconds));
    reconnectTimer->start(seconds * 1000);
    Q_EMIT stateChanged();
}

void TSession::reconnectDue()
{
    if (!reconnecting() || bnet->Connected())
        return;
    if (!(settings && settings().reconnect)) {
        endReconnect(QStringLiteral("Reconnecting stopped."));
        return;
    }
    Q_EMIT notice(QStringLiteral("Reconnecting..."));
    openLink();
}

void TSession::endReconnect(const QString &why)
{
    const bool wasRunning = reconnecting();
    reconnectTimer->stop();
    m_reconnect.end();
    if (wasRunning && !why.isEmpty())
        Q_EMIT notice(why);
    Q_EMIT stateChanged();
}

void TSession::loginRefused()
{
    m_loginRefused = true;
    endReconnect(QStringLiteral("The login was refused; not reconnecting."));
}
