// The autosquelch's judging rules, without a window.
#include "rules/autosquelchrules.h"
#include "support/datarows.h"

#include <QElapsedTimer>
#include <QRandomGenerator>
#include <QtTest>

using namespace autosquelchrules;

class TestAutosquelchRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void minLineLength_data();
    void minLineLength();
    void flood_data();
    void flood();
    void upperCase_data();
    void upperCase();
    void highAscii_data();
    void highAscii();
    void leet_data();
    void leet();
    void reasonWords();
    void triggers_data();
    void triggers();
    void greedyAndDotAll();
    void invalidTriggerReportedOnce();
    void cacheFollowsTheList();
    void manyPhrasesCountAsEachAlone_data();
    void manyPhrasesCountAsEachAlone();
    void fiftyTriggersAreFast();
    void engineGivingUpSkipsOnlyThatPhrase_data();
    void engineGivingUpSkipsOnlyThatPhrase();
    void combinedSearchGivingUpFallsBack();
    void prefilterAgreesWithEachPhraseAlone();
};

namespace {
// The phrase-by-phrase search: each valid phrase by itself, a phrase the
// engine gives up on counting as no match.
int countEachAlone(const QStringList &phrases, const QString &line)
{
    int n = 0;
    for (const QString &phrase : phrases) {
        const QRegularExpression re = TTriggerCache::compile(phrase);
        if (re.isValid() && re.match(line).hasMatch())
            ++n;
    }
    return n;
}

bool engineGivesUp(const QString &phrase, const QString &line)
{
    const QRegularExpression re = TTriggerCache::compile(phrase);
    return re.isValid() && !re.match(line).isValid();
}

// The line the engine gives up on with (a+)+$: every way of cutting the a's
// into groups is tried before $ fails at the "!".
const QString runOfA = QString(40, QLatin1Char('a')) + QStringLiteral("! spam");
} // namespace

void TestAutosquelchRules::minLineLength_data()
{
    columns<QString, int, bool>("line", "minimum", "judged");
    QTest::newRow("two chars at 1") << "ok" << 1 << true;
    QTest::newRow("one char at 1") << "k" << 1 << false;
    QTest::newRow("empty at 1") << "" << 1 << false;
    QTest::newRow("five at 5") << "hello" << 5 << false;
    QTest::newRow("six at 5") << "hello!" << 5 << true;
    QTest::newRow("255 at 255") << QString(255, QLatin1Char('a')) << 255 << false;
    QTest::newRow("256 at 255") << QString(256, QLatin1Char('a')) << 255 << true;
}

void TestAutosquelchRules::minLineLength()
{
    QFETCH(QString, line);
    QFETCH(int, minimum);
    QFETCH(bool, judged);
    QCOMPARE(longEnough(line, minimum), judged);
}

void TestAutosquelchRules::flood_data()
{
    columns<QString, QString, QString, bool>("first", "second", "third", "flood");
    QTest::newRow("three the same") << "hello"
                                    << "hello"
                                    << "hello" << true;
    QTest::newRow("capital in the middle") << "hello"
                                           << "Hello"
                                           << "hello" << false;
    QTest::newRow("capital first") << "Hello"
                                   << "hello"
                                   << "hello" << false;
    QTest::newRow("only two so far") << ""
                                     << "hello"
                                     << "hello" << false;
    QTest::newRow("trailing space") << "hello"
                                    << "hello"
                                    << "hello " << false;
}

void TestAutosquelchRules::flood()
{
    QFETCH(QString, first);
    QFETCH(QString, second);
    QFETCH(QString, third);
    QFETCH(bool, flood);
    QCOMPARE(isFlood(first, second, third), flood);
}

void TestAutosquelchRules::upperCase_data()
{
    columns<QString, int, bool>("line", "threshold", "fires");
    QTest::newRow("HELLO WORLD at 60") << "HELLO WORLD" << 60 << true;
    QTest::newRow("Hello World at 60") << "Hello World" << 60 << false;
    QTest::newRow("Hello World at 18") << "Hello World" << 18 << true; // 18.18...
    QTest::newRow("exactly 60 percent") << "ABCdeFGHij" << 60 << false;
    QTest::newRow("61 of 100") << QString(61, QLatin1Char('A')) + QString(39, QLatin1Char('a'))
                               << 60 << true;
    // Accented capitals are not A to Z.
    QTest::newRow("accented capitals") << QString::fromLatin1("\xC0\xC1\xC2\xC3") << 1 << false;
    QTest::newRow("digits and signs") << "1234!!" << 1 << false;
}

void TestAutosquelchRules::upperCase()
{
    QFETCH(QString, line);
    QFETCH(int, threshold);
    QFETCH(bool, fires);
    QCOMPARE(upperCasePercent(line) > threshold, fires);
}

void TestAutosquelchRules::highAscii_data()
{
    columns<QString, int, bool>("line", "threshold", "fires");
    QTest::newRow("4 of 10 at 40") << QString::fromLatin1("\xE9\xE9\xE9\xE9"
                                                          "abcdef")
                                   << 40 << false;
    QTest::newRow("5 of 10 at 40") << QString::fromLatin1("\xE9\xE9\xE9\xE9\xFF"
                                                          "abcde")
                                   << 40 << true;
    QTest::newRow("127 counts") << QString::fromLatin1("\x7F\x7F\x7F\x7F\x7F"
                                                       "abcde")
                                << 40 << true;
    QTest::newRow("126 does not") << QString::fromLatin1("~~~~~~~~~~") << 1 << false;
    QTest::newRow("255 counts") << QString::fromLatin1("\xFF\xFF") << 99 << true;
}

void TestAutosquelchRules::highAscii()
{
    QFETCH(QString, line);
    QFETCH(int, threshold);
    QFETCH(bool, fires);
    QCOMPARE(highAsciiPercent(line) > threshold, fires);
}

void TestAutosquelchRules::leet_data()
{
    columns<QString, int, bool>("name", "threshold", "fires");
    QTest::newRow("0101 at 99") << "0101" << 99 << true;
    QTest::newRow("0101 at 100") << "0101" << 100 << false;
    QTest::newRow("l33tn00b at 20") << "l33tn00b" << 20 << true;
    QTest::newRow("l33tn00b at 25") << "l33tn00b" << 25 << false;
    QTest::newRow("l33tn00b at 100") << "l33tn00b" << 100 << false;
    QTest::newRow("all nineteen") << "!$()/01<>@[\\]^`{|}~" << 99 << true;
    QTest::newRow("other digits and signs") << "23456789#%&*+-=_" << 1 << false;
    QTest::newRow("empty name") << "" << 1 << false;
}

void TestAutosquelchRules::leet()
{
    QFETCH(QString, name);
    QFETCH(int, threshold);
    QFETCH(bool, fires);
    QCOMPARE(leetPercent(name) > threshold, fires);
}

void TestAutosquelchRules::reasonWords()
{
    QString reason;
    addReason(reason, floodingWord);
    addReason(reason, upperCaseWord);
    addReason(reason, triggerWord);
    addReason(reason, triggerWord);
    QCOMPARE(reason, QStringLiteral("Flooding/Uppercase Characters/Trigger Phrase/Trigger Phrase"));
}

void TestAutosquelchRules::triggers_data()
{
    columns<QString, QString, bool>("phrase", "line", "matches");
    QTest::newRow("anywhere") << "spam"
                              << "buy spam now" << true;
    QTest::newRow("case-sensitive") << "spam"
                                    << "SPAM" << false;
    QTest::newRow("inline (?i)") << "(?i)spam"
                                 << "SPAM" << true;
    QTest::newRow("inline (?i) lower") << "(?i)spam"
                                       << "buy spam now" << true;
    QTest::newRow("^ at the start") << "^buy"
                                    << "buy spam" << true;
    QTest::newRow("^ not mid-line") << "^spam"
                                    << "buy spam" << false;
    QTest::newRow("$ at the end") << "now$"
                                  << "buy spam now" << true;
    QTest::newRow("$ not mid-line") << "spam$"
                                    << "buy spam now" << false;
    QTest::newRow("^ not after a line break") << "^two"
                                              << "one\ntwo" << false;
    QTest::newRow("$ not before a line break") << "one$"
                                               << "one\ntwo" << false;
    QTest::newRow("dot takes a line break") << "one.two"
                                            << "one\ntwo" << true;
    QTest::newRow("dot takes CR") << "a.b"
                                  << "a\rb" << true;
    QTest::newRow("spaces are literal") << "buy spam"
                                        << "buyspam" << false;
    QTest::newRow("# is literal") << "a#b"
                                  << "a#b" << true;
    QTest::newRow("latin-1 text") << QString::fromLatin1("\xE9t\xE9")
                                  << QString::fromLatin1("l'\xE9t\xE9") << true;
}

void TestAutosquelchRules::triggers()
{
    QFETCH(QString, phrase);
    QFETCH(QString, line);
    QFETCH(bool, matches);
    TTriggerCache cache;
    cache.setPhrases({phrase});
    QVERIFY(cache.takeNewErrors().isEmpty());
    QCOMPARE(cache.countMatches(line), matches ? 1 : 0);
}

void TestAutosquelchRules::greedyAndDotAll()
{
    const QRegularExpressionMatch m =
        TTriggerCache::compile(QStringLiteral("a.*b")).match(QStringLiteral("xa b\nbb c"));
    QCOMPARE(m.captured(0), QStringLiteral("a b\nbb"));
}

void TestAutosquelchRules::invalidTriggerReportedOnce()
{
    TTriggerCache cache;
    cache.setPhrases({QStringLiteral("spam"), QStringLiteral("(unclosed"), QStringLiteral("eggs"),
                      QStringLiteral("(unclosed")});
    const auto errors = cache.takeNewErrors();
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors[0].phrase, QStringLiteral("(unclosed"));
    QVERIFY2(
        errors[0].error.contains(QRegularExpression(QStringLiteral("(unclosed")).errorString()),
        qPrintable(errors[0].error));
    // The valid phrases still judge, the broken one is skipped.
    QCOMPARE(cache.countMatches(QStringLiteral("spam and eggs")), 2);
    QCOMPARE(cache.countMatches(QStringLiteral("(unclosed")), 0);
    QVERIFY(cache.takeNewErrors().isEmpty());
    // A change elsewhere in the list does not report it again...
    cache.setPhrases({QStringLiteral("(unclosed"), QStringLiteral("ham")});
    QVERIFY(cache.takeNewErrors().isEmpty());
    QCOMPARE(cache.countMatches(QStringLiteral("ham")), 1);
    // ...but a second broken phrase is, and one removed and added back again is.
    cache.setPhrases({QStringLiteral("ham"), QStringLiteral("[x")});
    auto second = cache.takeNewErrors();
    QCOMPARE(second.size(), 1);
    QCOMPARE(second[0].phrase, QStringLiteral("[x"));
    cache.setPhrases({QStringLiteral("ham"), QStringLiteral("[x"), QStringLiteral("(unclosed")});
    second = cache.takeNewErrors();
    QCOMPARE(second.size(), 1);
    QCOMPARE(second[0].phrase, QStringLiteral("(unclosed"));
}

void TestAutosquelchRules::cacheFollowsTheList()
{
    TTriggerCache cache;
    cache.setPhrases({QStringLiteral("spam"), QStringLiteral("eggs")});
    QCOMPARE(cache.compileCount(), 2);
    QCOMPARE(cache.countMatches(QStringLiteral("spam")), 1);
    QCOMPARE(cache.countMatches(QStringLiteral("ham")), 0);
    // The same list again compiles nothing.
    cache.setPhrases({QStringLiteral("spam"), QStringLiteral("eggs")});
    QCOMPARE(cache.compileCount(), 2);
    // A new phrase compiles only itself; a removed one stops matching.
    cache.setPhrases({QStringLiteral("eggs"), QStringLiteral("ham")});
    QCOMPARE(cache.compileCount(), 3);
    QCOMPARE(cache.countMatches(QStringLiteral("spam")), 0);
    QCOMPARE(cache.countMatches(QStringLiteral("ham and eggs")), 2);
    // Two copies of one phrase each count.
    cache.setPhrases({QStringLiteral("ham"), QStringLiteral("ham")});
    QCOMPARE(cache.countMatches(QStringLiteral("ham")), 2);
    cache.setPhrases({});
    QCOMPARE(cache.countMatches(QStringLiteral("ham")), 0);
}

void TestAutosquelchRules::manyPhrasesCountAsEachAlone_data()
{
    // Phrases that would mean something else as one branch of a larger
    // pattern (group numbers, quoting or comments to the end, verbs,
    // duplicate names) sit beside plain ones; the count must be the same as
    // searching with each phrase by itself.
    QTest::addColumn<QStringList>("phrases");
    const QStringList plain{QStringLiteral("(?i)(buy|sell)ing"), QStringLiteral("spam"),
                            QStringLiteral("(?i)free\\s+gold"), QStringLiteral("^!ad"),
                            QStringLiteral("now$")};
    QTest::newRow("plain") << plain;
    QTest::newRow("back reference") << plain + QStringList{QStringLiteral("(a)\\1")};
    QTest::newRow("relative back reference") << plain + QStringList{QStringLiteral("(b)\\g{-1}")};
    QTest::newRow("conditional on a group")
        << plain + QStringList{QStringLiteral("(x)?(?(1)y|z)q")};
    QTest::newRow("recursion") << plain + QStringList{QStringLiteral("\\((?:[^()]|(?R))*\\)")};
    QTest::newRow("quoted to the end") << QStringList{QStringLiteral("\\Q.*")} + plain;
    QTest::newRow("extended with a comment")
        << QStringList{QStringLiteral("(?x) s p a m # a comment")} + plain;
    QTest::newRow("inline flags") << plain + QStringList{QStringLiteral("(?i)SPAM|EGGS")};
    QTest::newRow("same group name twice")
        << plain + QStringList{QStringLiteral("(?<w>ha)m"), QStringLiteral("(?<w>eg)gs")};
    QTest::newRow("a verb") << plain + QStringList{QStringLiteral("(*NO_START_OPT)ham")};
    QTest::newRow("alternation at the top") << plain + QStringList{QStringLiteral("ham|eggs")};
    QTest::newRow("invalid among them") << plain + QStringList{QStringLiteral("(unclosed")};
}

void TestAutosquelchRules::manyPhrasesCountAsEachAlone()
{
    QFETCH(QStringList, phrases);
    TTriggerCache cache;
    cache.setPhrases(phrases);
    const QStringList lines{QStringLiteral("spam"),
                            QStringLiteral("FREE  gold"),
                            QStringLiteral("!ad here"),
                            QStringLiteral("see you now"),
                            QStringLiteral("aa"),
                            QStringLiteral("bb"),
                            QStringLiteral("xyq zq"),
                            QStringLiteral("(a(b)c)"),
                            QStringLiteral("\\Q.* literal"),
                            QStringLiteral("Q.* then"),
                            QStringLiteral("s p a m"),
                            QStringLiteral("EGGS"),
                            QStringLiteral("ham and eggs"),
                            QStringLiteral("nothing at all"),
                            QString()};
    for (const QString &line : lines) {
        int alone = 0;
        for (const QString &phrase : phrases) {
            const QRegularExpression re = TTriggerCache::compile(phrase);
            if (re.isValid() && re.match(line).hasMatch())
                ++alone;
        }
        QVERIFY2(cache.countMatches(line) == alone,
                 qPrintable(QStringLiteral("'%1': %2 instead of %3")
                                .arg(line)
                                .arg(cache.countMatches(line))
                                .arg(alone)));
    }
}

void TestAutosquelchRules::fiftyTriggersAreFast()
{
    QStringList phrases;
    for (int i = 0; i < 50; ++i)
        phrases << QStringLiteral("(?i)word%1\\s+(buy|sell)\\s+.*gold$").arg(i);
    TTriggerCache cache;
    cache.setPhrases(phrases);
    const QString line =
        QStringLiteral("hello everyone, anybody want to trade some items today? ") +
        QStringLiteral("word49 sell cheap gold");
    QCOMPARE(cache.countMatches(line), 1); // also compiles lazily before timing
    const int compiled = cache.compileCount();
    constexpr int rounds = 200;
    QElapsedTimer t;
    t.start();
    int total = 0;
    for (int i = 0; i < rounds; ++i)
        total += cache.countMatches(line);
    const qint64 ns = t.nsecsElapsed() / rounds;
    QCOMPARE(total, rounds);
    // No line compiles anything again: that is what made lines slow.
    QCOMPARE(cache.compileCount(), compiled);
    qInfo("%lld ns per line", static_cast<long long>(ns));
}

void TestAutosquelchRules::engineGivingUpSkipsOnlyThatPhrase_data()
{
    // hard: the phrase the engine gives up on
    columns<QStringList, QString, int>("phrases", "hard", "count");
    const QString nested = QStringLiteral("(a+)+$");
    // A comment keeps a phrase out of the combined search.
    const QString nestedAlone = QStringLiteral("(a+)+(?#nested)$");
    const QString choice = QStringLiteral("(a|aa)+$");
    QTest::newRow("in the combined search")
        << QStringList{nested, QStringLiteral("spam")} << nested << 1;
    QTest::newRow("searched alone")
        << QStringList{nestedAlone, QStringLiteral("spam"), QStringLiteral("eggs")} << nestedAlone
        << 1;
    QTest::newRow("between two that match")
        << QStringList{QStringLiteral("a!"), choice, QStringLiteral("spam")} << choice << 2;
    QTest::newRow("the only phrase") << QStringList{nested} << nested << 0;
    QTest::newRow("beside an invalid one")
        << QStringList{QStringLiteral("(bad"), nested, QStringLiteral("spam$")} << nested << 1;
}

void TestAutosquelchRules::engineGivingUpSkipsOnlyThatPhrase()
{
    QFETCH(QStringList, phrases);
    QFETCH(QString, hard);
    QFETCH(int, count);
    QVERIFY(engineGivesUp(hard, runOfA));
    TTriggerCache cache;
    cache.setPhrases(phrases);
    const auto invalid = cache.takeNewErrors();
    for (const auto &e : invalid)
        QVERIFY(!e.gaveUp);
    QCOMPARE(cache.countMatches(runOfA), count);
    auto errors = cache.takeNewErrors();
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors[0].phrase, hard);
    QVERIFY(errors[0].gaveUp);
    // Once only, however often it happens.
    QCOMPARE(cache.countMatches(runOfA), count);
    QCOMPARE(cache.countMatches(QStringLiteral("x") + runOfA), count);
    QVERIFY(cache.takeNewErrors().isEmpty());
    // Lines the engine manages still count the phrase.
    QCOMPARE(cache.countMatches(QStringLiteral("aaaa")),
             countEachAlone(phrases, QStringLiteral("aaaa")));
    QVERIFY(countEachAlone({hard}, QStringLiteral("aaaa")) == 1);
    // A change elsewhere in the list does not report it again; taken out
    // and put back, it is reported on its next failure.
    cache.setPhrases(phrases + QStringList{QStringLiteral("ham")});
    QCOMPARE(cache.countMatches(runOfA), count);
    QVERIFY(cache.takeNewErrors().isEmpty());
    cache.setPhrases({QStringLiteral("ham")});
    cache.setPhrases({hard, QStringLiteral("ham")});
    QCOMPARE(cache.countMatches(runOfA), 0);
    errors = cache.takeNewErrors();
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors[0].phrase, hard);
}

// Many phrases that each stay within the engine's limits can, as branches
// of one search, reach them together. The count must then come from each
// phrase alone, and no phrase is reported.
void TestAutosquelchRules::combinedSearchGivingUpFallsBack()
{
    const QString heavy = QStringLiteral("(a+)+$");
    // The longest run of a's the engine still finishes with alone: just
    // under its limit, so several such branches together go over it.
    int n = 10;
    while (n < 40 &&
           !engineGivesUp(heavy, QString(n + 1, QLatin1Char('a')) + QStringLiteral("! spam")))
        ++n;
    QVERIFY2(n < 40, "the engine never gives up");
    const QString line = QString(n, QLatin1Char('a')) + QStringLiteral("! spam");
    QVERIFY(!engineGivesUp(heavy, line));
    QStringList phrases;
    QStringList branches;
    for (int i = 0; i < 8; ++i) {
        phrases << heavy;
        branches << QStringLiteral("(?:") + heavy + QLatin1Char(')');
    }
    phrases << QStringLiteral("spam");
    branches << QStringLiteral("(?:spam)");
    QVERIFY2(engineGivesUp(branches.join(QLatin1Char('|')), line),
             "the combined search must give up for this test to mean anything");

    TTriggerCache cache;
    cache.setPhrases(phrases);
    QCOMPARE(cache.countMatches(line), 1);
    QVERIFY(cache.takeNewErrors().isEmpty());
}

namespace {
// Random phrases from the pieces a trigger is made of, with some the
// combined search must not change (groups counted, quoting, comments,
// verbs), some that do not compile and some the engine gives up on.
class PhraseMaker {
public:
    explicit PhraseMaker(quint32 seed) : m_rand(seed) {}

    int below(int n) { return int(m_rand.bounded(n)); }
    bool chance(int percent) { return below(100) < percent; }

    QString atom()
    {
        static const char *const atoms[] = {
            "a",   "b", "!", " ", ".",     "[ab]", "[^a]",  "\\w", "\\s",    "\\d",
            "\\b", "^", "$", "A", "\\x61", "\xe9", "(?i)a", "\\.", "[a-c!]", "\\z"};
        return QString::fromLatin1(atoms[below(int(std::size(atoms)))]);
    }
    QString quantified(int depth)
    {
        QString s = depth > 0 && chance(35) ? group(depth - 1) : atom();
        static const char *const quantifiers[] = {"*",  "+",  "?",  "{0,2}", "{2}",
                                                  "*?", "+?", "++", "{1,}"};
        if (chance(40))
            s += QString::fromLatin1(quantifiers[below(int(std::size(quantifiers)))]);
        return s;
    }
    QString sequence(int depth)
    {
        QString s;
        const int parts = 1 + below(4);
        for (int i = 0; i < parts; ++i)
            s += quantified(depth);
        if (chance(15))
            s += QLatin1Char('|') + sequence(depth);
        return s;
    }
    QString group(int depth)
    {
        static const char *const opens[] = {"(", "(?:", "(?=", "(?!", "(?>", "(?<=a)(", "(?i:"};
        return QString::fromLatin1(opens[below(int(std::size(opens)))]) + sequence(depth) +
               QLatin1Char(')');
    }
    QString phrase()
    {
        const int kind = below(100);
        if (kind < 62)
            return sequence(2);
        if (kind < 74) {
            static const char *const alone[] = {
                "(a)\\1",           "(b)\\g{-1}", "\\Q.*",        "(?x) a b # c",
                "(*NO_START_OPT)a", "a#b",        "(?|(a)|(b))c", "\\((?:[^()]|(?R))*\\)",
                "(a)?(?(1)b|!)",    "(?<w>a)b",   "(a)(?1)"};
            return QString::fromLatin1(alone[below(int(std::size(alone)))]) +
                   (chance(50) ? atom() : QString());
        }
        if (kind < 80) {
            static const char *const broken[] = {"(", "[a", "a{2,1}", "\\", "(?<w>a)(?<w>b)", "*a"};
            return QString::fromLatin1(broken[below(int(std::size(broken)))]);
        }
        if (kind < 92) {
            // Give up soon by their own limit: cheap to run many times.
            static const char *const limited[] = {"(*LIMIT_MATCH=3000)(a+)+$",
                                                  "(*LIMIT_MATCH=2000)(a|aa)+b",
                                                  "(*LIMIT_MATCH=50)a*a*a*!"};
            return QString::fromLatin1(limited[below(int(std::size(limited)))]);
        }
        // The real thing, at the engine's own limit.
        static const char *const nested[] = {"(a+)+$", "(a|aa)+$", "(a|a)+!b"};
        return QString::fromLatin1(nested[below(int(std::size(nested)))]);
    }
    QString line()
    {
        if (chance(12)) {
            static const char *const tails[] = {"!", "! spam", "!b", "b", ""};
            return QString(20 + below(10), QLatin1Char('a')) +
                   QString::fromLatin1(tails[below(int(std::size(tails)))]);
        }
        static const char alphabet[] = "aab! .A\xe9()";
        QString s;
        const int size = below(16);
        for (int i = 0; i < size; ++i)
            s += QChar(uchar(alphabet[below(int(sizeof alphabet) - 1)]));
        return s;
    }

private:
    QRandomGenerator m_rand;
};
} // namespace

void TestAutosquelchRules::prefilterAgreesWithEachPhraseAlone()
{
    constexpr quint32 seed = 20240612;
    PhraseMaker make(seed);
    QElapsedTimer t;
    t.start();
    int nonZero = 0, gaveUp = 0;
    for (int round = 0; round < 400; ++round) {
        QStringList phrases;
        const int size = 1 + make.below(8);
        for (int i = 0; i < size; ++i)
            phrases << make.phrase();
        TTriggerCache cache;
        cache.setPhrases(phrases);
        for (int l = 0; l < 8; ++l) {
            const QString line = make.line();
            const int alone = countEachAlone(phrases, line);
            const int prefiltered = cache.countMatches(line);
            if (prefiltered != alone)
                QFAIL(qPrintable(QStringLiteral("seed %1, round %2: %3 instead of %4 for '%5' with "
                                                "phrases\n%6")
                                     .arg(seed)
                                     .arg(round)
                                     .arg(prefiltered)
                                     .arg(alone)
                                     .arg(line, phrases.join(QLatin1Char('\n')))));
            if (alone > 0)
                ++nonZero;
        }
        for (const auto &e : cache.takeNewErrors())
            if (e.gaveUp)
                ++gaveUp;
    }
    // The generator must reach both kinds of answer and the engine's limits.
    QVERIFY2(nonZero > 200, qPrintable(QString::number(nonZero)));
    QVERIFY2(gaveUp > 10, qPrintable(QString::number(gaveUp)));
    qInfo("%d lines matched, %d phrases given up on, %lld ms", nonZero, gaveUp,
          static_cast<long long>(t.elapsed()));
}

QTEST_GUILESS_MAIN(TestAutosquelchRules)
#include "test_autosquelch_rules.moc"
