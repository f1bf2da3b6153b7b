#pragma once
// The one TCP link to the chat gateway: connects asynchronously, sends raw
// Latin-1 text and cuts the received byte stream into lines. It knows
// nothing of the gateway's grammar; its owner gives the lines their meaning.
#include "base/clock.h"

#include <QByteArray>
#include <QHostAddress>
#include <QList>
#include <QNetworkProxy>
#include <QObject>
#include <QSet>
#include <QString>
#include <QStringList>
#include <QTimer>

#include <functional>

class QTcpSocket;

class TChatInterface : public QObject {
    Q_OBJECT
public:
    explicit TChatInterface(QObject *parent = nullptr);
    ~TChatInterface() override;

    bool NoLineFeed = true; // drop LF from delivered lines
    bool NoReturn = true;   // drop CR from delivered lines
    quint16 Port = 0;
    QString Address;
    QStringList LoginScript;
    int ConnectTimeout = 30000; // ms without an answer before a connect gives up
    // The proxy the link goes through; NoProxy connects directly.
    QNetworkProxy Proxy = QNetworkProxy(QNetworkProxy::NoProxy);

    // How soon the kernel gives up on a link that stopped answering: a quiet
    // link is probed after IdleSeconds of silence, every IntervalSeconds,
    // and dropped after Probes unanswered probes; bytes written and not
    // acknowledged for UserTimeoutMs drop it too (Linux then also drops a
    // quiet link at the first probe that finds nothing heard for that long).
    // Both stay well under a minute, since the timers' own slack adds a few
    // seconds.
    struct LinkTimers {
        int IdleSeconds = 10;
        int IntervalSeconds = 5;
        int Probes = 6;
        unsigned UserTimeoutMs = 40000;
        int quietSeconds() const { return IdleSeconds + IntervalSeconds * Probes; }
    };
    LinkTimers Timers;

    // Looks a host name up and answers with its addresses, or none and the
    // reason. The default asks the system's resolver; tests give their own.
    using ResolveAnswer = std::function<void(const QList<QHostAddress> &, const QString &)>;
    std::function<void(const QString &host, QObject *context, ResolveAnswer answer)> Resolve;

    bool Connected() const { return m_connected; }
    // Open has been called and the link is not up yet (looking the name up,
    // or connecting).
    bool Connecting() const { return m_connecting && !m_connected; }
    // Why the last OnSocketError fired, in the socket layer's words.
    QString SocketErrorText() const { return m_errorText; }
    // Why the last live link ended without either side closing it, in
    // words ("the server stopped answering ..."); empty when it was closed.
    QString LostText() const { return m_lostText; }
    // Set when the link's dead-link timers could not be set on the socket.
    QString LinkOptionsProblem() const { return m_optionsProblem; }
    // The link's own socket descriptor while connected (-1 otherwise); also
    // through a SOCKS5 proxy, whose Qt socket names none of its own.
    qintptr SocketDescriptor() const;
    // The server field's host: "[::1]" and "::1" are the same address.
    static QString HostOf(const QString &address);

    std::function<void()> OnConnect, OnDisconnect, OnSendError, OnLogin, OnSocketError,
        OnConnectClosed;
    std::function<void(const QString &DataString)> OnDataReceived;

    bool Open();
    void Close();
    // A live link found dead by its owner: it is given up at once, and ends
    // as a lost link does (OnConnectClosed), with LostText() saying why.
    void Drop(const QString &why);
    bool SendData(const QString &text);
    // Bytes written that the server's side has not acknowledged yet: what
    // Qt still holds, and on Linux what the kernel has sent but the peer
    // has not acknowledged (SIOCOUTQ; through a proxy, its hop only). -1
    // when there is no link.
    qint64 UnacknowledgedBytes() const;
    // The kernel's smoothed round trip of the link in microseconds (Linux,
    // TCP_INFO); -1 when it is not known.
    qint64 RoundTripMicroseconds() const;
    bool SendLoginScript();
    // Hands bytes to the line cutting as if they had just arrived from the
    // socket, so tests and the fuzzer can choose every arrival's size.
    void receiveBytes(const QByteArray &bytes);

    // A carry-over this long without a terminator is delivered as a line
    // of its own, so a server that never ends a line cannot eat memory.
    static constexpr qsizetype MaxLineLength = 64 * 1024;

private:
    void startAttempt(qsizetype index);
    void onResolved(const QList<QHostAddress> &addresses, const QString &error);
    void onAttemptConnected(QTcpSocket *socket);
    void onAttemptFailed(QTcpSocket *socket);
    void dropAttempts();
    void applyLinkTimers();
    QString describeError(QTcpSocket *socket) const;
    void onConnected();
    void onReadyRead();
    void onDisconnected();
    void onErrorOccurred(int error);
    void onConnectTimeout();

    void receivePass();
    void cutLines(quint64 generation);
    void deliver(const char *data, qsizetype length);
    bool runPassGuarded();
    void scheduleFollowUp();
    void failConnect(const QString &reason);
    void releaseSocket();
    void clearCarry();

    QTcpSocket *m_socket = nullptr; // the link, once connected
    // Connects under way, one per address family; the first to connect
    // wins and the others are aborted. Each family's further addresses
    // are tried in turn when its socket fails.
    struct Attempt {
        QTcpSocket *socket = nullptr;
        QList<QHostAddress> rest; // addresses not tried yet
        QString name;             // through a proxy: the name the proxy looks up
    };
    QList<Attempt> m_attempts;
    bool m_lookingUp = false;
    QString m_lastAttemptError;
    QString m_lostText;
    QString m_optionsProblem;
    int m_linkFd = -1;
    QSet<int> m_proxyStreamsBefore; // the SOCKS5 proxy's sockets before this link's
    TClockTimer m_connectTimer;     // on the program's clock, which tests move
    bool m_connecting = false;      // connect-in-progress guard
    bool m_connected = false;
    QString m_errorText;

    // Received bytes not yet delivered: [m_head, size) is pending, and
    // [m_head, m_scan) is known to hold no terminator, so each byte is
    // looked at once.
    QByteArray m_carry;
    qsizetype m_head = 0;
    qsizetype m_scan = 0;
    QString m_spareLine; // the buffer of the last delivered line

    // Bumped by Close, so a scan notices a handler closed (or reopened)
    // the link under it.
    quint64 m_generation = 0;
    bool m_inPass = false;
    bool m_passWanted = false;
    bool m_followUpQueued = false;
};
