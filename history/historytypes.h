#pragma once
// What the history keeps of a line, and how it is asked for.
#include <QByteArray>
#include <QString>
#include <QStringView>
#include <QVector>
#include <limits>

namespace THistory {

// Stored as numbers: never renumber.
enum class Kind : int {
    Talk = 0,
    Emote = 1,
    WhisperReceived = 2,
    WhisperSent = 3,
    Info = 4,
    Error = 5,
    Broadcast = 6,
    Join = 7,
    Leave = 8,
    Console = 9,
};
constexpr int kindCount = 10;
// "talk", "emote", "whisper received", ...; empty for a number out of range.
QString kindName(int kind);

struct Line {
    qint64 id = 0; // given by the store
    qint64 timeMs = 0;
    QString server, account, channel;
    Kind kind = Kind::Talk;
    // Who the line is from; for a whisper sent, the member it went to.
    QString sender;
    QString text; // as a person reads it
    // The bytes, where the text is not simply those bytes read as Latin-1
    // (null otherwise, and as read back then).
    QByteArray raw;
    bool hidden = false;
    bool approximate = false; // no time of its own: the time of the line before
    // Set by a caller that leaves the reading to the store's writer thread:
    // account, channel, sender and text are still byte strings (one byte
    // per char), read with the store's decoder; the text's bytes become raw.
    bool undecoded = false;
};

// A line to keep, as views of the caller's strings: handing it to the
// store copies its characters and touches no string's reference count.
// The fields are as Line's.
struct LineView {
    qint64 timeMs = 0;
    QStringView server, account, channel;
    Kind kind = Kind::Talk;
    QStringView sender;
    QStringView text;
    const QByteArray *raw = nullptr; // none
    bool hidden = false;
    bool approximate = false;
    bool undecoded = false;
};

// line's fields, as views of its strings.
LineView viewOf(const Line &line);

struct Query {
    QString match;   // FTS5: words, "phrases", prefix*, AND OR NOT; empty: every line
    QString member;  // ASCII case does not matter
    QString channel; // exact
    int kind = -1;   // a Kind, or -1 for every kind
    qint64 fromMs = std::numeric_limits<qint64>::min();
    qint64 toMs = std::numeric_limits<qint64>::max(); // both included
    bool includeHidden = false;
    qint64 beforeId = 0; // the next page: lines older than this id (0: from the newest)
    int limit = 100;
};

struct Page {
    QVector<Line> lines; // newest first
    QString error;       // why there are no lines (a search FTS5 cannot read, no history)
    bool more = false;   // there are older lines after the last
    qint64 nextBeforeId() const { return lines.isEmpty() ? 0 : lines.constLast().id; }
};

} // namespace THistory
