#pragma once
// The moderation journal (journal.log): one line per squelch action, six
// fields split by TAB, CR LF at the end. Every field is a byte string (one
// byte per QChar, as everywhere in the client); names and texts keep the
// bytes they arrived as.
#include <QByteArray>
#include <QString>
#include <QStringList>
#include <vector>

namespace journal {

// Action words.
extern const QString permasquelchAction;   // "permasquelch"
extern const QString unpermasquelchAction; // "unpermasquelch"
extern const QString squelchAction;        // "squelch"
extern const QString unsquelchAction;      // "unsquelch"
extern const QString ignoreAction;         // "ignore"
extern const QString whoisAction;          // "whois"
// Reasons the journal forms itself.
extern const QString undoReason;   // "Undo"
extern const QString manualReason; // "Manual"
// "Product " and the product's code.
QString productReason(const QString &product);
// The time field's form.
extern const QString timeFormat; // "yyyy-MM-dd HH:mm:ss"
// Trigger phrases in the detail field are joined by this.
extern const QString patternSeparator; // " | "

struct Entry {
    QString time, action, name, reason, detail, text;
    bool operator==(const Entry &o) const
    {
        return time == o.time && action == o.action && name == o.name && reason == o.reason &&
               detail == o.detail && text == o.text;
    }
    bool operator!=(const Entry &o) const { return !(*this == o); }
    bool isUndo() const;
};

// A field as the file holds it: TAB, CR and LF become one space each.
QString cleanField(const QString &field);
// One line of the file, CR LF included.
QByteArray formatEntry(const Entry &entry);

struct Loaded {
    std::vector<Entry> entries;
    int malformed = 0;      // lines that are not six well-formed fields
    int firstMalformed = 0; // the 1-based number of the first one (0: none)
    int dropped = 0;        // well-formed entries before the last `keep`
};
// Reads a whole file's bytes; any bytes are taken without a fault. Keeps
// the last `keep` entries (all when keep <= 0). Empty lines are skipped.
Loaded parseJournal(const QByteArray &bytes, int keep = 0);

// For each entry, whether a later undo entry took it back: the undo names
// the undone entry's time in its detail; the newest earlier entry with that
// time, the same name and an action the undo's action takes back counts.
std::vector<bool> undoneFlags(const std::vector<Entry> &entries);
// The index of the entry `undo` (at index `at`) takes back, or -1.
int undoneBy(const std::vector<Entry> &entries, int at);
// The action that takes `action` back (empty: none can).
QString undoActionFor(const QString &action);

// What an undo of one entry meets.
enum class Undo {
    Possible,
    NotUndoable,   // an unpermasquelch, unsquelch, whois or undo entry
    AlreadyUndone, // taken back already
    NotListed,     // a permasquelch whose name is not on the list any more
    NotConnected,  // the /unsquelch line could not be sent
};
Undo undoState(const Entry &entry, bool undone, bool listed, bool connected);
// What the window says about it (empty for Possible).
QString undoStateText(Undo state);

// The verdicts on a line (flood, high ASCII, upper case, trigger phrase):
// only these consult the safelist.
bool isLineVerdict(const QString &reason);

} // namespace journal
