// Staying connected, in real time on two network namespaces joined by a
// veth pair (support/faultnet.h; as root): how long a dead link takes to be
// told, how long a restarted server takes to have the user back in the
// channel with the away state restored, and how many lines typed into an
// outage are lost without a word. Each run is a child process of its own,
// all of them at once (they wait on the kernel's timers, not the processor);
// each figure is the median of three runs.
#include "bench/cases.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "session/TSession.h"
#include "support/faultnet.h"

#include <QCoreApplication>
#include <QElapsedTimer>
#include <QHostAddress>
#include <QNetworkProxy>
#include <QProcess>
#include <QTcpSocket>
#include <QTimer>

#include <cmath>
#include <cstdio>
#include <unistd.h>

namespace {

QString gatewayPath() { return QStringLiteral(TRESSEL_GATEWAY_PATH); }

// Why a run could not be made; printed as "skip" for the parent.
void skipped(const QString &why) { std::printf("skip %s\n", qPrintable(why)); }

// A session in the client's namespace, logged in across the link.
struct Client {
    TSettingsStore settings;
    TSession session;
    QStringList unsent;
    explicit Client(const QString &server)
    {
        session.bnet->Port = 6112;
        settings.setBytes(TSetting::username, QStringLiteral("alice"));
        settings.setBytes(TSetting::password, QStringLiteral("pw"));
        settings.setBytes(TSetting::server, server);
        session.setStore(&settings);
        QObject::connect(&session, &TSession::unsent, [this](const QStringList &lines, int) {
            for (const QString &l : lines)
                unsent << l.trimmed();
        });
    }
    bool logIn()
    {
        bool named = false;
        QObject::connect(&session, &TSession::uniqueName, [&named] { named = true; });
        session.connectNow();
        return waitFor([&] { return named; }, 20000);
    }
};

// A member on the server's side of the link: what it sees reached the
// gateway.
struct Watcher {
    QTcpSocket socket;
    QByteArray got;
    bool logIn(FaultNet &net, const QByteArray &name, const QByteArray &channel)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { got += socket.readAll(); });
        socket.setProxy(QNetworkProxy::NoProxy);
        if (!net.onServerSide([this] { socket.connectToHost(QHostAddress::LocalHost, 6112); }))
            return false;
        if (!waitFor([this] { return socket.state() == QAbstractSocket::ConnectedState; }, 5000))
            return false;
        socket.write("\x03\x04" + name + "\rpw\r\r" +
                     (channel == "Chat" ? QByteArray() : "/join " + channel + '\r'));
        return waitFor([&] { return got.contains("1007 CHANNEL \"" + channel + '"'); }, 10000);
    }
    int talkCount(const QByteArray &name, const QByteArray &text) const
    {
        return int(got.count("1005 TALK " + name + " 0010 \"" + text + '"'));
    }
};

// From the link cut to the user told, quiet or typing.
void deadLink(bool typing)
{
    FaultNet net;
    if (!net.setUp(gatewayPath()))
        return skipped(net.error());
    Client c(net.serverAddress());
    if (!c.logIn())
        return skipped(QStringLiteral("no login across the link"));
    bool down = false;
    QObject::connect(&c.session, &TSession::linkDown, [&down] { down = true; });
    if (!net.cut())
        return skipped(net.error());
    QElapsedTimer clock;
    clock.start();
    if (typing)
        c.session.send(c.session.plan(QStringLiteral("anyone there?")));
    if (!waitFor([&] { return down; }, 120000))
        return skipped(QStringLiteral("the dead link was not told in 120 s"));
    result(typing ? "deadlink_typing_s" : "deadlink_quiet_s", clock.elapsed() / 1000.0);
}

// The gateway killed and started again 3 s later: from the kill to back in
// the same channel with the away state restored, in the main window.
void backInChannel()
{
    FaultNet net;
    if (!net.setUp(gatewayPath()))
        return skipped(net.error());
    TBenchSession s(TPaneKind::View, {QStringLiteral("awaymessage=gone fishing")});
    Tmain &m = *s.main;
    m.store->setBytes(TSetting::server, net.serverAddress());
    // A home channel of its own: the gateway puts every login in Chat first.
    m.store->setBytes(TSetting::homechannel, QStringLiteral("Home"));
    m.store->setFlag(TSetting::autoReconnect, true);
    QStringList lines;
    const auto before = s.probe.onAppend;
    s.probe.onAppend = [&lines, before](const QString &t) {
        lines << t;
        if (before)
            before(t);
    };
    const auto shown = [&lines](const QString &what, qsizetype from) {
        for (qsizetype i = from; i < lines.size(); ++i)
            if (lines[i].contains(what))
                return true;
        return false;
    };
    if (!s.logIn(6112))
        return skipped(QStringLiteral("no login across the link"));
    m.sendtext(QStringLiteral("/join Busy"));
    m.AwayClick();
    const QString joined = QStringLiteral("Joined Channel Busy");
    const QString away = QStringLiteral("You are now marked as being away.");
    if (!waitFor([&] { return shown(joined, 0) && shown(away, 0); }, 20000))
        return skipped(QStringLiteral("never in Busy and away"));
    const qsizetype from = lines.size();
    QElapsedTimer clock;
    clock.start();
    net.stopServer();
    QTimer::singleShot(3000, [&net] { net.startServer(); });
    qsizetype back = -1;
    if (!waitFor(
            [&] {
                for (qsizetype i = from; back < 0 && i < lines.size(); ++i)
                    if (lines[i].contains(joined))
                        back = i;
                return back >= 0 && shown(away, back);
            },
            60000))
        return skipped(QStringLiteral("not back in Busy with away within 60 s"));
    result("back_in_channel_s", clock.elapsed() / 1000.0);
    result("back_went_home", shown(QStringLiteral("Joined Channel Home"), from) ? 1 : 0);
}

// Five lines typed into a 60 s outage, one a second: each must reach the
// gateway or be given back to the user. The figure is those that did
// neither, once the link is back and the session logged in again.
void outageLines()
{
    FaultNet net;
    if (!net.setUp(gatewayPath(), {QStringLiteral("--hold-seconds"), QStringLiteral("5")}))
        return skipped(net.error());
    Watcher bob;
    if (!bob.logIn(net, "bob", "Chat"))
        return skipped(QStringLiteral("the watcher could not log in"));
    Client c(net.serverAddress());
    c.settings.setFlag(TSetting::autoReconnect, true);
    if (!c.logIn())
        return skipped(QStringLiteral("no login across the link"));
    bool down = false, back = false;
    QObject::connect(&c.session, &TSession::linkDown, [&down] { down = true; });
    if (!net.cut())
        return skipped(net.error());
    QStringList typed;
    for (int i = 1; i <= 5; ++i)
        typed << QStringLiteral("line %1 typed into the outage").arg(i);
    int next = 0;
    QTimer typist;
    QObject::connect(&typist, &QTimer::timeout, [&] {
        if (next < typed.size())
            c.session.send(c.session.plan(typed[next++]));
    });
    typist.start(1000);
    // The server's own time-out comes after the client's: once the client
    // has given the link up, the gateway drops the session and holds it.
    bool dropped = false;
    QTimer::singleShot(60000, [&] {
        net.mend();
        if (down && !dropped) {
            net.gatewayCommand(QStringLiteral("drop alice"));
            dropped = true;
        }
    });
    QObject::connect(&c.session, &TSession::uniqueName, [&back] { back = true; });
    if (!waitFor([&] { return down; }, 70000))
        return skipped(QStringLiteral("the outage was not noticed in 70 s"));
    if (!waitFor([&] { return back && next == typed.size(); }, 120000))
        return skipped(QStringLiteral("not logged in again within 120 s"));
    const auto lost = [&] {
        int n = 0;
        for (const QString &line : typed)
            if (bob.talkCount("alice", line.toLatin1()) == 0 && !c.unsent.contains(line))
                ++n;
        return n;
    };
    // What the gateway passes on reaches the watcher at once on its own
    // loopback; a line still missing after two seconds is lost.
    waitFor([&] { return lost() == 0; }, 2000);
    result("outage_lines_lost", lost());
    result("outage_lines_given_back", c.unsent.size());
}

// A run of each case in a child process, all at once; their figures.
QList<QMap<QString, double>> runAll(const QList<QStringList> &cases, QStringList *skips)
{
    QList<QProcess *> children;
    for (const QStringList &c : cases) {
        auto *child = new QProcess;
        child->setProcessChannelMode(QProcess::ForwardedErrorChannel);
        child->start(QCoreApplication::applicationFilePath(),
                     QStringList{QStringLiteral("--case")} + c);
        children << child;
    }
    QList<QMap<QString, double>> out;
    for (QProcess *child : children) {
        child->waitForFinished(-1);
        QMap<QString, double> figures;
        for (const QByteArray &line : child->readAllStandardOutput().split('\n')) {
            if (line.startsWith("skip "))
                *skips << QString::fromLocal8Bit(line.mid(5));
            const QList<QByteArray> f = line.split(' ');
            if (f.size() == 3 && f[0] == "result")
                figures.insert(QString::fromLatin1(f[1]), f[2].toDouble());
        }
        out << figures;
        delete child;
    }
    return out;
}

} // namespace

void caseFault(const QStringList &args)
{
    const QString which = args.value(0);
    if (which == QLatin1String("quiet"))
        deadLink(false);
    else if (which == QLatin1String("typing"))
        deadLink(true);
    else if (which == QLatin1String("back"))
        backInChannel();
    else if (which == QLatin1String("outage"))
        outageLines();
}

QString faultNetworkMissing()
{
    if (::geteuid() != 0)
        return QStringLiteral("not running as root (network namespaces need it)");
    FaultNet net;
    if (!net.setUp(gatewayPath()))
        return QStringLiteral("no network namespaces here: ") + net.error();
    return QString();
}

QMap<QString, double> measureFaults(QStringList *problems)
{
    const QStringList names = {QStringLiteral("quiet"), QStringLiteral("typing"),
                               QStringLiteral("back"), QStringLiteral("outage")};
    QList<QStringList> cases;
    for (int round = 0; round < 3; ++round)
        for (const QString &n : names)
            cases << QStringList{QStringLiteral("fault"), n};
    const QList<QMap<QString, double>> runs = runAll(cases, problems);
    QMap<QString, double> out;
    for (const char *figure :
         {"deadlink_quiet_s", "deadlink_typing_s", "back_in_channel_s", "outage_lines_lost"}) {
        std::vector<double> values;
        for (const auto &r : runs)
            if (r.contains(QLatin1String(figure)))
                values.push_back(r.value(QLatin1String(figure)));
        if (values.size() == 3) {
            out.insert(QLatin1String(figure), median(values));
            out.insert(QLatin1String(figure) + QLatin1String("_low"),
                       *std::min_element(values.begin(), values.end()));
            out.insert(QLatin1String(figure) + QLatin1String("_high"),
                       *std::max_element(values.begin(), values.end()));
        } else {
            *problems << QStringLiteral("%1: %2 of 3 runs gave a figure")
                             .arg(QLatin1String(figure))
                             .arg(values.size());
        }
    }
    double wentHome = 0, givenBack = 0;
    for (const auto &r : runs) {
        wentHome += r.value(QStringLiteral("back_went_home"));
        givenBack += r.value(QStringLiteral("outage_lines_given_back"));
    }
    out.insert(QStringLiteral("back_went_home"), wentHome);
    out.insert(QStringLiteral("outage_lines_given_back"), givenBack);
    return out;
}
