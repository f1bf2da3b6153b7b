#include "widgets/plainglyphs.h"

#include <QTextLayout>

namespace {
// A channel's common words (a few hundred kilobytes at most); past it the
// list starts again, and a word is shaped once more when next seen.
constexpr int kMaxWords = 4096;

bool isBlank(QChar c) { return c == QLatin1Char(' '); }
} // namespace

void TPlainGlyphs::setFont(const QFont &font)
{
    m_font = font;
    m_raw = QRawFont::fromFont(font);
    m_plain.clear();
    QString all(256, Qt::Uninitialized);
    for (int c = 0; c < 256; ++c)
        all[c] = QChar(char16_t(c));
    const QVector<quint32> glyphs =
        m_raw.isValid() ? m_raw.glyphIndexesForString(all) : QVector<quint32>();
    for (int c = 0; c < 256; ++c)
        m_glyph[c] = glyphs.size() == 256 ? glyphs[c] : 0;
    // Blanks stand between the words shaped together, and alone.
    m_blankPlain = m_raw.isValid() && m_glyph[u' '] != 0 && shapesPlain(QStringLiteral(" "));
}

// Whether Qt shapes text (with blanks around it) into the character map's
// glyphs, one for each character.
bool TPlainGlyphs::shapesPlain(const QString &text) const
{
    QTextLayout layout(text, m_font);
    layout.beginLayout();
    QTextLine line = layout.createLine();
    if (!line.isValid())
        return false;
    line.setLineWidth(1e9);
    layout.endLayout();
    const QList<QGlyphRun> runs = layout.glyphRuns();
    if (runs.size() != 1 || runs[0].rawFont() != m_raw)
        return false;
    const QVector<quint32> shaped = runs[0].glyphIndexes();
    if (shaped.size() != text.size())
        return false;
    for (int i = 0; i < text.size(); ++i)
        if (shaped[i] != m_glyph[text[i].unicode()])
            return false;
    return true;
}

bool TPlainGlyphs::glyphRun(const QString &text, const QVector<qreal> &x, QGlyphRun &run)
{
    const int n = int(text.size());
    if (!m_blankPlain || n == 0 || x.size() < n)
        return false;
    m_indexes.resize(n);
    for (int i = 0; i < n; ++i) {
        const char16_t c = text[i].unicode();
        if (c >= 256 || m_glyph[c] == 0)
            return false;
        m_indexes[i] = m_glyph[c];
    }
    // The words not known yet, shaped together, blank between them.
    QString unknown;
    QVector<QStringView> unknownWords;
    const QStringView all(text);
    for (int i = 0; i < n;) {
        if (isBlank(text[i])) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && !isBlank(text[end]))
            ++end;
        const QStringView word = all.mid(i, end - i);
        const auto it = m_plain.constFind(word.toString());
        if (it == m_plain.constEnd()) {
            unknownWords << word;
            unknown += word;
            unknown += QLatin1Char(' ');
        } else if (!*it) {
            return false;
        }
        i = end;
    }
    if (!unknownWords.isEmpty()) {
        if (m_plain.size() + unknownWords.size() > kMaxWords)
            m_plain.clear();
        unknown.chop(1);
        if (shapesPlain(unknown)) {
            for (QStringView w : unknownWords)
                m_plain.insert(w.toString(), true);
        } else {
            // One of them is not plain: find out which, one by one.
            bool allPlain = true;
            for (QStringView w : unknownWords) {
                const bool plain = shapesPlain(w.toString());
                m_plain.insert(w.toString(), plain);
                allPlain = allPlain && plain;
            }
            if (!allPlain)
                return false;
        }
    }
    m_positions.resize(n);
    for (int i = 0; i < n; ++i)
        m_positions[i] = QPointF(x[i], 0);
    run = QGlyphRun();
    run.setRawFont(m_raw);
    run.setGlyphIndexes(m_indexes);
    run.setPositions(m_positions);
    return true;
}
