#include "rules/layout.h"
#include "support/datarows.h"

#include <QtTest>

class TestLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startSize()
    {
        const TMainLayout l = computeLayout(795, 539);
        QCOMPARE(l.channel, QRect(615, 10, 160, 21));
        QCOMPARE(l.users, QRect(615, 41, 160, 267));
        QCOMPARE(l.chat, QRect(10, 10, 591, 329));
        QCOMPARE(l.whisper, QRect(10, 349, 591, 100));
        QCOMPARE(l.brx, QRect(615, 349, 160, 100));
        QCOMPARE(l.text, QRect(10, 459, 591, 21));
        QCOMPARE(l.send, QRect(615, 459, 160, 21));
        QCOMPARE(l.lamermode, QRect(615, 319, 160, 21));
    }

    // The window starts at its size, centred on the free area, unless the
    // screen (or its scaling) leaves less room: then it takes what there is.
    void startPlace_data()
    {
        columns<QRect, QRect>("available", "expected");
        QTest::newRow("room") << QRect(0, 0, 1280, 1024) << QRect(242, 242, 795, 539);
        QTest::newRow("beside a panel") << QRect(48, 0, 1232, 1000) << QRect(266, 230, 795, 539);
        QTest::newRow("exactly") << QRect(0, 0, 795, 539) << QRect(0, 0, 795, 539);
        QTest::newRow("laptop at 150%") << QRect(0, 0, 910, 488) << QRect(57, 0, 795, 488);
        QTest::newRow("both too small") << QRect(10, 20, 640, 480) << QRect(10, 20, 640, 480);
        QTest::newRow("no screen") << QRect() << QRect(0, 0, 795, 539);
    }
    void startPlace()
    {
        QFETCH(QRect, available);
        QFETCH(QRect, expected);
        QCOMPARE(startGeometry(QSize(795, 539), available), expected);
    }

    void follows_data()
    {
        columns<int, int, int, int, int>("w", "h", "channelLeft", "usersHeight", "textTop");
        QTest::newRow("800x600") << 800 << 600 << 620 << 328 << 520;
        QTest::newRow("1280x1024") << 1280 << 1024 << 1100 << 752 << 944;
        QTest::newRow("tiny") << 200 << 300 << 20 << 28 << 220;
    }
    void follows()
    {
        QFETCH(int, w);
        QFETCH(int, h);
        QFETCH(int, channelLeft);
        QFETCH(int, usersHeight);
        QFETCH(int, textTop);
        const TMainLayout l = computeLayout(w, h);
        QCOMPARE(l.channel.left(), channelLeft);
        QCOMPARE(l.users.height(), usersHeight);
        QCOMPARE(l.text.top(), textTop);
        // The side column lines up, and the panes keep their gaps.
        QCOMPARE(l.users.left(), l.channel.left());
        QCOMPARE(l.brx.left(), l.channel.left());
        QCOMPARE(l.send.top(), l.text.top());
        QCOMPARE(l.chat.width(), l.users.left() - 24);
        QCOMPARE(l.whisper.top(), l.chat.bottom() + 1 + 10);
        QCOMPARE(l.lamermode.top(), usersHeight + 52);
        QCOMPARE(computeLayout(w, h, 14).text, l.text); // never below 21
    }

    // Rows taller for their fonts: every row keeps its height, nothing
    // overlaps, and the input line keeps its bottom edge.
    void tallerRows_data()
    {
        QTest::addColumn<int>("row");
        QTest::newRow("21") << 21;
        QTest::newRow("30") << 30;
        QTest::newRow("44") << 44;
    }
    void tallerRows()
    {
        QFETCH(int, row);
        const TMainLayout base = computeLayout(795, 539);
        const TMainLayout l = computeLayout(795, 539, row);
        for (const QRect &r : {l.channel, l.text, l.send, l.lamermode})
            QCOMPARE(r.height(), row);
        QCOMPARE(l.text.bottom(), base.text.bottom());
        QCOMPARE(l.send.bottom(), base.send.bottom());
        QCOMPARE(l.users.top(), l.channel.bottom() + 1 + 10);
        QCOMPARE(l.lamermode.top(), l.users.bottom() + 1 + 11);
        QCOMPARE(l.chat.bottom(), l.lamermode.bottom() - 1);
        QCOMPARE(l.whisper.top(), l.chat.bottom() + 1 + 10);
        QCOMPARE(l.text.top(), l.whisper.bottom() + 1 + 10);
        QCOMPARE(l.users.height(), base.users.height() - 3 * (row - 21));
    }

    // A side column wider for its buttons' captions takes the room from
    // the panes; it never goes below 160.
    void widerSide()
    {
        const TMainLayout base = computeLayout(795, 539);
        QCOMPARE(computeLayout(795, 539, 21, 100).users, base.users);
        const TMainLayout l = computeLayout(795, 539, 21, 230);
        for (const QRect &r : {l.channel, l.users, l.brx, l.send, l.lamermode}) {
            QCOMPARE(r.width(), 230);
            QCOMPARE(r.right(), base.channel.right());
        }
        QCOMPARE(l.chat.width(), base.chat.width() - 70);
        QCOMPARE(l.whisper.width(), l.chat.width());
        QCOMPARE(l.text.width(), l.chat.width());
    }
};

QTEST_APPLESS_MAIN(TestLayout)
#include "test_layout.moc"
