#pragma once
// Holds the program's clock while it lives: the pacing, the reconnect waits
// and the anti-idle move only when the test moves the clock (moveClock), so
// a wait is over the moment the test says it is, and "nothing more
// happens" is shown by moving the clock past the moment it would have.
#include "base/clock.h"

class ClockHold {
public:
    explicit ClockHold(const QDateTime &start = QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)))
    {
        holdClock(start);
    }
    ~ClockHold() { releaseClock(); }
    ClockHold(const ClockHold &) = delete;
    ClockHold &operator=(const ClockHold &) = delete;
};
