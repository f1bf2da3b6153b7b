#include "rules/journalmodel.h"

#include "core/textcodec.h"

#include <QColor>
#include <QFont>

void TJournalModel::load(std::vector<journal::Entry> entries)
{
    beginResetModel();
    m_entries = std::move(entries);
    m_undone = journal::undoneFlags(m_entries);
    endResetModel();
}

void TJournalModel::append(const journal::Entry &entry)
{
    const int row = int(m_entries.size());
    beginInsertRows(QModelIndex(), row, row);
    m_entries.push_back(entry);
    m_undone.push_back(false);
    endInsertRows();
    const int undone = journal::undoneBy(m_entries, row);
    if (undone >= 0)
        setUndone(undone);
}

void TJournalModel::setUndone(int row)
{
    if (row < 0 || size_t(row) >= m_undone.size() || m_undone[size_t(row)])
        return;
    m_undone[size_t(row)] = true;
    Q_EMIT dataChanged(index(row, 0), index(row, TextColumn));
}

int TJournalModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_entries.size());
}

int TJournalModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : TextColumn + 1;
}

QVariant TJournalModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || size_t(index.row()) >= m_entries.size())
        return QVariant();
    const journal::Entry &e = m_entries[size_t(index.row())];
    const bool undone = m_undone[size_t(index.row())];
    const QString *field = nullptr;
    switch (index.column()) {
    case TimeColumn:
        field = &e.time;
        break;
    case ActionColumn:
        field = &e.action;
        break;
    case NameColumn:
        field = &e.name;
        break;
    case ReasonColumn:
        field = &e.reason;
        break;
    case DetailColumn:
        field = &e.detail;
        break;
    default:
        field = &e.text;
        break;
    }
    switch (role) {
    case Qt::DisplayRole:
        if (index.column() == ActionColumn && undone)
            return e.action + QStringLiteral(" (undone)");
        return TText::decode(*field);
    case Qt::ToolTipRole:
        return index.column() == TextColumn || index.column() == DetailColumn
                   ? QVariant(TText::decode(*field))
                   : QVariant();
    case Qt::ForegroundRole:
        return undone ? QVariant(QColor(Qt::gray)) : QVariant();
    case Qt::FontRole:
        if (undone) {
            QFont f;
            f.setItalic(true);
            return f;
        }
        return QVariant();
    case bytesRole:
        return *field;
    case undoneRole:
        return undone;
    default:
        return QVariant();
    }
}

QVariant TJournalModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (role != Qt::DisplayRole || orientation != Qt::Horizontal)
        return QVariant();
    static const char *const titles[] = {"Time", "Action", "Name", "Reason", "Detail", "Text"};
    return section >= 0 && section <= TextColumn ? QString::fromLatin1(titles[section])
                                                 : QVariant();
}

void TJournalFilter::setText(const QString &text)
{
    if (text == m_text)
        return;
    m_text = text;
    invalidateRowsFilter();
}

bool TJournalFilter::accepts(const journal::Entry &e) const
{
    return m_text.isEmpty() || TText::decode(e.name).contains(m_text, Qt::CaseInsensitive) ||
           e.reason.contains(m_text, Qt::CaseInsensitive);
}

bool TJournalFilter::filterAcceptsRow(int sourceRow, const QModelIndex &) const
{
    const auto *m = static_cast<const TJournalModel *>(sourceModel());
    return accepts(m->entry(sourceRow));
}
