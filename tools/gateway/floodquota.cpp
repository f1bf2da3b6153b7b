#include "floodquota.h"

namespace {
qint64 secondOf(qint64 ms) { return ms >= 0 ? ms / 1000 : (ms - 999) / 1000; }
} // namespace

FloodQuota::FloodQuota(int units, int windowSeconds, int bytesPerUnit)
    : m_units(qMax(1, units)), m_window(qMax(1, windowSeconds)),
      m_bytesPerUnit(qMax(1, bytesPerUnit))
{
}

int FloodQuota::unitsOf(int length) const
{
    return qMax(1, (length + m_bytesPerUnit - 1) / m_bytesPerUnit);
}

int FloodQuota::total(qint64 nowMs)
{
    const qint64 now = secondOf(nowMs);
    while (!m_entries.isEmpty() && now - m_entries.first().second >= m_window)
        m_entries.removeFirst();
    int sum = 0;
    for (const Entry &e : m_entries)
        sum += e.units;
    return sum;
}

FloodQuota::Verdict FloodQuota::add(int length, qint64 nowMs)
{
    m_entries.append({secondOf(nowMs), unitsOf(length)});
    const int sum = total(nowMs);
    if (sum >= 2 * m_units)
        return Disconnect;
    if (sum >= m_units)
        return Refuse;
    return Accept;
}
