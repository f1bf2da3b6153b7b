// The window as a screen reader meets it over the real accessibility bus:
// a window connected to a local gateway, with a Python AT-SPI client
// (check_atspi.py) reading it. The client prints "ready" once it listens
// for events; the probe then has a member whisper the user, and ends with
// the client's own exit status.
//
// Usage: tressel_access_probe PYTHON CHECK_SCRIPT
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"
#include "support/mainwindowfixture.h"
#include "support/waits.h"

#include <QApplication>
#include <QLineEdit>
#include <QProcess>
#include <QTest>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("tressel"));
    const QStringList args = QApplication::arguments();
    if (args.size() != 3) {
        std::fprintf(stderr, "usage: tressel_access_probe PYTHON CHECK_SCRIPT\n");
        return 2;
    }
    MainWindowFixture f;
    Tmain &m = *f.main;
    GatewayProcess gateway({QStringLiteral("--no-flood-quota")});
    m.show();
    m.activateWindow();
    QApplication::setActiveWindow(&m);
    if (!waitActive(&m)) {
        std::fprintf(stderr, "the window never became active\n");
        return 1;
    }
    if (!connectToGateway(m, gateway.port())) {
        std::fprintf(stderr, "no connection to the gateway: %s\n", qPrintable(gateway.errorText()));
        return 1;
    }
    gateway.command(QStringLiteral("join bob D2DV"));
    m.text->setFocus();

    QProcess check;
    check.setProcessChannelMode(QProcess::ForwardedErrorChannel);
    int status = 1;
    bool whispered = false;
    QObject::connect(&check, &QProcess::readyReadStandardOutput, [&] {
        while (check.canReadLine()) {
            const QByteArray line = check.readLine();
            std::fputs(line.constData(), stdout);
            std::fflush(stdout);
            if (line.trimmed() == "ready" && !whispered) {
                whispered = true;
                gateway.command(QStringLiteral("whisper bob alice psst, are you there?"));
            }
        }
    });
    QObject::connect(&check, &QProcess::finished, [&](int code, QProcess::ExitStatus how) {
        status = how == QProcess::NormalExit ? code : 1;
        // exit(), not quit(): quit() would first close the window, which asks.
        QCoreApplication::exit(status);
    });
    check.start(args.at(1), {args.at(2)});
    if (!check.waitForStarted(10000)) {
        std::fprintf(stderr, "the check did not start: %s\n", qPrintable(check.errorString()));
        return 1;
    }
    app.exec();
    return status;
}
