#pragma once
// The network a fault test needs, made for it alone: two network
// namespaces joined by a veth pair, 10.231.N.1 (the server's side) and
// 10.231.N.2 (the client's side), with names unique to this run. The local
// gateway runs in the server's namespace on 127.0.0.1:6112, reached as
// 10.231.N.1:6112 through a rewrite of the destination; the test's own
// thread joins the client's namespace, so every socket it opens is there.
// The link can be cut without a word (every packet dropped both ways, no
// reset, no ICMP) and mended. Everything is removed again by the destructor.
#include <QElapsedTimer>
#include <QProcess>
#include <QString>
#include <QStringList>

#include <fcntl.h>
#include <sched.h>
#include <unistd.h>

class FaultNet {
public:
    FaultNet()
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
        stopGateway();
        leaveClientSide();
        run({"netns", "del", m_server}, false);
        run({"netns", "del", m_client}, false);
    }
    FaultNet(const FaultNet &) = delete;
    FaultNet &operator=(const FaultNet &) = delete;

    QString serverAddress() const { return QStringLiteral("10.231.%1.1").arg(m_subnet); }
    // Why setUp or a step failed.
    QString error() const { return m_error; }

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
        if (!startGateway(gateway, gatewayArgs))
            return false;
        return enterClientSide();
    }

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

    bool startGateway(const QString &gateway, const QStringList &args)
    {
        m_gateway.setProcessChannelMode(QProcess::MergedChannels);
        m_gateway.start(QStringLiteral("ip"),
                        QStringList{"netns", "exec", m_server, gateway, "--port", "6112",
                                    "--address", "127.0.0.1"} +
                            args);
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
        const QByteArray path = "/var/run/netns/" + m_client.toLatin1();
        const int fd = ::open(path.constData(), O_RDONLY | O_CLOEXEC);
        const bool ok = m_home >= 0 && fd >= 0 && ::setns(fd, CLONE_NEWNET) == 0;
        if (fd >= 0)
            ::close(fd);
        if (!ok)
            m_error = QStringLiteral("cannot enter the client's namespace: ") +
                      QString::fromLocal8Bit(strerror(errno));
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
    QString m_server;
    QString m_client;
    QString m_serverVeth;
    QString m_clientVeth;
    int m_subnet = 1;
    int m_home = -1;
    QProcess m_gateway;
    QString m_error;
};
