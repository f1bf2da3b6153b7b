#pragma once
// Every place a text occurs in a transcript, and which of them is the
// current one: what the find bar shows and steps through. Matches are kept
// in transcript order; lines appended while a search is open are searched
// as they come.
#include "rules/transcriptstore.h"

#include <QString>
#include <QVector>

struct TSearchMatch {
    int line;
    int column; // in UTF-16 code units, as the store counts
    int length;
};

class TTranscriptSearch {
public:
    // Finds every occurrence of needle in the store (none for an empty
    // needle). Occurrences do not overlap; each search starts after the
    // last match. No match is current afterwards.
    void start(const TTranscriptStore &store, const QString &needle, Qt::CaseSensitivity cs);
    // Searches the lines from `firstLine` on (lines appended since).
    void extend(const TTranscriptStore &store, int firstLine);
    void clear();
    // The store dropped its lines: the matches go, the needle stays.
    void storeCleared();

    bool isActive() const { return !m_needle.isEmpty(); }
    const QString &needle() const { return m_needle; }
    Qt::CaseSensitivity caseSensitivity() const { return m_cs; }
    int count() const { return int(m_matches.size()); }
    const TSearchMatch &at(int i) const { return m_matches.at(i); }

    // The current match's index, -1 when none is.
    int current() const { return m_current; }
    void setCurrent(int index);
    // The first match on `line` or after it, wrapping to the first of all;
    // -1 when there are none.
    int firstFrom(int line) const;
    // Moves to the next or previous match, wrapping at the ends; with none
    // current, next starts at the first and previous at the last.
    void next();
    void previous();
    // The match next or previous would make current (-1: there are none).
    int stepFrom(bool forward) const;

    // The matches on lines [first, last]: indices [begin, end).
    std::pair<int, int> onLines(int first, int last) const;

    // The occurrences of needle in one line of text (the same rules).
    static void findInText(QStringView text, QStringView needle, Qt::CaseSensitivity cs, int line,
                           QVector<TSearchMatch> &out);

private:
    void searchLines(const TTranscriptStore &store, int from, int to);

    QString m_needle;
    QString m_folded; // the needle case-folded, for the narrow-line search
    Qt::CaseSensitivity m_cs = Qt::CaseInsensitive;
    QVector<TSearchMatch> m_matches;
    int m_current = -1;
    QString m_wide; // a wide line's copy, reused
};
