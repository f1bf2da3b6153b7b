#pragma once
// Text drawn as glyphs straight from the font's character map, where that
// is exactly what shaping the text would draw.
//
// A transcript line is drawn piece by piece (a colour, a link, a
// selection), and QPainter::drawText shapes every piece with HarfBuzz,
// which in a busy channel is a good part of what a new line costs. Text in
// the first 256 characters mostly comes out of shaping as one glyph per
// character, the character map's, at the font's own advance (kerning is
// off in the panes). Not always: a font may join "fi" or "->" into one
// glyph, or draw a soft hyphen as nothing. So each word is shaped once, by
// Qt itself, and remembered as plain or not; a piece is drawn as plain
// glyphs only if every word in it is plain, and shaped as before otherwise.
// The pictures are the same.
#include <QFont>
#include <QGlyphRun>
#include <QHash>
#include <QRawFont>
#include <QString>
#include <QVector>

class TPlainGlyphs {
public:
    // The font the pieces are drawn in (with kerning off); forgets all it
    // knew of the last one.
    void setFont(const QFont &font);

    // The glyph run for text (display characters) whose characters start at
    // the x positions given (relative to the run's origin), or false if the
    // text must be shaped. Words not seen yet are shaped here, together.
    bool glyphRun(const QString &text, const QVector<qreal> &x, QGlyphRun &run);

    // Words remembered (the tests look).
    int knownWords() const { return int(m_plain.size()); }

private:
    bool shapesPlain(const QString &text) const;

    QFont m_font;
    QRawFont m_raw;
    quint32 m_glyph[256] = {}; // 0: the font has no glyph for it
    bool m_blankPlain = false;
    QHash<QString, bool> m_plain;
    QVector<quint32> m_indexes;
    QVector<QPointF> m_positions;
};
