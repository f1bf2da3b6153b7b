#include "rules/inputhistory.h"

void TInputHistory::add(const TInputEntry &entry)
{
    if (!entry.text.isEmpty() && (m_entries.isEmpty() || !(m_entries.last() == entry))) {
        m_entries.append(entry);
        if (m_entries.size() > m_capacity)
            m_entries.remove(0, m_entries.size() - m_capacity);
    }
    reset();
}

bool TInputHistory::older(const TInputEntry &current, TInputEntry &shown)
{
    if (m_pos == 0 || m_entries.isEmpty())
        return false;
    if (!walking())
        m_draft = current;
    shown = m_entries.at(--m_pos);
    return true;
}

bool TInputHistory::newer(TInputEntry &shown)
{
    if (!walking())
        return false;
    ++m_pos;
    shown = walking() ? m_entries.at(m_pos) : m_draft;
    if (!walking())
        m_draft = TInputEntry();
    return true;
}

void TInputHistory::reset()
{
    m_pos = int(m_entries.size());
    m_draft = TInputEntry();
}
