// The search's words as the results mark them: what FTS5 would match,
// found again in the line's text.
#include "history/historymatch.h"

#include <QTest>

using THistory::Span;
Q_DECLARE_METATYPE(THistory::Span)

class TestHistoryMatch : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void termsAreTheWordsFts5Matches_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QStringList>("terms");
        QTest::newRow("words") << "gold Mine" << QStringList{"gold", "mine"};
        QTest::newRow("phrase") << "\"gold mine\" map" << QStringList{"gold", "mine", "map"};
        QTest::newRow("prefix") << "gol* mine" << QStringList{"gol*", "mine"};
        QTest::newRow("operators")
            << "gold AND map OR forum" << QStringList{"gold", "map", "forum"};
        QTest::newRow("not") << "gold NOT seller" << QStringList{"gold"};
        QTest::newRow("minus") << "gold -seller" << QStringList{"gold"};
        QTest::newRow("column") << "text:gold" << QStringList{"gold"};
        QTest::newRow("repeated") << "gold GOLD gold" << QStringList{"gold"};
        QTest::newRow("accents") << "Café" << QStringList{"café"};
        QTest::newRow("nothing") << "  \"\" AND " << QStringList{};
    }
    void termsAreTheWordsFts5Matches()
    {
        QFETCH(QString, query);
        QFETCH(QStringList, terms);
        QCOMPARE(THistory::matchTerms(query), terms);
    }

    void spansAreWholeWordsOrPrefixes_data()
    {
        QTest::addColumn<QString>("query");
        QTest::addColumn<QString>("text");
        QTest::addColumn<QVector<Span>>("spans");
        QTest::newRow("whole words only")
            << "gold"
            << "Gold, goldmine and GOLD!" << QVector<Span>{{0, 4}, {19, 4}};
        QTest::newRow("prefix") << "gold*"
                                << "goldmine gold old" << QVector<Span>{{0, 8}, {9, 4}};
        QTest::newRow("two words")
            << "buy gold"
            << "buy GOLD cheap, buy" << QVector<Span>{{0, 3}, {4, 4}, {16, 3}};
        QTest::newRow("accented") << "café"
                                  << "un CAFÉ noir" << QVector<Span>{{3, 4}};
        QTest::newRow("no match") << "gold"
                                  << "silver" << QVector<Span>{};
        QTest::newRow("no search") << ""
                                   << "gold" << QVector<Span>{};
    }
    void spansAreWholeWordsOrPrefixes()
    {
        QFETCH(QString, query);
        QFETCH(QString, text);
        QFETCH(QVector<Span>, spans);
        const QVector<Span> got = THistory::matchSpans(THistory::matchTerms(query), text);
        QStringList shown;
        for (const Span &s : got)
            shown << text.mid(s.start, s.length);
        QVERIFY2(got == spans, qPrintable(shown.join(QLatin1Char('|'))));
    }
};

QTEST_GUILESS_MAIN(TestHistoryMatch)
#include "test_history_match.moc"
