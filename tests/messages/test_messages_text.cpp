// Text from the server as people read it: the name and the message of a
// line decoded each on its own (UTF-8 where the bytes are UTF-8, otherwise
// Windows-1252), while the chat log, brx.conf and the wire keep the bytes.
#include "messagesfixture.h"
#include "rawclient.h"
#include "segments.h"
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"
#include "support/loopbackserver.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/datarows.h"
#include "support/waits.h"
#include "widgets/textitems.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLineEdit>
#include <QListWidget>
#include <QTcpSocket>
#include <QTreeWidget>
#include <QtTest>

namespace {
QString u8(const char *s) { return QString::fromUtf8(s); }
QString bytes(const QByteArray &b) { return QString::fromLatin1(b); }

// The texts of the tests, as bytes on the wire and as read.
const QByteArray helloUtf8 =
    "h\xc3\xa9llo w\xc3\xb6rld \xe2\x82\xac \xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
const char *const helloShown = "h\u00e9llo w\u00f6rld \u20ac \u043f\u0440\u0438\u0432\u0435\u0442";
const QByteArray cafeLatin1 = "caf\xe9";
const QByteArray joseLatin1 = "Jos\xe9";
const QByteArray yuliaUtf8 = "\xd0\xae\xd0\xbb\xd1\x8f";
const char *const yuliaShown = "\u042e\u043b\u044f";

bool waitForLine(Tmain &m, TTranscriptPane *pane, const QString &line)
{
    return tickPacingUntil(
        m, [&] { return MessagesFixture::lines(pane).contains(line); }, 5000);
}

int indexOf(TTranscriptPane *pane, const QString &line)
{
    return int(MessagesFixture::lines(pane).indexOf(line));
}

QTreeWidgetItem *rowOf(Tmain &m, const QString &caption)
{
    m.flushUsers();
    const auto found = m.users->findItems(caption, Qt::MatchExactly);
    return found.isEmpty() ? nullptr : found.first();
}

// A window logged in to a stand-in server that records every byte.
struct Connected {
    explicit Connected(const QStringList &conf = {})
        : f(QStringList{QStringLiteral("password=pw")} + conf), m(*f.main)
    {
        connectToServer(m, server); // says so when no login arrives
    }
    // Lets the pacing send what waits and returns the bytes sent since the
    // last call.
    QByteArray sent() { return takeWire(m, server); }
    bool serverSays(const QByteArray &line, TTranscriptPane *pane, const QString &shown)
    {
        server.send(line + "\r\n");
        return waitForLine(m, pane, shown);
    }
    MessagesFixture f;
    Tmain &m;
    LoopbackServer server;
};
} // namespace

class TestMessagesText : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Members of one channel of the local gateway, speaking UTF-8 and
    // Latin-1 under names in either: every line reads right, side by side,
    // and the chat log holds the bytes as they came.
    void sideBySideThroughGateway()
    {
        using namespace colours;
        GatewayProcess gateway({QStringLiteral("--no-flood-quota")});
        QVERIFY2(gateway.port() != 0, qPrintable(gateway.errorText()));
        MessagesFixture f({QStringLiteral("password=pw"), QStringLiteral("logfilename=chat.log"),
                           QStringLiteral("keeplog=1")});
        Tmain &m = *f.main;
        QVERIFY(connectToGateway(m, gateway.port()));
        RawClient bob, jose, yulia;
        QVERIFY(bob.login(gateway.port(), "bob"));
        QVERIFY(jose.login(gateway.port(), joseLatin1));
        QVERIFY(yulia.login(gateway.port(), yuliaUtf8));

        bob.say(helloUtf8);
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" <bob> ") + u8(helloShown)));
        bob.say(cafeLatin1);
        QVERIFY(waitForLine(m, m.chat, u8(" <bob> caf\u00e9")));
        jose.say("\xe2\x82\xac"
                 "5 \xd0\xbf\xd1\x80\xd0\xb8");
        const QString joseLine = u8(" <Jos\u00e9> \u20ac5 \u043f\u0440\u0438");
        QVERIFY(waitForLine(m, m.chat, joseLine));
        jose.say("/me w\xc3\xa4hlt");
        QVERIFY(waitForLine(m, m.chat, u8(" * Jos\u00e9 w\u00e4hlt * ")));
        yulia.say("\x80 " + cafeLatin1);
        QVERIFY(waitForLine(m, m.chat, u8(" <") + u8(yuliaShown) + u8("> \u20ac caf\u00e9")));

        // The colours follow the characters, not the bytes.
        QCOMPARE(segments(m.chat, indexOf(m.chat, joseLine)),
                 (QStringList{seg(name, u8(" <Jos\u00e9> ")),
                              seg(text, u8("\u20ac5 \u043f\u0440\u0438"))}));

        const QByteArray log = MessagesFixture::readFile(QStringLiteral("chat.log"));
        for (const QByteArray &line :
             {" <bob> " + helloUtf8, " <bob> " + cafeLatin1,
              " <" + joseLatin1 +
                  "> \xe2\x82\xac"
                  "5 \xd0\xbf\xd1\x80\xd0\xb8",
              " * " + joseLatin1 + " w\xc3\xa4hlt * ", " <" + yuliaUtf8 + "> \x80 " + cafeLatin1})
            QVERIFY2(log.contains("\r\n" + line + "\r\n"), line.constData());

        // The user list shows the names as read and keeps their bytes.
        QTreeWidgetItem *joseRow = rowOf(m, u8("Jos\u00e9"));
        QTreeWidgetItem *yuliaRow = rowOf(m, u8(yuliaShown));
        QVERIFY(joseRow && yuliaRow);
        QCOMPARE(TTextItem::bytesOf(joseRow), bytes(joseLatin1));
        QCOMPARE(TTextItem::bytesOf(yuliaRow), bytes(yuliaUtf8));
    }

    // Server notices and the raw pane: each text decoded as a whole; the
    // raw log keeps the bytes.
    void serverTexts_data()
    {
        columns<QByteArray, QString>("line", "shown");
        QTest::newRow("info utf-8") << QByteArray("1018 INFO \"Gr\xc3\xbc\xc3\x9f"
                                                  "e \xe2\x80\x94 ok\"")
                                    << u8(" Info: Gr\u00fc\u00dfe \u2014 ok");
        QTest::newRow("error 1252") << QByteArray("1019 ERROR \"\xe9"
                                                  "chec \x93quoted\x94\"")
                                    << u8(" Error: \u00e9chec \u201cquoted\u201d");
        QTest::newRow("broadcast utf-8") << QByteArray("1006 BROADCAST \"\xe2\x82\xac"
                                                       "1 day\"")
                                         << u8(" Broadcast: \u20ac1 day");
        QTest::newRow("channel") << QByteArray("1007 CHANNEL \"Caf\xe9\"")
                                 << u8(" Info: Joined Channel Caf\u00e9");
        QTest::newRow("not well formed")
            << QByteArray("1018 INFO \"\xc3\x28 half\"") << u8(" Info: \u00c3( half");
    }
    void serverTexts()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, shown);
        Connected c({QStringLiteral("rawlogfilename=raw.log"), QStringLiteral("keeprawlog=1")});
        Tmain &m = c.m;
        m.dispRawClick();
        QVERIFY(c.serverSays(line, m.chat, shown));
        // The raw line, one byte string, is read as a whole.
        QCOMPARE(MessagesFixture::lastLine(m.whisper), TText::decode(bytes(line)));
        QVERIFY(
            MessagesFixture::readFile(QStringLiteral("raw.log")).endsWith("\r\n" + line + "\r\n"));
    }

    // Whispers in both directions, and a paused emote replayed later, read
    // right; a whisper's name and text are decoded each on its own.
    void whispersAndHeldLines()
    {
        using namespace colours;
        MessagesFixture f;
        Tmain &m = *f.main;
        m.processWhisper(bytes(joseLatin1), bytes(helloUtf8));
        QCOMPARE(lastSegments(m.whisper),
                 (QStringList{seg(whisp, u8(" <From: Jos\u00e9>  ")), seg(text, u8(helloShown))}));
        m.processWhisperSent(bytes(yuliaUtf8), bytes(cafeLatin1));
        QCOMPARE(MessagesFixture::lastLine(m.whisper),
                 u8(" <To: ") + u8(yuliaShown) + u8(">  caf\u00e9"));
        QCOMPARE(m.envVars.lastWhisperer, bytes(joseLatin1));

        m.PauseChatClick();
        m.processEmote(bytes(joseLatin1), bytes("w\xc3\xa4hlt"));
        m.processTalk(bytes(yuliaUtf8), bytes("\x80"));
        m.PauseChatClick();
        const QStringList lines = f.chatLines();
        QCOMPARE(lines.mid(lines.size() - 2),
                 (QStringList{u8(" * Jos\u00e9 w\u00e4hlt * "),
                              u8(" <") + u8(yuliaShown) + u8("> \u20ac")}));
    }

    // Names in the user list and the squelch list: shown as read, while
    // brx.conf, the wire and every look-up use the bytes.
    void listsKeepTheBytes()
    {
        Connected c;
        Tmain &m = c.m;
        m.processChannel(bytes("Caf\xe9"));
        m.processShowUser(bytes(joseLatin1), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(bytes(yuliaUtf8), QStringLiteral("0010"), QStringLiteral("SEXP"));
        QTreeWidgetItem *jose = rowOf(m, u8("Jos\u00e9"));
        QVERIFY(jose);
        QCOMPARE(m.channel->text(), u8("Caf\u00e9 (2)"));
        (void)c.sent();

        m.users->setCurrentItem(jose);
        m.WhoisClick();
        m.SquelchClick();
        m.StatsClick();
        m.text->setText(QStringLiteral("hi"));
        m.usersKeyDown(Qt::Key_W, Qt::AltModifier);
        QCOMPARE(c.sent(), "/whois " + joseLatin1 + "\r/squelch " + joseLatin1 + "\r/stats " +
                               joseLatin1 + " STAR\r/m " + joseLatin1 + " hi\r");
        m.users->setCurrentItem(rowOf(m, u8("Jos\u00e9")));
        m.usersCopyNameClick();
        QCOMPARE(QApplication::clipboard()->text(), u8("Jos\u00e9"));
        m.usersKeyDown(Qt::Key_N, Qt::AltModifier);
        QCOMPARE(m.text->text(), u8("Jos\u00e9 "));

        m.users->setCurrentItem(rowOf(m, u8("Jos\u00e9")));
        m.PermasquelchClick();
        QCOMPARE(MessagesFixture::readFile(QStringLiteral("brx.conf")),
                 "STAR" + joseLatin1 + "\r\n");
        QCOMPARE(m.brx->count(), 1);
        QCOMPARE(m.brx->item(0)->text(), u8("Jos\u00e9"));
        QCOMPARE(MessagesFixture::lastLine(m.chat),
                 u8(" Console: Jos\u00e9 was permasquelched (Manually Permasquelched)"));
        QVERIFY(m.checkSquelch(bytes(joseLatin1)));
        // The same name as read, spelled in UTF-8, is another name.
        QVERIFY(!m.checkSquelch(bytes("Jos\xc3\xa9")));
        // The row shows the red X, found by its bytes.
        QCOMPARE(rowOf(m, u8("Jos\u00e9"))->data(0, Qt::UserRole).toInt(), 5);
        const int before = m.chat->lineCount();
        m.processTalk(bytes(joseLatin1), QStringLiteral("hidden"));
        QCOMPARE(m.chat->lineCount(), before);

        m.brx->setCurrentRow(0);
        m.brxCopyNameClick();
        QCOMPARE(QApplication::clipboard()->text(), u8("Jos\u00e9"));
        m.brxDblClick();
        QCOMPARE(m.brx->count(), 0);
        QCOMPARE(MessagesFixture::readFile(QStringLiteral("brx.conf")), QByteArray());
        QCOMPARE(MessagesFixture::lastLine(m.chat),
                 u8(" Console: Jos\u00e9 was unpermasquelched."));

        // The safelist works on the bytes too.
        m.users->setCurrentItem(rowOf(m, u8(yuliaShown)));
        m.addtosafeClick();
        QVERIFY(m.checkSafe(bytes(yuliaUtf8)));
        QCOMPARE(m.options->safe->item(0)->text(), u8(yuliaShown));
        QVERIFY(MessagesFixture::readFile(QStringLiteral("tressel.conf"))
                    .contains("\r\nsafe=" + yuliaUtf8 + "\r\n"));
        m.users->setCurrentItem(rowOf(m, u8(yuliaShown)));
        m.remfromsafeClick();
        QCOMPARE(m.options->safe->count(), 0);
    }

    // A squelch list in Latin-1 and UTF-8 loads as read, squelches by its
    // bytes and is written back byte for byte; a typed name goes in the
    // chosen encoding, or not at all when it cannot.
    void squelchFileKeepsItsBytes_data()
    {
        // added: empty: refused
        columns<int, QString, QByteArray>("encoding", "typed", "added");
        QTest::newRow("utf-8") << int(Toptions::EncodeUtf8) << u8("Zo\u00eb")
                               << QByteArray("CHATZo\xc3\xab\r\n");
        QTest::newRow("1252") << int(Toptions::EncodeWindows1252) << u8("Zo\u00eb")
                              << QByteArray("CHATZo\xeb\r\n");
        QTest::newRow("1252 refused")
            << int(Toptions::EncodeWindows1252) << u8(yuliaShown) << QByteArray();
    }
    void squelchFileKeepsItsBytes()
    {
        QFETCH(int, encoding);
        QFETCH(QString, typed);
        QFETCH(QByteArray, added);
        const QByteArray file =
            "STAR" + joseLatin1 + "\r\nSEXP" + yuliaUtf8 + "\r\nCHAT\x80uro\r\n";
        MainWindowFixture f(MainWindowFixture::defaultConf(), MainWindowFixture::defaultNow(),
                            {{QStringLiteral("brx.conf"), file}});
        Tmain &m = *f.main;
        m.options->outgoingEncoding->selectIndex(encoding);
        QCOMPARE(m.brx->count(), 3);
        QCOMPARE(m.brx->item(0)->text(), u8("Jos\u00e9"));
        QCOMPARE(m.brx->item(1)->text(), u8(yuliaShown));
        QCOMPARE(m.brx->item(2)->text(), u8("\u20acuro"));
        QVERIFY(m.checkSquelch(bytes(yuliaUtf8)));
        m.processTalk(bytes(yuliaUtf8), QStringLiteral("hidden"));
        QVERIFY(!f.chatLines().contains(u8(" <") + u8(yuliaShown) + u8("> hidden")));

        f.dialogs.inputAnswers.enqueue({true, typed});
        m.AddClick();
        const QByteArray after = MessagesFixture::readFile(QStringLiteral("brx.conf"));
        if (added.isEmpty()) {
            QCOMPARE(f.dialogs.errors().size(), 1);
            QVERIFY2(f.dialogs.errors().first().contains(u8("\"\u042e\"")),
                     qPrintable(f.dialogs.errors().first()));
            QCOMPARE(m.brx->count(), 3);
            QCOMPARE(after, file);
            return;
        }
        QCOMPARE(after, file + added);
        QCOMPARE(m.brx->item(3)->text(), typed);
    }

    // Trigger phrases work on the characters of the decoded line; the
    // high-ASCII and upper-case shares still count bytes.
    void judgingDecodedLines_data()
    {
        // trigger: as tressel.conf holds it; empty: none
        // test: "", "ascii" or "uc"
        columns<QByteArray, QString, QByteArray, bool>("trigger", "test", "line", "fires");
        const QByteArray privet = "(?i)\xd0\xbf\xd1\x80\xd0\xb8\xd0\xb2\xd0\xb5\xd1\x82";
        QTest::newRow("(?i) on cyrillic")
            << privet << "" << QByteArray("\xd0\x9f\xd0\xa0\xd0\x98\xd0\x92\xd0\x95\xd0\xa2 all")
            << true;
        QTest::newRow("(?i) no match")
            << privet << "" << QByteArray("\xd0\xbf\xd1\x80\xd0\xb8 all") << false;
        QTest::newRow("four latin-1") << QByteArray("^.{4}$") << "" << cafeLatin1 << true;
        QTest::newRow("four utf-8")
            << QByteArray("^.{4}$") << "" << QByteArray("caf\xc3\xa9") << true;
        QTest::newRow("five") << QByteArray("^.{4}$") << "" << QByteArray("cafe!") << false;
        QTest::newRow("class") << QByteArray("^[\xc3\xa0-\xc3\xbf]+$") << ""
                               << QByteArray("\xc3\xa9\xc3\xa8") << true;
        QTest::newRow("latin-1 phrase, utf-8 line")
            << QByteArray("(?i)caf\xe9") << "" << QByteArray("CAF\xc3\x89!") << true;
        // "ab" and the three bytes of the euro sign: 60 % of the bytes.
        QTest::newRow("high ascii bytes")
            << QByteArray() << "ascii" << QByteArray("ab\xe2\x82\xac") << true;
        // Two capitals of six bytes (33 %), though of four characters (50 %).
        QTest::newRow("upper case bytes") << QByteArray() << "uc"
                                          << QByteArray("\xc3\x89\xc3\x89"
                                                        "AB")
                                          << false;
    }
    void judgingDecodedLines()
    {
        QFETCH(QByteArray, trigger);
        QFETCH(QString, test);
        QFETCH(QByteArray, line);
        QFETCH(bool, fires);
        QStringList conf = {QStringLiteral("username=alice"), QStringLiteral("asciiPercentage=50"),
                            QStringLiteral("ucPercentage=40"), QStringLiteral("autoAction=0")};
        if (!trigger.isEmpty())
            conf << bytes("triggerPhrase=" + trigger);
        if (test == QLatin1String("ascii"))
            conf << QStringLiteral("squelchAscii=1");
        if (test == QLatin1String("uc"))
            conf << QStringLiteral("squelchUc=1");
        MainWindowFixture f(conf);
        Tmain &m = *f.main;
        m.processShowUser(bytes(joseLatin1), QStringLiteral("0010"), QStringLiteral("CHAT"));
        QString reason;
        QCOMPARE(m.autosquelch(reason, bytes(joseLatin1), bytes(line)), fires);
        // Through a talk line, a verdict permasquelches.
        m.processTalk(bytes(joseLatin1), bytes(line));
        QCOMPARE(m.checkSquelch(bytes(joseLatin1)), fires);
        if (fires)
            QCOMPARE(MessagesFixture::readFile(QStringLiteral("brx.conf")),
                     "CHAT" + joseLatin1 + "\r\n");
    }

    // Own name, password, home channel and away message go out as the bytes
    // the configuration file holds.
    void settingsGoOutAsBytes()
    {
        const QStringList conf = {QStringLiteral("username=Jos\xe9"),
                                  QStringLiteral("homechannel=Caf\xe9"),
                                  QStringLiteral("awaymessage=\xe0 plus")};
        MessagesFixture f(QStringList{QStringLiteral("password=p\xe4ss")} + conf);
        Tmain &m = *f.main;
        LoopbackServer server;
        m.session->bnet->Port = server.port();
        m.ConnectClick();
        // The login, then the home channel joined on its own.
        const QByteArray login = "\x03\x04Jos\xe9\rp\xe4ss\r\r/join Caf\xe9\r";
        QVERIFY(waitUntil([&] { return server.received().size() >= login.size(); }, 5000));
        QCOMPARE(server.received(), login);
        server.clearReceived();
        m.HomeClick();
        m.AwayClick();
        QVERIFY(tickUntilWireShows(m, server, "/away \xe0 plus"));
        QCOMPARE(server.received(), QByteArray("/join Caf\xe9\r/away \xe0 plus\r"));
        // The own name is never acted on, even when judged.
        m.options->squelchFlooders->setChecked(true);
        m.processShowUser(bytes(joseLatin1), QStringLiteral("0010"), QStringLiteral("CHAT"));
        for (int i = 0; i < 3; ++i)
            m.processTalk(bytes(joseLatin1), QStringLiteral("again"));
        QVERIFY(!m.checkSquelch(bytes(joseLatin1)));
        // Own lines echo under the decoded name.
        QCOMPARE(m.options->username->text(), u8("Jos\u00e9"));
    }

    // Copy and Save As give the text as shown; Save As writes UTF-8.
    void copyAndSaveAs()
    {
        MessagesFixture f;
        Tmain &m = *f.main;
        m.processTalk(QStringLiteral("bob"), bytes(helloUtf8));
        m.processTalk(QStringLiteral("bob"), bytes(cafeLatin1));
        m.SelectAll1Click();
        m.Copy1Click();
        QCOMPARE(QApplication::clipboard()->text(),
                 QStringLiteral(" <bob> ") + u8(helloShown) + u8("\n <bob> caf\u00e9"));
        const QString name = f.path(QStringLiteral("saved.txt"));
        f.dialogs.saveAnswers.enqueue(name);
        m.SaveAs1Click();
        QCOMPARE(MessagesFixture::readFile(name),
                 " <bob> " + helloUtf8 + "\r\n <bob> caf\xc3\xa9\r\n");
        QCOMPARE(MessagesFixture::lastLine(m.chat),
                 QStringLiteral(" Console:  ") + name + QStringLiteral(" saved."));
    }
};

QTEST_MAIN(TestMessagesText)
#include "test_messages_text.moc"
