// Cutting long lines for the server: the limit, the cuts themselves (at
// spaces, inside over-long words, never inside a UTF-8 character), and
// which commands are split with their name repeated. Random lines check
// every piece against the rules the examples show.
#include "core/textcodec.h"
#include "core/wiresplit.h"
#include "rules/inputbreaks.h"
#include "support/datarows.h"

#include <QHash>
#include <QRandomGenerator>
#include <QtTest>

using TWire::Mode;
using TWire::Plan;

namespace {
QString b(const char *utf8) { return TText::fromBytes(QByteArray(utf8)); }
QString rep(const char *s, int n) { return QString::fromLatin1(s).repeated(n); }

// A random byte string made of tokens: ASCII letters, spaces, slashes,
// UTF-8 characters of two to four bytes and, when asked, stray high bytes.
// tokens maps the start of every token to its length.
QString randomLine(QRandomGenerator &rng, QHash<qsizetype, qsizetype> &tokens, bool strayBytes)
{
    static const char *utf8[] = {"\xc3\xa9",     "\xd0\xbf",         "\xe2\x82\xac",
                                 "\xe4\xb8\xad", "\xf0\x9f\x98\x80", "\xf4\x8f\xbf\xbf"};
    QString line;
    tokens.clear();
    const int count = int(rng.bounded(1, 400));
    const int wordy = int(rng.bounded(1, 30)); // how long words tend to be
    for (int i = 0; i < count; ++i) {
        const qsizetype start = line.size();
        const quint32 r = rng.bounded(100);
        if (r < quint32(100 / (wordy + 1) + 3))
            line += QLatin1Char(' ');
        else if (r < 8)
            line += QLatin1Char('/');
        else if (r < 20)
            line += b(utf8[rng.bounded(6)]);
        else if (r < 26 && strayBytes)
            line += QChar(char16_t(rng.bounded(0x80, 0x100)));
        else
            line += QChar(char16_t('a' + rng.bounded(26)));
        tokens.insert(start, line.size() - start);
    }
    return line;
}

bool isBlank(QStringView s) // nothing but spaces (the only breaks a line has)
{
    for (const QChar c : s)
        if (c != QLatin1Char(' '))
            return false;
    return true;
}

bool isCut(const QString &s, qsizetype p) // a space that ends a word
{
    return s.at(p) == QLatin1Char(' ') && s.at(p - 1) != QLatin1Char(' ');
}
} // namespace

class TestWireSplit : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void lineLimit_data()
    {
        columns<int, int, int>("units", "bytesPerUnit", "limit");
        QTest::newRow("the real servers") << 5 << 40 << 160;
        QTest::newRow("two units") << 2 << 40 << 40;
        QTest::newRow("200 at most") << 6 << 40 << 200;
        QTest::newRow("largest settings") << 100 << 256 << 200;
        QTest::newRow("smallest settings") << 2 << 1 << 1;
        QTest::newRow("odd figures") << 7 << 33 << 198;
    }
    void lineLimit()
    {
        QFETCH(int, units);
        QFETCH(int, bytesPerUnit);
        QFETCH(int, limit);
        QCOMPARE(TWire::lineLimit(units, bytesPerUnit), limit);
    }

    void examples_data()
    {
        columns<QString, int, bool, QStringList>("bytes", "limit", "talk", "pieces");
        QTest::newRow("fits") << "hello world" << 11 << false << QStringList{"hello world"};
        QTest::newRow("at the space")
            << "hello world" << 10 << false << QStringList{"hello", "world"};
        QTest::newRow("last space within reach")
            << "aa bb cc dd" << 8 << false << QStringList{"aa bb cc", "dd"};
        QTest::newRow("a run of spaces is dropped")
            << "hello    world" << 8 << false << QStringList{"hello", "world"};
        QTest::newRow("space right at the limit")
            << "abcd efgh" << 4 << false << QStringList{"abcd", "efgh"};
        QTest::newRow("long word is cut")
            << "abcdefghij" << 4 << false << QStringList{"abcd", "efgh", "ij"};
        QTest::newRow("short word before a long one")
            << "a bcdefghij" << 4 << false << QStringList{"a", "bcde", "fghi", "j"};
        QTest::newRow("leading spaces stay with the first piece")
            << "   abcdef" << 4 << false << QStringList{"   a", "bcde", "f"};
        QTest::newRow("leading spaces filling the piece go")
            << "   abcdef" << 3 << false << QStringList{"abc", "def"};
        QTest::newRow("more leading spaces than the limit")
            << "     ab cd" << 2 << false << QStringList{"ab", "cd"};
        QTest::newRow("spaces only") << "      " << 3 << false << QStringList{};
        QTest::newRow("spaces only, fitting") << "   " << 10 << false << QStringList{};
        QTest::newRow("talk: slash after dropped spaces")
            << "   /ab" << 3 << true << QStringList{" /a", "b"};
        QTest::newRow("trailing spaces of the last piece stay")
            << "abcdef gh  " << 6 << false << QStringList{"abcdef", "gh  "};
        QTest::newRow("trailing spaces at a cut go")
            << "abcdef      " << 6 << false << QStringList{"abcdef"};
        QTest::newRow("UTF-8 two-byte characters")
            << b("\xc3\xa9\xc3\xa9\xc3\xa9") << 3 << false
            << QStringList{b("\xc3\xa9"), b("\xc3\xa9"), b("\xc3\xa9")};
        QTest::newRow("UTF-8 three bytes") << b("x\xe2\x82\xac\xe2\x82\xac") << 4 << false
                                           << QStringList{b("x\xe2\x82\xac"), b("\xe2\x82\xac")};
        QTest::newRow("UTF-8 four bytes")
            << b("ab\xf0\x9f\x98\x80") << 5 << false << QStringList{b("ab"), b("\xf0\x9f\x98\x80")};
        QTest::newRow("Latin-1 bytes stand alone")
            << b("\xe9\xe9\xe9\xe9") << 3 << false << QStringList{b("\xe9\xe9\xe9"), b("\xe9")};
        QTest::newRow("a lead byte without its follower") << b("\xc3"
                                                               "A\xc3"
                                                               "B")
                                                          << 3 << false
                                                          << QStringList{b("\xc3"
                                                                           "A\xc3"),
                                                                         b("B")};
        QTest::newRow("overlong form is no character")
            << b("\xc0\xaf\xc0\xaf") << 3 << false << QStringList{b("\xc0\xaf\xc0"), b("\xaf")};
        QTest::newRow("surrogate form is no character")
            << b("\xed\xa0\x80") << 2 << false << QStringList{b("\xed\xa0"), b("\x80")};
        QTest::newRow("a character wider than the limit")
            << b("a\xe2\x82\xac") << 2 << false << QStringList{};
        QTest::newRow("empty") << "" << 10 << false << QStringList{};
        QTest::newRow("no room at all") << "abc" << 0 << false << QStringList{};
        QTest::newRow("plain piece may begin with a slash")
            << "say /quit now" << 6 << false << QStringList{"say", "/quit", "now"};
        QTest::newRow("talk piece never begins with a slash")
            << "say /quit now" << 6 << true << QStringList{"say", " /quit", "now"};
        QTest::newRow("talk: the space costs a byte")
            << "say /quits now" << 6 << true << QStringList{"say", " /quit", "s now"};
        QTest::newRow("talk: a cut word going on with a slash")
            << "abc/def" << 3 << true << QStringList{"abc", " /d", "ef"};
        QTest::newRow("talk: no room for the space") << "a/" << 1 << true << QStringList{};
    }
    void examples()
    {
        QFETCH(QString, bytes);
        QFETCH(int, limit);
        QFETCH(bool, talk);
        QFETCH(QStringList, pieces);
        QCOMPARE(TWire::splitForWire(bytes, limit, talk ? Mode::Talk : Mode::Plain), pieces);
    }

    // Thousands of random lines against every rule at once.
    void randomLines_data()
    {
        columns<bool, bool>("talk", "strayBytes");
        QTest::newRow("plain, UTF-8") << false << false;
        QTest::newRow("plain, mixed bytes") << false << true;
        QTest::newRow("talk, UTF-8") << true << false;
        QTest::newRow("talk, mixed bytes") << true << true;
    }
    void randomLines()
    {
        QFETCH(bool, talk);
        QFETCH(bool, strayBytes);
        QRandomGenerator rng(20261208u + (talk ? 1 : 0) + (strayBytes ? 2 : 0));
        int split = 0;
        for (int round = 0; round < 3000; ++round) {
            QHash<qsizetype, qsizetype> tokens;
            const QString line = randomLine(rng, tokens, strayBytes);
            const int limit = int(rng.bounded(1, 201));
            const QStringList pieces =
                TWire::splitForWire(line, limit, talk ? Mode::Talk : Mode::Plain);
            const QByteArray context = "round " + QByteArray::number(round) + ", limit " +
                                       QByteArray::number(limit) + ": " + TText::toBytes(line);
            const auto boundary = [&](qsizetype p) {
                return p == line.size() || tokens.contains(p);
            };
            if (pieces.isEmpty()) {
                // Only a character wider than the limit, or a slash with no
                // room for the space before it, makes it impossible.
                qsizetype widest = 0;
                for (const qsizetype len : std::as_const(tokens))
                    widest = qMax(widest, len);
                const bool slash = talk && limit == 1 && line.mid(1).contains(QLatin1Char('/'));
                QVERIFY2(isBlank(line) || (strayBytes ? limit < 4 : widest > limit || slash),
                         context.constData());
                continue;
            }
            split += pieces.size() > 1;
            // Walk the line along the pieces: each piece is the next stretch
            // of the line, and only spaces lie between two pieces.
            qsizetype pos = 0;
            // Leading spaces go only when they would fill the first piece.
            while (pos < line.size() && line.at(pos) == QLatin1Char(' '))
                ++pos;
            if (pos < limit)
                pos = 0;
            for (qsizetype k = 0; k < pieces.size(); ++k) {
                const QString &piece = pieces.at(k);
                QVERIFY2(!piece.isEmpty() && piece.size() <= limit, context.constData());
                QVERIFY2(!isBlank(piece), context.constData());
                QString body = piece;
                // Past the line's start a piece begins with a space only
                // when the line goes on with a slash there.
                const bool lead = talk && pos > 0 && piece.startsWith(QLatin1String(" /"));
                if (lead)
                    body = piece.mid(1);
                if (talk && pos > 0)
                    QVERIFY2(!piece.startsWith(QLatin1Char('/')), context.constData());
                QVERIFY2(QStringView(line).mid(pos).startsWith(body), context.constData());
                const qsizetype start = pos;
                const qsizetype room = limit - (lead ? 1 : 0);
                pos += body.size();
                // Never inside a character of the line.
                QVERIFY2(boundary(pos), context.constData());
                if (k + 1 == pieces.size())
                    break;
                QVERIFY2(line.size() - start > room, context.constData()); // it did not fit
                const qsizetype end = pos;
                while (pos < line.size() && line.at(pos) == QLatin1Char(' '))
                    ++pos;
                if (pos > end) {
                    // Cut at a space: the last one within reach that ends a word.
                    QVERIFY2(end > start && line.at(end - 1) != QLatin1Char(' '),
                             context.constData());
                    for (qsizetype p = end + 1; p <= start + room && p < line.size(); ++p)
                        QVERIFY2(!isCut(line, p), context.constData());
                } else {
                    // Cut inside a word: only when no space could serve, and
                    // with as many whole characters as fit.
                    for (qsizetype p = start + 1; p <= start + room; ++p)
                        QVERIFY2(!isCut(line, p), context.constData());
                    // The next character would not fit. (Stray bytes may
                    // happen to form a longer character than their tokens.)
                    const qsizetype next = tokens.value(end);
                    if (!strayBytes || line.at(end).unicode() < 0x80)
                        QVERIFY2(end + next - start > room, context.constData());
                }
            }
            // Everything but spaces at the cuts (and at the very end) is kept.
            QVERIFY2(isBlank(QStringView(line).mid(pos)), context.constData());
            if (!strayBytes)
                for (const QString &piece : pieces)
                    QVERIFY2(TText::isUtf8(piece), context.constData());
        }
        QVERIFY(split > 1000); // most lines were long enough to be cut
    }

    void plans_data()
    {
        // prefix: what every piece begins with
        columns<QString, int, int, QString>("line", "limit", "outcome", "prefix");
        const QString words = rep("lorem ipsum ", 40).trimmed(); // 479 bytes
        QTest::newRow("short talk") << "hello" << 160 << int(Plan::Fits) << "hello";
        QTest::newRow("exactly the limit") << rep("x", 160) << 160 << int(Plan::Fits) << "x";
        QTest::newRow("one byte more") << rep("x", 161) << 160 << int(Plan::Split) << "x";
        QTest::newRow("long talk") << words << 160 << int(Plan::Split) << "lorem";
        QTest::newRow("/m") << "/m bob " + words << 160 << int(Plan::Split) << "/m bob ";
        QTest::newRow("/msg") << "/msg bob " + words << 160 << int(Plan::Split) << "/msg bob ";
        QTest::newRow("/w") << "/w bob " + words << 160 << int(Plan::Split) << "/w bob ";
        QTest::newRow("/whisper") << "/whisper bob " + words << 160 << int(Plan::Split)
                                  << "/whisper bob ";
        QTest::newRow("/W in capitals")
            << "/W bob " + words << 160 << int(Plan::Split) << "/W bob ";
        QTest::newRow("/me") << "/me " + words << 160 << int(Plan::Split) << "/me ";
        QTest::newRow("/emote") << "/emote " + words << 160 << int(Plan::Split) << "/emote ";
        QTest::newRow("/EMOTE") << "/EMOTE " + words << 160 << int(Plan::Split) << "/EMOTE ";
        QTest::newRow("whisper text with two spaces")
            << "/m bob  " + words << 160 << int(Plan::Split) << "/m bob ";
        QTest::newRow("other command") << "/join " + words << 160 << int(Plan::TooLong) << "";
        QTest::newRow("whisper without a text")
            << "/m " + rep("n", 200) << 160 << int(Plan::TooLong) << "";
        QTest::newRow("whisper with an empty name")
            << "/m  " + words << 160 << int(Plan::TooLong) << "";
        QTest::newRow("whisper with a space as text")
            << "/m " + rep("n", 200) + " " << 160 << int(Plan::TooLong) << "";
        QTest::newRow("not a whisper word")
            << "/mx bob " + words << 160 << int(Plan::TooLong) << "";
        QTest::newRow("emote word glued") << "/me" + words << 160 << int(Plan::TooLong) << "";
        QTest::newRow("bare emote word, long")
            << "/emote" + rep(" ", 200) << 160 << int(Plan::TooLong) << "";
        QTest::newRow("whisper text of spaces")
            << "/w bob" + rep(" ", 200) << 160 << int(Plan::TooLong) << "";
        QTest::newRow("name leaves no room")
            << "/m " + rep("n", 20) + " " + words << 24 << int(Plan::TooNarrow) << "";
        QTest::newRow("name leaves room for one byte")
            << "/m " + rep("n", 20) + " abc" << 25 << int(Plan::Split)
            << "/m nnnnnnnnnnnnnnnnnnnn ";
        QTest::newRow("talk narrower than a character")
            << b("\xe2\x82\xac\xe2\x82\xac") << 2 << int(Plan::TooNarrow) << "";
    }
    void plans()
    {
        QFETCH(QString, line);
        QFETCH(int, limit);
        QFETCH(int, outcome);
        QFETCH(QString, prefix);
        const Plan plan = TWire::planLine(line, limit);
        QCOMPARE(int(plan.outcome), outcome);
        if (outcome == Plan::TooLong || outcome == Plan::TooNarrow) {
            QVERIFY(plan.lines.isEmpty());
            return;
        }
        if (outcome == Plan::Fits) {
            QCOMPARE(plan.lines, QStringList{line});
            return;
        }
        QVERIFY(plan.lines.size() > 1);
        // Every byte arrives, in order: each piece's text is the next stretch
        // of what was said, with nothing but spaces dropped between two
        // pieces (a word cut in two has nothing between its halves).
        const bool talk = !line.startsWith(QLatin1Char('/'));
        const QString said = talk ? line : line.mid(prefix.size());
        qsizetype pos = 0;
        for (qsizetype k = 0; k < plan.lines.size(); ++k) {
            const QString &piece = plan.lines.at(k);
            QVERIFY2(piece.size() <= limit, qPrintable(piece));
            QVERIFY2(piece.startsWith(prefix), qPrintable(piece));
            QString body = talk ? piece : piece.mid(prefix.size());
            QVERIFY2(!isBlank(body), qPrintable(piece));
            if (talk && k > 0 && body.startsWith(QLatin1String(" /")))
                body = body.mid(1);
            if (k > 0 && !said.mid(pos).startsWith(body))
                while (pos < said.size() && said.at(pos) == QLatin1Char(' '))
                    ++pos;
            QVERIFY2(QStringView(said).mid(pos).startsWith(body), qPrintable(piece));
            pos += body.size();
        }
        QVERIFY(isBlank(QStringView(said).mid(pos)));
    }

    void marks_data()
    {
        columns<QString, int, QString, int>("text", "cursor", "marked", "cursorAfter");
        const QString m(TInputBreaks::marker);
        QTest::newRow("no break") << "abc" << 1 << "abc" << 1;
        QTest::newRow("LF") << "a\nb" << 3 << "a" + m + "b" << 3;
        QTest::newRow("CR") << "a\rb" << 3 << "a" + m + "b" << 3;
        QTest::newRow("CR LF is one break") << "a\r\nb" << 4 << "a" + m + "b" << 3;
        QTest::newRow("LF CR is two") << "a\n\rb" << 4 << "a" + m + m + "b" << 4;
        QTest::newRow("empty line between") << "a\n\nb" << 0 << "a" + m + m + "b" << 0;
        QTest::newRow("trailing break") << "a\r\n" << 3 << "a" + m << 2;
        QTest::newRow("cursor before CR LF") << "ab\r\ncd" << 2 << "ab" + m + "cd" << 2;
        QTest::newRow("cursor inside CR LF") << "ab\r\ncd" << 3 << "ab" + m + "cd" << 3;
        QTest::newRow("Unicode separators")
            << QString::fromUtf8("a\u2028b\u2029c") << 5 << "a" + m + "b" + m + "c" << 5;
    }
    void marks()
    {
        QFETCH(QString, text);
        QFETCH(int, cursor);
        QFETCH(QString, marked);
        QFETCH(int, cursorAfter);
        int pos = cursor;
        QCOMPARE(TInputBreaks::mark(text, &pos), marked);
        QCOMPARE(pos, cursorAfter);
        // The validator a line edit uses does the same.
        TLineBreakValidator validator;
        QString input = text;
        pos = cursor;
        QCOMPARE(validator.validate(input, pos), QValidator::Acceptable);
        QCOMPARE(input, marked);
        QCOMPARE(pos, cursorAfter);
    }

    void linesAndSpaces()
    {
        const QString m(TInputBreaks::marker);
        QCOMPARE(TInputBreaks::linesOf("one" + m + m + "three"), (QStringList{"one", "", "three"}));
        QCOMPARE(TInputBreaks::linesOf(QStringLiteral("one")), QStringList{"one"});
        QCOMPARE(TInputBreaks::breaksToSpaces(QStringLiteral("Clan\r\nX\nY\rZ")),
                 QStringLiteral("Clan X Y Z"));
        QCOMPARE(TInputBreaks::breaksToSpaces(QStringLiteral("plain")), QStringLiteral("plain"));
    }
};

QTEST_MAIN(TestWireSplit)
#include "test_wiresplit.moc"
