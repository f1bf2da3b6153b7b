#include "rules/transcriptsearch.h"

#include <algorithm>

namespace {

// Case-folded Latin-1: what a byte of a narrow line compares as.
struct FoldTable {
    char16_t fold[256];
    FoldTable()
    {
        for (int b = 0; b < 256; ++b)
            fold[b] = QChar(char16_t(b)).toCaseFolded().unicode();
    }
};
const FoldTable &foldTable()
{
    static const FoldTable table;
    return table;
}

// Occurrences of needle in a line held as Latin-1 bytes. A byte matches a
// needle character when both fold to the same character, as Qt compares
// without case; with case, when they are the same character.
void findNarrow(const char *data, int length, QStringView needle, QStringView folded,
                Qt::CaseSensitivity cs, int line, QVector<TSearchMatch> &out)
{
    const int m = int(needle.size());
    if (length < m)
        return;
    const uchar *d = reinterpret_cast<const uchar *>(data);
    const char16_t *want = cs == Qt::CaseSensitive ? needle.utf16() : folded.utf16();
    const char16_t *fold = foldTable().fold;
    const char16_t first = want[0];
    const int last = length - m;
    if (cs == Qt::CaseSensitive) {
        if (first > 0xFF)
            return; // no byte is that character
        for (int i = 0; i <= last; ++i) {
            if (d[i] != first)
                continue;
            int k = 1;
            while (k < m && d[i + k] == want[k])
                ++k;
            if (k == m) {
                out.append({line, i, m});
                i += m - 1;
            }
        }
        return;
    }
    for (int i = 0; i <= last; ++i) {
        if (fold[d[i]] != first)
            continue;
        int k = 1;
        while (k < m && fold[d[i + k]] == want[k])
            ++k;
        if (k == m) {
            out.append({line, i, m});
            i += m - 1;
        }
    }
}

} // namespace

void TTranscriptSearch::findInText(QStringView text, QStringView needle, Qt::CaseSensitivity cs,
                                   int line, QVector<TSearchMatch> &out)
{
    if (needle.isEmpty())
        return;
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(needle, from, cs);
        if (at < 0)
            return;
        out.append({line, int(at), int(needle.size())});
        from = at + needle.size();
    }
}

void TTranscriptSearch::start(const TTranscriptStore &store, const QString &needle,
                              Qt::CaseSensitivity cs)
{
    m_needle = needle;
    m_cs = cs;
    m_folded = needle.toCaseFolded();
    // Folding keeps the length for nearly every character; a needle whose
    // folded form is longer (a ligature) is searched the general way.
    if (m_folded.size() != needle.size())
        m_folded.clear();
    m_matches.clear();
    m_current = -1;
    searchLines(store, 0, store.lineCount());
}

void TTranscriptSearch::extend(const TTranscriptStore &store, int firstLine)
{
    if (!isActive())
        return;
    // Matches are kept in order: lines already searched are not again.
    const int from =
        m_matches.isEmpty() ? firstLine : std::max(firstLine, m_matches.last().line + 1);
    searchLines(store, from, store.lineCount());
}

void TTranscriptSearch::searchLines(const TTranscriptStore &store, int from, int to)
{
    if (m_needle.isEmpty())
        return;
    const bool narrowWay = !m_folded.isEmpty() || m_cs == Qt::CaseSensitive;
    for (int i = std::max(0, from); i < to; ++i) {
        const TTranscriptStore::LineRef l = store.line(i);
        if (l.length < m_needle.size())
            continue;
        if (!l.wide && narrowWay) {
            findNarrow(l.data, l.length, m_needle, m_folded, m_cs, i, m_matches);
            continue;
        }
        if (!l.wide) {
            findInText(QString::fromLatin1(l.data, l.length), m_needle, m_cs, i, m_matches);
            continue;
        }
        m_wide = store.lineText(i);
        findInText(m_wide, m_needle, m_cs, i, m_matches);
    }
}

void TTranscriptSearch::clear()
{
    m_needle.clear();
    m_folded.clear();
    m_matches.clear();
    m_matches.squeeze();
    m_current = -1;
}

void TTranscriptSearch::storeCleared()
{
    m_matches.clear();
    m_current = -1;
}

void TTranscriptSearch::setCurrent(int index)
{
    m_current = index >= 0 && index < count() ? index : -1;
}

int TTranscriptSearch::firstFrom(int line) const
{
    if (m_matches.isEmpty())
        return -1;
    const auto it = std::lower_bound(m_matches.cbegin(), m_matches.cend(), line,
                                     [](const TSearchMatch &m, int l) { return m.line < l; });
    return it == m_matches.cend() ? 0 : int(it - m_matches.cbegin());
}

void TTranscriptSearch::next()
{
    if (m_matches.isEmpty())
        return;
    m_current = m_current < 0 || m_current + 1 >= count() ? 0 : m_current + 1;
}

void TTranscriptSearch::previous()
{
    if (m_matches.isEmpty())
        return;
    m_current = m_current <= 0 ? count() - 1 : m_current - 1;
}

std::pair<int, int> TTranscriptSearch::onLines(int first, int last) const
{
    const auto byLine = [](const TSearchMatch &m, int l) { return m.line < l; };
    const auto b = std::lower_bound(m_matches.cbegin(), m_matches.cend(), first, byLine);
    const auto e = std::lower_bound(b, m_matches.cend(), last + 1, byLine);
    return {int(b - m_matches.cbegin()), int(e - m_matches.cbegin())};
}
