#include "mainwindow/autosquelchrules.h"

namespace autosquelchrules {

const QString floodingWord = QStringLiteral("Flooding");
const QString highAsciiWord = QStringLiteral("High ASCII");
const QString upperCaseWord = QStringLiteral("Uppercase Characters");
const QString triggerWord = QStringLiteral("Trigger Phrase");
const QString leetNameWord = QStringLiteral("L33t Username");

namespace {
template <class Pred> double percentOf(const QString &text, Pred counts) {
    if (text.isEmpty()) return 0.0;
    int n = 0;
    for (const QChar ch : text)
        if (counts(ch)) ++n;
    return double(n) / double(text.size()) * 100.0;
}
} // namespace

bool isFlood(const QString &firstLine, const QString &secondLine, const QString &thirdLine) {
    return thirdLine == secondLine && thirdLine == firstLine;
}

double highAsciiPercent(const QString &line) {
    return percentOf(line, [](QChar ch) { return ch.unicode() > 126; });
}

double upperCasePercent(const QString &line) {
    return percentOf(line, [](QChar ch) { return ch.unicode() >= 'A' && ch.unicode() <= 'Z'; });
}

bool isLeetChar(QChar ch) {
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

double leetPercent(const QString &name) {
    return percentOf(name, isLeetChar);
}

void addReason(QString &reason, const QString &word) {
    if (!reason.isEmpty()) reason += QLatin1Char('/');
    reason += word;
}

QRegularExpression TTriggerCache::compile(const QString &phrase) {
    QRegularExpression re(phrase, QRegularExpression::DotMatchesEverythingOption);
    re.optimize();
    return re;
}

void TTriggerCache::setPhrases(const QStringList &phrases) {
    if (phrases == m_phrases) return;
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
    buildCombined();
}

bool TTriggerCache::combinable(const QString &phrase) {
    static const QRegularExpression risky(QStringLiteral(
        R"(\\[0-9gkQE]|\(\?(P[=>]|&|R|[0-9+-]|[a-zA-Z^-]*x|C|\||\()|\(\*|#)"));
    return !phrase.contains(risky);
}

void TTriggerCache::buildCombined() {
    m_alone.clear();
    m_haveCombined = false;
    QStringList branches;
    for (const QString &phrase : m_phrases) {
        const auto it = m_compiled.constFind(phrase);
        if (it == m_compiled.constEnd() || !it->isValid()) continue;
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

int TTriggerCache::countMatches(const QString &line) const {
    if (m_haveCombined) {
        bool any = false;
        for (const QRegularExpression &re : m_alone)
            if (re.match(line).hasMatch()) {
                any = true;
                break;
            }
        if (!any && !m_combined.match(line).hasMatch()) return 0;
    }
    int n = 0;
    for (const QRegularExpression &re : m_active)
        if (re.match(line).hasMatch()) ++n;
    return n;
}

QList<TTriggerCache::Invalid> TTriggerCache::takeNewErrors() {
    QList<Invalid> out;
    out.swap(m_newErrors);
    return out;
}

} // namespace autosquelchrules
