#include "floodquota.h"

int FloodQuota::total(qint64 nowMs)
{
    while (!m_entries.isEmpty() && nowMs - m_entries.first().at >= WindowMs)
        m_entries.removeFirst();
    int sum = 0;
    for (const Entry &e : m_entries)
        sum += e.units;
    return sum;
}

FloodQuota::Verdict FloodQuota::add(int length, qint64 nowMs)
{
    m_entries.append({nowMs, qMax(1, unitsOf(length))});
    const int sum = total(nowMs);
    if (sum >= DisconnectAt)
        return Disconnect;
    if (sum >= RefuseAt)
        return Refuse;
    return Accept;
}
