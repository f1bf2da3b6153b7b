#include "widgets/framepacer.h"

#include <QAbstractEventDispatcher>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QList>
#include <QPointer>
#include <QThread>
#include <QTimer>

#include <algorithm>
#include <utility>

namespace {
QElapsedTimer &epoch()
{
    static QElapsedTimer clock;
    if (!clock.isValid())
        clock.start();
    return clock;
}

qint64 lastRunFrame = -1; // of any pacer
} // namespace

// The one timer for every pacer waiting for the next frame, and the one
// watch on the event loop for the pacers asked for in the pass it is in
// (run when the loop is about to wait again); a child of the application,
// so it goes before the event loop does.
class TFrameClock : public QObject {
public:
    static TFrameClock *instance()
    {
        static QPointer<TFrameClock> clock;
        if (!clock)
            clock = new TFrameClock(QCoreApplication::instance());
        return clock;
    }

    void wait(TFramePacer *pacer)
    {
        m_waiting.append(pacer);
        if (m_timer.isActive())
            return;
        m_dueFrame = TFramePacer::currentFrame() + 1;
        arm();
    }

    // Whether the pacer asked for in this pass also needs a posted call:
    // inside the event loop's exec() every pass begins with aboutToBlock,
    // which runs it (a posted call would only wake the loop once more);
    // where events are only processed (processEvents(), as tests spin the
    // loop) nothing else would.
    bool askedInPass(TFramePacer *pacer)
    {
        m_asked.append(pacer);
        return !m_watching || QThread::currentThread()->loopLevel() == 0;
    }

private:
    explicit TFrameClock(QObject *parent) : QObject(parent)
    {
        m_timer.setSingleShot(true);
        m_timer.setTimerType(Qt::PreciseTimer);
        connect(&m_timer, &QTimer::timeout, this, &TFrameClock::tick);
        if (QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance(thread())) {
            connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, &TFrameClock::passEnds);
            m_watching = true;
        }
    }

    void passEnds()
    {
        if (m_asked.isEmpty())
            return;
        const QList<QPointer<TFramePacer>> asked = std::exchange(m_asked, {});
        for (const QPointer<TFramePacer> &pacer : asked)
            if (pacer && pacer->m_posted)
                pacer->run();
    }

    void arm()
    {
        const qint64 left = m_dueFrame * TFramePacer::frameMs - epoch().elapsed();
        m_timer.start(int(std::max<qint64>(1, left)));
    }

    void tick()
    {
        if (TFramePacer::currentFrame() < m_dueFrame) {
            arm(); // a timer a little early: the frame has not begun
            return;
        }
        const QList<QPointer<TFramePacer>> due = std::exchange(m_waiting, {});
        for (const QPointer<TFramePacer> &pacer : due)
            if (pacer) // not deleted while it waited
                pacer->run();
    }

    QTimer m_timer;
    qint64 m_dueFrame = 0;
    QList<QPointer<TFramePacer>> m_waiting;
    QList<QPointer<TFramePacer>> m_asked; // in this pass
    bool m_watching = false;              // passEnds runs before each pass
};

TFramePacer::TFramePacer(std::function<void()> work, QObject *parent)
    : QObject(parent), m_work(std::move(work))
{
}

qint64 TFramePacer::currentFrame() { return epoch().elapsed() / frameMs; }

bool TFramePacer::frameTaken() { return lastRunFrame == currentFrame(); }

void TFramePacer::request()
{
    if (pending())
        return;
    if (frameTaken()) {
        m_waiting = true;
        TFrameClock::instance()->wait(this);
        return;
    }
    // No pacer has run in this frame: at the next pass, after the events
    // already waiting, with any others asked for by then. Or sooner: when
    // the event loop is about to wait again, which spares a pass of its
    // own (the work's repaint then comes in the pass the call is in).
    m_posted = true;
    if (!TFrameClock::instance()->askedInPass(this))
        return;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_posted)
                run();
        },
        Qt::QueuedConnection);
}

void TFramePacer::run()
{
    m_posted = false;
    m_waiting = false;
    lastRunFrame = currentFrame();
    m_work();
}
