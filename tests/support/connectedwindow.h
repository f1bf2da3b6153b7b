#pragma once
// A test's main window connected to a server on 127.0.0.1: to a
// LoopbackServer, whose bytes the test reads and writes itself, or to the
// local gateway (GatewayProcess). Each function waits for what shows that
// the login is done, and returns false with a warning that says what did
// not happen when it does not come.
#include <QByteArray>
#include <QString>

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
