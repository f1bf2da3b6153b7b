#include "history/historystore.h"

#include "history/historydb.h"
#include "history/historyimport.h"
#include "history/historyqueue.h"
#include "history/historystaging.h"

#include <QAbstractEventDispatcher>
#include <QFile>
#include <QHash>
#include <QSqlQuery>
#include <QThread>
#include <QVariant>

#include <atomic>
#include <chrono>
#include <condition_variable>
#include <deque>
#include <future>
#include <mutex>
#include <thread>

using THistory::Line;
using THistoryStaging::Row;
using namespace std::chrono;

namespace {

// The kind column: the Kind in the low bits, then the flags.
constexpr int kindMask = 15;
constexpr int hiddenFlag = 16;
constexpr int approximateFlag = 32;
// How far from a line its context is looked for (in ids).
constexpr qint64 contextReach = 100000;
constexpr qint64 dayMs = 24LL * 60 * 60 * 1000;
constexpr qint64 hourMs = 60LL * 60 * 1000;
// Lines written between two looks at the retention limits, at most.
constexpr qint64 retentionEveryLines = 20000;
// The lines table's columns bound for a line, and lines to an INSERT
// (well under SQLite's limit of bound values).
constexpr int columnCount = 6;
constexpr int rowsPerInsert = 64;
// A flood's lines to one packed row of the staged table.
constexpr int linesPerStagedRow = 4096;
// The write-ahead log's pages before a checkpoint is made during a flood,
// and what of its file is kept afterwards.
constexpr int walPagesBound = 16384;
constexpr int walKeptBytes = 4 * 1024 * 1024;

std::atomic<quint64> storeSerial{0};

QString columns()
{
    return QStringLiteral("l.id, l.time, s.name, a.name, c.name, l.kind, m.name, l.text, l.raw");
}

QString nameJoins()
{
    return QStringLiteral(" JOIN places p ON p.id = l.place LEFT JOIN names s ON s.id = p.server "
                          "LEFT JOIN names a ON a.id = p.account LEFT JOIN names c ON c.id = "
                          "p.channel LEFT JOIN names m ON m.id = l.sender");
}

Line lineOf(const QSqlQuery &q)
{
    Line line;
    line.id = q.value(0).toLongLong();
    line.timeMs = q.value(1).toLongLong();
    line.server = q.value(2).toString();
    line.account = q.value(3).toString();
    line.channel = q.value(4).toString();
    const int kind = q.value(5).toInt();
    line.kind = (kind & kindMask) < THistory::kindCount ? THistory::Kind(kind & kindMask)
                                                        : THistory::Kind::Info;
    line.hidden = kind & hiddenFlag;
    line.approximate = kind & approximateFlag;
    line.sender = q.value(6).toString();
    line.text = q.value(7).toString();
    line.raw = q.value(8).toByteArray();
    return line;
}

} // namespace

namespace {
// Lines the store's thread gathers before handing them to the writer
// without waiting for its event loop.
constexpr int handOverLines = 128;
} // namespace

// The writer thread and everything it shares with the callers.
struct THistoryStore::Writer {
    enum class State { Opening, Ready, Failing, Off };

    THistoryStore *store;
    QString fileName;
    Settings settings;
    QString connection;

    std::mutex mutex;
    std::condition_variable wake;   // to the writer
    std::condition_variable space;  // to callers waiting for room in the queue
    std::condition_variable change; // to callers waiting for the state or a command
    THistoryQueue queue;
    std::deque<std::function<void()>> commands;
    bool stop = false;
    State state = State::Opening;
    QString offReason;
    quint64 generation = 0; // a new file was started
    qint64 dropped = 0;
    int retentionDays = 0;
    int retentionMegabytes = 0;
    std::thread thread;
    std::atomic<bool> running{false}; // thread was started and not joined

    // Raised after lines were deleted: an id may then be given again, and
    // a reader's copy of the lines past the words index is made anew.
    quint64 deletions = 0;
    // Lines stored packed in the staged table, not yet in lines: a reader
    // has them put there before it reads.
    std::atomic<qint64> stagedLines{0};

    // The store's thread's lines not yet handed over (touched on that
    // thread only), and whether a hand-over is posted to its event loop.
    THistoryQueue own;
    bool handOverPosted = false;
    bool watchingLoop = false; // handing over whenever the event loop waits
    qint64 ownSinceMs = 0;     // the time of the oldest line in own

    // The writer's own (touched on its thread only): the queue as taken,
    // and its lines.
    THistoryQueue taken;
    std::deque<Line> batch;
    QHash<QString, qint64> nameIds;
    QHash<QString, qint64> placeIds; // by server, account and channel id
    // The place of the line before: a flood comes from one channel.
    struct LastPlace {
        QString server, account, channel;
        qint64 id = -1;
    } lastPlace;
    // The INSERTs of rowsPerInsert lines and of one, kept from batch to
    // batch (dropped with the connection), with the numbers last bound.
    struct Insert {
        std::unique_ptr<QSqlQuery> query;
        std::vector<qint64> bound;
    } insertMany, insertOne;
    // The words index's INSERT and its mark's UPDATE, kept the same way.
    std::unique_ptr<QSqlQuery> indexInsert, indexMark;
    // The names' INSERT, kept the same way.
    std::unique_ptr<QSqlQuery> nameInsert;
    // The newest line's id, and up to which id the words index holds the
    // lines (words_indexed).
    qint64 lastId = 0;
    qint64 indexedUpTo = 0;
    // How many lines the last batch had: a flood's are large.
    qint64 lastBatchLines = 0;
    // Rows of the staged table (each up to linesPerStagedRow lines).
    qint64 stagedRows = 0;
    // Written since the write-ahead log was last copied into the file.
    qint64 linesSinceCheckpoint = 0;

    int batchLines() const
    {
        return std::max(1, std::min(settings.batchLines, settings.queueBound / 2));
    }

    // About as many lines as SQLite's own checkpoints came after (a
    // thousand pages).
    bool checkpointDue() const { return linesSinceCheckpoint >= 10000; }
    qint64 newestMs = 0;
    qint64 retentionCheckedMs = 0;
    qint64 linesSinceRetention = 0;
    bool problemReported = false;
    int pageLimit = 0;
    Decoder decoder;
    QDateTime startedAt;

    Writer(THistoryStore *s, QString name, const Settings &set)
        : store(s), fileName(std::move(name)), settings(set),
          connection(QStringLiteral("tressel-history-writer-%1").arg(++storeSerial)),
          startedAt(QDateTime::currentDateTime())
    {
    }

    QSqlDatabase db() const { return QSqlDatabase::database(connection, false); }

    void setState(State s, const QString &why = QString())
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            state = s;
            if (s == State::Off)
                offReason = why;
        }
        change.notify_all();
        space.notify_all();
    }

    void report(const QString &text) { Q_EMIT store->problem(text); }

    // Opens the file; a broken one is moved aside and a new one started.
    void openFile()
    {
        // The statements kept from batch to batch go before the connection
        // they were made on is closed: a statement outliving its driver
        // crashes when it is destroyed.
        forgetIds();
        THistoryDb::Opened o = THistoryDb::open(fileName, connection);
        if (o.outcome == THistoryDb::Outcome::Broken) {
            QString why;
            const QString aside = THistoryDb::moveAside(fileName, startedAt, &why);
            if (aside.isEmpty()) {
                const QString text =
                    QStringLiteral("History is off: %1 cannot be read (%2), and it could not be "
                                   "moved aside (%3).")
                        .arg(fileName, o.why, why);
                setState(State::Off, text);
                report(text);
                Q_EMIT store->opened(false);
                return;
            }
            report(QStringLiteral("History: %1 could not be read (%2). It was moved aside as %3 "
                                  "and a new history was started.")
                       .arg(fileName, o.why, aside));
            o = THistoryDb::open(fileName, connection);
        }
        switch (o.outcome) {
        case THistoryDb::Outcome::Ready: {
            forgetIds();
            readIndexMark();
            // The write-ahead log is copied into the file when the writer
            // is idle (or when it has grown this far during a flood), not
            // every thousand pages; once copied, the log file is cut back.
            THistoryDb::exec(db(),
                             QStringLiteral("PRAGMA wal_autocheckpoint=%1").arg(walPagesBound));
            THistoryDb::exec(db(),
                             QStringLiteral("PRAGMA journal_size_limit=%1").arg(walKeptBytes));
            if (pageLimit > 0)
                THistoryDb::exec(db(), QStringLiteral("PRAGMA max_page_count=%1").arg(pageLimit));
            {
                std::lock_guard<std::mutex> lock(mutex);
                ++generation;
            }
            const bool wasFailing = state == State::Failing;
            bool lost = false;
            {
                std::lock_guard<std::mutex> lock(mutex);
                lost = dropped > 0;
            }
            setState(State::Ready);
            if (wasFailing || lost)
                resumed();
            Q_EMIT store->opened(true);
            break;
        }
        case THistoryDb::Outcome::Unavailable:
            failing(o.why);
            if (state != State::Failing)
                setState(State::Failing);
            Q_EMIT store->opened(false);
            break;
        case THistoryDb::Outcome::Newer:
        case THistoryDb::Outcome::NoSupport:
        case THistoryDb::Outcome::Broken: {
            const QString text = o.outcome == THistoryDb::Outcome::Newer
                                     ? QStringLiteral("History is off: %1 is left as it is, since "
                                                      "%2.")
                                           .arg(fileName, o.why)
                                     : QStringLiteral("History is off: %1.").arg(o.why);
            setState(State::Off, text);
            report(text);
            Q_EMIT store->opened(false);
            break;
        }
        }
    }

    void failing(const QString &why)
    {
        if (problemReported)
            return;
        problemReported = true;
        report(QStringLiteral("History cannot be written to %1 (%2). The lines wait in memory "
                              "and are written when it can be written again.")
                   .arg(fileName, why));
    }

    void resumed()
    {
        problemReported = false;
        qint64 lost = 0;
        {
            std::lock_guard<std::mutex> lock(mutex);
            lost = dropped;
            dropped = 0;
        }
        if (lost > 0)
            Q_EMIT store->notice(
                QStringLiteral("History is written again; %1 lines that came while it could "
                               "not be written were too many to hold and are not in it.")
                    .arg(lost));
        else
            Q_EMIT store->notice(QStringLiteral("History is written again."));
    }

    // A problem met while writing: a broken file starts a new one, anything
    // else waits for the next try.
    void writeFailed(const QSqlError &error)
    {
        forgetIds();
        if (THistoryDb::isBroken(error)) {
            THistoryDb::close(connection);
            setState(State::Opening);
            QString why;
            const QString aside =
                THistoryDb::moveAside(fileName, QDateTime::currentDateTime(), &why);
            report(QStringLiteral("History: %1 is damaged (%2). It was moved aside as %3 and a new "
                                  "history was started.")
                       .arg(fileName, error.text(), aside.isEmpty() ? why : aside));
            openFile();
            return;
        }
        failing(error.text());
        setState(State::Failing);
    }

    qint64 nameId(const QString &name, QSqlError *error)
    {
        if (name.isEmpty())
            return 0;
        const auto found = nameIds.constFind(name);
        if (found != nameIds.constEnd())
            return *found;
        // Prepared once for the connection: every member's first line in
        // a session comes here, and a busy channel's joins bring new ones.
        if (!nameInsert) {
            auto made = std::make_unique<QSqlQuery>(db());
            if (!made->prepare(QStringLiteral("INSERT INTO names(name) VALUES (?) ON "
                                              "CONFLICT(name) DO UPDATE SET name = excluded.name "
                                              "RETURNING id"))) {
                *error = made->lastError();
                return -1;
            }
            nameInsert = std::move(made);
        }
        QSqlQuery &q = *nameInsert;
        q.bindValue(0, name);
        if (!q.exec() || !q.next()) {
            *error = q.lastError();
            q.finish();
            return -1;
        }
        const qint64 id = q.value(0).toLongLong();
        // Done with: a statement still running would keep the transaction
        // from committing.
        q.finish();
        // The cache stays small: names in a busy channel come and go.
        if (nameIds.size() > 50000) {
            nameIds.clear();
            placeIds.clear();
            lastPlace = LastPlace();
        }
        nameIds.insert(name, id);
        return id;
    }

    qint64 placeId(const Line &line, QSqlError *error)
    {
        if (lastPlace.id > 0 && line.channel == lastPlace.channel &&
            line.account == lastPlace.account && line.server == lastPlace.server)
            return lastPlace.id;
        const qint64 server = nameId(line.server, error);
        const qint64 account = server < 0 ? -1 : nameId(line.account, error);
        const qint64 channel = account < 0 ? -1 : nameId(line.channel, error);
        if (channel < 0)
            return -1;
        const QString key = QStringLiteral("%1 %2 %3").arg(server).arg(account).arg(channel);
        const auto found = placeIds.constFind(key);
        if (found != placeIds.constEnd()) {
            lastPlace = {line.server, line.account, line.channel, *found};
            return *found;
        }
        QSqlQuery q(db());
        q.prepare(
            QStringLiteral("INSERT INTO places(server, account, channel) VALUES (?, ?, ?) "
                           "ON CONFLICT DO UPDATE SET server = excluded.server RETURNING id"));
        q.addBindValue(server);
        q.addBindValue(account);
        q.addBindValue(channel);
        if (!q.exec() || !q.next()) {
            *error = q.lastError();
            return -1;
        }
        const qint64 id = q.value(0).toLongLong();
        if (placeIds.size() > 50000)
            placeIds.clear();
        placeIds.insert(key, id);
        lastPlace = {line.server, line.account, line.channel, id};
        return id;
    }

    // Forgets what is known of the database's rows (after a rollback, or
    // for another file), and the statements made for it.
    void forgetIds()
    {
        nameIds.clear();
        placeIds.clear();
        lastPlace = LastPlace();
        insertMany = Insert();
        insertOne = Insert();
        indexInsert.reset();
        indexMark.reset();
        nameInsert.reset();
    }

    void readIndexMark()
    {
        lastId = THistoryDb::value(db(), QStringLiteral("SELECT coalesce(max(id), 0) FROM lines"))
                     .toLongLong();
        indexedUpTo =
            THistoryDb::value(db(), QStringLiteral("SELECT upto FROM words_indexed")).toLongLong();
        // Left by a flood the program did not live to see the end of.
        stagedRows =
            THistoryDb::value(db(), QStringLiteral("SELECT count(*) FROM staged")).toLongLong();
        stagedLines = stagedRows * linesPerStagedRow; // at most
    }

    static QVariant idValue(qint64 id)
    {
        return id > 0 ? QVariant(id) : QVariant(QMetaType::fromType<qint64>());
    }

    // A line's row: its place and sender found by name (added when new).
    // False (error set) when they could not be.
    bool rowOf(const Line &line, Row *row, QSqlError *error)
    {
        const qint64 place = placeId(line, error);
        const qint64 sender = place < 0 ? -1 : nameId(line.sender, error);
        if (sender < 0)
            return false;
        row->timeMs = line.timeMs;
        row->place = place;
        row->sender = sender;
        row->kind = int(line.kind) | (line.hidden ? hiddenFlag : 0) |
                    (line.approximate ? approximateFlag : 0);
        row->text = line.text;
        // The bytes only where the text is not simply them.
        const bool plain = line.raw.isNull() || QString::fromLatin1(line.raw) == line.text;
        row->raw = plain ? QByteArray() : line.raw;
        return true;
    }

    // Binds a row at the statement's row'th set of values. A value bound
    // stays bound from one execution to the next, and binding one through
    // Qt SQL costs more than SQLite takes to store it: the numbers a
    // flood's lines share (time, place, kind, sender) and a missing raw
    // are bound only where they differ from the last line's in that row.
    void bindRow(Insert &insert, int at, const Row &row)
    {
        QSqlQuery &q = *insert.query;
        at *= columnCount;
        const auto bindNumber = [&](int column, qint64 value, const QVariant &bound) {
            qint64 &last = insert.bound[size_t(at + column)];
            if (last != value) {
                q.bindValue(at + column, bound);
                last = value;
            }
        };
        // A fast flood brings some two hundred lines in a millisecond.
        bindNumber(0, row.timeMs, row.timeMs);
        bindNumber(1, row.place, row.place);
        bindNumber(2, row.kind, row.kind);
        bindNumber(3, std::max<qint64>(row.sender, 0), idValue(row.sender));
        // A line with no text (an empty talk, an event) is stored as an
        // empty one: a null string would be bound as NULL and refused, and
        // every later batch with it.
        q.bindValue(at + 4, row.text.isNull() ? QStringLiteral("") : row.text);
        if (!row.raw.isNull()) {
            q.bindValue(at + 5, row.raw);
            insert.bound[size_t(at + 5)] = 1;
        } else {
            bindNumber(5, 0, QVariant(QMetaType::fromType<QByteArray>()));
        }
    }

    // The INSERT of rows lines, prepared once for the connection.
    Insert *insertStatement(int rows, QSqlError *error)
    {
        Insert &kept = rows == 1 ? insertOne : insertMany;
        if (kept.query)
            return &kept;
        QString sql =
            QStringLiteral("INSERT INTO lines(time, place, kind, sender, text, raw) VALUES ");
        for (int i = 0; i < rows; ++i)
            sql +=
                i ? QStringLiteral(", (?, ?, ?, ?, ?, ?)") : QStringLiteral("(?, ?, ?, ?, ?, ?)");
        auto q = std::make_unique<QSqlQuery>(db());
        if (!q->prepare(sql)) {
            *error = q->lastError();
            return nullptr;
        }
        kept.query = std::move(q);
        kept.bound.assign(size_t(rows * columnCount), std::numeric_limits<qint64>::min());
        return &kept;
    }

    // Inserts rows into lines, rowsPerInsert to a statement, inside the
    // caller's transaction; false (error set) when one failed.
    bool insertRows(const std::vector<Row> &rows, QSqlError *error)
    {
        for (auto it = rows.begin(); it != rows.end();) {
            const int count = rows.end() - it >= rowsPerInsert ? rowsPerInsert : 1;
            Insert *insert = insertStatement(count, error);
            if (!insert)
                return false;
            for (int row = 0; row < count; ++row, ++it)
                bindRow(*insert, row, *it);
            if (!insert->query->exec()) {
                *error = insert->query->lastError();
                return false;
            }
            lastId = insert->query->lastInsertId().toLongLong();
        }
        return true;
    }

    // Runs what in one transaction; false (error set) when it failed and
    // was rolled back (what is known of the rows is forgotten then).
    bool inTransaction(QSqlError *error, const std::function<bool()> &what)
    {
        QSqlDatabase d = db();
        if (!d.transaction()) {
            *error = d.lastError();
            return false;
        }
        const qint64 lastIdBefore = lastId;
        bool ok = what();
        if (ok && !d.commit()) {
            *error = d.lastError();
            ok = false;
        }
        if (!ok) {
            d.rollback();
            forgetIds();
            lastId = lastIdBefore;
        }
        return ok;
    }

    // Inserts lines in one transaction (after them, what after does);
    // false (error set) when it failed and was rolled back.
    template <class Lines>
    bool insertLines(const Lines &lines, QSqlError *error,
                     const std::function<void()> &after = nullptr)
    {
        return inTransaction(error, [&] {
            std::vector<Row> rows(lines.size());
            auto row = rows.begin();
            for (const Line &line : lines)
                if (!rowOf(line, &*row++, error))
                    return false;
            if (!insertRows(rows, error))
                return false;
            if (after)
                after();
            return true;
        });
    }

    // Stores a flood's lines packed, linesPerStagedRow to a row of the
    // staged table, in one transaction: no index is touched, and one row
    // is written for thousands of lines. They go into lines when the flood
    // is over (settle).
    bool stageLines(const std::deque<Line> &lines, QSqlError *error)
    {
        qint64 rowsAdded = 0;
        const bool ok = inTransaction(error, [&] {
            QSqlQuery q(db());
            if (!q.prepare(QStringLiteral("INSERT INTO staged(lines) VALUES (?)"))) {
                *error = q.lastError();
                return false;
            }
            QByteArray packed;
            int packedLines = 0;
            qint64 left = qint64(lines.size());
            // Room for a row's lines of about a transcript line each.
            const auto begin = [&] {
                packed = QByteArray();
                packed.reserve(qsizetype(std::min<qint64>(left, linesPerStagedRow) * 240));
            };
            const auto store = [&] {
                q.bindValue(0, packed);
                if (!q.exec()) {
                    *error = q.lastError();
                    return false;
                }
                ++rowsAdded;
                left -= packedLines;
                packedLines = 0;
                begin();
                return true;
            };
            begin();
            Row row;
            for (const Line &line : lines) {
                if (!rowOf(line, &row, error))
                    return false;
                THistoryStaging::append(&packed, row);
                if (++packedLines == linesPerStagedRow && !store())
                    return false;
            }
            return packedLines == 0 || store();
        });
        if (ok) {
            stagedRows += rowsAdded;
            stagedLines += qint64(lines.size());
        }
        return ok;
    }

    // Whether a flood's records can be kept as they are in the file.
    static constexpr bool stagesRecords() { return Q_BYTE_ORDER == Q_LITTLE_ENDIAN; }

    // Stores the lines taken from the queue as they are there, their
    // records linesPerStagedRow to a row of staged, in one transaction:
    // during a flood the writer neither reads nor decodes them, and its
    // thread leaves the processors to the window and the server's
    // connection. They are read when they are settled. False (error set,
    // taken left as it was) when writing failed.
    bool stageRecords(QSqlError *error)
    {
        const int lines = taken.size();
        qint64 rowsAdded = 0;
        const bool ok = inTransaction(error, [&] {
            QSqlQuery q(db());
            if (!q.prepare(QStringLiteral("INSERT INTO staged(lines) VALUES (?)"))) {
                *error = q.lastError();
                return false;
            }
            QByteArray row;
            return taken.chunks(linesPerStagedRow, [&](QByteArrayView records, int) {
                row.resize(0);
                row.reserve(records.size() + 1);
                row.append(THistoryStaging::recordsFormat);
                row.append(records);
                q.bindValue(0, row);
                if (!q.exec()) {
                    *error = q.lastError();
                    return false;
                }
                ++rowsAdded;
                return true;
            });
        });
        if (!ok)
            return false; // rolled back: the lines are still in taken
        taken.clear();
        stagedRows += rowsAdded;
        stagedLines += lines;
        lastBatchLines = lines;
        linesSinceCheckpoint += lines;
        linesSinceRetention += lines;
        return true;
    }

    // Puts the oldest row of staged lines into lines, in one transaction;
    // false when none was left or writing failed (and was said).
    bool settleOne()
    {
        QSqlQuery q(db());
        q.setForwardOnly(true);
        if (!q.exec(QStringLiteral("SELECT id, lines FROM staged ORDER BY id LIMIT 1"))) {
            writeFailed(q.lastError());
            return false;
        }
        if (!q.next()) {
            stagedRows = 0;
            stagedLines = 0;
            return false;
        }
        const qint64 id = q.value(0).toLongLong();
        const QByteArray packed = q.value(1).toByteArray();
        q.finish();
        std::vector<Row> rows;
        std::deque<Line> lines;
        const bool records = !packed.isEmpty() && packed.at(0) == THistoryStaging::recordsFormat;
        const bool readable =
            records ? THistoryQueue::readRecords(packed.constData() + 1, packed.size() - 1, &lines)
                    : THistoryStaging::unpack(packed, &rows);
        QSqlError error;
        const bool ok = inTransaction(&error, [&] {
            if (records) {
                decodeLines(lines);
                rows.resize(lines.size());
                auto row = rows.begin();
                for (const Line &line : lines) {
                    newestMs = std::max(newestMs, line.timeMs);
                    if (!rowOf(line, &*row++, &error))
                        return false;
                }
            }
            QSqlQuery done(db());
            done.prepare(QStringLiteral("DELETE FROM staged WHERE id = ?"));
            done.addBindValue(id);
            if (!insertRows(rows, &error))
                return false;
            if (!done.exec()) {
                error = done.lastError();
                return false;
            }
            return true;
        });
        if (!ok) {
            writeFailed(error);
            return false;
        }
        if (!readable)
            report(QStringLiteral("History: a row of lines kept during a flood could not be read "
                                  "back from %1 and was left out; the lines in it are not in the "
                                  "history.")
                       .arg(fileName));
        stagedRows = std::max<qint64>(0, stagedRows - 1);
        stagedLines = std::max<qint64>(0, stagedLines - qint64(rows.size()));
        if (stagedRows == 0)
            stagedLines = 0;
        // A flood's lines: the words index waits for a quiet moment.
        lastBatchLines = std::max<qint64>(lastBatchLines, settings.floodBatchLines);
        return true;
    }

    // Puts every staged line into lines (before they are read, deleted
    // or imported among).
    void settle()
    {
        while (stagedRows > 0 && state == State::Ready)
            if (!settleOne())
                return;
    }

    // Writes the batch: a flood's (or any while a flood's lines are still
    // staged, so that the lines keep their order) packed into staged, a
    // few lines straight into lines.
    bool storeBatch(QSqlError *error)
    {
        if (stagedRows > 0 || qint64(batch.size()) >= settings.floodBatchLines)
            return stageLines(batch, error);
        return insertLines(batch, error);
    }

    // Reads the lines the window left as bytes, off its thread. A flood's
    // lines share their channel and account, and often their sender: those
    // are read once.
    void decodeLines(std::deque<Line> &lines)
    {
        struct Read {
            QString bytes, text;
        } sender, channel, account;
        const auto read = [this](Read &last, QString &field) {
            if (field != last.bytes) {
                last.bytes = field;
                last.text = decoder(field);
            }
            field = last.text;
        };
        for (Line &line : lines) {
            if (!line.undecoded)
                continue;
            line.undecoded = false;
            if (!decoder) {
                line.raw = QByteArray(); // the bytes are the text in Latin-1
                continue;
            }
            const QString bytes = line.text;
            line.text = decoder(bytes);
            // The bytes are kept only where the text is not simply them.
            if (!line.text.isSharedWith(bytes) && line.text != bytes)
                line.raw = bytes.toLatin1();
            read(sender, line.sender);
            read(channel, line.channel);
            read(account, line.account);
        }
    }

    void writeBatch()
    {
        if (batch.empty() || state != State::Ready)
            return;
        decodeLines(batch);
        QSqlError error;
        if (!storeBatch(&error)) {
            writeFailed(error);
            return;
        }
        for (const Line &line : batch)
            newestMs = std::max(newestMs, line.timeMs);
        lastBatchLines = qint64(batch.size());
        linesSinceCheckpoint += lastBatchLines;
        linesSinceRetention += lastBatchLines;
        batch.clear();
        // Not while a flood's lines are staged: the limits are looked at
        // once they are in lines.
        if (stagedRows == 0 &&
            (linesSinceRetention >= retentionEveryLines || newestMs - retentionCheckedMs >= hourMs))
            retain(newestMs);
    }

    // Puts the lines after indexedUpTo up to id to into the words index and
    // moves its mark, inside the caller's transaction; false (error set)
    // when that failed. indexedUpTo is the caller's to move, once committed.
    bool indexRange(qint64 to, QSqlError *error)
    {
        const auto prepared = [&](std::unique_ptr<QSqlQuery> &kept, const QString &sql) {
            if (kept)
                return true;
            auto q = std::make_unique<QSqlQuery>(db());
            if (!q->prepare(sql)) {
                *error = q->lastError();
                return false;
            }
            kept = std::move(q);
            return true;
        };
        if (!prepared(indexInsert, QStringLiteral("INSERT INTO lines_fts(rowid, text) SELECT id, "
                                                  "text FROM lines WHERE id > ? AND id <= ?")) ||
            !prepared(indexMark, QStringLiteral("UPDATE words_indexed SET upto = ?")))
            return false;
        indexInsert->bindValue(0, indexedUpTo);
        indexInsert->bindValue(1, to);
        if (!indexInsert->exec()) {
            *error = indexInsert->lastError();
            return false;
        }
        indexMark->bindValue(0, to);
        if (!indexMark->exec()) {
            *error = indexMark->lastError();
            return false;
        }
        return true;
    }

    // Puts up to most more committed lines into the words index, in one
    // transaction; false when that failed (and was said).
    bool indexLines(qint64 most)
    {
        if (state != State::Ready || indexedUpTo >= lastId)
            return true;
        const qint64 to = std::min(lastId, indexedUpTo + most);
        QSqlError error;
        if (!inTransaction(&error, [&] { return indexRange(to, &error); })) {
            writeFailed(error);
            return false;
        }
        indexedUpTo = to;
        return true;
    }

    // The words index is brought up to the newest line: at once after a
    // few lines, and after a flood's large batches only when the flood is
    // over (the writer found nothing to write) or when indexLagLines wait
    // for it, so that the lines are committed as fast as they come.
    // Returns whether it indexed while idle: the next chunk comes as soon
    // as no line waits.
    bool indexIfDue(bool idle)
    {
        if (state != State::Ready)
            return false;
        // A flood's staged lines go into lines first, a row at a time when
        // the flood is over, or during it once indexLagLines wait.
        if (stagedRows > 0) {
            if (idle || stagedLines >= settings.indexLagLines)
                return settleOne() && idle;
            return false;
        }
        if (indexedUpTo >= lastId) {
            if (idle && checkpointDue()) {
                THistoryDb::exec(db(), QStringLiteral("PRAGMA wal_checkpoint(PASSIVE)"));
                linesSinceCheckpoint = 0;
            }
            return false;
        }
        const qint64 lag = lastBatchLines < settings.floodBatchLines ? settings.trailLines
                                                                     : settings.indexLagLines;
        if (idle || lastId - indexedUpTo >= lag)
            return indexLines(settings.indexChunkLines) && idle;
        return false;
    }

    // After lines were deleted, the ids past the newest line are given
    // again: they must not be taken as indexed.
    void afterDeleting()
    {
        {
            std::lock_guard<std::mutex> lock(mutex);
            ++deletions;
        }
        THistoryDb::exec(db(), QStringLiteral("UPDATE words_indexed SET upto = min(upto, (SELECT "
                                              "coalesce(max(id), 0) FROM lines))"));
        readIndexMark();
    }

    qint64 pragma(const char *name)
    {
        return THistoryDb::value(db(), QStringLiteral("PRAGMA %1").arg(QLatin1String(name)))
            .toLongLong();
    }

    qint64 usedBytes()
    {
        return (pragma("page_count") - pragma("freelist_count")) * pragma("page_size");
    }

    // Deletes lines by rows of a statement (ids), in chunks; returns how many.
    qint64 deleteWhere(const QString &condition, const QVariantList &values)
    {
        QSqlQuery q(db());
        q.prepare(QStringLiteral("DELETE FROM lines WHERE ") + condition);
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec()) {
            writeFailed(q.lastError());
            return 0;
        }
        const qint64 n = q.numRowsAffected();
        if (n > 0)
            afterDeleting();
        return n;
    }

    qint64 retain(qint64 nowMs)
    {
        if (state != State::Ready)
            return 0;
        settle();
        retentionCheckedMs = nowMs;
        linesSinceRetention = 0;
        int days, megabytes;
        {
            std::lock_guard<std::mutex> lock(mutex);
            days = retentionDays;
            megabytes = retentionMegabytes;
        }
        qint64 deleted = 0;
        if (days > 0)
            deleted += deleteWhere(QStringLiteral("time < ?"), {nowMs - days * dayMs});
        if (megabytes > 0) {
            const qint64 limit = qint64(megabytes) * 1024 * 1024;
            // Oldest first: as many lines as the share over the limit, and
            // a few more, since the words index gives its room back only
            // when it is merged.
            for (int round = 0; round < 4 && state == State::Ready; ++round) {
                const qint64 used = usedBytes();
                if (used <= limit)
                    break;
                const qint64 count =
                    THistoryDb::value(db(), QStringLiteral("SELECT count(*) FROM lines"))
                        .toLongLong();
                if (count == 0)
                    break;
                const qint64 keep = qint64(double(count) * double(limit) / double(used) * 0.9);
                deleted += deleteWhere(
                    QStringLiteral("id IN (SELECT id FROM lines ORDER BY time LIMIT ?)"),
                    {std::max<qint64>(1, count - keep)});
                THistoryDb::exec(
                    db(), QStringLiteral("INSERT INTO lines_fts(lines_fts) VALUES ('optimize')"));
                THistoryDb::incrementalVacuum(db());
            }
        }
        if (deleted > 0)
            THistoryDb::incrementalVacuum(db());
        return deleted;
    }

    // Gives the space back after Forget and Clear. The words index is
    // brought up to the lines first, so that nothing is left to write into
    // the log the checkpoint empties.
    void compact()
    {
        indexLines(lastId - indexedUpTo);
        THistoryDb::incrementalVacuum(db());
        THistoryDb::exec(db(), QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
    }

    void run()
    {
        openFile();
        bool catchingUp = false;
        for (;;) {
            std::deque<std::function<void()>> todo;
            bool stopping = false;
            bool retry = false;
            bool idle = false;
            {
                std::unique_lock<std::mutex> lock(mutex);
                const auto ready = [&] {
                    return stop || !commands.empty() || (!queue.empty() && state == State::Ready);
                };
                if (state == State::Failing || !batch.empty()) {
                    retry = !wake.wait_for(lock, milliseconds(settings.retryMs), ready);
                } else {
                    // With the words index behind, a quiet moment is for it.
                    bool woken = true;
                    if (state == State::Ready &&
                        (stagedRows > 0 || indexedUpTo < lastId || checkpointDue()))
                        woken = wake.wait_for(
                            lock, milliseconds(catchingUp ? 0 : settings.commitMs), ready);
                    else
                        wake.wait(lock, ready);
                    idle = !woken;
                    // Lines come in bursts: gather them for one transaction.
                    if (woken && !stop && commands.empty())
                        wake.wait_for(lock, milliseconds(settings.commitMs), [&] {
                            return stop || !commands.empty() || int(queue.size()) >= batchLines();
                        });
                }
                if (state == State::Ready && batch.empty() && !queue.empty()) {
                    // Handed over whole: the callers wait for the lock no
                    // longer than a swap takes.
                    taken.swap(queue);
                    space.notify_all();
                }
                todo.swap(commands);
                stopping = stop;
            }
            if (stagesRecords() && state == State::Ready && batch.empty() && !taken.empty() &&
                (stagedRows > 0 || taken.size() >= settings.floodBatchLines)) {
                // A flood's (or any while a flood's are staged, so that the
                // lines keep their order).
                QSqlError error;
                if (!stageRecords(&error)) {
                    taken.takeInto(&batch);
                    writeFailed(error);
                }
            } else {
                taken.takeInto(&batch);
            }
            if (state == State::Failing && (retry || stopping || !todo.empty())) {
                if (!db().isOpen()) {
                    openFile();
                } else {
                    setState(State::Ready);
                    resumedAfterRetry();
                }
            }
            writeBatch();
            for (auto &command : todo)
                command();
            change.notify_all();
            if (stopping)
                break;
            catchingUp = indexIfDue(idle);
        }
        // What the words index still lacks is indexed after the next start.
        forgetIds();
        THistoryDb::close(connection);
    }

    // The database is open, and writing failed last time: try again.
    void resumedAfterRetry()
    {
        QSqlError error;
        if (!batch.empty()) {
            if (!storeBatch(&error)) {
                failing(error.text());
                setState(State::Failing);
                return;
            }
            batch.clear();
        }
        resumed();
    }

    // Runs f on the writer thread and waits for its result.
    template <class T> T call(std::function<T()> f, T whenOff)
    {
        store->handOver(); // the lines added before come first
        auto task = std::make_shared<std::packaged_task<T()>>(std::move(f));
        std::future<T> result = task->get_future();
        {
            std::lock_guard<std::mutex> lock(mutex);
            if (!thread.joinable() || stop)
                return whenOff;
            commands.push_back([task] { (*task)(); });
        }
        wake.notify_one();
        return result.get();
    }
};

THistoryStore::THistoryStore(QString fileName, QObject *parent)
    : THistoryStore(std::move(fileName), Settings(), parent)
{
}

THistoryStore::THistoryStore(QString fileName, const Settings &settings, QObject *parent)
    : QObject(parent), m_fileName(std::move(fileName)),
      m_writer(std::make_unique<Writer>(this, m_fileName, settings)),
      m_readerName(QStringLiteral("tressel-history-reader-%1").arg(++storeSerial))
{
}

THistoryStore::~THistoryStore() { stop(); }

void THistoryStore::stop()
{
    handOver();
    if (m_writer->thread.joinable()) {
        {
            std::lock_guard<std::mutex> lock(m_writer->mutex);
            m_writer->stop = true;
        }
        m_writer->wake.notify_one();
        m_writer->thread.join();
        m_writer->running.store(false, std::memory_order_release);
    }
    THistoryDb::close(m_readerName);
}

void THistoryStore::start()
{
    // Asked for with every line: no lock once it runs.
    if (m_writer->running.load(std::memory_order_acquire))
        return;
    std::lock_guard<std::mutex> lock(m_writer->mutex);
    if (!m_writer->thread.joinable())
        m_writer->thread = std::thread([w = m_writer.get()] { w->run(); });
    m_writer->running.store(true, std::memory_order_release);
}

bool THistoryStore::waitOpen()
{
    std::unique_lock<std::mutex> lock(m_writer->mutex);
    if (!m_writer->thread.joinable())
        return false;
    m_writer->change.wait(lock, [&] { return m_writer->state != Writer::State::Opening; });
    return m_writer->state != Writer::State::Off;
}

QString THistoryStore::offReason() const
{
    std::lock_guard<std::mutex> lock(m_writer->mutex);
    return m_writer->offReason;
}

void THistoryStore::add(const THistory::LineView &line)
{
    Writer &w = *m_writer;
    if (QThread::currentThread() != thread()) {
        THistoryQueue one;
        one.push(line);
        std::unique_lock<std::mutex> lock(w.mutex);
        handOverLocked(lock, one);
        return;
    }
    // The store's own thread gathers its lines and hands them over when
    // its event loop is about to wait (or every handOverLines, or once the
    // oldest has waited commitMs): a flood's lines cost it no lock and no
    // system call each, and the writer's thread is woken once a batch.
    w.own.push(line);
    if (w.own.size() == 1)
        w.ownSinceMs = line.timeMs;
    if (w.own.size() >= std::min(handOverLines, w.settings.queueBound) ||
        line.timeMs - w.ownSinceMs >= w.settings.commitMs) {
        handOver();
        return;
    }
    if (w.watchingLoop)
        return;
    if (QAbstractEventDispatcher *loop = QAbstractEventDispatcher::instance(thread())) {
        w.watchingLoop = true;
        connect(loop, &QAbstractEventDispatcher::aboutToBlock, this, [this] { handOver(); });
    } else if (!w.handOverPosted) {
        // No event loop yet: the next turn of one, when it runs.
        w.handOverPosted = true;
        QMetaObject::invokeMethod(
            this,
            [this] {
                m_writer->handOverPosted = false;
                handOver();
            },
            Qt::QueuedConnection);
    }
}

void THistoryStore::handOver()
{
    Writer &w = *m_writer;
    if (w.own.empty() || QThread::currentThread() != thread())
        return;
    std::unique_lock<std::mutex> lock(w.mutex);
    handOverLocked(lock, w.own);
}

void THistoryStore::handOverLocked(std::unique_lock<std::mutex> &lock, THistoryQueue &lines)
{
    Writer &w = *m_writer;
    const auto cannotWrite = [&w] {
        return w.state == Writer::State::Failing || w.stop || !w.thread.joinable();
    };
    // No line is dropped while the writer can write: the caller waits for
    // room (the writer takes the whole queue at once).
    while (!w.queue.empty() && w.queue.size() + lines.size() > w.settings.queueBound &&
           w.state != Writer::State::Off && !cannotWrite())
        w.space.wait(lock);
    if (w.state == Writer::State::Off) {
        lines.clear(); // reported once, when it was found
        return;
    }
    const int before = w.queue.size();
    w.queue.append(lines);
    if (cannotWrite()) {
        // Nothing can be written: the oldest waiting lines make room.
        while (w.queue.size() > w.settings.queueBound) {
            w.queue.dropOldest();
            ++w.dropped;
        }
    }
    const int batch = w.batchLines();
    if (before == 0 || (before < batch && w.queue.size() >= batch)) {
        lock.unlock();
        w.wake.notify_one();
    }
}

void THistoryStore::setDecoder(Decoder decoder)
{
    std::lock_guard<std::mutex> lock(m_writer->mutex);
    m_writer->decoder = std::move(decoder);
}

void THistoryStore::flush()
{
    m_writer->call<bool>([] { return true; }, false);
}

void THistoryStore::flushIndex()
{
    m_writer->call<bool>(
        [w = m_writer.get()] {
            w->settle();
            while (w->state == Writer::State::Ready && w->indexedUpTo < w->lastId)
                if (!w->indexLines(w->settings.indexChunkLines))
                    break;
            return true;
        },
        false);
}

void THistoryStore::setRetention(int days, int megabytes)
{
    {
        std::lock_guard<std::mutex> lock(m_writer->mutex);
        m_writer->retentionDays = std::max(0, days);
        m_writer->retentionMegabytes = std::max(0, megabytes);
    }
}

qint64 THistoryStore::applyRetention(qint64 nowMs)
{
    return m_writer->call<qint64>([w = m_writer.get(), nowMs] { return w->retain(nowMs); }, 0);
}

void THistoryStore::scheduleRetention(qint64 nowMs)
{
    {
        std::lock_guard<std::mutex> lock(m_writer->mutex);
        if (!m_writer->thread.joinable() || m_writer->stop)
            return; // applied when the first lines are written
        m_writer->commands.push_back([w = m_writer.get(), nowMs] { w->retain(nowMs); });
    }
    m_writer->wake.notify_one();
}

qint64 THistoryStore::forgetMember(const QString &member)
{
    return m_writer->call<qint64>(
        [w = m_writer.get(), member]() -> qint64 {
            if (w->state != Writer::State::Ready || member.isEmpty())
                return 0;
            w->settle();
            const qint64 n = w->deleteWhere(
                QStringLiteral("sender IN (SELECT id FROM names WHERE name = ? COLLATE NOCASE)"),
                {member});
            w->compact();
            return n;
        },
        0);
}

bool THistoryStore::clear()
{
    return m_writer->call<bool>(
        [w = m_writer.get()] {
            if (w->state != Writer::State::Ready)
                return false;
            QSqlDatabase d = w->db();
            // No line is taken as indexed, so that the trigger leaves the
            // words index alone, which is emptied at once: much faster than
            // a trigger run for every line.
            const char *const statements[] = {
                "UPDATE words_indexed SET upto = 0",
                "DELETE FROM lines",
                "DELETE FROM staged",
                "INSERT INTO lines_fts(lines_fts) VALUES ('delete-all')",
                "DELETE FROM places",
                "DELETE FROM names",
                "DELETE FROM imports",
            };
            QSqlError error;
            bool ok = d.transaction();
            for (const char *sql : statements)
                ok = ok && THistoryDb::exec(d, QString::fromLatin1(sql), &error);
            ok = ok && d.commit();
            if (!ok) {
                d.rollback();
                w->writeFailed(error.isValid() ? error : d.lastError());
                return false;
            }
            w->forgetIds();
            w->stagedRows = 0;
            w->stagedLines = 0;
            w->afterDeleting();
            w->compact();
            return true;
        },
        false);
}

THistoryStore::ImportResult
THistoryStore::importChatLog(const QString &fileName,
                             const std::function<QString(const QByteArray &)> &decode)
{
    ImportResult result;
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly)) {
        result.error = f.errorString();
        return result;
    }
    const THistoryImport::Parsed parsed = THistoryImport::parseChatLog(f.readAll(), decode);
    result.unreadable = parsed.unreadable;
    if (!parsed.error.isEmpty()) {
        result.error = parsed.error;
        return result;
    }
    const QString off = offReason();
    if (!off.isEmpty()) {
        result.error = off;
        return result;
    }
    result.added = m_writer->call<int>(
        [w = m_writer.get(), &parsed, &result]() -> int {
            if (w->state != Writer::State::Ready) {
                result.error = QStringLiteral("the history cannot be written now");
                return 0;
            }
            w->settle();
            QSqlQuery done(w->db());
            done.prepare(QStringLiteral("SELECT lines FROM imports WHERE source = ?"));
            done.addBindValue(parsed.source);
            const int before = done.exec() && done.next() ? done.value(0).toInt() : 0;
            done.finish();
            std::deque<Line> fresh;
            int last = before;
            for (int i = 0; i < parsed.lines.size(); ++i)
                if (parsed.lineNumbers.at(i) > before) {
                    fresh.push_back(parsed.lines.at(i));
                    last = parsed.lineNumbers.at(i);
                }
            if (fresh.empty())
                return 0;
            QSqlError error;
            const bool ok = w->insertLines(fresh, &error, [&] {
                QSqlQuery mark(w->db());
                mark.prepare(QStringLiteral("INSERT OR REPLACE INTO imports(source, lines) "
                                            "VALUES (?, ?)"));
                mark.addBindValue(parsed.source);
                mark.addBindValue(last);
                if (!mark.exec())
                    error = mark.lastError();
            });
            if (!ok || error.isValid()) {
                result.error = error.text();
                return 0;
            }
            return int(fresh.size());
        },
        0);
    return result;
}

bool THistoryStore::openReader()
{
    if (!waitOpen())
        return false;
    // A flood's lines the writer keeps packed go into lines first: every
    // query reads lines alone.
    if (m_writer->stagedLines > 0)
        m_writer->call<bool>(
            [w = m_writer.get()] {
                w->settle();
                return true;
            },
            false);
    quint64 generation;
    {
        std::lock_guard<std::mutex> lock(m_writer->mutex);
        generation = m_writer->generation;
    }
    QSqlDatabase db = QSqlDatabase::database(m_readerName, false);
    if (db.isOpen() && generation == m_readerGeneration)
        return true;
    db = QSqlDatabase();
    THistoryDb::close(m_readerName);
    m_tail = Tail(); // went with the connection
    db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), m_readerName);
    db.setDatabaseName(m_fileName);
    db.setConnectOptions(QStringLiteral("QSQLITE_BUSY_TIMEOUT=5000"));
    if (!db.open())
        return false;
    m_readerGeneration = generation;
    return true;
}

bool THistoryStore::prepareTail(qint64 indexedUpTo, quint64 deletions, QString *why)
{
    // The lines past the words index, in an index of this connection's
    // own (temporary, in memory): kept from search to search and only
    // added to, unless lines were deleted meanwhile (their ids may have
    // been given again).
    QSqlDatabase db = QSqlDatabase::database(m_readerName, false);
    QSqlError error;
    if (!m_tail.made) {
        if (!THistoryDb::exec(db,
                              QStringLiteral("CREATE VIRTUAL TABLE temp.tail_fts USING fts5(text, "
                                             "tokenize='unicode61 remove_diacritics 2')"),
                              &error)) {
            *why = error.databaseText();
            return false;
        }
        m_tail = Tail();
        m_tail.made = true;
        m_tail.deletions = deletions;
    }
    bool ok = true;
    if (m_tail.deletions != deletions || indexedUpTo < m_tail.from) {
        ok = THistoryDb::exec(db, QStringLiteral("DELETE FROM temp.tail_fts"), &error);
        m_tail.from = m_tail.to = indexedUpTo;
        m_tail.deletions = deletions;
    } else if (indexedUpTo > m_tail.from) {
        // Indexed since: searched in the words index now.
        QSqlQuery q(db);
        ok = q.prepare(QStringLiteral("DELETE FROM temp.tail_fts WHERE rowid <= ?"));
        q.addBindValue(indexedUpTo);
        ok = ok && q.exec();
        if (!ok)
            error = q.lastError();
        m_tail.from = indexedUpTo;
        m_tail.to = std::max(m_tail.to, indexedUpTo);
    }
    if (ok) {
        QSqlQuery q(db);
        ok = q.prepare(QStringLiteral("INSERT INTO temp.tail_fts(rowid, text) SELECT id, text FROM "
                                      "lines WHERE id > ? ORDER BY id"));
        q.addBindValue(m_tail.to);
        ok = ok && q.exec();
        if (ok && q.numRowsAffected() > 0)
            m_tail.to = q.lastInsertId().toLongLong();
        if (!ok)
            error = q.lastError();
    }
    if (!ok) {
        // Made anew next time.
        THistoryDb::exec(db, QStringLiteral("DROP TABLE IF EXISTS temp.tail_fts"));
        m_tail = Tail();
        *why = error.databaseText();
    }
    return ok;
}

THistory::Page THistoryStore::search(const THistory::Query &query)
{
    THistory::Page page;
    if (!openReader()) {
        page.error = offReason();
        if (page.error.isEmpty())
            page.error = QStringLiteral("The history cannot be read now.");
        return page;
    }
    QSqlDatabase db = QSqlDatabase::database(m_readerName, false);
    const bool words = !query.match.trimmed().isEmpty();
    // The member's ids first: with one (the usual case) the member's index
    // gives the lines newest first, with no sorting.
    QString sender;
    if (!query.member.isEmpty()) {
        QSqlQuery ids(db);
        ids.prepare(QStringLiteral("SELECT id FROM names WHERE name = ? COLLATE NOCASE"));
        ids.addBindValue(query.member);
        QStringList found;
        if (ids.exec())
            while (ids.next())
                found << QString::number(ids.value(0).toLongLong());
        if (found.isEmpty())
            return page;
        sender = found.size() == 1 ? QStringLiteral("l.sender = ") + found.first()
                                   : QStringLiteral("l.sender IN (") +
                                         found.join(QLatin1Char(',')) + QLatin1Char(')');
    }
    // With words the index leads, newest first, and each match is looked
    // up in the lines; without, the lines do (by the member's index when
    // there is one). With words and a member of not too many lines, the
    // member's lines lead and each is looked up among the word's matches:
    // a common word has hundreds of thousands of them in a long history,
    // and walking them all for the few that are the member's took most of
    // a second.
    const bool memberLeads = words && !sender.isEmpty() &&
                             linesUpTo(sender, m_writer->settings.memberLeadLines + 1) <=
                                 m_writer->settings.memberLeadLines;
    const bool wordsLead = words && !memberLeads;
    // The statement, over one words index (fts).
    const auto statement = [&](const QString &fts, QVariantList *values) {
        QString sql = QStringLiteral("SELECT ") + columns() +
                      (wordsLead ? QStringLiteral(" FROM ") + fts +
                                       QStringLiteral(" f CROSS JOIN lines l ON l.id = f.rowid")
                                 : QStringLiteral(" FROM lines l")) +
                      nameJoins() + QStringLiteral(" WHERE 1");
        const QString name = fts.mid(fts.indexOf(QLatin1Char('.')) + 1);
        if (wordsLead) {
            sql += QStringLiteral(" AND ") + name + QStringLiteral(" MATCH ?");
            *values << query.match;
        } else if (memberLeads) {
            // The + keeps the id from being used to look lines up by: the
            // matches are gathered once and only tested against.
            sql += QStringLiteral(" AND +l.id IN (SELECT rowid FROM ") + fts +
                   QStringLiteral(" WHERE ") + name + QStringLiteral(" MATCH ?") +
                   (query.beforeId > 0 ? QStringLiteral(" AND rowid < ?)") : QStringLiteral(")"));
            *values << query.match;
            if (query.beforeId > 0)
                *values << query.beforeId;
        }
        const QString id = wordsLead ? QStringLiteral("f.rowid") : QStringLiteral("l.id");
        if (query.beforeId > 0) {
            sql += QStringLiteral(" AND ") + id + QStringLiteral(" < ?");
            *values << query.beforeId;
        }
        if (!sender.isEmpty())
            sql += QStringLiteral(" AND ") + sender;
        if (!query.channel.isEmpty()) {
            sql += QStringLiteral(" AND l.place IN (SELECT p.id FROM places p JOIN names n ON n.id "
                                  "= p.channel WHERE n.name = ?)");
            *values << query.channel;
        }
        if (query.kind >= 0) {
            sql += QStringLiteral(" AND (l.kind & 15) = ?");
            *values << query.kind;
        }
        if (query.fromMs != std::numeric_limits<qint64>::min()) {
            sql += QStringLiteral(" AND l.time >= ?");
            *values << query.fromMs;
        }
        if (query.toMs != std::numeric_limits<qint64>::max()) {
            sql += QStringLiteral(" AND l.time <= ?");
            *values << query.toMs;
        }
        if (!query.includeHidden)
            sql += QStringLiteral(" AND (l.kind & 16) = 0");
        sql += QStringLiteral(" ORDER BY ") + id + QStringLiteral(" DESC LIMIT ?");
        return sql;
    };
    const int limit = std::max(1, query.limit);
    // Runs the statement over fts for the page's lines still wanting;
    // false when it failed (page.error set).
    const auto fill = [&](const QString &fts) {
        QVariantList values;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        if (!q.prepare(statement(fts, &values))) {
            page.error = q.lastError().databaseText();
            return false;
        }
        values << limit - int(page.lines.size()) + 1;
        for (const QVariant &v : values)
            q.addBindValue(v);
        if (!q.exec()) {
            const QString why = q.lastError().databaseText();
            page.error = words ? QStringLiteral("The search cannot be read: %1").arg(why) : why;
            return false;
        }
        while (q.next()) {
            if (page.lines.size() == limit) {
                page.more = true;
                break;
            }
            page.lines.append(lineOf(q));
        }
        if (q.lastError().isValid() && page.lines.isEmpty()) {
            const QString why = q.lastError().databaseText();
            page.error = words ? QStringLiteral("The search cannot be read: %1").arg(why) : why;
            return false;
        }
        return true;
    };
    if (!words) {
        fill(QString());
        return page;
    }
    // The lines the writer has not put into the words index yet are
    // searched too, in an index made of them here; they are the newest,
    // so their matches come first. One read transaction: the words index,
    // how far it reaches and the lines past it are of one moment.
    if (!db.transaction()) {
        page.error = db.lastError().databaseText();
        return page;
    }
    QSqlError error;
    const QVariant upto =
        THistoryDb::value(db, QStringLiteral("SELECT upto FROM words_indexed"), &error);
    quint64 deletions;
    {
        std::lock_guard<std::mutex> lock(m_writer->mutex);
        deletions = m_writer->deletions;
    }
    QString why;
    if (!upto.isValid())
        page.error = error.databaseText();
    else if (!prepareTail(upto.toLongLong(), deletions, &why))
        page.error = QStringLiteral("The newest lines cannot be searched: %1").arg(why);
    else if ((m_tail.to <= m_tail.from || fill(QStringLiteral("temp.tail_fts"))) && !page.more)
        fill(QStringLiteral("lines_fts"));
    db.commit();
    if (!page.error.isEmpty())
        page.lines.clear();
    return page;
}

qint64 THistoryStore::linesUpTo(const QString &sender, qint64 most)
{
    return THistoryDb::value(QSqlDatabase::database(m_readerName, false),
                             QStringLiteral("SELECT count(*) FROM (SELECT 1 FROM lines l WHERE ") +
                                 sender + QStringLiteral(" LIMIT %1)").arg(most))
        .toLongLong();
}

QVector<Line> THistoryStore::context(qint64 id, int before, int after, bool includeHidden)
{
    QVector<Line> lines;
    if (!openReader())
        return lines;
    QSqlDatabase db = QSqlDatabase::database(m_readerName, false);
    QSqlQuery at(db);
    at.prepare(QStringLiteral("SELECT p.channel FROM lines l JOIN places p ON p.id = l.place "
                              "WHERE l.id = ?"));
    at.addBindValue(id);
    if (!at.exec() || !at.next())
        return lines;
    const qint64 channel = at.value(0).toLongLong();
    at.finish();
    const QString hidden = includeHidden ? QString() : QStringLiteral(" AND (l.kind & 16) = 0");
    const auto run = [&](const QString &where, const QString &order, int limit, qint64 bound) {
        QVector<Line> out;
        QSqlQuery q(db);
        q.setForwardOnly(true);
        // Looked for by id near the line: a channel's lines have no index.
        q.prepare(QStringLiteral("SELECT ") + columns() + QStringLiteral(" FROM lines l") +
                  nameJoins() + QStringLiteral(" WHERE p.channel = ?") + hidden + where +
                  QStringLiteral(" ORDER BY l.id ") + order + QStringLiteral(" LIMIT ?"));
        q.addBindValue(channel);
        q.addBindValue(id);
        q.addBindValue(bound);
        q.addBindValue(limit);
        if (q.exec())
            while (q.next())
                out.append(lineOf(q));
        return out;
    };
    QVector<Line> older = run(QStringLiteral(" AND l.id < ? AND l.id > ?"), QStringLiteral("DESC"),
                              before, id - contextReach);
    std::reverse(older.begin(), older.end());
    lines = older;
    // The line itself comes whether it is hidden or not.
    QSqlQuery self(db);
    self.prepare(QStringLiteral("SELECT ") + columns() + QStringLiteral(" FROM lines l") +
                 nameJoins() + QStringLiteral(" WHERE l.id = ?"));
    self.addBindValue(id);
    if (self.exec() && self.next())
        lines.append(lineOf(self));
    lines += run(QStringLiteral(" AND l.id > ? AND l.id < ?"), QStringLiteral("ASC"), after,
                 id + contextReach);
    return lines;
}

qint64 THistoryStore::lineCount()
{
    if (!openReader())
        return 0;
    return THistoryDb::value(QSqlDatabase::database(m_readerName, false),
                             QStringLiteral("SELECT count(*) FROM lines"))
        .toLongLong();
}

qint64 THistoryStore::usedBytes()
{
    return m_writer->call<qint64>(
        [w = m_writer.get()]() -> qint64 {
            return w->state == Writer::State::Ready ? w->usedBytes() : 0;
        },
        0);
}

void THistoryStore::limitPages(int pages)
{
    m_writer->call<bool>(
        [w = m_writer.get(), pages] {
            w->pageLimit = pages;
            if (w->db().isOpen())
                THistoryDb::exec(
                    w->db(),
                    QStringLiteral("PRAGMA max_page_count=%1").arg(pages > 0 ? pages : 1073741823));
            return true;
        },
        false);
}
