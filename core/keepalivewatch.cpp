#include "core/keepalivewatch.h"

#include <algorithm>

void TKeepaliveWatch::reset() { *this = TKeepaliveWatch(); }

void TKeepaliveWatch::keepalive(const QDateTime &at)
{
    if (m_lastKeepalive.isValid()) {
        const qint64 gap = m_lastKeepalive.msecsTo(at);
        // A clock set back gives no interval; a longer gap than any before
        // widens the deadline, so an irregular server is given room.
        if (gap > 0)
            m_intervalMs = std::max(m_intervalMs, gap);
    }
    m_lastKeepalive = at;
    ++m_count;
    heard(at);
}

void TKeepaliveWatch::heard(const QDateTime &at)
{
    if (!m_lastHeard.isValid() || at > m_lastHeard)
        m_lastHeard = at;
}

QDateTime TKeepaliveWatch::deadline() const
{
    if (!armed() || !m_lastHeard.isValid())
        return QDateTime();
    return m_lastHeard.addMSecs(qint64(double(m_intervalMs) * Slack) + MarginMs);
}

bool TKeepaliveWatch::overdue(const QDateTime &now) const
{
    const QDateTime due = deadline();
    return due.isValid() && now > due;
}

qint64 TKeepaliveWatch::silentMs(const QDateTime &now) const
{
    return m_lastHeard.isValid() ? std::max<qint64>(0, m_lastHeard.msecsTo(now)) : 0;
}
