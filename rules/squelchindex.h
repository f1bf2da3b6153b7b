#pragma once
// Counts of the names of a list model (the bytes its entries stand for, see
// textitems.h), kept in step with the model's own signals, so "is this name
// on the list?" costs one hash look-up however long the list grows. Exact and
// case-sensitive.
#include "core/namekey.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QObject>
#include <QPointer>
#include <QString>
#include <QStringList>

class QAbstractItemModel;

class TNameIndex : public QObject {
    Q_OBJECT
public:
    explicit TNameIndex(QObject *parent = nullptr);

    // Follows model (nullptr: none); the index is rebuilt from it at once.
    void attach(QAbstractItemModel *model);
    // Holds these names instead of a model's (a list that is not a model).
    void setNames(const QStringList &names);
    QAbstractItemModel *model() const { return m_model; }

    bool contains(const QString &name) const { return m_counts.contains(name); }
    int count(const QString &name) const { return m_counts.value(name); }

private:
    void rebuild();
    void add(int first, int last, int delta);

    QPointer<QAbstractItemModel> m_model;
    QHash<TNameKey, int> m_counts;
};
