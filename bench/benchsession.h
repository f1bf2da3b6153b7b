#pragma once
// One benchmark session: the local gateway in a process of its own on
// 127.0.0.1, and a real, shown main window in a working directory of its
// own, logged in to it.
#include "bench/benchpanes.h"
#include "mainwindow/Tmain.h"
#include "support/gatewayprocess.h"

#include <QElapsedTimer>
#include <QStringList>
#include <QTemporaryDir>
#include <functional>
#include <memory>

// The local gateway the benchmark floods the client from, its console
// errors on our stderr.
inline GatewayProcess benchGateway(const QStringList &args)
{
    return GatewayProcess(args, QStringLiteral(TRESSEL_GATEWAY_PATH),
                          GatewayProcess::Errors::Forwarded);
}

enum class TPaneKind { View, PlainTextEdit, TextEdit };

class TBenchSession {
public:
    // conf: extra lines of tressel.conf; brx: the squelch list file's bytes.
    TBenchSession(TPaneKind pane, const QStringList &conf, const QByteArray &brx = QByteArray());
    ~TBenchSession();

    // Connects to the gateway and waits for the channel; false on failure.
    bool logIn(quint16 port, int timeoutMs = 20000);
    QString path(const QString &name) const { return m_dir.filePath(name); }

    TFloodProbe probe; // sees the lines of the chat pane
    std::unique_ptr<Tmain> main;

private:
    QTemporaryDir m_dir;
    QString m_oldDir;
};

// Milliseconds the event loop went without running a 2 ms timer: the longest
// time it was blocked, within 2 ms.
class TStallMeter : public QObject {
public:
    TStallMeter();
    void reset();
    double maxGapMs() const { return m_max / 1e6; }
    // The most processor time this thread spent between two ticks: the
    // longest the program itself kept the loop busy, without the time the
    // system gave other processes on a shared machine.
    double maxBusyMs() const { return m_maxBusy / 1e6; }
    // Asked at the longest gap, so a report can say where it happened.
    std::function<qint64()> where;
    qint64 maxAt() const { return m_maxAt; }

    // With TRESSEL_BENCH_STALL_TRACE=MS in the environment, a watchdog
    // thread prints the stack of this thread to standard error whenever it
    // has been busy on the processor for MS without a tick: where a rare
    // stall is spent, found in a long run without a profiler.
    ~TStallMeter() override;

private:
    class Tracer;
    std::unique_ptr<Tracer> m_tracer;
    QElapsedTimer m_clock;
    qint64 m_last = 0;
    qint64 m_max = 0;
    qint64 m_maxAt = 0;
    qint64 m_lastCpu = 0;
    qint64 m_maxBusy = 0;
};

// Processor time of every thread of this process, in nanoseconds.
qint64 processCpuNs();
// Memory of this process from /proc, in bytes.
qint64 rssBytes();
qint64 peakRssBytes();
void resetPeakRss();
// Runs the event loop until done() or the time runs out; false on timeout.
bool waitFor(const std::function<bool()> &done, int timeoutMs);
