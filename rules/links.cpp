#include "rules/links.h"

namespace {
bool wordChar(QChar c) { return c.isLetterOrNumber() || c == QLatin1Char('_'); }

// Whether name, found at `at` in text, stands as a word there. The name's
// own edges count only when they are word characters.
bool wholeWordAt(QStringView text, QStringView name, qsizetype at)
{
    const qsizetype after = at + name.size();
    return (at == 0 || !wordChar(name.front()) || !wordChar(text.at(at - 1))) &&
           (after == text.size() || !wordChar(name.back()) || !wordChar(text.at(after)));
}

bool startsAt(QStringView text, qsizetype i, QLatin1String what)
{
    return text.mid(i).startsWith(what, Qt::CaseInsensitive);
}

// Characters that end an address when they are its last ones.
bool trailing(QChar c)
{
    switch (c.unicode()) {
    case '.':
    case ',':
    case ';':
    case ':':
    case '!':
    case '?':
    case '\'':
    case '"':
    case ')':
    case ']':
    case '}':
    case '>':
    case '*':
        return true;
    default:
        return false;
    }
}

QChar opening(QChar close)
{
    switch (close.unicode()) {
    case ')':
        return QLatin1Char('(');
    case ']':
        return QLatin1Char('[');
    case '}':
        return QLatin1Char('{');
    default:
        return QChar();
    }
}
} // namespace

QUrl TLinkSpan::url() const
{
    if (text.startsWith(QLatin1String("www."), Qt::CaseInsensitive))
        return QUrl(QStringLiteral("http://") + text, QUrl::TolerantMode);
    return QUrl(text, QUrl::TolerantMode);
}

QList<TLinkSpan> TLinks::find(QStringView text)
{
    QList<TLinkSpan> out;
    const qsizetype n = text.size();
    qsizetype i = 0;
    while (i < n) {
        // Only h and w can start one; most lines have neither at a word start.
        const QChar c = text.at(i);
        const bool candidate = (c == QLatin1Char('h') || c == QLatin1Char('H') ||
                                c == QLatin1Char('w') || c == QLatin1Char('W')) &&
                               (i == 0 || !wordChar(text.at(i - 1)));
        qsizetype prefix = 0;
        if (candidate) {
            if (startsAt(text, i, QLatin1String("https://")))
                prefix = 8;
            else if (startsAt(text, i, QLatin1String("http://")))
                prefix = 7;
            else if (startsAt(text, i, QLatin1String("www.")))
                prefix = 4;
        }
        if (!prefix) {
            ++i;
            continue;
        }
        qsizetype end = i + prefix;
        while (end < n && !text.at(end).isSpace() && text.at(end).unicode() >= 0x20 &&
               text.at(end).unicode() != 0x7F)
            ++end;
        // Sentence punctuation after the address is not part of it.
        while (end > i + prefix && trailing(text.at(end - 1))) {
            const QChar close = text.at(end - 1);
            const QChar open = opening(close);
            if (!open.isNull()) {
                const QStringView inside = text.mid(i, end - 1 - i);
                if (inside.count(open) > inside.count(close))
                    break;
            }
            --end;
        }
        if (end > i + prefix) {
            const QStringView span = text.mid(i, end - i);
            out.append({int(i), int(end - i), span.toString()});
        }
        i = std::max(end, i + 1);
    }
    return out;
}

bool TLinks::isAscii(QStringView text)
{
    char16_t all = 0;
    for (const QChar c : text)
        all |= c.unicode();
    return all < 0x80;
}

bool TLinks::mentionsAscii(QStringView text, QStringView name)
{
    const qsizetype m = name.size(), n = text.size();
    if (m == 0 || m > n)
        return false;
    const auto lower = [](char16_t c) -> char16_t { return c >= 'A' && c <= 'Z' ? c + 32 : c; };
    const char16_t *t = text.utf16();
    const char16_t *w = name.utf16();
    const char16_t first = lower(w[0]);
    for (qsizetype at = 0; at + m <= n; ++at) {
        if (lower(t[at]) != first)
            continue;
        qsizetype k = 1;
        while (k < m && lower(t[at + k]) == lower(w[k]))
            ++k;
        if (k == m && wholeWordAt(text, name, at))
            return true;
    }
    return false;
}

bool TLinks::mentions(QStringView text, QStringView name)
{
    if (name.isEmpty())
        return false;
    if (isAscii(name) && isAscii(text))
        return mentionsAscii(text, name);
    qsizetype from = 0;
    while (true) {
        const qsizetype at = text.indexOf(name, from, Qt::CaseInsensitive);
        if (at < 0)
            return false;
        if (wholeWordAt(text, name, at))
            return true;
        from = at + 1;
    }
}
