#include "rules/autosquelchrules.h"

#include "core/textcodec.h"

namespace autosquelchrules {

const QString floodingWord = QStringLiteral("Flooding");
const QString highAsciiWord = QStringLiteral("High ASCII");
const QString upperCaseWord = QStringLiteral("Uppercase Characters");
const QString triggerWord = QStringLiteral("Trigger Phrase");
const QString leetNameWord = QStringLiteral("L33t Username");

namespace {
template <class Pred> double percentOf(const QString &text, Pred counts)
{
    if (text.isEmpty())
        return 0.0;
    int n = 0;
    for (const QChar ch : text)
        if (counts(ch))
            ++n;
    return double(n) / double(text.size()) * 100.0;
}
} // namespace

bool isFlood(const QString &firstLine, const QString &secondLine, const QString &thirdLine)
{
    return thirdLine == secondLine && thirdLine == firstLine;
}

double highAsciiPercent(const QString &line)
{
    return percentOf(line, [](QChar ch) { return ch.unicode() > 126; });
}

double upperCasePercent(const QString &line)
{
    return percentOf(line, [](QChar ch) { return ch.unicode() >= 'A' && ch.unicode() <= 'Z'; });
}

bool isLeetChar(QChar ch)
{
    switch (ch.unicode()) {
    case '!':
    case '$':
    case '(':
    case ')':
    case '/':
    case '0':
    case '1':
    case '<':
    case '>':
    case '@':
    case '[':
    case '\\':
    case ']':
    case '^':
    case '`':
    case '{':
    case '|':
    case '}':
    case '~':
        return true;
    default:
        return false;
    }
}

double leetPercent(const QString &name) { return percentOf(name, isLeetChar); }

void addReason(QString &reason, const QString &word)
{
    if (!reason.isEmpty())
        reason += QLatin1Char('/');
    reason += word;
}

QRegularExpression TTriggerCache::compile(const QString &phrase)
{
    QRegularExpression re(phrase, QRegularExpression::DotMatchesEverythingOption);
    re.optimize();
    return re;
}

void TTriggerCache::setPhrases(const QStringList &phrases)
{
    if (phrases == m_phrases)
        return;
    m_phrases = phrases;
    m_active.clear();
    m_active.reserve(size_t(phrases.size()));
    QHash<QString, QRegularExpression> kept;
    QSet<QString> stillReported;
    for (const QString &phrase : phrases) {
        auto it = kept.find(phrase);
        if (it == kept.end()) {
            auto old = m_compiled.constFind(phrase);
            if (old != m_compiled.constEnd()) {
                it = kept.insert(phrase, *old);
            } else {
                it = kept.insert(phrase, compile(phrase));
                ++m_compiles;
            }
        }
        const QRegularExpression &re = it.value();
        if (re.isValid()) {
            m_active.push_back(re);
        } else if (m_reported.contains(phrase)) {
            stillReported.insert(phrase);
        } else if (!stillReported.contains(phrase)) {
            stillReported.insert(phrase);
            m_newErrors.append({phrase, QStringLiteral("%1 at position %2")
                                            .arg(re.errorString())
                                            .arg(re.patternErrorOffset() + 1)});
        }
    }
    m_compiled.swap(kept);
    m_reported.swap(stillReported);
    QSet<QString> stillGivenUp;
    for (const QString &phrase : std::as_const(m_gaveUpReported))
        if (m_compiled.contains(phrase))
            stillGivenUp.insert(phrase);
    m_gaveUpReported.swap(stillGivenUp);
    buildCombined();
}

bool TTriggerCache::combinable(const QString &phrase)
{
    static const QRegularExpression risky(
        QStringLiteral(R"(\\[0-9gkQE]|\(\?(P[=>]|&|R|[0-9+-]|[a-zA-Z^-]*x|C|\||\()|\(\*|#)"));
    return !phrase.contains(risky);
}

void TTriggerCache::buildCombined()
{
    m_alone.clear();
    m_haveCombined = false;
    QStringList branches;
    for (const QString &phrase : m_phrases) {
        const auto it = m_compiled.constFind(phrase);
        if (it == m_compiled.constEnd() || !it->isValid())
            continue;
        if (combinable(phrase))
            branches << QStringLiteral("(?:") + phrase + QLatin1Char(')');
        else
            m_alone.push_back(*it);
    }
    if (branches.size() < 2) {
        m_alone = m_active;
        return;
    }
    m_combined = compile(branches.join(QLatin1Char('|')));
    if (m_combined.isValid()) {
        m_haveCombined = true;
    } else {
        m_alone = m_active;
    }
}

TTriggerCache::Found TTriggerCache::search(const QRegularExpression &re, const QString &line)
{
    const QRegularExpressionMatch m = re.match(line);
    if (m.hasMatch())
        return Found::Yes;
    // Qt hands on an error of the engine during the search (the match limit,
    // the backtracking depth, memory) only as a match that is not valid;
    // for a pattern that compiled, searched from the start, nothing else
    // makes a match invalid.
    return m.isValid() ? Found::No : Found::GaveUp;
}

void TTriggerCache::gaveUpOn(const QString &phrase)
{
    if (m_gaveUpReported.contains(phrase))
        return;
    m_gaveUpReported.insert(phrase);
    m_newErrors.append({phrase, QString(), true});
}

int TTriggerCache::countMatches(const QString &line, QStringList *matched)
{
    if (m_haveCombined) {
        // A match or an engine error among the lone phrases needs the
        // count below anyway (which also reports the error).
        bool count = false;
        for (const QRegularExpression &re : m_alone)
            if (search(re, line) != Found::No) {
                count = true;
                break;
            }
        if (!count && search(m_combined, line) == Found::No)
            return 0;
    }
    int n = 0;
    for (const QRegularExpression &re : m_active) {
        const Found found = search(re, line);
        if (found == Found::Yes) {
            ++n;
            if (matched)
                matched->append(re.pattern());
        } else if (found == Found::GaveUp)
            gaveUpOn(re.pattern());
    }
    return n;
}

QList<TTriggerCache::Invalid> TTriggerCache::takeNewErrors()
{
    QList<Invalid> out;
    out.swap(m_newErrors);
    return out;
}

QString lineVerdict(const TLineRules &rules, TTriggerCache &phrases, const QString &line,
                    bool flood, QStringList *matched)
{
    QString reason;
    if (!longEnough(line, rules.minLineLength))
        return reason;
    if (rules.flooders && flood)
        reason = floodingWord;
    if (rules.highAscii && highAsciiPercent(line) > double(rules.highAsciiPercent))
        addReason(reason, highAsciiWord);
    if (rules.upperCase && upperCasePercent(line) > double(rules.upperCasePercent))
        addReason(reason, upperCaseWord);
    // Phrases work on characters; the shares above count bytes.
    const int matches = phrases.countMatches(TText::decode(line), matched);
    for (int i = 0; i < matches; ++i)
        addReason(reason, triggerWord);
    return reason;
}

} // namespace autosquelchrules
