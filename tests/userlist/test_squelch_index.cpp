// The caption index that answers "is this name listed?" beside a list widget.
#include "rules/squelchindex.h"

#include <QElapsedTimer>
#include <QListWidget>
#include <QRandomGenerator>
#include <QtTest>

namespace {
// The answer a plain scan of the list gives.
int scanCount(const QListWidget &list, const QString &name)
{
    int n = 0;
    for (int i = 0; i < list.count(); ++i)
        n += list.item(i)->text() == name;
    return n;
}
} // namespace

class TestSquelchIndex : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void followsEveryKindOfChange()
    {
        QListWidget list;
        list.addItem(QStringLiteral("before"));
        TNameIndex index;
        index.attach(list.model());
        QVERIFY(index.contains(QStringLiteral("before")));

        list.addItem(QStringLiteral("Foo"));
        list.addItem(QStringLiteral("Foo"));
        list.addItems({QStringLiteral("bar"), QStringLiteral("Name With Spaces")});
        QCOMPARE(index.count(QStringLiteral("Foo")), 2);
        QVERIFY(!index.contains(QStringLiteral("foo"))); // case matters
        QVERIFY(!index.contains(QStringLiteral("Foo ")));
        QVERIFY(index.contains(QStringLiteral("Name With Spaces")));

        delete list.takeItem(1);
        QCOMPARE(index.count(QStringLiteral("Foo")), 1);
        list.insertItem(0, QStringLiteral("first"));
        QVERIFY(index.contains(QStringLiteral("first")));

        // A caption edited in place, or added empty and named later.
        list.item(0)->setText(QStringLiteral("renamed"));
        QVERIFY(!index.contains(QStringLiteral("first")));
        QVERIFY(index.contains(QStringLiteral("renamed")));
        auto *late = new QListWidgetItem(&list);
        late->setText(QStringLiteral("late"));
        QVERIFY(index.contains(QStringLiteral("late")));
        QVERIFY(!index.contains(QString()));
        late->setData(Qt::UserRole, 5); // other roles do not disturb it
        QVERIFY(index.contains(QStringLiteral("late")));

        list.clear();
        QVERIFY(!index.contains(QStringLiteral("Foo")));
        QVERIFY(!index.contains(QStringLiteral("bar")));
        list.addItem(QString());
        QVERIFY(index.contains(QString()));
    }

    void sortedListBox()
    {
        QListWidget safe;
        safe.setSortingEnabled(true);
        TNameIndex index;
        index.attach(safe.model());
        for (const char *n : {"zed", "alpha", "Mid", "alpha"})
            safe.addItem(QString::fromLatin1(n));
        QCOMPARE(index.count(QStringLiteral("alpha")), 2);
        delete safe.takeItem(
            safe.row(safe.findItems(QStringLiteral("zed"), Qt::MatchExactly).first()));
        QVERIFY(!index.contains(QStringLiteral("zed")));
        QVERIFY(index.contains(QStringLiteral("Mid")));
    }

    void agreesWithAScanAfterRandomEdits()
    {
        QListWidget list;
        TNameIndex index;
        index.attach(list.model());
        QRandomGenerator rng(7);
        const QStringList names = {"a", "A", "b", "c", "d", ""};
        for (int step = 0; step < 2000; ++step) {
            const int op = rng.bounded(4);
            const QString name = names[rng.bounded(names.size())];
            if (op < 2 || list.count() == 0)
                list.insertItem(rng.bounded(list.count() + 1), name);
            else if (op == 2)
                delete list.takeItem(rng.bounded(list.count()));
            else
                list.item(rng.bounded(list.count()))->setText(name);
        }
        for (const QString &name : names)
            QCOMPARE(index.count(name), scanCount(list, name));
    }

    void largeListStaysQuick()
    {
        QListWidget list;
        TNameIndex index;
        index.attach(list.model());
        for (int i = 0; i < 100000; ++i)
            list.addItem(QStringLiteral("user%1").arg(i));
        QElapsedTimer t;
        t.start();
        int hits = 0;
        for (int i = 0; i < 100000; ++i)
            hits += index.contains(QStringLiteral("user%1").arg(i * 2));
        QCOMPARE(hits, 50000);
        // A scan per question would take minutes here.
        QVERIFY2(t.elapsed() < 5000, qPrintable(QString::number(t.elapsed())));
    }

    void detachesFromADeletedModel()
    {
        TNameIndex index;
        {
            QListWidget list;
            list.addItem(QStringLiteral("x"));
            index.attach(list.model());
            QVERIFY(index.contains(QStringLiteral("x")));
        }
        QVERIFY(!index.contains(QStringLiteral("x")));
        QVERIFY(index.model() == nullptr);
    }
};

QTEST_MAIN(TestSquelchIndex)
#include "test_squelch_index.moc"
