// The input line: sending, the local commands and their prefix rules, the
// raw-mode echo, the Alt keys and the double click.
#include "messagesfixture.h"
#include "segments.h"
#include "support/connectedwindow.h"
#include "support/loopbackserver.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/datarows.h"
#include "support/waits.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTreeWidget>
#include <QtTest>

namespace {
// The login of these tests; the home channel's /join may follow it at once.
const QByteArray login = loginBytes("alice", "pw");

// Drives the pacing until the wire holds expected (or gives up).
bool wireGets(Tmain &m, LoopbackServer &server, const QByteArray &expected)
{
    return tickPacingUntil(
        m, [&] { return server.received() == expected; }, 5000);
}

// A window logged in to a stand-in server, the wire empty after the
// login's own lines (a home channel's, say).
struct Online {
    explicit Online(const QStringList &conf)
        : f(conf), m(*f.main), up(connectToServer(m, server, login))
    {
        takeWire(m, server);
    }
    MessagesFixture f;
    Tmain &m;
    LoopbackServer server;
    bool up;
};

void type(Tmain &m, const QString &line)
{
    m.text->setText(line);
    m.sendClick();
}

QTreeWidgetItem *selectUser(Tmain &m, const QString &name)
{
    auto *item = new QTreeWidgetItem(m.users, QStringList{name});
    m.users->setCurrentItem(item);
    item->setSelected(true);
    return item;
}

QStringList conf(const QStringList &extra = {})
{
    return QStringList{QStringLiteral("password=pw")} + extra;
}
} // namespace

class TestInputCommands : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void forwardedOrLocal_data()
    {
        // chatLine: the new chat line, empty: none
        columns<QString, QByteArray, QString>("line", "wire", "chatLine");
        const QString ver = QStringLiteral(" Console:  Tressel [1.5]");
        QTest::newRow("/ver") << "/ver" << QByteArray() << ver;
        QTest::newRow("/version is /ver") << "/version" << QByteArray() << ver;
        QTest::newRow("/ver with more") << "/ver please" << QByteArray() << ver;
        QTest::newRow("/Ver goes to the server") << "/Ver" << QByteArray("/Ver\r") << QString();
        QTest::newRow("/Quit goes to the server") << "/Quit" << QByteArray("/Quit\r") << QString();
        QTest::newRow("gateway command")
            << "/m bob hi there" << QByteArray("/m bob hi there\r") << QString();
        QTest::newRow("gateway join")
            << "/join Clan X" << QByteArray("/join Clan X\r") << QString();
        QTest::newRow("bare slash") << "/" << QByteArray("/\r") << QString();
        QTest::newRow("/home") << "/home" << QByteArray("/join Home Base\r") << QString();
        QTest::newRow("/home with more")
            << "/homeward" << QByteArray("/join Home Base\r") << QString();
        QTest::newRow("/reply before any whisper") << "/reply hi" << QByteArray() << QString();
        QTest::newRow("/un is no command") << "/un bob" << QByteArray("/un bob\r") << QString();
    }
    void forwardedOrLocal()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, wire);
        QFETCH(QString, chatLine);
        Online o(conf({QStringLiteral("homechannel=Home Base")}));
        // The login's own lines (home channel) are out of the way first.
        QVERIFY(o.up);
        Tmain &m = o.m;
        const int before = m.chat->lineCount();
        type(m, line);
        if (wire.isEmpty())
            QCOMPARE(takeWire(m, o.server), QByteArray());
        else
            QVERIFY2(wireGets(m, o.server, wire), o.server.received().constData());
        QCOMPARE(m.chat->lineCount(), before + (chatLine.isEmpty() ? 0 : 1));
        if (!chatLine.isEmpty()) {
            QCOMPARE(MessagesFixture::lastLine(m.chat), chatLine);
            QCOMPARE(lastSegments(m.chat), (QStringList{seg(colours::label, " Console:  "),
                                                        seg(colours::text, "Tressel [1.5]")}));
        }
        QCOMPARE(m.envVars.lastCommand, line);
        QCOMPARE(m.text->text(), QString());
        QCOMPARE(o.f.terminated, 0);
    }

    void reply_data()
    {
        columns<QString, QByteArray>("line", "wire");
        QTest::newRow("text") << "/reply sure thing" << QByteArray("/m bob sure thing\r");
        QTest::newRow("two spaces") << "/reply  x" << QByteArray("/m bob  x\r");
        QTest::newRow("bare") << "/reply" << QByteArray("/m bob \r");
        QTest::newRow("glued") << "/replyXok" << QByteArray("/m bob ok\r");
    }
    void reply()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, wire);
        Online o(conf());
        QVERIFY(o.up);
        Tmain &m = o.m;
        m.processWhisper(QStringLiteral("carol"), QStringLiteral("first"));
        m.processWhisper(QStringLiteral("bob"), QStringLiteral("latest"));
        type(m, line);
        QVERIFY2(wireGets(m, o.server, wire), o.server.received().constData());
    }

    void away_data()
    {
        columns<QString, QByteArray, QString, bool>("line", "wire", "stored", "saved");
        QTest::newRow("bare: the stored message")
            << "/away" << QByteArray("/away gone fishing\r") << "gone fishing" << false;
        QTest::newRow("a message")
            << "/away back soon" << QByteArray("/away back soon\r") << "back soon" << true;
        QTest::newRow("one space: an empty message")
            << "/away " << QByteArray("/away \r") << "" << true;
        QTest::newRow("two spaces") << "/away  x" << QByteArray("/away  x\r") << " x" << true;
        QTest::newRow("glued: the 6th character is skipped")
            << "/awayhello" << QByteArray("/away ello\r") << "ello" << true;
    }
    void away()
    {
        QFETCH(QString, line);
        QFETCH(QByteArray, wire);
        QFETCH(QString, stored);
        QFETCH(bool, saved);
        Online o(conf({QStringLiteral("awaymessage=gone fishing")}));
        QFile::remove(QStringLiteral("tressel.conf"));
        QVERIFY(o.up);
        Tmain &m = o.m;
        type(m, line);
        QVERIFY2(wireGets(m, o.server, wire), o.server.received().constData());
        QCOMPARE(m.options->awaymessage->text(), stored);
        // The configuration is written only when the line carried a message.
        QFile file(QStringLiteral("tressel.conf"));
        QCOMPARE(file.exists(), saved);
        if (saved) {
            QVERIFY(file.open(QIODevice::ReadOnly));
            const QByteArray content = file.readAll();
            QVERIFY2(content.contains("\nawaymessage=" + stored.toLatin1() + "\r\n"),
                     content.constData());
        }
        // The Away menu state is not the command's business.
        QVERIFY(!m.envVars.isAway);
    }

    void brxAndUnbrx()
    {
        MessagesFixture f;
        Tmain &m = *f.main;
        m.session->addUser(QStringLiteral("bob"), QStringLiteral("STAR"), QStringLiteral("0010"));
        type(m, QStringLiteral("/brx bob"));
        QVERIFY(m.checkSquelch(QStringLiteral("bob")));
        QCOMPARE(MessagesFixture::lastLine(m.chat),
                 QStringLiteral(" Console: bob was permasquelched (Manually Permasquelched)"));
        QCOMPARE(m.envVars.lastCommand, QStringLiteral("/brx bob"));
        // The list shows the product the member uses.
        m.squelchuser(QStringLiteral("ref"), QStringLiteral("x"), 10);
        const auto bobItem = m.brx->findItems(QStringLiteral("bob"), Qt::MatchExactly);
        const auto refItem = m.brx->findItems(QStringLiteral("ref"), Qt::MatchExactly);
        QCOMPARE(bobItem.size(), 1);
        QCOMPARE(refItem.size(), 1);
        QCOMPARE(bobItem.first()->icon().pixmap(28, 14).toImage(),
                 refItem.first()->icon().pixmap(28, 14).toImage());

        // Already listed: nothing at all.
        int before = m.chat->lineCount();
        type(m, QStringLiteral("/brx bob"));
        QCOMPARE(m.chat->lineCount(), before);
        QCOMPARE(m.brx->count(), 2);

        // Two spaces: the name begins with a space.
        type(m, QStringLiteral("/brx  carol"));
        QVERIFY(m.checkSquelch(QStringLiteral(" carol")));
        QVERIFY(!m.checkSquelch(QStringLiteral("carol")));

        // "/unbrx" does not begin with "/brx", so it reaches its own command.
        type(m, QStringLiteral("/unbrx bob"));
        QVERIFY(!m.checkSquelch(QStringLiteral("bob")));
        QCOMPARE(MessagesFixture::lastLine(m.chat),
                 QStringLiteral(" Console: bob was unpermasquelched."));

        before = m.chat->lineCount();
        type(m, QStringLiteral("/unbrx nobody"));
        QCOMPARE(m.chat->lineCount(), before);
        QCOMPARE(m.brx->count(), 2);
        QCOMPARE(f.dialogs.asked.size(), 0);
    }

    void quit_data()
    {
        columns<QString, int>("line", "terminated");
        QTest::newRow("/quit") << "/quit" << 1;
        QTest::newRow("/quit with more") << "/quitnow" << 1;
        QTest::newRow("/Quit") << "/Quit" << 0;
        QTest::newRow("/QUIT") << "/QUIT" << 0;
    }
    void quit()
    {
        QFETCH(QString, line);
        QFETCH(int, terminated);
        MessagesFixture f(conf({QStringLiteral("confirmquit=1")}));
        type(*f.main, line);
        QCOMPARE(f.terminated, terminated);
        QCOMPARE(f.main->envVars.lastCommand, line);
    }

    void connectAndDisconnectCommands()
    {
        MessagesFixture f(conf());
        Tmain &m = *f.main;
        LoopbackServer server;
        m.session->bnet->Port = server.port();
        type(m, QStringLiteral("/connect"));
        QTRY_VERIFY(server.received().endsWith("\r\r"));
        QCOMPARE(server.received(), login);
        QTRY_VERIFY(m.session->bnet->Connected());
        type(m, QStringLiteral("/disconnect"));
        QTRY_VERIFY(!m.session->bnet->Connected());
        QCOMPARE(MessagesFixture::lastLine(m.chat), QStringLiteral(" Console: Disconnected."));
        QCOMPARE(m.envVars.lastCommand, QStringLiteral("/disconnect"));
    }

    void chatLineWhenConnected()
    {
        using namespace colours;
        Online o(conf());
        QVERIFY(o.up);
        Tmain &m = o.m;
        m.envVars.lastCommand = QStringLiteral("/m x y");
        m.text->setText(QStringLiteral("hello all"));
        QTest::mouseClick(m.send, Qt::LeftButton);
        QVERIFY(wireGets(m, o.server, "hello all\r"));
        QTRY_COMPARE(lastSegments(m.chat), // once taken, without the pending mark
                     (QStringList{seg(yourName, " <alice> "), seg(text, "hello all")}));
        QCOMPARE(m.text->text(), QString());
        QCOMPARE(m.envVars.lastCommand, QStringLiteral("/m x y")); // chat lines are no command
        // Enter in the input line sends too.
        m.text->setText(QStringLiteral("again"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QVERIFY(wireGets(m, o.server, "hello all\ragain\r"));
        QTRY_COMPARE(MessagesFixture::lastLine(m.chat), QStringLiteral(" <alice> again"));
    }

    void offline()
    {
        using namespace colours;
        MessagesFixture f(conf());
        Tmain &m = *f.main;
        const int before = m.chat->lineCount();
        type(m, QStringLiteral("anyone there?"));
        QCOMPARE(m.chat->lineCount(), before + 1);
        QCOMPARE(lastSegments(m.chat),
                 (QStringList{seg(error, " Error:  "),
                              seg(text, "You're not connected to Battle.net.")}));
        QCOMPARE(m.text->text(), QString());
        // Slash lines are not refused here.
        type(m, QStringLiteral("/m bob hi"));
        QCOMPARE(m.chat->lineCount(), before + 1);
        QCOMPARE(m.envVars.lastCommand, QStringLiteral("/m bob hi"));
        // An empty line does nothing at all.
        type(m, QString());
        QCOMPARE(m.chat->lineCount(), before + 1);
        QCOMPARE(m.envVars.lastCommand, QStringLiteral("/m bob hi"));
    }

    void rawModeEcho_data()
    {
        columns<bool, QString>("connected", "line");
        QTest::newRow("chat line") << true << "hi all";
        QTest::newRow("forwarded command") << true << "/m bob yo";
        QTest::newRow("local command") << true << "/ver";
        QTest::newRow("refused offline") << false << "hi all";
        QTest::newRow("command offline") << false << "/ver";
    }
    void rawModeEcho()
    {
        QFETCH(bool, connected);
        QFETCH(QString, line);
        MessagesFixture f(conf());
        Tmain &m = *f.main;
        LoopbackServer server;
        if (connected)
            QVERIFY(connectToServer(m, server, login));
        m.dispRawClick();
        const QStringList rawBefore = MessagesFixture::lines(m.whisper);
        type(m, line);
        // The server's answers may arrive as raw lines too.
        QVERIFY(waitUntil(
            [&] { return MessagesFixture::lines(m.whisper).mid(rawBefore.size()).contains(line); },
            5000));
        const QStringList raw = MessagesFixture::lines(m.whisper);
        QVERIFY(raw.size() > rawBefore.size());
        QVERIFY2(raw.mid(rawBefore.size()).contains(line), qPrintable(raw.join(QLatin1Char('|'))));
        // In whisper mode nothing is echoed.
        m.dispWhisperClick();
        const int whisperBefore = m.whisper->lineCount();
        type(m, line);
        QCOMPARE(m.whisper->lineCount(), whisperBefore);
    }

    void altKeys_data()
    {
        columns<bool, int, QString, QString, QByteArray>("selected", "key", "typed", "textAfter",
                                                         "wire");
        QTest::newRow("Alt+N") << true << int(Qt::Key_N) << "hi "
                               << "hi bob" << QByteArray();
        QTest::newRow("Alt+N, empty line") << true << int(Qt::Key_N) << ""
                                           << "bob" << QByteArray();
        QTest::newRow("Alt+N, none selected") << false << int(Qt::Key_N) << "hi "
                                              << "hi " << QByteArray();
        QTest::newRow("Alt+W") << true << int(Qt::Key_W) << "meet me"
                               << "" << QByteArray("/m bob meet me\r");
        QTest::newRow("Alt+W, empty line") << true << int(Qt::Key_W) << ""
                                           << "" << QByteArray("/m bob \r");
        QTest::newRow("Alt+W, none selected") << false << int(Qt::Key_W) << "meet me"
                                              << "meet me" << QByteArray();
        // Other Alt keys are the line edit's business alone.
        QTest::newRow("Alt+X is no shortcut") << true << int(Qt::Key_X) << "abc"
                                              << "xabc" << QByteArray();
    }
    void altKeys()
    {
        QFETCH(bool, selected);
        QFETCH(int, key);
        QFETCH(QString, typed);
        QFETCH(QString, textAfter);
        QFETCH(QByteArray, wire);
        Online o(conf());
        QVERIFY(o.up);
        Tmain &m = o.m;
        if (selected)
            selectUser(m, QStringLiteral("bob"));
        m.text->setText(typed);
        m.text->setCursorPosition(0);
        const int chatBefore = m.chat->lineCount();
        QTest::keyClick(m.text, Qt::Key(key), Qt::AltModifier);
        QCOMPARE(m.text->text(), textAfter);
        if (key == Qt::Key_N && selected)
            QCOMPARE(m.text->cursorPosition(), int(textAfter.size()));
        if (wire.isEmpty())
            QCOMPARE(takeWire(m, o.server), QByteArray());
        else
            QVERIFY2(wireGets(m, o.server, wire), o.server.received().constData());
        QCOMPARE(m.chat->lineCount(), chatBefore); // whispers are not echoed here
    }

    void plainKeysStillType()
    {
        MessagesFixture f(conf());
        Tmain &m = *f.main;
        selectUser(m, QStringLiteral("bob"));
        QTest::keyClicks(m.text, QStringLiteral("now"));
        QCOMPARE(m.text->text(), QStringLiteral("now"));
    }

    void doubleClick_data()
    {
        columns<bool, QString, QString>("enabled", "typed", "textAfter");
        QTest::newRow("empty line") << true << ""
                                    << "/join Clan X";
        QTest::newRow("line not empty") << true << "abc"
                                        << "abc";
        QTest::newRow("setting off") << false << ""
                                     << "";
    }
    void doubleClick()
    {
        QFETCH(bool, enabled);
        QFETCH(QString, typed);
        QFETCH(QString, textAfter);
        MessagesFixture f(conf());
        Tmain &m = *f.main;
        m.options->dblclickcommand->setChecked(enabled);
        type(m, QStringLiteral("/join Clan X"));
        m.text->setText(typed);
        m.show();
        QVERIFY(waitExposed(&m));
        QTest::mouseDClick(m.text, Qt::LeftButton);
        QCOMPARE(m.text->text(), textAfter);
        if (enabled && typed.isEmpty()) {
            QCOMPARE(m.text->cursorPosition(), int(textAfter.size()));
            QVERIFY(!m.text->hasSelectedText());
        }
    }
};

QTEST_MAIN(TestInputCommands)
#include "test_input_commands.moc"
