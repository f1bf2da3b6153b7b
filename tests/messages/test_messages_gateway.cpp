// Two people in one channel of the local gateway: the window (alice) and a
// raw socket (bob). What each says, emotes and whispers reaches the other,
// and the window shows it with the right label, colour and pane.
#include "gatewaychannel.h"
#include "messagesfixture.h"
#include "rawclient.h"
#include "segments.h"
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"

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
#include <QTcpSocket>
#include <QTreeWidget>
#include <QtTest>

namespace {
bool hasLine(TTranscriptPane *pane, const QString &line)
{
    return MessagesFixture::lines(pane).contains(line);
}

int indexOf(TTranscriptPane *pane, const QString &line)
{
    return int(MessagesFixture::lines(pane).indexOf(line));
}

// Waits for a line in a pane, letting the pacing send whatever waits.
bool waitForLine(Tmain &m, TTranscriptPane *pane, const QString &line)
{
    return tickPacingUntil(
        m, [&] { return hasLine(pane, line); }, 5000);
}

bool waitForRaw(Tmain &m, const QString &needle)
{
    return tickPacingUntil(
        m,
        [&] {
            for (const QString &l : MessagesFixture::lines(m.whisper))
                if (l.contains(needle))
                    return true;
            return false;
        },
        5000);
}

bool bobWaitsFor(Tmain &m, RawClient &bob, const QByteArray &needle)
{
    return tickPacingUntil(
        m, [&] { return bob.received().contains(needle); }, 5000);
}

void type(Tmain &m, const QString &line)
{
    m.text->setText(line);
    m.sendClick();
}

using Channel = GatewayChannel;
} // namespace

class TestMessagesGateway : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Talk and emotes, from bob and from alice, in one channel.
    void talkAndEmotesBothWays()
    {
        using namespace colours;
        Channel c;
        QVERIFY2(c.open(), qPrintable(c.gateway.errorText()));
        Tmain &m = c.m;
        c.bob.say("hello alice");
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" <bob> hello alice")));
        QCOMPARE(segments(m.chat, indexOf(m.chat, QStringLiteral(" <bob> hello alice"))),
                 (QStringList{seg(name, " <bob> "), seg(text, "hello alice")}));

        type(m, QStringLiteral("hi bob"));
        QVERIFY(bobWaitsFor(m, c.bob, "1005 TALK alice 0010 \"hi bob\"\r\n"));
        // Shown as said once taken, without the pending mark.
        QTRY_VERIFY_WITH_TIMEOUT(indexOf(m.chat, QStringLiteral(" <alice> hi bob")) >= 0, 10000);
        QCOMPARE(segments(m.chat, indexOf(m.chat, QStringLiteral(" <alice> hi bob"))),
                 (QStringList{seg(yourName, " <alice> "), seg(text, "hi bob")}));

        // The gateway's censor is not simulated; a censored form it passes
        // on comes back as the word.
        c.bob.say("YOU ###& OFF");
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" <bob> YOU FUCK OFF")));

        c.bob.say("/me waves");
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" * bob waves * ")));
        QCOMPARE(segments(m.chat, indexOf(m.chat, QStringLiteral(" * bob waves * "))),
                 QStringList{seg(emote, " * bob waves * ")});
        type(m, QStringLiteral("/me bows"));
        QVERIFY(bobWaitsFor(m, c.bob, "1023 EMOTE alice 0010 \"bows\"\r\n"));
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" * alice bows * ")));
    }

    void whispersBothWays_data()
    {
        QTest::addColumn<bool>("raw");
        QTest::newRow("whisper mode") << false;
        QTest::newRow("raw mode") << true;
    }
    void whispersBothWays()
    {
        using namespace colours;
        QFETCH(bool, raw);
        Channel c;
        QVERIFY2(c.open(), qPrintable(c.gateway.errorText()));
        Tmain &m = c.m;
        m.options->alertwhisper->setChecked(true);
        if (raw)
            m.dispRawClick();
        TTranscriptPane *pane = raw ? m.chat : m.whisper;
        const QString from =
            raw ? QStringLiteral("<Recieved Whisper From: bob> ") : QStringLiteral("<From: bob> ");
        const QString to =
            raw ? QStringLiteral("<Sent Whisper To: bob> ") : QStringLiteral("<To: bob> ");

        c.bob.say("/m alice psst");
        const QString received = QLatin1Char(' ') + from + QStringLiteral(" psst");
        QVERIFY(waitForLine(m, pane, received));
        QCOMPARE(segments(pane, indexOf(pane, received)),
                 (QStringList{seg(whisp, QLatin1Char(' ') + from + QLatin1Char(' ')),
                              seg(text, "psst")}));
        QCOMPARE(c.f.sound.played, QStringList{QStringLiteral("whisper.wav")});
        if (raw) // the lower pane holds the protocol lines instead
            QVERIFY(waitForRaw(m, QStringLiteral("1004 WHISPER bob 0010 \"psst\"")));

        type(m, QStringLiteral("/reply got it"));
        QVERIFY(bobWaitsFor(m, c.bob, "1004 WHISPER alice 0010 \"got it\"\r\n"));
        const QString sent = QLatin1Char(' ') + to + QStringLiteral(" got it");
        QVERIFY(waitForLine(m, pane, sent));
        QCOMPARE(segments(pane, indexOf(pane, sent)),
                 (QStringList{seg(whisp, QLatin1Char(' ') + to + QLatin1Char(' ')),
                              seg(text, "got it")}));

        // Alt+W whispers the member selected in the list.
        QTreeWidgetItem *item = nullptr;
        QVERIFY(waitUntil(
            [&] {
                const auto found = m.users->findItems(QStringLiteral("bob"), Qt::MatchExactly);
                item = found.isEmpty() ? nullptr : found.first();
                return item != nullptr;
            },
            5000));
        m.users->setCurrentItem(item);
        m.text->setText(QStringLiteral("secret"));
        QTest::keyClick(m.text, Qt::Key_W, Qt::AltModifier);
        QCOMPARE(m.text->text(), QString());
        QVERIFY(bobWaitsFor(m, c.bob, "1004 WHISPER alice 0010 \"secret\"\r\n"));
        QVERIFY(waitForLine(m, pane, QLatin1Char(' ') + to + QStringLiteral(" secret")));
    }

    void hiddenLines_data()
    {
        columns<QString, QByteArray, QString, QString>("setup", "line", "rawNeedle", "hidden");
        QTest::newRow("~playsound")
            << "playsound" << QByteArray("~playsound boom.wav") << "\"~playsound boom.wav\""
            << " <bob> ~playsound boom.wav";
        QTest::newRow("permasquelched talk")
            << "brx" << QByteArray("you there?") << "\"you there?\""
            << " <bob> you there?";
        QTest::newRow("permasquelched emote") << "brx" << QByteArray("/me dances") << "EMOTE bob"
                                              << " * bob dances * ";
        QTest::newRow("permasquelched whisper")
            << "brx" << QByteArray("/m alice psst") << "WHISPER bob"
            << " <Recieved Whisper From: bob>  psst";
        QTest::newRow("lamer mode") << "lamer" << QByteArray("spam spam") << "\"spam spam\""
                                    << " <bob> spam spam";
    }
    void hiddenLines()
    {
        QFETCH(QString, setup);
        QFETCH(QByteArray, line);
        QFETCH(QString, rawNeedle);
        QFETCH(QString, hidden);
        Channel c;
        QVERIFY2(c.open(), qPrintable(c.gateway.errorText()));
        Tmain &m = c.m;
        m.options->alertwhisper->setChecked(true);
        if (setup == QLatin1String("playsound"))
            m.options->suppressplaysound->setChecked(true);
        else if (setup == QLatin1String("brx"))
            type(m, QStringLiteral("/brx bob"));
        else
            m.envVars.lamerMode = true;
        // The raw lines show when the line has arrived.
        m.dispRawClick();
        c.bob.say(line);
        QVERIFY(waitForRaw(m, rawNeedle));
        QVERIFY(!hasLine(m.chat, hidden));
        QVERIFY(c.f.sound.played.isEmpty());
    }

    void reportIn()
    {
        Channel c;
        QVERIFY2(c.open(), qPrintable(c.gateway.errorText()));
        Tmain &m = c.m;
        c.gateway.command(QStringLiteral("join Kelm STAR 0010"));
        c.gateway.command(QStringLiteral("say Kelm .reportin please"));
        // The gateway echoes the answer as a whisper sent to Kelm.
        QVERIFY(waitForLine(m, m.whisper, QStringLiteral(" <To: Kelm>  I am using Tressel 1.5!")));
    }

    void infoLinesBeforeTheName()
    {
        using namespace colours;
        Channel c({QStringLiteral("--account"), QStringLiteral("alice:right"),
                   QStringLiteral("--account"), QStringLiteral("bob:pw")},
                  {QStringLiteral("password=wrong")});
        QVERIFY(c.gateway.port() != 0);
        Tmain &m = c.m;
        m.session->bnet->Port = c.gateway.port();
        m.ConnectClick();
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" Info: Login failed.")));
        QCOMPARE(segments(m.chat, indexOf(m.chat, QStringLiteral(" Info: Login failed."))),
                 (QStringList{seg(label, " Info: "), seg(text, "Login failed.")}));
        QVERIFY(
            hasLine(m.chat, QStringLiteral(" Info: BOT or Telnet Connection from [127.0.0.1]")));

        // A good login: the name arrives and later unhandled lines are not shown.
        m.DisconnectClick();
        QTRY_VERIFY(!m.session->bnet->Connected());
        m.options->password->setText(QStringLiteral("right"));
        m.ConnectClick();
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" <alice> You have no mail.")));
        c.gateway.command(QStringLiteral("raw Login failed."));
        c.gateway.command(QStringLiteral("raw 1016 CODE we do not know"));
        c.gateway.command(QStringLiteral("broadcast after"));
        QVERIFY(waitForLine(m, m.chat, QStringLiteral(" Broadcast: after")));
        const QStringList afterLogin = MessagesFixture::lines(m.chat).mid(
            indexOf(m.chat, QStringLiteral(" <alice> You have no mail.")));
        for (const QString &l : afterLogin)
            QVERIFY2(!l.contains(QStringLiteral("Login failed.")) &&
                         !l.contains(QStringLiteral("1016")),
                     qPrintable(l));

        // Every new connection starts without the name again.
        m.DisconnectClick();
        QTRY_VERIFY(!m.session->bnet->Connected());
        m.options->password->setText(QStringLiteral("wrong"));
        const int before = m.chat->lineCount();
        m.ConnectClick();
        QVERIFY(waitUntil(
            [&] {
                return MessagesFixture::lines(m.chat).mid(before).contains(
                    QStringLiteral(" Info: Login failed."));
            },
            5000));
    }
};

QTEST_MAIN(TestMessagesGateway)
#include "test_messages_gateway.moc"
