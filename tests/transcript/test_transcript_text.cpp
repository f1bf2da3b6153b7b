// The transcript read as one text by offsets, as a screen reader reads it:
// lines, words and characters at, before and after an offset, ranges across
// lines, and what a million lines cost.
#include "rules/transcripttext.h"
#include "support/datarows.h"

#include <QElapsedTimer>
#include <QtTest>

using namespace TTranscriptText;

namespace {

const QRgb kInk = qRgb(0, 0, 0);

void fill(TTranscriptStore &s, const QStringList &lines)
{
    for (const QString &l : lines)
        s.append(l, {}, kInk);
}

// "text" [start, end) as one string, for compact comparisons.
QString piece(const QString &text, qint64 start, qint64 end)
{
    return QStringLiteral("%1 [%2,%3)").arg(text).arg(start).arg(end);
}

using Query = QString (*)(const TTranscriptStore &, qint64, QAccessible::TextBoundaryType, qint64 *,
                          qint64 *);

QString ask(Query q, const TTranscriptStore &s, qint64 offset, QAccessible::TextBoundaryType kind)
{
    qint64 a = -7, b = -7;
    const QString t = q(s, offset, kind, &a, &b);
    return piece(t, a, b);
}

// Slower machines and sanitizer builds get more time; the budgets are
// there to catch work that grows with the transcript.
#if defined(__SANITIZE_ADDRESS__)
constexpr int kSlack = 10;
#else
constexpr int kSlack = 1;
#endif

} // namespace

class TestTranscriptText : public QObject {
    Q_OBJECT

private Q_SLOTS:
    // Offsets and line positions agree both ways, the separator counting
    // as the last column of its line.
    void offsetsAndPositions()
    {
        TTranscriptStore s;
        QCOMPARE(s.characterCount(), 0);
        QCOMPARE(posOf(s, 5).line, 0);
        QCOMPARE(offsetOf(s, 3, 3), 0);
        QCOMPARE(text(s, 0, 10), QString());

        fill(s, {"ab", "", "cde", QString::fromUtf8("\xe2\x82\xac!")});
        // ab \n \n cde \n €!
        QCOMPARE(s.characterCount(), qint64(2 + 1 + 0 + 1 + 3 + 1 + 2));
        const QList<std::pair<qint64, std::pair<int, int>>> expected = {
            {0, {0, 0}}, {2, {0, 2}}, {3, {1, 0}},  {4, {2, 0}},  {7, {2, 3}},
            {8, {3, 0}}, {9, {3, 1}}, {10, {3, 2}}, {99, {3, 2}}, {-4, {0, 0}}};
        for (const auto &e : expected) {
            const Pos p = posOf(s, e.first);
            QCOMPARE(std::make_pair(p.line, p.column), e.second);
        }
        for (qint64 o = 0; o <= s.characterCount(); ++o) {
            const Pos p = posOf(s, o);
            QCOMPARE(offsetOf(s, p.line, p.column), o);
        }
        QCOMPARE(offsetOf(s, 2, 99), qint64(7)); // clamped to the line
        QCOMPARE(offsetOf(s, 9, 0), s.characterCount());

        QCOMPARE(text(s, 0, s.characterCount()), QString::fromUtf8("ab\n\ncde\n\xe2\x82\xac!"));
        QCOMPARE(text(s, 1, 5), QString("b\n\nc"));
        QCOMPARE(text(s, 2, 3), QString("\n"));
        QCOMPARE(text(s, 7, 8), QString("\n"));
        QCOMPARE(text(s, -5, 2), QString("ab"));
        QCOMPARE(text(s, 4, 4), QString());
        QCOMPARE(text(s, 6, 4), QString());

        s.clear();
        QCOMPARE(s.characterCount(), 0);
        fill(s, {"x"});
        QCOMPARE(s.characterCount(), 1);
        QCOMPARE(text(s, 0, 1), QString("x"));
    }

    void pieces_data()
    {
        // query: 0 at, 1 before, 2 after
        columns<int, int, int, QString>("query", "offset", "kind", "expected");
        // "one two  three\n\nlast line" : 0..13 first line, 14 separator,
        // 15 the empty line's separator, 16.. "last line" (25 characters).
        const int L = QAccessible::LineBoundary, W = QAccessible::WordBoundary,
                  C = QAccessible::CharBoundary, N = QAccessible::NoBoundary,
                  S = QAccessible::SentenceBoundary;
        QTest::newRow("line at its start") << 0 << 0 << L << "one two  three\n [0,15)";
        QTest::newRow("line at its separator") << 0 << 14 << L << "one two  three\n [0,15)";
        QTest::newRow("an empty line") << 0 << 15 << L << "\n [15,16)";
        QTest::newRow("the last line has no separator") << 0 << 20 << L << "last line [16,25)";
        QTest::newRow("line at the end of the text") << 0 << 25 << L << "last line [16,25)";
        QTest::newRow("word at the end of the text") << 0 << 25 << W << "line [21,25)";
        QTest::newRow("line past the end") << 0 << 26 << L << " [0,0)";
        QTest::newRow("line before") << 1 << 20 << L << "\n [15,16)";
        QTest::newRow("line before the first") << 1 << 3 << L << " [0,0)";
        QTest::newRow("line before the end") << 1 << 25 << L << "\n [15,16)";
        QTest::newRow("character before the end") << 1 << 25 << C << "e [24,25)";
        QTest::newRow("line after") << 2 << 3 << L << "\n [15,16)";
        QTest::newRow("line after the last") << 2 << 17 << L << " [0,0)";
        QTest::newRow("sentence is the line") << 0 << 4 << S << "one two  three\n [0,15)";
        QTest::newRow("word with its blanks") << 0 << 5 << W << "two   [4,9)";
        QTest::newRow("word in its blanks") << 0 << 8 << W << "two   [4,9)";
        QTest::newRow("word ends with the line") << 0 << 10 << W << "three [9,14)";
        QTest::newRow("a separator is a word of its own") << 0 << 14 << W << "\n [14,15)";
        QTest::newRow("word before") << 1 << 9 << W << "two   [4,9)";
        QTest::newRow("word after") << 2 << 0 << W << "two   [4,9)";
        QTest::newRow("word after crosses the line") << 2 << 10 << W << "\n [14,15)";
        QTest::newRow("character") << 0 << 17 << C << "a [17,18)";
        QTest::newRow("character before") << 1 << 16 << C << "\n [15,16)";
        QTest::newRow("character after") << 2 << 24 << C << " [0,0)";
        QTest::newRow("character at the end") << 0 << 25 << C << " [0,0)";
        QTest::newRow("everything") << 0 << 3 << N << "one two  three\n\nlast line [0,25)";
        QTest::newRow("negative offset") << 0 << -1 << L << " [0,0)";
    }
    void pieces()
    {
        QFETCH(int, query);
        QFETCH(int, offset);
        QFETCH(int, kind);
        QFETCH(QString, expected);
        TTranscriptStore s;
        fill(s, {"one two  three", "", "last line"});
        QCOMPARE(s.characterCount(), 25);
        const Query q = query == 0 ? textAt : query == 1 ? textBefore : textAfter;
        QCOMPARE(ask(q, s, offset, QAccessible::TextBoundaryType(kind)), expected);
    }

    // A caret after an empty last line is on that line.
    void emptyLastLine()
    {
        TTranscriptStore s;
        fill(s, {"ab", ""});
        QCOMPARE(s.characterCount(), 3);
        QCOMPARE(ask(textAt, s, 3, QAccessible::LineBoundary), piece(QString(), 3, 3));
        QCOMPARE(ask(textBefore, s, 3, QAccessible::LineBoundary), piece("ab\n", 0, 3));
    }

    // A pair of UTF-16 code units outside the basic plane is one character.
    void surrogatePairs()
    {
        TTranscriptStore s;
        fill(s, {QString::fromUtf8("a\xf0\x9f\x98\x80z")});
        QCOMPARE(ask(textAt, s, 1, QAccessible::CharBoundary),
                 piece(QString::fromUtf8("\xf0\x9f\x98\x80"), 1, 3));
        QCOMPARE(ask(textAfter, s, 1, QAccessible::CharBoundary), piece("z", 3, 4));
    }

    // Every question in the middle of a million lines reads only the lines
    // it needs: the count and a line cost microseconds, the whole text
    // about as much as copying it.
    void millionLines()
    {
        TTranscriptStore s;
        const int n = 1000000;
        const QString pad(50, QLatin1Char('m'));
        for (int i = 0; i < n; ++i)
            s.append(QStringLiteral("[12:34:56] <User%1> ").arg(i % 10000, 4, 10, QChar('0')) +
                         pad + (i % 3 == 0 ? QString::fromUtf8("\xe2\x82\xac") : QString()),
                     {}, kInk);
        QElapsedTimer t;
        t.start();
        qint64 count = 0;
        QString line;
        qint64 from = 0, to = 0;
        const int queries = 1000;
        for (int q = 0; q < queries; ++q) {
            count = s.characterCount();
            line = textAt(s, count / 2 + q, QAccessible::LineBoundary, &from, &to);
        }
        const qint64 queryUs = t.nsecsElapsed() / 1000 / queries;
        // The expected answer, worked out line by line.
        qint64 expectCount = 0;
        for (int i = 0; i < n; ++i)
            expectCount += s.lineLength(i) + (i + 1 < n ? 1 : 0);
        QCOMPARE(count, expectCount);
        const int mid = posOf(s, count / 2 + queries - 1).line;
        QCOMPARE(line, s.lineText(mid) + QLatin1Char('\n'));
        QCOMPARE(from, s.offsetOfLine(mid));
        QCOMPARE(text(s, from, to - 1), s.lineText(mid));
        QVERIFY2(queryUs <= 5000 * kSlack, qPrintable(QString::number(queryUs)));

        // The whole text may cost 100 ms, or, where memory is slower, twice
        // what merely writing a string of its size costs there.
        t.restart();
        {
            QString floor(count, Qt::Uninitialized);
            std::fill(floor.begin(), floor.end(), QLatin1Char('m'));
            QCOMPARE(floor.back(), QLatin1Char('m'));
        }
        const qint64 floorMs = t.restart();
        const QString all = text(s, 0, count);
        const qint64 wholeMs = t.elapsed();
        QCOMPARE(all.size(), count);
        QCOMPARE(all.mid(from, to - from), line);
        QVERIFY2(wholeMs <= std::max<qint64>(100, 2 * floorMs) * kSlack,
                 qPrintable(
                     QStringLiteral("%1 ms, writing that much: %2 ms").arg(wholeMs).arg(floorMs)));
        qInfo("a line by offset: %lld us; the whole text: %lld ms (writing that much: %lld ms)",
              queryUs, wholeMs, floorMs);
    }
};

QTEST_GUILESS_MAIN(TestTranscriptText)
#include "test_transcript_text.moc"
