#include "history/historymatch.h"

#include <algorithm>

namespace THistory {
namespace {
// A character of a word as FTS5's default tokenizer sees it.
bool wordChar(QChar c) { return c.isLetterOrNumber() || c.category() == QChar::Mark_NonSpacing; }
} // namespace

QStringList matchTerms(const QString &query)
{
    QStringList terms;
    bool negated = false;
    const int n = int(query.size());
    for (int i = 0; i < n;) {
        const QChar c = query.at(i);
        if (c == QLatin1Char('-') && (i + 1 < n) && wordChar(query.at(i + 1))) {
            negated = true;
            ++i;
            continue;
        }
        if (!wordChar(c)) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && wordChar(query.at(end)))
            ++end;
        QString word = query.mid(i, end - i);
        const bool prefix = end < n && query.at(end) == QLatin1Char('*');
        i = prefix ? end + 1 : end;
        if (word == QLatin1String("AND") || word == QLatin1String("OR") ||
            word == QLatin1String("NEAR"))
            continue;
        if (word == QLatin1String("NOT")) {
            negated = true;
            continue;
        }
        // A column filter ("text:word") names no word to mark.
        if (end < n && query.at(end) == QLatin1Char(':'))
            continue;
        if (negated) {
            negated = false;
            continue;
        }
        word = word.toCaseFolded();
        if (prefix)
            word += QLatin1Char('*');
        if (!terms.contains(word))
            terms << word;
    }
    return terms;
}

QVector<Span> matchSpans(const QStringList &terms, const QString &text)
{
    QVector<Span> spans;
    if (terms.isEmpty())
        return spans;
    const int n = int(text.size());
    for (int i = 0; i < n;) {
        if (!wordChar(text.at(i))) {
            ++i;
            continue;
        }
        int end = i;
        while (end < n && wordChar(text.at(end)))
            ++end;
        const QString word = text.mid(i, end - i).toCaseFolded();
        int best = 0;
        for (const QString &t : terms) {
            if (t.endsWith(QLatin1Char('*'))) {
                const QStringView stem = QStringView(t).chopped(1);
                if (word.startsWith(stem))
                    best = std::max(best, int(word.size()));
            } else if (word == t) {
                best = int(word.size());
            }
        }
        if (best > 0)
            spans.append({i, end - i});
        i = end;
    }
    return spans;
}

} // namespace THistory
