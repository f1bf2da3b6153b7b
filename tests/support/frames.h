#pragma once
// The display's frames, for tests of work paced by them (TFramePacer): the
// panes and the user list lay out and repaint at most once a frame, so
// "it would have run by now" means frames have passed, which only the
// display's own time can bring.
#include "support/waits.h"
#include "widgets/framepacer.h"

#include <QtTest>

// Lets count display frames begin and end, the event loop running; false
// when they do not come within a second each.
inline bool framesPass(int count)
{
    const qint64 until = TFramePacer::currentFrame() + count;
    // The display must move: its frames are real time.
    return waitUntil([until] { return TFramePacer::currentFrame() > until; }, 1000 * count);
}
