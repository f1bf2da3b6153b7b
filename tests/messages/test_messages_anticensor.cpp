// The anticensor: the case rule, and the form of the table the program ships.
#include "rules/anticensor.h"
#include "support/datarows.h"

#include <QSet>
#include <QtTest>
#include <vector>

Q_DECLARE_METATYPE(std::vector<tAntiCensor>)

namespace {
std::vector<tAntiCensor> pairs(std::initializer_list<std::pair<const char *, const char *>> list)
{
    std::vector<tAntiCensor> out;
    for (const auto &p : list)
        out.push_back({QString::fromLatin1(p.first), QString::fromLatin1(p.second)});
    return out;
}
} // namespace

class TestMessagesAntiCensor : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void caseRule_data()
    {
        columns<std::vector<tAntiCensor>, QString, QString>("table", "text", "expected");
        const auto one = pairs({{"!@#$", "fuck"}});
        QTest::newRow("lower neighbours") << one << "you !@#$ off"
                                          << "you fuck off";
        QTest::newRow("capitals around") << one << "YOU !@#$ OFF"
                                         << "YOU FUCK OFF";
        QTest::newRow("capital two before") << one << "yoU !@#$ off"
                                            << "yoU FUCK off";
        QTest::newRow("capital two after") << one << "you !@#$ Off"
                                           << "you FUCK Off";
        QTest::newRow("capital three before is too far") << one << "yOu !@#$ off"
                                                         << "yOu fuck off";
        QTest::newRow("capital three after is too far") << one << "you !@#$ oFf"
                                                        << "you fuck oFf";
        QTest::newRow("glued capital before is not judged") << one << "aX!@#$ off"
                                                            << "aXfuck off";
        QTest::newRow("glued capital after is not judged") << one << "you !@#$Xo"
                                                           << "you fuckXo";
        QTest::newRow("glued: the one further away decides") << one << "Ax!@#$ off"
                                                             << "AxFUCK off";
        QTest::newRow("glued after: the one further away decides") << one << "you !@#$xO"
                                                                   << "you FUCKxO";
        QTest::newRow("start: only after decides, capital") << one << "!@#$ YOU"
                                                            << "FUCK YOU";
        QTest::newRow("start: only after decides, lower") << one << "!@#$ you"
                                                          << "fuck you";
        QTest::newRow("start: a glued capital alone") << one << "A!@#$ you"
                                                      << "Afuck you";
        QTest::newRow("end: only before decides, capital") << one << "OH !@#$"
                                                           << "OH FUCK";
        QTest::newRow("end: only before decides, lower") << one << "oh !@#$"
                                                         << "oh fuck";
        QTest::newRow("end: one character after it") << one << "oh !@#$X"
                                                     << "oh fuckX";
        QTest::newRow("the whole text") << one << "!@#$"
                                        << "fuck";
        QTest::newRow("no capital outside ASCII") << one << QString::fromLatin1("\xc4 !@#$ \xd6")
                                                  << QString::fromLatin1("\xc4 fuck \xd6");
        QTest::newRow("digits are no capitals") << one << "1 !@#$ 2"
                                                << "1 fuck 2";
        QTest::newRow("every occurrence takes the first's case, lower")
            << one << "you !@#$ and !@#$ YOU"
            << "you fuck and fuck YOU";
        QTest::newRow("every occurrence takes the first's case, upper")
            << one << "YOU !@#$ and !@#$ you"
            << "YOU FUCK and FUCK you";
        QTest::newRow("glued occurrences") << one << "!@#$!@#$"
                                           << "fuckfuck";
        QTest::newRow("nothing censored") << one << "hello !@# world"
                                          << "hello !@# world";
        QTest::newRow("empty") << one << ""
                               << "";

        const auto two = pairs({{"!@#$", "fuck"}, {"%%%", "ass"}});
        QTest::newRow("each pair decides its own case") << two << "YOU !@#$ you %%% x"
                                                        << "YOU FUCK you ass x";
        QTest::newRow("second pair alone") << two << "BIG %%% HAT"
                                           << "BIG ASS HAT";

        // The first pair takes the overlapping symbols; the second was in
        // the text as received but is gone from the result.
        const auto overlap = pairs({{"!@#$", "fuck"}, {"#$%", "cum"}});
        QTest::newRow("pair already rewritten by an earlier pair") << overlap << "a !@#$% b"
                                                                   << "a fuck% b";
        QTest::newRow("later pair still rewrites elsewhere") << overlap << "a !@#$% b #$% c"
                                                             << "a fuck% b cum c";

        // The neighbours are read from the text as received: the capitals
        // an earlier pair wrote next to a later form do not count.
        const auto neighbours = pairs({{"!@#", "ass"}, {"$%&", "cum"}});
        QTest::newRow("judged on the text as received") << neighbours << "X !@# $%& y"
                                                        << "X ASS cum y";
    }
    void caseRule()
    {
        QFETCH(std::vector<tAntiCensor>, table);
        QFETCH(QString, text);
        QFETCH(QString, expected);
        QCOMPARE(applyAntiCensor(table.data(), table.size(), text), expected);
    }

    void tableForm()
    {
        const tAntiCensorTable table = makeAntiCensorTable();
        QCOMPARE(int(table.size()), 29);
        const QString symbols = QStringLiteral("!@#$%&");
        QSet<QString> forms, words;
        for (const tAntiCensor &pair : table) {
            const QByteArray what = pair.word.toLatin1();
            QVERIFY2(pair.censored.size() >= 3 && pair.censored.size() <= 9, what);
            QCOMPARE(pair.censored.size(), pair.word.size());
            for (QChar c : pair.censored)
                QVERIFY2(symbols.contains(c), what);
            for (QChar c : pair.word)
                QVERIFY2(c >= QLatin1Char('a') && c <= QLatin1Char('z'), what);
            forms.insert(pair.censored);
            words.insert(pair.word);
        }
        QCOMPARE(forms.size(), 29);
        QCOMPARE(words.size(), 29);
        // A form inside another would break the longer one's rewriting.
        for (const tAntiCensor &a : table)
            for (const tAntiCensor &b : table)
                if (a.censored != b.censored)
                    QVERIFY2(!b.censored.contains(a.censored),
                             a.word.toLatin1() + " in " + b.word.toLatin1());
    }

    void everyPairComesBack()
    {
        const tAntiCensorTable table = makeAntiCensorTable();
        for (const tAntiCensor &pair : table) {
            QCOMPARE(applyAntiCensor(table, QStringLiteral("you ") + pair.censored +
                                                QStringLiteral(" now")),
                     QStringLiteral("you ") + pair.word + QStringLiteral(" now"));
            QCOMPARE(applyAntiCensor(table, QStringLiteral("YOU ") + pair.censored +
                                                QStringLiteral(" NOW")),
                     QStringLiteral("YOU ") + pair.word.toUpper() + QStringLiteral(" NOW"));
        }
    }
};

QTEST_APPLESS_MAIN(TestMessagesAntiCensor)
#include "test_messages_anticensor.moc"
