#pragma once
// Waiting on events, the one way tests wait: each returns as soon as what
// it waits for has happened, running the event loop meanwhile, and gives
// up (false) after ms of real time. A test never sleeps for a fixed time;
// the program's own waits are moved past with the clock (clockhold.h).
#include <QWidget>
#include <QtTest>

#include <functional>

// Until done() holds.
inline bool waitUntil(const std::function<bool()> &done, int ms = 5000)
{
    return QTest::qWaitFor(done, ms);
}

// Until w is the active window (keyboard tests need one).
inline bool waitActive(QWidget *w) { return QTest::qWaitForWindowActive(w); }

// Until w is shown on the screen.
inline bool waitExposed(QWidget *w) { return QTest::qWaitForWindowExposed(w); }
