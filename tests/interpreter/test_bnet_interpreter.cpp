// TBnetChat: field extraction, the code table, login bytes and pacing.
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "support/clockhold.h"
#include "support/datarows.h"
#include "support/interpreterevents.h"
#include "support/loopbacklink.h"
#include "support/waits.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

QString latin1(const char *bytes) { return QString::fromLatin1(bytes); }

// Every event of the interpreter, recorded as "Event|arg|arg".
struct EventLog {
    QStringList events;
    void attach(TBnetChat &chat)
    {
        listenToEvents(chat, [this](const QString &name, const QStringList &fields) {
            events << (QStringList{name} + fields).join(QLatin1Char('|'));
        });
    }
};

} // namespace

// The wire tests use a connected link and the server's end of it.
class TestBnetInterpreter : public QObject, LoopbackLinkBench {
    Q_OBJECT

    void connectLink() { openLink(this); }
    // Everything the link has written so far, as the server received it: a
    // probe line written straight to the link after it proves it has all
    // arrived (the probe is left out).
    QByteArray wire() { return readUpToProbe(*link, *peer); }

private Q_SLOTS:
    void initTestCase() { QVERIFY(server.listen(QHostAddress::LocalHost, 0)); }
    void cleanup() { closeLink(); }

    void extractors_data()
    {
        columns<QString, QString, QString, QString, QString>("line", "user", "mess", "flags",
                                                             "userType");

        QTest::newRow("talk") << latin1("1005 TALK bob 0010 \"hi there\"") << "bob"
                              << "hi there"
                              << "ere\""
                              << "here";
        QTest::newRow("user with product") << latin1("1001 USER alice 0010 [CHAT]") << "alice"
                                           << ""
                                           << "0010"
                                           << "CHAT";
        QTest::newRow("flags only") << latin1("1009 USER alice 0012") << "alice"
                                    << ""
                                    << "0012"
                                    << " 001";
        QTest::newRow("inner quotes kept")
            << latin1("1005 TALK bob 0010 \"say \"x\" now\"") << "bob"
            << "say \"x\" now"
            << "now\""
            << " now";
        QTest::newRow("code alone") << latin1("1005") << ""
                                    << ""
                                    << "1005"
                                    << "1005";
        QTest::newRow("empty") << QString() << ""
                               << ""
                               << ""
                               << "";
        QTest::newRow("two chars") << latin1("ab") << ""
                                   << ""
                                   << "ab"
                                   << "ab";
        QTest::newRow("short bracket line") << latin1("x]") << ""
                                            << ""
                                            << "x]"
                                            << "x]";
        QTest::newRow("keyword no space") << latin1("1018 INFO") << ""
                                          << ""
                                          << "INFO"
                                          << " INF";
        QTest::newRow("name ends the line") << latin1("2010 NAME alice") << "alice"
                                            << ""
                                            << "lice"
                                            << "alic";
        QTest::newRow("double space") << latin1("1005 TALK  bob") << ""
                                      << ""
                                      << " bob"
                                      << "  bo";
        QTest::newRow("quote last") << latin1("1018 INFO \"") << "\""
                                    << ""
                                    << "FO \""
                                    << "NFO ";
        QTest::newRow("quote last but one") << latin1("1018 INFO \"x") << "\"x"
                                            << ""
                                            << "O \"x"
                                            << "FO \"";
        QTest::newRow("empty quotes") << latin1("1018 INFO \"\"") << "\"\""
                                      << ""
                                      << "O \"\""
                                      << "FO \"";
        QTest::newRow("last char dropped whatever") << latin1("1018 INFO \"abc") << "\"abc"
                                                    << "ab"
                                                    << "\"abc"
                                                    << " \"ab";
        QTest::newRow("latin1 bytes")
            << latin1("1005 TALK \xe9t\xe9 0010 \"\xff\x01\"") << latin1("\xe9t\xe9")
            << latin1("\xff\x01") << latin1("\"\xff\x01\"") << latin1(" \"\xff\x01");
        QTest::newRow("no keyword field") << latin1("1001 x") << ""
                                          << ""
                                          << "01 x"
                                          << "001 ";
        QTest::newRow("real emote") << latin1("1023 EMOTE bob 0010 \"waves\"") << "bob"
                                    << "waves"
                                    << "ves\""
                                    << "aves";
    }
    void extractors()
    {
        QFETCH(QString, line);
        QFETCH(QString, user);
        QFETCH(QString, mess);
        QFETCH(QString, flags);
        QFETCH(QString, userType);
        TBnetChat chat;
        QCOMPARE(chat.GetUser(line), user);
        QCOMPARE(chat.GetMess(line), mess);
        QCOMPARE(chat.GetFlags(line), flags);
        QCOMPARE(chat.GetUserType(line), userType);
    }

    void codeTable_data()
    {
        columns<QString, QString>("line", "event");

        const QString user = QStringLiteral(" USER bob 0010 [W2BN]");
        const QString said = QStringLiteral(" TALK bob 0010 \"hi\"");
        QTest::newRow("1001") << "1001" + user << "ShowUser|bob|0010|W2BN";
        QTest::newRow("1002") << "1002" + user << "Join|bob|0010|W2BN";
        QTest::newRow("1003") << latin1("1003 LEAVE bob 0010") << "Leave|bob|0010| 001";
        QTest::newRow("1004") << "1004" + said << "Whisper|bob|hi";
        QTest::newRow("1005") << "1005" + said << "Talk|bob|hi";
        QTest::newRow("1006") << latin1("1006 _ \"Announcement from sysop: hello\"")
                              << "Broadcast|Announcement from sysop: hello";
        QTest::newRow("1007") << latin1("1007 CHANNEL \"Chat\"") << "Channel|Chat";
        QTest::newRow("1009") << latin1("1009 USER alice 0002") << "UserFlags|alice|0002";
        QTest::newRow("1010") << "1010" + said << "WhisperSent|bob|hi";
        QTest::newRow("1013") << latin1("1013 CHANNELFULL \"Full\"") << "ChannelFull|Full";
        QTest::newRow("1014") << latin1("1014 CHANNELDOESNOTEXIST \"Nope\"") << "ChanNotExist|Nope";
        QTest::newRow("1015") << latin1("1015 CHANNELRESTRICTED \"Op\"") << "Restricted|Op";
        QTest::newRow("1018") << latin1("1018 INFO \"\"") << "Info|";
        QTest::newRow("1019") << latin1("1019 ERROR \"Bad\"") << "Error|Bad";
        QTest::newRow("1023") << latin1("1023 EMOTE bob 0010 \"waves\"") << "Emote|bob|waves";
        QTest::newRow("2000") << latin1("2000 NULL") << "";
        QTest::newRow("2010") << latin1("2010 NAME alice") << "UniqueName|alice";
        QTest::newRow("code alone") << latin1("1005") << "Talk||";
        for (const char *code : {"1008", "1011", "1012", "1016", "1017", "1020", "1021", "1022",
                                 "1000", "1024", "2001", "0000", "9999"}) {
            const QString line = QLatin1String(code) + QStringLiteral(" X \"m\"");
            QTest::newRow(code) << line << "UnHandled|" + line;
        }
        QTest::newRow("no code") << latin1("Username: alice")
                                 << latin1("UnHandled|Username: alice");
        QTest::newRow("blank") << latin1(" ") << "UnHandled| ";
        QTest::newRow("empty") << QString() << "UnHandled|";
        QTest::newRow("leading blank") << latin1(" 100 X") << "UnHandled| 100 X";
        QTest::newRow("signed") << latin1("+100") << "UnHandled|+100";
        QTest::newRow("negative") << latin1("-1005 X") << "UnHandled|-1005 X";
        QTest::newRow("digits then letter") << latin1("100x TALK") << "UnHandled|100x TALK";
        QTest::newRow("five digits") << latin1("10051 TALK bob 0010 \"hi\"") << "Talk|TALK|hi";
    }
    void codeTable()
    {
        QFETCH(QString, line);
        QFETCH(QString, event);
        TBnetChat chat;
        EventLog log;
        log.attach(chat);
        chat.ParseLine(line);
        QCOMPARE(log.events, event.isEmpty() ? QStringList() : QStringList{event});
    }

    void unboundEventsAreSkipped()
    {
        TBnetChat chat;
        QStringList unhandled;
        chat.OnUnHandled = [&](const QString &m) { unhandled << m; };
        // Known codes without a handler fire nothing, not even OnUnHandled.
        for (const char *line : {"1005 TALK a 0010 \"x\"", "1001 USER a 0010 [CHAT]",
                                 "1009 USER a 0010", "2010 NAME a", "1019 ERROR \"e\""})
            chat.ParseLine(latin1(line));
        QVERIFY(unhandled.isEmpty());
        chat.ParseLine(latin1("1016 X"));
        QCOMPARE(unhandled, QStringList{latin1("1016 X")});
    }

    void handlerMayReplaceItself()
    {
        TBnetChat chat;
        QStringList seen;
        chat.OnTalk = [&](const QString &u, const QString &) {
            seen << u;
            chat.OnTalk = nullptr; // destroys the handler that is running
        };
        chat.ParseLine(latin1("1005 TALK bob 0010 \"x\""));
        chat.ParseLine(latin1("1005 TALK eve 0010 \"x\""));
        QCOMPARE(seen, QStringList{QStringLiteral("bob")});
    }

    // The fields reach the handlers in buffers used again for the next
    // line: what a handler keeps stays as it was, a line parsed from inside
    // a handler leaves the outer one's fields alone, and a field that is
    // not there is still null.
    void fieldsKeptByHandlersStay()
    {
        TBnetChat chat;
        QList<QStringList> kept;
        bool nested = false;
        chat.OnTalk = [&](const QString &u, const QString &m) {
            if (!nested && u == QLatin1String("outer")) {
                nested = true;
                chat.ParseLine(latin1("1005 TALK inner 0010 \"a much longer inner text\""));
                nested = false;
            }
            kept << QStringList{u, m, QString::number(m.isNull())};
        };
        chat.OnJoin = [&](const QString &u, const QString &f, const QString &t) {
            kept << QStringList{u, f, t};
        };
        chat.ParseLine(latin1("1005 TALK longname_first 0010 \"the first, longer text\""));
        chat.ParseLine(latin1("1005 TALK b 0010 \"x\""));
        chat.ParseLine(latin1("1005 TALK outer 0010 \"outer text\""));
        chat.ParseLine(latin1("1005 TALK c 0010 \""));
        chat.ParseLine(latin1("1002 JOIN d 0001 [W2BN]"));
        chat.ParseLine(latin1("1002 JOIN e 0010 [CHAT]"));
        const QList<QStringList> expected = {
            {"longname_first", "the first, longer text", "0"},
            {"b", "x", "0"},
            {"inner", "a much longer inner text", "0"},
            {"outer", "outer text", "0"},
            {"c", "", "1"},
            {"d", "0001", "W2BN"},
            {"e", "0010", "CHAT"},
        };
        QCOMPARE(kept, expected);
    }

    void withoutConnection()
    {
        TBnetChat chat;
        QCOMPARE(chat.FloodInterval(), 1500);
        QCOMPARE(chat.UserName, QStringLiteral("Guest"));
        QVERIFY(chat.Password.isEmpty());
        QVERIFY(!chat.Login());
        chat.SendLine(QStringLiteral("dropped\r"));
        QCOMPARE(chat.queuedCount(), 0);
        chat.floodTimerTick();
        chat.setFloodInterval(250);
        QCOMPARE(chat.FloodInterval(), 250);
    }

    void loginBytes_data()
    {
        columns<QString, QString, QByteArray>("user", "password", "bytes");
        QTest::newRow("empty password") << "a"
                                        << ""
                                        << QByteArray("\x03\x04"
                                                      "a\r\r\r");
        QTest::newRow("account") << "alice"
                                 << "pw1"
                                 << QByteArray("\x03\x04"
                                               "alice\rpw1\r\r");
        QTest::newRow("latin1") << latin1("\xe9t\xe9") << latin1("\xff")
                                << QByteArray("\x03\x04\xe9t\xe9\r\xff\r\r");
    }
    void loginBytes()
    {
        QFETCH(QString, user);
        QFETCH(QString, password);
        QFETCH(QByteArray, bytes);
        connectLink();
        TBnetChat chat;
        chat.ChatInterface = link;
        chat.UserName = user;
        chat.Password = password;
        int logins = 0;
        link->OnLogin = [&] { ++logins; };
        QVERIFY(chat.Login());
        QCOMPARE(logins, 1);
        QCOMPARE(wire(), bytes);
    }

    void loginIsNotPaced()
    {
        connectLink();
        TBnetChat chat;
        chat.setFloodInterval(1000000); // ticks come from the test only
        chat.ChatInterface = link;
        chat.UserName = QStringLiteral("a");
        chat.SendLine(QStringLiteral("first\r"));
        chat.SendLine(QStringLiteral("second\r"));
        QVERIFY(chat.Login()); // goes out past the queued line
        QCOMPARE(wire(), QByteArray("first\r\x03\x04"
                                    "a\r\r\r"));
        QVERIFY(chat.isQueued(QStringLiteral("second\r")));
        chat.floodTimerTick();
        QCOMPARE(wire(), QByteArray("second\r"));
    }

    void loginWhileDown()
    {
        TChatInterface down;
        TBnetChat chat;
        chat.ChatInterface = &down;
        int logins = 0;
        down.OnLogin = [&] { ++logins; };
        QVERIFY(chat.Login()); // nothing to send counts as success
        QCOMPARE(logins, 0);
        QCOMPARE(down.LoginScript, QStringList{QStringLiteral("\x03\x04Guest\r\r")});
    }

    void pacingThreeInARow()
    {
        connectLink();
        TBnetChat chat;
        chat.setFloodInterval(1000000);
        chat.QuotaUnits = 100; // the tick alone: the quota has its own tests
        chat.ChatInterface = link;
        chat.SendLine(QStringLiteral("one\r"));
        chat.SendLine(QStringLiteral("two\r"));
        chat.SendLine(QStringLiteral("three\r"));
        QCOMPARE(wire(), QByteArray("one\r"));
        QCOMPARE(chat.queuedCount(), 2);
        QVERIFY(chat.isQueued(QStringLiteral("two\r")));
        QVERIFY(chat.isQueued(QStringLiteral("three\r")));
        chat.floodTimerTick();
        QCOMPARE(wire(), QByteArray("two\r"));
        QVERIFY(!chat.isQueued(QStringLiteral("two\r")));
        chat.floodTimerTick();
        QCOMPARE(wire(), QByteArray("three\r"));
        QCOMPARE(chat.queuedCount(), 0);
        // Still not ready: a line now waits for the next tick...
        chat.SendLine(QStringLiteral("four\r"));
        QCOMPARE(wire(), QByteArray());
        chat.floodTimerTick();
        QCOMPARE(wire(), QByteArray("four\r"));
        // ...and a tick with nothing waiting re-arms the immediate send.
        chat.floodTimerTick();
        chat.SendLine(QStringLiteral("five\r"));
        QCOMPARE(wire(), QByteArray("five\r"));
    }

    void pacingLinesGivenWhileDown()
    {
        connectLink();
        TBnetChat chat;
        chat.setFloodInterval(1000000);
        chat.ChatInterface = link;
        link->Close();
        int sendErrors = 0;
        link->OnSendError = [&] { ++sendErrors; };
        QStringList unsent;
        int unsentWritten = -1;
        chat.OnUnsent = [&](const QStringList &lines, int written) {
            unsent << lines;
            unsentWritten = written;
        };
        // Nothing is written to a link that is down: every line waits for
        // the tick, which gives them all back.
        chat.SendLine(QStringLiteral("first\r"));
        chat.SendLine(QStringLiteral("a\r"));
        chat.SendLine(QStringLiteral("b\r"));
        QCOMPARE(chat.queuedCount(), 3);
        QVERIFY(!chat.inFlight());
        chat.floodTimerTick();
        QCOMPARE(chat.queuedCount(), 0);
        QCOMPARE(unsent, QStringList({"first", "a", "b"}));
        QCOMPARE(unsentWritten, 0);
        QCOMPARE(sendErrors, 0);
        delete peer;
        peer = nullptr;
        delete link;
        link = nullptr;

        // Back up: after the tick that found nothing, the next line goes at once.
        connectLink();
        chat.ChatInterface = link;
        chat.floodTimerTick();
        chat.SendLine(QStringLiteral("c\r"));
        QCOMPARE(wire(), QByteArray("c\r"));
    }

    void handlerMaySendLine()
    {
        connectLink();
        TBnetChat chat;
        chat.setFloodInterval(1000000);
        chat.ChatInterface = link;
        chat.OnTalk = [&](const QString &u, const QString &m) {
            chat.SendLine(u + QLatin1Char(':') + m + QLatin1Char('\r'));
        };
        chat.ParseLine(latin1("1005 TALK bob 0010 \"hi\""));
        chat.ParseLine(latin1("1005 TALK eve 0010 \"yo\""));
        QCOMPARE(wire(), QByteArray("bob:hi\r"));
        chat.floodTimerTick();
        QCOMPARE(wire(), QByteArray("eve:yo\r"));
    }

    // A line counts as taken only once the peer has acknowledged it, and
    // nothing else goes while it is in flight, whatever the ticks say: the
    // peer reads nothing, so a blob written before the line fills its
    // receive window and holds the line's bytes unacknowledged. A refusal
    // that comes meanwhile is the line's own; when the peer reads again the
    // line is taken, and then the next goes.
    void oneLineInFlightUntilTaken()
    {
        connectLink();
        peer->setReadBufferSize(1024); // Qt reads no more than this ahead
        TBnetChat chat;
        chat.setFloodInterval(1000000);
        chat.QuotaUnits = 100;
        qint64 now = 0;
        chat.clock = [&now] { return now; };
        chat.ChatInterface = link;
        QStringList taken;
        chat.OnTaken = [&](const QString &line) { taken << line; };
        QStringList refused;
        chat.OnRefused = [&](const QString &line, int) { refused << line; };
        const QByteArray blob(32 << 20, 'b');
        QVERIFY(link->SendData(QString::fromLatin1(blob)));
        chat.SendLine(QStringLiteral("first\r"));
        chat.SendLine(QStringLiteral("second\r"));
        QVERIFY(chat.inFlight());
        QCOMPARE(chat.queuedCount(), 1);
        // A real wait: whether a line is taken is read from the kernel by a
        // real-time poll (every 5 ms), which no test clock moves; ten polls
        // pass, and none may take a line the server has not read.
        QTest::qWait(50);
        chat.floodTimerTick();
        QVERIFY(chat.inFlight());
        QVERIFY(link->UnacknowledgedBytes() > 0);
        QCOMPARE(chat.queuedCount(), 1);
        QVERIFY(taken.isEmpty());

        // The server refuses the line in flight: that line goes again first.
        chat.ParseLine(QStringLiteral("1019 ERROR \"%1\"").arg(TBnetChat::QuotaRefusal));
        QCOMPARE(refused, QStringList{QStringLiteral("first\r")});
        QVERIFY(!chat.inFlight());
        QCOMPARE(chat.queuedCount(), 2);
        QVERIFY(chat.isQueued(QStringLiteral("first\r")));

        // The peer reads everything: the blob, then the lines in order, each
        // going once the one before was taken.
        peer->setReadBufferSize(0);
        QByteArray got;
        QVERIFY(QTest::qWaitFor(
            [&] {
                got += peer->readAll();
                if (!chat.inFlight()) {
                    // The quota has its own tests: its windows pass at once.
                    now += 120000;
                    chat.floodTimerTick();
                }
                return got.endsWith("second\r");
            },
            20000));
        QCOMPARE(got.mid(blob.size()), QByteArray("first\rfirst\rsecond\r"));
        QTRY_COMPARE(taken, QStringList({"first\r", "second\r"}));
    }

    // The link ends with a line in flight and others queued: all go back
    // at once, the written one first and counted as possibly arrived.
    void linkEndedGivesBackWhatWasNotTaken()
    {
        connectLink();
        peer->setReadBufferSize(1024);
        TBnetChat chat;
        chat.setFloodInterval(1000000);
        chat.QuotaUnits = 100;
        chat.ChatInterface = link;
        QStringList unsent;
        int written = -1;
        int calls = 0;
        chat.OnUnsent = [&](const QStringList &lines, int w) {
            unsent = lines;
            written = w;
            ++calls;
        };
        QVERIFY(link->SendData(QString::fromLatin1(QByteArray(32 << 20, 'b'))));
        chat.SendLine(QStringLiteral("maybe\r"));
        chat.SendLine(QStringLiteral("queued\r"));
        QVERIFY(chat.inFlight());
        peer->abort();
        QTRY_VERIFY(!link->Connected());
        chat.linkEnded();
        QCOMPARE(unsent, QStringList({"maybe", "queued"}));
        QCOMPARE(written, 1);
        QVERIFY(!chat.inFlight());
        QCOMPARE(chat.queuedCount(), 0);
        chat.linkEnded(); // nothing twice
        QCOMPARE(calls, 1);
    }

    void timerDrivesPacing()
    {
        connectLink();
        TBnetChat chat;
        chat.setFloodInterval(20);
        chat.ChatInterface = link;
        for (const char *l : {"1\r", "2\r", "3\r"})
            chat.SendLine(latin1(l));
        QTRY_COMPARE(chat.queuedCount(), 0);
        QCOMPARE(wire(), QByteArray("1\r2\r3\r"));
    }

    // The ticks keep whole intervals from the start, but the timer is set
    // only while a tick has something to do: a quiet connection is not
    // woken every FloodInterval.
    void ticksWakeOnlyWithWork()
    {
        ClockHold clock;
        connectLink();
        TBnetChat chat; // its ticks fall at 1500, 3000, ...
        chat.ChatInterface = link;
        QVERIFY(!chat.ticking());
        moveClock(700);
        chat.SendLine(latin1("1\r"));
        chat.SendLine(latin1("2\r"));
        QCOMPARE(wire(), QByteArray("1\r")); // the first goes at once
        QVERIFY(chat.ticking());
        moveClock(799);
        QCOMPARE(chat.queuedCount(), 1);
        moveClock(1); // the tick at 1500, not 700 + 1500
        QCOMPARE(wire(), QByteArray("2\r"));
        QTRY_VERIFY(!chat.inFlight());
        moveClock(1500); // the last line's tick: the next may go at once
        QVERIFY(!chat.ticking());
        moveClock(10 * 1500 + 300);
        chat.SendLine(latin1("3\r"));
        chat.SendLine(latin1("4\r"));
        QCOMPARE(wire(), QByteArray("3\r"));
        moveClock(1199);
        QCOMPARE(chat.queuedCount(), 1);
        moveClock(1); // 13 intervals from the start
        QCOMPARE(wire(), QByteArray("4\r"));
    }

    void transcriptLines()
    {
        // A login as a real server sends it, through the link and the parser.
        connectLink();
        TBnetChat chat;
        EventLog log;
        log.attach(chat);
        link->OnDataReceived = [&](const QString &line) { chat.ParseLine(line); };
        peer->write("Username: alice\r\nPassword: \r\n2010 NAME alice\r\n1007 CHANNEL \"Chat\"\r\n"
                    "1001 USER alice 0010 [CHAT]\r\n1018 INFO \"\"\r\n"
                    "1005 TALK alice 0010 \"You have no mail.\"\r\n1003 LEAVE bob 0000\r\n");
        const QStringList expected{"UnHandled|Username: alice",
                                   "UnHandled|Password: ",
                                   "UniqueName|alice",
                                   "Channel|Chat",
                                   "ShowUser|alice|0010|CHAT",
                                   "Info|",
                                   "Talk|alice|You have no mail.",
                                   "Leave|bob|0000| 000"};
        QTRY_COMPARE(log.events, expected);
    }
};

QTEST_MAIN(TestBnetInterpreter)
#include "test_bnet_interpreter.moc"
