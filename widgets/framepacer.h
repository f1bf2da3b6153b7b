#pragma once
// Work that follows the display rather than the network: however often it
// is asked for, it runs at the next pass of the event loop, and at most once
// a display frame. A pane that takes a thousand lines a second then lays out
// and repaints sixty times a second, not once per pass. Every pacer keeps
// the same frames, so work that waited for the next one all runs in the
// same pass and the window repaints once for all of it.
#include <QObject>
#include <functional>

class TFramePacer : public QObject {
public:
    static constexpr int frameMs = 16;

    TFramePacer(std::function<void()> work, QObject *parent);
    ~TFramePacer() override;

    // Asks for one run; asking again before it has run changes nothing.
    void request();
    bool pending() const { return m_posted || m_waiting; }
    // Drops a run that is waiting (the work was done another way).
    void cancel();

    // The frames every pacer counts, from the first one asked for.
    static qint64 currentFrame();

private:
    friend class TFrameClock;
    void run();

    std::function<void()> m_work;
    qint64 m_lastFrame = -1;
    bool m_posted = false;    // runs at the next pass
    bool m_waiting = false;   // runs when the next frame begins
    quint64 m_generation = 0; // a posted run that was cancelled does nothing
};
