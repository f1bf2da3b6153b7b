// The channel's members as the session keeps them, with no window: the
// table the user list is drawn from and the flood histories the automatic
// squelch reads.
#include "base/clock.h"
#include "core/settingsstore.h"
#include "session/TSession.h"
#include "support/clockhold.h"

#include <QCoreApplication>
#include <QtTest>

class TestSessionMembers : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lookupsFindTheLastEntryOfAnExactName()
    {
        TSession s;
        QCOMPARE(s.getUserID(QStringLiteral("bob")), 0);
        s.addUser(QStringLiteral("bob"), QStringLiteral("STAR"), QStringLiteral("0010"));
        s.addUser(QStringLiteral("carol"), QStringLiteral("CHAT"), QStringLiteral("0000"));
        s.addUser(QStringLiteral("bob"), QStringLiteral("SEXP"), QStringLiteral("0002"));
        QCOMPARE(s.userCount, 3);
        QCOMPARE(s.getUserID(QStringLiteral("bob")), 3);
        QCOMPARE(s.getUserID(QStringLiteral("carol")), 2);
        QCOMPARE(s.getUserID(QStringLiteral("Bob")), 0);
        QVERIFY(!s.inUserTable(QStringLiteral("Carol")));
        // A leave takes the later entry; the earlier one is found again.
        QVERIFY(s.delUser(QStringLiteral("bob")));
        QCOMPARE(s.userCount, 2);
        QCOMPARE(s.getUserID(QStringLiteral("bob")), 1);
        QCOMPARE(s.userTable[1].product, QStringLiteral("STAR"));
        // Nobody of that name: nothing changes, and the caller is told.
        QVERIFY(!s.delUser(QStringLiteral("dave")));
        QCOMPARE(s.userCount, 2);
    }

    void entriesAreCutAndStartClean()
    {
        ClockHold clock;
        TSession s;
        s.startsSquelched = [](const QString &name) { return name == QLatin1String("eve"); };
        const QString longName(45, QLatin1Char('n'));
        s.addUser(longName, QStringLiteral("STARX"), QStringLiteral("001020"));
        const tChannelUser &u = s.userTable[1];
        QCOMPARE(u.username, QString(40, QLatin1Char('n')));
        QCOMPARE(u.product, QStringLiteral("STAR"));
        QCOMPARE(u.flags, QStringLiteral("0010"));
        QCOMPARE(u.joinTime, currentDateTime());
        QVERIFY(!u.squelched);
        QCOMPARE(s.getUserID(longName), 0); // the full name is no longer found
        s.addUser(QStringLiteral("eve"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        QVERIFY(s.userTable[2].squelched); // the permasquelch list marks her at once
    }

    void modUserKeepsTheLastThreeLines()
    {
        ClockHold clock;
        TSession s;
        s.modUser(QStringLiteral("ghost"), QStringLiteral("nobody")); // no entry: nothing
        s.addUser(QStringLiteral("bob"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        for (const char *line : {"one", "two", "three"})
            s.modUser(QStringLiteral("bob"), QLatin1String(line));
        moveClock(3000);
        s.modUser(QStringLiteral("bob"), QString(300, QLatin1Char('x')));
        const tChannelUser &u = s.userTable[1];
        QCOMPARE(u.firstLine, QStringLiteral("two"));
        QCOMPARE(u.secondLine, QStringLiteral("three"));
        QCOMPARE(u.thirdLine, QString(255, QLatin1Char('x')));
        QCOMPARE(u.lastLineTime, currentDateTime());
    }

    void aCountOfZeroEmptiesTheTable()
    {
        TSession s;
        s.addUser(QStringLiteral("bob"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        s.modUser(QStringLiteral("bob"), QStringLiteral("old line"));
        // A channel change or a disconnect: the entries left over no longer count.
        s.userCount = 0;
        QCOMPARE(s.getUserID(QStringLiteral("bob")), 0);
        QVERIFY(!s.delUser(QStringLiteral("bob")));
        s.addUser(QStringLiteral("carol"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        QCOMPARE(s.userTable.count(), 1);
        QCOMPARE(s.userTable[1].username, QStringLiteral("carol"));
        QVERIFY(s.userTable[1].thirdLine.isEmpty());
        QVERIFY(!s.userTable[1].lastLineTime.isValid());
    }

    void historiesExpireAfterTheDelay()
    {
        ClockHold clock;
        TSettingsStore settings;
        settings.setNumber(TSetting::HistoryDelay, 10);
        TSession s;
        s.setStore(&settings);
        s.addUser(QStringLiteral("bob"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        s.addUser(QStringLiteral("carol"), QStringLiteral("CHAT"), QStringLiteral("0010"));
        s.modUser(QStringLiteral("bob"), QStringLiteral("early"));
        moveClock(6000);
        s.modUser(QStringLiteral("carol"), QStringLiteral("later"));
        moveClock(4000); // bob's line is exactly 10 s old: kept
        s.expireHistories();
        QCOMPARE(s.userTable[1].thirdLine, QStringLiteral("early"));
        moveClock(1000);
        s.expireHistories();
        QVERIFY(s.userTable[1].thirdLine.isEmpty());
        QVERIFY(s.userTable[1].lastLineTime.isValid()); // when, not what, is kept
        QCOMPARE(s.userTable[2].thirdLine, QStringLiteral("later"));
        moveClock(6000);
        s.expireHistories();
        QVERIFY(s.userTable[2].thirdLine.isEmpty());
    }
};

QTEST_GUILESS_MAIN(TestSessionMembers)
#include "test_session_members.moc"
