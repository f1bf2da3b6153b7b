#include "rules/inputbreaks.h"

namespace TInputBreaks {
namespace {

bool isBreak(QChar c)
{
    const char16_t u = c.unicode();
    return u == u'\r' || u == u'\n' || u == u'\u2028' || u == u'\u2029';
}

// Each break (CR LF counting as one) replaced by with.
QString replaceBreaks(const QString &text, QChar with, int *cursor)
{
    QString out;
    out.reserve(text.size());
    const int oldCursor = cursor ? *cursor : 0;
    int newCursor = oldCursor;
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (i == oldCursor)
            newCursor = int(out.size());
        const QChar c = text.at(i);
        if (!isBreak(c)) {
            out += c;
            continue;
        }
        out += with;
        if (c == QLatin1Char('\r') && i + 1 < text.size() && text.at(i + 1) == QLatin1Char('\n')) {
            ++i;
            if (i == oldCursor)
                newCursor = int(out.size());
        }
    }
    if (oldCursor >= text.size())
        newCursor = int(out.size());
    if (cursor)
        *cursor = newCursor;
    return out;
}

bool hasBreak(const QString &text)
{
    for (const QChar c : text)
        if (isBreak(c))
            return true;
    return false;
}

} // namespace

QString mark(const QString &text, int *cursor)
{
    if (!hasBreak(text))
        return text;
    return replaceBreaks(text, QChar(marker), cursor);
}

QStringList linesOf(const QString &text) { return text.split(QChar(marker)); }

QString breaksToSpaces(const QString &text)
{
    if (!hasBreak(text))
        return text;
    return replaceBreaks(text, QLatin1Char(' '), nullptr);
}

} // namespace TInputBreaks

QValidator::State TLineBreakValidator::validate(QString &input, int &pos) const
{
    input = TInputBreaks::mark(input, &pos);
    return Acceptable;
}
