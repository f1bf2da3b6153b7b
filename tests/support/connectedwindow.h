#pragma once
// A test's main window connected to a server on 127.0.0.1: to a
// LoopbackServer, whose bytes the test reads and writes itself, or to the
// local gateway (GatewayProcess). Each function waits for what shows that
// the login is done, and returns false with a warning that says what did
// not happen when it does not come.
#include <QByteArray>
#include <QString>
#include <functional>

class LoopbackServer;
class Tmain;

// The login a window writes: 03 04 name CR password CR CR.
QByteArray loginBytes(const QByteArray &name, const QByteArray &password);

// Connects m to server and waits until its login has arrived: until the
// wire starts with login or, when login is empty, until it holds the
// login's closing empty line (CR CR; the whole login is one write). The
// wire is left as it is (a home channel's /join may follow the login); the
// window is connected on success.
bool connectToServer(Tmain &m, LoopbackServer &server, const QByteArray &login = QByteArray(),
                     int timeoutMs = 5000);

// Connects m to the gateway on port and waits until the chat pane shows its
// greeting to name (" <name> You have no mail."), running the pacing
// meanwhile.
bool connectToGateway(Tmain &m, quint16 port, const QString &name = QStringLiteral("alice"),
                      int timeoutMs = 10000);

// Waits until every byte the client has written so far has reached server:
// writes a probe line straight to the socket, past the pacing, waits for it
// and takes it off the wire again. False when the client is not connected
// (nothing can be sent then) or the probe does not come.
bool wireSettled(Tmain &m, LoopbackServer &server, int timeoutMs = 5000);

// The pacing, driven by the test. Each step is what the pacing's timer
// does: while the test holds the clock (ClockHold) the clock moves on by
// one flood interval, which ticks the pacing and lets a line the quota
// held go when its moment comes; otherwise the step is a tick. Between
// steps the sockets move. Each waits at most timeoutMs of real time and
// warns with what it saw when it gives up.

// Steps the pacing until done() holds; done is asked before each step.
bool tickPacingUntil(Tmain &m, const std::function<bool()> &done, int timeoutMs = 10000);
// Until the server's wire shows line (a whole line; the CR is added when
// it is not there).
bool tickUntilWireShows(Tmain &m, LoopbackServer &server, QByteArray line, int timeoutMs = 10000);
// Until the chat pane shows line at index from or after it; its index, or -1.
int tickUntilChatShows(Tmain &m, const QString &line, int from = 0, int timeoutMs = 10000);
// Steps the pacing until it holds no line, waits until all that was written
// has reached server (when the link is down, until the server has seen it
// close) and takes what the server got off its wire.
QByteArray takeWire(Tmain &m, LoopbackServer &server, int timeoutMs = 10000);
// takeWire as lines, without their CRs.
QStringList takeWireLines(Tmain &m, LoopbackServer &server, int timeoutMs = 10000);
