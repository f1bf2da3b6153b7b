// The packed form a flood's lines are first stored in: read back as they
// were written, and anything else refused rather than misread.
#include "history/historystaging.h"

#include <QtTest>

using THistoryStaging::Row;

class TestHistoryStaging : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void rowsComeBackAsTheyWent()
    {
        std::vector<Row> rows(4);
        rows[0] = {1733700000000, 3, 7, 0, QStringLiteral("plain"), QByteArray()};
        rows[1] = {-1, 0, 0, 16 | 1, QString(), QByteArray("")};
        rows[2] = {std::numeric_limits<qint64>::max(),
                   1LL << 40,
                   99,
                   32,
                   QStringLiteral("ünïcode \U0001F600 and a NUL: ") + QChar(0),
                   QByteArray("\xff\x00\x01", 3)};
        rows[3] = {5, 6, 7, 8, QString(70000, QLatin1Char('x')), QByteArray(70000, 'y')};
        QByteArray packed;
        for (const Row &r : rows)
            THistoryStaging::append(&packed, r);
        std::vector<Row> back;
        QVERIFY(THistoryStaging::unpack(packed, &back));
        QCOMPARE(back.size(), rows.size());
        for (size_t i = 0; i < rows.size(); ++i) {
            QCOMPARE(back[i].timeMs, rows[i].timeMs);
            QCOMPARE(back[i].place, rows[i].place);
            QCOMPARE(back[i].sender, rows[i].sender);
            QCOMPARE(back[i].kind, rows[i].kind);
            QCOMPARE(back[i].text, rows[i].text);
            QCOMPARE(back[i].raw, rows[i].raw);
            QCOMPARE(back[i].raw.isNull(), rows[i].raw.isNull());
        }
    }

    void anythingElseIsRefused()
    {
        QByteArray packed;
        THistoryStaging::append(&packed, {1, 2, 3, 4, QStringLiteral("text"), QByteArray("b")});
        std::vector<Row> back;
        // The format's byte alone holds no row; every other cut but the
        // whole falls inside the row.
        QVERIFY(THistoryStaging::unpack(packed.left(1), &back));
        QVERIFY(back.empty());
        for (int cut = 0; cut < packed.size(); ++cut) {
            if (cut == 1)
                continue;
            back.assign(1, Row());
            QVERIFY2(!THistoryStaging::unpack(packed.left(cut), &back),
                     qPrintable(QString::number(cut)));
            QVERIFY(back.empty());
        }
        QByteArray other = packed;
        other[0] = 2; // a format this code does not know
        QVERIFY(!THistoryStaging::unpack(other, &back));
        // Lengths that run past the end, or a raw length below -1.
        QByteArray huge = packed;
        huge[1 + 28] = char(0xff);
        huge[1 + 29] = char(0xff);
        huge[1 + 30] = char(0xff);
        huge[1 + 31] = char(0x7f);
        QVERIFY(!THistoryStaging::unpack(huge, &back));
        QByteArray belowNone = packed;
        const int rawLength = 1 + 32 + 8;
        belowNone[rawLength] = char(0xfe);
        for (int i = 1; i < 4; ++i)
            belowNone[rawLength + i] = char(0xff);
        QVERIFY(!THistoryStaging::unpack(belowNone, &back));
    }
};

QTEST_GUILESS_MAIN(TestHistoryStaging)
#include "test_history_staging.moc"
