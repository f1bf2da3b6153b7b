// Pieces of transcript text drawn as plain glyphs give the picture shaping
// them gives, in fonts with ligatures and without, upright, bold and italic;
// text that shaping changes is left to be shaped.
#include "widgets/plainglyphs.h"

#include <QFontMetricsF>
#include <QPainter>
#include <QtTest>

namespace {

QFont paneFont(const QString &family, int points, bool bold, bool italic)
{
    QFont f(family, points);
    f.setBold(bold);
    f.setItalic(italic);
    f.setKerning(false); // as the panes draw
    return f;
}

// At devicePixelRatio 2 too: a high-density screen's backing store.
QImage blank(qreal dpr)
{
    QImage img(QSize(900, 40) * dpr, QImage::Format_ARGB32_Premultiplied);
    img.setDevicePixelRatio(dpr);
    img.fill(Qt::white);
    return img;
}

constexpr qreal kX = 3.0;
constexpr qreal kBaseline = 28.0;

QImage shaped(const QFont &font, const QString &text, qreal dpr)
{
    QImage img = blank(dpr);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(20, 40, 160));
    p.drawText(QPointF(kX, kBaseline), text);
    return img;
}

// What the transcript draws: plain glyphs where it can, shaped otherwise.
QImage asThePaneDraws(TPlainGlyphs &plain, const QFont &font, const QString &text, qreal dpr,
                      bool *wasPlain)
{
    const QFontMetricsF fm(font);
    QVector<qreal> x;
    qreal w = 0;
    for (QChar c : text) {
        x << w;
        w += fm.horizontalAdvance(c);
    }
    QImage img = blank(dpr);
    QPainter p(&img);
    p.setFont(font);
    p.setPen(QColor(20, 40, 160));
    QGlyphRun run;
    *wasPlain = plain.glyphRun(text, x, run);
    if (*wasPlain)
        p.drawGlyphRun(QPointF(kX, kBaseline), run);
    else
        p.drawText(QPointF(kX, kBaseline), text);
    return img;
}

const QStringList samples = {
    QStringLiteral("[12:34:56 PM] <Alice> hello there, how are you all doing today?"),
    QStringLiteral("office affliction fluffy waffle fjord"), // ligatures in many fonts
    QStringLiteral("-> => == != <= >= www ... --- :: ;)"),
    QStringLiteral(
        "na\u00EFve caf\u00E9 \u00C0\u00C9\u00CE\u00D5\u00DC \u00FF \u00DF \u00BD \u00A9\u00AE"),
    QStringLiteral("co\u00ADoperate non\u00A0breaking"), // soft hyphen, no-break space
    QStringLiteral("   leading and trailing blanks   "),
    QStringLiteral("0123456789 ABCDEFGHIJKLMNOPQRSTUVWXYZ abcdefghijklmnopqrstuvwxyz"),
};

} // namespace

class TestPlainGlyphs : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void sameAsShaped_data()
    {
        QTest::addColumn<QString>("family");
        QTest::addColumn<int>("points");
        QTest::addColumn<bool>("bold");
        QTest::addColumn<bool>("italic");
        QTest::addColumn<qreal>("dpr");
        for (const char *family :
             {"Noto Sans", "DejaVu Sans", "DejaVu Sans Mono", "Liberation Serif", "Cantarell"})
            for (int points : {8, 10, 13})
                for (int style = 0; style < 3; ++style)
                    QTest::addRow("%s %d %s", family, points,
                                  style == 0   ? "regular"
                                  : style == 1 ? "bold"
                                               : "italic")
                        << QString::fromLatin1(family) << points << (style == 1) << (style == 2)
                        << qreal(1);
        for (const char *family : {"Noto Sans", "DejaVu Sans Mono"})
            QTest::addRow("%s 10 at twice the density", family)
                << QString::fromLatin1(family) << 10 << false << false << qreal(2);
    }
    void sameAsShaped()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(bool, bold);
        QFETCH(bool, italic);
        QFETCH(qreal, dpr);
        const QFont font = paneFont(family, points, bold, italic);
        TPlainGlyphs plain;
        plain.setFont(font);
        int plainPieces = 0;
        // Twice: the second time every word is known.
        for (int round = 0; round < 2; ++round) {
            for (const QString &text : samples) {
                bool wasPlain = false;
                const QImage mine = asThePaneDraws(plain, font, text, dpr, &wasPlain);
                plainPieces += wasPlain;
                if (mine != shaped(font, text, dpr)) {
                    mine.save(QDir::temp().filePath(QStringLiteral("plain-glyphs-mine.png")));
                    QFAIL(qPrintable(
                        QStringLiteral("'%1' is drawn differently%2")
                            .arg(text, wasPlain ? QStringLiteral(" as plain glyphs") : QString())));
                }
            }
        }
        // Most of the samples need no shaping in any of these fonts.
        QVERIFY2(plainPieces >= 6, qPrintable(QString::number(plainPieces)));
    }

    // What shaping changes is shaped: a soft hyphen is drawn as nothing,
    // and a character beyond the first 256 never goes the plain way.
    void shapedWhereItMatters()
    {
        const QFont font = paneFont(QStringLiteral("Noto Sans"), 10, false, false);
        TPlainGlyphs plain;
        plain.setFont(font);
        QGlyphRun run;
        const QVector<qreal> x(40, 0.0);
        QVERIFY(plain.glyphRun(QStringLiteral("plain words"), x, run));
        QCOMPARE(run.glyphIndexes().size(), 11);
        QVERIFY(!plain.glyphRun(QStringLiteral("co\u00ADoperate"), x, run));
        QVERIFY(!plain.glyphRun(QStringLiteral("arrow \u2192"), x, run));
        // A word found not plain stays so, beside plain ones.
        QVERIFY(!plain.glyphRun(QStringLiteral("plain co\u00ADoperate words"), x, run));
        // Positions too few for the text: shaped.
        QVERIFY(!plain.glyphRun(QStringLiteral("plain"), QVector<qreal>(2, 0.0), run));
        // The words are remembered, and forgotten with the font.
        QVERIFY(plain.knownWords() >= 3);
        plain.setFont(font);
        QCOMPARE(plain.knownWords(), 0);
    }

    // A font whose ligatures join ordinary words: the word that joins is
    // shaped, the rest of its fellows plain.
    void ligaturesAreShaped()
    {
        const QFont font = paneFont(QStringLiteral("Noto Sans"), 10, false, false);
        QTextLayout probe(QStringLiteral("office"), font);
        probe.beginLayout();
        probe.createLine();
        probe.endLayout();
        const QList<QGlyphRun> runs = probe.glyphRuns();
        if (runs.isEmpty() || runs[0].glyphIndexes().size() == 6)
            QSKIP("this Noto Sans draws no ligature in \"office\"");
        TPlainGlyphs plain;
        plain.setFont(font);
        QGlyphRun run;
        const QVector<qreal> x(40, 0.0);
        QVERIFY(!plain.glyphRun(QStringLiteral("the office"), x, run));
        QVERIFY(plain.glyphRun(QStringLiteral("the desk"), x, run));
    }
};

QTEST_MAIN(TestPlainGlyphs)
#include "test_plain_glyphs.moc"
