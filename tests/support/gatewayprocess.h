#pragma once
// Starts the tressel-gateway program on a free port of 127.0.0.1 for a test
// or a benchmark, and ends it again.
#include <QProcess>
#include <QStringList>

class GatewayProcess {
public:
    // Where the gateway's console errors go: kept for errors(), or passed on
    // to this process's stderr (together with a failure to start it), where
    // nobody reads them back.
    enum class Errors { Kept, Forwarded };

    // Starts the gateway with --port 0 and the extra arguments, and waits
    // (up to about 10 s) until it says which port it listens on. port() is
    // 0 when that failed; errorText() then says why. program: the gateway to
    // run; empty means the one TRESSEL_GATEWAY names (as CTest sets it).
    explicit GatewayProcess(const QStringList &extraArgs = {}, const QString &program = QString(),
                            Errors errors = Errors::Kept);
    ~GatewayProcess();

    GatewayProcess(const GatewayProcess &) = delete;
    GatewayProcess &operator=(const GatewayProcess &) = delete;

    quint16 port() const { return m_port; }
    QString errorText() const { return m_error; }

    // Writes one console line (such as "broadcast hello") to its stdin.
    void command(const QString &line);

    // Everything the gateway wrote on stderr so far (console errors), when
    // they are kept.
    QString errors();

private:
    void start(const QStringList &extraArgs, QString program, Errors errors);

    QProcess m_process;
    quint16 m_port = 0;
    QString m_error;
    QByteArray m_stderr;
};
