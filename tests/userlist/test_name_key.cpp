// The keyed hash that member names and the squelch and safe lists are
// looked up by.
#include "core/namekey.h"

#include <QHash>
#include <QtTest>

#include <algorithm>
#include <vector>

class TestNameKey : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // The authors' own answers for SipHash-2-4 with the key 00 01 .. 0f:
    // the empty message, and the fifteen bytes 00 .. 0e (one whole word and
    // a part one). The same code runs SipHash-1-3 with fewer rounds.
    void sipHashMatchesItsDefinition()
    {
        const std::uint64_t k0 = 0x0706050403020100ULL, k1 = 0x0f0e0d0c0b0a0908ULL;
        unsigned char message[15];
        for (int i = 0; i < 15; ++i)
            message[i] = static_cast<unsigned char>(i);
        const auto sip24 = [&](std::size_t n) {
            return namekey::sipHash<2, 4>(message, n, k0, k1);
        };
        const auto sip13 = [&](std::size_t n) {
            return namekey::sipHash<1, 3>(message, n, k0, k1);
        };
        QCOMPARE(sip24(0), 0x726fdb47dd0e0e31ULL);
        QCOMPARE(sip24(15), 0xa129ca6149be45e5ULL);
        QVERIFY(sip13(15) != sip24(15));
    }

    // The text decides the hash, not where it is stored; the table's seed,
    // every character and the length change it.
    void hashFollowsTheText()
    {
        const QString name = QStringLiteral("Kestrel");
        QString built;
        for (QChar c : name)
            built += c;
        QVERIFY(name.constData() != built.constData());
        QCOMPARE(qHash(TNameKey(name), 5), qHash(TNameKey(built), 5));
        QVERIFY(qHash(TNameKey(name), 5) != qHash(TNameKey(name), 6));
        const QString others[] = {QStringLiteral("kestrel"), QStringLiteral("Kestrek"),
                                  QStringLiteral("Kestrel "), QStringLiteral("Kestre"),
                                  QString(QStringLiteral("Kestrel")) + QChar(0)};
        for (const QString &other : others)
            QVERIFY2(qHash(TNameKey(name), 5) != qHash(TNameKey(other), 5), qPrintable(other));
    }

    // A list of names that differ only in a counter spreads over a table's
    // buckets like random numbers do: no bucket gets more than a handful.
    void similarNamesSpread()
    {
        const int names = 100000;
        const std::size_t buckets = 1 << 17;
        std::vector<int> load(buckets);
        for (int i = 0; i < names; ++i)
            ++load[qHash(TNameKey(QStringLiteral("Squelched%1").arg(i)), 0) & (buckets - 1)];
        const int most = *std::max_element(load.begin(), load.end());
        const auto empty = std::count(load.begin(), load.end(), 0);
        QVERIFY2(most <= 10, qPrintable(QString::number(most)));
        // Random placement leaves e^(-100000/131072), about 47%, empty.
        QVERIFY2(empty > 0.44 * buckets && empty < 0.50 * buckets,
                 qPrintable(QString::number(empty)));
    }

    // A table keyed by names is read and changed with plain strings.
    void tableTakesPlainNames()
    {
        QHash<TNameKey, int> table;
        table.insert(QStringLiteral("Vex"), 1);
        table[QStringLiteral("Rook")] += 2;
        QVERIFY(table.contains(QStringLiteral("Vex")));
        QCOMPARE(table.value(QStringLiteral("Rook")), 2);
        QVERIFY(!table.contains(QStringLiteral("vex")));
        QCOMPARE(table.remove(QStringLiteral("Vex")), qsizetype(1));
        QCOMPARE(table.size(), qsizetype(1));
        QCOMPARE(table.constBegin().key().name(), QStringLiteral("Rook"));
    }
};

QTEST_GUILESS_MAIN(TestNameKey)
#include "test_name_key.moc"
