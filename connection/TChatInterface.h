#pragma once
// The one TCP link to the chat gateway: connects asynchronously, sends raw
// Latin-1 text and cuts the received byte stream into lines. It knows
// nothing of the gateway's grammar; its owner gives the lines their meaning.
#include <QByteArray>
#include <QObject>
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

    bool Connected() const { return m_connected; }
    // Why the last OnSocketError fired, in the socket layer's words.
    QString SocketErrorText() const { return m_errorText; }

    std::function<void()> OnConnect, OnDisconnect, OnSendError, OnLogin, OnSocketError,
        OnConnectClosed;
    std::function<void(const QString &DataString)> OnDataReceived;

    bool Open();
    void Close();
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

    QTcpSocket *m_socket = nullptr;
    QTimer m_connectTimer;
    bool m_connecting = false; // connect-in-progress guard
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
