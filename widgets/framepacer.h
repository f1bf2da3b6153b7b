#pragma once
// Work that follows the display rather than the network: however often it
// is asked for, it runs at the next pass of the event loop, and at most once
// a display frame. A pane that takes a thousand lines a second then lays out
// and repaints sixty times a second, not once per pass. All pacers share the
// frames: in each frame they run in one pass only, so the window repaints
// once for all of them.
#include <QObject>
#include <functional>

class TFramePacer : public QObject {
public:
    static constexpr int frameMs = 16;

    TFramePacer(std::function<void()> work, QObject *parent);

    // Asks for one run; asking again before it has run changes nothing.
    void request();
    bool pending() const { return m_posted || m_waiting; }

    // The frames every pacer counts, from the first one asked for.
    static qint64 currentFrame();
    // Some pacer has run in this frame already: any request now waits for
    // the next one, so the work of all of them shares one pass a frame.
    static bool frameTaken();

private:
    friend class TFrameClock;
    void run();

    std::function<void()> m_work;
    bool m_posted = false;  // runs at the next pass
    bool m_waiting = false; // runs when the next frame begins
};
