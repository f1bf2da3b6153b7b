#include "session/TSession.h"

#include "base/clock.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"

#include <QProcessEnvironment>
#include <QTcpSocket>

#include <algorithm>
#include <climits>

TSession::TSession(QObject *parent)
    : QObject(parent), bnet(new TChatInterface(this)), process(new TBnetChat(this))
{
    process->ChatInterface = bnet;
    reconnectTimer = new TClockTimer(this);
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &TClockTimer::timeout, this,
            [this] { guarded([this] { reconnectDue(); }); });
    // Set for the moment the keep-alive line would be overdue, not ticking:
    // a quiet link costs no wake-ups.
    keepaliveTimer = new TClockTimer(this);
    keepaliveTimer->setSingleShot(true);
    keepaliveTimer->setTimerType(Qt::PreciseTimer);
    connect(keepaliveTimer, &TClockTimer::timeout, this,
            [this] { guarded([this] { checkKeepalive(); }); });
    wire();
    setStore(new TSettingsStore(this));
}

void TSession::setStore(TSettingsStore *store)
{
    disconnect(m_quotaLink);
    m_store = store;
    m_quotaLink = connect(store, &TSettingsStore::quotaChanged, this,
                          [this] { applyQuota(quotaSettings()); });
}

TSession::Settings TSession::quotaSettings() const
{
    using namespace TSetting;
    const TSettingsStore &s = *m_store;
    Settings out;
    out.quotaUnits = s.number(quotaUnits);
    out.quotaWindowSeconds = s.number(quotaWindow);
    out.quotaBytesPerUnit = s.number(quotaBytesPerUnit);
    out.quotaMarginMs = s.number(quotaMargin);
    return out;
}

TSession::Settings TSession::settings() const
{
    using namespace TSetting;
    const TSettingsStore &s = *m_store;
    Settings out = quotaSettings();
    // Name and password go out as bytes; the server is a host name.
    out.userName = s.bytes(username);
    out.password = s.bytes(password);
    out.server = s.shown(server);
    out.reconnect = s.flag(autoReconnect);
    out.proxy.kind = TProxyChoice::Kind(std::max(0, s.number(proxyKind)));
    out.proxy.host = s.shown(proxyHost);
    out.proxy.port = quint16(s.number(proxyPort));
    out.proxy.user = s.shown(proxyUser);
    out.proxy.password = s.shown(proxyPassword);
    return out;
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
        keepaliveTimer->stop(); // set once two keep-alive lines have come
        // The line in flight is looked at once more as the link starts to
        // close, while its socket can still say what the peer acknowledged:
        // a line taken just before a close is not given back as unsure.
        const QList<QTcpSocket *> sockets =
            bnet->findChildren<QTcpSocket *>(QString(), Qt::FindDirectChildrenOnly);
        if (!sockets.isEmpty())
            connect(sockets.last(), &QAbstractSocket::stateChanged, this,
                    [this](QAbstractSocket::SocketState state) {
                        if (state == QAbstractSocket::ClosingState)
                            guarded([this] { process->checkTaken(); });
                    });
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
        // What the server's side has not taken goes back to the user now,
        // before a new link could carry it without being asked.
        process->linkEnded();
        Q_EMIT stateChanged();
    };
    bnet->OnConnectClosed = [this] {
        keepaliveTimer->stop();
        // A link that died rather than was closed says why first.
        if (!bnet->LostText().isEmpty())
            Q_EMIT notice(QStringLiteral("The link to the server was lost: ") + bnet->LostText() +
                          QLatin1Char('.'));
        if (m_uniqueNameSeen) {
            // A session the server may still hold; its channel is where the
            // reconnect goes back to.
            m_lostAt = currentDateTime();
            m_returnTo = m_channel;
        }
        Q_EMIT linkDown();
        process->linkEnded();
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
    process->OnKeepAlive = [this] {
        const QDateTime now = currentDateTime();
        m_keepalive.keepalive(now);
        // Lines heard later move the deadline on; the timer, when it
        // fires, looks again.
        if (!keepaliveTimer->isActive())
            setKeepaliveTimer(now);
    };

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
    process->OnChannel = [this](const QString &name) {
        m_channel = name;
        if (name == m_returnTo)
            m_returnTo.clear(); // back where the user was
        Q_EMIT channel(name);
    };
    process->OnUniqueName = [this](const QString &user) {
        m_uniqueNameSeen = true;
        m_channel.clear();
        // Quietly: the gateway's greeting shows that the link is back.
        m_reconnect.end();
        m_lostAt = QDateTime();
        Q_EMIT uniqueName(user);
    };
    process->OnTalk = text2(&TSession::talk);
    process->OnEmote = text2(&TSession::emote);
    process->OnWhisper = text2(&TSession::whisper);
    process->OnWhisperSent = text2(&TSession::whisperSent);
    process->OnBroadcast = text1(&TSession::broadcast);
    // A refusal while going back: the channel is full, restricted or gone.
    const auto refusal = [this](Text1 signal) {
        return [this, signal](const QString &text) {
            Q_EMIT(this->*signal)(text);
            if (!m_returnTo.isEmpty() && m_uniqueNameSeen)
                returnRefused();
        };
    };
    process->OnChannelFull = refusal(&TSession::channelFull);
    process->OnInfo = text1(&TSession::info);
    process->OnChanNotExist = refusal(&TSession::chanNotExist);
    process->OnError = text1(&TSession::error);
    process->OnRestricted = refusal(&TSession::restricted);
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
    process->OnUnsent = [this](const QStringList &lines, int written) {
        Q_EMIT unsent(lines, written);
    };
    process->OnTaken = [this](const QString &line) { Q_EMIT taken(line); };
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
    if (!m_keepalive.overdue(now)) {
        setKeepaliveTimer(now);
        return;
    }
    const qint64 interval = (m_keepalive.intervalMs() + 999) / 1000;
    const qint64 silent = m_keepalive.silentMs(now) / 1000;
    bnet->Drop(QStringLiteral("the server's keep-alive line, which came every %1 seconds, has "
                              "not come for %2 seconds")
                   .arg(interval)
                   .arg(silent));
}

void TSession::setKeepaliveTimer(const QDateTime &now)
{
    const QDateTime due = m_keepalive.deadline();
    if (!due.isValid()) {
        keepaliveTimer->stop();
        return;
    }
    // Overdue is past the deadline: a millisecond after it.
    keepaliveTimer->start(int(std::clamp<qint64>(now.msecsTo(due) + 1, 1, INT_MAX)));
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
    const Settings s = quotaSettings();
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
    // The user's own Connect starts afresh: home channel, no held session.
    m_lostAt = QDateTime();
    m_returnTo.clear();
    endReconnect(QString()); // the user connects now, not the schedule
    openLink();
}

void TSession::disconnectNow()
{
    m_lostAt = QDateTime();
    m_returnTo.clear();
    endReconnect(QStringLiteral("Reconnecting stopped."));
    if (connecting())
        Q_EMIT notice(QStringLiteral("The connect to %1 was cancelled.").arg(bnet->Address));
    bnet->Close();
}

void TSession::openLink()
{
    const Settings s = settings();
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
    const bool wanted = m_store->flag(TSetting::autoReconnect);
    if (!wanted) {
        // Switched off while a schedule was under way: it ends here.
        if (reconnecting())
            endReconnect(QStringLiteral("Reconnecting stopped."));
        return;
    }
    if (m_loginRefused)
        return; // the same account and password would be refused again
    scheduleAttempt();
}

void TSession::scheduleAttempt()
{
    const int seconds = m_reconnect.next();
    Q_EMIT notice(QStringLiteral("Reconnecting in %1 seconds.").arg(seconds));
    reconnectTimer->start(seconds * 1000);
    Q_EMIT stateChanged();
}

void TSession::reconnectDue()
{
    if (!reconnecting() || bnet->Connected())
        return;
    if (!m_store->flag(TSetting::autoReconnect)) {
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
    // After a lost link the server refuses the login while it still holds
    // the old session, with the words it has for a wrong password: for a
    // while, that is the likelier reason, and it passes.
    const bool held = reconnecting() && returning() && m_store->flag(TSetting::autoReconnect) &&
                      m_lostAt.secsTo(currentDateTime()) < heldSessionSeconds;
    if (!held) {
        m_lostAt = QDateTime();
        m_returnTo.clear();
        endReconnect(QStringLiteral("The login was refused; not reconnecting."));
        return;
    }
    Q_EMIT notice(QStringLiteral("The login was refused; the server may still hold the old "
                                 "session."));
    // The server asks for another name on this link; the next attempt
    // gets a link of its own. What is queued is the login's own joins and
    // away line, which the next login sends again: it is not handed back.
    const auto unsentHandler = process->OnUnsent;
    process->OnUnsent = nullptr;
    bnet->Close();
    process->OnUnsent = unsentHandler;
    scheduleAttempt();
}

void TSession::returnRefused()
{
    Q_EMIT notice(QStringLiteral("Could not go back to the channel %1; staying in %2.")
                      .arg(m_returnTo, m_channel));
    m_returnTo.clear();
}
