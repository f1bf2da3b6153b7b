#pragma once
// Where a search's words are in a line, to mark them in the results. The
// words are read from the search as FTS5 reads it: words and "phrases"
// match whole words, prefix* the start of a word; AND, OR and NOT are no
// words, and a word after NOT (or a leading -) is not marked. Letters are
// compared without case, as FTS5's unicode61 tokenizer does.
#include <QString>
#include <QStringList>
#include <QVector>

namespace THistory {

struct Span {
    int start = 0;
    int length = 0;
    bool operator==(const Span &o) const { return start == o.start && length == o.length; }
};

// The words to look for; a word ending in '*' is a prefix.
QStringList matchTerms(const QString &query);
// The places in text where any of terms is, in order, none overlapping.
QVector<Span> matchSpans(const QStringList &terms, const QString &text);

} // namespace THistory
