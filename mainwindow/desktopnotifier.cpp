#include "mainwindow/desktopnotifier.h"

#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QVariantMap>

#include <cstddef>

namespace {
const QString service = QStringLiteral("org.freedesktop.Notifications");
const QString path = QStringLiteral("/org/freedesktop/Notifications");
const QString interface = QStringLiteral("org.freedesktop.Notifications");
} // namespace

TDesktopNotifier::TDesktopNotifier(const QDBusConnection &bus, QObject *parent)
    : QObject(parent), m_bus(bus)
{
    OnUnavailable = [](const QString &note) { qInfo("%s", qPrintable(note)); };
}

void TDesktopNotifier::notify(const QString &title, const QString &body)
{
    switch (m_state) {
    case State::Unavailable:
        return;
    case State::Ready:
        send(title, body);
        return;
    case State::Asking:
        if (m_waiting.size() < std::size_t(MaxWaiting))
            m_waiting.emplace_back(title, body);
        return;
    case State::Unknown:
        if (!m_bus.isConnected()) {
            unavailable(QStringLiteral("no session bus"));
            return;
        }
        m_waiting.emplace_back(title, body);
        askCapabilities();
        return;
    }
}

void TDesktopNotifier::askCapabilities()
{
    // A service that reads markup would take "<" and "&" in a line for tags,
    // so the body is escaped for it, and only for it.
    m_state = State::Asking;
    const QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("GetCapabilities"));
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        const QDBusPendingReply<QStringList> reply = *w;
        if (reply.isError()) {
            unavailable(reply.error().message());
            return;
        }
        m_markup = reply.value().contains(QStringLiteral("body-markup"));
        m_state = State::Ready;
        const auto waiting = std::move(m_waiting);
        m_waiting.clear();
        for (const auto &n : waiting)
            send(n.first, n.second);
    });
}

void TDesktopNotifier::send(const QString &title, const QString &body)
{
    QDBusMessage call =
        QDBusMessage::createMethodCall(service, path, interface, QStringLiteral("Notify"));
    QVariantMap hints;
    hints.insert(QStringLiteral("desktop-entry"), QStringLiteral("tressel"));
    call << QStringLiteral("Tressel") << uint(0) << QStringLiteral("tressel") << title
         << (m_markup ? body.toHtmlEscaped() : body) << QStringList() << hints << int(-1);
    ++m_pending;
    auto *watcher = new QDBusPendingCallWatcher(m_bus.asyncCall(call), this);
    connect(watcher, &QDBusPendingCallWatcher::finished, this, [this](QDBusPendingCallWatcher *w) {
        w->deleteLater();
        --m_pending;
        // The service went away since it answered: stop asking it.
        if (w->isError())
            unavailable(w->error().message());
    });
}

void TDesktopNotifier::unavailable(const QString &why)
{
    m_state = State::Unavailable;
    m_waiting.clear();
    if (m_noted)
        return;
    m_noted = true;
    if (OnUnavailable)
        OnUnavailable(QStringLiteral("Desktop notifications are off (%1); whispers and mentions "
                                     "mark the window only.")
                          .arg(why));
}
