#pragma once
// The lines of a transcript and their colours, with no widget: what the
// transcript pane paints from, and what a search through it reads.
//
// Lines live in one arena with an offset per line, and their colours as a
// few (end, colour) runs per line in a side table; nothing per line is an
// object of its own. A line whose characters all lie below U+0100 (every
// ASCII line among them) takes one byte per character; any other line takes
// two (UTF-16), marked by a flag in its end offset. Columns count UTF-16
// code units, so a character outside the BMP takes two columns.
#include "rules/colourrun.h"

#include <QColor>
#include <QList>
#include <QRgb>
#include <QString>
#include <QStringView>

#include <cstring>

class TTranscriptStore {
public:
    // Colour from the previous run's end (or the line's start) up to `end`.
    struct Run {
        quint32 end; // column after the run's last character
        QRgb colour;
    };
    // The runs of one line, in column order; together they cover the line.
    struct Runs {
        const Run *first;
        const Run *last; // one past the end
    };
    // The characters of one line as stored; valid until the next append or
    // clear.
    struct LineRef {
        const char *data;
        int length;
        bool wide;
        char16_t at(int k) const
        {
            if (!wide)
                return uchar(data[k]);
            char16_t c;
            std::memcpy(&c, data + 2 * qsizetype(k), sizeof c);
            return c;
        }
    };

    TTranscriptStore() = default;
    ~TTranscriptStore();
    TTranscriptStore(const TTranscriptStore &) = delete;
    TTranscriptStore &operator=(const TTranscriptStore &) = delete;

    // Appends one line; runs colour consecutive characters from the start of
    // the text (empty and negative runs are skipped, an invalid colour and
    // any rest of the text take `fallback`, whatever runs past the text is
    // dropped).
    void append(const QString &text, const QList<TColourRun> &runs, QRgb fallback);
    // Drops every line and gives the memory back.
    void clear();

    int lineCount() const { return int(m_lineStart.size()) - 1; }
    // line() and runs() want a line that exists (0 <= line < lineCount()).
    LineRef line(int line) const
    {
        const qint64 from = offsetOf(line);
        const qint64 bytes = offsetOf(line + 1) - from;
        const bool wide = isWide(line);
        return {m_text + from, int(wide ? bytes / 2 : bytes), wide};
    }
    int lineLength(int line) const { return this->line(line).length; }
    Runs runs(int line) const
    {
        return {m_runs.constData() + m_firstRun[line], m_runs.constData() + m_firstRun[line + 1]};
    }

    // Empty outside the store.
    QString lineText(int line) const;
    // Colour of one character as stored; invalid outside the text.
    QColor colourAt(int line, int column) const;
    // All lines joined by CR LF, none after the last.
    QString plainText() const;
    // The text from (fromLine, fromColumn) up to (toLine, toColumn), lines
    // joined by `separator`. Columns are clamped to their lines; a start
    // before the first line starts at its beginning, an end after the last
    // line ends at its end. Empty when the end does not come after the start.
    QString text(int fromLine, int fromColumn, int toLine, int toColumn,
                 QStringView separator) const;

    // The transcript as one text, its lines joined by one separator
    // character each (as a screen reader reads it). Offsets come from a
    // running sum of the line lengths kept as lines are appended, so each of
    // these costs the same with ten lines or a million.
    qint64 characterCount() const
    {
        const int n = lineCount();
        return n == 0 ? 0 : m_charEnd[n] + n - 1;
    }
    // Where line starts; characterCount() (or 0) for a line past the end.
    qint64 offsetOfLine(int line) const
    {
        if (line <= 0)
            return 0;
        if (line >= lineCount())
            return characterCount();
        return m_charEnd[line] + line;
    }
    // The line the character at offset belongs to (its separator counts
    // with it); clamped to the lines there are, 0 when there are none.
    int lineAtOffset(qint64 offset) const;

    // A marked line (one that mentions the user) is drawn on a background
    // of its own. Lines start unmarked.
    void setMarked(int line, bool marked);
    bool isMarked(int line) const
    {
        return line >= 0 && line < lineCount() && (m_lineStart[line + 1] & kMarkedLine);
    }

    // Puts c in place of the character at column of line (the length and
    // colours stay); false, changing nothing, outside the text or when a
    // line stored a byte a character cannot hold c.
    bool replaceChar(int line, int column, QChar c);

    // Bytes held (text, line index, colours), spare capacity included.
    qsizetype bytes() const;
    // The part of that in use (what the lines themselves take).
    qsizetype bytesUsed() const;

private:
    // Flags kept in the entry after the line's start.
    static constexpr qint64 kWideLine = qint64(1) << 62;
    static constexpr qint64 kMarkedLine = qint64(1) << 61;
    qint64 offsetOf(int entry) const { return m_lineStart[entry] & ~(kWideLine | kMarkedLine); }
    bool isWide(int line) const { return m_lineStart[line + 1] & kWideLine; }
    void appendText(const QString &text);
    // Writes columns [from, to) of l at d, returns the end.
    static QChar *copyOut(const LineRef &l, int from, int to, QChar *d);

    // The text arena is grown with realloc, which moves large blocks by
    // remapping pages instead of copying them.
    char *m_text = nullptr;
    qsizetype m_textSize = 0;
    qsizetype m_textCapacity = 0;
    QList<qint64> m_lineStart{0}; // one more entry than lines
    QList<quint32> m_firstRun{0}; // likewise, into m_runs
    QList<qint64> m_charEnd{0};   // likewise: characters of the lines before
    QList<Run> m_runs;
};
