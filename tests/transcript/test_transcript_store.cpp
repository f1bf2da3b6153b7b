// The transcript's line store on its own: what goes in comes back out, by
// line, by column and by range, and a search finds the lines it should.
#include "rules/transcriptsearch.h"
#include "rules/transcriptstore.h"
#include "support/datarows.h"

#include <QElapsedTimer>
#include <QtTest>

Q_DECLARE_METATYPE(QList<TColourRun>)

namespace {

const QColor kRed(200, 0, 0);
const QColor kGreen(0, 160, 0);
const QColor kBlue(0, 0, 220);
const QColor kDefault(10, 20, 30);

enum class Dir { Forward, Backward };

// The first line, looking from `from` in `direction` (`from` included),
// that the search finds the needle in, without case; -1 when none. A
// `from` past the end the look moves towards finds nothing; past the other
// end, the look starts at that end.
int findLine(const TTranscriptStore &s, QStringView needle, int from, Dir direction)
{
    const int n = s.lineCount();
    if (direction == Dir::Forward ? from >= n : from < 0)
        return -1;
    from = std::clamp(from, 0, std::max(0, n - 1));
    TTranscriptSearch search;
    search.start(s, needle.toString(), Qt::CaseInsensitive);
    int found = -1;
    for (int i = 0; i < search.count(); ++i) {
        const int line = search.at(i).line;
        if (direction == Dir::Forward && line >= from)
            return line;
        if (direction == Dir::Backward && line <= from)
            found = line;
    }
    return found;
}

// One letter per character: r, g, b, d (the fallback colour).
QString lettersOf(const TTranscriptStore &s, int line)
{
    QString out;
    for (int c = 0; c < s.lineLength(line); ++c) {
        const QColor col = s.colourAt(line, c);
        out += col == kRed       ? 'r'
               : col == kGreen   ? 'g'
               : col == kBlue    ? 'b'
               : col == kDefault ? 'd'
                                 : '?';
    }
    return out;
}

// A smiling face, outside the basic plane: two UTF-16 code units.
const QString kFace = QString::fromUtf8("\xf0\x9f\x98\x80");

} // namespace

class TestTranscriptStore : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void colours_data()
    {
        columns<QString, QList<TColourRun>, QString, int>("text", "runs", "expected", "storedRuns");
        QTest::newRow("runs cover the text")
            << "abcdef" << QList<TColourRun>{{3, kRed}, {3, kGreen}} << "rrrggg" << 2;
        QTest::newRow("runs shorter than the text")
            << "abcdef" << QList<TColourRun>{{2, kRed}} << "rrdddd" << 2;
        QTest::newRow("runs longer than the text")
            << "abc" << QList<TColourRun>{{2, kRed}, {5, kGreen}, {4, kBlue}} << "rrg" << 2;
        QTest::newRow("no runs") << "abc" << QList<TColourRun>{} << "ddd" << 1;
        QTest::newRow("empty and negative runs are skipped")
            << "abcd" << QList<TColourRun>{{0, kRed}, {-2, kGreen}, {2, kBlue}} << "bbdd" << 2;
        QTest::newRow("invalid colour takes the fallback")
            << "abcd" << QList<TColourRun>{{2, QColor()}, {2, kRed}} << "ddrr" << 2;
        QTest::newRow("neighbours of one colour are one run")
            << "abcde" << QList<TColourRun>{{1, kRed}, {1, kRed}, {1, kGreen}, {2, kRed}} << "rrgrr"
            << 3;
        QTest::newRow("a rest in the fallback joins a run of that colour")
            << "abcd" << QList<TColourRun>{{1, kRed}, {1, kDefault}} << "rddd" << 2;
        QTest::newRow("empty text keeps no runs") << "" << QList<TColourRun>{{3, kRed}} << "" << 0;
    }
    void colours()
    {
        QFETCH(QString, text);
        QFETCH(QList<TColourRun>, runs);
        QFETCH(QString, expected);
        QFETCH(int, storedRuns);
        TTranscriptStore s;
        s.append("before", {{6, kBlue}}, kDefault.rgba());
        s.append(text, runs, kDefault.rgba());
        s.append("after", {}, kGreen.rgba());
        QCOMPARE(s.lineCount(), 3);
        QCOMPARE(s.lineText(1), text);
        QCOMPARE(lettersOf(s, 1), expected);
        QVERIFY(!s.colourAt(1, -1).isValid());
        QVERIFY(!s.colourAt(1, int(text.size())).isValid());

        // The runs a painter walks: in order, ending where the line ends.
        const TTranscriptStore::Runs r = s.runs(1);
        QCOMPARE(int(r.last - r.first), storedRuns);
        quint32 end = 0;
        for (const TTranscriptStore::Run *x = r.first; x != r.last; ++x) {
            QVERIFY(x->end > end);
            end = x->end;
        }
        QCOMPARE(end, quint32(text.size()));

        // The neighbours keep their own colours, the fallback as given.
        QCOMPARE(lettersOf(s, 0), QString("bbbbbb"));
        QCOMPARE(lettersOf(s, 2), QString("ggggg"));
    }

    void outsideTheStore()
    {
        TTranscriptStore s;
        QCOMPARE(s.lineCount(), 0);
        QCOMPARE(s.lineText(0), QString());
        QVERIFY(!s.colourAt(0, 0).isValid());
        QCOMPARE(s.plainText(), QString());
        QCOMPARE(s.text(0, 0, 5, 5, u"\n"), QString());
        QCOMPARE(findLine(s, u"a", 0, Dir::Forward), -1);

        s.append("one", {}, kDefault.rgba());
        QCOMPARE(s.lineText(-1), QString());
        QCOMPARE(s.lineText(1), QString());
        QVERIFY(!s.colourAt(-1, 0).isValid());
        QVERIFY(!s.colourAt(1, 0).isValid());
        QCOMPARE(s.colourAt(0, 2), kDefault);
    }

    void clearGivesTheMemoryBack()
    {
        TTranscriptStore s;
        const qsizetype empty = s.bytes();
        for (int i = 0; i < 5000; ++i)
            s.append(QString("line %1 \u20ac").arg(i), {{4, kRed}}, kDefault.rgba());
        QVERIFY(s.bytes() > empty + 5000 * 10);
        QVERIFY(s.bytesUsed() <= s.bytes());
        s.clear();
        QCOMPARE(s.lineCount(), 0);
        QCOMPARE(s.plainText(), QString());
        QCOMPARE(s.bytes(), empty);
        QCOMPARE(findLine(s, u"line", 0, Dir::Forward), -1);

        s.append("again", {{1, kGreen}}, kBlue.rgba());
        QCOMPARE(s.lineCount(), 1);
        QCOMPARE(s.lineText(0), QString("again"));
        QCOMPARE(lettersOf(s, 0), QString("gbbbb"));
        QCOMPARE(s.plainText(), QString("again"));
    }

    void plainText_data()
    {
        columns<QStringList, QString>("lines", "expected");
        QTest::newRow("one line") << QStringList{"only"} << "only";
        QTest::newRow("one empty line") << QStringList{""} << "";
        QTest::newRow("empty lines between") << QStringList{"a", "", "", "b"} << "a\r\n\r\n\r\nb";
        QTest::newRow("empty last line") << QStringList{"a", ""} << "a\r\n";
        QTest::newRow("narrow and wide mixed")
            << QStringList{"caf\u00e9", "\u20ac5", "odd", "\u043f" + kFace}
            << "caf\u00e9\r\n\u20ac5\r\nodd\r\n\u043f" + kFace;
    }
    void plainText()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        TTranscriptStore s;
        for (const QString &l : lines)
            s.append(l, {}, kDefault.rgba());
        QCOMPARE(s.plainText(), expected);
        for (int i = 0; i < lines.size(); ++i)
            QCOMPARE(s.lineText(i), lines[i]);
    }

    void rangeText_data()
    {
        columns<int, int, int, int, QString>("fromLine", "fromColumn", "toLine", "toColumn",
                                             "expected");
        // The lines: "alpha", "" , "b\u20acta", "gamma"
        QTest::newRow("inside one line") << 0 << 1 << 0 << 4 << "lph";
        QTest::newRow("a whole line") << 0 << 0 << 0 << 5 << "alpha";
        QTest::newRow("nothing: end at start") << 0 << 2 << 0 << 2 << "";
        QTest::newRow("nothing: end before start") << 2 << 3 << 0 << 1 << "";
        QTest::newRow("nothing: earlier column, same line") << 3 << 4 << 3 << 1 << "";
        QTest::newRow("across an empty line") << 0 << 3 << 2 << 2 << "ha||b\u20ac";
        QTest::newRow("from a line's end") << 0 << 5 << 3 << 1 << "||b\u20acta|g";
        QTest::newRow("inside a wide line") << 2 << 1 << 2 << 3 << "\u20act";
        QTest::newRow("everything") << 0 << 0 << 3 << 5 << "alpha||b\u20acta|gamma";
        QTest::newRow("columns past the line end at it") << 0 << 3 << 0 << 99 << "ha";
        QTest::newRow("negative columns start at the line's start") << 3 << -4 << 3 << 2 << "ga";
        QTest::newRow("a line before the first starts at its start") << -3 << 4 << 0 << 2 << "al";
        QTest::newRow("a line past the last ends at its end") << 2 << 3 << 9 << 0 << "a|gamma";
        QTest::newRow("a start past the last line") << 4 << 0 << 9 << 0 << "";
        QTest::newRow("an end before the first line") << -2 << 0 << -1 << 3 << "";
    }
    void rangeText()
    {
        QFETCH(int, fromLine);
        QFETCH(int, fromColumn);
        QFETCH(int, toLine);
        QFETCH(int, toColumn);
        QFETCH(QString, expected);
        TTranscriptStore s;
        for (const QString &l :
             {QString("alpha"), QString(), QString("b\u20acta"), QString("gamma")})
            s.append(l, {}, kDefault.rgba());
        QCOMPARE(s.text(fromLine, fromColumn, toLine, toColumn, u"|"), expected);
        // The separator is whatever the caller wants, several characters too.
        QString crlf = expected;
        crlf.replace('|', "\r\n");
        QCOMPARE(s.text(fromLine, fromColumn, toLine, toColumn, u"\r\n"), crlf);
    }

    // A line below U+0100 takes a byte a character, any other two; columns
    // count UTF-16 code units either way, and a line's bytes never bleed into
    // its neighbours whatever the offsets they land on.
    void narrowAndWideLines()
    {
        TTranscriptStore s;
        s.append("x", {}, kDefault.rgba()); // leaves the next line at an odd offset
        qsizetype before = s.bytesUsed();
        s.append("\u00e9t\u00e9 \u00ff", {{2, kRed}}, kDefault.rgba());
        const qsizetype latin = s.bytesUsed() - before;
        before = s.bytesUsed();
        s.append("\u0100t\u00e9 \u00ff", {{2, kRed}}, kDefault.rgba());
        const qsizetype wide = s.bytesUsed() - before;
        QCOMPARE(wide - latin, qsizetype(5));

        const QString face = "a" + kFace + "b";
        s.append(face, {{1, kRed}, {2, kGreen}, {1, kBlue}}, kDefault.rgba());
        s.append("z", {}, kDefault.rgba());

        QCOMPARE(s.lineText(1), QString("\u00e9t\u00e9 \u00ff"));
        QCOMPARE(s.lineText(2), QString("\u0100t\u00e9 \u00ff"));
        QCOMPARE(s.line(1).wide, false);
        QCOMPARE(s.line(2).wide, true);
        QCOMPARE(s.line(2).at(0), u'\u0100');
        QCOMPARE(s.line(2).at(4), u'\u00ff');
        QCOMPARE(lettersOf(s, 2), QString("rrddd"));

        // The pair is two columns, each with the pair's colour.
        QCOMPARE(s.lineLength(3), 4);
        QCOMPARE(s.lineText(3), face);
        QCOMPARE(lettersOf(s, 3), QString("rggb"));
        QVERIFY(QChar::isHighSurrogate(s.line(3).at(1)));
        QVERIFY(QChar::isLowSurrogate(s.line(3).at(2)));
        QCOMPARE(s.text(3, 1, 3, 3, u"\n"), kFace);
        QCOMPARE(s.text(2, 4, 3, 3, u"\n"), "\u00ff\na" + kFace);

        QCOMPARE(s.lineText(0), QString("x"));
        QCOMPARE(s.lineText(4), QString("z"));
        QCOMPARE(s.plainText(),
                 "x\r\n\u00e9t\u00e9 \u00ff\r\n\u0100t\u00e9 \u00ff\r\n" + face + "\r\nz");
    }

    void find_data()
    {
        columns<QString, int, bool, int>("needle", "from", "backward", "expected");
        // The lines:
        //  0 "<Ann> Hello there"
        //  1 "<Bob> hi"
        //  2 "" (empty)
        //  3 "<Cy> CAF\u00c9 opens at nine"
        //  4 "<Ann> the caf\u00e9 \u20ac menu"
        //  5 "<Bob> HELLO again"
        QTest::newRow("forward from the start") << "hello" << 0 << false << 0;
        QTest::newRow("forward counts the start line") << "hello" << 5 << false << 5;
        QTest::newRow("forward skips to the next") << "hello" << 1 << false << 5;
        QTest::newRow("backward counts the start line") << "HeLLo" << 5 << true << 5;
        QTest::newRow("backward to an earlier line") << "hello" << 4 << true << 0;
        QTest::newRow("forward, none after") << "hello" << 6 << false << -1;
        QTest::newRow("backward, none before") << "menu" << 3 << true << -1;
        QTest::newRow("a start before the first line") << "bob" << -7 << false << 1;
        QTest::newRow("a start past the last line, backward") << "ann" << 99 << true << 4;
        QTest::newRow("a start before the first line, backward") << "ann" << -1 << true << -1;
        QTest::newRow("latin-1 letters fold") << "caf\u00e9" << 0 << false << 3;
        QTest::newRow("latin-1 letters fold, backward") << "CAF\u00c9" << 5 << true << 4;
        QTest::newRow("a wide line") << "\u20ac MENU" << 0 << false << 4;
        QTest::newRow("a character no line has") << "\u20ac\u20ac" << 0 << false << -1;
        QTest::newRow("never across two lines") << "there<bob" << 0 << false << -1;
        QTest::newRow("spaces count") << "> hi" << 0 << false << 1;
        QTest::newRow("a whole line") << "<BOB> HI" << 0 << false << 1;
        QTest::newRow("longer than every line") << QString(40, 'a') << 0 << false << -1;
        QTest::newRow("an empty needle finds nothing") << "" << 0 << false << -1;
    }
    void find()
    {
        QFETCH(QString, needle);
        QFETCH(int, from);
        QFETCH(bool, backward);
        QFETCH(int, expected);
        TTranscriptStore s;
        for (const QString &l :
             {QString("<Ann> Hello there"), QString("<Bob> hi"), QString(),
              QString("<Cy> CAF\u00c9 opens at nine"), QString("<Ann> the caf\u00e9 \u20ac menu"),
              QString("<Bob> HELLO again")})
            s.append(l, {{5, kBlue}}, kDefault.rgba());
        QCOMPARE(findLine(s, needle, from, backward ? Dir::Backward : Dir::Forward), expected);
    }

    // A pair outside the basic plane is found as a whole, and half of one
    // matches only that half.
    void findOutsideTheBasicPlane()
    {
        TTranscriptStore s;
        s.append("plain", {}, kDefault.rgba());
        s.append("smile " + kFace + " now", {}, kDefault.rgba());
        QCOMPARE(findLine(s, kFace, 0, Dir::Forward), 1);
        QCOMPARE(findLine(s, QString(kFace + " NOW"), 0, Dir::Forward), 1);
        QCOMPARE(findLine(s, QString(kFace.at(0)), 0, Dir::Forward), 1);
        QCOMPARE(findLine(s, QString("\u00e9"), 0, Dir::Forward), -1);
    }

    // The size the pane is made for: a million lines, each with a few runs,
    // kept in about the bytes of their text, and read and searched whole.
    void millionLines()
    {
        const int n = 1000000;
        TTranscriptStore s;
        const QString pad(80 - 22, QChar('m'));
        const QList<TColourRun> runs{{10, kBlue}, {12, kRed}, {58, kDefault}};
        QElapsedTimer t;
        t.start();
        for (int i = 0; i < n; ++i) {
            QString line = QString("[12:34:56] <User%1> ").arg(i % 10000, 4, 10, QChar('0')) + pad;
            if (i == 123456)
                line.replace(30, 6, "Needle");
            if (i == 987654)
                line.replace(30, 6, "\u20acneedl");
            s.append(line, runs, kGreen.rgba());
        }
        const qint64 appendMs = t.restart();
        QCOMPARE(s.lineCount(), n);
        QCOMPARE(s.lineText(n / 2).mid(11, 10), QString("<User0000>"));
        QCOMPARE(s.lineText(n - 1).mid(11, 10), QString("<User9999>"));
        QCOMPARE(s.colourAt(n / 2, 9), kBlue);
        QCOMPARE(s.colourAt(n / 2, 21), kRed);
        QCOMPARE(s.colourAt(n - 1, 79), kDefault);
        QVERIFY(!s.colourAt(n - 1, 80).isValid());
        QCOMPARE(s.text(n - 2, 78, n - 1, 2, u"\n"), QString("mm\n[1"));

        // Text, three runs, the line's index and the running count of
        // characters a screen reader's offsets come from: no per-line
        // overhead beyond.
        const qsizetype perLine = s.bytesUsed() / n;
        QVERIFY2(perLine <= 80 + 8 + 4 + 3 * 8 + 8 + 1, qPrintable(QString::number(perLine)));
        QVERIFY2(s.bytes() / n <= 2 * perLine, qPrintable(QString::number(s.bytes() / n)));

        QCOMPARE(s.plainText().size(), qsizetype(n) * 80 + 2 * (n - 1));

        t.restart();
        QCOMPARE(findLine(s, u"NEEDLE", 0, Dir::Forward), 123456);
        QCOMPARE(findLine(s, u"needle", 123457, Dir::Forward), -1);
        QCOMPARE(findLine(s, u"\u20acNEED", n - 1, Dir::Backward), 987654);
        QCOMPARE(findLine(s, u"needle", 123455, Dir::Backward), -1);
        qInfo("append: %lld ms; four searches through the million lines: %lld ms", appendMs,
              t.elapsed());
    }
};

QTEST_GUILESS_MAIN(TestTranscriptStore)
#include "test_transcript_store.moc"
