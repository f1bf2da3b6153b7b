#pragma once
// A busy channel as a laptop lives it: the tressel program itself, shown at
// its default size on a virtual X server, connected to the local gateway
// whose 40 simulated chatters fall silent, then talk at 5 and at 20 lines a
// second. What the client costs is read from /proc: processor time and
// context switches of all its threads, and its resident memory.
#include <QMap>
#include <QString>

struct TBusyFigures {
    QMap<QString, double> values; // busy20_cpu_ms_per_s, ..._low, ..._high, ...
    QString threads20;            // wake-ups a second by thread at 20 lines/s
    QString threadsCpu20;         // processor ms a second by thread at 20 lines/s
    QString failure;              // why nothing was measured; empty when it was
};

// quick: three windows of 5 s after a 3 s warm-up instead of five of 20 s
// after 10 s.
TBusyFigures measureBusy(bool quick);
