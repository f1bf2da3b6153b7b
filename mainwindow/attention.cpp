// Drawing the user's attention to a whisper or a mention while the window
// is in the background: the window's urgent hint and a desktop notification.
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"

#include "mainwindow/desktopnotifier.h"
#include "preferences/Toptions.h"

#include <QApplication>
#include <QCheckBox>

void Tmain::setupAttention()
{
    alertWindow = [this] { QApplication::alert(this); };
    notifyDesktop = [this](const QString &title, const QString &body) {
        // The bus is first opened here, when there is something to show.
        if (!m_notifier)
            m_notifier = new TDesktopNotifier(QDBusConnection::sessionBus(), this);
        m_notifier->notify(title, body);
    };
}

void Tmain::drawAttention(const QString &title, const QString &body)
{
    if (!store->flag(TSetting::attentionAlerts) || isActiveWindow())
        return;
    if (alertWindow)
        alertWindow();
    if (notifyDesktop)
        notifyDesktop(title, body);
}
