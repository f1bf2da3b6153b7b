// What the user types or pastes, through the input line and Send, to the
// wire of a real connection (a listener on 127.0.0.1 in this process). The
// promise kept: no line ever carries a CR or LF inside it, no line is longer
// than the server takes, and nothing handed to the connection is lost.
//
// Input: one byte of switches (bit 0 a small quota, so lines are cut
// shorter; bit 1 Windows-1252 on the wire; bit 2 raw mode in the lower pane;
// bit 3 answer Yes to prompts), then the text, as UTF-8, pasted into the
// input line (line breaks in it stay as markers until Send, as in a paste).
#include "fuzzwindow.h"

#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "core/wiresplit.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <QLineEdit>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>

namespace {

QTcpServer *server = nullptr;
QPointer<QTcpSocket> peer;
QByteArray wire; // what reached the server since the last check
qint64 fakeNow = 0;
int accepted = 0; // connections the listener took

void pump(int ms)
{
    QCoreApplication::processEvents(QEventLoop::AllEvents, ms);
    // A /connect typed in makes a new connection: read on from that one.
    while (server->hasPendingConnections()) {
        if (peer) {
            peer->waitForReadyRead(0);
            wire += peer->readAll();
            peer->deleteLater();
        }
        peer = server->nextPendingConnection();
        ++accepted;
    }
    if (peer) {
        peer->waitForReadyRead(0);
        wire += peer->readAll();
    }
}

// Waits until n lines (CRs) have reached the server since the wire was
// last cleared; false when they did not come within a few seconds.
bool waitForLines(qsizetype n)
{
    QDeadlineTimer deadline(5000);
    while (wire.count('\r') < n && !deadline.hasExpired())
        pump(2);
    return wire.count('\r') >= n;
}

// Lets every queued line go: time passes as fast as the quota asks.
void drain(Tmain *main)
{
    for (int i = 0;
         i < 10000 && main->session->process->queuedCount() > 0 && main->session->bnet->Connected();
         ++i) {
        // A line goes only once the one before it was taken: the sockets
        // move in real time.
        const QDeadlineTimer taken(5000);
        while (main->session->process->inFlight() && main->session->bnet->Connected() &&
               !taken.hasExpired())
            pump(1);
        fakeNow += 60000;
        guarded([main] {
            main->session->process->holdTimerExpired();
            main->session->process->floodTimerTick();
        });
    }
}

Tmain *connectedWindow()
{
    static Tmain *main = nullptr;
    if (!main) {
        main = startFuzzWindow();
        main->session->bnet->Port = server->serverPort();
        main->session->process->clock = [] { return fakeNow; };
    }
    if (!main->session->bnet->Connected()) {
        delete peer;
        guarded([] { main->ConnectClick(); });
        QDeadlineTimer deadline(5000);
        while ((!peer || !main->session->bnet->Connected()) && !deadline.hasExpired())
            pump(2);
        if (!main->session->bnet->Connected())
            fuzzFailure("no connection to the listener", main->session->bnet->SocketErrorText());
        // The login ends in the name and the (empty) password's CRs; the
        // home channel's join follows through the queue.
        QDeadlineTimer login(5000);
        while (!wire.contains("\r\r") && !login.hasExpired())
            pump(2);
        if (!wire.contains("\r\r"))
            fuzzFailure("the login did not arrive", QString::fromLatin1(wire.toPercentEncoding()));
        const qsizetype loginLines = wire.count('\r');
        const int before = main->session->process->sentCount();
        drain(main);
        if (!waitForLines(loginLines + main->session->process->sentCount() - before))
            fuzzFailure("the join did not arrive", QString::fromLatin1(wire.toPercentEncoding()));
        wire.clear();
    }
    return main;
}

} // namespace

extern "C" int LLVMFuzzerInitialize(int *, char ***)
{
    startFuzzApplication();
    server = new QTcpServer;
    if (!server->listen(QHostAddress::LocalHost, 0))
        fuzzFailure("cannot listen on 127.0.0.1", server->errorString());
    return 0;
}

extern "C" int LLVMFuzzerTestOneInput(const uint8_t *data, size_t size)
{
    if (size < 1)
        return 0;
    const uint8_t switches = data[0];
    const QString typed =
        QString::fromUtf8(reinterpret_cast<const char *>(data + 1), qsizetype(size - 1));

    Tmain *main = connectedWindow();
    const int before = main->session->process->sentCount();
    const int acceptedBefore = accepted;
    fuzzDialogs().defaultConfirm = switches & 8;
    guarded([&] {
        main->store->setNumber(TSetting::quotaUnits, switches & 1 ? 2 : 100);
        main->store->setNumber(TSetting::outgoingEncoding,
                               switches & 2 ? Toptions::EncodeWindows1252 : Toptions::EncodeUtf8);
        if (main->menus.dispRaw->isChecked() != bool(switches & 4))
            main->dispRawClick();
        main->text->clear();
        main->text->insert(typed);
        main->sendClick();
    });
    settleEvents();
    const int limit = TWire::lineLimit(main->store->number(TSetting::quotaUnits),
                                       main->store->number(TSetting::quotaBytesPerUnit));

    // Everything queued goes out.
    drain(main);
    pump(0);
    if (main->session->bnet->Connected() && accepted == acceptedBefore) {
        if (main->session->process->queuedCount() > 0)
            fuzzFailure("lines stayed queued", typed);
        if (!waitForLines(main->session->process->sentCount() - before))
            fuzzFailure("lines handed to the connection did not arrive", typed);
    }
    // After a /disconnect or a /connect typed in, what went out is still
    // checked below; the count is not, as a login came between.

    if (wire.contains('\n'))
        fuzzFailure("a line feed went on the wire", QString::fromLatin1(wire.toPercentEncoding()));
    qsizetype start = 0;
    while (start < wire.size()) {
        qsizetype end = wire.indexOf('\r', start);
        if (end < 0)
            end = wire.size(); // cut off by a disconnect
        if (end - start > limit || end - start > Wire::MaxLine)
            fuzzFailure("a line longer than the server takes",
                        QString::number(end - start) + QStringLiteral(" > ") +
                            QString::number(limit) + QStringLiteral(": ") +
                            QString::fromLatin1(wire.mid(start, end - start).toPercentEncoding()));
        start = end + 1;
    }
    wire.clear();
    main->chat->clear();
    main->whisper->clear();
    return 0;
}
