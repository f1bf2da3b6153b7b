#pragma once
// Starts the tressel-gateway program (named by TRESSEL_GATEWAY) on a free
// port of 127.0.0.1 for a test, and ends it again.
#include <QProcess>
#include <QStringList>

class GatewayProcess {
public:
    // Starts the gateway with --port 0 and the extra arguments, and waits
    // (up to about 10 s) until it says which port it listens on. port() is
    // 0 when that failed; errorText() then says why.
    explicit GatewayProcess(const QStringList &extraArgs = {});
    ~GatewayProcess();

    GatewayProcess(const GatewayProcess &) = delete;
    GatewayProcess &operator=(const GatewayProcess &) = delete;

    quint16 port() const { return m_port; }
    QString errorText() const { return m_error; }

    // Writes one console line (such as "broadcast hello") to its stdin.
    void command(const QString &line);

    // Everything the gateway wrote on stderr so far (console errors).
    QString errors();

private:
    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QByteArray m_stderr;
};
