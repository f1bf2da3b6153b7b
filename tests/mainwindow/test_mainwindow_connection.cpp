// The main window's connection control: menus and their states, captions,
// connect and disconnect, away, home, quit, the raw pane and the raw log,
// and the one-second timer.
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "resources/icons.h"
#include "session/TSession.h"
#include "support/clockhold.h"
#include "support/connectedwindow.h"
#include "support/datarows.h"
#include "support/loopbackserver.h"
#include "support/mainwindowfixture.h"
#include "support/silentserver.h"
#include "support/waits.h"
#include "widgets/TTranscriptView.h"

#include <QAction>
#include <QCloseEvent>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenuBar>
#include <QPushButton>
#include <QSet>
#include <QTreeWidget>
#include <QtTest>

namespace {
QStringList conf(const QStringList &extra = {}) { return MainWindowFixture::defaultConf() + extra; }

bool sameIcon(const QIcon &a, const QIcon &b)
{
    return a.pixmap(16, 16).toImage() == b.pixmap(16, 16).toImage();
}

// Connects the fixture's window to server and waits until the login went out.
void connectTo(MainWindowFixture &f, LoopbackServer &server)
{
    QVERIFY(connectToServer(*f.main, server));
}

// Connected, with the raw data in the lower pane.
void connectRaw(MainWindowFixture &f, LoopbackServer &server)
{
    connectTo(f, server);
    f.main->dispRawClick();
}
} // namespace

class TestMainWindowConnection : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startState()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        QCOMPARE(m.windowTitle(), QStringLiteral("Tressel [1.5]"));
        QCOMPARE(m.channel->text(), QStringLiteral("Tressel [1.5]"));
        QVERIFY(m.menus.Connect->isEnabled());
        QVERIFY(!m.menus.Disconnect->isEnabled());
        QVERIFY(!m.menus.Home->isEnabled());
        QVERIFY(!m.menus.PauseChat->isEnabled());
        QVERIFY(!m.menus.Away->isEnabled());
        QVERIFY(m.menus.Preferences->isEnabled());
        QVERIFY(m.menus.Quit->isEnabled());
        QVERIFY(m.options->username->isEnabled());
        QVERIFY(m.menus.dispWhisper->isChecked());
        QVERIFY(!m.menus.dispRaw->isChecked());
        QCOMPARE(m.session->bnet->Port, quint16(6112));
        QCOMPARE(m.session->process->FloodInterval(), 1500);
        QCOMPARE(m.send->text(), QStringLiteral("&Send"));
        QCOMPARE(m.lamermode->text(), QStringLiteral("Activate Lamer Mode"));
        QCOMPARE(m.lamermode->toolTip(),
                 QStringLiteral(
                     "Activating this will suppress text from any user not on your safelist"));
        QVERIFY(m.options->isHidden());
        QCOMPARE(m.size(), QSize(795, 539));
    }

    void menuShowsCaptionsAndImages()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        const QList<QAction *> items = m.menuBar()->actions();
        // The captions' words, each with a letter for Alt that no other item
        // and none of the window's Alt keys (N, W, I, S) takes.
        const QStringList captions = {"&Connect",    "&Disconnect", "&Preferences",
                                      "Pa&use Chat", "&Away",       "&Home",
                                      "&Journal",    "His&tory",    "&Quit"};
        const QList<int> images = {0, 1, 2, 7, 4, 5, 8, 8, 6};
        QCOMPARE(items.size(), captions.size());
        QSet<QChar> letters;
        for (int i = 0; i < items.size(); ++i) {
            QCOMPARE(items[i]->text(), captions[i]);
            const QChar letter = captions[i].at(captions[i].indexOf('&') + 1).toLower();
            QVERIFY2(!letters.contains(letter) && !QStringLiteral("nwis").contains(letter),
                     qPrintable(captions[i]));
            letters.insert(letter);
            QVERIFY2(sameIcon(items[i]->icon(), TIcons::menuIcon(images[i])),
                     qPrintable(captions[i]));
        }
        // Each item is wide enough for its image beside its caption.
        m.show();
        const QFontMetrics fm(m.menuBar()->font());
        for (QAction *a : items) {
            const int w = m.menuBar()->actionGeometry(a).width();
            QVERIFY2(w >= 16 + fm.horizontalAdvance(QString(a->text()).remove('&')),
                     qPrintable(a->text()));
        }
    }

    void layoutFollowsTheOuterSize()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.show();
        const QSize frame = m.frameGeometry().size() - m.geometry().size();
        m.resize(800 - frame.width(), 600 - frame.height());
        QTRY_COMPARE(m.frameGeometry().size(), QSize(800, 600));
        QCOMPARE(m.channel->geometry().left(), 620);
        // 328 with rows of 21; rows taller for their fonts take three times
        // what they add from the list.
        const int row = m.text->height();
        QVERIFY(row >= 21 && row >= m.text->sizeHint().height());
        QCOMPARE(m.users->geometry().height(), 328 - 3 * (row - 21));
    }

    void connectLoginDisconnect()
    {
        MainWindowFixture f(conf({"password=secret", "homechannel=Lobby"}));
        LoopbackServer server;
        Tmain &m = *f.main;
        connectTo(f, server);
        // One write: 0x03, 0x04, name CR password CR CR, then the home channel.
        QTRY_COMPARE(server.received(), QByteArray("\x03\x04"
                                                   "alice\rsecret\r\r/join Lobby\r"));
        QCOMPARE(MainWindowFixture::lines(m.chat),
                 QStringList({" Console: Connecting to 127.0.0.1...", " Console: Logging In..."}));
        QVERIFY(!m.menus.Connect->isEnabled());
        QVERIFY(m.menus.Disconnect->isEnabled() && m.menus.Home->isEnabled() &&
                m.menus.PauseChat->isEnabled() && m.menus.Away->isEnabled());
        QVERIFY(!m.options->username->isEnabled());

        m.channel->setText(QStringLiteral("Lobby (1)"));
        m.DisconnectClick();
        QCOMPARE(MainWindowFixture::lines(m.chat).last(),
                 QStringLiteral(" Console: Disconnected."));
        QCOMPARE(m.channel->text(), QStringLiteral("Tressel 1.5"));
        QVERIFY(m.menus.Connect->isEnabled());
        QVERIFY(!m.menus.Disconnect->isEnabled() && !m.menus.Home->isEnabled() &&
                !m.menus.PauseChat->isEnabled() && !m.menus.Away->isEnabled());
        QVERIFY(m.options->username->isEnabled());
        QCOMPARE(m.users->topLevelItemCount(), 0);
    }

    void serverClosing()
    {
        MainWindowFixture f;
        LoopbackServer server;
        Tmain &m = *f.main;
        connectTo(f, server);
        new QTreeWidgetItem(m.users, QStringList(QStringLiteral("bob")));
        m.session->userCount = 1;
        server.closeClient();
        QTRY_COMPARE(MainWindowFixture::lines(m.chat).last(),
                     QStringLiteral(" Console: Disconnected."));
        QCOMPARE(m.users->topLevelItemCount(), 0);
        QCOMPARE(m.session->userCount, 0);
        QCOMPARE(m.channel->text(), QStringLiteral("Tressel 1.5"));
        QVERIFY(m.menus.Connect->isEnabled());
        QVERIFY(!m.session->bnet->Connected());
    }

    void refusedConnection()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        quint16 port;
        {
            QTcpServer probe;
            QVERIFY(probe.listen(QHostAddress::LocalHost, 0));
            port = probe.serverPort();
        }
        m.session->bnet->Port = port;
        m.ConnectClick();
        QTRY_VERIFY(MainWindowFixture::lines(m.chat).contains(
            QStringLiteral(" Console:  A socket error occured.")));
        QVERIFY(m.menus.Connect->isEnabled());
        QVERIFY(!m.menus.Disconnect->isEnabled());
        // The user can try again at once.
        LoopbackServer server;
        connectTo(f, server);
    }

    void disconnectWhileConnecting_data()
    {
        // server: what the connect waits for
        // command: typed, or empty for the handler
        textRows({"server", "command"}, {{"no answer, /disconnect", "silent", "/disconnect"},
                                         {"no answer, Disconnect", "silent", ""},
                                         {"host lookup, /disconnect", "localhost", "/disconnect"},
                                         {"host lookup, Disconnect", "localhost", ""}});
    }
    void disconnectWhileConnecting()
    {
        QFETCH(QString, server);
        QFETCH(QString, command);
        SilentServer silent;
        if (server == QLatin1String("silent") && !silent.full())
            QSKIP("the loopback listener's queue could not be filled here");
        MainWindowFixture f(
            conf({"server=" + (server == QLatin1String("silent") ? "127.0.0.1" : server)}));
        ClockHold clock;
        Tmain &m = *f.main;
        m.session->bnet->Port = silent.port();
        m.session->bnet->ConnectTimeout = 300;
        const QString host = server == QLatin1String("silent") ? "127.0.0.1" : server;
        m.ConnectClick();
        if (server == QLatin1String("silent"))
            QTest::qWait(100); // a real socket: the connect is sent and waits
        QVERIFY(!m.session->bnet->Connected());
        // The window shows the connect under way, and Disconnect cancels it;
        // Connect meanwhile says so instead of starting another.
        auto *status = m.findChild<QLabel *>(QStringLiteral("connectStatus"));
        QVERIFY(status && status->isVisibleTo(&m));
        QCOMPARE(status->text(), QStringLiteral("Connecting to %1, port %2... (Disconnect cancels)")
                                     .arg(host)
                                     .arg(silent.port()));
        QVERIFY(m.menus.Disconnect->isEnabled());
        QVERIFY(m.menus.Connect->isEnabled());
        QVERIFY(!m.menus.Home->isEnabled() && !m.menus.Away->isEnabled());
        m.text->setText(QStringLiteral("/connect"));
        m.sendClick();
        const QString underWay =
            " Console: A connect to " + host + " is under way; Disconnect cancels it.";
        QCOMPARE(MainWindowFixture::lines(m.chat), QStringList{underWay});
        if (command.isEmpty()) {
            m.DisconnectClick();
        } else {
            m.text->setText(command);
            m.sendClick();
        }
        const QStringList cancelled = {underWay,
                                       " Console: The connect to " + host + " was cancelled.",
                                       " Console: Disconnected."};
        QCOMPARE(MainWindowFixture::lines(m.chat), cancelled);
        QCOMPARE(m.channel->text(), QStringLiteral("Tressel 1.5"));
        QVERIFY(m.menus.Connect->isEnabled());
        QVERIFY(!m.menus.Disconnect->isEnabled());
        QVERIFY(!status->isVisibleTo(&m));
        // The attempt is over: nothing of it comes later, not even its timeout.
        moveClock(500);
        QCoreApplication::processEvents();
        QCOMPARE(MainWindowFixture::lines(m.chat), cancelled);

        // Connect works again at once.
        LoopbackServer answering;
        m.options->server->setCurrentText(QStringLiteral("127.0.0.1"));
        connectTo(f, answering);
        QCOMPARE(MainWindowFixture::lines(m.chat),
                 cancelled + QStringList({" Console: Connecting to 127.0.0.1...",
                                          " Console: Logging In..."}));
        QVERIFY(!status->isVisibleTo(&m));
        QVERIFY(answering.received().startsWith("\x03\x04"
                                                "alice\r"));
    }

    void autoConnectOnFirstShowOnly()
    {
        LoopbackServer server;
        MainWindowFixture f(conf({"autoConnect=1"}));
        Tmain &m = *f.main;
        m.session->bnet->Port = server.port();
        m.show();
        QTRY_VERIFY(m.session->bnet->Connected());
        m.DisconnectClick();
        const int lines = m.chat->lineCount();
        m.hide();
        m.show();
        // A second show connects no more: no attempt is under way.
        QCOMPARE(m.chat->lineCount(), lines);
        QVERIFY(!m.session->bnet->Connected());
        QVERIFY(m.envVars.autoConnectDone);
    }

    void homeAndAway()
    {
        MainWindowFixture f(conf({"awaymessage=gone fishing"}));
        LoopbackServer server;
        Tmain &m = *f.main;
        connectTo(f, server);
        server.clearReceived();
        m.HomeClick(); // no home channel: nothing
        m.AwayClick();
        QTRY_COMPARE(server.received(), QByteArray("/away gone fishing\r"));
        QVERIFY(sameIcon(m.menus.Away->icon(), TIcons::menuIcon(3)));
        QCOMPARE(m.menus.Away->text(), QStringLiteral("&Away"));
        m.AwayClick();
        QVERIFY(tickUntilWireShows(m, server, "/away"));
        QCOMPARE(server.received(), QByteArray("/away gone fishing\r/away\r"));
        QVERIFY(sameIcon(m.menus.Away->icon(), TIcons::menuIcon(4)));
        m.options->homechannel->setText(QStringLiteral("Op Tressel"));
        m.HomeClick();
        QVERIFY(tickUntilWireShows(m, server, "/join Op Tressel"));
        QCOMPARE(server.received(), QByteArray("/away gone fishing\r/away\r/join Op Tressel\r"));
    }

    void awayWithEmptyMessageKeepsTheBlank()
    {
        MainWindowFixture f;
        LoopbackServer server;
        connectTo(f, server);
        server.clearReceived();
        f.main->AwayClick();
        QTRY_COMPARE(server.received(), QByteArray("/away \r"));
    }

    void quitAsksUnlessTold()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        f.dialogs.confirmAnswers.enqueue(false);
        m.QuitClick();
        QCOMPARE(f.terminated, 0);
        QCOMPARE(f.dialogs.asked.last().title, QStringLiteral("Confirm"));
        QCOMPARE(f.dialogs.asked.last().text, QStringLiteral("Are you sure you wish to quit?"));
        f.dialogs.confirmAnswers.enqueue(true);
        m.QuitClick();
        QCOMPARE(f.terminated, 1);

        // Closing the window asks the same question.
        f.dialogs.confirmAnswers.enqueue(false);
        QCloseEvent refused;
        QCoreApplication::sendEvent(&m, &refused);
        QVERIFY(!refused.isAccepted());
        QCOMPARE(f.terminated, 1);

        const int asked = f.dialogs.asked.size();
        m.options->confirmquit->setChecked(true);
        QCloseEvent accepted;
        QCoreApplication::sendEvent(&m, &accepted);
        QVERIFY(accepted.isAccepted());
        m.QuitClick();
        QCOMPARE(f.terminated, 3);
        QCOMPARE(f.dialogs.asked.size(), asked);
    }

    void rawPaneAndRawLog()
    {
        MainWindowFixture f(conf({"rawlogfilename=raw.log", "keeprawlog=1"}));
        LoopbackServer server;
        connectRaw(f, server);
        Tmain &m = *f.main;
        server.send("2000 NULL\r\n1018 INFO \"x\"\r\n");
        QTRY_COMPARE(MainWindowFixture::lines(m.whisper),
                     QStringList({"2000 NULL", "1018 INFO \"x\""}));
        QTRY_COMPARE(
            MainWindowFixture::readFile(f.path("raw.log")),
            QByteArray("Raw logfile created by Tressel 1.5 at 2:05:09 PM on 12/8/26.\r\n\r\n"
                       "2000 NULL\r\n1018 INFO \"x\"\r\n"));
        // An existing log is appended to without a header.
        m.whisperClearClick();
        m.dispWhisperClick();
        server.send("2000 AGAIN\r\n");
        QTRY_VERIFY(
            MainWindowFixture::readFile(f.path("raw.log")).endsWith("\"x\"\r\n2000 AGAIN\r\n"));
        QCOMPARE(m.whisper->lineCount(), 0);
    }

    void rawLogWithoutNameWarnsOnce()
    {
        MainWindowFixture f;
        LoopbackServer server;
        Tmain &m = *f.main;
        // The box and the store, which the window reads, without the box's
        // click rule: no file dialog here.
        m.options->keeprawlog->blockSignals(true);
        m.options->keeprawlog->setChecked(true);
        m.store->setFlag(TSetting::keeprawlog, true);
        m.options->keeprawlog->blockSignals(false);
        connectTo(f, server);
        server.send("2000 a\r\n2000 b\r\n2000 c\r\n");
        // A line shown after them proves they were all handled (and logged).
        server.send("1018 INFO \"probe\"\r\n");
        QTRY_VERIFY(MainWindowFixture::lines(m.chat).contains(QStringLiteral(" Info: probe")));
        QStringList errors;
        for (const QString &l : MainWindowFixture::lines(m.chat))
            if (l.startsWith(QStringLiteral(" Error: ")))
                errors << l;
        QCOMPARE(errors.size(), 1);
        QVERIFY(errors.first().contains(QStringLiteral("raw log")));
        QVERIFY(f.dialogs.errors().isEmpty());
    }

    void rawLogFailureShowsOneBoxAndGoesOn()
    {
        MainWindowFixture f(conf({"rawlogfilename=/dev/full", "keeprawlog=1"}));
        LoopbackServer server;
        connectRaw(f, server);
        Tmain &m = *f.main;
        // The user reads the first box while the other lines arrive.
        f.dialogs.whileShowing = [] { MainWindowFixture::runQueuedCalls(); };
        server.send("2000 a\r\n2000 b\r\n2000 c\r\n");
        QTRY_COMPARE(m.whisper->lineCount(), 3);
        QTRY_COMPARE(f.dialogs.errors(), QStringList({"Disk full."}));
        QCOMPARE(f.dialogs.asked.last().title, QStringLiteral("Tressel"));
        QVERIFY(m.session->bnet->Connected());
    }

    void antiIdleEvery602Ticks_data()
    {
        columns<QString, QByteArray>("idletype", "sent");
        QTest::newRow("users") << "1" << QByteArray("/users\r");
        QTest::newRow("stats") << "2" << QByteArray("/stats alice SEXP\r");
        QTest::newRow("time") << "3" << QByteArray("/time\r");
    }
    void antiIdleEvery602Ticks()
    {
        QFETCH(QString, idletype);
        QFETCH(QByteArray, sent);
        ClockHold clock; // before the window: its second starts on this clock
        MainWindowFixture f(conf({"antiidle=1", "idletype=" + idletype}));
        LoopbackServer server;
        Tmain &m = *f.main;
        connectTo(f, server);
        server.clearReceived();
        moveClock(601 * 1000);
        QVERIFY(wireSettled(m, server));
        QCOMPARE(server.received(), QByteArray());
        moveClock(1000); // the 602nd second
        QTRY_COMPARE(server.received(), sent);
        QCOMPARE(m.envVars.idleTicks, 0);
    }

    // A window held up for an hour does not send the hour's five anti-idle
    // commands at once when it runs again: one, and then one every 602
    // seconds as before.
    void aLongStallSendsOneAntiIdleCommand()
    {
        ClockHold clock;
        MainWindowFixture f(conf({"antiidle=1", "idletype=1"}));
        LoopbackServer server;
        Tmain &m = *f.main;
        connectTo(f, server);
        server.clearReceived();
        // Held up: its timer comes an hour late.
        m.timer->stop();
        moveClock(3600 * 1000);
        m.runDueTicks();
        QVERIFY(wireSettled(m, server));
        QCOMPARE(server.received(), QByteArray("/users\r"));
        server.clearReceived();
        moveClock(601 * 1000);
        QVERIFY(wireSettled(m, server));
        QCOMPARE(server.received(), QByteArray());
        moveClock(1000);
        QTRY_COMPARE(server.received(), QByteArray("/users\r"));
    }

    // The ticks count towards the anti-idle point whether it is on or not;
    // the window wakes for none of those that do nothing.
    void antiIdleCountsEvenWhenOff()
    {
        ClockHold clock;
        MainWindowFixture f;
        Tmain &m = *f.main;
        QCOMPARE(m.timer->remainingTime(), 602 * 1000);
        moveClock(601 * 1000);
        m.runDueTicks(); // counted when asked
        QCOMPARE(m.envVars.idleTicks, 601);
        QCOMPARE(m.timer->remainingTime(), 1000);
        moveClock(1000);
        QCOMPARE(m.envVars.idleTicks, 0);
        QCOMPARE(m.timer->remainingTime(), 602 * 1000);
    }

    // While chat is paused the caption blinks on every whole second of the
    // ticks (a pause in mid-second waits for the next), and the ticks go
    // on counting towards the anti-idle point.
    void pausedCaptionBlinks()
    {
        ClockHold clock;
        MainWindowFixture f;
        Tmain &m = *f.main;
        const QString plain = QStringLiteral("Tressel [1.5]");
        const QString paused = QStringLiteral("Tressel [1.5] -- PAUSED --");
        moveClock(2500);
        m.PauseChatClick();
        moveClock(499);
        QCOMPARE(m.windowTitle(), plain);
        moveClock(1);
        QCOMPARE(m.windowTitle(), paused);
        moveClock(1000);
        QCOMPARE(m.windowTitle(), plain);
        moveClock(1000);
        QCOMPARE(m.windowTitle(), paused);
        m.PauseChatClick();
        QCOMPARE(m.windowTitle(), plain);
        moveClock(5000);
        QCOMPARE(m.windowTitle(), plain);
        m.runDueTicks();
        QCOMPARE(m.envVars.idleTicks, 10);
        QCOMPARE(m.timer->remainingTime(), 592 * 1000);
    }

    void enterInTheInputLineSends()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        int clicks = 0;
        connect(m.send, &QPushButton::clicked, [&] { ++clicks; });
        m.text->setText(QStringLiteral("hi"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(clicks, 1);
    }

    // `send` is the window's default button: Enter wherever the focus is in
    // the window sends the input line, once; a window of its own (the
    // preferences dialog) keeps its Enter.
    void enterAnywhereInTheWindowSends_data()
    {
        columns<QString, int, int, bool>("focus", "key", "modifiers", "sends");
        const int none = Qt::NoModifier;
        const int keypad = Qt::KeypadModifier;
        for (const char *w : {"text", "users", "chat", "whisper", "brx", "channel", "lamermode"})
            QTest::newRow(w) << w << int(Qt::Key_Return) << none << true;
        QTest::newRow("users, nothing selected")
            << "users-empty" << int(Qt::Key_Return) << none << true;
        QTest::newRow("keypad Enter in users") << "users" << int(Qt::Key_Enter) << keypad << true;
        QTest::newRow("keypad Enter in text") << "text" << int(Qt::Key_Enter) << keypad << true;
        QTest::newRow("Shift+Return in users")
            << "users" << int(Qt::Key_Return) << int(Qt::ShiftModifier) << true;
        QTest::newRow("Ctrl+Return in text")
            << "text" << int(Qt::Key_Return) << int(Qt::ControlModifier) << true;
        QTest::newRow("preferences dialog") << "options" << int(Qt::Key_Return) << none << false;
    }
    void enterAnywhereInTheWindowSends()
    {
        QFETCH(QString, focus);
        QFETCH(int, key);
        QFETCH(int, modifiers);
        QFETCH(bool, sends);
        MainWindowFixture f;
        Tmain &m = *f.main;
        LoopbackServer server;
        connectTo(f, server);
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.squelchuser(QStringLiteral("mallory"), QStringLiteral("Manually Permasquelched"), 0);
        m.flushUsers();
        m.show();
        QVERIFY(waitActive(&m));
        server.clearReceived();
        QTest::mouseClick(m.text, Qt::LeftButton);
        QTest::keyClicks(m.text, QStringLiteral("hello"));

        QWidget *target = nullptr;
        if (focus == QLatin1String("users")) {
            m.users->setCurrentItem(m.users->topLevelItem(0));
            target = m.users;
        } else if (focus == QLatin1String("users-empty")) {
            m.users->clearSelection();
            target = m.users;
        } else if (focus == QLatin1String("options")) {
            m.PreferencesClick();
            QVERIFY(waitActive(m.options));
            target = m.options->awaymessage;
        } else {
            target = m.findChild<QWidget *>(focus);
        }
        QVERIFY(target);
        target->setFocus();
        QTRY_COMPARE(QApplication::focusWidget(), target);

        QTest::keyClick(target, Qt::Key(key), Qt::KeyboardModifiers(modifiers));
        if (sends) {
            QTRY_COMPARE(server.received(), QByteArray("hello\r"));
            QCOMPARE(m.text->text(), QString());
            // Shown as said once the server's side has taken it.
            QTRY_COMPARE(MainWindowFixture::lastLine(m.chat), QStringLiteral(" <alice> hello"));
        } else {
            QCoreApplication::processEvents();
            m.session->process->floodTimerTick();
            QVERIFY(wireSettled(m, server));
            QCOMPARE(server.received(), QByteArray());
            QCOMPARE(m.text->text(), QStringLiteral("hello"));
        }
        // Once only: nothing more goes out.
        m.session->process->floodTimerTick();
        QVERIFY(wireSettled(m, server));
        QCOMPARE(server.received(), sends ? QByteArray("hello\r") : QByteArray());
    }

    void preferencesShowsTheDialog()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.show();
        m.PreferencesClick();
        QVERIFY(m.options->isVisible());
        QVERIFY(!m.options->isModal());
        m.options->homechannel->setText(QStringLiteral("typed"));
        m.PreferencesClick(); // already visible: only raised, nothing re-read
        QCOMPARE(m.options->homechannel->text(), QStringLiteral("typed"));
    }
};

QTEST_MAIN(TestMainWindowConnection)
#include "test_mainwindow_connection.moc"
