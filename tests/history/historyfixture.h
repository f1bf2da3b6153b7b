#pragma once
// What the history tests share: lines made in one call, a second look at
// the database file through a connection of the test's own.
#include "history/historystore.h"

#include <QSqlDatabase>
#include <QSqlError>
#include <QSqlQuery>
#include <QString>
#include <QVariant>
#include <utility>

namespace historytest {

// 2026-03-01 12:00 UTC, and n minutes after it.
inline qint64 at(int minutes = 0) { return 1772366400000LL + qint64(minutes) * 60000; }

inline THistory::Line line(const QString &sender, const QString &text, int minute = 0,
                           THistory::Kind kind = THistory::Kind::Talk,
                           const QString &channel = QStringLiteral("Op Tressel"))
{
    THistory::Line l;
    l.timeMs = at(minute);
    l.server = QStringLiteral("127.0.0.1");
    l.account = QStringLiteral("moderator");
    l.channel = channel;
    l.kind = kind;
    l.sender = sender;
    l.text = text;
    return l;
}

// Opens fileName as a plain SQLite connection of the test's own, runs one
// statement and returns its first value (closed again afterwards).
// Hands use a connection of the test's own to fileName (not opened yet),
// and closes and forgets it afterwards.
template <typename Use> auto withPeekDatabase(const QString &fileName, Use use)
{
    decltype(use(std::declval<QSqlDatabase &>())) result;
    {
        QSqlDatabase db =
            QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), QStringLiteral("peek"));
        db.setDatabaseName(fileName);
        result = use(db);
        db.close();
    }
    QSqlDatabase::removeDatabase(QStringLiteral("peek"));
    return result;
}

// Opens fileName as a plain SQLite connection of the test's own, runs one
// statement and returns its first value (closed again afterwards).
inline QVariant peek(const QString &fileName, const QString &sql)
{
    return withPeekDatabase(fileName, [&sql](QSqlDatabase &db) -> QVariant {
        if (!db.open())
            return QVariant();
        QSqlQuery q(db);
        if (q.exec(sql) && q.next())
            return q.value(0);
        return q.lastError().text();
    });
}

// Why a statement fails on fileName (empty: it runs).
inline QString failureOf(const QString &fileName, const QString &sql)
{
    return withPeekDatabase(fileName, [&sql](QSqlDatabase &db) {
        if (!db.open())
            return db.lastError().text();
        QSqlQuery q(db);
        return q.exec(sql) ? QString() : q.lastError().text();
    });
}

inline QStringList texts(const THistory::Page &page)
{
    QStringList out;
    for (const THistory::Line &l : page.lines)
        out << l.text;
    return out;
}

} // namespace historytest
