#pragma once
// The results of a history search as a table, newest first, a page at a
// time: a view asks for more (canFetchMore, fetchMore) as it scrolls, so
// any number of results can be scrolled without loading them all.
#include "history/historytypes.h"

#include <QAbstractTableModel>

class THistoryStore;

class THistoryModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Column { TimeColumn, ChannelColumn, KindColumn, MemberColumn, TextColumn, ColumnCount };
    // The text column's matches of the search: a QList<int> of start and
    // length pairs.
    enum { MatchesRole = Qt::UserRole + 1 };

    explicit THistoryModel(THistoryStore *store, QObject *parent = nullptr);

    // Runs a search (its first page); error() says why there is nothing.
    void setQuery(const THistory::Query &query);
    const THistory::Query &query() const { return m_query; }
    const QString &error() const { return m_error; }
    const THistory::Line &line(int row) const { return m_lines.at(row); }

    // A line as text to copy: "[time] <member> text" and the like.
    static QString lineText(const THistory::Line &line);
    static QString timeText(qint64 ms);

    int rowCount(const QModelIndex &parent = QModelIndex()) const override;
    int columnCount(const QModelIndex &parent = QModelIndex()) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation,
                        int role = Qt::DisplayRole) const override;
    bool canFetchMore(const QModelIndex &parent) const override;
    void fetchMore(const QModelIndex &parent) override;

private:
    THistoryStore *m_store;
    THistory::Query m_query;
    QVector<THistory::Line> m_lines;
    QString m_error;
    QStringList m_terms; // the search's words, to mark
    bool m_more = false;
};
