// Bursts through the window against the gateway with its flood quota on,
// counting as the real servers do: every line typed arrives, once and in
// order, and the client is never disconnected, also when the server
// remembers lines longer than the client's settings say. The windows are
// short on both sides so that the bursts take seconds, not minutes.
#include "messagesfixture.h"
#include "rawclient.h"
#include "support/gatewayprocess.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"

#include <QLineEdit>
#include <QSpinBox>
#include <QtTest>

namespace {

const QStringList aliceConf = {QStringLiteral("password=pw")};

// What bob heard alice say, in order.
QStringList talkFrom(const QByteArray &received, const QByteArray &name)
{
    QStringList said;
    const QByteArray head = "1005 TALK " + name + " 0010 \"";
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

} // namespace

class TestMessagesQuota : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void burstArrivesWhole_data()
    {
        QTest::addColumn<int>("serverWindow"); // seconds
        QTest::addColumn<int>("length");       // bytes a line
        QTest::addColumn<int>("lines");
        QTest::addColumn<bool>("refusalsAllowed");
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
        GatewayProcess gateway({QStringLiteral("--quota-window"), QString::number(serverWindow)});
        QVERIFY2(gateway.port() != 0, qPrintable(gateway.errorText()));
        MessagesFixture f(aliceConf);
        Tmain &m = *f.main;
        // The client believes in a 1 s window with a 100 ms margin; its own
        // flood interval is shortened likewise, so the quota is what paces.
        m.options->quotaWindow->setValue(1);
        m.options->quotaMargin->setValue(100);
        m.process->setFloodInterval(50);
        m.bnet->Port = gateway.port();
        m.ConnectClick();
        QTRY_VERIFY_WITH_TIMEOUT(MessagesFixture::lines(m.chat).contains(
                                     QStringLiteral(" <alice> You have no mail.")),
                                 10000);
        RawClient bob;
        QVERIFY(bob.login(gateway.port(), "bob"));

        QStringList typed;
        for (int i = 0; i < lines; ++i) {
            typed << numbered(i, length);
            m.text->setText(typed.last());
            m.sendClick();
            QVERIFY(m.text->text().isEmpty());
        }
        QTRY_COMPARE_WITH_TIMEOUT(talkFrom(bob.received(), "alice").size(), lines, 90000);
        QCOMPARE(talkFrom(bob.received(), "alice"), typed);
        QVERIFY(m.bnet->Connected());
        QCOMPARE(m.process->queuedCount(), 0);
        const QStringList shown = MessagesFixture::lines(m.chat);
        QVERIFY(!shown.contains(QStringLiteral(" Console: Disconnected.")));
        const bool refused = std::any_of(shown.begin(), shown.end(), [](const QString &l) {
            return l.contains(QLatin1String("flood quota refused a line"));
        });
        // Where the server remembers longer than the client believes, the
        // burst meets a refusal, and the line refused is still delivered.
        QCOMPARE(refused, refusalsAllowed);
    }
};

QTEST_MAIN(TestMessagesQuota)
#include "test_messages_quota.moc"
