#include "rules/transcriptsearch.h"

#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif

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

// The bytes a needle's first character can be in a narrow line: those that
// fold to it (without case) or are it (with case). Usually one or two.
struct FirstBytes {
    uchar bytes[4];
    int count = 0; // more than 4: every byte is tried
};

FirstBytes firstBytesOf(char16_t first, Qt::CaseSensitivity cs)
{
    FirstBytes f;
    const char16_t *fold = foldTable().fold;
    for (int b = 0; b < 256; ++b) {
        if (cs == Qt::CaseSensitive ? b != first : fold[b] != first)
            continue;
        if (f.count < 4)
            f.bytes[f.count] = uchar(b);
        ++f.count;
    }
    return f;
}

// Whether the needle matches at d (the first byte is known to).
inline bool restMatches(const uchar *d, const char16_t *want, int m, Qt::CaseSensitivity cs)
{
    const char16_t *fold = foldTable().fold;
    int k = 1;
    if (cs == Qt::CaseSensitive)
        while (k < m && d[k] == want[k])
            ++k;
    else
        while (k < m && fold[d[k]] == want[k])
            ++k;
    return k == m;
}

// Occurrences of needle in a line held as Latin-1 bytes. A byte matches a
// needle character when both fold to the same character, as Qt compares
// without case; with case, when they are the same character. Candidates
// for the first character are found sixteen bytes at a time.
void findNarrow(const char *data, int length, int m, const char16_t *want, const FirstBytes &first,
                Qt::CaseSensitivity cs, int line, QVector<TSearchMatch> &out)
{
    if (length < m || first.count == 0)
        return;
    const uchar *d = reinterpret_cast<const uchar *>(data);
    const int last = length - m; // the last place a match can start
    int i = 0;
    const auto isFirst = [&](uchar b) {
        for (int k = 0; k < first.count; ++k)
            if (b == first.bytes[k])
                return true;
        return false;
    };
#ifdef __SSE2__
    if (first.count <= 2) {
        const __m128i a = _mm_set1_epi8(char(first.bytes[0]));
        const __m128i b = _mm_set1_epi8(char(first.bytes[first.count - 1]));
        while (i + 16 <= length && i <= last) {
            const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(d + i));
            unsigned mask = unsigned(
                _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, a), _mm_cmpeq_epi8(v, b))));
            int next = i + 16;
            while (mask) {
                const int at = i + __builtin_ctz(mask);
                mask &= mask - 1;
                if (at > last)
                    break;
                if (restMatches(d + at, want, m, cs)) {
                    out.append({line, at, m});
                    // Matches do not overlap: go on after this one.
                    next = at + m;
                    break;
                }
            }
            i = next;
        }
    }
#endif
    for (; i <= last; ++i) {
        const bool candidate = first.count <= 4          ? isFirst(d[i])
                               : cs == Qt::CaseSensitive ? d[i] == want[0]
                                                         : foldTable().fold[d[i]] == want[0];
        if (!candidate)
            continue;
        if (restMatches(d + i, want, m, cs)) {
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
    const QString &want = m_cs == Qt::CaseSensitive ? m_needle : m_folded;
    const FirstBytes first = narrowWay ? firstBytesOf(want.at(0).unicode(), m_cs) : FirstBytes();
    const int m = int(m_needle.size());
    for (int i = std::max(0, from); i < to; ++i) {
        const TTranscriptStore::LineRef l = store.line(i);
        if (l.length < m)
            continue;
        if (!l.wide && narrowWay) {
            findNarrow(l.data, l.length, m, reinterpret_cast<const char16_t *>(want.constData()),
                       first, m_cs, i, m_matches);
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

int TTranscriptSearch::stepFrom(bool forward) const
{
    if (m_matches.isEmpty())
        return -1;
    if (forward)
        return m_current < 0 || m_current + 1 >= count() ? 0 : m_current + 1;
    return m_current <= 0 ? count() - 1 : m_current - 1;
}

void TTranscriptSearch::next() { m_current = stepFrom(true); }

void TTranscriptSearch::previous() { m_current = stepFrom(false); }

std::pair<int, int> TTranscriptSearch::onLines(int first, int last) const
{
    const auto byLine = [](const TSearchMatch &m, int l) { return m.line < l; };
    const auto b = std::lower_bound(m_matches.cbegin(), m_matches.cend(), first, byLine);
    const auto e = std::lower_bound(b, m_matches.cend(), last + 1, byLine);
    return {int(b - m_matches.cbegin()), int(e - m_matches.cbegin())};
}
