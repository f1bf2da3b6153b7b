#pragma once
// The lines waiting for the history's writer, packed into one buffer. A
// caller's line is copied in as bytes, and the writer makes its own lines
// from them: nothing one thread allocated is freed by the other, and no
// string's reference count is touched by both. (Handing the lines over as
// they were made the window's thread a quarter slower in a flood: the
// memory allocator and the shared counts went back and forth between the
// two threads' caches.)
#include "history/historytypes.h"

#include <QByteArray>
#include <QByteArrayView>
#include <deque>
#include <functional>

class THistoryQueue {
public:
    // Adds a line at the end.
    void push(const THistory::LineView &line);
    void push(const THistory::Line &line) { push(THistory::viewOf(line)); }
    int size() const { return m_lines; }
    bool empty() const { return m_lines == 0; }
    // The oldest line goes (a full queue that cannot be written).
    void dropOldest();
    void clear();
    // Appends every waiting line to lines, oldest first, and empties the
    // queue (keeping its buffer for the next lines).
    void takeInto(std::deque<THistory::Line> *lines);
    // Copies every line of other to the end of this queue, oldest first,
    // and empties other, which keeps its buffer: the window's thread
    // writes its lines into the same memory, warm in its cache, again and
    // again.
    void append(THistoryQueue &other);
    // Gives the waiting lines' records to store in chunks of at most
    // maxLines lines, oldest first, each with its number of lines; false
    // as soon as store refuses one. The queue is left as it is.
    bool chunks(int maxLines, const std::function<bool(QByteArrayView, int)> &store) const;
    // Appends the lines of records chunks gave (bytes read back from a
    // file: every count is checked); false, with nothing appended, when
    // they are not whole records of this machine's.
    static bool readRecords(const char *data, qsizetype bytes, std::deque<THistory::Line> *lines)
    {
        Last last;
        return read(data, bytes, lines, &last);
    }
    // The waiting lines and other's trade places (each keeps what it knows
    // of the lines it took before).
    void swap(THistoryQueue &other) noexcept
    {
        m_bytes.swap(other.m_bytes);
        std::swap(m_start, other.m_start);
        std::swap(m_lines, other.m_lines);
    }

private:
    QByteArray m_bytes;
    qsizetype m_start = 0; // the oldest line's record
    int m_lines = 0;
    // The names of the line taken before: a flood's share them, and a
    // line that does gets the same strings rather than copies.
    struct Last {
        QString server, account, channel, sender;
    } m_last;
    static bool read(const char *data, qsizetype bytes, std::deque<THistory::Line> *lines,
                     Last *last);
};
