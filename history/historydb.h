#pragma once
// The history's database file: opening it, its schema and the steps from
// one schema version to the next, and telling a broken file from a full
// disk. Each function works on the connection it is given, on the thread
// that connection belongs to.
#include <QSqlDatabase>
#include <QSqlError>
#include <QString>

class QDateTime;

namespace THistoryDb {

// PRAGMA user_version of the newest schema this program writes.
constexpr int schemaVersion = 3;

enum class Outcome {
    Ready,       // open, at schemaVersion
    Broken,      // not a database, corrupt, or not a history: move it aside
    Newer,       // a newer program's schema: leave it alone, keep no history
    Unavailable, // cannot be opened or written now (folder, disk): try later
    NoSupport,   // this system's Qt or SQLite lacks what the history needs
};

struct Opened {
    Outcome outcome = Outcome::Unavailable;
    QString why; // for a person, when not Ready
};

// Opens fileName (created, mode 0600, when absent) as connection, brings
// its schema to schemaVersion and sets WAL and the pragmas the store
// needs. Unless Ready, the connection is closed and removed again.
Opened open(const QString &fileName, const QString &connection);
// Closes and forgets the connection (no query of it may be alive).
void close(const QString &connection);

// SQLite's primary result code in an error of the Qt driver (0 when none).
int sqliteCode(const QSqlError &error);
// The file is not a database or is damaged.
bool isBroken(const QSqlError &error);

// Runs one statement; false (and *error) when it fails.
bool exec(const QSqlDatabase &db, const QString &sql, QSqlError *error = nullptr);
// The first column of the first row of a statement, or an invalid value.
QVariant value(const QSqlDatabase &db, const QString &sql, QSqlError *error = nullptr);

// Gives the free pages back to the file system (PRAGMA incremental_vacuum).
void incrementalVacuum(const QSqlDatabase &db);

// Renames a broken fileName (and its -wal) to fileName.broken-<when>,
// owner-only, and deletes its -shm. Returns the new name, or an empty
// string (and why) when the file could not be moved.
QString moveAside(const QString &fileName, const QDateTime &when, QString *why);

// Narrows the database and its -wal and -shm files to owner-only.
void restrictModes(const QString &fileName);

} // namespace THistoryDb
