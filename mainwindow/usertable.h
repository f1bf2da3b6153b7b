#pragma once
// The members of the current channel, as the main window keeps them.
#include <QDateTime>
#include <QString>
#include <vector>

struct tChannelUser {
    QString username;   // at most 40 characters
    QString product;    // at most 4
    QString flags;      // at most 4
    QString firstLine;  // the member's last three lines, newest last; 255 each at most
    QString secondLine;
    QString thirdLine;
    QDateTime lastLineTime; // when the newest line arrived (invalid: none yet)
    QDateTime joinTime;
    bool squelched = false;
};

// Entries 1..count(); index 0 means "none", as getUserID answers.
class tUserTable {
public:
    int count() const { return int(m_entries.size()); }
    tChannelUser &operator[](int index) { return m_entries[size_t(index - 1)]; }
    const tChannelUser &operator[](int index) const { return m_entries[size_t(index - 1)]; }
    void append(tChannelUser user) { m_entries.push_back(std::move(user)); }
    void removeAt(int index) { m_entries.erase(m_entries.begin() + (index - 1)); }
    void clear() { m_entries.clear(); }

private:
    std::vector<tChannelUser> m_entries;
};
