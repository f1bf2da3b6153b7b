// Reconnecting by itself (when the Advanced tab says so) after the server
// closed the link or a connect failed, on the schedule of
// rules/reconnectschedule.h, until a login goes through. The user's Connect
// and Disconnect end the schedule, and so does a login the server refuses.
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"

#include "connection/TChatInterface.h"
#include "preferences/Toptions.h"

#include <QAction>
#include <QCheckBox>
#include <QTimer>

void Tmain::setupReconnect()
{
    reconnectTimer = new QTimer(this);
    reconnectTimer->setSingleShot(true);
    connect(reconnectTimer, &QTimer::timeout, this, guard([this] { reconnectDue(); }));
}

void Tmain::bnetConnectClosed()
{
    bnetDisconnect();
    linkLost();
}

void Tmain::linkLost()
{
    if (!options->autoReconnect->isChecked()) {
        // Switched off while a schedule was under way: it ends here.
        if (reconnecting())
            endReconnect(QStringLiteral("Reconnecting stopped."));
        return;
    }
    if (m_loginRefused)
        return; // the same account and password would be refused again
    const int seconds = m_reconnect.next();
    writeLine(chat, TLabel::console, QStringLiteral("Reconnecting in %1 seconds.").arg(seconds),
              labelColour());
    reconnectTimer->start(seconds * reconnectSecondMs);
    setConnectedState(bnet->Connected());
}

void Tmain::reconnectDue()
{
    if (!reconnecting() || bnet->Connected())
        return;
    if (!options->autoReconnect->isChecked()) {
        endReconnect(QStringLiteral("Reconnecting stopped."));
        return;
    }
    writeLine(chat, TLabel::console, QStringLiteral("Reconnecting..."), labelColour());
    openLink();
}

void Tmain::endReconnect(const QString &why)
{
    const bool wasRunning = reconnecting();
    reconnectTimer->stop();
    m_reconnect.end();
    if (wasRunning && !why.isEmpty())
        writeLine(chat, TLabel::console, why, labelColour());
    setConnectedState(bnet->Connected());
}

void Tmain::loginRefused()
{
    m_loginRefused = true;
    endReconnect(QStringLiteral("The login was refused; not reconnecting."));
}

void Tmain::loginThrough()
{
    // Quietly: the gateway's greeting shows that the link is back.
    m_reconnect.end();
}
