#include "history/historymodel.h"

#include "history/historymatch.h"

#include "history/historystore.h"

#include <QDateTime>

THistoryModel::THistoryModel(THistoryStore *store, QObject *parent)
    : QAbstractTableModel(parent), m_store(store)
{
}

void THistoryModel::setQuery(const THistory::Query &query)
{
    beginResetModel();
    m_query = query;
    m_query.beforeId = 0;
    m_terms = THistory::matchTerms(query.match);
    const THistory::Page page = m_store->search(m_query);
    m_lines = page.lines;
    m_error = page.error;
    m_more = page.more;
    endResetModel();
}

QString THistoryModel::timeText(qint64 ms)
{
    return QDateTime::fromMSecsSinceEpoch(ms).toString(QStringLiteral("yyyy-MM-dd HH:mm:ss"));
}

QString THistoryModel::lineText(const THistory::Line &l)
{
    const QString time = QLatin1Char('[') + timeText(l.timeMs) + QLatin1String("] ");
    switch (l.kind) {
    case THistory::Kind::Talk:
        return time + QLatin1Char('<') + l.sender + QLatin1String("> ") + l.text;
    case THistory::Kind::Emote:
        return time + QLatin1String("* ") + l.sender + QLatin1Char(' ') + l.text +
               QLatin1String(" *");
    case THistory::Kind::WhisperReceived:
        return time + QLatin1String("<From: ") + l.sender + QLatin1String("> ") + l.text;
    case THistory::Kind::WhisperSent:
        return time + QLatin1String("<To: ") + l.sender + QLatin1String("> ") + l.text;
    case THistory::Kind::Error:
        return time + QLatin1String("Error: ") + l.text;
    case THistory::Kind::Broadcast:
        return time + QLatin1String("Broadcast: ") + l.text;
    case THistory::Kind::Console:
        return time + QLatin1String("Console: ") + l.text;
    default:
        return time + QLatin1String("Info: ") + l.text;
    }
}

int THistoryModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : int(m_lines.size());
}

int THistoryModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant THistoryModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid() || index.row() >= m_lines.size())
        return QVariant();
    const THistory::Line &l = m_lines.at(index.row());
    if (role == Qt::DisplayRole) {
        switch (index.column()) {
        case TimeColumn:
            // A line from a log without a time of its own has the time before it.
            return (l.approximate ? QLatin1String("~") : QLatin1String("")) + timeText(l.timeMs);
        case ChannelColumn:
            return l.channel;
        case KindColumn:
            return l.hidden ? THistory::kindName(int(l.kind)) + QLatin1String(" (hidden)")
                            : THistory::kindName(int(l.kind));
        case MemberColumn:
            return l.sender;
        case TextColumn:
            return l.text;
        }
    }
    if (role == Qt::ToolTipRole && index.column() == TextColumn)
        return l.text;
    if (role == MatchesRole && index.column() == TextColumn) {
        QList<int> flat;
        for (const THistory::Span &s : THistory::matchSpans(m_terms, l.text))
            flat << s.start << s.length;
        return QVariant::fromValue(flat);
    }
    return QVariant();
}

QVariant THistoryModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole)
        return QVariant();
    static const char *const names[ColumnCount] = {"Time", "Channel", "Kind", "Member", "Text"};
    return section >= 0 && section < ColumnCount ? QString::fromLatin1(names[section]) : QVariant();
}

bool THistoryModel::canFetchMore(const QModelIndex &parent) const
{
    return !parent.isValid() && m_more;
}

void THistoryModel::fetchMore(const QModelIndex &parent)
{
    if (parent.isValid() || !m_more || m_lines.isEmpty())
        return;
    THistory::Query next = m_query;
    next.beforeId = m_lines.constLast().id;
    const THistory::Page page = m_store->search(next);
    m_more = page.more;
    if (page.lines.isEmpty())
        return;
    beginInsertRows(QModelIndex(), int(m_lines.size()),
                    int(m_lines.size() + page.lines.size() - 1));
    m_lines += page.lines;
    endInsertRows();
}
