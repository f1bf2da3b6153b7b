#pragma once
// The lines sent from the input line, for Up and Down to walk through. An
// entry is what the input line showed, with the bytes of the pieces its
// encoding could not give back, so that a recalled line goes out as the
// same bytes. What was being typed when the walk began is kept and comes
// back at the end of it.
#include <QList>
#include <QString>
#include <utility>

struct TInputEntry {
    QString text;
    QList<std::pair<QString, QString>> fragments; // shown text, its bytes
    bool operator==(const TInputEntry &o) const
    {
        return text == o.text && fragments == o.fragments;
    }
};

class TInputHistory {
public:
    explicit TInputHistory(int capacity = 1000) : m_capacity(capacity) {}

    // A line was sent: it becomes the newest entry (unless it is the newest
    // already), the oldest goes when there are more than the capacity, and
    // the walk starts again from the end.
    void add(const TInputEntry &entry);
    // One entry older; `current` is what the input line holds now (kept as
    // the draft when the walk starts). False when there is none older.
    bool older(const TInputEntry &current, TInputEntry &shown);
    // One entry newer, the draft after the newest; false at the end.
    bool newer(TInputEntry &shown);
    // Ends a walk without changing the input line.
    void reset();

    int size() const { return int(m_entries.size()); }
    int capacity() const { return m_capacity; }
    const TInputEntry &at(int i) const { return m_entries.at(i); }
    bool walking() const { return m_pos < size(); }

private:
    QList<TInputEntry> m_entries;
    int m_capacity;
    int m_pos = 0; // == size(): not walking
    TInputEntry m_draft;
};
