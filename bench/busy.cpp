#include "bench/busy.h"

#include "bench/cases.h"

#include <QDir>
#include <QElapsedTimer>
#include <QFile>
#include <QHash>
#include <QProcess>
#include <QRandomGenerator>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QThread>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// One thread's counters as /proc shows them.
struct ThreadCount {
    qint64 cpuNs = 0;    // time on a processor (schedstat)
    qint64 switches = 0; // voluntary and involuntary context switches
    QString name;
};
using Counts = QHash<qint64, ThreadCount>; // by thread id

QByteArray readProc(const QString &path)
{
    QFile f(path);
    return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
}

qint64 statusValue(const QByteArray &status, const QByteArray &key)
{
    const qsizetype at = status.indexOf("\n" + key);
    if (at < 0)
        return 0;
    const qsizetype from = at + 1 + key.size();
    return status.mid(from, status.indexOf('\n', from) - from).trimmed().split(' ')[0].toLongLong();
}

Counts sample(qint64 pid)
{
    Counts out;
    const QString base = QStringLiteral("/proc/%1/task").arg(pid);
    for (const QString &tid : QDir(base).entryList(QDir::Dirs | QDir::NoDotAndDotDot)) {
        const QString dir = base + QLatin1Char('/') + tid;
        const QByteArray status = readProc(dir + QStringLiteral("/status"));
        const QByteArray sched = readProc(dir + QStringLiteral("/schedstat"));
        if (status.isEmpty() || sched.isEmpty())
            continue; // gone meanwhile
        ThreadCount c;
        c.cpuNs = sched.split(' ')[0].toLongLong();
        c.switches = statusValue(status, "voluntary_ctxt_switches:") +
                     statusValue(status, "nonvoluntary_ctxt_switches:");
        c.name = QString::fromUtf8(readProc(dir + QStringLiteral("/comm")).trimmed());
        out.insert(tid.toLongLong(), c);
    }
    return out;
}

// A window's figures: processor time and switches of every thread that
// lived in it. A thread that ended in the window counts up to its last
// sample (at most a second before its end).
struct Window {
    double cpuMsPerS = 0;
    double wakeupsPerS = 0;
    double rssMb = 0;
    QHash<QString, double> wakeupsByName;
    QHash<QString, double> cpuByName; // ms/s
};

Window measureWindow(qint64 pid, int seconds)
{
    const Counts start = sample(pid);
    Counts last = start;
    QElapsedTimer t;
    t.start();
    for (int s = 1; s <= seconds; ++s) {
        const qint64 wait = qint64(s) * 1000 - t.elapsed();
        if (wait > 0)
            QThread::msleep(quint64(wait));
        const Counts now = sample(pid);
        for (auto it = now.begin(); it != now.end(); ++it)
            last.insert(it.key(), it.value());
    }
    const double secs = double(t.nsecsElapsed()) / 1e9;
    Window w;
    qint64 cpu = 0, switches = 0;
    for (auto it = last.begin(); it != last.end(); ++it) {
        const ThreadCount before = start.value(it.key());
        cpu += it->cpuNs - before.cpuNs;
        const qint64 sw = it->switches - before.switches;
        switches += sw;
        // The main thread carries the program's name; Qt's pool threads
        // and the rest their own.
        const QString name = it.key() == pid ? QStringLiteral("main") : it->name;
        w.wakeupsByName[name] += double(sw) / secs;
        w.cpuByName[name] += double(it->cpuNs - before.cpuNs) / 1e6 / secs;
    }
    w.cpuMsPerS = double(cpu) / 1e6 / secs;
    w.wakeupsPerS = double(switches) / secs;
    w.rssMb = double(statusValue(readProc(QStringLiteral("/proc/%1/status").arg(pid)), "VmRSS:")) /
              1024.0;
    return w;
}

// A virtual X server on a free display of its own.
class XServer {
public:
    ~XServer()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.terminate();
            m_process.waitForFinished(5000);
        }
    }

    bool start(QString *why)
    {
        const QString xvfb = QStandardPaths::findExecutable(QStringLiteral("Xvfb"));
        if (xvfb.isEmpty()) {
            *why = QStringLiteral("needs Xvfb (Debian's xvfb package)");
            return false;
        }
        for (int n = 90; n < 190; ++n) {
            if (QFile::exists(QStringLiteral("/tmp/.X%1-lock").arg(n)) ||
                QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n)))
                continue;
            m_process.setProcessChannelMode(QProcess::ForwardedOutputChannel);
            m_process.start(xvfb, {QStringLiteral(":%1").arg(n), QStringLiteral("-screen"),
                                   QStringLiteral("0"), QStringLiteral("1280x1024x24"),
                                   QStringLiteral("-nolisten"), QStringLiteral("tcp")});
            if (!m_process.waitForStarted(5000))
                continue;
            for (int i = 0; i < 100; ++i) {
                if (QFile::exists(QStringLiteral("/tmp/.X11-unix/X%1").arg(n))) {
                    m_display = QStringLiteral(":%1").arg(n);
                    return true;
                }
                if (m_process.waitForFinished(100))
                    break; // the display was taken after all
            }
            m_process.kill();
            m_process.waitForFinished(2000);
        }
        *why = QStringLiteral("no virtual X server would start");
        return false;
    }
    QString display() const { return m_display; }

private:
    QProcess m_process;
    QString m_display;
};

// The local gateway on port 6112 of a free loopback address (the client's
// port is always 6112), with 40 chatters that say only lines and emotes.
class BusyGateway {
public:
    ~BusyGateway()
    {
        if (m_process.state() != QProcess::NotRunning) {
            m_process.write("quit\n");
            if (!m_process.waitForFinished(3000)) {
                m_process.kill();
                m_process.waitForFinished(2000);
            }
        }
    }

    bool start(QString *why)
    {
        for (int attempt = 0; attempt < 20; ++attempt) {
            QRandomGenerator *r = QRandomGenerator::global();
            const QString address = QStringLiteral("127.%1.%2.%3")
                                        .arg(r->bounded(20, 220))
                                        .arg(r->bounded(1, 250))
                                        .arg(r->bounded(1, 250));
            m_process.setProcessChannelMode(QProcess::SeparateChannels);
            m_process.start(QStringLiteral(TRESSEL_GATEWAY_PATH),
                            {QStringLiteral("--address"), address, QStringLiteral("--port"),
                             QStringLiteral("6112"), QStringLiteral("--chatters"),
                             QStringLiteral("40"), QStringLiteral("--talk-only"),
                             QStringLiteral("--rate"), QStringLiteral("20"),
                             QStringLiteral("--seed"), QStringLiteral("28")});
            QByteArray out;
            while (!out.contains('\n') && m_process.waitForReadyRead(10000))
                out += m_process.readAllStandardOutput();
            if (out.startsWith("listening on")) {
                m_address = address;
                command("rate 0"); // silent until the client is in and a phase begins
                return true;
            }
            const QByteArray err = m_process.readAllStandardError();
            m_process.kill();
            m_process.waitForFinished(2000);
            if (!err.contains("cannot listen")) {
                *why = QStringLiteral("the gateway did not start: ") + QString::fromLocal8Bit(err);
                return false;
            }
        }
        *why = QStringLiteral("no free loopback address for port 6112 in 20 tries");
        return false;
    }

    QString address() const { return m_address; }
    // Written at once: the benchmark runs no event loop that would.
    void command(const QByteArray &line)
    {
        m_process.write(line + '\n');
        m_process.waitForBytesWritten(5000);
    }

    // The logged-in clients' names, as the console's "clients" says them.
    QByteArray clients()
    {
        m_process.readAllStandardOutput();
        command("clients");
        QByteArray out;
        while (!out.contains('\n') && m_process.waitForReadyRead(5000))
            out += m_process.readAllStandardOutput();
        return out.trimmed();
    }

private:
    QProcess m_process;
    QString m_address;
};

void medianRange(TBusyFigures &f, const QString &name, std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    f.values.insert(name, median(v));
    f.values.insert(name + QStringLiteral("_low"), v.front());
    f.values.insert(name + QStringLiteral("_high"), v.back());
}

} // namespace

TBusyFigures measureBusy(bool quick)
{
    TBusyFigures f;
    const int windows = quick ? 3 : 5;
    const int windowS = quick ? 5 : 20;
    const int warmUpS = quick ? 3 : 10;

    XServer x;
    BusyGateway gateway;
    if (!x.start(&f.failure) || !gateway.start(&f.failure))
        return f;
    QTemporaryDir dir;
    {
        QFile conf(QDir(dir.path()).filePath(QStringLiteral("tressel.conf")));
        if (!conf.open(QIODevice::WriteOnly)) {
            f.failure = QStringLiteral("cannot write tressel.conf");
            return f;
        }
        conf.write(QStringLiteral("[misc]\r\nusername=busy\r\npassword=pw\r\nserver=%1\r\n"
                                  "homechannel=Chat\r\n\r\n[features]\r\ntimeStamps=1\r\n"
                                  "autoConnect=1\r\nconfirmquit=0\r\n")
                       .arg(gateway.address())
                       .toLatin1());
    }
    QProcess client;
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("DISPLAY"), x.display());
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("xcb"));
    client.setProcessEnvironment(env);
    client.setWorkingDirectory(dir.path());
    client.setProcessChannelMode(QProcess::ForwardedChannels);
    client.start(QStringLiteral(TRESSEL_CLIENT_PATH), {});
    if (!client.waitForStarted(10000)) {
        f.failure = QStringLiteral("the client did not start");
        return f;
    }
    const qint64 pid = client.processId();
    const auto stop = [&] {
        client.terminate();
        if (!client.waitForFinished(5000)) {
            client.kill();
            client.waitForFinished(2000);
        }
    };
    QElapsedTimer t;
    t.start();
    while (!gateway.clients().contains("busy") && t.elapsed() < 30000)
        QThread::msleep(200);
    if (!gateway.clients().contains("busy")) {
        f.failure = QStringLiteral("the client did not log in to the gateway");
        stop();
        return f;
    }

    struct Phase {
        const char *name;
        int rate;
    };
    for (const Phase &phase : {Phase{"idle", 0}, Phase{"busy5", 5}, Phase{"busy20", 20}}) {
        gateway.command("rate " + QByteArray::number(phase.rate));
        std::fprintf(stderr, "bench: busy channel, %s: %d s warm-up, %d windows of %d s\n",
                     phase.name, warmUpS, windows, windowS);
        QThread::sleep(quint64(warmUpS));
        std::vector<double> cpu, wakeups, rss;
        QHash<QString, std::vector<double>> byName, cpuByName;
        for (int i = 0; i < windows; ++i) {
            const Window w = measureWindow(pid, windowS);
            cpu.push_back(w.cpuMsPerS);
            wakeups.push_back(w.wakeupsPerS);
            rss.push_back(w.rssMb);
            for (auto it = w.wakeupsByName.begin(); it != w.wakeupsByName.end(); ++it)
                byName[it.key()].push_back(it.value());
            for (auto it = w.cpuByName.begin(); it != w.cpuByName.end(); ++it)
                cpuByName[it.key()].push_back(it.value());
        }
        if (client.state() != QProcess::Running || !gateway.clients().contains("busy")) {
            f.failure = QStringLiteral("the client lost its link or ended during ") +
                        QLatin1String(phase.name);
            stop();
            return f;
        }
        const QString p = QLatin1String(phase.name);
        medianRange(f, p + QStringLiteral("_cpu_ms_per_s"), cpu);
        medianRange(f, p + QStringLiteral("_wakeups_per_s"), wakeups);
        medianRange(f, p + QStringLiteral("_rss_mb"), rss);
        if (phase.rate == 20) {
            // By thread name, the median of the windows (a thread absent
            // in a window counts nothing there).
            const auto byThread = [&](const QHash<QString, std::vector<double>> &values,
                                      double least, int decimals) {
                QList<QPair<double, QString>> order;
                for (auto it = values.begin(); it != values.end(); ++it) {
                    std::vector<double> v = it.value();
                    v.resize(size_t(windows), 0.0);
                    order.append({median(v), it.key()});
                }
                std::sort(order.begin(), order.end(), std::greater<>());
                QStringList parts;
                for (const auto &o : order)
                    if (o.first >= least)
                        parts << QStringLiteral("%1 %2").arg(o.second).arg(o.first, 0, 'f',
                                                                           decimals);
                return parts.join(QStringLiteral(", "));
            };
            f.threads20 = byThread(byName, 0.5, 0);
            f.threadsCpu20 = byThread(cpuByName, 0.05, 1);
        }
    }
    stop();
    return f;
}
