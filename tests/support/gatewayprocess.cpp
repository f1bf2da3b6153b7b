#include "gatewayprocess.h"

#include <QDeadlineTimer>

#include <cstdio>

GatewayProcess::GatewayProcess(const QStringList &extraArgs, const QString &program, Errors errors)
{
    start(extraArgs, program, errors);
    if (!m_port && errors == Errors::Forwarded)
        std::fprintf(stderr, "%s\n", qPrintable(m_error));
}

void GatewayProcess::start(const QStringList &extraArgs, QString program, Errors errors)
{
    if (program.isEmpty())
        program = qEnvironmentVariable("TRESSEL_GATEWAY");
    if (program.isEmpty()) {
        m_error = "TRESSEL_GATEWAY is not set";
        return;
    }
    m_process.setProcessChannelMode(errors == Errors::Forwarded ? QProcess::ForwardedErrorChannel
                                                                : QProcess::SeparateChannels);
    m_process.start(program, QStringList{"--port", "0"} + extraArgs);
    if (!m_process.waitForStarted(10000)) {
        m_error = "cannot start " + program + ": " + m_process.errorString();
        return;
    }
    QByteArray out;
    QDeadlineTimer deadline(10000);
    while (!deadline.hasExpired()) {
        if (!m_process.canReadLine() && !m_process.waitForReadyRead(int(deadline.remainingTime())))
            break;
        while (m_process.canReadLine()) {
            const QByteArray line = m_process.readLine().trimmed();
            if (line.startsWith("listening on ")) {
                m_port = quint16(line.mid(13).toUInt());
                return;
            }
            out += line + '\n';
        }
    }
    m_error = "the gateway did not report its port: " +
              QString::fromLocal8Bit(out + m_process.readAllStandardError());
}

GatewayProcess::~GatewayProcess()
{
    if (m_process.state() == QProcess::NotRunning)
        return;
    m_process.write("quit\n");
    m_process.closeWriteChannel();
    if (!m_process.waitForFinished(3000)) {
        m_process.kill();
        m_process.waitForFinished(3000);
    }
}

void GatewayProcess::command(const QString &line)
{
    m_process.write(line.toLatin1() + '\n');
    m_process.waitForBytesWritten(1000);
}

QString GatewayProcess::errors()
{
    m_process.waitForReadyRead(0);
    m_stderr += m_process.readAllStandardError();
    return QString::fromLocal8Bit(m_stderr);
}
