#pragma once
// One client of the gateway: its socket, its place in the login exchange,
// its flood quota and what it has set for itself (away, do not disturb);
// its squelches are its member's in the channel model.
#include "floodquota.h"
#include "linesplitter.h"

#include <QByteArray>
#include <QList>
#include <QObject>

class QTcpSocket;
class GatewayServer;

// The simulated members whose lines make up a --burst.
QList<QByteArray> burstSenderNames();

// An error text as the server builds that garble them send it.
QByteArray garble(const QByteArray &text);

class GatewayConnection : public QObject {
    Q_OBJECT
public:
    enum State { AwaitingProtocol, AwaitingName, AwaitingPassword, Chatting, Closing };

    GatewayConnection(GatewayServer *server, QTcpSocket *socket);
    ~GatewayConnection() override;

    void write(const QByteArray &bytes);
    void writeLine(const QByteArray &line) { write(line + "\r\n"); }
    // Flushes what is written and closes; the server forgets it when closed.
    void close();
    // The link dies under the session: the socket is reset without a close,
    // so the client sees its link fail, and the session is held as after
    // any death of a link.
    void drop();
    // The link ended otherwise than by a clean close (reset, timed out, or
    // dropped).
    bool died() const { return m_died; }
    State state() const { return m_state; }

    QByteArray name; // set once logged in
    QByteArray away; // away message; empty = not away
    bool isAway = false;
    bool dnd = false;
    QByteArray dndMessage;
    QByteArray lastWhisperer;

    // length: characters of each line's text, 0 for the short default.
    void startBurst(int lines, int length = 0);

private:
    void readBytes();
    void handleLine(const QByteArray &line);
    void handleChatLine(const QByteArray &line);
    void feedBurst();

    GatewayServer *m_server;
    QTcpSocket *m_socket;
    State m_state = AwaitingProtocol;
    LineSplitter m_splitter;
    FloodQuota m_quota;
    QByteArray m_pendingName;
    bool m_gone = false;
    bool m_died = false;
    int m_burstLeft = 0;
    int m_burstDone = 0;
    int m_burstLength = 0;
};
