// Drawing attention to whispers while the window is in the background: the
// urgent hint and a desktop notification, only then and only when the
// Advanced tab allows it; and the notifications themselves on a private
// session bus, with and without a notification service, and with no bus.
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/desktopnotifier.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"
#include "support/mainwindowfixture.h"
#include "support/waits.h"

#include <QCheckBox>
#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QLineEdit>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QtTest>

namespace {
// A dbus-daemon of the test's own, on a socket in a scratch folder.
class PrivateBus {
public:
    PrivateBus()
    {
        const QString daemon = QStandardPaths::findExecutable(QStringLiteral("dbus-daemon"));
        if (daemon.isEmpty() || !m_dir.isValid())
            return;
        m_process.start(daemon, {QStringLiteral("--session"), QStringLiteral("--nofork"),
                                 QStringLiteral("--nopidfile"), QStringLiteral("--print-address"),
                                 QStringLiteral("--address=unix:path=") + m_dir.filePath("bus")});
        if (!m_process.waitForStarted(5000))
            return;
        if (!waitUntil([this] { return m_process.canReadLine(); }, 5000))
            return;
        m_address = QString::fromUtf8(m_process.readLine().trimmed());
    }
    ~PrivateBus()
    {
        for (const QString &name : m_names)
            QDBusConnection::disconnectFromBus(name);
        m_process.kill();
        m_process.waitForFinished(5000);
    }
    bool running() const { return !m_address.isEmpty(); }
    // A connection of its own to the bus.
    QDBusConnection connect(const QString &name)
    {
        m_names << name;
        return QDBusConnection::connectToBus(m_address, name);
    }

private:
    QTemporaryDir m_dir;
    QProcess m_process;
    QString m_address;
    QStringList m_names;
};

// What a notification service is told.
class FakeNotifications : public QObject {
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
public:
    QStringList capabilities;
    QList<QVariantList> calls;

public Q_SLOTS:
    QStringList GetCapabilities() { return capabilities; }
    uint Notify(const QString &app, uint replaces, const QString &icon, const QString &summary,
                const QString &body, const QStringList &actions, const QVariantMap &hints,
                int timeout)
    {
        calls << QVariantList{app,
                              replaces,
                              icon,
                              summary,
                              body,
                              actions,
                              hints.value(QStringLiteral("desktop-entry")),
                              timeout};
        return uint(calls.size());
    }
};

// Registers a service on bus; false when the bus will not take it.
bool serve(QDBusConnection &bus, FakeNotifications &service)
{
    return bus.registerObject(QStringLiteral("/org/freedesktop/Notifications"), &service,
                              QDBusConnection::ExportAllSlots) &&
           bus.registerService(QStringLiteral("org.freedesktop.Notifications"));
}

QVariantList expectedCall(const QString &summary, const QString &body)
{
    return QVariantList{
        QStringLiteral("Tressel"), uint(0), QStringLiteral("tressel"), summary, body, QStringList(),
        QStringLiteral("tressel"), -1};
}

int waitForLine(Tmain &m, TTranscriptPane *pane, const QString &line, int from)
{
    int at = -1;
    (void)tickPacingUntil(m, [&] {
        at = MainWindowFixture::lines(pane).indexOf(line, from);
        return at >= 0;
    });
    if (at < 0)
        qWarning("no \"%s\"", qPrintable(line));
    return at;
}

QStringList notes; // qInfo lines about notifications
void countNotes(QtMsgType type, const QMessageLogContext &, const QString &message)
{
    if (type == QtInfoMsg && message.startsWith(QStringLiteral("Desktop notifications")))
        notes << message;
}
} // namespace

class TestAttention : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        // Whatever runs this test, the window's own bus is not there.
        qputenv("DBUS_SESSION_BUS_ADDRESS", "unix:path=/nonexistent/tressel-test-bus");
    }

    void whispersInTheBackground()
    {
        GatewayProcess gateway;
        QVERIFY2(gateway.port() != 0, qPrintable(gateway.errorText()));
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.show();
        QVERIFY(waitActive(&m));
        QVERIFY(connectToGateway(m, gateway.port()));
        gateway.command(QStringLiteral("join bob"));
        int next = 0;
        auto whisperFromBob = [&](const QByteArray &utf8, const QString &shown) {
            gateway.command(QStringLiteral("whisper bob alice ") + QString::fromLatin1(utf8));
            const int at =
                waitForLine(m, m.whisper, QStringLiteral(" <From: bob>  ") + shown, next);
            next = at + 1;
            return at >= 0;
        };

        // In front: no hint, no notification.
        QVERIFY(whisperFromBob("hello", QStringLiteral("hello")));
        QCOMPARE(f.alerts, 0);
        QVERIFY(f.notifications.isEmpty());

        // Another window in front: both, with the text as shown.
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(waitActive(&other));
        QVERIFY(!m.isActiveWindow());
        const QString text = QStringLiteral("gr\u00fc\u00dfe <3 & co");
        QVERIFY(whisperFromBob(text.toUtf8(), text));
        QCOMPARE(f.alerts, 1);
        QCOMPARE(f.notifications, (QList<QStringList>{{QStringLiteral("Whisper from bob"), text}}));

        // Switched off: nothing.
        m.options->attentionAlerts->setChecked(false);
        QVERIFY(whisperFromBob("off", QStringLiteral("off")));
        QCOMPARE(f.alerts, 1);
        QCOMPARE(f.notifications.size(), 1);

        // A whisper from a squelched name is not shown, so it draws no attention.
        m.options->attentionAlerts->setChecked(true);
        QTest::keyClicks(m.text, QStringLiteral("/brx bob"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QVERIFY(m.checkSquelch(QStringLiteral("bob")));
        gateway.command(QStringLiteral("whisper bob alice hidden"));
        gateway.command(QStringLiteral("broadcast after"));
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" Broadcast: after"), 0) >= 0);
        QCOMPARE(f.alerts, 1);
        QCOMPARE(f.notifications.size(), 1);

        // Back in front.
        m.unSquelchUser(QStringLiteral("bob"));
        m.activateWindow();
        QVERIFY(waitActive(&m));
        QVERIFY(whisperFromBob("front", QStringLiteral("front")));
        QCOMPARE(f.alerts, 1);
        QCOMPARE(f.notifications.size(), 1);
    }

    void notificationsReachTheService()
    {
        PrivateBus bus;
        if (!bus.running())
            QSKIP("no dbus-daemon to run a private session bus");
        QDBusConnection serviceSide = bus.connect(QStringLiteral("service"));
        FakeNotifications service;
        service.capabilities = {QStringLiteral("body"), QStringLiteral("actions")};
        QVERIFY(serve(serviceSide, service));

        // A plain-text service gets the text as it stands, every note in order
        // (the first ones wait for its answer about markup).
        QStringList unavailable;
        TDesktopNotifier plain(bus.connect(QStringLiteral("plain")));
        plain.OnUnavailable = [&](const QString &note) { unavailable << note; };
        plain.notify(QStringLiteral("Whisper from bob"), QStringLiteral("a <b> & c"));
        plain.notify(QStringLiteral("Whisper from eve"), QStringLiteral("second"));
        QTRY_COMPARE(service.calls.size(), 2);
        plain.notify(QStringLiteral("Whisper from bob"), QStringLiteral("third"));
        QTRY_COMPARE(service.calls.size(), 3);
        QCOMPARE(service.calls[0],
                 expectedCall(QStringLiteral("Whisper from bob"), QStringLiteral("a <b> & c")));
        QCOMPARE(service.calls[1],
                 expectedCall(QStringLiteral("Whisper from eve"), QStringLiteral("second")));
        QCOMPARE(service.calls[2],
                 expectedCall(QStringLiteral("Whisper from bob"), QStringLiteral("third")));
        QTRY_COMPARE(plain.pendingCalls(), 0);

        // A service that reads markup gets the text escaped, so it shows as typed.
        service.capabilities << QStringLiteral("body-markup");
        TDesktopNotifier markup(bus.connect(QStringLiteral("markup")));
        markup.OnUnavailable = plain.OnUnavailable;
        markup.notify(QStringLiteral("Whisper from bob"), QStringLiteral("a <b> & c"));
        QTRY_COMPARE(service.calls.size(), 4);
        QCOMPARE(service.calls[3], expectedCall(QStringLiteral("Whisper from bob"),
                                                QStringLiteral("a &lt;b&gt; &amp; c")));
        QVERIFY(unavailable.isEmpty());
    }

    void noServiceOrNoBus()
    {
        // A bus without the service: one note, then silence, and no call is left waiting.
        PrivateBus bus;
        if (bus.running()) {
            QStringList unavailable;
            TDesktopNotifier n(bus.connect(QStringLiteral("lonely")));
            n.OnUnavailable = [&](const QString &note) { unavailable << note; };
            n.notify(QStringLiteral("Whisper from bob"), QStringLiteral("one"));
            n.notify(QStringLiteral("Whisper from bob"), QStringLiteral("two"));
            QTRY_COMPARE(unavailable.size(), 1);
            QVERIFY(unavailable[0].startsWith(QStringLiteral("Desktop notifications are off (")));
            n.notify(QStringLiteral("Whisper from bob"), QStringLiteral("three"));
            // Once every call is answered, none of them said it again.
            QTRY_COMPARE(n.pendingCalls(), 0);
            QCOMPARE(unavailable.size(), 1);
        }

        // No bus at all: the same, at once.
        QStringList unavailable;
        TDesktopNotifier n(QDBusConnection::connectToBus(
            QStringLiteral("unix:path=/nonexistent/tressel-test-bus"), QStringLiteral("none")));
        n.OnUnavailable = [&](const QString &note) { unavailable << note; };
        n.notify(QStringLiteral("t"), QStringLiteral("b"));
        n.notify(QStringLiteral("t"), QStringLiteral("b"));
        QCOMPARE(unavailable,
                 QStringList{QStringLiteral("Desktop notifications are off (no session bus); "
                                            "whispers and mentions mark the window only.")});
        QDBusConnection::disconnectFromBus(QStringLiteral("none"));
    }

    void windowWithoutABus()
    {
        // The window as the program builds it, its session bus missing: every
        // whisper is shown, and one quiet note is all that says so.
        MainWindowFixture f;
        auto m = std::make_unique<Tmain>();
        m->terminate = [] {};
        notes.clear();
        const QtMessageHandler previous = qInstallMessageHandler(countNotes);
        for (int i = 0; i < 3; ++i)
            m->session->process->OnWhisper(QStringLiteral("bob"), QStringLiteral("hi %1").arg(i));
        qInstallMessageHandler(previous);
        QCOMPARE(MainWindowFixture::lines(m->whisper).filter(QStringLiteral("<From: bob>")).size(),
                 3);
        QCOMPARE(notes.size(), 1);
    }
};

QTEST_MAIN(TestAttention)
#include "test_attention.moc"
