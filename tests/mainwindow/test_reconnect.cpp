// Reconnecting by itself: the schedule's waits, and a shown window that
// loses its link to the gateway or a loopback server, says so on "Console:"
// lines and tries again, until a login goes through or the user, or a
// refused login, ends it.
#include "connection/TChatInterface.h"
#include "core/reconnectschedule.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/clockhold.h"
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"
#include "support/loopbackserver.h"
#include "support/mainwindowfixture.h"
#include "support/silentserver.h"
#include "support/waits.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QMenuBar>
#include <QTcpServer>
#include <QTimer>
#include <QtTest>

namespace {
const QString disconnected = QStringLiteral(" Console: Disconnected.");
const QString firstWait = QStringLiteral(" Console: Reconnecting in 5 seconds.");
const QString stopped = QStringLiteral(" Console: Reconnecting stopped.");
const QString greeting = QStringLiteral(" <alice> You have no mail.");

QStringList conf() { return MainWindowFixture::defaultConf() << QStringLiteral("password=right"); }

// The chat pane's lines from index from on.
QStringList linesFrom(Tmain &m, int from) { return MainWindowFixture::lines(m.chat).mid(from); }

// Waits until the chat pane holds line at or after index from, the pacing
// (and a held clock) moving meanwhile; the index where it is, or -1.
int waitForLine(Tmain &m, const QString &line, int from = 0)
{
    return tickUntilChatShows(m, line, from);
}

// A window with reconnecting on, its clock held.
struct Reconnecting {
    explicit Reconnecting(const QStringList &extraConf = {}) : f(conf() + extraConf), m(*f.main)
    {
        m.options->autoReconnect->setChecked(true);
    }
    ClockHold clock;
    MainWindowFixture f;
    Tmain &m;
};

// Long past any wait of the schedule.
constexpr qint64 anHourMs = 60 * 60 * 1000;

// A port on 127.0.0.1 where nobody listens.
quint16 closedPort()
{
    QTcpServer probe;
    if (!probe.listen(QHostAddress::LocalHost, 0))
        return 0;
    const quint16 port = probe.serverPort();
    probe.close();
    return port;
}

// Shows the window, waits until it is active and clicks a menu bar item.
void showActive(Tmain &m)
{
    m.show();
    QVERIFY(waitActive(&m));
}
void clickItem(Tmain &m, QAction *item)
{
    QVERIFY(item->isEnabled());
    QTest::mouseClick(m.menuBar(), Qt::LeftButton, {}, m.menuBar()->actionGeometry(item).center());
}
} // namespace

class TestReconnect : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void scheduleWaits()
    {
        TReconnectSchedule s;
        QVERIFY(!s.running());
        QList<int> waits;
        for (int i = 0; i < 8; ++i)
            waits << s.next();
        QCOMPARE(waits, (QList<int>{5, 10, 20, 40, 60, 60, 60, 60}));
        QVERIFY(s.running());
        // Long after, still a minute.
        for (int i = 0; i < 100000; ++i)
            s.next();
        QCOMPARE(s.next(), 60);
        // A new schedule starts at the first wait again.
        s.end();
        QVERIFY(!s.running());
        QCOMPARE(s.next(), 5);
        QCOMPARE(s.next(), 10);
        QCOMPARE(TReconnectSchedule::delaySeconds(-3), 5);
        QCOMPARE(TReconnectSchedule::delaySeconds(4), 60);
    }

    void serverCloseReconnectsAndLogsInAgain()
    {
        GatewayProcess gateway;
        QVERIFY2(gateway.port() != 0, qPrintable(gateway.errorText()));
        Reconnecting r;
        Tmain &m = r.m;
        showActive(m);
        QVERIFY(connectToGateway(m, gateway.port()));

        for (int round = 0; round < 2; ++round) {
            const int before = m.chat->lineCount();
            gateway.command(QStringLiteral("close"));
            const int lost = waitForLine(m, disconnected, before);
            QVERIFY(lost >= 0);
            // Said at once, and the wait is the schedule's first.
            QCOMPARE(linesFrom(m, lost).value(1), firstWait);
            QVERIFY(m.session->reconnecting());
            QCOMPARE(m.session->reconnectTimer->interval(), 5000);
            QVERIFY(m.Connect->isEnabled() && m.Disconnect->isEnabled());
            QVERIFY(!m.Home->isEnabled() && !m.Away->isEnabled());

            // Each round starts at 5 seconds: the login of the last one
            // ended its schedule.
            const int again = waitForLine(m, QStringLiteral(" Console: Reconnecting..."), lost);
            QVERIFY(again >= 0);
            QVERIFY(waitForLine(m, greeting, again) >= 0);
            QVERIFY(!m.session->reconnecting());
            QVERIFY(m.session->bnet->Connected());
            QVERIFY(!m.Connect->isEnabled() && m.Disconnect->isEnabled());
        }

        // The link is usable: what is typed reaches the gateway.
        m.text->setFocus();
        QTest::keyClicks(m.text, QStringLiteral("back again"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QVERIFY(waitForLine(m, QStringLiteral(" <alice> back again")) >= 0);
    }

    void disconnectOrConnectDuringTheWait()
    {
        Reconnecting r;
        Tmain &m = r.m;
        showActive(m);
        LoopbackServer server;
        QVERIFY(connectToServer(m, server));

        // Disconnect while waiting ends the schedule; nothing connects later.
        server.closeClient();
        QVERIFY(waitForLine(m, firstWait) >= 0);
        QVERIFY(m.session->reconnectTimer->isActive());
        QCOMPARE(m.session->reconnectTimer->interval(), 5000);
        clickItem(m, m.Disconnect);
        QCOMPARE(MainWindowFixture::lastLine(m.chat), stopped);
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
        QVERIFY(!m.Disconnect->isEnabled() && m.Connect->isEnabled());
        m.session->reconnectDue(); // a timeout already on its way does nothing
        moveClock(anHourMs);
        QCOMPARE(MainWindowFixture::lastLine(m.chat), stopped);
        QCOMPARE(server.connections(), 1);

        // Connect while waiting connects at once and ends the schedule.
        server.clearReceived();
        QVERIFY(connectToServer(m, server));
        server.clearReceived();
        const int connected = m.chat->lineCount();
        server.closeClient();
        const int waiting = waitForLine(m, firstWait, connected);
        QVERIFY(waiting >= 0);
        clickItem(m, m.Connect);
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
        QTRY_COMPARE(server.connections(), 3);
        QTRY_VERIFY(server.received().contains("\r\r"));
        QVERIFY(!linesFrom(m, waiting + 1).contains(stopped));

        // The user's own Disconnect on a live link never reconnects.
        const int before = m.chat->lineCount();
        QTest::keyClicks(m.text, QStringLiteral("/disconnect"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(linesFrom(m, before), QStringList{disconnected});
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
    }

    void quitDuringTheWaitEndsIt()
    {
        Reconnecting r({QStringLiteral("confirmquit=1")});
        Tmain &m = r.m;
        m.options->confirmquit->setChecked(true);
        LoopbackServer server;
        QVERIFY(connectToServer(m, server));
        server.closeClient();
        QVERIFY(waitForLine(m, firstWait) >= 0);
        m.QuitClick();
        QCOMPARE(r.f.terminated, 1);
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
        const int lines = m.chat->lineCount();
        moveClock(anHourMs);
        QCOMPARE(m.chat->lineCount(), lines);
    }

    void refusedLoginEndsIt()
    {
        GatewayProcess gateway({QStringLiteral("--account"), QStringLiteral("alice:right")});
        QVERIFY2(gateway.port() != 0, qPrintable(gateway.errorText()));
        Reconnecting r;
        Tmain &m = r.m;
        showActive(m);
        QVERIFY(connectToGateway(m, gateway.port()));

        // The password changes on the account's side, say: the next login
        // is refused and the schedule ends there.
        m.options->password->setText(QStringLiteral("old"));
        const int before = m.chat->lineCount();
        gateway.command(QStringLiteral("close"));
        const int refused = waitForLine(m, QStringLiteral(" Info: Login failed."), before);
        QVERIFY(refused >= 0);
        QCOMPARE(linesFrom(m, refused).value(1),
                 QStringLiteral(" Console: The login was refused; not reconnecting."));
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());

        // The gateway keeps the link and closes it later: no new schedule.
        gateway.command(QStringLiteral("close"));
        const int lost = waitForLine(m, disconnected, refused);
        QVERIFY(lost >= 0);
        QCOMPARE(linesFrom(m, lost), QStringList{disconnected});
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
        QVERIFY(!m.Disconnect->isEnabled());
    }

    void failedConnectsRetry()
    {
        Reconnecting r;
        Tmain &m = r.m;
        const quint16 port = closedPort();
        QVERIFY(port != 0);
        m.session->bnet->Port = port;
        m.ConnectClick();
        // Every refused connect is reported and followed by the next wait,
        // which is over when the clock has moved past it.
        const auto waits = [&m] {
            return MainWindowFixture::lines(m.chat)
                .filter(QStringLiteral("Reconnecting in"))
                .size();
        };
        for (int n = 1; n < 7; ++n) {
            QTRY_COMPARE(waits(), n);
            QVERIFY(m.session->reconnectTimer->isActive());
            moveClock(m.session->reconnectTimer->remainingTime());
        }
        QTRY_COMPARE(waits(), 7);
        m.DisconnectClick();
        const QStringList lines = MainWindowFixture::lines(m.chat);
        QCOMPARE(
            lines.filter(QStringLiteral("Reconnecting in")).mid(0, 7),
            (QStringList{
                " Console: Reconnecting in 5 seconds.", " Console: Reconnecting in 10 seconds.",
                " Console: Reconnecting in 20 seconds.", " Console: Reconnecting in 40 seconds.",
                " Console: Reconnecting in 60 seconds.", " Console: Reconnecting in 60 seconds.",
                " Console: Reconnecting in 60 seconds."}));
        QCOMPARE(lines.value(0), QStringLiteral(" Console:  A socket error occured."));
        QCOMPARE(lines.value(2), firstWait);
        QCOMPARE(lines.value(3), QStringLiteral(" Console: Reconnecting..."));
        QCOMPARE(MainWindowFixture::lastLine(m.chat), stopped);
        QVERIFY(!m.session->reconnecting());
        const int count = m.chat->lineCount();
        moveClock(anHourMs);
        QCOMPARE(m.chat->lineCount(), count);
    }

    void timedOutConnectRetries()
    {
        SilentServer silent;
        if (!silent.full())
            QSKIP("the loopback accept queue could not be filled");
        Reconnecting r;
        Tmain &m = r.m;
        m.session->bnet->Port = silent.port();
        m.session->bnet->ConnectTimeout = 50;
        m.ConnectClick();
        QVERIFY(waitForLine(m, firstWait) >= 0);
        QVERIFY(MainWindowFixture::lines(m.chat).contains(
            QStringLiteral(" Console:  Connection timed out")));
        QVERIFY(m.Disconnect->isEnabled());
    }

    void settingOffNeverReconnects()
    {
        MainWindowFixture f(conf());
        ClockHold clock;
        Tmain &m = *f.main;
        QVERIFY(!m.options->autoReconnect->isChecked());
        LoopbackServer server;
        QVERIFY(connectToServer(m, server));
        const int before = m.chat->lineCount();
        server.closeClient();
        QVERIFY(waitForLine(m, disconnected, before) >= 0);
        QCOMPARE(linesFrom(m, before), QStringList{disconnected});
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
        QVERIFY(!m.Disconnect->isEnabled());

        // A failed connect is reported as ever, with nothing after it.
        m.session->bnet->Port = closedPort();
        const int failed = m.chat->lineCount();
        m.ConnectClick();
        QTRY_VERIFY(m.chat->lineCount() > failed);
        moveClock(anHourMs);
        QVERIFY(linesFrom(m, failed).filter(QStringLiteral("Reconnecting")).isEmpty());
        QVERIFY(!m.session->reconnecting());

        // Switched off during a wait: the wait ends when it is over.
        m.options->autoReconnect->setChecked(true);
        server.clearReceived();
        QVERIFY(connectToServer(m, server));
        server.closeClient();
        QVERIFY(waitForLine(m, firstWait, failed) >= 0);
        m.options->autoReconnect->setChecked(false);
        QVERIFY(m.session->reconnecting());
        moveClock(m.session->reconnectTimer->remainingTime());
        QVERIFY(!m.session->reconnecting());
        QCOMPARE(MainWindowFixture::lastLine(m.chat), stopped);
        QCOMPARE(server.connections(), 2);
        QVERIFY(!m.Disconnect->isEnabled());
    }
};

QTEST_MAIN(TestReconnect)
#include "test_reconnect.moc"
