// The text events as the window shows them: labels, colours, panes, the
// filters in front of them and their side effects.
#include "messagesfixture.h"
#include "segments.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/connectedwindow.h"
#include "support/datarows.h"
#include "support/loopbackserver.h"

#include <QAction>
#include <QCheckBox>
#include <QListWidget>
#include <QtTest>

namespace {
// Runs the handler of one event kind as the interpreter would.
void fire(Tmain &m, const QString &kind, const QString &user, const QString &text)
{
    if (kind == QLatin1String("talk"))
        m.processTalk(user, text);
    else if (kind == QLatin1String("emote"))
        m.processEmote(user, text);
    else if (kind == QLatin1String("whisper"))
        m.processWhisper(user, text);
    else if (kind == QLatin1String("sent"))
        m.processWhisperSent(user, text);
    else if (kind == QLatin1String("broadcast"))
        m.processBroadcast(text);
    else if (kind == QLatin1String("full"))
        m.processChannelFull(text);
    else if (kind == QLatin1String("info"))
        m.processInfo(text);
    else if (kind == QLatin1String("nochannel"))
        m.processChanNotExist(text);
    else if (kind == QLatin1String("error"))
        m.processError(text);
    else if (kind == QLatin1String("restricted"))
        m.processRestricted(text);
    else
        QFAIL("unknown event kind");
}

bool historyHas(const Tmain &m, const QString &user, const QString &line)
{
    const int id = m.session->getUserID(user);
    if (id == 0)
        return false;
    const tChannelUser &u = m.session->userTable[id];
    return u.firstLine == line || u.secondLine == line || u.thirdLine == line;
}
} // namespace

class TestMessagesEvents : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void shownAs_data()
    {
        using namespace colours;
        // inChat: else the whisper pane
        columns<QString, bool, QString, QString, bool, QStringList>("kind", "raw", "user", "text",
                                                                    "inChat", "expected");
        QTest::newRow("talk") << "talk" << false << "bob"
                              << "hello there" << true
                              << QStringList{seg(name, " <bob> "), seg(text, "hello there")};
        QTest::newRow("talk, empty text") << "talk" << false << "bob"
                                          << "" << true << QStringList{seg(name, " <bob> ")};
        QTest::newRow("emote: all in the emote colour")
            << "emote" << false << "bob"
            << "waves" << true << QStringList{seg(emote, " * bob waves * ")};
        QTest::newRow("whisper, whisper mode")
            << "whisper" << false << "bob"
            << "psst" << false << QStringList{seg(whisp, " <From: bob>  "), seg(text, "psst")};
        QTest::newRow("whisper, raw mode")
            << "whisper" << true << "bob"
            << "psst" << true
            << QStringList{seg(whisp, " <Recieved Whisper From: bob>  "), seg(text, "psst")};
        QTest::newRow("sent whisper, whisper mode")
            << "sent" << false << "bob"
            << "hi bob" << false << QStringList{seg(whisp, " <To: bob>  "), seg(text, "hi bob")};
        QTest::newRow("sent whisper, raw mode")
            << "sent" << true << "bob"
            << "hi bob" << true
            << QStringList{seg(whisp, " <Sent Whisper To: bob>  "), seg(text, "hi bob")};
        QTest::newRow("broadcast")
            << "broadcast" << false << ""
            << "Server restart" << true
            << QStringList{seg(label, " Broadcast: "), seg(text, "Server restart")};
        QTest::newRow("channel full: broadcast label")
            << "full" << false << ""
            << "Channel is full." << true
            << QStringList{seg(label, " Broadcast: "), seg(text, "Channel is full.")};
        QTest::newRow("info") << "info" << false << ""
                              << "You are away." << true
                              << QStringList{seg(label, " Info: "), seg(text, "You are away.")};
        QTest::newRow("channel does not exist")
            << "nochannel" << false << ""
            << "No such channel." << true
            << QStringList{seg(error, " Error: "), seg(text, "No such channel.")};
        QTest::newRow("error") << "error" << false << ""
                               << "That user is not logged on." << true
                               << QStringList{seg(error, " Error: "),
                                              seg(text, "That user is not logged on.")};
        QTest::newRow("restricted")
            << "restricted" << false << ""
            << "That channel is restricted." << true
            << QStringList{seg(error, " Error: "), seg(text, "That channel is restricted.")};
        QTest::newRow("notice text is not anticensored")
            << "info" << false << ""
            << "YOU ###& OFF" << true
            << QStringList{seg(label, " Info: "), seg(text, "YOU ###& OFF")};
        QTest::newRow("whisper text is not anticensored")
            << "whisper" << false << "bob"
            << "YOU ###& OFF" << false
            << QStringList{seg(whisp, " <From: bob>  "), seg(text, "YOU ###& OFF")};
    }
    void shownAs()
    {
        QFETCH(QString, kind);
        QFETCH(bool, raw);
        QFETCH(QString, user);
        QFETCH(QString, text);
        QFETCH(bool, inChat);
        QFETCH(QStringList, expected);
        MessagesFixture f;
        Tmain &m = *f.main;
        if (raw)
            m.dispRawClick();
        const int chatBefore = m.chat->lineCount();
        fire(m, kind, user, text);
        TTranscriptPane *pane = inChat ? m.chat : m.whisper;
        TTranscriptPane *other = inChat ? m.whisper : m.chat;
        QCOMPARE(lastSegments(pane), expected);
        QCOMPARE(pane->lineCount(), (inChat ? chatBefore : 0) + 1);
        QCOMPARE(other->lineCount(), inChat ? 0 : chatBefore);
    }

    void playsound_data()
    {
        columns<QString, bool, QString, bool>("kind", "suppress", "text", "shown");
        QTest::newRow("filter on") << "talk" << true << "~playsound boing.wav" << false;
        QTest::newRow("filter on, the bare word") << "talk" << true << "~playsound" << false;
        QTest::newRow("filter off") << "talk" << false << "~playsound boing.wav" << true;
        QTest::newRow("other capitalisation") << "talk" << true << "~PlaySound boing" << true;
        QTest::newRow("after a leading space") << "talk" << true << " ~playsound boing" << true;
        QTest::newRow("shorter") << "talk" << true << "~playsoun" << true;
        QTest::newRow("glued to more") << "talk" << true << "~playsoundz" << false;
        QTest::newRow("emotes are never filtered") << "emote" << true << "~playsound x" << true;
    }
    void playsound()
    {
        QFETCH(QString, kind);
        QFETCH(bool, suppress);
        QFETCH(QString, text);
        QFETCH(bool, shown);
        MessagesFixture f;
        Tmain &m = *f.main;
        m.options->suppressplaysound->setChecked(suppress);
        m.session->addUser(QStringLiteral("bob"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        const int before = m.chat->lineCount();
        fire(m, kind, QStringLiteral("bob"), text);
        QCOMPARE(m.chat->lineCount(), before + (shown ? 1 : 0));
        if (shown)
            QVERIFY(MessagesFixture::lastLine(m.chat).contains(text));
        QVERIFY(historyHas(m, QStringLiteral("bob"), text)); // flood history all the same
    }

    void hiddenSenders_data()
    {
        columns<QString, bool, bool, bool, bool>("kind", "squelched", "lamerMode", "safe", "shown");
        const QStringList kinds = {"talk", "emote", "whisper"};
        for (const QString &k : kinds) {
            const QByteArray n = k.toLatin1();
            QTest::newRow(n + ": nobody hidden") << k << false << false << false << true;
            QTest::newRow(n + ": permasquelched") << k << true << false << false << false;
            QTest::newRow(n + ": permasquelched and safe") << k << true << false << true << false;
            // Whispers get no lamer-mode check.
            QTest::newRow(n + ": lamer mode") << k << false << true << false << (k == "whisper");
            QTest::newRow(n + ": lamer mode, safelisted") << k << false << true << true << true;
        }
    }
    void hiddenSenders()
    {
        QFETCH(QString, kind);
        QFETCH(bool, squelched);
        QFETCH(bool, lamerMode);
        QFETCH(bool, safe);
        QFETCH(bool, shown);
        MessagesFixture f;
        Tmain &m = *f.main;
        m.options->alertwhisper->setChecked(true);
        m.session->addUser(QStringLiteral("bob"), QStringLiteral("STAR"), QStringLiteral("0010"));
        if (squelched)
            m.squelchuser(QStringLiteral("bob"), QStringLiteral("test"), 10);
        if (safe)
            m.options->safe->addItem(QStringLiteral("bob"));
        m.envVars.lamerMode = lamerMode;
        const int chatBefore = m.chat->lineCount();
        fire(m, kind, QStringLiteral("bob"), QStringLiteral("some words"));
        const int added = m.chat->lineCount() - chatBefore + m.whisper->lineCount();
        QCOMPARE(added, shown ? 1 : 0);
        QVERIFY(historyHas(m, QStringLiteral("bob"), QStringLiteral("some words")));
        if (kind == QLatin1String("whisper")) {
            // A hidden whisper neither sounds nor becomes the /reply target.
            QCOMPARE(f.sound.played,
                     shown ? QStringList{QStringLiteral("whisper.wav")} : QStringList());
            QCOMPARE(m.envVars.lastWhisperer, shown ? QStringLiteral("bob") : QString());
        }
    }

    void whisperAlert_data()
    {
        columns<bool, bool>("alert", "raw");
        QTest::newRow("alert on") << true << false;
        QTest::newRow("alert on, raw mode") << true << true;
        QTest::newRow("alert off") << false << false;
    }
    void whisperAlert()
    {
        QFETCH(bool, alert);
        QFETCH(bool, raw);
        MessagesFixture f;
        Tmain &m = *f.main;
        m.options->alertwhisper->setChecked(alert);
        if (raw)
            m.dispRawClick();
        m.processWhisper(QStringLiteral("bob"), QStringLiteral("one"));
        m.processWhisper(QStringLiteral("carol"), QStringLiteral("two"));
        const QStringList twice = {QStringLiteral("whisper.wav"), QStringLiteral("whisper.wav")};
        QCOMPARE(f.sound.played, alert ? twice : QStringList());
        QCOMPARE(m.envVars.lastWhisperer, QStringLiteral("carol"));
        // Sent whispers neither sound nor change the reply target.
        m.processWhisperSent(QStringLiteral("dave"), QStringLiteral("three"));
        QCOMPARE(f.sound.played.size(), alert ? 2 : 0);
        QCOMPARE(m.envVars.lastWhisperer, QStringLiteral("carol"));
    }

    void sentToSquelchedWarns_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::newRow("whisper mode") << false;
        QTest::newRow("raw mode") << true;
    }
    void sentToSquelchedWarns()
    {
        using namespace colours;
        QFETCH(bool, raw);
        MessagesFixture f;
        Tmain &m = *f.main;
        if (raw)
            m.dispRawClick();
        m.squelchuser(QStringLiteral("bob"), QStringLiteral("test"), 8);
        const int before = m.chat->lineCount();
        m.processWhisperSent(QStringLiteral("bob"), QStringLiteral("hi"));
        TTranscriptPane *echoPane = raw ? m.chat : m.whisper;
        const QString echo =
            raw ? QStringLiteral(" <Sent Whisper To: bob>  hi") : QStringLiteral(" <To: bob>  hi");
        QVERIFY(MessagesFixture::lines(echoPane).contains(echo));
        QCOMPARE(m.chat->lineCount(), before + (raw ? 2 : 1));
        QCOMPARE(lastSegments(m.chat),
                 (QStringList{seg(error, " Warning: "),
                              seg(text, "The user you just whispered (bob) is on your "
                                        "permasquelch list!")}));
        // Not squelched: no warning.
        m.processWhisperSent(QStringLiteral("carol"), QStringLiteral("hi"));
        QCOMPARE(m.chat->lineCount(), before + (raw ? 3 : 1));
        if (raw)
            QCOMPARE(MessagesFixture::lastLine(m.chat),
                     QStringLiteral(" <Sent Whisper To: carol>  hi"));
    }

    void anticensorOnShownLines_data()
    {
        textRows({"kind", "text", "expected"},
                 {{"talk, capitals", "talk", "YOU ###& OFF", " <bob> YOU FUCK OFF"},
                  {"talk, lower", "talk", "oh @@$% no", " <bob> oh shit no"},
                  {"talk, twice", "talk", "a &&@%# and &&@%#", " <bob> a bitch and bitch"},
                  {"emote", "emote", "says @@$% loud", " * bob says shit loud * "},
                  {"emote, capitals", "emote", "SAYS @@$% LOUD", " * bob SAYS SHIT LOUD * "}});
    }
    void anticensorOnShownLines()
    {
        QFETCH(QString, kind);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        MessagesFixture f;
        Tmain &m = *f.main;
        fire(m, kind, QStringLiteral("bob"), text);
        QCOMPARE(MessagesFixture::lastLine(m.chat), expected);
    }

    // The autosquelch judges the rewritten text when the line was shown, and
    // the text as received when it was not.
    void autosquelchSeesShownText_data()
    {
        columns<QString, bool, QString, bool>("kind", "lamerMode", "sender", "squelched");
        QTest::newRow("talk shown") << "talk" << false << "bob" << true;
        QTest::newRow("talk hidden by lamer mode") << "talk" << true << "bob" << false;
        QTest::newRow("emote shown") << "emote" << false << "bob" << true;
        QTest::newRow("emote hidden by lamer mode") << "emote" << true << "bob" << false;
        QTest::newRow("own lines never") << "talk" << false << "alice" << false;
    }
    void autosquelchSeesShownText()
    {
        QFETCH(QString, kind);
        QFETCH(bool, lamerMode);
        QFETCH(QString, sender);
        QFETCH(bool, squelched);
        MessagesFixture f;
        Tmain &m = *f.main;
        m.options->squelchPrompt->setChecked(false);
        m.options->autoAction->setCurrentIndex(0);
        m.options->triggers->addItem(QStringLiteral("shit"));
        m.envVars.lamerMode = lamerMode;
        m.session->addUser(sender, QStringLiteral("CHAT"), QStringLiteral("0010"));
        fire(m, kind, sender, QStringLiteral("this is @@$% really"));
        QCOMPARE(m.checkSquelch(sender), squelched);
    }

    void lamerModeStillAutosquelches()
    {
        MessagesFixture f;
        Tmain &m = *f.main;
        m.options->squelchPrompt->setChecked(false);
        m.options->autoAction->setCurrentIndex(0);
        m.options->triggers->addItem(QStringLiteral("spam"));
        m.envVars.lamerMode = true;
        m.session->addUser(QStringLiteral("bob"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        const int before = m.chat->lineCount();
        m.processTalk(QStringLiteral("bob"), QStringLiteral("buy spam here"));
        QVERIFY(m.checkSquelch(QStringLiteral("bob")));
        // Only the squelch notice is written, not the hidden line.
        for (const QString &line : MessagesFixture::lines(m.chat).mid(before))
            QVERIFY2(!line.contains(QStringLiteral("buy spam")), qPrintable(line));
    }

    void reportIn_data()
    {
        columns<QString, QString, bool, QByteArray>("user", "text", "squelched", "wire");
        const QByteArray tressel = "/m tressel I am using Tressel 1.5!\r";
        const QByteArray kelm = "/m kelm I am using Tressel 1.5!\r";
        QTest::newRow("Tressel") << "Tressel"
                                 << ".reportin" << false << tressel;
        QTest::newRow("Kelm") << "Kelm"
                              << ".reportin" << false << kelm;
        QTest::newRow("more after the word") << "Kelm"
                                             << ".reportinNOW all" << false << kelm;
        QTest::newRow("squelched still answered") << "Tressel"
                                                  << ".reportin" << true << tressel;
        QTest::newRow("other capitalisation of the name") << "tressel"
                                                          << ".reportin" << false << QByteArray();
        QTest::newRow("KELM") << "KELM"
                              << ".reportin" << false << QByteArray();
        QTest::newRow("someone else") << "bob"
                                      << ".reportin" << false << QByteArray();
        QTest::newRow("other capitalisation of the word") << "Kelm"
                                                          << ".Reportin" << false << QByteArray();
        QTest::newRow("after a space") << "Kelm"
                                       << " .reportin" << false << QByteArray();
        QTest::newRow("shorter") << "Kelm"
                                 << ".report" << false << QByteArray();
    }
    void reportIn()
    {
        QFETCH(QString, user);
        QFETCH(QString, text);
        QFETCH(bool, squelched);
        QFETCH(QByteArray, wire);
        MessagesFixture f({QStringLiteral("password=pw")});
        Tmain &m = *f.main;
        LoopbackServer server;
        QVERIFY(connectToServer(m, server));
        server.clearReceived();
        if (squelched)
            m.squelchuser(user, QStringLiteral("test"), 8);
        m.processTalk(user, text);
        // Emotes never answer.
        m.processEmote(user, text);
        QCOMPARE(takeWire(m, server), wire);
    }

    void unhandledBeforeUniqueName()
    {
        using namespace colours;
        MessagesFixture f;
        Tmain &m = *f.main;
        m.session->process->OnUnHandled(QStringLiteral("Login failed."));
        QCOMPARE(lastSegments(m.chat),
                 (QStringList{seg(label, " Info: "), seg(text, "Login failed.")}));
        m.session->process->OnUniqueName(QStringLiteral("me")); // the login is through
        const int before = m.chat->lineCount();
        m.session->process->OnUnHandled(QStringLiteral("Password: "));
        QCOMPARE(m.chat->lineCount(), before);
    }
};

QTEST_MAIN(TestMessagesEvents)
#include "test_messages_events.moc"
