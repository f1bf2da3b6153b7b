// The channel's member table against the plainest model of it: a vector
// searched from the end and erased in place, under long random runs of
// joins, leaves by name and by position, lookups and reads by position.
#include "core/usertable.h"
#include "support/datarows.h"

#include <QRandomGenerator>
#include <QtTest>

#include <vector>

namespace {

struct Model {
    std::vector<QString> names;
    int lastIndexOf(const QString &name) const
    {
        for (int i = int(names.size()); i >= 1; --i)
            if (names[size_t(i - 1)] == name)
                return i;
        return 0;
    }
};

tChannelUser member(const QString &name, int tag)
{
    tChannelUser u;
    u.username = name;
    u.product = QString::number(tag);
    return u;
}

// The whole table read by position must be the model, in order; the tags
// tell entries of the same name apart.
void checkSame(const tUserTable &table, const Model &model, const std::vector<int> &tags)
{
    QCOMPARE(table.count(), int(model.names.size()));
    for (int i = 1; i <= table.count(); ++i) {
        QCOMPARE(table[i].username, model.names[size_t(i - 1)]);
        QCOMPARE(table[i].product, QString::number(tags[size_t(i - 1)]));
    }
}

} // namespace

class TestUserTable : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameAsASearchedVector_data()
    {
        // names: how many different names occur
        columns<quint32, int>("seed", "names");
        for (quint32 seed : {1u, 7u, 42u, 2026u})
            for (int names : {3, 50, 400})
                QTest::addRow("seed %u, %d names", seed, names) << seed << names;
    }
    void sameAsASearchedVector()
    {
        QFETCH(quint32, seed);
        QFETCH(int, names);
        QRandomGenerator rng(seed);
        tUserTable table;
        Model model;
        std::vector<int> tags;
        int nextTag = 0;
        for (int step = 0; step < 4000; ++step) {
            const QString name = QStringLiteral("m%1").arg(rng.bounded(names));
            const int op = int(rng.bounded(100));
            if (op < 40) {
                table.append(member(name, nextTag));
                model.names.push_back(name);
                tags.push_back(nextTag++);
            } else if (op < 70) {
                const int at = model.lastIndexOf(name);
                QCOMPARE(table.removeLast(name), at != 0);
                if (at) {
                    model.names.erase(model.names.begin() + (at - 1));
                    tags.erase(tags.begin() + (at - 1));
                }
            } else if (op < 80 && !model.names.empty()) {
                const int at = 1 + int(rng.bounded(quint32(model.names.size())));
                table.removeAt(at);
                model.names.erase(model.names.begin() + (at - 1));
                tags.erase(tags.begin() + (at - 1));
            } else if (op < 98) {
                QCOMPARE(table.lastIndexOf(name), model.lastIndexOf(name));
            } else if (op < 99) {
                table.clear();
                model.names.clear();
                tags.clear();
            } else {
                checkSame(table, model, tags);
            }
            QCOMPARE(table.count(), int(model.names.size()));
        }
        checkSame(table, model, tags);
    }

    // Changes made through a reference stay with the entry when gaps before
    // it are closed.
    void entriesKeepTheirStateAcrossRemovals()
    {
        tUserTable table;
        for (int i = 0; i < 6; ++i)
            table.append(member(QStringLiteral("u%1").arg(i), i));
        table[5].firstLine = QStringLiteral("hello");
        table[5].squelched = true;
        QVERIFY(table.removeLast(QStringLiteral("u0")));
        QVERIFY(table.removeLast(QStringLiteral("u2")));
        QVERIFY(!table.removeLast(QStringLiteral("u2")));
        QCOMPARE(table.lastIndexOf(QStringLiteral("u4")), 3);
        QCOMPARE(table[3].firstLine, QStringLiteral("hello"));
        QVERIFY(table[3].squelched);
        QCOMPARE(table.lastIndexOf(QStringLiteral("u0")), 0);
        // Removing the last entries leaves nothing to close.
        QVERIFY(table.removeLast(QStringLiteral("u5")));
        table.append(member(QStringLiteral("u0"), 9));
        QCOMPARE(table.lastIndexOf(QStringLiteral("u0")), 4);
        QCOMPARE(table[4].product, QStringLiteral("9"));
    }
};

QTEST_GUILESS_MAIN(TestUserTable)
#include "test_user_table.moc"
