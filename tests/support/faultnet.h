#pragma once
// The network a fault test needs, made for it alone: two network
// namespaces joined by a veth pair, 10.231.N.1 (the server's side) and
// 10.231.N.2 (the client's side), with names unique to this run. The local
// gateway runs in the server's namespace on 127.0.0.1:6112, reached as
// 10.231.N.1:6112 through a rewrite of the destination; the test's own
// thread joins the client's namespace, so every socket it opens is there.
// The link can be cut without a word (every packet dropped both ways, no
// reset, no ICMP) and mended, made to lose every fifth packet and to delay
// every packet (packetdelay.h), and the gateway can be stopped and started
// again in its namespace and given console lines. With IPv6 the pair also
// gets fd00:231:N::1 and ::2 and the gateway listens on both families.
// Everything is removed again by the destructor. Shared by the fault tests
// and the benchmark's fault figures.
#include "packetdelay.h"

#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

#include <functional>
#include <memory>

class FaultNet {
public:
    enum Family { IPv4Only, WithIPv6 };
    explicit FaultNet(Family family = IPv4Only) : m_family(family)
    {
        // An interface name holds at most 15 characters.
        const QString id = QString::number(::getpid() % 100000) + QLatin1Char('x') +
                           QString::number(s_serial++ % 100);
        m_server = QStringLiteral("tslf") + id + QLatin1Char('s');
        m_client = QStringLiteral("tslf") + id + QLatin1Char('c');
        m_serverVeth = QStringLiteral("tv") + id + QLatin1Char('s');
        m_clientVeth = QStringLiteral("tv") + id + QLatin1Char('c');
        m_subnet = 1 + (::getpid() + s_serial * 7) % 250;
    }
    ~FaultNet()
    {
        m_delay.reset();
        stopGateway();
        leaveClientSide();
        run({"netns", "del", m_server}, false);
        run({"netns", "del", m_client}, false);
    }
    FaultNet(const FaultNet &) = delete;
    FaultNet &operator=(const FaultNet &) = delete;

    QString serverAddress() const { return QStringLiteral("10.231.%1.1").arg(m_subnet); }
    // The server's IPv6 address (WithIPv6), without brackets.
    QString serverAddress6() const { return QStringLiteral("fd00:231:%1::1").arg(m_subnet); }
    // Why setUp or a step failed.
    QString error() const { return m_error; }
    // The machine could build the network, but the gateway would not start
    // in it: a fault of the tests' own, never a reason to skip.
    bool gatewayFailed() const { return m_gatewayFailed; }

    // Makes the namespaces and the link, starts the gateway (gatewayArgs
    // are added to its command line) and moves this thread to the client's
    // side. False, with error(), when any step fails.
    bool setUp(const QString &gateway, const QStringList &gatewayArgs = {})
    {
        const QString veth = m_serverVeth;
        const QString peer = m_clientVeth;
        const QString server = serverAddress();
        const QString client = QStringLiteral("10.231.%1.2").arg(m_subnet);
        const QList<QStringList> steps = {
            {"netns", "add", m_server},
            {"netns", "add", m_client},
            {"link", "add", veth, "type", "veth", "peer", "name", peer},
            {"link", "set", veth, "netns", m_server},
            {"link", "set", peer, "netns", m_client},
            {"-n", m_server, "addr", "add", server + "/24", "dev", veth},
            {"-n", m_client, "addr", "add", client + "/24", "dev", peer},
            {"-n", m_server, "link", "set", veth, "up"},
            {"-n", m_client, "link", "set", peer, "up"},
            {"-n", m_server, "link", "set", "lo", "up"},
            {"-n", m_client, "link", "set", "lo", "up"},
            {"netns", "exec", m_server, "sysctl", "-q", "-w", "net.ipv4.conf.all.route_localnet=1"},
            {"netns", "exec", m_server, "iptables", "-t", "nat", "-A", "PREROUTING", "-p", "tcp",
             "-d", server, "--dport", "6112", "-j", "DNAT", "--to-destination", "127.0.0.1:6112"},
        };
        for (const QStringList &step : steps)
            if (!run(step))
                return false;
        m_gatewayProgram = gateway;
        m_gatewayArgs = gatewayArgs;
        if (m_family == WithIPv6) {
            // nodad: the addresses are usable at once, without the kernel's
            // check that nobody else on the link has them.
            const QList<QStringList> six = {
                {"-n", m_server, "-6", "addr", "add", serverAddress6() + "/64", "dev", veth,
                 "nodad"},
                {"-n", m_client, "-6", "addr", "add",
                 QStringLiteral("fd00:231:%1::2/64").arg(m_subnet), "dev", peer, "nodad"},
            };
            for (const QStringList &step : six)
                if (!run(step))
                    return false;
            // IPv6 has no way to send outside packets to the loopback
            // address: the gateway listens on every address instead (the
            // server's namespace has no others to reach it on).
            m_gatewayArgs += {QStringLiteral("--address"), QStringLiteral("::"),
                              QStringLiteral("--any-address")};
        }
        if (!startGateway())
            return false;
        return enterClientSide();
    }

    // The gateway ends (killed, as a crashing or restarted server does: the
    // kernel closes its links) and starts again with the same arguments.
    void stopServer() { stopGateway(); }
    bool startServer() { return startGateway(); }
    // A line on the gateway's console ("drop alice").
    void gatewayCommand(const QString &line)
    {
        m_gateway.write(line.toUtf8() + '\n');
        m_gateway.waitForBytesWritten(5000);
    }

    // Runs what on the server's side: sockets opened meanwhile live in the
    // server's namespace (where the gateway is 127.0.0.1:6112), and stay
    // there. False, with error(), when the namespace cannot be entered.
    bool onServerSide(const std::function<void()> &what)
    {
        if (!enter(m_server))
            return false;
        what();
        return enter(m_client);
    }

    // From now on every fifth packet across the link is dropped, each way:
    // exactly, by count, not at random.
    bool loseEveryFifth()
    {
        for (const QString &chain : {QStringLiteral("INPUT"), QStringLiteral("OUTPUT")})
            if (!run({"netns", "exec", m_server, "iptables", "-I", chain, "1",
                      chain == QLatin1String("INPUT") ? "-i" : "-o", m_serverVeth, "-m",
                      "statistic", "--mode", "nth", "--every", "5", "--packet", "0", "-j", "DROP"}))
                return false;
        return true;
    }

    // From now on every packet across the link waits ms each way, in a
    // queue of this process (the kernel here has no netem). Packets a loss
    // rule drops never reach the queue.
    bool delay(int ms)
    {
        if (!enter(m_server))
            return false;
        m_delay = std::make_unique<PacketDelay>(ms);
        if (!enter(m_client))
            return false;
        if (!m_delay->error().isEmpty()) {
            m_error = QStringLiteral("the delay queue: ") + m_delay->error();
            return false;
        }
        for (const QString &chain : {QStringLiteral("INPUT"), QStringLiteral("OUTPUT")})
            if (!run({"netns", "exec", m_server, "iptables", "-A", chain,
                      chain == QLatin1String("INPUT") ? "-i" : "-o", m_serverVeth, "-j", "NFQUEUE",
                      "--queue-num", QString::number(PacketDelay::queueNumber)}))
                return false;
        return true;
    }
    // Packets the delay queue has passed on so far.
    qint64 delayedPackets() const { return m_delay ? m_delay->passed() : 0; }

    // Every packet between the two sides is dropped, both ways, silently.
    bool cut()
    {
        return run({"netns", "exec", m_server, "iptables", "-A", "INPUT", "-j", "DROP"}) &&
               run({"netns", "exec", m_client, "iptables", "-A", "INPUT", "-j", "DROP"});
    }
    bool mend()
    {
        return run({"netns", "exec", m_server, "iptables", "-F", "INPUT"}) &&
               run({"netns", "exec", m_client, "iptables", "-F", "INPUT"});
    }

private:
    bool run(const QStringList &args, bool report = true)
    {
        QProcess p;
        p.setProcessChannelMode(QProcess::MergedChannels);
        p.start(QStringLiteral("ip"), args);
        const bool ok =
            p.waitForFinished(20000) && p.exitStatus() == QProcess::NormalExit && p.exitCode() == 0;
        if (!ok && report && m_error.isEmpty())
            m_error = QStringLiteral("ip %1: %2%3")
                          .arg(args.join(QLatin1Char(' ')), QString::fromLocal8Bit(p.readAll()),
                               p.errorString());
        return ok;
    }

    bool startGateway()
    {
        m_gateway.setProcessChannelMode(QProcess::MergedChannels);
        m_gateway.start(QStringLiteral("ip"),
                        QStringList{"netns", "exec", m_server, m_gatewayProgram, "--port", "6112",
                                    "--address", "127.0.0.1"} +
                            m_gatewayArgs);
        QElapsedTimer clock;
        clock.start();
        QByteArray out;
        while (clock.elapsed() < 10000) {
            if (!m_gateway.waitForReadyRead(int(10000 - clock.elapsed())))
                break;
            out += m_gateway.readAll();
            if (out.contains("listening on "))
                return true;
        }
        m_error = QStringLiteral("the gateway did not start in the server's namespace: ") +
                  QString::fromLocal8Bit(out);
        m_gatewayFailed = !m_gatewayProgram.isEmpty();
        return false;
    }
    void stopGateway()
    {
        if (m_gateway.state() == QProcess::NotRunning)
            return;
        m_gateway.kill();
        m_gateway.waitForFinished(5000);
    }

    bool enterClientSide()
    {
        m_home = ::open("/proc/thread-self/ns/net", O_RDONLY | O_CLOEXEC);
        return m_home >= 0 && enter(m_client);
    }
    // Moves this thread into the namespace name.
    bool enter(const QString &name)
    {
        const QByteArray path = "/var/run/netns/" + name.toLatin1();
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        const bool ok = fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
        if (!ok && m_error.isEmpty())
            m_error = QStringLiteral("cannot enter the namespace %1: %2")
                          .arg(name, QString::fromLocal8Bit(strerror(errno)));
        if (fd >= 0)
            ::close(fd);
        return ok;
    }
    void leaveClientSide()
    {
        if (m_home < 0)
            return;
        (void)::setns(m_home, CLONE_NEWNET);
        ::close(m_home);
        m_home = -1;
    }

    static inline int s_serial = 0;
    Family m_family;
    QString m_gatewayProgram;
    QStringList m_gatewayArgs;
    std::unique_ptr<PacketDelay> m_delay;
    QString m_server;
    QString m_client;
    QString m_serverVeth;
    QString m_clientVeth;
    int m_subnet = 1;
    int m_home = -1;
    QProcess m_gateway;
    QString m_error;
    bool m_gatewayFailed = false;
};
