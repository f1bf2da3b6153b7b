// The name index beside the squelch list and the safelist.
#include "rules/squelchindex.h"

#include "rules/itembytes.h"

#include <QAbstractItemModel>

TNameIndex::TNameIndex(QObject *parent) : QObject(parent) {}

void TNameIndex::attach(QAbstractItemModel *model)
{
    if (m_model)
        disconnect(m_model, nullptr, this, nullptr);
    m_model = model;
    if (model) {
        connect(model, &QAbstractItemModel::rowsInserted, this,
                [this](const QModelIndex &parent, int first, int last) {
                    if (!parent.isValid())
                        add(first, last, 1);
                });
        connect(model, &QAbstractItemModel::rowsAboutToBeRemoved, this,
                [this](const QModelIndex &parent, int first, int last) {
                    if (!parent.isValid())
                        add(first, last, -1);
                });
        // A caption edited in place: its old text is gone, so count afresh.
        connect(model, &QAbstractItemModel::dataChanged, this,
                [this](const QModelIndex &, const QModelIndex &, const QList<int> &roles) {
                    if (roles.isEmpty() || roles.contains(Qt::DisplayRole) ||
                        roles.contains(Qt::EditRole) || roles.contains(TTextItem::bytesRole))
                        rebuild();
                });
        connect(model, &QAbstractItemModel::modelReset, this, &TNameIndex::rebuild);
        connect(model, &QAbstractItemModel::rowsMoved, this, &TNameIndex::rebuild);
        connect(model, &QObject::destroyed, this, [this] { m_counts.clear(); });
    }
    rebuild();
}

void TNameIndex::setNames(const QStringList &names)
{
    attach(nullptr);
    for (const QString &name : names)
        ++m_counts[name];
}

void TNameIndex::rebuild()
{
    m_counts.clear();
    if (m_model && m_model->rowCount() > 0)
        add(0, m_model->rowCount() - 1, 1);
}

void TNameIndex::add(int first, int last, int delta)
{
    for (int row = first; row <= last; ++row) {
        const QString name = TTextItem::bytesOf(m_model->index(row, 0));
        auto it = m_counts.find(name);
        if (it == m_counts.end()) {
            if (delta > 0)
                m_counts.insert(name, delta);
            continue;
        }
        *it += delta;
        if (*it <= 0)
            m_counts.erase(it);
    }
}
