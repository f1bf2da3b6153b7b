#pragma once
// The real servers' flood quota. Every line costs one unit per started 40
// bytes; the units of the last five seconds are summed, the line included.
// From 5 units a line is refused, at 10 the sender is disconnected. Refused
// lines count too, which is what makes a flooder end up disconnected.
#include <QByteArray>
#include <QList>
#include <QtGlobal>

class FloodQuota {
public:
    static constexpr int BytesPerUnit = 40;
    static constexpr int RefuseAt = 5;
    static constexpr int DisconnectAt = 10;
    static constexpr qint64 WindowMs = 5000;
    static constexpr int MaxLine = 200;   // longer lines get the line length error
    static constexpr int DropFrom = 256;  // and from here on they vanish

    enum Verdict { Accept, Refuse, Disconnect };

    static int unitsOf(int length) { return (length + BytesPerUnit - 1) / BytesPerUnit; }

    // Records a line of the given length sent at nowMs (a monotonic clock).
    Verdict add(int length, qint64 nowMs);

    // Units still inside the window at nowMs.
    int total(qint64 nowMs);

private:
    struct Entry {
        qint64 at;
        int units;
    };
    QList<Entry> m_entries;
};
