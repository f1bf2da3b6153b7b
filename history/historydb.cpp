#include "history/historydb.h"

#include "base/errors.h"
#include "base/files.h"

#include <QDateTime>
#include <QFile>
#include <QFileInfo>
#include <QSqlQuery>
#include <QVariant>

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace THistoryDb {

namespace {

// SQLite's primary result codes for a file that is not a database or is
// damaged; any other failure is taken as one that may pass.
constexpr int sqliteCorrupt = 11;
constexpr int sqliteNotADb = 26;

// One step from version n to n + 1 is steps[n]. A later version adds a
// function here and raises schemaVersion; existing steps never change.
using Step = bool (*)(const QSqlDatabase &db, QSqlError *error);

bool toVersion1(const QSqlDatabase &db, QSqlError *error)
{
    // Names (servers, accounts, channels, members) are stored once, and a
    // place is one server, account and channel (0: none), so that a line's
    // row is its text and a few small numbers. kind: the Kind in the low
    // four bits, then 16 hidden, 32 approximate time. raw: the bytes where
    // the text is not simply them.
    const char *const statements[] = {
        "CREATE TABLE names(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE)",
        "CREATE INDEX names_nocase ON names(name COLLATE NOCASE)",
        "CREATE TABLE places(id INTEGER PRIMARY KEY, server INTEGER NOT NULL, "
        "account INTEGER NOT NULL, channel INTEGER NOT NULL, UNIQUE(server, account, channel))",
        "CREATE TABLE lines(id INTEGER PRIMARY KEY, time INTEGER NOT NULL, "
        "place INTEGER NOT NULL, kind INTEGER NOT NULL, sender INTEGER, text TEXT NOT NULL, "
        "raw BLOB)",
        // An index on one column holds the row id too: (sender, id) gives a
        // member's lines newest first. A channel's lines are found by id
        // near a line, so they need no index of their own.
        "CREATE INDEX lines_sender ON lines(sender)",
        "CREATE INDEX lines_time ON lines(time)",
        // The words index reads the text from lines (external content);
        // no per-row sizes, since results go by id, not by rank.
        "CREATE VIRTUAL TABLE lines_fts USING fts5(text, content='lines', content_rowid='id', "
        "columnsize=0, tokenize='unicode61 remove_diacritics 2')",
        "CREATE TRIGGER lines_ai AFTER INSERT ON lines BEGIN "
        "INSERT INTO lines_fts(rowid, text) VALUES (new.id, new.text); END",
        "CREATE TRIGGER lines_ad AFTER DELETE ON lines BEGIN "
        "INSERT INTO lines_fts(lines_fts, rowid, text) VALUES ('delete', old.id, old.text); END",
        "CREATE TRIGGER lines_au AFTER UPDATE OF text ON lines BEGIN "
        "INSERT INTO lines_fts(lines_fts, rowid, text) VALUES ('delete', old.id, old.text); "
        "INSERT INTO lines_fts(rowid, text) VALUES (new.id, new.text); END",
        // Chat logs imported: the log (its header's hash) and how many of
        // its lines are in, so that importing it again adds only new lines.
        "CREATE TABLE imports(source BLOB PRIMARY KEY, lines INTEGER NOT NULL) WITHOUT ROWID",
    };
    for (const char *sql : statements)
        if (!exec(db, QString::fromLatin1(sql), error))
            return false;
    return true;
}

bool toVersion2(const QSqlDatabase &db, QSqlError *error)
{
    // The words index is no longer kept by a trigger on every insert: the
    // writer indexes the lines after they are committed, in large chunks,
    // when a flood is over (see THistoryStore), and words_indexed says up
    // to which id it has. Lines past it are searched without the index.
    // Only indexed lines are taken out of the index when deleted or changed.
    const char *const statements[] = {
        "DROP TRIGGER lines_ai",
        "DROP TRIGGER lines_ad",
        "DROP TRIGGER lines_au",
        "CREATE TABLE words_indexed(upto INTEGER NOT NULL)",
        // Every line so far went in by the old trigger.
        "INSERT INTO words_indexed(upto) SELECT coalesce(max(id), 0) FROM lines",
        "CREATE TRIGGER lines_ad AFTER DELETE ON lines "
        "WHEN old.id <= (SELECT upto FROM words_indexed) BEGIN "
        "INSERT INTO lines_fts(lines_fts, rowid, text) VALUES ('delete', old.id, old.text); END",
        "CREATE TRIGGER lines_au AFTER UPDATE OF text ON lines "
        "WHEN old.id <= (SELECT upto FROM words_indexed) BEGIN "
        "INSERT INTO lines_fts(lines_fts, rowid, text) VALUES ('delete', old.id, old.text); "
        "INSERT INTO lines_fts(rowid, text) VALUES (new.id, new.text); END",
    };
    for (const char *sql : statements)
        if (!exec(db, QString::fromLatin1(sql), error))
            return false;
    return true;
}

bool toVersion3(const QSqlDatabase &db, QSqlError *error)
{
    // A flood's lines are first stored packed, many to a row (see
    // THistoryStaging), and put into lines when the flood is over, in the
    // order they came. They are the newest: every line in lines came
    // before them.
    return exec(db,
                QStringLiteral("CREATE TABLE staged(id INTEGER PRIMARY KEY, lines BLOB NOT NULL)"),
                error);
}

const Step steps[schemaVersion] = {toVersion1, toVersion2, toVersion3};

bool startsAsSqlite(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return true; // let SQLite say what is wrong
    const QByteArray head = f.read(16);
    return head.isEmpty() || head == QByteArray("SQLite format 3", 16);
}

Opened fail(const QString &connection, Outcome outcome, const QString &why)
{
    close(connection);
    return {outcome, why};
}

Outcome outcomeOf(const QSqlError &error)
{
    if (isBroken(error))
        return Outcome::Broken;
    const QString text = error.text();
    if (text.contains(QLatin1String("no such module")))
        return Outcome::NoSupport;
    return Outcome::Unavailable;
}

} // namespace

int sqliteCode(const QSqlError &error)
{
    bool ok = false;
    const int code = error.nativeErrorCode().toInt(&ok);
    return ok ? (code & 0xff) : 0;
}

bool isBroken(const QSqlError &error)
{
    const int code = sqliteCode(error);
    return code == sqliteCorrupt || code == sqliteNotADb;
}

bool exec(const QSqlDatabase &db, const QString &sql, QSqlError *error)
{
    QSqlQuery q(db);
    if (q.exec(sql)) {
        while (q.next()) {
        }
        return true;
    }
    if (error)
        *error = q.lastError();
    return false;
}

QVariant value(const QSqlDatabase &db, const QString &sql, QSqlError *error)
{
    QSqlQuery q(db);
    if (!q.exec(sql)) {
        if (error)
            *error = q.lastError();
        return QVariant();
    }
    if (!q.next()) {
        if (error)
            *error = q.lastError();
        return QVariant();
    }
    return q.value(0);
}

void incrementalVacuum(const QSqlDatabase &db)
{
    // The pragma frees one page per step, and the driver takes a statement
    // without columns as done after its first step: one run per free page.
    const qint64 free = value(db, QStringLiteral("PRAGMA freelist_count")).toLongLong();
    if (free <= 0)
        return;
    QSqlDatabase d = db;
    d.transaction();
    QSqlQuery q(d);
    q.prepare(QStringLiteral("PRAGMA incremental_vacuum"));
    for (qint64 i = 0; i < free; ++i)
        if (!q.exec())
            break;
    q.finish();
    if (!d.commit())
        d.rollback();
}

void restrictModes(const QString &fileName)
{
    for (const char *suffix : {"", "-wal", "-shm"}) {
        const QByteArray path = QFile::encodeName(fileName + QLatin1String(suffix));
        struct stat st;
        if (::stat(path.constData(), &st) == 0 && (st.st_mode & 0777) != ownerOnlyMode)
            ::chmod(path.constData(), ownerOnlyMode);
    }
}

Opened open(const QString &fileName, const QString &connection)
{
    if (!QSqlDatabase::isDriverAvailable(QStringLiteral("QSQLITE")))
        return {Outcome::NoSupport, QStringLiteral("Qt's SQLite driver is not installed "
                                                   "(the package libqt6sql6-sqlite)")};
    if (!startsAsSqlite(fileName))
        return {Outcome::Broken, QStringLiteral("it is not a database")};
    {
        // Created owner-only before SQLite opens it: the -wal and -shm
        // files it makes take the database's mode.
        const int fd = ::open(QFile::encodeName(fileName).constData(), O_CREAT | O_RDWR | O_CLOEXEC,
                              ownerOnlyMode);
        if (fd < 0)
            return {Outcome::Unavailable, TInOutError::fromErrno(errno).text()};
        ::close(fd);
    }
    restrictModes(fileName);

    QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), connection);
    db.setDatabaseName(fileName);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open()) {
        const QSqlError e = db.lastError();
        db = QSqlDatabase();
        return fail(connection, outcomeOf(e), e.text());
    }
    QSqlError e;
    // Reading the schema finds a file that is not a database or whose
    // first page is damaged.
    const QVariant tables = value(db, QStringLiteral("SELECT count(*) FROM sqlite_master"), &e);
    if (!tables.isValid()) {
        db = QSqlDatabase();
        return fail(connection, outcomeOf(e), e.text());
    }
    const QVariant version = value(db, QStringLiteral("PRAGMA user_version"), &e);
    if (!version.isValid()) {
        db = QSqlDatabase();
        return fail(connection, outcomeOf(e), e.text());
    }
    const int have = version.toInt();
    if (have > schemaVersion) {
        db = QSqlDatabase();
        return fail(connection, Outcome::Newer,
                    QStringLiteral("it was written by a newer Tressel (schema %1; this one "
                                   "knows up to %2)")
                        .arg(have)
                        .arg(schemaVersion));
    }
    if (have == 0) {
        if (tables.toInt() != 0) {
            db = QSqlDatabase();
            return fail(connection, Outcome::Broken,
                        QStringLiteral("it is a database, but not Tressel's history"));
        }
        // Only before the first table: afterwards it would take a VACUUM.
        exec(db, QStringLiteral("PRAGMA auto_vacuum=INCREMENTAL"));
    }
    const QString mode = value(db, QStringLiteral("PRAGMA journal_mode=WAL"), &e).toString();
    if (mode.compare(QLatin1String("wal"), Qt::CaseInsensitive) != 0) {
        db = QSqlDatabase();
        return fail(connection, outcomeOf(e),
                    e.isValid() ? e.text() : QStringLiteral("it cannot be put in WAL mode"));
    }
    // In WAL mode a commit that is not synced is still safe from a crash of
    // the program; only a crash of the system may lose the last commits.
    exec(db, QStringLiteral("PRAGMA synchronous=NORMAL"));
    for (int v = have; v < schemaVersion; ++v) {
        const bool done = db.transaction() && steps[v](db, &e) &&
                          exec(db, QStringLiteral("PRAGMA user_version=%1").arg(v + 1), &e) &&
                          db.commit();
        if (!done) {
            if (!e.isValid())
                e = db.lastError();
            db.rollback();
            db = QSqlDatabase();
            return fail(connection, outcomeOf(e), e.text());
        }
    }
    restrictModes(fileName);
    return {Outcome::Ready, QString()};
}

void close(const QString &connection)
{
    {
        QSqlDatabase db = QSqlDatabase::database(connection, false);
        if (db.isOpen())
            db.close();
    }
    QSqlDatabase::removeDatabase(connection);
}

QString moveAside(const QString &fileName, const QDateTime &when, QString *why)
{
    QString target =
        fileName + QStringLiteral(".broken-") + when.toString(QStringLiteral("yyyy-MM-dd-HHmmss"));
    for (int n = 2; QFileInfo::exists(target) || QFileInfo::exists(target + QLatin1String("-wal"));
         ++n)
        target = fileName + QStringLiteral(".broken-") +
                 when.toString(QStringLiteral("yyyy-MM-dd-HHmmss")) + QLatin1Char('-') +
                 QString::number(n);
    if (::rename(QFile::encodeName(fileName).constData(), QFile::encodeName(target).constData()) !=
        0) {
        if (why)
            *why = TInOutError::fromErrno(errno).text();
        return QString();
    }
    ::chmod(QFile::encodeName(target).constData(), ownerOnlyMode);
    const QString wal = fileName + QLatin1String("-wal");
    if (QFileInfo::exists(wal)) {
        ::rename(QFile::encodeName(wal).constData(),
                 QFile::encodeName(target + QLatin1String("-wal")).constData());
        ::chmod(QFile::encodeName(target + QLatin1String("-wal")).constData(), ownerOnlyMode);
    }
    QFile::remove(fileName + QLatin1String("-shm"));
    return target;
}

} // namespace THistoryDb
