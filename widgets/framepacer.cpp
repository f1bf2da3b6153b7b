#include "widgets/framepacer.h"

#include <algorithm>

TFramePacer::TFramePacer(std::function<void()> work, QObject *parent)
    : QObject(parent), m_work(std::move(work))
{
    m_timer.setSingleShot(true);
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &TFramePacer::run);
}

void TFramePacer::request()
{
    if (pending())
        return;
    const qint64 wait =
        m_lastRun.isValid() ? std::max<qint64>(0, frameMs - m_lastRun.elapsed()) : 0;
    if (wait > 0) {
        m_timer.start(int(wait));
        return;
    }
    // A quiet pane answers at the next pass, after the events already waiting.
    m_posted = true;
    const quint64 generation = m_generation;
    QMetaObject::invokeMethod(
        this,
        [this, generation] {
            if (m_posted && generation == m_generation)
                run();
        },
        Qt::QueuedConnection);
}

void TFramePacer::cancel()
{
    m_timer.stop();
    m_posted = false;
    ++m_generation;
}

void TFramePacer::run()
{
    m_posted = false;
    ++m_generation;
    m_lastRun.start();
    m_work();
}
