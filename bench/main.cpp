// tressel-bench: the performance benchmark. Without arguments it runs every
// measurement, each in a child process of its own, prints the table and one
// "name value" line per target. --soak SECONDS runs only the soak, --fault
// only the staying-connected figures, --busy only the busy channel.
#include "bench/busy.h"
#include "bench/cases.h"
#include "history/historystore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/historydesk.h"
#include "mainwindow/program.h"

#include <QApplication>
#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QMap>
#include <QProcess>
#include <QSysInfo>
#include <QTemporaryDir>
#include <QThread>
#include <QWindow>
#include <algorithm>

#include <cmath>
#include <cstdio>
#include <cstring>

namespace {

using Results = QMap<QString, double>;
// The words a case names ("word NAME TEXT" lines): the history's query words.
QMap<QString, QString> caseWords;

int usage()
{
    std::fprintf(stderr, "usage: tressel-bench [--soak SECONDS] [--quick] [--history] [--fault]\n"
                         "                     [--busy]\n"
                         "       tressel-bench --startup\n"
                         "       tressel-bench --case NAME [ARGS]\n");
    return 2;
}

// Runs one case in a child and collects its "result" lines.
Results runCase(const QStringList &args)
{
    std::fprintf(stderr, "bench: %s\n", qPrintable(args.join(QLatin1Char(' '))));
    QProcess child;
    child.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    child.start(QCoreApplication::applicationFilePath(),
                QStringList{QStringLiteral("--case")} + args);
    child.waitForFinished(-1);
    Results out;
    for (const QByteArray &line : child.readAllStandardOutput().split('\n')) {
        const QList<QByteArray> f = line.split(' ');
        if (f.size() == 3 && f[0] == "result")
            out.insert(QString::fromLatin1(f[1]), f[2].toDouble());
        else if (f.size() == 3 && f[0] == "word")
            caseWords.insert(QString::fromLatin1(f[1]), QString::fromUtf8(f[2]));
    }
    if (child.exitCode() != 0 || out.isEmpty())
        std::fprintf(stderr, "bench: the case %s failed\n",
                     qPrintable(args.join(QLatin1Char(' '))));
    return out;
}

int runOne(const QStringList &a)
{
    const QString name = a.value(0);
    auto pane = [](const QString &p) {
        return p == QLatin1String("textedit")        ? TPaneKind::TextEdit
               : p == QLatin1String("plaintextedit") ? TPaneKind::PlainTextEdit
                                                     : TPaneKind::View;
    };
    if (name == QLatin1String("parse"))
        caseParse();
    else if (name == QLatin1String("e2e") && a.size() == 5)
        caseEndToEnd(pane(a[1]), a[2] == QLatin1String("moderated"), a[3] == QLatin1String("log"),
                     a[4].toInt());
    else if (name == QLatin1String("autosquelch"))
        caseAutosquelch();
    else if (name == QLatin1String("joins"))
        caseJoins();
    else if (name == QLatin1String("burst"))
        caseBurst();
    else if (name == QLatin1String("idle"))
        caseIdle();
    else if (name == QLatin1String("squelch"))
        caseSquelchList();
    else if (name == QLatin1String("journal_overhead"))
        caseJournalOverhead();
    else if (name == QLatin1String("tester_1k_ms"))
        caseTester();
    else if (name == QLatin1String("journal_open_ms"))
        caseJournalOpen();
    else if (name == QLatin1String("search"))
        caseSearch();
    else if (name == QLatin1String("comforts"))
        caseComforts();
    else if (name == QLatin1String("a11y_flood") && a.size() == 2)
        caseA11yFlood(a[1].toInt());
    else if (name == QLatin1String("history_queries") && a.size() == 2)
        caseHistoryQueries(a[1].toLongLong());
    else if (name == QLatin1String("history_overhead") && a.size() == 3)
        caseHistoryOverhead(a[1].toInt(), a[2].toInt());
    else if (name == QLatin1String("fault") && a.size() == 2)
        caseFault(a.mid(1));
    else if (name == QLatin1String("soak") && a.size() == 2)
        caseSoak(a[1].toInt());
    else
        return usage();
    return 0;
}

QString cpuName()
{
    QFile f(QStringLiteral("/proc/cpuinfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("model name"))
                return QString::fromLatin1(line.mid(line.indexOf(':') + 1).trimmed());
    return QStringLiteral("unknown CPU");
}

QString memTotal()
{
    QFile f(QStringLiteral("/proc/meminfo"));
    if (f.open(QIODevice::ReadOnly))
        for (const QByteArray &line : f.readAll().split('\n'))
            if (line.startsWith("MemTotal:"))
                return QString::number(line.mid(9).trimmed().split(' ').value(0).toDouble() /
                                           1048576.0,
                                       'f', 1) +
                       QStringLiteral(" GiB");
    return QString();
}

QString fmt(double v, int decimals = 0)
{
    if (std::isnan(v))
        return QStringLiteral("-");
    return QLocale(QLocale::English).toString(v, 'f', decimals);
}

void row(const QString &what, const QString &value, const QString &note = QString())
{
    std::printf("| %-62s | %14s | %s\n", qPrintable(what), qPrintable(value), qPrintable(note));
}

double get(const Results &r, const char *key)
{
    return r.value(QString::fromLatin1(key), std::nan(""));
}

void printSoak(const Results &soak)
{
    row(QStringLiteral("soak: seconds measured (after warm-up)"), fmt(get(soak, "soak_seconds")));
    row(QStringLiteral("soak: lines received per second"),
        fmt(get(soak, "soak_received_lines_per_s")));
    row(QStringLiteral("soak: lines shown per second"), fmt(get(soak, "soak_lines_per_s")),
        QStringLiteral("the rest are squelched members' lines"));
    row(QStringLiteral("soak: RSS growth, bytes per shown line"),
        fmt(get(soak, "soak_rss_growth_bytes_per_line"), 1));
    row(QStringLiteral("soak: transcript store growth, bytes per shown line"),
        fmt(get(soak, "soak_store_growth_bytes_per_line"), 1));
    row(QStringLiteral("soak: growth that is not the transcript (bytes)"),
        fmt(get(soak, "soak_non_transcript_growth_bytes")));
    row(QStringLiteral("soak: longest event loop stall (ms), median of the tenths"),
        fmt(get(soak, "soak_stall_ms"), 1),
        QStringLiteral("tenths %1 to %2; own processor time in the longest busy stretch %3")
            .arg(fmt(get(soak, "soak_stall_ms_low"), 1), fmt(get(soak, "soak_stall_ms_high"), 1),
                 fmt(get(soak, "soak_max_busy_ms"), 1)));
    row(QStringLiteral("soak: names on the squelch list at the end"),
        fmt(get(soak, "soak_squelched")));
    row(QStringLiteral("soak: window repaints per second"), fmt(get(soak, "soak_repaints_per_s")),
        QStringLiteral("each pane at most once a display frame"));
    row(QStringLiteral("soak: processor time, ms per second"), fmt(get(soak, "soak_cpu_ms_per_s")),
        QStringLiteral("every thread of the client"));
}

// The program's own start (application, configuration read, window), as
// the tressel binary does it, in this process; says "shown" once the window
// is on screen and ends.
int startupChild(int argc, char *argv[])
{
    QApplication app(argc, argv);
    setupApplication();
    const std::unique_ptr<Tmain> main = startTressel();
    main->terminate = [] {};
    while (!(main->windowHandle() && main->windowHandle()->isExposed()))
        QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents, 10);
    std::printf("shown\n");
    std::fflush(stdout);
    // Once shown (and timed): whether the history opened.
    THistoryStore *history = main->historyDesk->historyStore();
    if (history && history->waitOpen())
        std::printf("history kept\n");
    else
        std::printf("history off: %s\n", history ? qPrintable(history->offReason()) : "no store");
    return 0;
}

// A working directory the program starts in: a configuration file that
// reads without an error, no auto-connect.
void writeStartupConf(const QString &dir)
{
    QFile conf(QDir(dir).filePath(QStringLiteral("tressel.conf")));
    if (conf.open(QIODevice::WriteOnly))
        conf.write("username=bench\r\nserver=127.0.0.1\r\nautoConnect=0\r\n");
}

// One start in dir, from starting the program to its main window shown,
// in ms; negative when the window never came. afterShown: what the child
// said once shown.
double startOnce(const QString &dir, QByteArray *afterShown = nullptr)
{
    QProcess child;
    child.setWorkingDirectory(dir);
    QElapsedTimer t;
    t.start();
    child.start(QCoreApplication::applicationFilePath(), {QStringLiteral("--startup-child")});
    QByteArray out;
    while (!out.contains("shown") && child.waitForReadyRead(10000))
        out += child.readAllStandardOutput();
    const double took = double(t.nsecsElapsed()) / 1e6;
    child.waitForFinished(60000);
    out += child.readAllStandardOutput();
    if (!out.contains("shown")) {
        std::fprintf(stderr, "bench: the program did not show its window\n");
        return -1;
    }
    if (afterShown)
        *afterShown = out.mid(out.indexOf("shown") + 5).trimmed();
    return took;
}

// From starting the program to its main window shown: the median of five
// starts, and the spread.
Results measureStartup()
{
    QTemporaryDir dir;
    writeStartupConf(dir.path());
    QList<double> ms;
    for (int i = 0; i < 5; ++i) {
        const double took = startOnce(dir.path());
        if (took < 0)
            return {};
        ms << took;
    }
    std::sort(ms.begin(), ms.end());
    return {{QStringLiteral("startup_ms"), ms[2]},
            {QStringLiteral("startup_spread_ms"), ms.last() - ms.first()}};
}

// Start-up with the large history as history.db in the working directory
// and without any, in alternating starts (nine each; medians). The file is
// a copy, since the program may write to it; its limits are set so that
// it keeps every line.
Results measureStartupWithHistory(const QString &historyFile)
{
    QTemporaryDir without, with;
    writeStartupConf(without.path());
    writeStartupConf(with.path());
    for (const QString &dir : {without.path(), with.path()}) {
        QFile ini(QDir(dir).filePath(QStringLiteral("tressel.ini")));
        if (ini.open(QIODevice::WriteOnly))
            ini.write("[history]\nkeep=true\ndays=9999\nmegabytes=9999\n");
    }
    const QString copy = QDir(with.path()).filePath(QStringLiteral("history.db"));
    if (!QFile::copy(historyFile, copy)) {
        std::fprintf(stderr, "bench: cannot copy %s\n", qPrintable(historyFile));
        return {};
    }
    std::vector<double> plain, kept;
    for (int i = 0; i < 18; ++i) {
        const bool withHistory = (i % 4 == 1 || i % 4 == 2); // without, with, with, without
        if (!withHistory)
            for (const char *suffix : {"", "-wal", "-shm"})
                QFile::remove(QDir(without.path())
                                  .filePath(QStringLiteral("history.db") + QLatin1String(suffix)));
        QByteArray said;
        const double took = startOnce(withHistory ? with.path() : without.path(), &said);
        if (took < 0)
            return {};
        // The child waits for the history after showing its window: the
        // large file must have opened, not been put aside.
        if (withHistory && !said.startsWith("history kept")) {
            std::fprintf(stderr, "bench: the large history did not open: %s\n", said.constData());
            return {};
        }
        (withHistory ? kept : plain).push_back(took);
    }
    return {{QStringLiteral("startup_without_history_ms"), median(plain)},
            {QStringLiteral("startup_with_history_ms"), median(kept)}};
}

// The history's figures, in the table.
void printHistoryRows(const Results &q, const Results &ov, const Results &st)
{
    const double lines = get(q, "history_lines");
    const QString common = caseWords.value(QStringLiteral("common")),
                  rare = caseWords.value(QStringLiteral("rare"));
    row(QStringLiteral("history: lines in the benchmark's history.db"), fmt(lines),
        get(q, "history_build_now") == 1
            ? QStringLiteral("made now in %1 s").arg(fmt(get(q, "history_build_s")))
            : QStringLiteral("made earlier in %1 s, reused").arg(fmt(get(q, "history_build_s"))));
    row(QStringLiteral("history: moderated flood, history on / off"),
        fmt(get(ov, "history_overhead"), 3),
        QStringLiteral("until the last line is committed; median of alternating pairs, ") +
            fmt(get(ov, "history_overhead_low"), 3) + QStringLiteral(" to ") +
            fmt(get(ov, "history_overhead_high"), 3));
    row(QStringLiteral("history: first page of a common word (ms)"),
        fmt(get(q, "history_search_ms"), 1),
        QStringLiteral("\"%1\", in %2% of lines; %3 lines on the page; median of 20")
            .arg(common, fmt(100 * get(q, "history_common_share"), 3),
                 fmt(get(q, "history_search_found"))));
    row(QStringLiteral("history: first page of a rare word (ms)"),
        fmt(get(q, "history_search_rare_ms"), 1),
        QStringLiteral("\"%1\", in %2% of lines; %3 lines on the page; median of 20")
            .arg(rare, fmt(100 * get(q, "history_rare_share"), 5),
                 fmt(get(q, "history_search_rare_found"))));
    row(QStringLiteral("history: a member's first page (ms)"), fmt(get(q, "history_member_ms"), 1),
        QStringLiteral("%1; %2 lines on the page; median of 20")
            .arg(caseWords.value(QStringLiteral("member")), fmt(get(q, "history_member_found"))));
    row(QStringLiteral("history: common word, member and 90 days (ms)"),
        fmt(get(q, "history_filtered_ms"), 1),
        QStringLiteral("%1 lines on the page; median of 20")
            .arg(fmt(get(q, "history_filtered_found"))));
    row(QStringLiteral("history: database bytes per line"),
        fmt(get(q, "history_bytes_per_line"), 1),
        QStringLiteral("text %1 bytes per line: %2 times; file and -wal after a checkpoint")
            .arg(fmt(get(q, "history_text_bytes"), 1),
                 fmt(get(q, "history_bytes_per_line") / get(q, "history_text_bytes"), 2)));
    row(QStringLiteral("history: start to window shown, without / with history.db (ms)"),
        fmt(get(st, "startup_without_history_ms"), 1) + QStringLiteral(" / ") +
            fmt(get(st, "startup_with_history_ms"), 1),
        QStringLiteral("medians of 9 alternating starts each"));
}

void printHistoryFigures(const Results &q, const Results &ov, const Results &st)
{
    std::printf("history_lines %s\n", qPrintable(fmt(get(q, "history_lines"))));
    std::printf("history_build_s %s (%s)\n", qPrintable(fmt(get(q, "history_build_s"))),
                get(q, "history_build_now") == 1 ? "made now" : "made by an earlier run");
    std::printf("history_overhead %s (rounds %s to %s)\n",
                qPrintable(fmt(get(ov, "history_overhead"), 3)),
                qPrintable(fmt(get(ov, "history_overhead_low"), 3)),
                qPrintable(fmt(get(ov, "history_overhead_high"), 3)));
    const bool full = get(q, "history_lines") >= 1e7;
    std::printf("history_search_%s_ms %s (\"%s\", %s%% of lines); rare word %s ms (\"%s\", "
                "%s%% of lines)\n",
                full ? "10m" : "1m", qPrintable(fmt(get(q, "history_search_ms"), 1)),
                qPrintable(caseWords.value(QStringLiteral("common"))),
                qPrintable(fmt(100 * get(q, "history_common_share"), 3)),
                qPrintable(fmt(get(q, "history_search_rare_ms"), 1)),
                qPrintable(caseWords.value(QStringLiteral("rare"))),
                qPrintable(fmt(100 * get(q, "history_rare_share"), 5)));
    std::printf("history_member_ms %s\n", qPrintable(fmt(get(q, "history_member_ms"), 1)));
    std::printf("history_filtered_ms %s\n", qPrintable(fmt(get(q, "history_filtered_ms"), 1)));
    std::printf(
        "history_bytes_per_line %s (text %s bytes per line, %s times)\n",
        qPrintable(fmt(get(q, "history_bytes_per_line"), 1)),
        qPrintable(fmt(get(q, "history_text_bytes"), 1)),
        qPrintable(fmt(get(q, "history_bytes_per_line") / get(q, "history_text_bytes"), 2)));
    std::printf("startup_ms with history.db %s, without %s\n",
                qPrintable(fmt(get(st, "startup_with_history_ms"), 1)),
                qPrintable(fmt(get(st, "startup_without_history_ms"), 1)));
}

// The staying-connected figures: measured when the network namespaces can
// be made here, else the row says why not. False when they were wanted
// and could not all be measured.
bool faultFigures(Results *figures, QStringList *problems)
{
    const QString missing = faultNetworkMissing();
    if (!missing.isEmpty()) {
        *problems << QStringLiteral("skipped: ") + missing;
        return false;
    }
    std::fprintf(stderr, "bench: staying connected, 3 runs of 4 cases at once (about 3 minutes)\n");
    *figures = measureFaults(problems);
    return problems->isEmpty();
}

void printFaultRows(const Results &f, const QStringList &problems)
{
    if (f.isEmpty()) {
        row(QStringLiteral("staying connected"), QStringLiteral("-"),
            problems.join(QStringLiteral("; ")));
        return;
    }
    const auto range = [&f](const char *name, int decimals) {
        return QStringLiteral("median of 3, %1 to %2")
            .arg(fmt(get(f, (QByteArray(name) + "_low").constData()), decimals),
                 fmt(get(f, (QByteArray(name) + "_high").constData()), decimals));
    };
    row(QStringLiteral("quiet dead link, cut to told (s)"), fmt(get(f, "deadlink_quiet_s"), 1),
        range("deadlink_quiet_s", 1) + QStringLiteral("; at most 60"));
    row(QStringLiteral("dead link typed into, cut to told (s)"),
        fmt(get(f, "deadlink_typing_s"), 1),
        range("deadlink_typing_s", 1) + QStringLiteral("; at most 60"));
    row(QStringLiteral("server restart, 3 s away: back in the channel, away (s)"),
        fmt(get(f, "back_in_channel_s"), 1),
        range("back_in_channel_s", 1) +
            QStringLiteral("; at most 10; runs that joined the home "
                           "channel on the way: ") +
            fmt(get(f, "back_went_home")));
    row(QStringLiteral("lines typed into a 60 s outage, neither sent nor given back"),
        fmt(get(f, "outage_lines_lost")),
        range("outage_lines_lost", 0) +
            QStringLiteral("; 5 lines a run, given back in all runs: ") +
            fmt(get(f, "outage_lines_given_back")) + QStringLiteral("; must be 0"));
    for (const QString &p : problems)
        row(QStringLiteral("staying connected: problem"), QString(), p);
}

void printFaultFigures(const Results &f, const QStringList &problems)
{
    if (f.isEmpty()) {
        std::printf("staying connected: %s\n", qPrintable(problems.join(QStringLiteral("; "))));
        return;
    }
    std::printf("deadlink_quiet_s %s\n", qPrintable(fmt(get(f, "deadlink_quiet_s"), 1)));
    std::printf("deadlink_typing_s %s\n", qPrintable(fmt(get(f, "deadlink_typing_s"), 1)));
    std::printf("back_in_channel_s %s\n", qPrintable(fmt(get(f, "back_in_channel_s"), 1)));
    std::printf("outage_lines_lost %s\n", qPrintable(fmt(get(f, "outage_lines_lost"))));
}

// The busy channel's figures, in the table.
void printBusyRows(const TBusyFigures &b)
{
    const auto v = [&](const QString &name) { return b.values.value(name, std::nan("")); };
    const auto range = [&](const QString &name, int decimals) {
        return QStringLiteral("median of the windows, %1 to %2")
            .arg(fmt(v(name + QStringLiteral("_low")), decimals),
                 fmt(v(name + QStringLiteral("_high")), decimals));
    };
    if (!b.failure.isEmpty()) {
        row(QStringLiteral("busy channel"), QStringLiteral("-"), b.failure);
        return;
    }
    for (const char *phase : {"idle", "busy5", "busy20"}) {
        const QString p = QLatin1String(phase);
        const QString what = p == QLatin1String("idle") ? QStringLiteral("busy channel, idle")
                             : p == QLatin1String("busy5")
                                 ? QStringLiteral("busy channel, 5 lines/s")
                                 : QStringLiteral("busy channel, 20 lines/s");
        row(what + QStringLiteral(": processor time (ms/s)"),
            fmt(v(p + QStringLiteral("_cpu_ms_per_s")), 2),
            range(p + QStringLiteral("_cpu_ms_per_s"), 2) +
                (p == QLatin1String("busy20") && !b.threadsCpu20.isEmpty()
                     ? QStringLiteral("; by thread: ") + b.threadsCpu20
                     : QString()));
        row(what + QStringLiteral(": wake-ups/s, all threads"),
            fmt(v(p + QStringLiteral("_wakeups_per_s")), 1),
            range(p + QStringLiteral("_wakeups_per_s"), 1) +
                (p == QLatin1String("busy20") && !b.threads20.isEmpty()
                     ? QStringLiteral("; by thread: ") + b.threads20
                     : QString()));
        row(what + QStringLiteral(": resident memory (MB)"),
            fmt(v(p + QStringLiteral("_rss_mb")), 1), range(p + QStringLiteral("_rss_mb"), 1));
    }
}

void printBusyFigures(const TBusyFigures &b)
{
    const auto line = [&](const char *name, const QString &key, int decimals) {
        const auto v = [&](const QString &k) { return b.values.value(k, std::nan("")); };
        std::printf("%s %s (windows %s to %s)\n", name, qPrintable(fmt(v(key), decimals)),
                    qPrintable(fmt(v(key + QStringLiteral("_low")), decimals)),
                    qPrintable(fmt(v(key + QStringLiteral("_high")), decimals)));
    };
    if (!b.failure.isEmpty()) {
        std::printf("busy20_cpu_ms_per_s - (%s)\n", qPrintable(b.failure));
        return;
    }
    line("busy20_cpu_ms_per_s", QStringLiteral("busy20_cpu_ms_per_s"), 2);
    line("busy5_cpu_ms_per_s", QStringLiteral("busy5_cpu_ms_per_s"), 2);
    line("busy20_wakeups_per_s", QStringLiteral("busy20_wakeups_per_s"), 1);
    line("idle_cpu_ms_per_s", QStringLiteral("idle_cpu_ms_per_s"), 2);
    line("idle_rss_mb", QStringLiteral("idle_rss_mb"), 1);
}

} // namespace

int main(int argc, char *argv[])
{
    if (argc == 2 && std::strcmp(argv[1], "--startup-child") == 0)
        return startupChild(argc, argv);
    QApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.value(0) == QLatin1String("--startup")) {
        const Results r = measureStartup();
        std::printf("startup_ms %s (spread %s)\n", qPrintable(fmt(get(r, "startup_ms"), 1)),
                    qPrintable(fmt(get(r, "startup_spread_ms"), 1)));
        return r.isEmpty() ? 1 : 0;
    }
    if (args.value(0) == QLatin1String("--case"))
        return runOne(args.mid(1));

    int soakOnly = 0;
    bool quick = false, historyOnly = false, faultOnly = false, busyOnly = false;
    for (int i = 0; i < args.size(); ++i) {
        if (args[i] == QLatin1String("--soak") && i + 1 < args.size())
            soakOnly = args[++i].toInt();
        else if (args[i] == QLatin1String("--quick"))
            quick = true;
        else if (args[i] == QLatin1String("--history"))
            historyOnly = true;
        else if (args[i] == QLatin1String("--fault"))
            faultOnly = true;
        else if (args[i] == QLatin1String("--busy"))
            busyOnly = true;
        else
            return usage();
    }
    std::printf("Machine: %s, %d logical cores, %s RAM; %s; Qt %s; QPA %s\n", qPrintable(cpuName()),
                QThread::idealThreadCount(), qPrintable(memTotal()),
                qPrintable(QSysInfo::prettyProductName()), qVersion(),
                qPrintable(QGuiApplication::platformName()));
    std::fflush(stdout);

    if (soakOnly > 0) {
        const Results soak = runCase({QStringLiteral("soak"), QString::number(soakOnly)});
        printSoak(soak);
        const double other = get(soak, "soak_non_transcript_growth_bytes");
        const double storeGrowth = get(soak, "soak_store_growth_bytes");
        // Allowed: allocator noise of a few MB or a tenth of the transcript's own growth.
        const bool ok = other <= std::max(4.0 * 1024 * 1024, 0.1 * storeGrowth);
        std::printf("soak_rss_growth_bytes_per_line %s\n",
                    qPrintable(fmt(get(soak, "soak_rss_growth_bytes_per_line"), 1)));
        std::printf("soak_non_transcript_growth_bytes %s\n", qPrintable(fmt(other)));
        std::printf("soak_stall_ms %s (tenths %s to %s)\n",
                    qPrintable(fmt(get(soak, "soak_stall_ms"), 1)),
                    qPrintable(fmt(get(soak, "soak_stall_ms_low"), 1)),
                    qPrintable(fmt(get(soak, "soak_stall_ms_high"), 1)));
        std::printf("soak_verdict %s\n", ok ? "memory grows only with the transcript"
                                            : "MEMORY GROWS BEYOND THE TRANSCRIPT");
        return ok ? 0 : 1;
    }

    Results faults;
    QStringList faultProblems;
    if (faultOnly) {
        const bool ok = faultFigures(&faults, &faultProblems);
        std::printf("\n| Measurement | Value | Notes\n|---|---:|---\n");
        printFaultRows(faults, faultProblems);
        std::printf("\n");
        printFaultFigures(faults, faultProblems);
        return ok ? 0 : 1;
    }

    // The history's cases: its large file first, which the start-up with a
    // history needs.
    const QString historyLines = quick ? QStringLiteral("1000000") : QStringLiteral("10000000");
    const auto historyCases = [&](Results *q, Results *ov, Results *st) {
        *q = runCase({QStringLiteral("history_queries"), historyLines});
        // A flood's time swings by a third from one flood to the next on a
        // shared virtual machine, with the history off as much as on: the
        // median of 15 pairs spread over 0.11 from run to run, that of 41
        // over 0.07, for a minute more.
        *ov = runCase({QStringLiteral("history_overhead"),
                       quick ? QStringLiteral("50000") : QStringLiteral("100000"),
                       quick ? QStringLiteral("5") : QStringLiteral("41")});
        if (!q->isEmpty())
            *st = measureStartupWithHistory(historyBenchFile(historyLines.toLongLong()));
    };
    if (busyOnly) {
        const TBusyFigures busy = measureBusy(quick);
        std::printf("\n| Measurement | Value | Notes\n|---|---:|---\n");
        printBusyRows(busy);
        std::printf("\n");
        printBusyFigures(busy);
        return busy.failure.isEmpty() ? 0 : 1;
    }
    Results hq, hov, hst;
    if (historyOnly) {
        historyCases(&hq, &hov, &hst);
        std::printf("\n| Measurement | Value | Notes\n|---|---:|---\n");
        printHistoryRows(hq, hov, hst);
        std::printf("\n");
        printHistoryFigures(hq, hov, hst);
        return hq.isEmpty() || hov.isEmpty() || hst.isEmpty() ? 1 : 0;
    }

    const int big = quick ? 112000 : 1012000; // the last window ends past 1,010,000
    const int base = quick ? 10000 : 20000;
    const QString n = QString::number(big), nb = QString::number(base),
                  nl = QStringLiteral("100000");
    const Results parse = runCase({QStringLiteral("parse")});
    const Results plain = runCase({QStringLiteral("e2e"), QStringLiteral("view"),
                                   QStringLiteral("plain"), QStringLiteral("nolog"), n});
    const Results moder = runCase({QStringLiteral("e2e"), QStringLiteral("view"),
                                   QStringLiteral("moderated"), QStringLiteral("nolog"), n});
    const Results plainLog = runCase({QStringLiteral("e2e"), QStringLiteral("view"),
                                      QStringLiteral("plain"), QStringLiteral("log"), nl});
    const Results moderLog = runCase({QStringLiteral("e2e"), QStringLiteral("view"),
                                      QStringLiteral("moderated"), QStringLiteral("log"), nl});
    const Results ptePlain = runCase({QStringLiteral("e2e"), QStringLiteral("plaintextedit"),
                                      QStringLiteral("plain"), QStringLiteral("nolog"), nb});
    const Results pteModer = runCase({QStringLiteral("e2e"), QStringLiteral("plaintextedit"),
                                      QStringLiteral("moderated"), QStringLiteral("nolog"), nb});
    const Results tePlain = runCase({QStringLiteral("e2e"), QStringLiteral("textedit"),
                                     QStringLiteral("plain"), QStringLiteral("nolog"), nb});
    const Results teModer = runCase({QStringLiteral("e2e"), QStringLiteral("textedit"),
                                     QStringLiteral("moderated"), QStringLiteral("nolog"), nb});
    const Results autosq = runCase({QStringLiteral("autosquelch")});
    const Results joins = runCase({QStringLiteral("joins")});
    const Results squelch = runCase({QStringLiteral("squelch")});
    const Results burst = runCase({QStringLiteral("burst")});
    const Results idle = runCase({QStringLiteral("idle")});
    const Results journal = runCase({QStringLiteral("journal_overhead")});
    const Results tester = runCase({QStringLiteral("tester_1k_ms")});
    const Results journalOpen = runCase({QStringLiteral("journal_open_ms")});
    const Results search = runCase({QStringLiteral("search")});
    const Results comforts = runCase({QStringLiteral("comforts")});
    const Results startup = measureStartup();
    const Results soak = runCase({QStringLiteral("soak"), QStringLiteral("30")});
    historyCases(&hq, &hov, &hst);
    faultFigures(&faults, &faultProblems);
    const TBusyFigures busy = measureBusy(quick);

    std::printf("\n| Measurement | Value | Notes\n|---|---:|---\n");
    row(QStringLiteral("memchr line split (floor), lines/s"), fmt(get(parse, "floor_lines_per_s")),
        fmt(get(parse, "floor_mb_per_s")) + QStringLiteral(" MB/s"));
    row(QStringLiteral("connection line cutting + ParseLine, lines/s"),
        fmt(get(parse, "parse_lines_per_s")),
        fmt(get(parse, "parse_mb_per_s")) + QStringLiteral(" MB/s"));
    struct E2e {
        const char *what;
        const Results *r;
    };
    const E2e runs[] = {
        {"transcript, timestamps", &plain},
        {"transcript, timestamps, autosquelch + 50 triggers", &moder},
        {"transcript, timestamps, chat log", &plainLog},
        {"transcript, timestamps, autosquelch, chat log", &moderLog},
        {"QPlainTextEdit pane, timestamps", &ptePlain},
        {"QPlainTextEdit pane, timestamps, autosquelch", &pteModer},
        {"QTextEdit pane, timestamps", &tePlain},
        {"QTextEdit pane, timestamps, autosquelch", &teModer},
    };
    for (const E2e &e : runs) {
        const QString what = QString::fromLatin1(e.what);
        row(what + QStringLiteral(": lines/s"), fmt(get(*e.r, "lines_per_s")),
            fmt(get(*e.r, "lines")) + QStringLiteral(" lines of ") + fmt(get(*e.r, "line_length")) +
                QStringLiteral(" chars"));
        QStringList points;
        for (int at : {1000, 10000, 100000, 1000000}) {
            const double v = e.r->value(QStringLiteral("ms_per_1000_at_%1").arg(at), std::nan(""));
            if (!std::isnan(v))
                points << QStringLiteral("%1: %2").arg(fmt(at), fmt(v, 2));
        }
        row(what + QStringLiteral(": ms per 1,000 lines at N lines"), QString(),
            points.join(QStringLiteral(", ")));
        row(what + QStringLiteral(": peak memory per line (bytes)"),
            fmt(get(*e.r, "peak_bytes_per_line")),
            e.r->contains(QStringLiteral("store_bytes_per_line"))
                ? QStringLiteral("line store: ") + fmt(get(*e.r, "store_bytes_per_line"))
                : QString());
        row(what + QStringLiteral(": longest stall (ms)"), fmt(get(*e.r, "max_stall_ms"), 1),
            (e.r->contains(QStringLiteral("max_stall_ms_100k"))
                 ? QStringLiteral("first 100,000 lines: ") +
                       fmt(get(*e.r, "max_stall_ms_100k"), 1) + QStringLiteral("; ")
                 : QString()) +
                QStringLiteral("own processor time in the longest busy stretch: ") +
                fmt(get(*e.r, "max_busy_ms"), 1));
        row(what + QStringLiteral(": window resize (ms)"), fmt(get(*e.r, "resize_ms"), 2),
            QStringLiteral("with all its lines"));
    }
    for (int t : {0, 10, 50, 100})
        row(QStringLiteral("autosquelch alone, %1 triggers: us per judged line").arg(t),
            fmt(autosq.value(QStringLiteral("us_per_line_%1_triggers").arg(t), std::nan("")), 3));
    row(QStringLiteral("10,000 joins in one burst, until shown (ms)"),
        fmt(get(joins, "joins_10k_ms"), 1));
    row(QStringLiteral("10,000 leaves in one burst, until shown (ms)"),
        fmt(get(joins, "leaves_10k_ms"), 1));
    row(QStringLiteral("10 pasted lines of 150 bytes against the quota (ms)"),
        fmt(get(burst, "burst_ms"), 0),
        QStringLiteral("window 1 s, margin 100 ms on both sides; refusals: ") +
            fmt(get(burst, "burst_refusals")) +
            (get(burst, "burst_connected") == 1 ? QString() : QStringLiteral("; DISCONNECTED")));
    row(QStringLiteral("start to main window shown (ms)"), fmt(get(startup, "startup_ms"), 1),
        QStringLiteral("median of 5 starts, spread ") + fmt(get(startup, "startup_spread_ms"), 1));
    row(QStringLiteral("idle connected client, resident memory (MB)"),
        fmt(get(idle, "idle_rss_mb"), 1));
    row(QStringLiteral("line path, empty squelch list (ns per line)"),
        fmt(get(squelch, "line_path_ns_empty")));
    row(QStringLiteral("line path, 100,000-name squelch list (ns per line)"),
        fmt(get(squelch, "line_path_ns_100k")));
    row(QStringLiteral("moderated line path, journal off (lines/s)"),
        fmt(get(journal, "journal_off_lines_per_s")),
        fmt(get(journal, "journal_entries_per_flood")) +
            QStringLiteral(" entries per 100,000-line flood"));
    row(QStringLiteral("moderated line path, journal on (lines/s)"),
        fmt(get(journal, "journal_on_lines_per_s")));
    row(QStringLiteral("trigger tester, one evaluation over 1,000 lines (ms)"),
        fmt(get(tester, "tester_1k_ms"), 2), QStringLiteral("median of 20"));
    row(QStringLiteral("journal window with 10,000 entries, open (ms)"),
        fmt(get(journalOpen, "journal_open_ms"), 1), QStringLiteral("median of 5"));
    row(QStringLiteral("find in 1,000,000 lines, only match in the oldest (ms)"),
        fmt(get(search, "search_1m_ms"), 1),
        QStringLiteral("median of 7; highest ") + fmt(get(search, "search_1m_ms_high"), 1));
    row(QStringLiteral("next match among 1,000 (ms)"), fmt(get(search, "search_next_ms"), 2),
        QStringLiteral("median of 200; highest ") + fmt(get(search, "search_next_ms_high"), 2));
    row(QStringLiteral("flood with links and mentions off / on"),
        fmt(get(comforts, "comforts_overhead"), 3),
        QStringLiteral("median of 10 alternating pairs, ") +
            fmt(get(comforts, "comforts_overhead_low"), 3) + QStringLiteral(" to ") +
            fmt(get(comforts, "comforts_overhead_high"), 3));
    printSoak(soak);
    printHistoryRows(hq, hov, hst);
    printFaultRows(faults, faultProblems);
    printBusyRows(busy);

    const double pte = std::min(get(plain, "lines_per_s") / get(ptePlain, "lines_per_s"),
                                get(moder, "lines_per_s") / get(pteModer, "lines_per_s"));
    const double te = std::min(get(plain, "lines_per_s") / get(tePlain, "lines_per_s"),
                               get(moder, "lines_per_s") / get(teModer, "lines_per_s"));
    const double flat = get(plain, "ms_per_1000_at_1000000") / get(plain, "ms_per_1000_at_1000");
    const double flat100k = get(plain, "ms_per_1000_at_100000") / get(plain, "ms_per_1000_at_1000");
    std::printf("\n");
    std::printf("e2e_plain_lines_per_s %s\n", qPrintable(fmt(get(plain, "lines_per_s"))));
    std::printf("e2e_moderated_lines_per_s %s\n", qPrintable(fmt(get(moder, "lines_per_s"))));
    std::printf("ratio_vs_plaintextedit %s\n", qPrintable(fmt(pte, 1)));
    std::printf("ratio_vs_textedit %s\n", qPrintable(fmt(te, 1)));
    std::printf("flatness_1m_vs_1k %s\n", qPrintable(fmt(quick ? flat100k : flat, 2)));
    std::printf("bytes_per_line %s\n", qPrintable(fmt(get(plain, "peak_bytes_per_line"))));
    std::printf("resize_ms_1m %s\n", qPrintable(fmt(get(plain, "resize_ms"), 2)));
    std::printf("max_stall_ms %s\n", qPrintable(fmt(std::max(get(plain, "max_stall_ms_100k"),
                                                             get(moder, "max_stall_ms_100k")),
                                                    1)));
    std::printf("max_busy_ms %s\n",
                qPrintable(fmt(
                    std::max(get(plain, "max_busy_ms_100k"), get(moder, "max_busy_ms_100k")), 1)));
    std::printf("parse_vs_floor %s (rounds %s to %s)\n",
                qPrintable(fmt(get(parse, "parse_vs_floor"), 2)),
                qPrintable(fmt(get(parse, "parse_vs_floor_low"), 2)),
                qPrintable(fmt(get(parse, "parse_vs_floor_high"), 2)));
    std::printf("joins_10k_ms %s\n", qPrintable(fmt(get(joins, "joins_10k_ms"), 1)));
    std::printf("leaves_10k_ms %s\n", qPrintable(fmt(get(joins, "leaves_10k_ms"), 1)));
    std::printf("burst_vs_quota_min %s\n", qPrintable(fmt(get(burst, "burst_vs_quota_min"), 3)));
    std::printf("burst_refusals %s\n", qPrintable(fmt(get(burst, "burst_refusals"))));
    std::printf("startup_ms %s\n", qPrintable(fmt(get(startup, "startup_ms"), 1)));
    std::printf("idle_rss_mb %s\n", qPrintable(fmt(get(idle, "idle_rss_mb"), 1)));
    std::printf("squelch_100k_overhead %s (rounds %s to %s)\n",
                qPrintable(fmt(get(squelch, "squelch_100k_overhead"), 3)),
                qPrintable(fmt(get(squelch, "squelch_100k_overhead_low"), 3)),
                qPrintable(fmt(get(squelch, "squelch_100k_overhead_high"), 3)));
    std::printf("journal_overhead %s (rounds %s to %s)\n",
                qPrintable(fmt(get(journal, "journal_overhead"), 3)),
                qPrintable(fmt(get(journal, "journal_overhead_low"), 3)),
                qPrintable(fmt(get(journal, "journal_overhead_high"), 3)));
    std::printf("tester_1k_ms %s\n", qPrintable(fmt(get(tester, "tester_1k_ms"), 2)));
    std::printf("journal_open_ms %s\n", qPrintable(fmt(get(journalOpen, "journal_open_ms"), 1)));
    std::printf("soak_rss_growth_bytes_per_line %s\n",
                qPrintable(fmt(get(soak, "soak_rss_growth_bytes_per_line"), 1)));
    std::printf("soak_non_transcript_growth_bytes %s\n",
                qPrintable(fmt(get(soak, "soak_non_transcript_growth_bytes"))));
    std::printf("soak_stall_ms %s (tenths %s to %s)\n",
                qPrintable(fmt(get(soak, "soak_stall_ms"), 1)),
                qPrintable(fmt(get(soak, "soak_stall_ms_low"), 1)),
                qPrintable(fmt(get(soak, "soak_stall_ms_high"), 1)));
    std::printf("search_1m_ms %s\n", qPrintable(fmt(get(search, "search_1m_ms"), 1)));
    std::printf("search_next_ms %s\n", qPrintable(fmt(get(search, "search_next_ms"), 2)));
    std::printf("comforts_overhead %s (rounds %s to %s)\n",
                qPrintable(fmt(get(comforts, "comforts_overhead"), 3)),
                qPrintable(fmt(get(comforts, "comforts_overhead_low"), 3)),
                qPrintable(fmt(get(comforts, "comforts_overhead_high"), 3)));
    printHistoryFigures(hq, hov, hst);
    printFaultFigures(faults, faultProblems);
    printBusyFigures(busy);
    return 0;
}
