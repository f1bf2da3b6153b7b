// The channel member table and the `users` rows built from it: user events,
// icons and state marks, selection, notifications, history expiry.
#include "support/datarows.h"
#include "support/frames.h"
#include "userlistfixture.h"
#include "widgets/framepacer.h"

#include <QCheckBox>
#include <QLineEdit>
#include <QPushButton>
#include <QSignalSpy>
#include <QtTest>

namespace {
using Row = UserListFixture::Row;

void safelist(Tmain &m, const QStringList &names)
{
    m.options->safe->clear();
    for (const QString &n : names)
        m.options->insertSafeName(n);
}
} // namespace

class TestUserListTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void tableLookups()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        QCOMPARE(m.session->getUserID(QStringLiteral("bob")), 0);
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("carol"), QStringLiteral("0000"), QStringLiteral("CHAT"));
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0002"), QStringLiteral("SEXP"));
        QCOMPARE(m.session->userCount, 3);
        // The later of two entries with one name is the one found.
        QCOMPARE(m.session->getUserID(QStringLiteral("bob")), 3);
        QCOMPARE(m.session->getUserID(QStringLiteral("carol")), 2);
        QCOMPARE(m.session->getUserID(QStringLiteral("Bob")), 0);
        QVERIFY(m.session->inUserTable(QStringLiteral("carol")));
        QVERIFY(!m.session->inUserTable(QStringLiteral("Carol")));
        QCOMPARE(f.names(), QStringList({"bob", "carol", "bob"}));

        m.processLeave(QStringLiteral("bob"), QStringLiteral("0002"), QStringLiteral("SEXP"));
        QCOMPARE(f.names(), QStringList({"bob", "carol"}));
        QCOMPARE(m.session->userTable[1].product, QStringLiteral("STAR"));
        QCOMPARE(m.channel->text(), QStringLiteral(" (2)"));
    }

    void entriesAreCutToTheirSizes()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        const QString longName = QString(45, QLatin1Char('n'));
        m.processShowUser(longName, QStringLiteral("001020"), QStringLiteral("STARX"));
        const tChannelUser &u = m.session->userTable[1];
        QCOMPARE(u.username, QString(40, QLatin1Char('n')));
        QCOMPARE(u.product, QStringLiteral("STAR"));
        QCOMPARE(u.flags, QStringLiteral("0010"));
        QCOMPARE(u.joinTime, f.now());
        // The full name is no longer found: a leave for it is "user not found".
        QCOMPARE(m.session->getUserID(longName), 0);
        m.processLeave(longName, QString(), QString());
        QTRY_COMPARE(f.dialogs.infos(), QStringList({"user not found"}));
        QCOMPARE(m.session->userCount, 1);
    }

    void modUserKeepsTheLastThreeLines()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.session->modUser(QStringLiteral("ghost"), QStringLiteral("nobody")); // no entry: nothing
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.session->modUser(QStringLiteral("bob"), QStringLiteral("one"));
        m.session->modUser(QStringLiteral("bob"), QStringLiteral("two"));
        f.setNow(f.now().addSecs(3));
        m.session->modUser(QStringLiteral("bob"), QStringLiteral("three"));
        m.session->modUser(QStringLiteral("bob"), QString(300, QLatin1Char('x')));
        const tChannelUser &u = m.session->userTable[1];
        QCOMPARE(u.firstLine, QStringLiteral("two"));
        QCOMPARE(u.secondLine, QStringLiteral("three"));
        QCOMPARE(u.thirdLine, QString(255, QLatin1Char('x')));
        QCOMPARE(u.lastLineTime, f.now());
    }

    void newEntryStartsWithoutHistory()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.session->modUser(QStringLiteral("bob"), QStringLiteral("old line"));
        m.processLeave(QStringLiteral("bob"), QString(), QString());
        m.processJoin(QStringLiteral("carol"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        const tChannelUser &u = m.session->userTable[1];
        QCOMPARE(u.username, QStringLiteral("carol"));
        QVERIFY(u.firstLine.isEmpty() && u.secondLine.isEmpty() && u.thirdLine.isEmpty());
        QVERIFY(!u.lastLineTime.isValid());
        QVERIFY(!u.squelched);
    }

    void rowIconsAndStates()
    {
        UserListFixture f(QByteArray("STARsquelchedSafe\r\nCHATKelm\r\n"), true);
        Tmain &m = *f.main;
        safelist(m, {"safeOne", "squelchedSafe"});
        m.processShowUser(QStringLiteral("plain"), QStringLiteral("0000"), QStringLiteral("D2XP"));
        m.processShowUser(QStringLiteral("op"), QStringLiteral("0012"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("safeOne"), QStringLiteral("0010"),
                          QStringLiteral("W2BN"));
        m.processShowUser(QStringLiteral("squelchedSafe"), QStringLiteral("0002"),
                          QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("Tressel"), QStringLiteral("0010"),
                          QStringLiteral("JSTR"));
        m.processShowUser(QStringLiteral("Kelm"), QStringLiteral("0010"), QStringLiteral("JSTR"));
        m.processShowUser(QStringLiteral("rep"), QStringLiteral("0100"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("odd"), QStringLiteral("0010"), QString());
        QCOMPARE(f.row("plain"), (Row{"plain", 17, -1}));
        QCOMPARE(f.row("op"), (Row{"op", 2, -1}));
        QCOMPARE(f.row("safeOne"), (Row{"safeOne", 16, 0}));
        // Safelisted and permasquelched: the red X and the squelch mark.
        QCOMPARE(f.row("squelchedSafe"), (Row{"squelchedSafe", 5, 1}));
        QCOMPARE(f.row("Tressel"), (Row{"Tressel", 14, 2}));
        // The author's star wins over the squelch mark; the icon stays the X.
        QCOMPARE(f.row("Kelm"), (Row{"Kelm", 5, 2}));
        QCOMPARE(f.row("rep"), (Row{"rep", 0, -1}));
        QCOMPARE(f.row("odd"), (Row{"odd", 8, -1}));
        QVERIFY(m.session->userTable[m.session->getUserID("squelchedSafe")].squelched);
        QVERIFY(m.session->userTable[m.session->getUserID("rep")].squelched); // 0100 marks 20
        QVERIFY(!m.session->userTable[m.session->getUserID("op")].squelched);
    }

    void flagsChange()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0020"), QStringLiteral("STAR"));
        QCOMPARE(f.row("bob").icon, 5);
        QVERIFY(m.session->userTable[1].squelched);
        m.processUserFlags(QStringLiteral("bob"), QStringLiteral("0010"));
        QCOMPARE(f.row("bob").icon, 10);
        QVERIFY(!m.session->userTable[1].squelched);
        m.processUserFlags(QStringLiteral("bob"), QStringLiteral("00020"));
        QCOMPARE(m.session->userTable[1].flags, QStringLiteral("0002"));
        QCOMPARE(f.row("bob").icon, 2);
        m.processUserFlags(QStringLiteral("bob"), QStringLiteral("002a"));
        QCOMPARE(f.row("bob").icon, 2);
        QVERIFY(m.session->userTable[1].squelched);
        // 0000 leaves the mark as it was.
        m.processUserFlags(QStringLiteral("bob"), QStringLiteral("0000"));
        QCOMPARE(f.row("bob").icon, 10);
        QVERIFY(m.session->userTable[1].squelched);
        m.processUserFlags(QStringLiteral("ghost"), QStringLiteral("0002"));
        QCOMPARE(f.names(), QStringList({"bob"}));
    }

    void lamerMode_data()
    {
        QTest::addColumn<QStringList>("safe");
        QTest::newRow("empty safelist") << QStringList();
        QTest::newRow("one safelisted") << QStringList({"friend"});
    }
    void lamerMode()
    {
        QFETCH(QStringList, safe);
        UserListFixture f;
        Tmain &m = *f.main;
        safelist(m, safe);
        m.processShowUser(QStringLiteral("friend"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("stranger"), QStringLiteral("0002"),
                          QStringLiteral("SEXP"));
        const bool friendSafe = safe.contains(QStringLiteral("friend"));

        m.lamermodeClick();
        QCOMPARE(m.lamermode->text(), QStringLiteral("Disctivate Lamer Mode"));
        QVERIFY(m.envVars.lamerMode);
        QVERIFY(m.checkLamerMode(QStringLiteral("stranger")));
        QCOMPARE(m.checkLamerMode(QStringLiteral("friend")), !friendSafe);
        QCOMPARE(f.row("stranger"), (Row{"stranger", 5, -1}));
        QCOMPARE(f.row("friend"), (friendSafe ? Row{"friend", 10, 0} : Row{"friend", 5, -1}));
        // Hidden members keep their own squelched mark.
        QVERIFY(!m.session->userTable[2].squelched);

        m.lamermodeClick();
        QCOMPARE(m.lamermode->text(), QStringLiteral("Activate Lamer Mode"));
        QVERIFY(!m.checkLamerMode(QStringLiteral("stranger")));
        QCOMPARE(f.row("stranger"), (Row{"stranger", 2, -1}));
        QCOMPARE(f.row("friend").icon, 10);
    }

    void notifications_data()
    {
        columns<bool, bool, QStringList>("notifications", "onlySafe", "expected");
        const QStringList all = {
            " Info: friend joined the channel.", " Info: other joined the channel.",
            " Info: friend left the channel.", " Info: other left the channel."};
        QTest::newRow("off") << false << false << QStringList();
        QTest::newRow("off, only safe") << false << true << QStringList();
        QTest::newRow("on") << true << false << all;
        QTest::newRow("on, only safe") << true << true << QStringList({all[0], all[2]});
    }
    void notifications()
    {
        QFETCH(bool, notifications);
        QFETCH(bool, onlySafe);
        QFETCH(QStringList, expected);
        UserListFixture f;
        Tmain &m = *f.main;
        m.options->timestamps->setChecked(false);
        m.options->notifications->setChecked(notifications);
        m.options->onlynotesafe->setChecked(onlySafe);
        safelist(m, {"friend"});
        m.chat->clear();
        m.processShowUser(QStringLiteral("present"), QStringLiteral("0010"),
                          QStringLiteral("CHAT"));
        m.processJoin(QStringLiteral("friend"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.processJoin(QStringLiteral("other"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.processLeave(QStringLiteral("friend"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.processLeave(QStringLiteral("other"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        QCOMPARE(f.chatLines(), expected);
        if (!expected.isEmpty())
            QCOMPARE(m.chat->colourAt(0, 2), m.options->label_colour->selected());
    }

    void userNotFoundDoesNotStack()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.processLeave(QStringLiteral("ghost"), QString(), QString());
        m.processLeave(QStringLiteral("ghost2"), QString(), QString());
        // Not opened while the event is being handled.
        QVERIFY(f.dialogs.infos().isEmpty());
        QCOMPARE(m.session->userCount, 1);
        QCOMPARE(f.names(), QStringList({"bob"}));
        QCOMPARE(m.channel->text(), QStringLiteral(" (1)"));
        QTRY_COMPARE(f.dialogs.infos(), QStringList({"user not found"}));
        QCOMPARE(f.dialogs.asked.last().title, QStringLiteral("Tressel"));
        QCoreApplication::processEvents();
        QCOMPARE(f.dialogs.infos().size(), 1);
        // Once that box is closed, the next unknown leave opens one again.
        m.processLeave(QStringLiteral("ghost3"), QString(), QString());
        QTRY_COMPARE(f.dialogs.infos().size(), 2);
    }

    void channelChangeEmptiesTheTable()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.options->timestamps->setChecked(false);
        m.chat->clear();
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.processChannel(QStringLiteral("Clan Test"));
        QCOMPARE(f.chatLines(), QStringList({" Info: Joined Channel Clan Test"}));
        QCOMPARE(m.envVars.channelName, QStringLiteral("Clan Test"));
        QCOMPARE(m.session->userCount, 0);
        QCOMPARE(m.session->getUserID(QStringLiteral("bob")), 0);
        m.processShowUser(QStringLiteral("alice"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        QCOMPARE(f.names(), QStringList({"alice"}));
        QCOMPARE(m.channel->text(), QStringLiteral("Clan Test (1)"));
    }

    void countResetElsewhereEmptiesTheTable()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        f.rows();
        // What a disconnect does to the list.
        m.users->clear();
        m.session->userCount = 0;
        QCOMPARE(m.session->getUserID(QStringLiteral("bob")), 0);
        m.processShowUser(QStringLiteral("carol"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        QCOMPARE(f.names(), QStringList({"carol"}));
        QCOMPARE(m.session->userTable.count(), 1);
    }

    void waitingRebuildDoesNotOutliveAClear()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        f.rows();
        m.processLeave(QStringLiteral("bob"), QString(), QString()); // rebuild waits
        m.users->clear();
        m.session->userCount = 0;
        m.channel->setText(QStringLiteral("Tressel 1.5"));
        QVERIFY(framesPass(3)); // when the rebuild would have run
        QCOMPARE(m.channel->text(), QStringLiteral("Tressel 1.5"));
    }

    void historyExpires_data()
    {
        columns<int, int, bool>("delay", "elapsed", "kept");
        QTest::newRow("within") << 10 << 10 << true;
        QTest::newRow("past") << 10 << 11 << false;
        QTest::newRow("zero delay, same moment") << 0 << 0 << true;
        QTest::newRow("over midnight") << 30 << 40 << false;
        QTest::newRow("a day later, same time of day") << 30 << 86400 << false;
    }
    void historyExpires()
    {
        QFETCH(int, delay);
        QFETCH(int, elapsed);
        QFETCH(bool, kept);
        UserListFixture f;
        Tmain &m = *f.main;
        m.options->HistoryDelay->setValue(delay);
        f.setNow(QDateTime(QDate(2026, 12, 8), QTime(23, 59, 50)));
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.session->modUser(QStringLiteral("bob"), QStringLiteral("hello"));
        f.setNow(f.now().addSecs(elapsed));
        m.updateUsers();
        f.rows();
        QCOMPARE(m.session->userTable[1].thirdLine.isEmpty(), !kept);
        QCOMPARE(m.session->userTable[1].lastLineTime.isValid(), true);
    }

    void manyMembers()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processChannel(QStringLiteral("Big"));
        for (int i = 0; i < 250; ++i)
            m.processShowUser(QStringLiteral("user%1").arg(i), QStringLiteral("0010"),
                              i % 2 ? QStringLiteral("STAR") : QStringLiteral("W2BN"));
        QCOMPARE(m.session->userCount, 250);
        QCOMPARE(m.session->getUserID(QStringLiteral("user249")), 250);
        QCOMPARE(m.session->getUserID(QStringLiteral("user100")), 101);
        const auto rows = f.rows();
        QCOMPARE(rows.size(), 250);
        QCOMPARE(rows[249], (Row{"user249", 10, -1}));
        QCOMPARE(rows[150], (Row{"user150", 16, -1}));
        QCOMPARE(m.channel->text(), QStringLiteral("Big (250)"));
        for (int i = 0; i < 250; i += 2)
            m.processLeave(QStringLiteral("user%1").arg(i), QString(), QString());
        QCOMPARE(f.rows().size(), 125);
        QCOMPARE(f.rows()[124].name, QStringLiteral("user249"));
        QCoreApplication::processEvents();
        QVERIFY(f.dialogs.infos().isEmpty());
    }

    void burstRebuildsOnce()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        QSignalSpy resets(m.users->model(), &QAbstractItemModel::modelReset);
        for (int i = 0; i < 3000; ++i)
            m.processJoin(QStringLiteral("u%1").arg(i), QStringLiteral("0010"),
                          QStringLiteral("CHAT"));
        QCOMPARE(m.users->topLevelItemCount(), 0); // nothing rebuilt yet
        QTRY_COMPARE(resets.count(), 1);
        QVERIFY(framesPass(3));
        QCOMPARE(resets.count(), 1);
        QCOMPARE(m.users->topLevelItemCount(), 3000);
        QCOMPARE(m.channel->text(), QStringLiteral(" (3000)"));
    }

    void steadyJoinsRebuildOnceAFrame()
    {
        // A member joining in every pass of the event loop: the rows are
        // rebuilt at most once a display frame, and all of them are there.
        UserListFixture f;
        Tmain &m = *f.main;
        QCoreApplication::processEvents();
        QSignalSpy resets(m.users->model(), &QAbstractItemModel::modelReset);
        // Fifteen frames of the display, counted as the pacer counts them.
        const qint64 first = TFramePacer::currentFrame();
        int joined = 0;
        while (TFramePacer::currentFrame() - first < 15) {
            m.processJoin(QStringLiteral("u%1").arg(joined++), QStringLiteral("0010"),
                          QStringLiteral("CHAT"));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        QTRY_COMPARE(m.users->topLevelItemCount(), joined);
        const int frames = int(TFramePacer::currentFrame() - first) + 2;
        QVERIFY2(resets.count() >= 2 && resets.count() <= frames,
                 qPrintable(QStringLiteral("%1 rebuilds, %2 frames, %3 joins")
                                .arg(resets.count())
                                .arg(frames)
                                .arg(joined)));
        QVERIFY(resets.count() * 3 < joined);
        QCOMPARE(m.channel->text(), QStringLiteral(" (%1)").arg(joined));
        QCOMPARE(f.names().last(), QStringLiteral("u%1").arg(joined - 1));
    }

    void setUserIconChangesOneRow()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("SEXP"));
        f.rows();
        m.setUserIcon(QStringLiteral("bob"), 3);
        m.setUserIcon(QStringLiteral("nobody"), 3);
        QCOMPARE(m.users->topLevelItem(0)->data(0, TUserRow::iconRole).toInt(), 3);
        QCOMPARE(m.users->topLevelItem(1)->data(0, TUserRow::iconRole).toInt(), 13);
    }

    void memberIconForBrx()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0002"), QStringLiteral("D2DV"));
        QCOMPARE(m.memberIcon(QStringLiteral("bob")), 15);
        QCOMPARE(m.memberIcon(QStringLiteral("stranger")), 18);
    }
};

QTEST_MAIN(TestUserListTable)
#include "test_userlist_table.moc"
