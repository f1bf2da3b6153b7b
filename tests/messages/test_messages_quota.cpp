// Bursts through the window against the gateway with its flood quota on,
// counting as the real servers do: every line typed arrives, once and in
// order, and the client is never disconnected, also when the server
// remembers lines longer than the client's settings say. The windows are
// short on both sides so that the bursts take seconds, not minutes.
#include "gatewaychannel.h"
#include "messagesfixture.h"
#include "rawclient.h"
#include "support/gatewayprocess.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/datarows.h"
#include "support/waits.h"

#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

namespace {

// What bob heard alice say (or whisper, or emote), in order.
QStringList talkFrom(const QByteArray &received, const QByteArray &name,
                     const QByteArray &event = "1005 TALK")
{
    QStringList said;
    const QByteArray head = event + " " + name + " 0010 \"";
    for (const QByteArray &line : received.split('\n')) {
        const QByteArray l = line.endsWith('\r') ? line.chopped(1) : line;
        if (l.startsWith(head) && l.endsWith('"'))
            said << QString::fromLatin1(l.mid(head.size(), l.size() - head.size() - 1));
    }
    return said;
}

QString numbered(int i, int length)
{
    const QString head = QStringLiteral("line %1 ").arg(i, 2, 10, QLatin1Char('0'));
    return head + QString(length - int(head.size()), QLatin1Char('x'));
}

// Words "wNNN" up to about `length` bytes, so that cuts fall at spaces.
QString words(int first, int length)
{
    QStringList w;
    int size = -1;
    for (int i = first; size < length - 6; ++i) {
        w << QStringLiteral("w%1").arg(i, 4, 10, QLatin1Char('0'));
        size += 6;
    }
    return w.join(QLatin1Char(' '));
}

// A window logged in to the gateway (quota on, remembering serverWindow
// seconds), believing in a 1 s window with a 100 ms margin, with bob in the
// channel.
struct QuotaChannel : GatewayChannel {
    explicit QuotaChannel(int serverWindow)
        : GatewayChannel({QStringLiteral("--quota-window"), QString::number(serverWindow)})
    {
    }
    bool open()
    {
        // The flood interval is shortened with the window, so that the quota
        // is what paces.
        return GatewayChannel::open([this] {
            m.options->quotaWindow->setValue(1);
            m.options->quotaMargin->setValue(100);
            m.session->process->setFloodInterval(50);
        });
    }
};

} // namespace

class TestMessagesQuota : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void burstArrivesWhole_data()
    {
        // serverWindow: seconds
        // length: bytes a line
        columns<int, int, int, bool>("serverWindow", "length", "lines", "refusalsAllowed");
        QTest::newRow("same window, 150-byte lines") << 1 << 150 << 12 << false;
        QTest::newRow("same window, short lines") << 1 << 10 << 20 << false;
        QTest::newRow("server remembers 3 s, short lines") << 3 << 10 << 7 << true;
    }
    void burstArrivesWhole()
    {
        QFETCH(int, serverWindow);
        QFETCH(int, length);
        QFETCH(int, lines);
        QFETCH(bool, refusalsAllowed);
        QuotaChannel c(serverWindow);
        QVERIFY2(c.open(), qPrintable(c.gateway.errorText()));
        Tmain &m = c.m;
        RawClient &bob = c.bob;

        QStringList typed;
        for (int i = 0; i < lines; ++i) {
            typed << numbered(i, length);
            m.text->setText(typed.last());
            m.sendClick();
            QVERIFY(m.text->text().isEmpty());
        }
        QTRY_COMPARE_WITH_TIMEOUT(talkFrom(bob.received(), "alice").size(), lines, 90000);
        QCOMPARE(talkFrom(bob.received(), "alice"), typed);
        QVERIFY(m.session->bnet->Connected());
        QCOMPARE(m.session->process->queuedCount(), 0);
        const QStringList shown = MessagesFixture::lines(m.chat);
        QVERIFY(!shown.contains(QStringLiteral(" Console: Disconnected.")));
        const bool refused = std::any_of(shown.begin(), shown.end(), [](const QString &l) {
            return l.contains(QLatin1String("flood quota refused a line"));
        });
        // Where the server remembers longer than the client believes, the
        // burst meets a refusal, and the line refused is still delivered.
        QCOMPARE(refused, refusalsAllowed);
    }

    // One paste: 20 lines of 150 bytes, 5 of 450, a long whisper and a long
    // emote. Every word arrives, in order, in pieces the server takes, with
    // no refusal and no disconnect.
    void pasteArrivesWhole()
    {
        QuotaChannel c(1);
        QVERIFY2(c.open(), qPrintable(c.gateway.errorText()));
        Tmain &m = c.m;
        QStringList talk;
        for (int i = 0; i < 20; ++i)
            talk << numbered(i, 150);
        for (int i = 0; i < 5; ++i)
            talk << words(1000 * (i + 1), 450);
        const QString whisper = words(7000, 300), emote = words(8000, 300);
        m.text->insert(talk.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n/w bob ") + whisper +
                       QStringLiteral("\n/me ") + emote);
        QCOMPARE(c.bob.received().count("1005 TALK alice"), 0); // held until Enter
        m.sendClick();
        QVERIFY(m.text->text().isEmpty());
        QTRY_VERIFY_WITH_TIMEOUT(
            talkFrom(c.bob.received(), "alice", "1023 EMOTE").join(QLatin1Char(' ')) == emote,
            120000);
        const QStringList said = talkFrom(c.bob.received(), "alice");
        QCOMPARE(said.join(QLatin1Char(' ')), talk.join(QLatin1Char(' ')));
        QCOMPARE(said.size(), 20 + 5 * 3);
        QCOMPARE(talkFrom(c.bob.received(), "alice", "1004 WHISPER").join(QLatin1Char(' ')),
                 whisper);
        for (const QString &piece : said)
            QVERIFY2(piece.size() <= 160, qPrintable(piece));
        QVERIFY(m.session->bnet->Connected());
        for (const QString &l : MessagesFixture::lines(m.chat))
            QVERIFY2(!l.contains(QLatin1String("quota")) &&
                         !l.contains(QLatin1String("Disconnected")),
                     qPrintable(l));
    }
};

QTEST_MAIN(TestMessagesQuota)
#include "test_messages_quota.moc"
