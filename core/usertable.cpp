#include "core/usertable.h"

#include <algorithm>

tChannelUser &tUserTable::operator[](int index)
{
    closeGaps();
    return m_slots[size_t(index - 1)]->user;
}

const tChannelUser &tUserTable::operator[](int index) const
{
    closeGaps();
    return m_slots[size_t(index - 1)]->user;
}

void tUserTable::append(tChannelUser user)
{
    user.serial = m_nextSerial++;
    auto entry = std::make_unique<Entry>(Entry{std::move(user), m_slots.size()});
    m_byName[entry->user.username].push_back(entry.get());
    m_slots.push_back(std::move(entry));
    ++m_live;
}

void tUserTable::removeAt(int index)
{
    closeGaps();
    const size_t slot = size_t(index - 1);
    unlinkName(m_slots[slot].get());
    leaveGap(slot);
}

void tUserTable::clear()
{
    m_byName.clear();
    m_slots.clear();
    m_firstGap = noGap;
    m_live = 0;
}

int tUserTable::lastIndexOf(const QString &name) const
{
    const auto it = m_byName.constFind(name);
    if (it == m_byName.cend())
        return 0;
    closeGaps();
    return int(it->back()->slot) + 1;
}

bool tUserTable::removeLast(const QString &name)
{
    const auto it = m_byName.find(name);
    if (it == m_byName.end())
        return false;
    const size_t slot = it->back()->slot;
    it->pop_back();
    if (it->empty())
        m_byName.erase(it);
    leaveGap(slot);
    return true;
}

void tUserTable::unlinkName(Entry *entry)
{
    const auto it = m_byName.find(entry->user.username);
    if (it == m_byName.end())
        return;
    it->erase(std::find(it->begin(), it->end(), entry));
    if (it->empty())
        m_byName.erase(it);
}

void tUserTable::leaveGap(size_t slot)
{
    m_slots[slot].reset();
    --m_live;
    m_firstGap = std::min(m_firstGap, slot);
    // Gaps at the end need no pass to close.
    while (!m_slots.empty() && !m_slots.back())
        m_slots.pop_back();
    if (m_firstGap >= m_slots.size())
        m_firstGap = noGap;
}

void tUserTable::closeGaps() const
{
    if (m_firstGap == noGap)
        return;
    size_t to = m_firstGap;
    for (size_t from = m_firstGap; from < m_slots.size(); ++from) {
        if (!m_slots[from])
            continue;
        m_slots[to] = std::move(m_slots[from]);
        m_slots[to]->slot = to;
        ++to;
    }
    m_slots.resize(to);
    m_firstGap = noGap;
}
