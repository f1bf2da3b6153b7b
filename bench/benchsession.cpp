#include "bench/benchsession.h"

#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "session/TSession.h"
#include "support/scripteddialogs.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QTimer>

#include <atomic>
#include <csignal>
#include <cstdio>
#include <ctime>
#include <execinfo.h>
#include <pthread.h>
#include <thread>
#include <unistd.h>

TBenchSession::TBenchSession(TPaneKind pane, const QStringList &conf, const QByteArray &brx)
    : m_oldDir(QDir::currentPath())
{
    // No box may stop a measurement: what would have been asked or shown
    // goes to standard error, questions are answered no.
    static ScriptedDialogs quiet;
    quiet.record = false;
    quiet.onAsked = [](const ScriptedDialogs::Asked &a) {
        if (a.kind == QLatin1String("confirm"))
            std::fprintf(stderr, "bench: asked: %s\n", qPrintable(a.text));
        else if (a.kind == QLatin1String("error") || a.kind == QLatin1String("info"))
            std::fprintf(stderr, "bench: %s box: %s\n", qPrintable(a.kind), qPrintable(a.text));
    };
    setDialogs(&quiet);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    QDir::setCurrent(m_dir.path());
    QFile f(QStringLiteral("tressel.conf"));
    if (f.open(QIODevice::WriteOnly))
        f.write((QStringList{QStringLiteral("username=bench"), QStringLiteral("password=pw"),
                             QStringLiteral("server=127.0.0.1"), QStringLiteral("homechannel=Chat"),
                             QStringLiteral("autoConnect=0"), QStringLiteral("confirmquit=0")} +
                 conf)
                    .join(QStringLiteral("\r\n"))
                    .toLatin1() +
                "\r\n");
    f.close();
    if (!brx.isEmpty()) {
        QFile b(QStringLiteral("brx.conf"));
        if (b.open(QIODevice::WriteOnly))
            b.write(brx);
    }
    // Only the chat pane (made first) reports to the probe.
    auto made = std::make_shared<int>(0);
    TFloodProbe *p = &probe;
    Tmain::transcriptFactory() = [pane, made, p](QWidget *parent) -> TTranscriptPane * {
        const TFloodProbe *use = (*made)++ == 0 ? p : nullptr;
        switch (pane) {
        case TPaneKind::PlainTextEdit:
            return new TPlainTextEditPane(parent, use);
        case TPaneKind::TextEdit:
            return new TTextEditPane(parent, use);
        case TPaneKind::View:
            break;
        }
        return new TProbedView(parent, use);
    };
    main = std::make_unique<Tmain>();
    main->terminate = [] {};
    main->notifyDesktop = nullptr; // no notifications on the desktop running the benchmark
    main->resize(900, 650);
    main->show();
    // A first painted line loads the fonts, as in any window that has been
    // open for a while; otherwise that one-off cost falls into the flood.
    main->chat->appendPlainLine(QStringLiteral("Tressel benchmark"));
    main->whisper->appendPlainLine(QStringLiteral("Tressel benchmark"));
    QCoreApplication::processEvents();
    main->repaint();
}

TBenchSession::~TBenchSession()
{
    main.reset();
    QDir::setCurrent(m_oldDir);
}

bool TBenchSession::logIn(quint16 port, int timeoutMs)
{
    if (!port)
        return false;
    bool joined = false;
    // The caller's probe keeps seeing every line: a flood may follow the
    // channel line within the same read.
    const auto before = probe.onAppend;
    probe.onAppend = [&joined, before](const QString &t) {
        if (!joined && t.contains(QLatin1String("Joined Channel Chat")))
            joined = true;
        if (before)
            before(t);
    };
    main->session->bnet->Port = port;
    main->ConnectClick();
    const bool ok = waitFor([&joined] { return joined; }, timeoutMs);
    probe.onAppend = before;
    return ok;
}

namespace {
qint64 clockNs(clockid_t clock)
{
    timespec ts{};
    clock_gettime(clock, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}

qint64 threadCpuNs() { return clockNs(CLOCK_THREAD_CPUTIME_ID); }

// The stack the signal handler took, handed to the watchdog.
void *g_frames[64];
std::atomic<int> g_depth{-1};

void takeStack(int) { g_depth.store(backtrace(g_frames, 64)); }
} // namespace

class TStallMeter::Tracer {
public:
    explicit Tracer(qint64 thresholdNs) : m_threshold(thresholdNs), m_thread(pthread_self())
    {
        pthread_getcpuclockid(m_thread, &m_cpuClock);
        void *warm[4];
        backtrace(warm, 4); // loads the unwinder now, not inside the handler
        struct sigaction sa = {};
        sa.sa_handler = takeStack;
        sa.sa_flags = SA_RESTART;
        sigemptyset(&sa.sa_mask);
        sigaction(SIGUSR2, &sa, nullptr);
        tick();
        m_watchdog = std::thread([this] { watch(); });
    }
    ~Tracer()
    {
        m_stop = true;
        m_watchdog.join();
    }
    void tick()
    {
        m_lastTick.store(clockNs(CLOCK_MONOTONIC));
        m_cpuAtTick.store(clockNs(m_cpuClock));
        m_ticks.fetch_add(1);
    }

private:
    void watch()
    {
        quint64 seenTick = 0;
        int samples = 0;
        qint64 lastSample = 0;
        while (!m_stop) {
            usleep(2000);
            const quint64 ticks = m_ticks.load();
            if (ticks != seenTick) {
                seenTick = ticks;
                samples = 0;
                continue;
            }
            const qint64 now = clockNs(CLOCK_MONOTONIC);
            const qint64 since = now - m_lastTick.load();
            const qint64 busy = clockNs(m_cpuClock) - m_cpuAtTick.load();
            // Only the thread's own work counts, not a wait for the processor.
            if (busy < m_threshold || samples >= 4 || now - lastSample < m_threshold / 2)
                continue;
            g_depth.store(-1);
            pthread_kill(m_thread, SIGUSR2);
            for (int i = 0; i < 100 && g_depth.load() < 0; ++i)
                usleep(1000);
            const int depth = g_depth.load();
            if (depth < 0)
                continue;
            ++samples;
            lastSample = now;
            std::fprintf(stderr, "stall trace: %.1f ms since the last tick, %.1f ms of it busy\n",
                         double(since) / 1e6, double(busy) / 1e6);
            backtrace_symbols_fd(g_frames, depth, STDERR_FILENO);
        }
    }

    const qint64 m_threshold;
    const pthread_t m_thread;
    clockid_t m_cpuClock = CLOCK_THREAD_CPUTIME_ID;
    std::atomic<qint64> m_lastTick{0};
    std::atomic<qint64> m_cpuAtTick{0};
    std::atomic<quint64> m_ticks{0};
    std::atomic<bool> m_stop{false};
    std::thread m_watchdog;
};

TStallMeter::TStallMeter()
{
    const int traceMs = qEnvironmentVariableIntValue("TRESSEL_BENCH_STALL_TRACE");
    if (traceMs > 0)
        m_tracer = std::make_unique<Tracer>(qint64(traceMs) * 1000000);
    auto *t = new QTimer(this);
    t->setTimerType(Qt::PreciseTimer);
    t->setInterval(2);
    connect(t, &QTimer::timeout, this, [this] {
        if (m_tracer)
            m_tracer->tick();
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        m_maxBusy = std::max(m_maxBusy, cpu - m_lastCpu);
        m_lastCpu = cpu;
        if (now - m_last > m_max) {
            m_max = now - m_last;
            if (where)
                m_maxAt = where();
        }
        m_last = now;
    });
    m_clock.start();
    t->start();
}

TStallMeter::~TStallMeter() = default;

void TStallMeter::reset()
{
    m_last = m_clock.nsecsElapsed();
    m_lastCpu = threadCpuNs();
    m_max = 0;
    m_maxBusy = 0;
}

namespace {
qint64 statusField(const char *name)
{
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(name))
            return line.mid(int(qstrlen(name))).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
} // namespace

qint64 processCpuNs() { return clockNs(CLOCK_PROCESS_CPUTIME_ID); }

qint64 rssBytes() { return statusField("VmRSS:"); }

qint64 peakRssBytes() { return statusField("VmHWM:"); }

void resetPeakRss()
{
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly))
        f.write("5");
}

bool waitFor(const std::function<bool()> &done, int timeoutMs)
{
    if (done())
        return true;
    // A real event loop, as the program runs it; done() is looked at every
    // millisecond.
    QEventLoop loop;
    QDeadlineTimer deadline(timeoutMs);
    bool ok = false;
    QTimer poll;
    poll.setTimerType(Qt::PreciseTimer);
    QObject::connect(&poll, &QTimer::timeout, &loop, [&] {
        if (done()) {
            ok = true;
            loop.quit();
        } else if (deadline.hasExpired()) {
            loop.quit();
        }
    });
    poll.start(1);
    loop.exec();
    return ok;
}
