// tressel-gateway: the local chat gateway for Tressel's tests and demos.
#include "chatters.h"
#include "gatewayoptions.h"
#include "gatewayserver.h"

#include <QCoreApplication>
#include <QRandomGenerator>
#include <QSocketNotifier>

#include <cstdio>
#include <unistd.h>

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    QString error, help;
    const auto options = parseGatewayArguments(app.arguments().mid(1), &error, &help);
    if (!options) {
        if (!help.isEmpty()) {
            std::fputs(help.toLocal8Bit().constData(), stdout);
            return 0;
        }
        std::fprintf(stderr, "tressel-gateway: %s\n", error.toLocal8Bit().constData());
        return 2;
    }

    GatewayServer server(*options);
    if (!server.listen(&error)) {
        std::fprintf(stderr, "tressel-gateway: cannot listen on %s port %u: %s\n",
                     options->address.toLocal8Bit().constData(), unsigned(options->port),
                     error.toLocal8Bit().constData());
        return 1;
    }
    const quint32 seed = options->seed ? *options->seed : QRandomGenerator::global()->generate();
    SimulatedChatters chatters(&server, options->chatters, options->rate, seed, nullptr,
                               options->namePool);
    chatters.setTalkOnly(options->talkOnly);
    // The console's commands about the program around the server: the
    // chatters' rate, and who is logged in (on standard output). Empty when
    // the line is not one of them.
    const auto ownCommand = [&](const QByteArray &line, bool *handled) -> QString {
        const QList<QByteArray> words = line.simplified().split(' ');
        *handled = true;
        if (words[0] == "rate") {
            bool ok = false;
            const double rate = words.value(1).toDouble(&ok);
            if (words.size() != 2 || !ok || rate < 0 || rate > 1000)
                return "rate wants lines per second from 0 to 1000.";
            chatters.setRate(rate);
        } else if (words[0] == "clients") {
            std::printf("clients %s\n", server.clientNames().join(' ').constData());
            std::fflush(stdout);
        } else {
            *handled = false;
        }
        return QString();
    };

    // The console: one command per line on standard input.
    QByteArray pending;
    QSocketNotifier stdinNotifier(STDIN_FILENO, QSocketNotifier::Read);
    QObject::connect(&stdinNotifier, &QSocketNotifier::activated, [&] {
        char buf[4096];
        const ssize_t n = ::read(STDIN_FILENO, buf, sizeof buf);
        if (n <= 0) {
            // End of input: the gateway goes on serving without a console.
            stdinNotifier.setEnabled(false);
            return;
        }
        pending.append(buf, int(n));
        int nl;
        while ((nl = pending.indexOf('\n')) >= 0) {
            QByteArray line = pending.left(nl);
            pending.remove(0, nl + 1);
            if (line.endsWith('\r'))
                line.chop(1);
            bool quit = false, handled = false;
            QString problem = ownCommand(line, &handled);
            if (!handled)
                problem = server.consoleCommand(line, &quit);
            if (!problem.isEmpty())
                std::fprintf(stderr, "tressel-gateway: %s\n", problem.toLocal8Bit().constData());
            if (quit) {
                app.quit();
                return;
            }
        }
        if (pending.size() > 65536) {
            std::fprintf(stderr, "tressel-gateway: console line too long, ignored\n");
            pending.clear();
        }
    });

    std::printf("listening on %u\n", unsigned(server.port()));
    std::fflush(stdout);
    return app.exec();
}
