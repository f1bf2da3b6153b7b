// TBnetChat's pacing by the server's flood quota, on a clock the tests move:
// what a line costs, when a held line leaves, what a refusal does, and runs
// against the gateway's own quota counting (window as long as the client's
// settings or longer) in which no line may be lost or doubled and the
// client must never be disconnected.
#include "connection/TChatInterface.h"
#include "floodquota.h"
#include "gatewayconnection.h"
#include "interpreter/TBnetChat.h"
#include "support/datarows.h"
#include "support/loopbacklink.h"
#include "support/waits.h"

#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

namespace {

QString bytes(int length, char fill = 'x') { return QString(length, QLatin1Char(fill)); }

// A line of exactly `length` bytes before its CR, told apart by its number.
QString numbered(int i, int length)
{
    QString head = QStringLiteral("L%1:").arg(i);
    return head + bytes(std::max(0, length - int(head.size()))) + QLatin1Char('\r');
}

QString errorLine(const QString &text) { return QStringLiteral("1019 ERROR \"%1\"").arg(text); }

// Built when used: TBnetChat::QuotaRefusal is not yet made while this
// file's own statics are.
QString refusal() { return errorLine(TBnetChat::QuotaRefusal); }

} // namespace

class PacingQuota : public QObject, LoopbackLinkBench {
    Q_OBJECT

    TBnetChat *chat = nullptr;
    qint64 now = 0;
    QByteArray received; // what the peer has read and not yet taken

    // A connected link, the peer's end, and an interpreter on the test's
    // clock whose flood ticks come from the test only.
    void open()
    {
        openLink(this);
        if (QTest::currentTestFailed())
            return;
        chat = new TBnetChat(this);
        chat->setFloodInterval(100000000);
        chat->clock = [this] { return now; };
        chat->ChatInterface = link;
        received.clear();
    }

    // The next `count` lines the peer gets, CR removed.
    QStringList take(int count)
    {
        QStringList lines;
        // The last line is taken too (acknowledged), so the next may go.
        const bool arrived = waitUntil(
            [&] {
                received += peer->readAll();
                return received.count('\r') >= count && !chat->inFlight();
            },
            5000);
        if (!arrived)
            return lines;
        for (int i = 0; i < count; ++i) {
            const int cr = received.indexOf('\r');
            lines << QString::fromLatin1(received.left(cr));
            received.remove(0, cr + 1);
        }
        return lines;
    }
    // Nothing more reached the peer: a probe written straight to the link,
    // past the pacing, arrives with nothing before it.
    bool quiet()
    {
        received += readUpToProbe(*link, *peer);
        return received.isEmpty();
    }

private Q_SLOTS:
    void initTestCase() { QVERIFY(server.listen(QHostAddress::LocalHost, 0)); }
    void cleanup()
    {
        delete chat;
        chat = nullptr;
        closeLink();
        now = 0;
    }

    void unitsOfALine_data()
    {
        columns<int, QString, int>("bytesPerUnit", "line", "units");
        QTest::newRow("empty costs one") << 40 << QString() << 1;
        QTest::newRow("a CR alone costs one") << 40 << QStringLiteral("\r") << 1;
        QTest::newRow("40") << 40 << bytes(40) << 1;
        QTest::newRow("40, CR not counted") << 40 << bytes(40) + QLatin1Char('\r') << 1;
        QTest::newRow("41") << 40 << bytes(41) + QLatin1Char('\r') << 2;
        QTest::newRow("160") << 40 << bytes(160) + QLatin1Char('\r') << 4;
        QTest::newRow("161") << 40 << bytes(161) << 5;
        QTest::newRow("a byte a unit") << 1 << QStringLiteral("abc\r") << 3;
        QTest::newRow("256 a unit") << 256 << bytes(300) << 2;
    }
    void unitsOfALine()
    {
        QFETCH(int, bytesPerUnit);
        QFETCH(QString, line);
        QFETCH(int, units);
        TBnetChat c;
        c.QuotaBytesPerUnit = bytesPerUnit;
        QCOMPARE(c.unitsOf(line), units);
    }

    void heldLineLeavesWhenTheWindowClears()
    {
        open();
        // Lines of two units: two fit in the 5-unit quota, a third does not.
        chat->SendLine(numbered(1, 60));
        QCOMPARE(take(1), QStringList{numbered(1, 60).chopped(1)});
        now = 1500;
        chat->floodTimerTick();
        chat->SendLine(numbered(2, 60));
        QCOMPARE(take(1), QStringList{numbered(2, 60).chopped(1)});
        now = 3000;
        chat->floodTimerTick();
        chat->SendLine(numbered(3, 60));
        // 2 + 2 + 2 would reach 5: held until the first line is 5.5 s old.
        QVERIFY(quiet());
        QCOMPARE(chat->holdMs(), 2500);
        now = 4500;
        chat->floodTimerTick(); // a tick does not let it go
        QVERIFY(quiet());
        QCOMPARE(chat->holdMs(), 1000);
        now = 5499;
        chat->holdTimerExpired();
        QVERIFY(quiet());
        QCOMPARE(chat->holdMs(), 1);
        now = 5500;
        chat->holdTimerExpired(); // the hold timer, not a tick, sends it
        QCOMPARE(take(1), QStringList{numbered(3, 60).chopped(1)});
        QCOMPARE(chat->holdMs(), -1);

        // The flood interval stays the fastest rate: a line given now waits
        // for the tick, and then for the quota (2 + 2 + 1 reaches 5 until
        // the second line is 5.5 s old).
        chat->SendLine(QStringLiteral("short\r"));
        QVERIFY(quiet());
        QCOMPARE(chat->holdMs(), -1);
        now = 6000;
        chat->floodTimerTick();
        QCOMPARE(chat->holdMs(), 1000);
        now = 7000;
        chat->holdTimerExpired();
        QCOMPARE(take(1), QStringList{QStringLiteral("short")});
        QCOMPARE(chat->queuedCount(), 0);
    }

    void figuresAreReadForEachLine()
    {
        open();
        chat->SendLine(numbered(1, 100)); // 3 units
        QCOMPARE(take(1).size(), 1);
        now = 1500;
        chat->floodTimerTick();
        chat->SendLine(numbered(2, 100));
        QVERIFY(quiet());
        QCOMPARE(chat->holdMs(), 4000);
        // A quota of 10 units lets the held line go at the next look.
        chat->QuotaUnits = 10;
        chat->floodTimerTick();
        QCOMPARE(take(1).size(), 1);
        // 100 bytes a unit, 3 units, 2 s and no margin: the new line costs
        // 1, while the two sent keep the 3 units they were weighed at, so it
        // is held until the second is 2 s old.
        chat->QuotaUnits = 3;
        chat->QuotaBytesPerUnit = 100;
        chat->QuotaWindowMs = 2000;
        chat->QuotaMarginMs = 0;
        now = 1800;
        chat->floodTimerTick();
        chat->SendLine(numbered(3, 100));
        QCOMPARE(chat->holdMs(), 1700);
        now = 3499;
        chat->holdTimerExpired();
        QVERIFY(quiet());
        now = 3500;
        chat->holdTimerExpired();
        QCOMPARE(take(1).size(), 1);
    }

    void aLineOfTheWholeQuotaGoesAlone()
    {
        open();
        chat->SendLine(QStringLiteral("hi\r"));
        QCOMPARE(take(1).size(), 1);
        now = 1500;
        chat->floodTimerTick();
        chat->SendLine(numbered(1, 170)); // 5 units: refused even alone
        QCOMPARE(chat->holdMs(), 4000);
        now = 5500;
        chat->holdTimerExpired();
        QCOMPARE(take(1), QStringList{numbered(1, 170).chopped(1)});
        // Waiting cannot help it: the server's refusal drops it, with word.
        QStringList refused;
        QList<int> waits;
        chat->OnRefused = [&](const QString &line, int waitMs) {
            refused << line;
            waits << waitMs;
        };
        QStringList errors;
        chat->OnError = [&](const QString &m) { errors << m; };
        chat->ParseLine(refusal());
        QCOMPARE(errors, QStringList{TBnetChat::QuotaRefusal});
        QCOMPARE(refused, QStringList{numbered(1, 170)});
        QCOMPARE(waits, QList<int>{-1});
        QCOMPARE(chat->queuedCount(), 0);
        QCOMPARE(chat->refusals(), 0);
    }

    void refusedLineGoesAgainFirstWithDoublingWaits()
    {
        open();
        QStringList refused;
        QList<int> waits;
        chat->OnRefused = [&](const QString &line, int waitMs) {
            refused << line;
            waits << waitMs;
        };
        const QString a = numbered(1, 100), b = numbered(2, 100);
        chat->SendLine(a);
        chat->SendLine(b);
        QCOMPARE(take(1), QStringList{a.chopped(1)});
        now = 100;
        chat->ParseLine(refusal());
        QCOMPARE(refused, QStringList{a});
        QCOMPARE(chat->refusals(), 1);
        QCOMPARE(chat->pacingWindowMs(), 11000);
        QCOMPARE(waits, QList<int>{10900});
        QCOMPARE(chat->queuedCount(), 2);
        QCOMPARE(chat->holdMs(), 10900);
        // Neither a tick nor the wrong moment lets it (or the line behind
        // it) go early.
        now = 1500;
        chat->floodTimerTick();
        QVERIFY(quiet());
        now = 11000;
        chat->holdTimerExpired();
        QCOMPARE(take(1), QStringList{a.chopped(1)});

        // Refused again and again: the window doubles up to a minute, and a
        // line refused after a minute with nothing else sent is given up.
        // The wait also keeps what the longest window (a minute) may hold
        // below the disconnect; here the doubled window is the longer wait.
        const QList<std::pair<int, int>> steps{{22000, 22000}, {44000, 44000}, {60000, 60000}};
        for (const auto &[window, wait] : steps) {
            chat->ParseLine(refusal());
            QCOMPARE(chat->pacingWindowMs(), window);
            QCOMPARE(waits.last(), wait);
            QCOMPARE(chat->holdMs(), wait);
            now += wait - 1;
            chat->holdTimerExpired();
            QVERIFY(quiet());
            now += 1;
            chat->holdTimerExpired();
            QCOMPARE(take(1), QStringList{a.chopped(1)});
        }
        QCOMPARE(chat->refusals(), 4);
        chat->ParseLine(refusal());
        QCOMPARE(waits.last(), -1);
        QCOMPARE(refused.size(), 5);
        QCOMPARE(chat->queuedCount(), 1);
        QVERIFY(chat->isQueued(b));
        // The line behind it is paced with the raised window: 3 + 3 units
        // wait until the refused line is a minute old.
        chat->floodTimerTick();
        QCOMPARE(chat->holdMs(), 60000);
        now += 60000;
        chat->holdTimerExpired();
        QCOMPARE(take(1), QStringList{b.chopped(1)});
    }

    // Once a refused line has been taken, the server's count is known to be
    // below its quota: lines go at the raised window's pace again, no longer
    // held by what the longest window holds.
    void cautionEndsWhenTheResendIsTaken()
    {
        open();
        chat->SendLine(QStringLiteral("a\r"));
        QCOMPARE(take(1), QStringList{QStringLiteral("a")});
        now = 100;
        chat->ParseLine(refusal());
        now = 11000;
        chat->holdTimerExpired();
        QCOMPARE(take(1), QStringList{QStringLiteral("a")});
        // Four lines of four units: each goes alone in the 11 s window.
        for (int i = 1; i <= 4; ++i)
            chat->SendLine(numbered(i, 150));
        now = 12000;
        chat->floodTimerTick();
        QCOMPARE(chat->holdMs(), 10000); // until the resend is 11 s old
        for (int i = 1; i <= 4; ++i) {
            now = 11000 + 11000 * i;
            chat->holdTimerExpired();
            QCOMPARE(take(1), QStringList{numbered(i, 150).chopped(1)});
            chat->floodTimerTick();
        }
        // Still cautious, the second would have waited a minute: the first
        // minute held 1 + 1 + 4 units, and 4 more reach the hang-up.
        QCOMPARE(chat->refusals(), 1);
        QCOMPARE(chat->queuedCount(), 0);
    }

    void onlyTheQuotaTextIsARefusal_data()
    {
        QTest::addColumn<QString>("line");
        QTest::newRow("line length")
            << errorLine(QStringLiteral("Your line length quota has been exceeded!"));
        QTest::newRow("garbled") << errorLine(
            QString::fromLatin1(garble(TBnetChat::QuotaRefusal.toLatin1())));
        QTest::newRow("trailing blank") << errorLine(TBnetChat::QuotaRefusal + QLatin1Char(' '));
        QTest::newRow("lower case") << errorLine(TBnetChat::QuotaRefusal.toLower());
        QTest::newRow("commands too quickly") << errorLine(
            QStringLiteral("You are sending commands to PvPGN Realm too quickly and risk "
                           "being disconnected for flooding. Please slow down."));
        QTest::newRow("other error") << errorLine(QStringLiteral("That user is not logged on."));
        QTest::newRow("as info") << QStringLiteral("1018 INFO \"%1\"").arg(TBnetChat::QuotaRefusal);
    }
    void onlyTheQuotaTextIsARefusal()
    {
        QFETCH(QString, line);
        open();
        int refusedEvents = 0;
        chat->OnRefused = [&](const QString &, int) { ++refusedEvents; };
        int messages = 0;
        chat->OnError = [&](const QString &) { ++messages; };
        chat->OnInfo = [&](const QString &) { ++messages; };
        chat->SendLine(QStringLiteral("said once\r"));
        QCOMPARE(take(1), QStringList{QStringLiteral("said once")});
        chat->ParseLine(line);
        QCOMPARE(messages, 1); // shown as ever
        QCOMPARE(refusedEvents, 0);
        QCOMPARE(chat->queuedCount(), 0);
        QCOMPARE(chat->refusals(), 0);
        for (int i = 0; i < 3; ++i) {
            now += 10000;
            chat->floodTimerTick();
        }
        QVERIFY(quiet());
        QCOMPARE(chat->sentCount(), 1);
    }

    void oneRefusalPerLineSent()
    {
        open();
        int refusedEvents = 0;
        chat->OnRefused = [&](const QString &, int) { ++refusedEvents; };
        // Before anything was sent, the quota text refers to no line.
        chat->ParseLine(refusal());
        QCOMPARE(refusedEvents, 0);
        QCOMPARE(chat->queuedCount(), 0);
        chat->SendLine(QStringLiteral("/time\r"));
        QCOMPARE(take(1).size(), 1);
        // A command's refusal comes with a second line; a repeated quota
        // text is not a second refusal of the same line either.
        chat->ParseLine(refusal());
        chat->ParseLine(errorLine(
            QStringLiteral("You are sending commands to PvPGN Realm too quickly "
                           "and risk being disconnected for flooding. Please slow down.")));
        chat->ParseLine(refusal());
        QCOMPARE(refusedEvents, 1);
        QCOMPARE(chat->queuedCount(), 1);
        QCOMPARE(chat->refusals(), 1);
        now = 11000;
        chat->holdTimerExpired();
        QCOMPARE(take(1), QStringList{QStringLiteral("/time")});
        QVERIFY(quiet());
    }

    void loginStartsAFreshCount()
    {
        open();
        chat->SendLine(numbered(1, 150));
        QCOMPARE(take(1).size(), 1);
        chat->ParseLine(refusal());
        QCOMPARE(chat->refusals(), 1);
        QCOMPARE(chat->holdMs(), 11000);
        // A new login: the server counts from nothing, so the refused line
        // goes at once and the wait is the settings' again.
        chat->UserName = QStringLiteral("a");
        QVERIFY(chat->Login());
        QCOMPARE(take(3), (QStringList{QStringLiteral("\x03\x04"
                                                      "a"),
                                       QString(), QString()}));
        QCOMPARE(chat->refusals(), 0);
        QCOMPARE(chat->pacingWindowMs(), 5500);
        chat->floodTimerTick();
        QCOMPARE(take(1), QStringList{numbered(1, 150).chopped(1)});
    }

    void newFiguresRestartTheDoubling()
    {
        open();
        chat->SendLine(numbered(1, 150));
        QCOMPARE(take(1).size(), 1);
        chat->ParseLine(refusal());
        QCOMPARE(chat->pacingWindowMs(), 11000);
        chat->QuotaWindowMs = 2000; // OK pressed in the preferences
        QCOMPARE(chat->refusals(), 0);
        QCOMPARE(chat->pacingWindowMs(), 2500);
        now = 2500;
        chat->holdTimerExpired();
        QCOMPARE(take(1).size(), 1);
        chat->ParseLine(refusal());
        QCOMPARE(chat->refusals(), 1);
        QCOMPARE(chat->pacingWindowMs(), 5000);
    }

    void connectionLostDropsTheHold()
    {
        open();
        chat->SendLine(numbered(1, 150));
        chat->SendLine(numbered(2, 150));
        QCOMPARE(take(1).size(), 1);
        chat->floodTimerTick();
        QVERIFY(chat->holdMs() > 0);
        link->Close();
        chat->holdTimerExpired(); // nothing to send to
        QCOMPARE(chat->queuedCount(), 1);
        chat->floodTimerTick();
        QCOMPARE(chat->queuedCount(), 0);
        QCOMPARE(chat->holdMs(), -1);
    }

    // The client with its settings' figures against the gateway's counting
    // with the same or a longer window, on a clock that jumps from one
    // timer to the next. Every line must be accepted once, in order, and
    // the client never disconnected.
    void againstTheGatewaysCount_data()
    {
        // windowS: the client's setting
        // marginMs: the client's setting
        // tickMs: flood interval
        // secondPhaseMs: where the server's seconds begin
        // latencyMs: one way
        columns<int, int, int, int, int, int, QList<int>>("windowS", "marginMs", "serverWindowS",
                                                          "tickMs", "secondPhaseMs", "latencyMs",
                                                          "lengths");
        const QList<int> long150(20, 150), short10(30, 10);
        QList<int> mixed;
        for (int i = 0; i < 40; ++i)
            mixed << (i * 37) % 161;
        QTest::newRow("defaults, 150s") << 5 << 500 << 5 << 1500 << 0 << 5 << long150;
        QTest::newRow("defaults, short lines") << 5 << 500 << 5 << 1500 << 700 << 5 << short10;
        QTest::newRow("defaults, mixed") << 5 << 500 << 5 << 1500 << 300 << 20 << mixed;
        QTest::newRow("1 s both, 150s") << 1 << 100 << 1 << 300 << 999 << 5 << long150;
        QTest::newRow("server 3 s, client 1 s") << 1 << 100 << 3 << 300 << 0 << 5 << long150;
        QTest::newRow("server 3 s, client 1 s, mixed") << 1 << 100 << 3 << 300 << 500 << 5 << mixed;
        QTest::newRow("server 5 s, client 1 s, short")
            << 1 << 100 << 5 << 300 << 250 << 5 << short10;
        QTest::newRow("server 10 s, client 5 s") << 5 << 500 << 10 << 1500 << 0 << 5 << long150;
        QTest::newRow("server 20 s, client 2 s, mixed")
            << 2 << 200 << 20 << 1500 << 100 << 5 << mixed;
        QTest::newRow("server 60 s, client 5 s") << 5 << 0 << 60 << 1500 << 0 << 0 << long150;
    }
    void againstTheGatewaysCount()
    {
        QFETCH(int, windowS);
        QFETCH(int, marginMs);
        QFETCH(int, serverWindowS);
        QFETCH(int, tickMs);
        QFETCH(int, secondPhaseMs);
        QFETCH(int, latencyMs);
        QFETCH(QList<int>, lengths);
        open();
        chat->QuotaWindowMs = windowS * 1000;
        chat->QuotaMarginMs = marginMs;
        FloodQuota quota(5, serverWindowS, 40);
        QStringList wanted, accepted;
        int refusals = 0;
        bool disconnected = false;
        QList<std::pair<qint64, QString>> toServer; // arrival time, line
        QList<qint64> refusalsDue;                  // arrival times at the client
        qint64 holdDue = -1;
        int seen = 0;
        // After each call into the interpreter: when its hold timer is due,
        // and the lines it sent on their way.
        const auto look = [&] {
            holdDue = chat->holdMs() >= 0 ? now + chat->holdMs() : -1;
            if (chat->sentCount() > seen) {
                const int fresh = chat->sentCount() - seen;
                for (const QString &l : take(fresh))
                    toServer.append({now + latencyMs, l});
                seen = chat->sentCount();
            }
        };
        for (int i = 0; i < lengths.size(); ++i) {
            wanted << numbered(i, lengths[i]).chopped(1);
            chat->SendLine(numbered(i, lengths[i]));
        }
        look();
        qint64 nextTick = tickMs;
        const qint64 limit = 3600 * 1000;
        while (accepted.size() < wanted.size() && !disconnected && now < limit) {
            qint64 next = nextTick;
            if (holdDue >= 0)
                next = std::min(next, holdDue);
            if (!toServer.isEmpty())
                next = std::min(next, toServer.first().first);
            if (!refusalsDue.isEmpty())
                next = std::min(next, refusalsDue.first());
            now = next;
            if (!toServer.isEmpty() && toServer.first().first == now) {
                const QString line = toServer.takeFirst().second;
                switch (quota.add(int(line.size()), now + secondPhaseMs)) {
                case FloodQuota::Accept:
                    accepted << line;
                    break;
                case FloodQuota::Refuse:
                    ++refusals;
                    refusalsDue << now + latencyMs;
                    break;
                case FloodQuota::Disconnect:
                    disconnected = true;
                    break;
                }
                continue;
            } else if (!refusalsDue.isEmpty() && refusalsDue.first() == now) {
                refusalsDue.removeFirst();
                chat->ParseLine(refusal());
            } else if (holdDue == now) {
                chat->holdTimerExpired();
            } else {
                chat->floodTimerTick();
                nextTick += tickMs;
            }
            look();
        }
        QVERIFY2(!disconnected,
                 qPrintable(QStringLiteral("disconnected after %1 lines, %2 refusals")
                                .arg(accepted.size())
                                .arg(refusals)));
        QCOMPARE(accepted, wanted);
        if (serverWindowS <= windowS)
            QCOMPARE(refusals, 0);
        QCOMPARE(chat->queuedCount(), 0);
    }
};

QTEST_MAIN(PacingQuota)
#include "pacing_quota.moc"
