#pragma once
// Work that follows the display rather than the network: however often it
// is asked for, it runs at the next pass of the event loop, and never more
// often than once a display frame. A pane that takes a thousand lines a
// second then lays out and repaints sixty times a second, not once per pass.
#include <QElapsedTimer>
#include <QObject>
#include <QTimer>
#include <functional>

class TFramePacer : public QObject {
public:
    static constexpr int frameMs = 16;

    TFramePacer(std::function<void()> work, QObject *parent);

    // Asks for one run; asking again before it has run changes nothing.
    void request();
    bool pending() const { return m_posted || m_timer.isActive(); }
    // Drops a run that is waiting (the work was done another way).
    void cancel();

private:
    void run();

    std::function<void()> m_work;
    QTimer m_timer;
    QElapsedTimer m_lastRun;
    bool m_posted = false;
    quint64 m_generation = 0; // a posted run that was cancelled does nothing
};
