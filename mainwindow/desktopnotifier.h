#pragma once
// Desktop notifications through the freedesktop notification service on
// the session bus. Every call is asynchronous, so nothing waits on the bus;
// when there is no bus or no service, notifications are dropped and one
// quiet note says why.
#include <QDBusConnection>
#include <QObject>
#include <QStringList>

#include <functional>
#include <utility>
#include <vector>

class TDesktopNotifier : public QObject {
public:
    explicit TDesktopNotifier(const QDBusConnection &bus, QObject *parent = nullptr);

    // title and body are text to show as they stand.
    void notify(const QString &title, const QString &body);

    // Receives the one note when notifications cannot be shown; by default
    // it goes to the program's diagnostic output.
    std::function<void(const QString &note)> OnUnavailable;

    // Notifications handed to the service and not yet answered.
    int pendingCalls() const { return m_pending; }

    // Notifications waiting for the service's capabilities at most; more are dropped.
    static constexpr int MaxWaiting = 8;

private:
    enum class State { Unknown, Asking, Ready, Unavailable };
    void askCapabilities();
    void send(const QString &title, const QString &body);
    void unavailable(const QString &why);

    QDBusConnection m_bus;
    State m_state = State::Unknown;
    bool m_markup = false; // the service reads the body as markup
    bool m_noted = false;
    int m_pending = 0;
    std::vector<std::pair<QString, QString>> m_waiting;
};
