#include "bench/cases.h"

#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QEvent>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QRandomGenerator>
#include <QScrollBar>
#include <QSpinBox>
#include <QTcpSocket>
#include <QTreeWidget>

#include <algorithm>
#ifdef Q_OS_LINUX
#include <sched.h>
#endif
#include <cstdio>
#include <cstring>
#include <string>
#include <vector>

void result(const char *name, double value)
{
    std::printf("result %s %.6g\n", name, value);
    std::fflush(stdout);
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    const size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// A busy moment on a shared machine spoils a round, not the figure.
TPinnedThread::TPinnedThread(int cpu)
{
#ifdef Q_OS_LINUX
    static_assert(sizeof m_before == sizeof(cpu_set_t));
    auto *before = reinterpret_cast<cpu_set_t *>(m_before);
    if (cpu < 0 || cpu >= CPU_SETSIZE || sched_getaffinity(0, sizeof *before, before) != 0)
        return;
    cpu_set_t one;
    CPU_ZERO(&one);
    CPU_SET(cpu, &one);
    m_held = sched_setaffinity(0, sizeof one, &one) == 0;
#else
    Q_UNUSED(cpu);
#endif
}

TPinnedThread::~TPinnedThread()
{
#ifdef Q_OS_LINUX
    if (m_held)
        sched_setaffinity(0, sizeof(cpu_set_t), reinterpret_cast<cpu_set_t *>(m_before));
#endif
}

int TPinnedThread::currentCpu()
{
#ifdef Q_OS_LINUX
    return sched_getcpu();
#else
    return -1;
#endif
}

void ratioResult(const char *name, std::vector<double> ratios)
{
    std::sort(ratios.begin(), ratios.end());
    result(name, median(ratios));
    result((std::string(name) + "_low").c_str(), ratios.front());
    result((std::string(name) + "_high").c_str(), ratios.back());
}

namespace {

// The same distinct, mixed-case texts the gateway's burst sends.
QString floodText(int i, int length)
{
    static const char *const words[] = {"Quick",  "brown", "Fox",       "jumps", "over",   "the",
                                        "Lazy",   "dog",   "while",     "Seven", "zebras", "hum",
                                        "Softly", "under", "moonlight", "and",   "Jazz",   "plays"};
    constexpr int n = int(sizeof words / sizeof words[0]);
    QString text = QStringLiteral("Line ") + QString::number(i);
    for (int k = 0; text.size() < length; ++k)
        text += QLatin1Char(' ') + QLatin1String(words[(i * 7 + k * 5 + i / n) % n]);
    text.truncate(length);
    return text;
}

QStringList plainConf()
{
    return {QStringLiteral("squelchFlooders=0"), QStringLiteral("squelchAscii=0"),
            QStringLiteral("squelchUc=0"), QStringLiteral("squelchLeet=0")};
}

TTranscriptView *viewOf(TTranscriptPane *pane) { return dynamic_cast<TTranscriptView *>(pane); }

} // namespace

QStringList benchTriggers(int count)
{
    // The kinds of phrases people keep against spam: literal words, (?i)
    // phrases, alternations, anchored commands, addresses.
    QStringList out;
    for (int i = 0; out.size() < count; ++i) {
        const QString n = QString::number(i);
        switch (i % 5) {
        case 0:
            out << QStringLiteral("(?i)free\\s+gold") + n;
            break;
        case 1:
            out << QStringLiteral("www\\.[a-z]+") + n + QStringLiteral("\\.com");
            break;
        case 2:
            out << QStringLiteral("(?i)(buy|sell)ing cd.?keys ") + n;
            break;
        case 3:
            out << QStringLiteral("^!spam") + n;
            break;
        default:
            out << QStringLiteral("cheap power ?level") + n;
            break;
        }
    }
    return out;
}

QStringList moderatedConf(int triggers)
{
    QStringList conf = {QStringLiteral("squelchFlooders=1"), QStringLiteral("squelchAscii=1"),
                        QStringLiteral("squelchUc=1"),       QStringLiteral("squelchPrompt=0"),
                        QStringLiteral("autoAction=0"),      QStringLiteral("asciiPercentage=40"),
                        QStringLiteral("ucPercentage=60")};
    for (const QString &t : benchTriggers(triggers))
        conf << QStringLiteral("triggerPhrase=") + t;
    return conf;
}

// ---- line cutting and ParseLine --------------------------------------------

void caseParse()
{
    // About 10 MB of what a busy channel sends, in the gateway's proportions.
    QByteArray buffer;
    buffer.reserve(10 * 1024 * 1024 + 256);
    QRandomGenerator rnd(42);
    int i = 0;
    while (buffer.size() < 10 * 1024 * 1024) {
        const QByteArray name = "Member" + QByteArray::number(rnd.bounded(500));
        const QByteArray text = floodText(i++, 20 + int(rnd.bounded(60))).toLatin1();
        const int roll = int(rnd.bounded(100));
        if (roll < 70)
            buffer += "1005 TALK " + name + " 0010 \"" + text + "\"\r\n";
        else if (roll < 76)
            buffer += "1004 WHISPER " + name + " 0010 \"" + text + "\"\r\n";
        else if (roll < 82)
            buffer += "1023 EMOTE " + name + " 0010 \"" + text + "\"\r\n";
        else if (roll < 88)
            buffer += "1002 JOIN " + name + " 0010 [CHAT]\r\n";
        else if (roll < 94)
            buffer += "1003 LEAVE " + name + " 0010\r\n";
        else if (roll < 97)
            buffer += "1009 USER " + name + " 0010 [CHAT]\r\n";
        else
            buffer += "1018 INFO \"" + text + "\"\r\n";
    }
    const double mb = double(buffer.size()) / 1e6;

    // The client's own cutting (a socket read's worth at a time) and ParseLine.
    TChatInterface bnet;
    TBnetChat process;
    process.ChatInterface = &bnet;
    qint64 sink = 0;
    process.OnTalk = process.OnWhisper = process.OnEmote =
        [&sink](const QString &u, const QString &m) { sink += u.size() + m.size(); };
    process.OnJoin =
        process.OnLeave = [&sink](const QString &u, const QString &f, const QString &t) {
            sink += u.size() + f.size() + t.size();
        };
    process.OnUserFlags = [&sink](const QString &u, const QString &f) {
        sink += u.size() + f.size();
    };
    process.OnInfo = [&sink](const QString &m) { sink += m.size(); };
    qint64 delivered = 0;
    bnet.OnDataReceived = [&](const QString &line) {
        ++delivered;
        process.ParseLine(line);
    };
    // Floor and parse take turns, and each round gives a ratio of its own,
    // so that a busy moment on a shared machine falls on one round and not
    // on one side; the median round counts. The speeds are the best rounds.
    qint64 floorBest = std::numeric_limits<qint64>::max();
    qint64 parseBest = std::numeric_limits<qint64>::max();
    qint64 lines = 0;
    std::vector<double> ratios;
    for (int round = 0; round < 31; ++round) {
        qint64 floorNs = 0;
        {
            // The floor: a plain memchr split of the same buffer.
            QElapsedTimer t;
            t.start();
            const char *p = buffer.constData();
            const char *end = p + buffer.size();
            qint64 n = 0, sum = 0;
            while (p < end) {
                const char *nl = static_cast<const char *>(std::memchr(p, '\n', size_t(end - p)));
                if (!nl)
                    break;
                sum += nl - p;
                ++n;
                p = nl + 1;
            }
            floorNs = t.nsecsElapsed();
            floorBest = std::min(floorBest, floorNs);
            lines = n;
            if (sum == 0)
                std::puts("");
        }
        delivered = 0;
        QElapsedTimer t;
        t.start();
        for (qsizetype at = 0; at < buffer.size(); at += 16384)
            bnet.receiveBytes(QByteArray::fromRawData(
                buffer.constData() + at, std::min<qsizetype>(16384, buffer.size() - at)));
        const qint64 parseNs = t.nsecsElapsed();
        parseBest = std::min(parseBest, parseNs);
        ratios.push_back(double(parseNs) / double(std::max<qint64>(1, floorNs)));
    }
    if (delivered != lines)
        std::fprintf(stderr, "bench: parse delivered %lld lines of %lld\n", qint64(delivered),
                     lines);
    result("parse_lines", double(lines));
    result("floor_lines_per_s", double(lines) / (double(floorBest) / 1e9));
    result("floor_mb_per_s", mb / (double(floorBest) / 1e9));
    result("parse_lines_per_s", double(lines) / (double(parseBest) / 1e9));
    result("parse_mb_per_s", mb / (double(parseBest) / 1e9));
    ratioResult("parse_vs_floor", ratios);
    if (sink == 0)
        std::puts("");
}

// ---- end to end --------------------------------------------------------------

void caseEndToEnd(TPaneKind pane, bool moderated, bool chatLog, int lines)
{
    QStringList conf = moderated ? moderatedConf(50) : plainConf();
    conf << QStringLiteral("timeStamps=1") << QStringLiteral("notifications=0")
         << QStringLiteral("anticensor=1");
    if (chatLog)
        conf << QStringLiteral("keeplog=1") << QStringLiteral("logfilename=chat.log");
    else
        conf << QStringLiteral("keeplog=0");
    TBenchSession s(pane, conf);
    if (chatLog) {
        s.main->store->setBytes(TSetting::logfilename, s.path(QStringLiteral("chat.log")));
        s.main->store->setFlag(TSetting::keeplog, true);
    }

    // Texts sized so that each transcript line is 80 characters.
    const QString prefix =
        QLatin1Char('[') + longTimeText(currentDateTime().time()) + QStringLiteral("] <Swift> ");
    const int textLength = 80 - int(prefix.size());
    GatewayProcess gateway = benchGateway(
        {QStringLiteral("--no-flood-quota"), QStringLiteral("--burst"), QString::number(lines),
         QStringLiteral("--burst-length"), QString::number(textLength)});

    TStallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    std::vector<qint64> everyThousand; // time of line 0, 1000, 2000, ...
    everyThousand.reserve(size_t(lines / 1000 + 2));
    bool started = false, done = false;
    qint64 count = 0, rssAtStart = 0, lineLength = 0;
    double stall100k = 0, busy100k = 0;
    const QString firstMark = QStringLiteral("<Swift> Line 0 ");
    const QString lastMark =
        QStringLiteral("> Line ") + QString::number(lines - 1) + QLatin1Char(' ');
    s.probe.onAppend = [&](const QString &text) {
        if (!started) {
            if (!text.contains(firstMark))
                return;
            started = true;
            lineLength = text.size();
            rssAtStart = rssBytes();
            resetPeakRss();
            stalls.reset();
            clock.restart();
        }
        if (count % 1000 == 0)
            everyThousand.push_back(clock.nsecsElapsed());
        ++count;
        if (count == 100000) {
            stall100k = stalls.maxGapMs();
            busy100k = stalls.maxBusyMs();
        }
        if (count >= lines - 1 && text.contains(lastMark))
            done = true;
    };
    stalls.where = [&count] { return count; };
    if (!s.logIn(gateway.port())) {
        std::fprintf(stderr, "bench: could not log in to the gateway\n");
        return;
    }
    if (!waitFor([&] { return done; }, 600000)) {
        std::fprintf(stderr, "bench: the flood did not arrive whole (%lld lines)\n", count);
        return;
    }
    const qint64 elapsed = clock.nsecsElapsed();
    const double stallAll = stalls.maxGapMs();
    const double busyAll = stalls.maxBusyMs();
    s.probe.onAppend = nullptr;
    const qint64 peak = peakRssBytes();

    result("lines", double(count));
    result("line_length", double(lineLength));
    result("lines_per_s", double(count) / (double(elapsed) / 1e9));
    const int window = 10000;
    for (int at : {1000, 10000, 100000, 1000000}) {
        const size_t a = size_t(at / 1000), b = size_t((at + window) / 1000);
        if (b >= everyThousand.size())
            continue;
        const double ms = double(everyThousand[b] - everyThousand[a]) / 1e6 / (window / 1000.0);
        result(qPrintable(QStringLiteral("ms_per_1000_at_%1").arg(at)), ms);
    }
    result("peak_bytes_per_line", double(peak - rssAtStart) / double(count));
    if (TTranscriptView *v = viewOf(s.main->chat))
        result("store_bytes_per_line", double(v->storeBytes()) / double(v->lineCount()));
    result("max_stall_ms", stallAll);
    result("max_stall_at_line", double(stalls.maxAt()));
    result("squelched", double(s.main->brx->count()));
    if (chatLog)
        result("log_bytes", double(QFileInfo(s.path(QStringLiteral("chat.log"))).size()));
    if (stall100k > 0)
        result("max_stall_ms_100k", stall100k);
    result("max_busy_ms", busyAll);
    if (busy100k > 0)
        result("max_busy_ms_100k", busy100k);

    // Resizing the window with the whole transcript in it: until the pane
    // has its new size and has painted.
    QWidget *paneWidget = s.main->chat->widget();
    auto *area = qobject_cast<QAbstractScrollArea *>(paneWidget);
    double worst = 0;
    for (int i = 0; i < 6; ++i) {
        const QSize before = paneWidget->size();
        const QSize to = i % 2 ? QSize(900, 650) : QSize(1180, 820);
        QElapsedTimer t;
        t.start();
        s.main->resize(to);
        while (paneWidget->size() == before && t.elapsed() < 5000)
            QCoreApplication::processEvents();
        if (area)
            area->viewport()->repaint();
        else
            paneWidget->repaint();
        worst = std::max(worst, double(t.nsecsElapsed()) / 1e6);
    }
    result("resize_ms", worst);
}

// ---- the autosquelch alone ---------------------------------------------------

void caseAutosquelch()
{
    TBenchSession s(TPaneKind::View, moderatedConf(0));
    s.main->session->addUser(QStringLiteral("Swift"), QStringLiteral("CHAT"),
                             QStringLiteral("0010"));
    const int n = 20000;
    QStringList lines;
    for (int i = 0; i < n; ++i)
        lines << floodText(i, 60);
    const QStringList all = benchTriggers(100);
    for (int triggers : {0, 10, 50, 100}) {
        s.main->store->setList(TSetting::triggers, all.mid(0, triggers));
        QString warm;
        s.main->autosquelch(warm, QStringLiteral("Swift"), lines[0]); // compiles the phrases
        qint64 best = std::numeric_limits<qint64>::max();
        int verdicts = 0;
        for (int round = 0; round < 3; ++round) {
            QElapsedTimer t;
            t.start();
            for (const QString &line : lines) {
                QString reason;
                if (s.main->autosquelch(reason, QStringLiteral("Swift"), line))
                    ++verdicts;
            }
            best = std::min(best, t.nsecsElapsed());
        }
        if (verdicts)
            std::fprintf(stderr, "bench: %d lines got a verdict\n", verdicts);
        result(qPrintable(QStringLiteral("us_per_line_%1_triggers").arg(triggers)),
               double(best) / 1e3 / n);
    }
}

// ---- joins, leaves and the squelch list --------------------------------------

void caseJoins()
{
    TBenchSession s(TPaneKind::View, plainConf() << QStringLiteral("notifications=1")
                                                 << QStringLiteral("timeStamps=1"));
    GatewayProcess gateway = benchGateway({QStringLiteral("--no-flood-quota")});
    if (!s.logIn(gateway.port())) {
        std::fprintf(stderr, "bench: could not log in to the gateway\n");
        return;
    }
    QTreeWidget *users = s.main->users;
    waitFor([&] { return users->topLevelItemCount() > 0; }, 5000);
    const int base = users->topLevelItemCount();
    const int n = 10000;
    for (const bool joining : {true, false}) {
        QElapsedTimer t;
        t.start();
        gateway.command(QString::fromLatin1(QByteArray(joining ? "joins " : "leaves ") +
                                            QByteArray::number(n) + " Joiner"));
        const int want = joining ? base + n : base;
        if (!waitFor([&] { return users->topLevelItemCount() == want; }, 60000)) {
            std::fprintf(stderr, "bench: the user list did not reach %d rows\n", want);
            return;
        }
        users->viewport()->repaint();
        result(joining ? "joins_10k_ms" : "leaves_10k_ms", double(t.nsecsElapsed()) / 1e6);
    }
}

// ---- a paste against the server's flood quota ---------------------------------

void caseBurst()
{
    // Ten pasted lines of 150 bytes (four units each, so each goes alone in
    // the quota's window) through the window to the gateway with its quota
    // on. The window and the margin are scaled down together on both sides
    // (1 s and 100 ms for 5 s and 500 ms), and the flood interval with them.
    TBenchSession s(TPaneKind::View, plainConf());
    GatewayProcess gateway = benchGateway({QStringLiteral("--quota-window"), QStringLiteral("1")});
    const int windowMs = 1000;
    s.main->store->setNumber(TSetting::quotaWindow, windowMs / 1000);
    s.main->store->setNumber(TSetting::quotaMargin, 100);
    s.main->session->process->setFloodInterval(300);
    if (!s.logIn(gateway.port())) {
        std::fprintf(stderr, "bench: could not log in to the gateway\n");
        return;
    }
    // A second member counts what reaches the channel.
    QTcpSocket bob;
    QByteArray heard;
    QObject::connect(&bob, &QTcpSocket::readyRead, [&] { heard += bob.readAll(); });
    bob.connectToHost(QHostAddress::LocalHost, gateway.port());
    bob.write("\x03\x04"
              "bob\rpw\r\r");
    if (!waitFor([&] { return heard.contains("You have no mail."); }, 10000)) {
        std::fprintf(stderr, "bench: the second member could not log in\n");
        return;
    }
    // What the login sent (the home channel's /join) leaves the window
    // first, so that the burst starts on a clear quota.
    waitFor([] { return false; }, windowMs + 500);
    const int n = 10;
    QStringList lines;
    for (int i = 0; i < n; ++i) {
        const QString head = QStringLiteral("burst line %1 ").arg(i);
        lines << head + QString(150 - int(head.size()), QLatin1Char('x'));
    }
    s.main->text->insert(lines.join(QLatin1Char('\n')));
    int refusals = 0;
    s.probe.onAppend = [&refusals](const QString &text) {
        if (text.contains(QLatin1String("flood quota")))
            ++refusals;
    };
    heard.clear();
    QElapsedTimer t;
    t.start();
    s.main->sendClick();
    if (!waitFor([&] { return heard.count("1005 TALK") >= n; }, 120000)) {
        std::fprintf(stderr, "bench: the burst did not arrive\n");
        return;
    }
    // The first line goes at once, the last one (n - 1) windows later at best.
    const double ms = double(t.nsecsElapsed()) / 1e6;
    result("burst_ms", ms);
    result("burst_vs_quota_min", ms / ((n - 1) * windowMs));
    result("burst_refusals", refusals);
    result("burst_connected", s.main->session->bnet->Connected() ? 1 : 0);
}

// ---- an idle connected client ---------------------------------------------------

void caseIdle()
{
    // Logged in to a quiet channel, then left alone for two seconds.
    TBenchSession s(TPaneKind::View, plainConf());
    GatewayProcess gateway = benchGateway({QStringLiteral("--chatters"), QStringLiteral("0")});
    if (!s.logIn(gateway.port())) {
        std::fprintf(stderr, "bench: could not log in to the gateway\n");
        return;
    }
    waitFor([] { return false; }, 2000);
    result("idle_rss_mb", double(rssBytes()) / (1024.0 * 1024.0));
}

void caseSquelchList()
{
    // The line path from the connection's delivery on, with the autosquelch
    // and timestamps on, against an empty list and one of 100,000 names.
    QByteArray brx;
    for (int i = 0; i < 100000; ++i)
        brx += "STARSquelched" + QByteArray::number(i) + "\r\n";
    QStringList talk;
    const int n = 100000;
    const char *const senders[] = {"Swift", "Quill", "Rapid"};
    for (int i = 0; i < n; ++i)
        talk << QStringLiteral("1005 TALK %1 0010 \"%2\"")
                    .arg(QLatin1String(senders[i % 3]), floodText(i, 58));
    const QStringList conf = moderatedConf(50) << QStringLiteral("timeStamps=1");
    TBenchSession empty(TPaneKind::View, conf);
    TBenchSession full(TPaneKind::View, conf, brx);
    if (full.main->brx->count() != 100000)
        std::fprintf(stderr, "bench: the squelch list holds %d names\n", full.main->brx->count());
    // Many rounds, each timing both lists (in turns of empty-full, then
    // full-empty, so neither always goes first); each round gives a ratio
    // and the median round counts. The per-line times are the best rounds.
    qint64 best[2] = {std::numeric_limits<qint64>::max(), std::numeric_limits<qint64>::max()};
    std::vector<double> ratios;
    for (int round = 0; round < 15; ++round) {
        qint64 took[2] = {0, 0};
        for (int turn = 0; turn < 2; ++turn) {
            const int k = round % 2 ? 1 - turn : turn;
            Tmain *m = (k ? full : empty).main.get();
            m->chat->clear();
            for (const char *who : senders)
                m->session->bnet->OnDataReceived(
                    QStringLiteral("1001 USER %1 0010 [CHAT]").arg(QLatin1String(who)));
            QElapsedTimer t;
            t.start();
            for (const QString &line : talk)
                m->session->bnet->OnDataReceived(line);
            took[k] = t.nsecsElapsed();
            best[k] = std::min(best[k], took[k]);
            QCoreApplication::processEvents();
        }
        ratios.push_back(double(took[1]) / double(std::max<qint64>(1, took[0])));
    }
    result("line_path_ns_empty", double(best[0]) / n);
    result("line_path_ns_100k", double(best[1]) / n);
    ratioResult("squelch_100k_overhead", ratios);
}

// ---- the soak ---------------------------------------------------------------

void caseSoak(int seconds)
{
    QStringList conf = moderatedConf(50);
    conf << QStringLiteral("timeStamps=1") << QStringLiteral("notifications=1")
         << QStringLiteral("squelchLeet=1") << QStringLiteral("leetPercentage=50")
         << QStringLiteral("historyDelay=5") << QStringLiteral("keeplog=0");
    TBenchSession s(TPaneKind::View, conf);
    // A busy channel at 1,000 happenings a second: joins, leaves, talk,
    // emotes, whispers to us, floods and flag changes, by members drawn from
    // a pool, so they come back.
    GatewayProcess gateway = benchGateway(
        {QStringLiteral("--no-flood-quota"), QStringLiteral("--chatters"), QStringLiteral("80"),
         QStringLiteral("--rate"), QStringLiteral("1000"), QStringLiteral("--seed"),
         QStringLiteral("7"), QStringLiteral("--name-pool"), QStringLiteral("600")});
    qint64 chatLines = 0;
    s.probe.onAppend = [&](const QString &) { ++chatLines; };
    if (!s.logIn(gateway.port())) {
        std::fprintf(stderr, "bench: could not log in to the gateway\n");
        return;
    }
    s.probe.onAppend = [&](const QString &) { ++chatLines; };
    // Every line the gateway sends, shown or not (squelched members' lines
    // are read and dropped).
    qint64 received = 0;
    const auto deliver = s.main->session->bnet->OnDataReceived;
    s.main->session->bnet->OnDataReceived = [&received, deliver](const QString &line) {
        ++received;
        deliver(line);
    };
    TTranscriptView *chat = viewOf(s.main->chat);
    TTranscriptView *whisper = viewOf(s.main->whisper);
    auto store = [&] { return chat->storeBytesUsed() + whisper->storeBytesUsed(); };
    auto shown = [&] { return chatLines + whisper->lineCount(); };

    // How often the window repaints: a busy channel should cost a display
    // frame's worth of paints, not one per pass of the event loop.
    struct RepaintCounter : QObject {
        qint64 count = 0;
        bool eventFilter(QObject *, QEvent *e) override
        {
            if (e->type() == QEvent::UpdateRequest)
                ++count;
            return false;
        }
    } repaints;
    s.main->installEventFilter(&repaints);

    TStallMeter stalls;
    QElapsedTimer clock;
    clock.start();
    const int warmUp = std::max(5, seconds / 5);
    waitFor([&] { return clock.elapsed() >= warmUp * 1000; }, warmUp * 1000 + 5000);
    // A steady state: the pools are full, the lists have their members.
    const qint64 rss0 = rssBytes(), store0 = store(), lines0 = shown(), received0 = received;
    const qint64 repaints0 = repaints.count, cpu0 = processCpuNs();
    stalls.reset();
    const qint64 t0 = clock.elapsed();
    std::fprintf(stderr, "soak: %d s in all, measuring after %d s of warm-up\n", seconds, warmUp);
    // The longest stall of each tenth of the run: their median is what a
    // user meets, the highest what one busy moment of the machine can add.
    std::vector<double> tenths;
    double longest = 0, busiest = 0;
    for (int step = 1; step <= 10; ++step) {
        const qint64 until = t0 + qint64(seconds - warmUp) * 1000 * step / 10;
        waitFor([&] { return clock.elapsed() >= until; }, int(until - clock.elapsed()) + 5000);
        tenths.push_back(stalls.maxGapMs());
        longest = std::max(longest, stalls.maxGapMs());
        busiest = std::max(busiest, stalls.maxBusyMs());
        stalls.reset();
        std::fprintf(
            stderr,
            "soak: %3lld s  lines %9lld  rss %7.1f MB  store %7.1f MB  squelched %d  members %d\n",
            clock.elapsed() / 1000, shown(), double(rssBytes()) / 1e6, double(store()) / 1e6,
            s.main->brx->count(), s.main->session->userCount);
    }
    const double secs = double(clock.elapsed() - t0) / 1000.0;
    const qint64 lines = shown() - lines0;
    const qint64 rssGrowth = rssBytes() - rss0;
    const qint64 storeGrowth = store() - store0;
    result("soak_seconds", secs); // measured, after the warm-up
    result("soak_lines_per_s", double(lines) / secs);
    result("soak_received_lines_per_s", double(received - received0) / secs);
    result("soak_lines", double(lines));
    result("soak_rss_growth_bytes", double(rssGrowth));
    result("soak_store_growth_bytes", double(storeGrowth));
    result("soak_rss_growth_bytes_per_line",
           double(rssGrowth) / double(std::max<qint64>(1, lines)));
    result("soak_store_growth_bytes_per_line",
           double(storeGrowth) / double(std::max<qint64>(1, lines)));
    result("soak_non_transcript_growth_bytes", double(rssGrowth - storeGrowth));
    ratioResult("soak_stall_ms", tenths);
    result("soak_max_stall_ms", longest);
    result("soak_max_busy_ms", busiest);
    result("soak_squelched", double(s.main->brx->count()));
    result("soak_repaints_per_s", double(repaints.count - repaints0) / secs);
    result("soak_cpu_ms_per_s", double(processCpuNs() - cpu0) / 1e6 / secs);
    s.main->removeEventFilter(&repaints);
}
