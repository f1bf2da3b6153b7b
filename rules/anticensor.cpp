#include "rules/anticensor.h"

namespace {
bool isCapitalAt(const QString &text, qsizetype index)
{
    if (index < 0 || index >= text.size())
        return false;
    const QChar c = text.at(index);
    return c >= QLatin1Char('A') && c <= QLatin1Char('Z');
}
} // namespace

tAntiCensorTable makeAntiCensorTable()
{
    // No censored form is part of another, so no pair can break a longer one.
    return {{
        {QStringLiteral("&$@"), QStringLiteral("ass")},
        {QStringLiteral("&&&"), QStringLiteral("fag")},
        {QStringLiteral("!%$"), QStringLiteral("tit")},
        {QStringLiteral("$%&"), QStringLiteral("cum")},
        {QStringLiteral("###&"), QStringLiteral("fuck")},
        {QStringLiteral("@@$%"), QStringLiteral("shit")},
        {QStringLiteral("%@$@"), QStringLiteral("damn")},
        {QStringLiteral("%#$$"), QStringLiteral("cunt")},
        {QStringLiteral("%@&$"), QStringLiteral("dick")},
        {QStringLiteral("&#&%"), QStringLiteral("piss")},
        {QStringLiteral("##&$"), QStringLiteral("cock")},
        {QStringLiteral("#%&%"), QStringLiteral("crap")},
        {QStringLiteral("#@!#"), QStringLiteral("slut")},
        {QStringLiteral("%%$!"), QStringLiteral("twat")},
        {QStringLiteral("&&@%#"), QStringLiteral("bitch")},
        {QStringLiteral("$##@%"), QStringLiteral("whore")},
        {QStringLiteral("$&&@@"), QStringLiteral("pussy")},
        {QStringLiteral("#!@%@"), QStringLiteral("prick")},
        {QStringLiteral("#!$#@#"), QStringLiteral("fucker")},
        {QStringLiteral("&@&&$&"), QStringLiteral("wanker")},
        {QStringLiteral("!!%@%#"), QStringLiteral("pissed")},
        {QStringLiteral("&#!%%$%"), QStringLiteral("asshole")},
        {QStringLiteral("@@$$%$@"), QStringLiteral("bastard")},
        {QStringLiteral("%#%#@#!"), QStringLiteral("dumbass")},
        {QStringLiteral("#!&@@@#"), QStringLiteral("jackass")},
        {QStringLiteral("%%&#&@&&"), QStringLiteral("bullshit")},
        {QStringLiteral("$!$%####"), QStringLiteral("dickhead")},
        {QStringLiteral("$%%%$#@@#"), QStringLiteral("horseshit")},
        {QStringLiteral("!!#!%%&##"), QStringLiteral("douchebag")},
    }};
}

QString applyAntiCensor(const tAntiCensor *pairs, std::size_t count, const QString &text)
{
    // Most lines hold none of the characters a censored form begins with,
    // and looking for one character is far cheaper than for a whole form.
    bool maybe = false;
    for (std::size_t i = 0; i < count && !maybe; ++i)
        maybe = !pairs[i].censored.isEmpty() && text.contains(pairs[i].censored.at(0));
    if (!maybe)
        return text;
    QString result = text;
    for (std::size_t i = 0; i < count; ++i) {
        const tAntiCensor &pair = pairs[i];
        if (pair.censored.isEmpty())
            continue;
        // Judged on the text as received: an earlier pair's rewriting must
        // not move the letters this one looks at.
        const qsizetype at = text.indexOf(pair.censored, 0, Qt::CaseSensitive);
        if (at < 0)
            continue;
        const qsizetype n = pair.censored.size();
        const bool capitals = isCapitalAt(text, at - 2) || isCapitalAt(text, at + n + 1);
        const QString replacement = capitals ? pair.word.toUpper() : pair.word;
        result.replace(pair.censored, replacement, Qt::CaseInsensitive);
    }
    return result;
}
