// The history's store on its own: what goes in comes back, searches and
// filters find what they should page by page, retention, forgetting and
// clearing delete what they should, and a file that is broken, newer,
// full or killed mid-write is dealt with as promised.
#include "history/historydb.h"
#include "history/historystore.h"
#include "historyfixture.h"
#include "support/datarows.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QProcess>
#include <QRandomGenerator>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QThread>
#include <QtTest>

#include <sys/stat.h>

using namespace historytest;
using THistory::Kind;

namespace {

int modeOf(const QString &fileName)
{
    struct stat st;
    return ::stat(QFile::encodeName(fileName).constData(), &st) == 0 ? int(st.st_mode & 0777) : -1;
}

QByteArray fileHash(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return QByteArray();
    return QCryptographicHash::hash(f.readAll(), QCryptographicHash::Sha256);
}

THistoryStore::Settings quick()
{
    THistoryStore::Settings s;
    s.commitMs = 20;
    s.retryMs = 50;
    return s;
}

// A store whose writer leaves the words index behind: every batch is taken
// as a flood's, and no quiet moment comes before the test is over.
THistoryStore::Settings lagging()
{
    THistoryStore::Settings s;
    s.commitMs = 3600000; // lines are written when flushed
    s.floodBatchLines = 1;
    return s;
}

qint64 indexedUpTo(const QString &fileName)
{
    return peek(fileName, QStringLiteral("SELECT upto FROM words_indexed")).toLongLong();
}

// Rows of a flood's lines the writer keeps packed, not yet in lines.
qint64 stagedRows(const QString &fileName)
{
    return peek(fileName, QStringLiteral("SELECT count(*) FROM staged")).toLongLong();
}

qint64 newestId(const QString &fileName)
{
    return peek(fileName, QStringLiteral("SELECT max(id) FROM lines")).toLongLong();
}

// Every page of a query, newest first; fails the test on an error, a line
// out of order or seen twice.
QStringList allPages(THistoryStore &store, THistory::Query q)
{
    QStringList seen;
    qint64 lastId = std::numeric_limits<qint64>::max();
    for (int pages = 0; pages < 1000; ++pages) {
        const THistory::Page page = store.search(q);
        if (!page.error.isEmpty())
            return {QStringLiteral("error: ") + page.error};
        for (const THistory::Line &l : page.lines) {
            if (l.id >= lastId)
                return {QStringLiteral("out of order: ") + l.text};
            lastId = l.id;
            seen << l.text;
        }
        if (!page.more)
            break;
        q.beforeId = page.nextBeforeId();
    }
    return seen;
}

// A store with some lines in it, written and closed, for the fault tests.
void writeSome(const QString &fileName, int count)
{
    THistoryStore store(fileName, quick());
    store.start();
    QVERIFY(store.waitOpen());
    for (int i = 0; i < count; ++i)
        store.add(line(QStringLiteral("bob"), QStringLiteral("line %1").arg(i), i));
    store.flush();
}

// The child that is killed: floods lines until it dies, five thousand a
// second (many times what a busy channel brings, but a pace the writer
// keeps up with, as it does with a real flood).
int flood(const QString &fileName)
{
    THistoryStore::Settings s;
    s.commitMs = 250;
    THistoryStore store(fileName, s);
    store.start();
    if (!store.waitOpen())
        return 1;
    QElapsedTimer clock;
    clock.start();
    for (qint64 i = 0;; ++i) {
        THistory::Line l = line(QStringLiteral("flooder"), QStringLiteral("flood %1").arg(i));
        l.timeMs = QDateTime::currentMSecsSinceEpoch();
        store.add(l);
        if (i == 999) {
            store.flush();
            QTextStream(stdout) << "ready" << Qt::endl;
        }
        if (i == 60000)
            QTextStream(stdout) << "past 60000" << Qt::endl;
        // Real time on purpose: the writer commits on its own real-time
        // timer, and what the kill may cost is counted against it.
        while (clock.nsecsElapsed() < i * 200000)
            QThread::usleep(100);
    }
}

} // namespace

class TestHistoryStore : public QObject {
    Q_OBJECT

private:
    QTemporaryDir m_dir;
    QString path(const QString &name = QStringLiteral("history.db")) const
    {
        return m_dir.filePath(name);
    }

private Q_SLOTS:
    void init()
    {
        QVERIFY(m_dir.isValid());
        for (const QString &f : QDir(m_dir.path()).entryList(QDir::Files))
            QFile::remove(m_dir.filePath(f));
    }

    void writtenLinesComeBackNewestFirst()
    {
        THistoryStore store(path(), quick());
        store.start();
        QVERIFY(store.waitOpen());
        THistory::Line talk = line(QStringLiteral("bob"), QStringLiteral("hello there"), 1);
        THistory::Line utf8 =
            line(QStringLiteral("Zoë"), QStringLiteral("née café"), 2, Kind::WhisperReceived);
        utf8.raw = QStringLiteral("née café").toUtf8();
        THistory::Line hidden = line(QStringLiteral("spammer"), QStringLiteral("buy gold"), 3);
        hidden.hidden = true;
        THistory::Line info =
            line(QString(), QStringLiteral("Welcome to the server"), 4, Kind::Info, QString());
        info.approximate = true;
        // A line without text (an empty talk) is kept, and does not hold
        // up the lines after it.
        const THistory::Line empty = line(QStringLiteral("carol"), QString(), 0);
        QSignalSpy problems(&store, &THistoryStore::problem);
        for (const auto &l : {empty, talk, utf8, hidden, info})
            store.add(l);
        store.flush();
        QVERIFY2(problems.isEmpty(), qPrintable(problems.value(0).value(0).toString()));

        THistory::Query all;
        all.includeHidden = true;
        const THistory::Page page = store.search(all);
        QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
        QCOMPARE(texts(page), QStringList({QStringLiteral("Welcome to the server"),
                                           QStringLiteral("buy gold"), QStringLiteral("née café"),
                                           QStringLiteral("hello there"), QString()}));
        QVERIFY(!page.more);
        const THistory::Line &w = page.lines.at(2);
        QCOMPARE(w.sender, QStringLiteral("Zoë"));
        QCOMPARE(w.kind, Kind::WhisperReceived);
        QCOMPARE(w.raw, QStringLiteral("née café").toUtf8());
        QCOMPARE(w.timeMs, at(2));
        QCOMPARE(w.channel, QStringLiteral("Op Tressel"));
        QCOMPARE(w.server, QStringLiteral("127.0.0.1"));
        QCOMPARE(w.account, QStringLiteral("moderator"));
        QVERIFY(!w.hidden);
        QVERIFY(page.lines.at(1).hidden);
        QVERIFY(page.lines.at(0).approximate);
        QVERIFY(page.lines.at(0).sender.isEmpty());
        QVERIFY(page.lines.at(0).channel.isEmpty());
        // Plain ASCII keeps no second copy of its bytes.
        QVERIFY(page.lines.at(3).raw.isNull());
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines WHERE raw IS NOT NULL"))
                     .toInt(),
                 1);
        // Hidden lines are left out unless asked for.
        QCOMPARE(store.search(THistory::Query()).lines.size(), 4);
        QCOMPARE(store.lineCount(), 5);
    }

    void searchTakesWordsPhrasesAndPrefixes_data()
    {
        columns<QString, QStringList>("match", "found");
        QTest::newRow("word") << "gold" << QStringList{"cheap gold here", "gold is shiny"};
        QTest::newRow("word, any case and accent") << "CAFE" << QStringList{"meet at the café"};
        QTest::newRow("two words, anywhere") << "shiny gold" << QStringList{"gold is shiny"};
        QTest::newRow("phrase") << "\"gold here\"" << QStringList{"cheap gold here"};
        QTest::newRow("phrase in the wrong order") << "\"here gold\"" << QStringList{};
        QTest::newRow("prefix") << "shin*" << QStringList{"gold is shiny", "shine on"};
        QTest::newRow("or") << "café OR cheap"
                            << QStringList{"meet at the café", "cheap gold here"};
        QTest::newRow("not") << "gold NOT cheap" << QStringList{"gold is shiny"};
        QTest::newRow("a link") << "\"example.com\"" << QStringList{"see http://example.com/x"};
    }

    void searchTakesWordsPhrasesAndPrefixes()
    {
        QFETCH(QString, match);
        QFETCH(QStringList, found);
        THistoryStore store(path(), quick());
        store.start();
        int minute = 0;
        for (const char *t : {"shine on", "gold is shiny", "cheap gold here",
                              "see http://example.com/x", "meet at the café"})
            store.add(line(QStringLiteral("bob"), QString::fromUtf8(t), ++minute));
        store.flush();
        THistory::Query q;
        q.match = match;
        const THistory::Page page = store.search(q);
        QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
        QCOMPARE(texts(page), found);
    }

    void searchFtsRejectsGivesAnErrorText_data()
    {
        textRows({"match"}, {{"open quote", "\"gold"},
                             {"lone operator", "AND"},
                             {"unknown column", "nosuch: gold"},
                             {"stray bracket", "gold)"},
                             {"only a star", "*"}});
    }

    void searchFtsRejectsGivesAnErrorText()
    {
        QFETCH(QString, match);
        THistoryStore store(path(), quick());
        store.start();
        store.add(line(QStringLiteral("bob"), QStringLiteral("gold")));
        store.flush();
        THistory::Query q;
        q.match = match;
        const THistory::Page page = store.search(q);
        QVERIFY(page.lines.isEmpty());
        QVERIFY2(page.error.startsWith(QLatin1String("The search cannot be read: ")),
                 qPrintable(page.error));
        // The store goes on answering.
        q.match = QStringLiteral("gold");
        QCOMPARE(store.search(q).lines.size(), 1);
    }

    void pagesFollowTheLastIdWithoutGapsOrRepeats()
    {
        THistoryStore store(path(), quick());
        store.start();
        for (int i = 0; i < 250; ++i) {
            store.add(line(QStringLiteral("Bob"), QStringLiteral("bob says %1").arg(i), i));
            store.add(line(QStringLiteral("carol"), QStringLiteral("carol says %1").arg(i), i));
        }
        store.flush();
        for (const QString &match : {QString(), QStringLiteral("says")}) {
            THistory::Query q;
            q.member = QStringLiteral("BOB"); // ASCII case does not matter
            q.match = match;
            QStringList seen;
            QList<int> sizes;
            qint64 lastId = std::numeric_limits<qint64>::max();
            for (;;) {
                const THistory::Page page = store.search(q);
                QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
                sizes << page.lines.size();
                for (const THistory::Line &l : page.lines) {
                    QVERIFY(l.id < lastId);
                    lastId = l.id;
                    QCOMPARE(l.sender, QStringLiteral("Bob"));
                    seen << l.text;
                }
                if (!page.more)
                    break;
                q.beforeId = page.nextBeforeId();
            }
            QCOMPARE(sizes, QList<int>({100, 100, 50}));
            QCOMPARE(seen.size(), 250);
            QCOMPARE(seen.first(), QStringLiteral("bob says 249"));
            QCOMPARE(seen.last(), QStringLiteral("bob says 0"));
            QCOMPARE(QSet<QString>(seen.begin(), seen.end()).size(), 250);
        }
        // Lines added after the first page do not disturb the next ones.
        THistory::Query q;
        q.member = QStringLiteral("carol");
        q.limit = 10;
        const THistory::Page first = store.search(q);
        store.add(line(QStringLiteral("carol"), QStringLiteral("late line"), 999));
        store.flush();
        q.beforeId = first.nextBeforeId();
        QCOMPARE(store.search(q).lines.first().text, QStringLiteral("carol says 239"));
    }

    void filtersNarrowTheLines()
    {
        THistoryStore store(path(), quick());
        store.start();
        store.add(line(QStringLiteral("bob"), QStringLiteral("gold in op"), 0));
        store.add(line(QStringLiteral("bob"), QStringLiteral("gold in public"), 10, Kind::Talk,
                       QStringLiteral("Public Chat 1")));
        store.add(line(QStringLiteral("bob"), QStringLiteral("gold emote"), 20, Kind::Emote));
        store.add(line(QStringLiteral("carol"), QStringLiteral("gold from carol"), 30));
        THistory::Line hidden = line(QStringLiteral("bob"), QStringLiteral("gold hidden"), 40);
        hidden.hidden = true;
        store.add(hidden);
        store.add(line(QStringLiteral("bob"), QStringLiteral("silver late"), 50));
        store.flush();

        const auto find = [&](const std::function<void(THistory::Query &)> &set) {
            THistory::Query q;
            set(q);
            const THistory::Page page = store.search(q);
            if (!page.error.isEmpty())
                qWarning() << page.error;
            return texts(page);
        };
        QCOMPARE(find([](auto &q) { q.channel = QStringLiteral("Public Chat 1"); }),
                 QStringList{"gold in public"});
        QCOMPARE(find([](auto &q) { q.channel = QStringLiteral("No Such Channel"); }),
                 QStringList{});
        QCOMPARE(find([](auto &q) { q.kind = int(Kind::Emote); }), QStringList{"gold emote"});
        QCOMPARE(find([](auto &q) { q.member = QStringLiteral("nobody"); }), QStringList{});
        // Names that differ in case only are one member to a search.
        store.add(line(QStringLiteral("CAROL"), QStringLiteral("shouting carol"), 60));
        store.flush();
        QCOMPARE(find([](auto &q) { q.member = QStringLiteral("Carol"); }),
                 QStringList({"shouting carol", "gold from carol"}));
        QCOMPARE(find([](auto &q) {
                     q.fromMs = at(10);
                     q.toMs = at(30);
                 }),
                 QStringList({"gold from carol", "gold emote", "gold in public"}));
        QCOMPARE(find([](auto &q) {
                     q.match = QStringLiteral("gold");
                     q.member = QStringLiteral("bob");
                     q.fromMs = at(5);
                     q.toMs = at(45);
                 }),
                 QStringList({"gold emote", "gold in public"}));
        QCOMPARE(find([](auto &q) {
                     q.match = QStringLiteral("gold");
                     q.member = QStringLiteral("bob");
                     q.fromMs = at(5);
                     q.toMs = at(45);
                     q.includeHidden = true;
                 }),
                 QStringList({"gold hidden", "gold emote", "gold in public"}));
    }

    void wordsAndAMemberFindTheSameLinesWhicheverLeads()
    {
        // A search with words and a member goes through the member's lines
        // or through the words' matches, by how many lines the member has:
        // both ways give the same pages, newest first, hidden lines, the
        // date range and the word's matches (not its prefix) respected.
        const QStringList who = {"bob", "carol", "dave"}, words = {"gold", "golden", "ore"};
        QStringList want; // "bob", "gold", minutes 100 to 500, not hidden: newest first
        {
            // Written as a flood's lines, with no quiet moment after them:
            // the words index does not have them yet.
            THistoryStore store(path(), lagging());
            store.start();
            QRandomGenerator rnd(3);
            for (int i = 0; i < 900; ++i) {
                THistory::Line l =
                    line(who[int(rnd.bounded(3))],
                         QStringLiteral("%1 %2 %3")
                             .arg(words[int(rnd.bounded(3))], words[int(rnd.bounded(3))])
                             .arg(i),
                         i);
                l.hidden = rnd.bounded(10) == 0;
                store.add(l);
                if (l.sender == QLatin1String("bob") && !l.hidden && i >= 100 && i <= 500 &&
                    l.text.split(QLatin1Char(' ')).contains(QLatin1String("gold")))
                    want.prepend(l.text);
            }
            store.flush();
        }
        QVERIFY(want.size() > 30);
        QCOMPARE(peek(path(), QStringLiteral("SELECT upto FROM words_indexed")).toInt(), 0);
        // First past the words index, then through it.
        for (const bool indexed : {false, true})
            for (const int memberLeadLines : {0, 100000}) {
                THistoryStore::Settings s = lagging();
                s.memberLeadLines = memberLeadLines;
                THistoryStore store(path(), s);
                store.start();
                if (indexed)
                    store.flushIndex();
                QCOMPARE(peek(path(), QStringLiteral("SELECT upto FROM words_indexed")).toInt(),
                         indexed ? 900 : 0);
                THistory::Query q;
                q.match = QStringLiteral("gold");
                q.member = QStringLiteral("BOB");
                q.fromMs = at(100);
                q.toMs = at(500);
                q.limit = 7;
                QStringList seen;
                for (int pages = 0;; ++pages) {
                    QVERIFY(pages < 100);
                    const THistory::Page page = store.search(q);
                    QVERIFY2(page.error.isEmpty(), qPrintable(page.error));
                    seen += texts(page);
                    if (!page.more)
                        break;
                    q.beforeId = page.nextBeforeId();
                }
                QCOMPARE(seen, want);
                // A query the index cannot read is said either way.
                q.match = QStringLiteral("gold AND");
                q.beforeId = 0;
                QVERIFY(!store.search(q).error.isEmpty());
            }
    }

    void contextShowsTheChannelAroundALine()
    {
        THistoryStore store(path(), quick());
        store.start();
        for (int i = 0; i < 10; ++i) {
            store.add(line(QStringLiteral("bob"), QStringLiteral("op %1").arg(i), i));
            store.add(line(QStringLiteral("bob"), QStringLiteral("public %1").arg(i), i, Kind::Talk,
                           QStringLiteral("Public")));
        }
        THistory::Line hidden = line(QStringLiteral("x"), QStringLiteral("op hidden"), 11);
        hidden.hidden = true;
        store.add(hidden);
        store.add(line(QStringLiteral("bob"), QStringLiteral("op last"), 12));
        store.flush();
        THistory::Query q;
        q.match = QStringLiteral("\"op 5\"");
        const THistory::Page hit = store.search(q);
        QCOMPARE(hit.lines.size(), 1);
        QStringList around;
        for (const THistory::Line &l : store.context(hit.lines.first().id, 2, 2, false))
            around << l.text;
        QCOMPARE(around, QStringList({"op 3", "op 4", "op 5", "op 6", "op 7"}));
        q.match = QStringLiteral("\"op 9\"");
        around.clear();
        for (const THistory::Line &l : store.context(store.search(q).lines.first().id, 1, 5, false))
            around << l.text;
        QCOMPARE(around, QStringList({"op 8", "op 9", "op last"}));
        around.clear();
        for (const THistory::Line &l : store.context(store.search(q).lines.first().id, 0, 5, true))
            around << l.text;
        QCOMPARE(around, QStringList({"op 9", "op hidden", "op last"}));
        QVERIFY(store.context(999999, 2, 2, true).isEmpty());
    }

    void retentionDeletesOldestByDaysAndBySize()
    {
        THistoryStore store(path(), quick());
        store.start();
        const qint64 day = 24LL * 60 * 60 * 1000;
        const qint64 now = at();
        for (int age : {400, 366, 364, 10, 0}) {
            THistory::Line l = line(QStringLiteral("bob"), QStringLiteral("aged %1").arg(age));
            l.timeMs = now - age * day;
            store.add(l);
        }
        store.flush();
        store.setRetention(365, 0);
        QCOMPARE(store.applyRetention(now), 2);
        QCOMPARE(texts(store.search(THistory::Query())),
                 QStringList({"aged 0", "aged 10", "aged 364"}));

        // By size: about 4 MB of lines against a limit of 1 MB.
        const QString filler = QString(80, QLatin1Char('w'));
        for (int i = 0; i < 20000; ++i) {
            THistory::Line l = line(QStringLiteral("m%1").arg(i % 50),
                                    QStringLiteral("n%1 %2").arg(i).arg(filler));
            l.timeMs = now - 20000 + i;
            store.add(l);
        }
        store.flush();
        QVERIFY(store.usedBytes() > 2 * 1024 * 1024);
        store.setRetention(0, 1);
        QVERIFY(store.applyRetention(now) > 0);
        QVERIFY2(store.usedBytes() <= 1024 * 1024, qPrintable(QString::number(store.usedBytes())));
        // The newest are kept (by their time, not by when they came).
        THistory::Query q;
        q.match = QStringLiteral("aged");
        QCOMPARE(texts(store.search(q)), QStringList{"aged 0"});
        q.match = QStringLiteral("n19999");
        QCOMPARE(store.search(q).lines.size(), 1);
        q.match = QStringLiteral("n0");
        QCOMPARE(store.search(q).lines.size(), 0);
        QCOMPARE(peek(path(), QStringLiteral("PRAGMA auto_vacuum")).toInt(), 2);
        QCOMPARE(peek(path(), QStringLiteral("PRAGMA freelist_count")).toInt(), 0);
    }

    void forgetAndClearLeaveTheIndexWhole()
    {
        THistoryStore store(path(), quick());
        store.start();
        for (int i = 0; i < 30; ++i) {
            store.add(line(QStringLiteral("Squelched"), QStringLiteral("secret %1").arg(i), i));
            store.add(line(QStringLiteral("friend"), QStringLiteral("public %1").arg(i), i));
        }
        THistory::Line sent =
            line(QStringLiteral("squelched"), QStringLiteral("secret to"), 40, Kind::WhisperSent);
        store.add(sent);
        store.flush();
        QCOMPARE(store.forgetMember(QStringLiteral("SQUELCHED")), 31);
        THistory::Query q;
        q.match = QStringLiteral("secret");
        QCOMPARE(store.search(q).lines.size(), 0);
        q.match = QStringLiteral("public");
        QCOMPARE(store.search(q).lines.size(), 30);
        QCOMPARE(failureOf(path(), QStringLiteral("INSERT INTO lines_fts(lines_fts) VALUES "
                                                  "('integrity-check')")),
                 QString());
        // The checkpoint emptied the -wal file.
        QCOMPARE(QFileInfo(path() + QStringLiteral("-wal")).size(), 0);

        QVERIFY(store.clear());
        QCOMPARE(store.lineCount(), 0);
        QCOMPARE(store.search(q).lines.size(), 0);
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines_fts WHERE lines_fts MATCH "
                                             "'public'"))
                     .toInt(),
                 0);
        store.add(line(QStringLiteral("friend"), QStringLiteral("public again")));
        store.flush();
        QCOMPARE(texts(store.search(q)), QStringList{"public again"});
        QCOMPARE(failureOf(path(), QStringLiteral("INSERT INTO lines_fts(lines_fts) VALUES "
                                                  "('integrity-check')")),
                 QString());
    }

    void aFloodIsKeptPackedUntilItIsOver()
    {
        // A flood's batches are stored packed in staged, not in lines; a
        // read puts them into lines first, in the order they came, and a
        // few lines that come meanwhile wait behind them.
        THistoryStore::Settings s = lagging();
        s.floodBatchLines = 100;
        THistoryStore store(path(), s);
        QSignalSpy problems(&store, &THistoryStore::problem);
        store.start();
        for (int i = 0; i < 5000; ++i) {
            THistory::Line l = line(i % 3 ? QStringLiteral("bob") : QStringLiteral("Zoë"),
                                    QStringLiteral("wave %1 ünïcode").arg(i), i);
            l.hidden = i % 7 == 0;
            if (i % 11 == 0) {
                l.raw = l.text.toUtf8(); // not simply the text's bytes
            }
            store.add(l);
        }
        store.flush();
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines")).toInt(), 0);
        QVERIFY(stagedRows(path()) >= 2);
        store.add(line(QStringLiteral("carol"), QStringLiteral("after the wave"), 6000));
        store.flush();
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines")).toInt(), 0);

        THistory::Query q;
        q.includeHidden = true;
        q.limit = 1000;
        const QStringList all = allPages(store, q);
        QCOMPARE(stagedRows(path()), 0);
        QCOMPARE(all.size(), 5001);
        QCOMPARE(all.first(), QStringLiteral("after the wave"));
        QCOMPARE(all.last(), QStringLiteral("wave 0 ünïcode"));
        for (int i = 0; i < 5000; ++i)
            QCOMPARE(all.at(5000 - i), QStringLiteral("wave %1 ünïcode").arg(i));
        // Every field as it was given.
        const QVector<THistory::Line> first = store.context(1, 0, 0, true);
        QCOMPARE(first.size(), 1);
        QCOMPARE(first.first().sender, QStringLiteral("Zoë"));
        QCOMPARE(first.first().timeMs, at(0));
        QCOMPARE(first.first().raw, QStringLiteral("wave 0 ünïcode").toUtf8());
        QCOMPARE(first.first().hidden, true);
        QCOMPARE(first.first().channel, QStringLiteral("Op Tressel"));
        const QVector<THistory::Line> ninth = store.context(9, 0, 0, true);
        QCOMPARE(ninth.size(), 1);
        QCOMPARE(ninth.first().sender, QStringLiteral("bob"));
        QCOMPARE(ninth.first().hidden, false);
        QVERIFY(ninth.first().raw.isNull());
        q.member = QStringLiteral("zoë");
        q.includeHidden = false;
        q.match = QStringLiteral("wave");
        int zoes = 0;
        for (int i = 0; i < 5000; ++i)
            zoes += i % 3 == 0 && i % 7 != 0;
        QCOMPARE(allPages(store, q).size(), zoes);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.value(0).value(0).toString()));

        // A writer left alone puts them into lines itself, and then into
        // the words index.
        THistoryStore::Settings calm = quick();
        calm.floodBatchLines = 100;
        THistoryStore idle(path() + QStringLiteral(".2"), calm);
        idle.start();
        for (int i = 0; i < 3000; ++i)
            idle.add(line(QStringLiteral("bob"), QStringLiteral("calm %1").arg(i), i));
        idle.flush();
        QTRY_COMPARE(indexedUpTo(path() + QStringLiteral(".2")), 3000);
        QCOMPARE(stagedRows(path() + QStringLiteral(".2")), 0);
    }

    void aDamagedPackedRowIsSaidAndLeftOut()
    {
        {
            THistoryStore::Settings s = lagging();
            s.floodBatchLines = 10;
            THistoryStore store(path(), s);
            store.start();
            for (int i = 0; i < 20; ++i)
                store.add(line(QStringLiteral("bob"), QStringLiteral("kept %1").arg(i), i));
            store.flush();
        }
        // A row cut short, and one of another format, after the good one.
        QCOMPARE(failureOf(path(), QStringLiteral("INSERT INTO staged(lines) SELECT substr(lines, "
                                                  "1, 40) FROM staged")),
                 QString());
        QCOMPARE(failureOf(path(), QStringLiteral("INSERT INTO staged(lines) VALUES (x'ff00')")),
                 QString());
        THistoryStore store(path(), quick());
        QSignalSpy problems(&store, &THistoryStore::problem);
        store.start();
        QCOMPARE(store.lineCount(), 20);
        QTRY_COMPARE(problems.size(), 2);
        QVERIFY2(problems.at(0).at(0).toString().contains(QLatin1String("could not be read back")),
                 qPrintable(problems.at(0).at(0).toString()));
        QCOMPARE(stagedRows(path()), 0);
        store.add(line(QStringLiteral("bob"), QStringLiteral("and on")));
        store.flush();
        QCOMPARE(store.lineCount(), 21);
    }

    void searchesFindTheLinesTheWordsIndexHasNotGot()
    {
        THistoryStore store(path(), lagging());
        store.start();
        for (int i = 0; i < 30; ++i)
            store.add(line(i % 2 ? QStringLiteral("Alice") : QStringLiteral("bob"),
                           QStringLiteral("early %1").arg(i), i));
        store.flushIndex();
        QCOMPARE(indexedUpTo(path()), 30);
        for (int i = 0; i < 30; ++i)
            store.add(line(i % 2 ? QStringLiteral("Alice") : QStringLiteral("bob"),
                           QStringLiteral("late %1").arg(i), 100 + i));
        THistory::Line hidden =
            line(QStringLiteral("Squelched"), QStringLiteral("late insult"), 200);
        hidden.hidden = true;
        store.add(hidden);
        store.flush();
        // Written, and past the words index (counting puts the lines kept
        // packed into lines first, as every read does).
        QCOMPARE(store.lineCount(), 61);
        QCOMPARE(newestId(path()), 61);
        QCOMPARE(indexedUpTo(path()), 30);

        THistory::Query q;
        q.match = QStringLiteral("late");
        QCOMPARE(store.search(q).lines.size(), 30);
        q.includeHidden = true;
        QCOMPARE(store.search(q).lines.first().text, QStringLiteral("late insult"));
        q.match = QStringLiteral("\"late 29\"");
        QCOMPARE(texts(store.search(q)), QStringList{"late 29"});
        // Pages run on from the newest lines into the indexed ones.
        q.match = QStringLiteral("early OR lat*");
        q.limit = 7;
        QStringList want;
        want << QStringLiteral("late insult");
        for (int i = 29; i >= 0; --i)
            want << QStringLiteral("late %1").arg(i);
        for (int i = 29; i >= 0; --i)
            want << QStringLiteral("early %1").arg(i);
        QCOMPARE(allPages(store, q), want);
        q.member = QStringLiteral("alice");
        q.includeHidden = false;
        QStringList alices;
        for (const QString &t : want)
            if (t.split(QLatin1Char(' ')).value(1).toInt() % 2 == 1)
                alices << t;
        QCOMPARE(allPages(store, q), alices);

        // A member forgotten is gone from both; the ids given again after
        // the newest lines went are not found by the words they had.
        store.add(line(QStringLiteral("Alice"), QStringLiteral("late farewell"), 300));
        store.flush();
        q.member.clear();
        q.match = QStringLiteral("farewell");
        QCOMPARE(store.search(q).lines.size(), 1);
        QCOMPARE(store.forgetMember(QStringLiteral("ALICE")), 31);
        store.add(line(QStringLiteral("bob"), QStringLiteral("fresh start"), 301));
        store.flush();
        QCOMPARE(store.lineCount(), 32);
        QCOMPARE(newestId(path()), 62); // the farewell's id
        QCOMPARE(store.search(q).lines.size(), 0);
        q.match = QStringLiteral("fresh");
        QCOMPARE(texts(store.search(q)), QStringList{"fresh start"});
        q.match = QStringLiteral("early OR lat*");
        q.includeHidden = true;
        QStringList bobs;
        for (const QString &t : want)
            if (!alices.contains(t))
                bobs << t;
        QCOMPARE(allPages(store, q), bobs);
        QCOMPARE(failureOf(path(), QStringLiteral("INSERT INTO lines_fts(lines_fts) VALUES "
                                                  "('integrity-check')")),
                 QString());

        // Indexed at last: the same lines, now all through the words index.
        store.flushIndex();
        QCOMPARE(indexedUpTo(path()), 62);
        QCOMPARE(allPages(store, q), bobs);
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines_fts WHERE lines_fts "
                                             "MATCH 'fresh OR lat* OR early'"))
                     .toInt(),
                 bobs.size() + 1);
    }

    void aChannelsTrafficIsIndexedInLargePieces()
    {
        // Lines keep coming (no quiet moment before the test is over) in
        // small batches: the words index waits for trailLines of them, and
        // a search finds the ones past it meanwhile.
        THistoryStore::Settings s;
        s.commitMs = 3600000; // written when flushed
        s.trailLines = 100;
        THistoryStore store(path(), s);
        store.start();
        int id = 0;
        const auto batch = [&](int lines) {
            for (int i = 0; i < lines; ++i, ++id)
                store.add(line(QStringLiteral("bob"), QStringLiteral("steady %1").arg(id), id));
            store.flush();
        };
        for (int b = 0; b < 6; ++b)
            batch(15);
        QCOMPARE(newestId(path()), 90);
        QCOMPARE(indexedUpTo(path()), 0);
        THistory::Query q;
        q.match = QStringLiteral("steady");
        q.limit = 500;
        QCOMPARE(store.search(q).lines.size(), 90);
        batch(15); // 105 wait: indexed in one piece
        QTRY_COMPARE(indexedUpTo(path()), 105);
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines_fts WHERE lines_fts "
                                             "MATCH 'steady'"))
                     .toInt(),
                 105);
        batch(15);
        QCOMPARE(indexedUpTo(path()), 105);
        QCOMPARE(store.search(q).lines.size(), 120);
    }

    void theWordsIndexCatchesUpWhenTheFloodIsOver()
    {
        // Small batches are indexed in the quiet moment after them.
        THistoryStore::Settings s = quick();
        s.floodBatchLines = 50;
        THistoryStore store(path(), s);
        store.start();
        for (int i = 0; i < 10; ++i)
            store.add(line(QStringLiteral("bob"), QStringLiteral("calm %1").arg(i), i));
        store.flush();
        QTRY_COMPARE(indexedUpTo(path()), 10);
        // A flood's wait for a quiet moment, and are then indexed a chunk
        // at a time.
        for (int i = 0; i < 500; ++i)
            store.add(line(QStringLiteral("bob"), QStringLiteral("flood %1").arg(i), 10 + i));
        store.flush();
        QTRY_COMPARE(indexedUpTo(path()), 510);
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines_fts WHERE lines_fts "
                                             "MATCH 'flood'"))
                     .toInt(),
                 500);

        // Deleting the newest indexed lines gives their ids again: those
        // lines are indexed when they come, not taken as indexed already.
        store.add(line(QStringLiteral("Gone"), QStringLiteral("gone soon"), 600));
        store.flush();
        QTRY_COMPARE(indexedUpTo(path()), 511);
        QCOMPARE(store.forgetMember(QStringLiteral("gone")), 1);
        QCOMPARE(indexedUpTo(path()), 510);
        store.add(line(QStringLiteral("bob"), QStringLiteral("renewed"), 601));
        store.flushIndex();
        QCOMPARE(newestId(path()), 511);
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines_fts WHERE lines_fts "
                                             "MATCH 'renewed'"))
                     .toInt(),
                 1);
    }

    void aHistoryOfTheFirstSchemaIsBroughtUpToDate()
    {
        // Written by the store of schema 1 (every line indexed by a trigger
        // as it was inserted): 40 talk lines about the ladder from Alice and
        // bob, a hidden line, a whisper, an emote kept with its bytes, and
        // five lines of a member since forgotten.
        const QString old = QFINDTESTDATA("history/history-schema1.db");
        QVERIFY(!old.isEmpty());
        QVERIFY(QFile::copy(old, path()));
        QFile(path()).setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner);
        QCOMPARE(peek(path(), QStringLiteral("PRAGMA user_version")).toInt(), 1);
        THistoryStore store(path(), lagging());
        store.start();
        QVERIFY(store.waitOpen());
        QCOMPARE(peek(path(), QStringLiteral("PRAGMA user_version")).toInt(),
                 THistoryDb::schemaVersion);
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM sqlite_master WHERE name = "
                                             "'lines_ai'"))
                     .toInt(),
                 0);
        QCOMPARE(store.lineCount(), 43);
        // Every line it had is taken as indexed.
        QCOMPARE(indexedUpTo(path()), 43);

        THistory::Query q;
        q.match = QStringLiteral("ladder");
        QCOMPARE(store.search(q).lines.size(), 40);
        q.match = QStringLiteral("insult");
        QCOMPARE(store.search(q).lines.size(), 0);
        q.includeHidden = true;
        QCOMPARE(texts(store.search(q)), QStringList{"hidden insult"});
        q.match = QStringLiteral("cafe");
        const THistory::Page emote = store.search(q);
        QCOMPARE(emote.lines.size(), 1);
        QCOMPARE(emote.lines.first().raw, QByteArray("caf\xc3\xa9 ol\xc3\xa9"));
        QCOMPARE(emote.lines.first().kind, Kind::Emote);
        q.match = QStringLiteral("secret");
        QCOMPARE(store.search(q).lines.first().kind, Kind::WhisperReceived);

        // Written to and forgotten from as any other.
        store.add(line(QStringLiteral("carol"), QStringLiteral("new ladder talk"), 500));
        store.flush();
        QCOMPARE(store.forgetMember(QStringLiteral("BOB")), 21);
        q.match = QStringLiteral("ladder");
        q.includeHidden = false;
        const QStringList found = texts(store.search(q));
        QCOMPARE(found.size(), 21);
        QCOMPARE(found.first(), QStringLiteral("new ladder talk"));
        store.flushIndex();
        QCOMPARE(peek(path(), QStringLiteral("SELECT count(*) FROM lines_fts WHERE lines_fts "
                                             "MATCH 'ladder'"))
                     .toInt(),
                 21);
        QCOMPARE(failureOf(path(), QStringLiteral("INSERT INTO lines_fts(lines_fts) VALUES "
                                                  "('integrity-check')")),
                 QString());
    }

    void newerSchemaIsLeftAlone()
    {
        writeSome(path(), 3);
        peek(path(), QStringLiteral("PRAGMA user_version=99"));
        const QByteArray before = fileHash(path());
        THistoryStore store(path(), quick());
        QSignalSpy problems(&store, &THistoryStore::problem);
        store.start();
        QVERIFY(!store.waitOpen());
        QVERIFY2(store.offReason().contains(QLatin1String("newer Tressel")),
                 qPrintable(store.offReason()));
        store.add(line(QStringLiteral("bob"), QStringLiteral("not kept")));
        store.flush();
        const THistory::Page page = store.search(THistory::Query());
        QVERIFY(page.lines.isEmpty());
        QCOMPARE(page.error, store.offReason());
        QCOMPARE(fileHash(path()), before);
        QTRY_COMPARE(problems.size(), 1);
        QCOMPARE(problems.at(0).at(0).toString(), store.offReason());
        QVERIFY(QDir(m_dir.path()).entryList({QStringLiteral("*.broken-*")}).isEmpty());
    }

    void brokenFilesAreMovedAside_data()
    {
        QTest::addColumn<bool>("foreign");
        QTest::newRow("damaged database") << false;
        QTest::newRow("random bytes") << true;
    }

    void brokenFilesAreMovedAside()
    {
        QFETCH(bool, foreign);
        QByteArray bytes;
        if (foreign) {
            bytes.resize(10000);
            QRandomGenerator gen(7);
            for (char &c : bytes)
                c = char(gen.bounded(256));
        } else {
            writeSome(path(), 50);
            QFile f(path());
            QVERIFY(f.open(QIODevice::ReadOnly));
            bytes = f.readAll();
            // The schema's page, past the file header, overwritten.
            for (int i = 100; i < 4096 && i < bytes.size(); ++i)
                bytes[i] = char(0xA5);
            QFile::remove(path() + QStringLiteral("-wal"));
            QFile::remove(path() + QStringLiteral("-shm"));
        }
        {
            QFile f(path());
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(bytes);
        }
        THistoryStore store(path(), quick());
        QSignalSpy problems(&store, &THistoryStore::problem);
        store.start();
        QVERIFY(store.waitOpen());
        store.add(line(QStringLiteral("bob"), QStringLiteral("a new start")));
        store.flush();
        QCOMPARE(texts(store.search(THistory::Query())), QStringList{"a new start"});
        QTRY_COMPARE(problems.size(), 1);
        const QString said = problems.at(0).at(0).toString();
        QVERIFY2(said.contains(QLatin1String("moved aside as")), qPrintable(said));
        const QStringList aside =
            QDir(m_dir.path()).entryList({QStringLiteral("history.db.broken-*")}, QDir::Files);
        QVERIFY2(!aside.isEmpty(), qPrintable(aside.join(' ')));
        QVERIFY(said.contains(aside.first()));
        QFile kept(m_dir.filePath(aside.first()));
        QVERIFY(kept.open(QIODevice::ReadOnly));
        QCOMPARE(kept.readAll(), bytes);
        QCOMPARE(modeOf(kept.fileName()), 0600);
    }

    void fullDiskIsReportedOnceAndWritingResumes()
    {
        THistoryStore store(path(), quick());
        QSignalSpy problems(&store, &THistoryStore::problem);
        QSignalSpy notices(&store, &THistoryStore::notice);
        store.start();
        QVERIFY(store.waitOpen());
        store.add(line(QStringLiteral("bob"), QStringLiteral("before")));
        store.flush();
        // No room beyond the pages there are now.
        const int pages = peek(path(), QStringLiteral("PRAGMA page_count")).toInt();
        store.limitPages(pages);
        const QString filler = QString(200, QLatin1Char('x'));
        for (int i = 0; i < 2000; ++i)
            store.add(line(QStringLiteral("bob"), QStringLiteral("full %1 %2").arg(i).arg(filler)));
        QTRY_COMPARE(problems.size(), 1);
        QVERIFY2(problems.at(0).at(0).toString().contains(QLatin1String("cannot be written")),
                 qPrintable(problems.at(0).at(0).toString()));
        for (int i = 2000; i < 2100; ++i)
            store.add(line(QStringLiteral("bob"), QStringLiteral("full %1 %2").arg(i).arg(filler)));
        store.flush();
        QCOMPARE(problems.size(), 1); // once, however often it fails
        store.limitPages(0);
        QTRY_COMPARE(notices.size(), 1);
        QCOMPARE(notices.at(0).at(0).toString(), QStringLiteral("History is written again."));
        QCOMPARE(problems.size(), 1);
        store.flush();
        QCOMPARE(store.lineCount(), 2101); // none lost
    }

    void aFolderThatCannotBeWrittenIsSaidOnceAndTriedAgain()
    {
        // A file where the folder should be: nothing can be created in it
        // (a read-only folder cannot be had when the tests run as root).
        const QString folder = m_dir.filePath(QStringLiteral("blocked"));
        {
            QFile f(folder);
            QVERIFY(f.open(QIODevice::WriteOnly));
        }
        THistoryStore store(folder + QStringLiteral("/history.db"), quick());
        QSignalSpy problems(&store, &THistoryStore::problem);
        QSignalSpy notices(&store, &THistoryStore::notice);
        store.start();
        QVERIFY(store.waitOpen()); // waiting, not off
        QVERIFY(store.offReason().isEmpty());
        for (int i = 0; i < 5; ++i)
            store.add(line(QStringLiteral("bob"), QStringLiteral("waiting %1").arg(i), i));
        QTRY_COMPARE(problems.size(), 1);
        QVERIFY2(problems.at(0).at(0).toString().contains(QLatin1String("cannot be written")),
                 qPrintable(problems.at(0).at(0).toString()));
        store.flush(); // another try, failing again: said once only
        QCOMPARE(problems.size(), 1);
        QVERIFY(QFile::remove(folder));
        QVERIFY(QDir().mkdir(folder));
        QTRY_COMPARE(notices.size(), 1);
        store.flush();
        QCOMPARE(texts(store.search(THistory::Query())).size(), 5);
        QCOMPARE(problems.size(), 1);
    }

    void linesBeforeTheStartWaitAndTooManyAreSaid()
    {
        THistoryStore::Settings s = quick();
        s.queueBound = 10;
        THistoryStore store(path(), s);
        QSignalSpy notices(&store, &THistoryStore::notice);
        // Not started: adding never waits for a writer that is not there.
        // The queue keeps its newest lines (up to its bound, and the few
        // the window had not handed over yet), with no gap, and says how
        // many went.
        for (int i = 0; i < 25; ++i)
            store.add(line(QStringLiteral("bob"), QStringLiteral("early %1").arg(i), i));
        store.start();
        QVERIFY(store.waitOpen());
        store.flush();
        THistory::Query q;
        q.limit = 30;
        const QStringList kept = texts(store.search(q));
        QVERIFY2(kept.size() >= 10 && kept.size() < 25, qPrintable(kept.join(QLatin1Char('|'))));
        for (int i = 0; i < kept.size(); ++i)
            QCOMPARE(kept.at(i), QStringLiteral("early %1").arg(24 - i));
        QTRY_COMPARE(notices.size(), 1);
        const QString said = notices.at(0).at(0).toString();
        QVERIFY2(said.contains(QStringLiteral("%1 lines").arg(25 - kept.size())), qPrintable(said));
    }

    void aKilledWriterLosesAtMostTheLastSecond()
    {
        QProcess child;
        child.setProgram(QCoreApplication::applicationFilePath());
        child.setArguments({QStringLiteral("--flood"), path()});
        child.start();
        child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
        QVERIFY(child.waitForStarted());
        QByteArray said;
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("ready"), 30000);
        // Let it write a good deal past its first lines.
        QTRY_VERIFY_WITH_TIMEOUT((said += child.readAllStandardOutput()).contains("past 60000"),
                                 60000);
        child.kill(); // SIGKILL: no destructor, no last commit
        const qint64 killedAt = QDateTime::currentMSecsSinceEpoch();
        QVERIFY(child.waitForFinished());
        QCOMPARE(child.exitStatus(), QProcess::CrashExit);

        QCOMPARE(peek(path(), QStringLiteral("PRAGMA integrity_check")).toString(),
                 QStringLiteral("ok"));
        // It opens cleanly for the next run, and every line up to the last
        // one kept is there, none missing in between (the flood's newest
        // were still packed in staged when it died).
        THistoryStore store(path(), quick());
        QSignalSpy problems(&store, &THistoryStore::problem);
        store.start();
        QVERIFY(store.waitOpen());
        const qint64 count = store.lineCount();
        QVERIFY(count > 50000);
        QCOMPARE(stagedRows(path()), 0);
        THistory::Query newest;
        newest.limit = 1;
        const THistory::Page page = store.search(newest);
        QCOMPARE(page.lines.size(), 1);
        QCOMPARE(page.lines.first().text, QStringLiteral("flood %1").arg(count - 1));
        QCOMPARE(page.lines.first().id, count);
        QVERIFY2(
            killedAt - page.lines.first().timeMs <= 1000,
            qPrintable(QStringLiteral("%1 ms lost").arg(killedAt - page.lines.first().timeMs)));
        QCOMPARE(problems.count(), 0);
    }

    void filesAreForTheOwnerAlone()
    {
        const mode_t old = ::umask(0);
        {
            THistoryStore store(path(), quick());
            store.start();
            QVERIFY(store.waitOpen());
            store.add(line(QStringLiteral("bob"), QStringLiteral("private")));
            store.flush();
            for (const char *suffix : {"", "-wal", "-shm"}) {
                const QString name = path() + QLatin1String(suffix);
                QVERIFY2(QFileInfo::exists(name), suffix);
                QCOMPARE(modeOf(name), 0600);
            }
        }
        ::umask(old);
        // A looser file left by someone is narrowed.
        ::chmod(QFile::encodeName(path()).constData(), 0644);
        THistoryStore again(path(), quick());
        again.start();
        QVERIFY(again.waitOpen());
        QCOMPARE(modeOf(path()), 0600);
    }

    void aLineCostsAtMostThreeTimesItsText()
    {
        THistoryStore store(path(), quick());
        store.start();
        QVERIFY(store.waitOpen());
        const qint64 empty = store.usedBytes();
        // Chat as it comes: a few hundred members, short and long lines.
        const QStringList words =
            QStringLiteral(
                "the a to gold is you lol anyone want trade for my sword ? join game now hey "
                "what up ok no yes please stop spam me here there where when ladder rank ban")
                .split(' ');
        QRandomGenerator gen(11);
        qint64 textBytes = 0;
        for (int i = 0; i < 20000; ++i) {
            QStringList picked;
            const int n = 2 + int(gen.bounded(14));
            for (int w = 0; w < n; ++w)
                picked << words.at(int(gen.bounded(words.size())));
            THistory::Line l = line(QStringLiteral("member%1").arg(gen.bounded(300)),
                                    picked.join(' ') + QString::number(gen.bounded(1000)), i);
            textBytes += l.text.toUtf8().size();
            store.add(l);
        }
        store.flushIndex(); // the words index's share counted too
        QCOMPARE(indexedUpTo(path()), newestId(path()));
        const qint64 used = store.usedBytes() - empty;
        QVERIFY2(
            used <= 3 * textBytes,
            qPrintable(QStringLiteral("%1 bytes for %2 bytes of text").arg(used).arg(textBytes)));
    }
};

int main(int argc, char **argv)
{
    if (argc == 3 && qstrcmp(argv[1], "--flood") == 0) {
        QCoreApplication app(argc, argv);
        return flood(QString::fromLocal8Bit(argv[2]));
    }
    QCoreApplication app(argc, argv);
    TestHistoryStore test;
    return QTest::qExec(&test, argc, argv);
}

#include "test_history_store.moc"
