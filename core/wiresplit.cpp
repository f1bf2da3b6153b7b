#include "core/wiresplit.h"
#include "base/wirecodes.h"

#include "core/textcodec.h"

#include <QtGlobal>

namespace TWire {
namespace {

constexpr int maxLine = Wire::MaxLine;

// Bytes of the character at i: a well-formed UTF-8 sequence counts as
// one, any other byte stands alone.
qsizetype charLength(const QString &bytes, qsizetype i)
{
    return qMax(1, TText::utf8Length(bytes, i));
}

bool isSpace(const QString &bytes, qsizetype i) { return bytes.at(i) == QLatin1Char(' '); }

// The command word of a slash line, in lower case, and where it ends.
QString commandWord(const QString &line, qsizetype *end)
{
    qsizetype sp = line.indexOf(QLatin1Char(' '));
    if (sp < 0)
        sp = line.size();
    *end = sp;
    return line.mid(1, sp - 1).toLower();
}

bool isOneOf(const QString &word, std::initializer_list<const char *> words)
{
    for (const char *w : words)
        if (word == QLatin1String(w))
            return true;
    return false;
}

// Whether anything but spaces follows from on.
bool hasText(const QString &line, qsizetype from)
{
    for (qsizetype i = from; i < line.size(); ++i)
        if (!isSpace(line, i))
            return true;
    return false;
}

// prefix + each piece of text, or TooNarrow.
Plan withPrefix(const QString &prefix, const QString &text, int limit)
{
    Plan plan;
    const QStringList pieces =
        limit > prefix.size() ? splitForWire(text, int(limit - prefix.size())) : QStringList();
    if (pieces.isEmpty()) {
        plan.outcome = Plan::TooNarrow;
        return plan;
    }
    plan.outcome = Plan::Split;
    for (const QString &piece : pieces)
        plan.lines << prefix + piece;
    return plan;
}

} // namespace

int lineLimit(int quotaUnits, int bytesPerUnit)
{
    const qint64 quota = qint64(quotaUnits - 1) * bytesPerUnit;
    return int(qBound(qint64(1), quota, qint64(maxLine)));
}

QStringList splitForWire(const QString &bytes, int limit, Mode mode)
{
    QStringList pieces;
    if (limit <= 0)
        return pieces;
    const qsizetype n = bytes.size();
    qsizetype pos = 0;
    while (pos < n) {
        // Spaces that fill the whole room would make a piece of nothing but
        // spaces (only the line's leading spaces can): they go.
        qsizetype blank = pos;
        while (blank < n && isSpace(bytes, blank))
            ++blank;
        if (blank == n || (blank > pos && blank - pos >= limit)) {
            pos = blank;
            continue;
        }
        // pos > 0: the line goes on here, so a slash would begin a command.
        const bool lead = mode == Mode::Talk && pos > 0 && bytes.at(pos) == QLatin1Char('/');
        const QString start = lead ? QStringLiteral(" ") : QString();
        const qsizetype room = limit - start.size();
        if (room <= 0)
            return {};
        if (n - pos <= room) {
            pieces << start + bytes.mid(pos);
            break;
        }
        // The last space within reach that ends a word; pos + room < n.
        qsizetype cut = -1;
        for (qsizetype p = pos + room; p > pos; --p) {
            if (isSpace(bytes, p) && !isSpace(bytes, p - 1)) {
                cut = p;
                break;
            }
        }
        if (cut > 0) {
            pieces << start + bytes.mid(pos, cut - pos);
            pos = cut;
            while (pos < n && isSpace(bytes, pos))
                ++pos;
            continue;
        }
        // One word longer than the room: as many whole characters as fit.
        qsizetype end = pos;
        while (end < n) {
            const qsizetype len = charLength(bytes, end);
            if (end + len - pos > room)
                break;
            end += len;
        }
        if (end == pos)
            return {};
        pieces << start + bytes.mid(pos, end - pos);
        pos = end;
    }
    return pieces;
}

Plan planLine(const QString &line, int limit)
{
    Plan plan;
    if (line.size() <= limit) {
        plan.lines << line;
        return plan;
    }
    if (!line.startsWith(QLatin1Char('/'))) {
        plan.lines = splitForWire(line, limit, Mode::Talk);
        plan.outcome = plan.lines.isEmpty() ? Plan::TooNarrow : Plan::Split;
        return plan;
    }
    qsizetype end = 0;
    const QString word = commandWord(line, &end);
    if (end < line.size()) {
        if (isOneOf(word, {"m", "msg", "w", "whisper"})) {
            // The server wants a name and a text after the word.
            const qsizetype nameEnd = line.indexOf(QLatin1Char(' '), end + 1);
            if (nameEnd > end + 1 && hasText(line, nameEnd + 1))
                return withPrefix(line.left(nameEnd + 1), line.mid(nameEnd + 1), limit);
        } else if (isOneOf(word, {"me", "emote"}) && hasText(line, end + 1)) {
            return withPrefix(line.left(end + 1), line.mid(end + 1), limit);
        }
    }
    plan.outcome = Plan::TooLong;
    return plan;
}

} // namespace TWire
