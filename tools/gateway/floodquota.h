#pragma once
// The real servers' flood quota. Every line costs one unit per started
// bytesPerUnit bytes of its text (40 on the real servers); the units of the
// lines still remembered are summed, the new line included. From `units`
// (5) a line is refused, at twice that the sender is disconnected. Refused
// lines count too, which is what makes a flooder end up disconnected.
//
// The servers keep time in whole seconds: a line received in second s is
// forgotten from second s + window on, so at most `window` seconds after it
// came and sometimes nearly a second sooner.
#include "base/wirecodes.h"

#include <QList>
#include <QtGlobal>

class FloodQuota {
public:
    static constexpr int DefaultUnits = 5;
    static constexpr int DefaultWindowSeconds = 5;
    static constexpr int DefaultBytesPerUnit = Wire::QuotaBytesPerUnit;
    static constexpr int MaxLine = Wire::MaxLine; // longer lines get the line length error
    static constexpr int DropFrom = 256;          // and from here on they vanish

    enum Verdict { Accept, Refuse, Disconnect };

    explicit FloodQuota(int units = DefaultUnits, int windowSeconds = DefaultWindowSeconds,
                        int bytesPerUnit = DefaultBytesPerUnit);

    int units() const { return m_units; }
    int windowSeconds() const { return m_window; }
    int bytesPerUnit() const { return m_bytesPerUnit; }

    // Units a line of this many bytes (CR not counted) costs: at least one.
    int unitsOf(int length) const;

    // Records a line of the given length received at nowMs (a monotonic
    // clock in milliseconds; its whole seconds are what count).
    Verdict add(int length, qint64 nowMs);

    // Units still remembered at nowMs.
    int total(qint64 nowMs);

private:
    struct Entry {
        qint64 second;
        int units;
    };
    int m_units;
    int m_window;
    int m_bytesPerUnit;
    QList<Entry> m_entries;
};
