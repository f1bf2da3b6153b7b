#pragma once
// Cuts a client's byte stream into lines. CR, LF and CR LF all end a line;
// the protocol bytes 0x03 and 0x04 are dropped wherever they appear. A line
// that grows past the buffer bound without an end is thrown away (as the
// real servers do with an over-long packet) so one client cannot make the
// gateway hold unbounded memory.
#include <QByteArray>
#include <QList>

class LineSplitter {
public:
    static constexpr int MaxPending = 3072;

    // Feeds received bytes; returns the lines they completed, in order.
    QList<QByteArray> feed(const QByteArray &bytes);

    // Bytes received but not yet ended by a line end.
    const QByteArray &pending() const { return m_pending; }

private:
    QByteArray m_pending;
    bool m_afterCr = false;
};
