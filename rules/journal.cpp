#include "rules/journal.h"

#include "rules/autosquelchrules.h"

#include <QDateTime>
#include <QHash>

namespace journal {

const QString permasquelchAction = QStringLiteral("permasquelch");
const QString unpermasquelchAction = QStringLiteral("unpermasquelch");
const QString squelchAction = QStringLiteral("squelch");
const QString unsquelchAction = QStringLiteral("unsquelch");
const QString ignoreAction = QStringLiteral("ignore");
const QString whoisAction = QStringLiteral("whois");
const QString undoReason = QStringLiteral("Undo");
const QString manualReason = QStringLiteral("Manual");
const QString timeFormat = QStringLiteral("yyyy-MM-dd HH:mm:ss");
const QString patternSeparator = QStringLiteral(" | ");

QString productReason(const QString &product) { return QStringLiteral("Product ") + product; }

bool Entry::isUndo() const
{
    return reason == undoReason && (action == unsquelchAction || action == unpermasquelchAction);
}

QString cleanField(const QString &field)
{
    QString out = field;
    for (QChar &ch : out)
        if (ch == QLatin1Char('\t') || ch == QLatin1Char('\r') || ch == QLatin1Char('\n'))
            ch = QLatin1Char(' ');
    return out;
}

QByteArray formatEntry(const Entry &e)
{
    const QString *fields[] = {&e.time, &e.action, &e.name, &e.reason, &e.detail, &e.text};
    qsizetype size = 7;
    for (const QString *f : fields)
        size += f->size();
    QByteArray out;
    out.reserve(size);
    bool first = true;
    for (const QString *f : fields) {
        if (!first)
            out += '\t';
        first = false;
        // Byte strings hold one byte per char; anything wider is the
        // client's own text and goes as UTF-8.
        bool narrow = true;
        for (const QChar ch : *f)
            if (ch.unicode() > 0xFF) {
                narrow = false;
                break;
            }
        if (!narrow) {
            out += cleanField(*f).toUtf8();
            continue;
        }
        for (const QChar ch : *f) {
            const ushort c = ch.unicode();
            out += c == '\t' || c == '\r' || c == '\n' ? ' ' : char(c);
        }
    }
    out += "\r\n";
    return out;
}

namespace {
bool knownAction(const QString &a)
{
    return a == permasquelchAction || a == unpermasquelchAction || a == squelchAction ||
           a == unsquelchAction || a == ignoreAction || a == whoisAction;
}

// yyyy-MM-dd HH:mm:ss, a real date and time of day. By hand: a file of
// ten thousand lines is read each time the window first opens.
bool validTime(const QString &t)
{
    if (t.size() != 19)
        return false;
    int v[6] = {};
    static const int starts[] = {0, 5, 8, 11, 14, 17};
    static const int lengths[] = {4, 2, 2, 2, 2, 2};
    static const char seps[] = {'-', '-', ' ', ':', ':'};
    for (int f = 0; f < 6; ++f) {
        for (int i = starts[f]; i < starts[f] + lengths[f]; ++i) {
            const ushort c = t[i].unicode();
            if (c < '0' || c > '9')
                return false;
            v[f] = v[f] * 10 + (c - '0');
        }
        if (f < 5 && t[starts[f] + lengths[f]] != QLatin1Char(seps[f]))
            return false;
    }
    return QDate::isValid(v[0], v[1], v[2]) && QTime::isValid(v[3], v[4], v[5]);
}
} // namespace

Loaded parseJournal(const QByteArray &bytes, int keep)
{
    Loaded out;
    const QString text = QString::fromLatin1(bytes);
    qsizetype start = 0;
    int lineNo = 0;
    const qsizetype size = text.size();
    while (start < size) {
        qsizetype end = text.indexOf(QLatin1Char('\n'), start);
        if (end < 0)
            end = size;
        ++lineNo;
        qsizetype stop = end;
        if (stop > start && text[stop - 1] == QLatin1Char('\r'))
            --stop;
        const QString line = text.mid(start, stop - start);
        start = end + 1;
        if (line.isEmpty())
            continue;
        const QStringList f = line.split(QLatin1Char('\t'));
        // The journal never writes a CR inside a line.
        if (f.size() != 6 || line.contains(QLatin1Char('\r')) || !validTime(f[0]) ||
            !knownAction(f[1]) || f[2].isEmpty()) {
            if (out.malformed++ == 0)
                out.firstMalformed = lineNo;
            continue;
        }
        out.entries.push_back({f[0], f[1], f[2], f[3], f[4], f[5]});
    }
    if (keep > 0 && out.entries.size() > size_t(keep)) {
        out.dropped = int(out.entries.size()) - keep;
        out.entries.erase(out.entries.begin(), out.entries.begin() + out.dropped);
    }
    return out;
}

QString undoActionFor(const QString &action)
{
    if (action == permasquelchAction)
        return unpermasquelchAction;
    if (action == squelchAction || action == ignoreAction)
        return unsquelchAction;
    return QString();
}

int undoneBy(const std::vector<Entry> &entries, int at)
{
    if (at < 0 || size_t(at) >= entries.size() || !entries[size_t(at)].isUndo())
        return -1;
    const Entry &u = entries[size_t(at)];
    for (int i = at - 1; i >= 0; --i) {
        const Entry &e = entries[size_t(i)];
        if (e.time == u.detail && e.name == u.name && undoActionFor(e.action) == u.action)
            return i;
    }
    return -1;
}

std::vector<bool> undoneFlags(const std::vector<Entry> &entries)
{
    std::vector<bool> out(entries.size(), false);
    // Entries by time, so that a long file is not searched once per undo.
    QHash<QString, std::vector<int>> byTime;
    for (int i = 0; i < int(entries.size()); ++i) {
        const Entry &u = entries[size_t(i)];
        if (u.isUndo()) {
            const auto it = byTime.constFind(u.detail);
            if (it != byTime.constEnd())
                for (auto j = it->rbegin(); j != it->rend(); ++j) {
                    const Entry &e = entries[size_t(*j)];
                    if (e.name == u.name && undoActionFor(e.action) == u.action) {
                        out[size_t(*j)] = true;
                        break;
                    }
                }
        }
        byTime[u.time].push_back(i);
    }
    return out;
}

Undo undoState(const Entry &entry, bool undone, bool listed, bool connected)
{
    if (entry.isUndo() || undoActionFor(entry.action).isEmpty())
        return Undo::NotUndoable;
    if (undone)
        return Undo::AlreadyUndone;
    if (entry.action == permasquelchAction)
        return listed ? Undo::Possible : Undo::NotListed;
    return connected ? Undo::Possible : Undo::NotConnected;
}

QString undoStateText(Undo state)
{
    switch (state) {
    case Undo::Possible:
        return QString();
    case Undo::NotUndoable:
        return QStringLiteral("This entry cannot be undone.");
    case Undo::AlreadyUndone:
        return QStringLiteral("This entry has been undone already.");
    case Undo::NotListed:
        return QStringLiteral("The name is no longer on the permasquelch list.");
    case Undo::NotConnected:
        return QStringLiteral("Not connected: the /unsquelch line cannot be sent until you "
                              "connect.");
    }
    return QString();
}

bool isLineVerdict(const QString &reason)
{
    using namespace autosquelchrules;
    for (const QString &word : reason.split(QLatin1Char('/')))
        if (word == floodingWord || word == highAsciiWord || word == upperCaseWord ||
            word == triggerWord)
            return true;
    return false;
}

} // namespace journal
