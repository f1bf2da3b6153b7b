#include "rules/triggertester.h"

#include "core/textcodec.h"

namespace triggertester {

using namespace autosquelchrules;

Found search(const QRegularExpression &re, const QString &text)
{
    const QRegularExpressionMatch m = re.match(text);
    if (m.hasMatch())
        return Found::Yes;
    // As the automatic squelch reads it: a compiled pattern's match is
    // invalid only when the engine gave up.
    return m.isValid() ? Found::No : Found::GaveUp;
}

Result evaluate(const QString &pattern, const QString &sampleBytes, const QStringList &phrases,
                const TLineRules &rules, const std::vector<JudgedLine> &lines)
{
    Result r;
    r.empty = pattern.isEmpty();
    QStringList all = phrases;
    if (!r.empty) {
        const QRegularExpression re = TTriggerCache::compile(pattern);
        r.valid = re.isValid();
        if (!r.valid) {
            r.error = re.errorString();
            r.errorOffset = int(re.patternErrorOffset());
        } else {
            r.sample = search(re, TText::decode(sampleBytes));
            for (int i = 0; i < int(lines.size()); ++i) {
                const Found f = search(re, TText::decode(lines[size_t(i)].text));
                if (f == Found::Yes)
                    r.matchedLines.push_back(i);
                else if (f == Found::GaveUp)
                    ++r.gaveUpLines;
            }
            all << pattern;
        }
    }
    TTriggerCache cache;
    cache.setPhrases(all);
    cache.takeNewErrors(); // invalid phrases are skipped, as by the automatic squelch
    r.verdict = lineVerdict(rules, cache, sampleBytes, false);
    for (const TTriggerCache::Invalid &bad : cache.takeNewErrors())
        if (bad.gaveUp)
            r.verdictGaveUp = true;
    return r;
}

QString verdictText(const Result &result)
{
    return result.verdict.isEmpty() ? QStringLiteral("would pass")
                                    : QStringLiteral("would squelch: ") + result.verdict;
}

} // namespace triggertester
