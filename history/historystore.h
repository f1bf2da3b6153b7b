#pragma once
// The history: every line the window shows (and the ones it hides) kept
// in history.db, searchable in a tenth of a second.
//
// Lines are added from any thread and written by a thread of the store's
// own, which opens the database in the background, takes the lines in
// batches and commits at least every commitMs (a killed program loses at
// most the lines of the last commit interval). The store's own thread
// hands its lines over whenever its event loop is about to wait, or once
// a hundred wait or the oldest has waited commitMs; anything it asks of
// the writer (flush, a search, stop) hands them over first. The queue holds up to
// queueBound lines; when it is full, add() waits for the writer, so no
// line is dropped. Only while the database cannot be written at all (a
// full disk, a folder that cannot be written) does a full queue give up
// its oldest lines, and how many is reported when writing resumes.
//
// A flood's lines (a batch of floodBatchLines or more) are first stored
// packed, thousands to a row of the staged table, which touches no index
// and keeps the writer well ahead of the flood; they go into the lines
// table, in the order they came, when the flood is over (or once
// indexLagLines wait), and at once when anything reads the history. The
// words index follows the lines when they stop coming for a moment, or
// once trailLines of a channel's traffic wait, after a flood's when the
// flood is over (see Settings). A search goes through the index
// and through the lines written past it, so it finds every line written.
//
// Queries run on the thread that makes them, on a connection of their own
// (WAL lets them read while the writer writes); make them from one thread.
// Faults (a broken file moved aside, a newer schema, a full disk) are
// reported once each through problem(), on the store's thread.
#include "history/historytypes.h"

#include <QDateTime>
#include <QObject>
#include <functional>
#include <memory>
#include <mutex>

class THistoryQueue;

class THistoryStore : public QObject {
    Q_OBJECT
public:
    struct Settings {
        int commitMs = 750;
        // Lines waiting when the writer starts on them without waiting out
        // commitMs: a flood's come in batches of about this many, and the
        // last of them is written soon after it came.
        int batchLines = 2000;
        // A quarter of a second of the fastest flood, and well below what
        // the writer writes in one: a writer kept from the processor for a
        // moment by other programs does not stop the window at once, and a
        // full queue (some 15 MB) is never a second behind.
        int queueBound = 50000;
        int retryMs = 5000; // a database that could not be written is tried again
        // A search with words and a member goes through the member's lines
        // when the member has at most this many, else through the words'
        // matches.
        int memberLeadLines = 20000;
        // The words index is brought up to the lines as they are written,
        // except during a flood (a batch of floodBatchLines or more): then
        // it waits until the flood is over, or until indexLagLines lines
        // wait for it, and is made indexChunkLines lines at a time. A
        // search finds the lines it has not got all the same. A flood's
        // lines wait packed in staged in the same way before that.
        int floodBatchLines = 1000;
        int indexLagLines = 200000;
        int indexChunkLines = 20000;
        // A channel's ordinary traffic (smaller batches) waits for the
        // words index until a quiet commitMs or until this many lines wait:
        // the index is written in a few large pieces rather than many
        // small ones, which is most of what the writer does for a busy
        // channel. A search finds the lines past it all the same.
        int trailLines = 2000;
    };
    explicit THistoryStore(QString fileName = QStringLiteral("history.db"),
                           QObject *parent = nullptr);
    THistoryStore(QString fileName, const Settings &settings, QObject *parent = nullptr);
    // Writes what is queued, then closes.
    ~THistoryStore() override;
    // Writes what is queued and closes now (as the destructor does): for a
    // process that ends without destroying its window.
    void stop();

    // Starts the writer, which opens the database; returns at once.
    void start();
    // Waits until the database is open (or known not to be); true when
    // the store keeps history.
    bool waitOpen();
    // Empty while the history is kept; otherwise why it is not.
    QString offReason() const;

    // How the writer reads a line added undecoded (its bytes, one per char),
    // on its own thread; set before start().
    using Decoder = std::function<QString(const QString &bytes)>;
    void setDecoder(Decoder decoder);

    // Queues a line (any thread). raw may be left null when it equals the
    // text in Latin-1. Before start() the queue keeps its newest lines.
    void add(const THistory::LineView &line);
    void add(const THistory::Line &line) { add(THistory::viewOf(line)); }
    // Waits until every line added so far has been written (or has failed to be).
    void flush();
    // The same, and until the words index holds every line written.
    void flushIndex();

    // At most days days and megabytes megabytes (0: no limit); applied
    // now and after each hour of lines.
    void setRetention(int days, int megabytes);
    // Applies the retention as of nowMs; returns the lines deleted.
    qint64 applyRetention(qint64 nowMs);
    // The same, on the writer's thread, without waiting for it.
    void scheduleRetention(qint64 nowMs);
    // Deletes every line from or to a member (ASCII case does not matter);
    // returns how many.
    qint64 forgetMember(const QString &member);
    // Deletes every line.
    bool clear();

    struct ImportResult {
        int added = 0;      // lines new to the history
        int unreadable = 0; // lines that are not a transcript line
        QString error;      // the file could not be read or is no chat log
    };
    // Adds the lines of a chat log Tressel wrote; decode turns a line's
    // bytes into text as the panes show it. A log imported before adds
    // only the lines it has gained since.
    ImportResult importChatLog(const QString &fileName,
                               const std::function<QString(const QByteArray &)> &decode);

    THistory::Page search(const THistory::Query &query);
    // The lines around a line in its channel, oldest first, the line among them.
    QVector<THistory::Line> context(qint64 id, int before, int after, bool includeHidden);
    qint64 lineCount();
    // The database file's size in bytes (pages in use).
    qint64 usedBytes();

    // Limits the database to pages pages, as if the disk were full then
    // (0: no limit).
    void limitPages(int pages);

    const QString &fileName() const { return m_fileName; }

Q_SIGNALS:
    // A fault, in words for the transcript (from the writer's thread).
    void problem(const QString &text);
    // A fault is over ("History is written again."), from the writer's thread.
    void notice(const QString &text);
    // The database is open (or known not to be), from the writer's thread.
    void opened(bool keeping);

private:
    struct Writer;
    QString m_fileName;
    std::unique_ptr<Writer> m_writer;
    QString m_readerName;
    quint64 m_readerGeneration = 0;
    // The reader's index of the lines past the words index: made, and
    // holding the lines with ids in (from, to].
    struct Tail {
        bool made = false;
        qint64 from = 0, to = 0;
        quint64 deletions = 0;
    } m_tail;
    // Hands the lines the store's thread gathered to the writer.
    void handOver();
    void handOverLocked(std::unique_lock<std::mutex> &lock, THistoryQueue &lines);
    bool openReader();
    bool prepareTail(qint64 indexedUpTo, quint64 deletions, QString *why);
    // How many lines the sender condition holds, counting up to most.
    qint64 linesUpTo(const QString &sender, qint64 most);
};
