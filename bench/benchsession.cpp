#include "bench/benchsession.h"

#include "base/clock.h"
#include "widgets/dialogs.h"
#include "connection/TChatInterface.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QDir>
#include <QEventLoop>
#include <QFile>
#include <QLocale>
#include <QTimer>

#include <cstdio>
#include <ctime>

TGateway::TGateway(const QStringList &args) {
    m_process.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    m_process.start(QStringLiteral(TRESSEL_GATEWAY_PATH),
                    QStringList{QStringLiteral("--port"), QStringLiteral("0")} + args);
    if (!m_process.waitForStarted(10000)) {
        std::fprintf(stderr, "bench: cannot start the gateway: %s\n",
                     qPrintable(m_process.errorString()));
        return;
    }
    QByteArray out;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired() && !out.contains('\n')) {
        m_process.waitForReadyRead(200);
        out += m_process.readAllStandardOutput();
    }
    const int at = out.indexOf("listening on ");
    if (at >= 0) m_port = quint16(out.mid(at + 13).trimmed().toUInt());
    if (!m_port) std::fprintf(stderr, "bench: the gateway did not say its port\n");
}

TGateway::~TGateway() {
    if (m_process.state() == QProcess::NotRunning) return;
    m_process.write("quit\n");
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void TGateway::command(const QByteArray &line) {
    m_process.write(line + '\n');
    m_process.waitForBytesWritten(1000);
}

namespace {
// No box may stop a measurement: what would have been asked or shown goes
// to standard error, questions are answered no.
class TBenchDialogs : public TDialogs {
public:
    bool confirm(QWidget *, const QString &, const QString &text, Buttons) override {
        std::fprintf(stderr, "bench: asked: %s\n", qPrintable(text));
        return false;
    }
    bool inputBox(QWidget *, const QString &, const QString &, QString &) override { return false; }
    QString saveFileName(QWidget *, const QString &, const QString &, const QString &, bool) override {
        return QString();
    }
    bool chooseFont(QWidget *, QFont &) override { return false; }
    void showError(QWidget *, const QString &, const QString &text) override {
        std::fprintf(stderr, "bench: error box: %s\n", qPrintable(text));
    }
    void showInfo(QWidget *, const QString &, const QString &text) override {
        std::fprintf(stderr, "bench: info box: %s\n", qPrintable(text));
    }
};
} // namespace

TSession::TSession(TPaneKind pane, const QStringList &conf, const QByteArray &brx)
    : m_oldDir(QDir::currentPath()) {
    static TBenchDialogs quiet;
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
        if (b.open(QIODevice::WriteOnly)) b.write(brx);
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
    main->resize(900, 650);
    main->show();
    // A first painted line loads the fonts, as in any window that has been
    // open for a while; otherwise that one-off cost falls into the flood.
    main->chat->appendPlainLine(QStringLiteral("Tressel benchmark"));
    main->whisper->appendPlainLine(QStringLiteral("Tressel benchmark"));
    QCoreApplication::processEvents();
    main->repaint();
}

TSession::~TSession() {
    main.reset();
    QDir::setCurrent(m_oldDir);
}

bool TSession::logIn(quint16 port, int timeoutMs) {
    if (!port) return false;
    bool joined = false;
    // The caller's probe keeps seeing every line: a flood may follow the
    // channel line within the same read.
    const auto before = probe.onAppend;
    probe.onAppend = [&joined, before](const QString &t) {
        if (!joined && t.contains(QLatin1String("Joined Channel Chat"))) joined = true;
        if (before) before(t);
    };
    main->bnet->Port = port;
    main->ConnectClick();
    const bool ok = waitFor([&joined] { return joined; }, timeoutMs);
    probe.onAppend = before;
    return ok;
}

namespace {
qint64 threadCpuNs() {
    timespec ts{};
    clock_gettime(CLOCK_THREAD_CPUTIME_ID, &ts);
    return qint64(ts.tv_sec) * 1000000000 + ts.tv_nsec;
}
} // namespace

TStallMeter::TStallMeter() {
    auto *t = new QTimer(this);
    t->setTimerType(Qt::PreciseTimer);
    t->setInterval(2);
    connect(t, &QTimer::timeout, this, [this] {
        const qint64 now = m_clock.nsecsElapsed();
        const qint64 cpu = threadCpuNs();
        m_maxBusy = std::max(m_maxBusy, cpu - m_lastCpu);
        m_lastCpu = cpu;
        if (now - m_last > m_max) {
            m_max = now - m_last;
            if (where) m_maxAt = where();
        }
        m_last = now;
    });
    m_clock.start();
    t->start();
}

void TStallMeter::reset() {
    m_last = m_clock.nsecsElapsed();
    m_lastCpu = threadCpuNs();
    m_max = 0;
    m_maxBusy = 0;
}

namespace {
qint64 statusField(const char *name) {
    QFile f(QStringLiteral("/proc/self/status"));
    if (!f.open(QIODevice::ReadOnly)) return 0;
    for (const QByteArray &line : f.readAll().split('\n'))
        if (line.startsWith(name)) return line.mid(int(qstrlen(name))).trimmed().split(' ').value(0).toLongLong() * 1024;
    return 0;
}
} // namespace

qint64 rssBytes() {
    return statusField("VmRSS:");
}

qint64 peakRssBytes() {
    return statusField("VmHWM:");
}

void resetPeakRss() {
    QFile f(QStringLiteral("/proc/self/clear_refs"));
    if (f.open(QIODevice::WriteOnly)) f.write("5");
}

bool waitFor(const std::function<bool()> &done, int timeoutMs) {
    if (done()) return true;
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
