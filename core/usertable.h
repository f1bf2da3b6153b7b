#pragma once
// The members of the current channel, as the main window keeps them.
#include "core/namekey.h"

#include <QDateTime>
#include <QHash>
#include <QString>

#include <memory>
#include <vector>

struct tChannelUser {
    QString username;  // at most 40 characters; never changed once in a table
    QString product;   // at most 4
    QString flags;     // at most 4
    QString firstLine; // the member's last three lines, newest last; 255 each at most
    QString secondLine;
    QString thirdLine;
    QDateTime lastLineTime; // when the newest line arrived (invalid: none yet)
    QDateTime joinTime;
    bool squelched = false;
    // Tells this entry from every other the table has held, a later one of
    // the same name too; given by append.
    quint64 serial = 0;
};

// Entries 1..count() in the order they were appended; index 0 means "none",
// as getUserID answers. A name is found through an index of names, and a
// removal by name leaves a gap that the next access by position closes, so
// a burst of leaves costs one pass over the table, not one per leave.
class tUserTable {
public:
    tUserTable() = default;
    tUserTable(const tUserTable &) = delete;
    tUserTable &operator=(const tUserTable &) = delete;

    int count() const { return m_live; }
    tChannelUser &operator[](int index);
    const tChannelUser &operator[](int index) const;
    void append(tChannelUser user);
    void removeAt(int index);
    void clear();

    // The position of the last entry with this name (0: there is none).
    int lastIndexOf(const QString &name) const;
    // Removes the last entry with this name; false when there is none.
    bool removeLast(const QString &name);

private:
    struct Entry {
        tChannelUser user;
        size_t slot; // where it is in m_slots
    };
    void unlinkName(Entry *entry);
    void leaveGap(size_t slot);
    void closeGaps() const;

    // Null slots are gaps left by removals; none lies before m_firstGap.
    mutable std::vector<std::unique_ptr<Entry>> m_slots;
    mutable size_t m_firstGap = noGap;
    static constexpr size_t noGap = size_t(-1);
    int m_live = 0;
    quint64 m_nextSerial = 1;
    QHash<TNameKey, std::vector<Entry *>> m_byName; // each name's entries, oldest first
};
