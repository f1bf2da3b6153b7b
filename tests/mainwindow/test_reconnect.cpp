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
#include <QTcpSocket>
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
// A raw client of the gateway that logs in, sends a line, and keeps what
// it receives.
struct RawLogin {
    RawLogin(quint16 port, const QByteArray &name, const QByteArray &then)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { got += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
        if (!socket.waitForConnected(5000))
            qWarning("%s could not connect", name.constData());
        socket.write("\x03\x04" + name + "\rpw\r\r");
        if (!waitFor("Chat topic"))
            qWarning("%s was not logged in: %s", name.constData(), got.constData());
        socket.write(then);
    }
    bool waitFor(const QByteArray &bytes)
    {
        return QTest::qWaitFor([&] { return got.contains(bytes); }, 10000);
    }
    QTcpSocket socket;
    QByteArray got;
};
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
            // The login's joins have gone and been taken: nothing is left
            // to give back when the link goes.
            QTRY_VERIFY(
                (m.session->process->floodTimerTick(),
                 m.session->process->queuedCount() == 0 && !m.session->process->inFlight()));
            const int before = m.chat->lineCount();
            gateway.command(QStringLiteral("close"));
            const int lost = waitForLine(m, disconnected, before);
            QVERIFY(lost >= 0);
            // Said at once, and the wait is the schedule's first.
            QCOMPARE(linesFrom(m, lost).value(1), firstWait);
            QVERIFY(m.session->reconnecting());
            QCOMPARE(m.session->reconnectTimer->interval(), 5000);
            QVERIFY(m.menus.Connect->isEnabled() && m.menus.Disconnect->isEnabled());
            QVERIFY(!m.menus.Home->isEnabled() && !m.menus.Away->isEnabled());

            // Each round starts at 5 seconds: the login of the last one
            // ended its schedule.
            const int again = waitForLine(m, QStringLiteral(" Console: Reconnecting..."), lost);
            QVERIFY(again >= 0);
            QVERIFY(waitForLine(m, greeting, again) >= 0);
            QVERIFY(!m.session->reconnecting());
            QVERIFY(m.session->bnet->Connected());
            QVERIFY(!m.menus.Connect->isEnabled() && m.menus.Disconnect->isEnabled());
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
        clickItem(m, m.menus.Disconnect);
        QCOMPARE(MainWindowFixture::lastLine(m.chat), stopped);
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
        QVERIFY(!m.menus.Disconnect->isEnabled() && m.menus.Connect->isEnabled());
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
        clickItem(m, m.menus.Connect);
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

        // The password changes on the account's side, say: after a lost
        // link the refusal looks like a held session, and reconnecting goes
        // on for half an hour after the loss; then it ends.
        m.options->password->setText(QStringLiteral("old"));
        const int before = m.chat->lineCount();
        gateway.command(QStringLiteral("close"));
        const int first = waitForLine(m, QStringLiteral(" Info: Login failed."), before);
        QVERIFY(first >= 0);
        QCOMPARE(linesFrom(m, first).value(1),
                 QStringLiteral(" Console: The login was refused; the server may still hold "
                                "the old session."));
        QVERIFY(m.session->reconnecting());
        r.f.setNow(r.f.now().addSecs(TSession::heldSessionSeconds));
        const int refused = waitForLine(
            m, QStringLiteral(" Console: The login was refused; not reconnecting."), first);
        QVERIFY(refused >= 0);
        QCOMPARE(linesFrom(m, refused - 1).value(0), QStringLiteral(" Info: Login failed."));
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());

        // The gateway keeps the link and closes it later: no new schedule.
        gateway.command(QStringLiteral("close"));
        const int lost = waitForLine(m, disconnected, refused);
        QVERIFY(lost >= 0);
        QCOMPARE(linesFrom(m, lost), QStringList{disconnected});
        QVERIFY(!m.session->reconnecting() && !m.session->reconnectTimer->isActive());
        QVERIFY(!m.menus.Disconnect->isEnabled());
    }

    // The link dies and the server holds the session for a second: the
    // refused logins are put down to that, and reconnecting goes on until
    // the login goes through. Back in the channel the user was in, with the
    // away state the Away item shows, and without the member who left while
    // the link was down.
    void heldSessionThenBackInTheChannel()
    {
        ClockHold clock;
        GatewayProcess gateway({QStringLiteral("--hold-seconds"), QStringLiteral("1")});
        QVERIFY2(gateway.port() != 0, qPrintable(gateway.errorText()));
        MainWindowFixture f(conf() << QStringLiteral("homechannel=Home")
                                   << QStringLiteral("awaymessage=gone fishing"));
        Tmain &m = *f.main;
        m.options->autoReconnect->setChecked(true);
        showActive(m);
        QVERIFY(connectToGateway(m, gateway.port()));
        QVERIFY(waitForLine(m, QStringLiteral(" Info: Joined Channel Home")) >= 0);

        RawLogin bob(gateway.port(), "bob", "/join Busy Room\r");
        m.sendtext(QStringLiteral("/join Busy Room"));
        QVERIFY(waitForLine(m, QStringLiteral(" Info: Joined Channel Busy Room")) >= 0);
        QTRY_VERIFY_WITH_TIMEOUT((m.flushUsers(), m.session->userTable.lastIndexOf("bob") > 0),
                                 10000);
        m.AwayClick();
        QVERIFY(m.envVars.isAway);

        const int before = m.chat->lineCount();
        gateway.command(QStringLiteral("drop alice"));
        QVERIFY(waitForLine(m, disconnected, before) >= 0);
        bob.socket.disconnectFromHost(); // leaves while alice is away from the server
        const QString held = QStringLiteral(
            " Console: The login was refused; the server may still hold the old session.");
        const int refused = waitForLine(m, held, before);
        QVERIFY(refused >= 0);
        QCOMPARE(linesFrom(m, refused).value(1), disconnected);
        QVERIFY(linesFrom(m, refused).value(2).startsWith(" Console: Reconnecting in "));
        const int back = waitForLine(m, QStringLiteral(" Info: Joined Channel Busy Room"), refused);
        QVERIFY(back >= 0);
        QVERIFY(!m.session->reconnecting());
        QVERIFY(linesFrom(m, before).filter("not reconnecting").isEmpty());
        // Never the home channel on the way back.
        QVERIFY(linesFrom(m, before).filter("Joined Channel Home").isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT((m.flushUsers(), m.session->userTable.lastIndexOf("alice") > 0),
                                 10000);
        QCOMPARE(m.session->userTable.lastIndexOf("bob"), 0);
        QVERIFY(m.envVars.isAway);

        // The server has alice away again, with the message Away sent.
        RawLogin carol(gateway.port(), "carol", "/m alice are you there?\r");
        QVERIFY(carol.waitFor("alice is away (gone fishing)"));
    }

    // The server no longer lets the user into the channel: said once, and
    // the user stays where the server put them; the away state is not sent
    // when the Away item is not set.
    void backToARefusingChannel()
    {
        ClockHold clock;
        MainWindowFixture f(conf() << QStringLiteral("homechannel=Home"));
        Tmain &m = *f.main;
        m.options->autoReconnect->setChecked(true);
        LoopbackServer server;
        QVERIFY(connectToServer(m, server));
        server.send("2010 NAME alice\r\n1007 CHANNEL \"Chat\"\r\n1007 CHANNEL \"Busy\"\r\n");
        QVERIFY(waitForLine(m, QStringLiteral(" Info: Joined Channel Busy")) >= 0);
        m.session->process->floodTimerTick(); // the second join of the login goes too
        QVERIFY(wireSettled(m, server));
        server.clearReceived();
        server.closeClient();
        // The schedule's first wait, passed on the held clock.
        QTRY_VERIFY_WITH_TIMEOUT(m.session->reconnectTimer->isActive(), 10000);
        moveClock(m.session->reconnectTimer->remainingTime());
        QTRY_VERIFY_WITH_TIMEOUT(server.connections() == 2 && server.received().contains("\x03\x04"
                                                                                         "alice\r"),
                                 10000);
        const int before = m.chat->lineCount();
        server.send("2010 NAME alice\r\n1007 CHANNEL \"Chat\"\r\n"
                    "1015 CHANNELRESTRICTED \"Busy\"\r\n1015 CHANNELRESTRICTED \"Busy\"\r\n");
        QVERIFY(waitForLine(m,
                            QStringLiteral(" Console: Could not go back to the channel Busy; "
                                           "staying in Chat."),
                            before) >= 0);
        QTRY_VERIFY(server.received().count("/join Busy\r") == 2);
        QVERIFY(!server.received().contains("/join Home"));
        QVERIFY(!server.received().contains("/away"));
        QCOMPARE(linesFrom(m, before).filter("Could not go back").size(), 1);
        // The user's own Connect goes home again.
        m.DisconnectClick();
        server.clearReceived();
        QVERIFY(connectToServer(m, server));
        QVERIFY(tickPacingUntil(m, [&] { return server.received().contains("/join Home\r"); }));
    }

    // Own lines carry the pending mark until the server's side has
    // acknowledged them. The server's end stops reading, so a blob written
    // first holds what follows unacknowledged: the lines stay marked, and
    // lose the mark when the server reads again. Then the same with a link
    // that dies: the line written and the one queued come back in one
    // Warning that says the first may have arrived, and keep their marks.
    void pendingMarksAndLinesNotTaken()
    {
        MainWindowFixture f(conf());
        Tmain &m = *f.main;
        showActive(m);
        LoopbackServer server;
        QVERIFY(connectToServer(m, server));
        const QString mark = QString(Tmain::pendingMark);
        const auto stall = [&] {
            server.client()->setReadBufferSize(1024);
            server.client()->blockSignals(true); // nothing read: the window fills
            QVERIFY(m.session->bnet->SendData(QString(32 << 20, QLatin1Char('b'))));
        };
        const auto type = [&](const QString &line) {
            m.text->setText(line);
            QTest::keyClick(m.text, Qt::Key_Return);
        };

        stall();
        type(QStringLiteral("hello there"));
        type(QStringLiteral("second"));
        QCOMPARE(MainWindowFixture::lastLine(m.chat), mark + "<alice> second");
        // A real wait: whether a line is taken is read from the kernel by a
        // real-time poll (every 5 ms), which no test clock moves; ten polls
        // pass, and none may take a line the server has not read.
        QTest::qWait(50);
        m.session->process->floodTimerTick();
        QVERIFY(MainWindowFixture::lines(m.chat).contains(mark + "<alice> hello there"));
        QVERIFY(m.session->process->inFlight());
        server.client()->blockSignals(false);
        server.client()->setReadBufferSize(0);
        QVERIFY(waitForLine(m, QStringLiteral(" <alice> second")) >= 0);
        QVERIFY(MainWindowFixture::lines(m.chat).contains(" <alice> hello there"));
        QVERIFY(MainWindowFixture::lines(m.chat).filter(mark).isEmpty());
        QTRY_VERIFY(server.received().endsWith("hello there\rsecond\r"));

        stall();
        type(QStringLiteral("lost or not"));
        type(QStringLiteral("never sent"));
        m.session->process->floodTimerTick(); // the first goes at the tick
        QVERIFY(m.session->process->inFlight());
        const int before = m.chat->lineCount();
        server.client()->abort();
        const int warned = waitForLine(
            m,
            QStringLiteral(" Warning: 2 lines were not confirmed by the server before the "
                           "connection ended (the first may have arrived); they are back in the "
                           "input line: press Enter to send them when connected again."),
            before);
        QVERIFY(warned >= 0);
        QCOMPARE(linesFrom(m, before).filter(" Warning:").size(), 1);
        QVERIFY(m.text->text().startsWith("lost or not"));
        QVERIFY(m.text->text().endsWith("never sent"));
        QVERIFY(MainWindowFixture::lines(m.chat).contains(mark + "<alice> lost or not"));
        QVERIFY(MainWindowFixture::lines(m.chat).contains(mark + "<alice> never sent"));
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
        QVERIFY(m.menus.Disconnect->isEnabled());
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
        QVERIFY(!m.menus.Disconnect->isEnabled());

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
        QVERIFY(!m.menus.Disconnect->isEnabled());
    }
};

QTEST_MAIN(TestReconnect)
#include "test_reconnect.moc"
