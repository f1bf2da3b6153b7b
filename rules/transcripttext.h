#pragma once
// The transcript as a screen reader reads it: one text whose lines are
// joined by a line feed, addressed by character offsets. Every question is
// answered from the line store itself, reading only the lines it touches,
// so a query in the middle of a million lines costs what a query in a short
// transcript costs.
#include "rules/transcriptstore.h"

#include <QAccessible>
#include <QString>

namespace TTranscriptText {

struct Pos {
    int line = 0;
    int column = 0;
};

// The line and column of an offset (clamped to the text; the separator
// after a line is its column lineLength).
Pos posOf(const TTranscriptStore &store, qint64 offset);
// The offset of a line and column (both clamped).
qint64 offsetOf(const TTranscriptStore &store, int line, int column);

// The characters in [start, end), clamped to the text.
QString text(const TTranscriptStore &store, qint64 start, qint64 end);

// The piece of text of the given kind at, before or after offset, and
// where it lies. A line includes the separator that ends it. Words and
// sentences are found within the line. The end of the text counts as in
// its last line and word; an offset outside the text gives an empty piece.
QString textAt(const TTranscriptStore &store, qint64 offset, QAccessible::TextBoundaryType kind,
               qint64 *start, qint64 *end);
QString textBefore(const TTranscriptStore &store, qint64 offset, QAccessible::TextBoundaryType kind,
                   qint64 *start, qint64 *end);
QString textAfter(const TTranscriptStore &store, qint64 offset, QAccessible::TextBoundaryType kind,
                  qint64 *start, qint64 *end);

} // namespace TTranscriptText
