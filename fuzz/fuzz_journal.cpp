// The moderation journal's file on any bytes: journal.log loads without a
// fault, every entry it yields is six clean fields, and entries the journal
// writes (made from the input) load back as the same entries.
#include "fuzzsupport.h"

#include "rules/journal.h"

#include <QDateTime>

using namespace journal;

namespace {
bool clean(const QString &field)
{
    return !field.contains(QLatin1Char('\t')) && !field.contains(QLatin1Char('\r')) &&
           !field.contains(QLatin1Char('\n'));
}

// Entries made from the input: records split at 0x00, fields at 0x01; the
// first byte of a record picks the action and the time.
std::vector<Entry> entriesFrom(const QString &input)
{
    static const QString *const actions[] = {&permasquelchAction, &unpermasquelchAction,
                                             &squelchAction,      &unsquelchAction,
                                             &ignoreAction,       &whoisAction};
    const QDateTime start(QDate(2026, 12, 8), QTime(14, 5, 9));
    std::vector<Entry> out;
    for (const QString &record : input.split(QChar(0))) {
        if (record.isEmpty())
            continue;
        const uint pick = record.at(0).unicode();
        const QStringList f = record.mid(1).split(QChar(1));
        Entry e;
        e.time = start.addSecs(pick % 7).toString(timeFormat);
        e.action = *actions[pick % 6];
        e.name = cleanField(f.value(0));
        if (e.name.isEmpty())
            e.name = QStringLiteral("x"); // a line without a name is no entry
        e.reason = cleanField(f.value(1));
        e.detail = cleanField(f.value(2));
        e.text = cleanField(f.value(3));
        out.push_back(e);
    }
    return out;
}
} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    const QByteArray bytes(reinterpret_cast<const char *>(data), qsizetype(size));

    // Any bytes, as journal.log.
    const Loaded loaded = parseJournal(bytes, 1 + int(size % 5));
    for (const Entry &e : loaded.entries)
        for (const QString *f : {&e.time, &e.action, &e.name, &e.reason, &e.detail, &e.text})
            if (!clean(*f))
                fuzzFailure("a loaded field holds a TAB, CR or LF", *f);
    if (loaded.malformed > 0 && loaded.firstMalformed < 1)
        fuzzFailure("malformed lines without a first line number", QString());
    if (undoneFlags(loaded.entries).size() != loaded.entries.size())
        fuzzFailure("the undone flags do not cover the entries", QString());

    // What the journal writes loads back unchanged, however it was made.
    const std::vector<Entry> written = entriesFrom(QString::fromLatin1(bytes));
    QByteArray file;
    for (const Entry &e : written)
        file += formatEntry(e);
    const Loaded back = parseJournal(file);
    if (back.malformed != 0)
        fuzzFailure("a written entry does not load", QString::fromLatin1(file));
    if (back.entries != written)
        fuzzFailure("written entries load back changed", QString::fromLatin1(file));
    return 0;
}
