// The history's costs: what keeping every line adds to a moderated flood,
// and searching, paging and the room taken in a history of millions of
// lines.
//
// The large history is made once and kept in the benchmark's build folder
// (its name says the generator's version and the number of lines), so a
// later run reuses it. Its lines are the talk of the recorded server
// transcripts: their words head a vocabulary that two- and three-word
// compounds of them extend into a long tail, drawn with a Zipf law, so the
// words index is as large as real talk makes it and not that of one
// repeated line.
#include "bench/cases.h"
#include "mainwindow/historydesk.h"

#include "base/clock.h"
#include "core/settingsstore.h"
#include "history/historydb.h"
#include "history/historystore.h"
#include "preferences/Toptions.h"

#include <QCheckBox>
#include <QDateTime>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>
#include <QHash>
#include <QRandomGenerator>
#include <QRegularExpression>
#include <QSet>
#include <QSettings>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QVariant>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <vector>

namespace {

// Raised whenever what the generator makes changes: an older file is then
// made again instead of reused.
const QString generatorVersion = QStringLiteral("g1-s%1").arg(THistoryDb::schemaVersion);

constexpr int vocabularySize = 200000;
constexpr double zipfExponent = 1.0;
constexpr int shortestLine = 2, longestLine = 12; // words, drawn evenly
constexpr int memberCount = 3000;
constexpr qint64 dayMs = 24LL * 60 * 60 * 1000;

void complain(const QString &text) { std::fprintf(stderr, "bench: %s\n", qPrintable(text)); }

// A Python bytes literal's inside (\xNN, \\, \', \", \r, \n) as bytes.
QByteArray unescape(const QByteArray &s)
{
    QByteArray out;
    for (int i = 0; i < s.size(); ++i) {
        if (s[i] != '\\' || i + 1 == s.size()) {
            out += s[i];
            continue;
        }
        const char c = s[++i];
        if (c == 'x' && i + 2 < s.size()) {
            out += char(s.mid(i + 1, 2).toInt(nullptr, 16));
            i += 2;
        } else if (c == 'r')
            out += '\r';
        else if (c == 'n')
            out += '\n';
        else
            out += c;
    }
    return out;
}

// The words of the talk, whispers and emotes the server sent in the
// recorded transcripts, most frequent first; empty (and why) when there
// are none.
QStringList transcriptWords(QString *why)
{
    const QDir dir(QStringLiteral(TRESSEL_SOURCE_DIR "/../shared/server-transcripts"));
    const QStringList files = dir.entryList({QStringLiteral("*.txt")}, QDir::Files, QDir::Name);
    if (files.isEmpty()) {
        *why = QStringLiteral("no transcripts in %1").arg(dir.absolutePath());
        return {};
    }
    static const QRegularExpression talk(
        QString::fromLatin1(R"re(b'10(?:04|05|23) \S+ \S+ [0-9a-fA-F]{4} "(.*)"\\r\\n')re"));
    static const QRegularExpression word(QStringLiteral("^[a-z0-9]{1,12}$"));
    QHash<QString, int> counts;
    for (const QString &name : files) {
        QFile f(dir.filePath(name));
        if (!f.open(QIODevice::ReadOnly)) {
            *why = QStringLiteral("%1: %2").arg(f.fileName(), f.errorString());
            return {};
        }
        for (const QByteArray &line : f.readAll().split('\n')) {
            const QRegularExpressionMatch m = talk.match(QString::fromLatin1(line));
            if (!m.hasMatch())
                continue;
            const QString text = QString::fromUtf8(unescape(m.captured(1).toLatin1())).toLower();
            // Only plain ASCII words: a word with an accent would be the
            // same word as its plain form to the words index, and the
            // counted shares would not be the index's.
            for (const QString &w : text.split(
                     QRegularExpression(QStringLiteral("[^\\p{L}\\p{N}]+")), Qt::SkipEmptyParts))
                if (word.match(w).hasMatch() && !w.at(0).isDigit())
                    ++counts[w];
        }
    }
    QStringList words = counts.keys();
    std::sort(words.begin(), words.end(), [&](const QString &a, const QString &b) {
        const int ca = counts.value(a), cb = counts.value(b);
        return ca != cb ? ca > cb : a < b;
    });
    if (words.size() < 20)
        *why = QStringLiteral("only %1 words of talk in %2").arg(words.size()).arg(dir.path());
    return words.size() < 20 ? QStringList() : words;
}

struct Corpus {
    QStringList words; // by rank
    std::vector<double> cdf;
    QStringList members;
    QStringList channels;

    int draw(QRandomGenerator &rnd) const
    {
        const double u = rnd.generateDouble();
        return int(std::upper_bound(cdf.begin(), cdf.end(), u) - cdf.begin());
    }
    double probability(int rank) const { return cdf[rank] - (rank ? cdf[rank - 1] : 0.0); }
    // The share of lines that hold the word of this rank.
    double share(int rank) const
    {
        const double p = probability(rank);
        double sum = 0;
        for (int n = shortestLine; n <= longestLine; ++n)
            sum += 1 - std::pow(1 - p, n);
        return sum / (longestLine - shortestLine + 1);
    }
    // The rank whose share is nearest the target's.
    int rankFor(double target) const
    {
        int best = 0;
        for (int r = 0; r < int(words.size()); ++r)
            if (std::abs(std::log(share(r) / target)) < std::abs(std::log(share(best) / target)))
                best = r;
        return best;
    }
};

bool makeCorpus(Corpus *c, QString *why)
{
    const QStringList talk = transcriptWords(why);
    if (talk.isEmpty())
        return false;
    QSet<QString> seen(talk.begin(), talk.end());
    c->words = talk;
    // Compounds of the talk's words, the common ones' first.
    const int n = int(talk.size());
    for (int sum = 1; c->words.size() < vocabularySize && sum < 3 * n; ++sum)
        for (int a = 0; a <= sum && a < n && c->words.size() < vocabularySize; ++a) {
            const int b = sum - a;
            if (b >= n || a == b)
                continue;
            const QString w = talk[a] + talk[b];
            if (w.size() <= 16 && !seen.contains(w)) {
                seen.insert(w);
                c->words << w;
            }
        }
    for (int i = 0; c->words.size() < vocabularySize && i < n * n * n; ++i) {
        const QString w = talk[i % n] + talk[(i / n) % n] + talk[i / n / n];
        if (w.size() <= 18 && !seen.contains(w)) {
            seen.insert(w);
            c->words << w;
        }
    }
    if (c->words.size() < vocabularySize / 10) {
        *why = QStringLiteral("the talk gives too few words (%1)").arg(c->words.size());
        return false;
    }
    double total = 0;
    c->cdf.resize(size_t(c->words.size()));
    for (int r = 0; r < int(c->words.size()); ++r)
        c->cdf[size_t(r)] = total += 1 / std::pow(r + 1, zipfExponent);
    for (double &v : c->cdf)
        v /= total;
    c->cdf.back() = 1.0;
    // A few thousand members, named as people name themselves.
    QRandomGenerator rnd(7);
    QSet<QString> names;
    while (names.size() < memberCount) {
        QString w = talk[int(rnd.bounded(n))];
        w[0] = w[0].toUpper();
        names.insert(rnd.bounded(3) ? w + QString::number(rnd.bounded(1, 2000))
                                    : w + QLatin1Char('_') + talk[int(rnd.bounded(n))]);
    }
    c->members = QStringList(names.begin(), names.end());
    std::sort(c->members.begin(), c->members.end());
    c->channels = {QStringLiteral("Chat"),          QStringLiteral("Clan Tressel"),
                   QStringLiteral("Op Moderators"), QStringLiteral("Town Square"),
                   QStringLiteral("Trade"),         QStringLiteral("Help"),
                   QStringLiteral("Lobby"),         QStringLiteral("Clan Warden")};
    return true;
}

// What the file's maker counted, kept beside it.
struct Made {
    qint64 lines = 0;
    double buildSeconds = 0;
    double textBytes = 0; // average per line, UTF-8
    QString common, rare; // the query words
    qint64 commonLines = 0, rareLines = 0;
    QString member;
    qint64 fromMs = 0, toMs = 0; // the filtered query's range
    qint64 firstMs = 0, lastMs = 0;
};

QString metaName(const QString &db) { return db + QStringLiteral(".made"); }

bool readMade(const QString &db, Made *m)
{
    if (!QFileInfo::exists(db) || !QFileInfo::exists(metaName(db)))
        return false;
    QSettings s(metaName(db), QSettings::IniFormat);
    if (s.value(QStringLiteral("version")).toString() != generatorVersion)
        return false;
    m->lines = s.value(QStringLiteral("lines")).toLongLong();
    m->buildSeconds = s.value(QStringLiteral("buildSeconds")).toDouble();
    m->textBytes = s.value(QStringLiteral("textBytes")).toDouble();
    m->common = s.value(QStringLiteral("common")).toString();
    m->rare = s.value(QStringLiteral("rare")).toString();
    m->commonLines = s.value(QStringLiteral("commonLines")).toLongLong();
    m->rareLines = s.value(QStringLiteral("rareLines")).toLongLong();
    m->member = s.value(QStringLiteral("member")).toString();
    m->fromMs = s.value(QStringLiteral("fromMs")).toLongLong();
    m->toMs = s.value(QStringLiteral("toMs")).toLongLong();
    m->firstMs = s.value(QStringLiteral("firstMs")).toLongLong();
    m->lastMs = s.value(QStringLiteral("lastMs")).toLongLong();
    return m->lines > 0 && !m->common.isEmpty();
}

void writeMade(const QString &db, const Made &m)
{
    QSettings s(metaName(db), QSettings::IniFormat);
    s.setValue(QStringLiteral("version"), generatorVersion);
    s.setValue(QStringLiteral("lines"), m.lines);
    s.setValue(QStringLiteral("buildSeconds"), m.buildSeconds);
    s.setValue(QStringLiteral("textBytes"), m.textBytes);
    s.setValue(QStringLiteral("common"), m.common);
    s.setValue(QStringLiteral("rare"), m.rare);
    s.setValue(QStringLiteral("commonLines"), m.commonLines);
    s.setValue(QStringLiteral("rareLines"), m.rareLines);
    s.setValue(QStringLiteral("member"), m.member);
    s.setValue(QStringLiteral("fromMs"), m.fromMs);
    s.setValue(QStringLiteral("toMs"), m.toMs);
    s.setValue(QStringLiteral("firstMs"), m.firstMs);
    s.setValue(QStringLiteral("lastMs"), m.lastMs);
}

bool run(QSqlDatabase &db, const QString &sql)
{
    QSqlError e;
    if (THistoryDb::exec(db, sql, &e))
        return true;
    complain(QStringLiteral("%1: %2").arg(sql, e.text()));
    return false;
}

// Makes the history file: the store's own schema (THistoryDb::open), then
// the lines in large transactions with the two line indexes set aside,
// which are built once at the end with the words index (much faster than
// row by row). The statements that make them are read back from the
// schema, so the file is the store's to the letter.
bool makeHistory(const QString &file, qint64 lines, Made *made)
{
    QString why;
    Corpus corpus;
    if (!makeCorpus(&corpus, &why)) {
        complain(QStringLiteral("cannot make the history's lines: %1").arg(why));
        return false;
    }
    const QString part = file + QStringLiteral(".part");
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(part + QLatin1String(suffix));
    QElapsedTimer clock;
    clock.start();
    const QString conn = QStringLiteral("bench-history-maker");
    const THistoryDb::Opened o = THistoryDb::open(part, conn);
    if (o.outcome != THistoryDb::Outcome::Ready) {
        complain(QStringLiteral("cannot make %1: %2").arg(part, o.why));
        return false;
    }
    bool ok = true;
    {
        QSqlDatabase db = QSqlDatabase::database(conn);
        QStringList remake;
        {
            QSqlQuery q(db);
            q.exec(QStringLiteral("SELECT type, name, sql FROM sqlite_master WHERE tbl_name = "
                                  "'lines' AND type = 'index' AND sql IS NOT NULL"));
            QStringList drop;
            while (q.next()) {
                drop << QStringLiteral("DROP %1 %2")
                            .arg(q.value(0).toString().toUpper(), q.value(1).toString());
                remake << q.value(2).toString();
            }
            q.finish();
            for (const QString &sql : drop)
                ok = ok && run(db, sql);
        }
        run(db, QStringLiteral("PRAGMA synchronous=OFF"));
        run(db, QStringLiteral("PRAGMA cache_size=-262144"));

        // Names and places.
        QHash<QString, qint64> ids;
        auto nameId = [&](const QString &name) {
            QSqlQuery q(db);
            q.prepare(QStringLiteral("INSERT INTO names(name) VALUES (?) RETURNING id"));
            q.addBindValue(name);
            if (!q.exec() || !q.next()) {
                complain(q.lastError().text());
                ok = false;
                return qint64(0);
            }
            return ids[name] = q.value(0).toLongLong();
        };
        const qint64 server = nameId(QStringLiteral("127.0.0.1"));
        const qint64 account = nameId(QStringLiteral("bench"));
        std::vector<qint64> places, members;
        for (const QString &c : corpus.channels) {
            const qint64 channel = nameId(c);
            QSqlQuery q(db);
            q.prepare(QStringLiteral(
                "INSERT INTO places(server, account, channel) VALUES (?, ?, ?) RETURNING id"));
            q.addBindValue(server);
            q.addBindValue(account);
            q.addBindValue(channel);
            ok = ok && q.exec() && q.next();
            places.push_back(ok ? q.value(0).toLongLong() : 0);
        }
        for (const QString &m : corpus.members)
            members.push_back(nameId(m));

        const int commonRank = corpus.rankFor(0.01), rareRank = corpus.rankFor(0.00001);
        made->common = corpus.words[commonRank];
        made->rare = corpus.words[rareRank];
        made->member = corpus.members[memberCount / 3];
        const qint64 memberId = members[size_t(memberCount / 3)];
        // A year of lines up to the hour the file is made, in the order
        // they came.
        made->lastMs = QDateTime::currentMSecsSinceEpoch() / 3600000 * 3600000;
        made->firstMs = made->lastMs - 365 * dayMs;
        made->fromMs = made->lastMs - 120 * dayMs;
        made->toMs = made->lastMs - 30 * dayMs;
        QRandomGenerator rnd(20261209);
        double textBytes = 0;
        qint64 memberLines = 0;
        const qint64 batch = 200000;
        QSqlQuery insert(db);
        ok = ok && insert.prepare(QStringLiteral("INSERT INTO lines(time, place, kind, sender, "
                                                 "text) VALUES (?, ?, ?, ?, ?)"));
        static const char *const endings[] = {"", "", "", ".", "?", "!", " :)", "..."};
        for (qint64 at = 0; ok && at < lines; at += batch) {
            ok = db.transaction();
            for (qint64 i = at; ok && i < std::min(lines, at + batch); ++i) {
                const int words = int(rnd.bounded(shortestLine, longestLine + 1));
                QString text;
                bool common = false, rare = false;
                for (int k = 0; k < words; ++k) {
                    const int r = corpus.draw(rnd);
                    common = common || r == commonRank;
                    rare = rare || r == rareRank;
                    if (k)
                        text += QLatin1Char(' ');
                    text += corpus.words[r];
                }
                if (rnd.bounded(4) == 0)
                    text[0] = text[0].toUpper();
                text += QLatin1String(endings[rnd.bounded(8)]);
                made->commonLines += common;
                made->rareLines += rare;
                textBytes += double(text.size()); // ASCII: a byte a character
                const int roll = int(rnd.bounded(100));
                const int kind = roll < 90   ? int(THistory::Kind::Talk)
                                 : roll < 96 ? int(THistory::Kind::Emote)
                                             : int(THistory::Kind::WhisperReceived);
                const qint64 sender = members[size_t(rnd.bounded(memberCount))];
                memberLines += sender == memberId;
                insert.bindValue(0, made->firstMs + i * (365 * dayMs) / lines);
                insert.bindValue(1, places[size_t(rnd.bounded(int(places.size())))]);
                insert.bindValue(2, kind);
                insert.bindValue(3, sender);
                insert.bindValue(4, text);
                if (!insert.exec()) {
                    complain(insert.lastError().text());
                    ok = false;
                }
            }
            ok = ok && db.commit();
            if (at % 2000000 == 0)
                std::fprintf(stderr, "bench: history: %lld of %lld lines written (%.0f s)\n",
                             at + batch, lines, double(clock.elapsed()) / 1000);
        }
        insert.finish();
        std::fprintf(stderr, "bench: history: building the words index and the line indexes\n");
        for (const QString &sql : remake)
            ok = ok && run(db, sql);
        ok = ok && run(db, QStringLiteral("INSERT INTO lines_fts(lines_fts) VALUES ('rebuild')"));
        ok = ok && run(db, QStringLiteral("UPDATE words_indexed SET upto = (SELECT max(id) FROM "
                                          "lines)"));
        ok = ok && run(db, QStringLiteral("PRAGMA wal_checkpoint(TRUNCATE)"));
        made->lines = lines;
        made->textBytes = textBytes / double(lines);
        if (memberLines == 0) {
            complain(QStringLiteral("the chosen member has no lines"));
            ok = false;
        }
    }
    THistoryDb::close(conn);
    if (!ok)
        return false;
    made->buildSeconds = double(clock.elapsed()) / 1000;
    for (const char *suffix : {"", "-wal", "-shm"})
        QFile::remove(file + QLatin1String(suffix));
    if (!QFile::rename(part, file)) {
        complain(QStringLiteral("cannot rename %1").arg(part));
        return false;
    }
    writeMade(file, *made);
    return true;
}

double msOf(const std::function<void()> &f)
{
    QElapsedTimer t;
    t.start();
    f();
    return double(t.nsecsElapsed()) / 1e6;
}

// The median of 20 timings on a warm cache (one run first).
double warmMedian(const std::function<int()> &query, int *found)
{
    *found = query();
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i)
        ms.push_back(msOf([&] { query(); }));
    return median(ms);
}

} // namespace

QString historyBenchFile(qint64 lines)
{
    return QStringLiteral(TRESSEL_BENCH_CACHE_DIR "/history-bench-%1-%2.db")
        .arg(generatorVersion)
        .arg(lines);
}

void caseHistoryQueries(qint64 lines)
{
    const QString file = historyBenchFile(lines);
    Made made;
    bool fresh = false;
    if (!readMade(file, &made)) {
        std::fprintf(stderr, "bench: history: making %s (%lld lines, a few minutes)\n",
                     qPrintable(file), lines);
        if (!makeHistory(file, lines, &made))
            return;
        fresh = true;
    }
    result("history_lines", double(made.lines));
    result("history_build_s", made.buildSeconds);
    result("history_build_now", fresh ? 1 : 0);
    result("history_text_bytes", made.textBytes);
    qint64 bytes = 0;
    for (const char *suffix : {"", "-wal"})
        bytes += QFileInfo(file + QLatin1String(suffix)).size();
    result("history_bytes_per_line", double(bytes) / double(made.lines));
    result("history_common_share", double(made.commonLines) / double(made.lines));
    result("history_rare_share", double(made.rareLines) / double(made.lines));
    std::printf("word common %s\nword rare %s\nword member %s\n", qPrintable(made.common),
                qPrintable(made.rare), qPrintable(made.member));

    THistoryStore store(file);
    store.start();
    if (!store.waitOpen()) {
        complain(QStringLiteral("the history does not open: %1").arg(store.offReason()));
        return;
    }
    // The words index must hold what was counted while the lines were made.
    {
        const QString conn = QStringLiteral("bench-history-check");
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), conn);
            db.setDatabaseName(file);
            db.open();
            for (const auto &[word, want] :
                 {std::pair{made.common, made.commonLines}, std::pair{made.rare, made.rareLines}}) {
                QSqlQuery q(db);
                q.prepare(QStringLiteral("SELECT count(*) FROM lines_fts WHERE lines_fts MATCH ?"));
                q.addBindValue(word);
                const qint64 have = q.exec() && q.next() ? q.value(0).toLongLong() : -1;
                if (have != want)
                    complain(QStringLiteral("the index has %1 lines with \"%2\", not %3")
                                 .arg(have)
                                 .arg(word)
                                 .arg(want));
            }
        }
        QSqlDatabase::removeDatabase(conn);
    }
    auto page = [&store](THistory::Query q) {
        return [&store, q] { return int(store.search(q).lines.size()); };
    };
    THistory::Query common, rare, member, filtered;
    common.match = made.common;
    rare.match = made.rare;
    member.member = made.member;
    filtered.match = made.common;
    filtered.member = made.member;
    filtered.fromMs = made.fromMs;
    filtered.toMs = made.toMs;
    int found = 0;
    result("history_search_ms", warmMedian(page(common), &found));
    result("history_search_found", found);
    result("history_search_rare_ms", warmMedian(page(rare), &found));
    result("history_search_rare_found", found);
    result("history_member_ms", warmMedian(page(member), &found));
    result("history_member_found", found);
    result("history_filtered_ms", warmMedian(page(filtered), &found));
    result("history_filtered_found", found);
}

void caseHistoryOverhead(int lines, int pairs)
{
    // The moderated flood of the end-to-end case, until its last line is
    // shown and, with the history on, committed to history.db too.
    // With the history on, how long the words index then takes to hold
    // the flood's lines too (the writer leaves it for after the flood).
    std::vector<double> indexMs;
    const int pinnedCpu = TPinnedThread::currentCpu();
    auto flood = [lines, &indexMs, pinnedCpu](bool keep, qint64 *stored) -> double {
        QStringList conf = moderatedConf(50);
        conf << QStringLiteral("timeStamps=1") << QStringLiteral("notifications=0")
             << QStringLiteral("anticensor=1") << QStringLiteral("keeplog=0");
        TBenchSession s(TPaneKind::View, conf);
        s.main->store->setFlag(TSetting::keepHistory, keep);
        s.main->historyDesk->applyHistorySettings();
        THistoryStore *store = s.main->historyDesk->historyStore();
        if (keep && !store->waitOpen()) {
            complain(QStringLiteral("the history does not open: %1").arg(store->offReason()));
            return 0;
        }
        const QString prefix = QLatin1Char('[') + longTimeText(currentDateTime().time()) +
                               QStringLiteral("] <Swift> ");
        GatewayProcess gateway = benchGateway(
            {QStringLiteral("--no-flood-quota"), QStringLiteral("--burst"), QString::number(lines),
             QStringLiteral("--burst-length"), QString::number(80 - int(prefix.size()))});
        // The window's thread is held on one processor for the flood, the
        // same one in every flood: on a machine whose processors run at
        // different speeds (a virtual machine's often do), where the
        // scheduler put it decided a pair's ratio more than the history.
        // The writer's thread and the server stay free to use any.
        const TPinnedThread pinned(pinnedCpu);
        QElapsedTimer clock;
        bool started = false, done = false;
        const QString lastMark =
            QStringLiteral("> Line ") + QString::number(lines - 1) + QLatin1Char(' ');
        s.probe.onAppend = [&](const QString &text) {
            if (!started) {
                if (!text.contains(QStringLiteral("<Swift> Line 0 ")))
                    return;
                started = true;
                clock.start();
            }
            if (text.contains(lastMark))
                done = true;
        };
        if (!s.logIn(gateway.port()) || !waitFor([&] { return done; }, 600000)) {
            complain(QStringLiteral("the flood did not arrive whole"));
            return 0;
        }
        if (keep)
            store->flush();
        const double seconds = double(clock.nsecsElapsed()) / 1e9;
        s.probe.onAppend = nullptr;
        if (keep)
            indexMs.push_back(msOf([store] { store->flushIndex(); }));
        *stored = keep ? store->lineCount() : 0;
        return seconds;
    };
    std::vector<double> ratios;
    double best[2] = {1e300, 1e300};
    for (int pair = 0; pair < pairs; ++pair) {
        double took[2] = {0, 0};
        for (int turn = 0; turn < 2; ++turn) {
            const int keep = pair % 2 ? 1 - turn : turn;
            qint64 stored = 0;
            took[keep] = flood(keep, &stored);
            if (took[keep] <= 0)
                return;
            if (keep && stored < lines) {
                complain(QStringLiteral("%1 lines of %2 were kept").arg(stored).arg(lines));
                return;
            }
            best[keep] = std::min(best[keep], took[keep]);
        }
        ratios.push_back(took[1] / took[0]);
    }
    result("history_off_lines_per_s", lines / best[0]);
    result("history_on_lines_per_s", lines / best[1]);
    ratioResult("history_overhead", ratios);
    result("history_index_after_flood_ms", median(indexMs));
    std::fprintf(stderr,
                 "bench: history: the words index held a flood's lines %.1f ms after they were "
                 "committed (median of %d)\n",
                 median(indexMs), int(indexMs.size()));
}
