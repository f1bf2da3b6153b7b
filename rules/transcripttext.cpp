#include "rules/transcripttext.h"

#include <algorithm>

namespace TTranscriptText {

namespace {

bool isBlank(char16_t c) { return c == ' ' || c == '\t'; }

// A word starts where a character that is not blank follows a blank (or the
// line's start), and runs up to the next word's start: the blanks after a
// word belong to it, as screen readers expect.
bool wordStartsAt(const TTranscriptStore::LineRef &l, int k)
{
    return k == 0 || k >= l.length || (isBlank(l.at(k - 1)) && !isBlank(l.at(k)));
}

// The piece of the given kind that holds offset, as [start, end).
bool pieceAt(const TTranscriptStore &store, qint64 offset, QAccessible::TextBoundaryType kind,
             qint64 &start, qint64 &end)
{
    const qint64 count = store.characterCount();
    // The end of the text (a caret after the last character) is in the last
    // line and word; only a character needs one to be there.
    if (offset == count && count > 0 && kind != QAccessible::CharBoundary) {
        if (store.lineLength(store.lineCount() - 1) == 0) {
            start = end = count; // an empty last line
            return true;
        }
        --offset;
    }
    if (offset < 0 || offset >= count)
        return false;
    if (kind == QAccessible::NoBoundary) {
        start = 0;
        end = count;
        return true;
    }
    const Pos p = posOf(store, offset);
    const qint64 lineStart = store.offsetOfLine(p.line);
    const TTranscriptStore::LineRef l = store.line(p.line);
    // The separator after a line stands alone for characters and words.
    if (p.column >= l.length && kind != QAccessible::LineBoundary &&
        kind != QAccessible::SentenceBoundary && kind != QAccessible::ParagraphBoundary) {
        start = offset;
        end = offset + 1;
        return true;
    }
    switch (kind) {
    case QAccessible::CharBoundary: {
        int to = p.column + 1;
        if (QChar::isHighSurrogate(l.at(p.column)) && to < l.length &&
            QChar::isLowSurrogate(l.at(to)))
            ++to;
        start = offset;
        end = lineStart + to;
        return true;
    }
    case QAccessible::WordBoundary: {
        int from = p.column;
        while (!wordStartsAt(l, from))
            --from;
        int to = p.column + 1;
        while (!wordStartsAt(l, to))
            ++to;
        start = lineStart + from;
        end = lineStart + to;
        return true;
    }
    default: // lines, and sentences and paragraphs, which a chat line is
        start = lineStart;
        end = std::min(count, store.offsetOfLine(p.line + 1));
        return true;
    }
}

QString piece(const TTranscriptStore &store, bool found, qint64 from, qint64 to, qint64 *start,
              qint64 *end)
{
    if (!found)
        from = to = 0;
    if (start)
        *start = from;
    if (end)
        *end = to;
    return found ? text(store, from, to) : QString();
}

} // namespace

Pos posOf(const TTranscriptStore &store, qint64 offset)
{
    const int line = store.lineAtOffset(offset);
    if (store.lineCount() == 0)
        return {};
    const qint64 column =
        std::clamp<qint64>(offset - store.offsetOfLine(line), 0, store.lineLength(line));
    return {line, int(column)};
}

qint64 offsetOf(const TTranscriptStore &store, int line, int column)
{
    const int n = store.lineCount();
    if (n == 0 || line < 0)
        return 0;
    if (line >= n)
        return store.characterCount();
    return store.offsetOfLine(line) + std::clamp(column, 0, store.lineLength(line));
}

QString text(const TTranscriptStore &store, qint64 start, qint64 end)
{
    const qint64 count = store.characterCount();
    start = std::clamp<qint64>(start, 0, count);
    end = std::clamp<qint64>(end, 0, count);
    if (end <= start)
        return QString();
    const Pos a = posOf(store, start);
    const Pos b = posOf(store, end);
    return store.text(a.line, a.column, b.line, b.column, u"\n");
}

QString textAt(const TTranscriptStore &store, qint64 offset, QAccessible::TextBoundaryType kind,
               qint64 *start, qint64 *end)
{
    qint64 from = 0, to = 0;
    const bool found = pieceAt(store, offset, kind, from, to);
    return piece(store, found, from, to, start, end);
}

QString textBefore(const TTranscriptStore &store, qint64 offset, QAccessible::TextBoundaryType kind,
                   qint64 *start, qint64 *end)
{
    qint64 from = 0, to = 0;
    const qint64 count = store.characterCount();
    bool found;
    if (offset == count && kind == QAccessible::CharBoundary) // the last character
        found = count > 0 && pieceAt(store, count - 1, kind, from, to);
    else // the piece before the one that holds offset
        found = pieceAt(store, offset, kind, from, to) && from > 0 &&
                pieceAt(store, from - 1, kind, from, to);
    return piece(store, found, from, to, start, end);
}

QString textAfter(const TTranscriptStore &store, qint64 offset, QAccessible::TextBoundaryType kind,
                  qint64 *start, qint64 *end)
{
    qint64 from = 0, to = 0;
    bool found = pieceAt(store, offset, kind, from, to);
    if (found)
        found = to < store.characterCount() && pieceAt(store, to, kind, from, to);
    return piece(store, found, from, to, start, end);
}

} // namespace TTranscriptText
