// The history on any bytes: any file as history.db opens, is moved aside
// or is left alone without a fault, and any search (words, filters, pages,
// context) on it answers with lines that keep every promise of the query,
// or with an error text. Any text after a chat log's header imports
// without a fault, into a history that stays whole.
//
// Input: byte 0 picks the file (odd: the bytes that follow, as long as
// bytes 1 to 3 say; even: a fresh history with lines of its own); the rest
// is queries, one a line: the first byte picks the filters, the others are
// the search, in FTS5's syntax.
#include "fuzzsupport.h"

#include "base/clock.h"
#include "core/textcodec.h"
#include "history/historystore.h"

#include <QDir>
#include <QFile>

namespace {

const QStringList members = {QStringLiteral("bob"), QStringLiteral("Carol"), QStringLiteral("zoë"),
                             QString()};

void addOwnLines(THistoryStore &store)
{
    static const char *const texts[] = {"hello there",       "gold for sale", "café au lait",
                                        "\"quoted\" words*", "NEAR(a b)",     "buy gold now"};
    for (int i = 0; i < 40; ++i) {
        THistory::Line l;
        l.timeMs = 1772366400000LL + i * 1000;
        l.channel = i % 3 ? QStringLiteral("Op Tressel") : QStringLiteral("Public");
        l.kind = THistory::Kind(i % THistory::kindCount);
        l.sender = members.at(i % members.size());
        l.text = QString::fromUtf8(texts[i % 6]);
        l.hidden = i % 5 == 0;
        store.add(l);
    }
}

void checkPage(const THistory::Query &q, const THistory::Page &page)
{
    if (!page.error.isEmpty() && !page.lines.isEmpty())
        fuzzFailure("a page with lines and an error", page.error);
    if (page.lines.size() > q.limit)
        fuzzFailure("a page longer than its limit", q.match);
    qint64 last = q.beforeId > 0 ? q.beforeId : std::numeric_limits<qint64>::max();
    for (const THistory::Line &l : page.lines) {
        if (l.id >= last)
            fuzzFailure("a page out of order or past its start", q.match);
        last = l.id;
        if (!q.member.isEmpty() && l.sender.compare(q.member, Qt::CaseInsensitive) != 0)
            fuzzFailure("a line of another member", l.sender);
        if (q.kind >= 0 && int(l.kind) != q.kind)
            fuzzFailure("a line of another kind", l.text);
        if (!q.includeHidden && l.hidden)
            fuzzFailure("a hidden line", l.text);
        if (!q.channel.isEmpty() && l.channel != q.channel)
            fuzzFailure("a line of another channel", l.channel);
        if (l.timeMs < q.fromMs || l.timeMs > q.toMs)
            fuzzFailure("a line out of the date range", l.text);
    }
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    startFuzzApplication();
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));
    const QString name = QStringLiteral("history.db");
    for (const char *suffix : {"", "-wal", "-shm"})
        removeFuzzFile(name + QLatin1String(suffix));
    for (const QString &aside : QDir().entryList({QStringLiteral("history.db.broken-*")}))
        removeFuzzFile(aside);

    const bool ownFile = !bytes.isEmpty() && (uchar(bytes.at(0)) & 1);
    qsizetype at = 1;
    if (ownFile) {
        qsizetype length = 0;
        for (int i = 1; i <= 3 && i < bytes.size(); ++i)
            length |= qsizetype(uchar(bytes.at(i))) << (8 * (i - 1));
        at = std::min<qsizetype>(bytes.size(), 4);
        length = std::min(length, bytes.size() - at);
        writeFuzzFile(name, bytes.mid(at, length));
        at += length;
    }
    const QByteArray rest = bytes.mid(at);

    THistoryStore::Settings settings;
    settings.commitMs = 1;
    settings.retryMs = 1;
    THistoryStore store(name, settings);
    store.start();
    const bool keeping = store.waitOpen();
    if (!keeping && store.offReason().isEmpty())
        fuzzFailure("no history and no reason", QString());
    if (!ownFile)
        addOwnLines(store);
    store.flush();

    for (const QByteArray &row : rest.split('\n')) {
        if (row.isEmpty())
            continue;
        const uchar pick = uchar(row.at(0));
        THistory::Query q;
        q.match = QString::fromUtf8(row.mid(1));
        q.member = members.at(pick % members.size());
        q.kind = (pick & 0x10) ? int(pick % THistory::kindCount) : -1;
        q.includeHidden = pick & 0x20;
        q.channel = (pick & 0x40) ? QStringLiteral("Op Tressel") : QString();
        if (pick & 0x80) {
            q.fromMs = 1772366400000LL + (pick % 7) * 3000;
            q.toMs = q.fromMs + 20000;
        }
        q.limit = 1 + pick % 8;
        for (int n = 0; n < 3; ++n) {
            const THistory::Page page = store.search(q);
            checkPage(q, page);
            if (!page.lines.isEmpty()) {
                const qint64 id = page.lines.first().id;
                bool found = false;
                for (const THistory::Line &l : store.context(id, 2, 2, q.includeHidden))
                    found = found || l.id == id;
                if (!found)
                    fuzzFailure("a line missing from its own context", page.lines.first().text);
            }
            if (!page.more)
                break;
            q.beforeId = page.nextBeforeId();
        }
    }

    // The same text as a chat log.
    const QByteArray log = "Chat logfile created by Tressel 1.5 at " +
                           longTimeText(QTime(23, 0, 0)).toLatin1() + " on " +
                           shortDateText(QDate(2026, 12, 8)).toLatin1() + ".\r\n\r\n" + rest;
    writeFuzzFile(QStringLiteral("chat.log"), log);
    // The count is compared within one file: a file found broken while
    // the writer works in it is moved aside and a new one started, and
    // then the two counts are of different files.
    const auto movedAside = [] {
        return QDir().entryList({QStringLiteral("history.db.broken-*")}).size();
    };
    store.flush();
    const qsizetype asideBefore = movedAside();
    const qint64 before = keeping ? store.lineCount() : 0;
    const THistoryStore::ImportResult imported = store.importChatLog(
        QStringLiteral("chat.log"), [](const QByteArray &b) { return TText::decode(b); });
    if (imported.added < 0 || imported.added + imported.unreadable > log.count('\n') + 1)
        fuzzFailure("more lines imported than the log has", QString::fromLatin1(log));
    store.flush();
    const qint64 after = keeping ? store.lineCount() : 0;
    if (keeping && imported.error.isEmpty() && movedAside() == asideBefore &&
        after != before + imported.added)
        fuzzFailure("the import's count is not what was added", QString::fromLatin1(log));
    return 0;
}
