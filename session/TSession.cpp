#include "session/TSession.h"

#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"

#include <QTimer>

TSession::TSession(QObject *parent)
    : QObject(parent), bnet(new TChatInterface(this)), process(new TBnetChat(this))
{
    process->ChatInterface = bnet;
    reconnectTimer = new QTimer(this);
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this,
            [this] { guarded([this] { reconnectDue(); }); });
    wire();
    setStore(new TSettingsStore(this));
}

void TSession::setStore(TSettingsStore *store)
{
    disconnect(m_quotaLink);
    m_store = store;
    m_quotaLink = connect(store, &TSettingsStore::quotaChanged, this, [this] {
        using namespace TSetting;
        Settings quota = {};
        quota.quotaUnits = m_store->number(quotaUnits);
        quota.quotaWindowSeconds = m_store->number(quotaWindow);
        quota.quotaBytesPerUnit = m_store->number(quotaBytesPerUnit);
        quota.quotaMarginMs = m_store->number(quotaMargin);
        applyQuota(quota);
    });
}

TSession::Settings TSession::settings() const
{
    using namespace TSetting;
    const TSettingsStore &s = *m_store;
    Settings out;
    // Name and password go out as bytes; the server is a host name.
    out.userName = s.bytes(username);
    out.password = s.bytes(password);
    out.server = s.shown(server);
    out.reconnect = s.flag(autoReconnect);
    out.quotaUnits = s.number(quotaUnits);
    out.quotaWindowSeconds = s.number(quotaWindow);
    out.quotaBytesPerUnit = s.number(quotaBytesPerUnit);
    out.quotaMarginMs = s.number(quotaMargin);
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
        Q_EMIT linkUp(bnet->Address);
        process->Login();
        Q_EMIT stateChanged();
    };
    bnet->OnDisconnect = [this] {
        Q_EMIT linkDown();
        Q_EMIT stateChanged();
    };
    bnet->OnConnectClosed = [this] {
        Q_EMIT linkDown();
        linkLost();
        Q_EMIT stateChanged();
    };
    bnet->OnDataReceived = [this](const QString &line) {
        process->ParseLine(line);
        Q_EMIT lineReceived(line);
    };
    bnet->OnLogin = [this] { Q_EMIT loggedIn(); };
    bnet->OnSocketError = [this] {
        Q_EMIT socketError(bnet->SocketErrorText());
        // A connect that failed (an error on a live link ends in its close).
        if (!bnet->Connected())
            linkLost();
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

void TSession::applyQuota(const Settings &s)
{
    process->QuotaUnits = s.quotaUnits;
    process->QuotaWindowMs = s.quotaWindowSeconds * 1000;
    process->QuotaBytesPerUnit = s.quotaBytesPerUnit;
    process->QuotaMarginMs = s.quotaMarginMs;
}

void TSession::connectNow()
{
    endReconnect(QString()); // the user connects now, not the schedule
    openLink();
}

void TSession::disconnectNow()
{
    endReconnect(QStringLiteral("Reconnecting stopped."));
    bnet->Close();
}

void TSession::openLink()
{
    const Settings s = settings();
    applyQuota(s);
    process->UserName = s.userName;
    process->Password = s.password;
    bnet->Address = s.server;
    bnet->Open();
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
    const int seconds = m_reconnect.next();
    Q_EMIT notice(QStringLiteral("Reconnecting in %1 seconds.").arg(seconds));
    reconnectTimer->start(seconds * reconnectSecondMs);
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
    endReconnect(QStringLiteral("The login was refused; not reconnecting."));
}
