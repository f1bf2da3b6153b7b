#pragma once
// The journal's entries as a table in file order: time, action, name,
// reason, detail, text. Rows are only ever appended (never reset), so a
// view keeps its current row and selection while entries arrive.
#include "rules/journal.h"

#include <QAbstractTableModel>
#include <QSortFilterProxyModel>

class TJournalModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, ActionColumn, NameColumn, ReasonColumn, DetailColumn, TextColumn };
    // The entry's bytes, unchanged, under this role (the name for any column).
    static constexpr int bytesRole = Qt::UserRole + 1;
    static constexpr int undoneRole = Qt::UserRole + 2;

    using QAbstractTableModel::QAbstractTableModel;

    // Replaces everything (before the first view is attached).
    void load(std::vector<journal::Entry> entries);
    // Appends one entry; an undo marks the entry it took back.
    void append(const journal::Entry &entry);
    const journal::Entry &entry(int row) const { return m_entries[size_t(row)]; }
    const std::vector<journal::Entry> &entries() const { return m_entries; }
    bool isUndone(int row) const { return m_undone[size_t(row)]; }
    void setUndone(int row);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role) const override;

private:
    std::vector<journal::Entry> m_entries;
    std::vector<bool> m_undone;
};

// Rows whose name or reason holds the filter text, ignoring case, in file order.
class TJournalFilter : public QSortFilterProxyModel {
    Q_OBJECT
public:
    using QSortFilterProxyModel::QSortFilterProxyModel;
    void setText(const QString &text);
    const QString &text() const { return m_text; }
    bool accepts(const journal::Entry &entry) const;

protected:
    bool filterAcceptsRow(int sourceRow, const QModelIndex &sourceParent) const override;

private:
    QString m_text;
};
