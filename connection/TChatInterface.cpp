#include "connection/TChatInterface.h"

#include "base/guard.h"

#include <QTcpSocket>

#ifdef __linux__
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>

namespace {

// Handlers may replace or clear their own slot while they run, so each
// event is fired through a copy.
template <class F, class... Args> void fire(const F &event, Args &&...args)
{
    if (!event)
        return;
    F handler = event;
    handler(std::forward<Args>(args)...);
}

constexpr qsizetype ReceiveChunk = 16384;

} // namespace

TChatInterface::TChatInterface(QObject *parent) : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &QTimer::timeout, this,
            [this] { guarded([this] { onConnectTimeout(); }); });
}

TChatInterface::~TChatInterface()
{
    OnDisconnect = nullptr;
    if (m_connected)
        guarded([this] { Close(); });
    if (m_socket)
        m_socket->disconnect(this);
}

bool TChatInterface::Open()
{
    // One link at a time: a second Open while connecting or connected
    // would orphan the socket in use.
    if (m_connecting || m_connected)
        return false;
    m_connecting = true;
    m_errorText.clear();
    clearCarry();
    ++m_generation;
    if (m_socket)
        releaseSocket();

    auto *socket = new QTcpSocket(this);
    m_socket = socket;
    // Qt stops reading from the kernel when this much waits unread, so a
    // flooding server is held back by TCP instead of filling memory.
    socket->setReadBufferSize(MaxLineLength);
    connect(socket, &QAbstractSocket::connected, this, [this] { onConnected(); });
    connect(socket, &QIODevice::readyRead, this, [this] { onReadyRead(); });
    connect(socket, &QAbstractSocket::disconnected, this, [this] { onDisconnected(); });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this](QAbstractSocket::SocketError e) { onErrorOccurred(int(e)); });

    m_connectTimer.start(std::max(0, ConnectTimeout));
    // A numeric address is used as it stands; anything else is looked up.
    // A refused connect may be reported from inside this call, after which
    // the socket is gone again.
    socket->connectToHost(Address, Port, QIODevice::ReadWrite, QAbstractSocket::IPv4Protocol);
    return true;
}

void TChatInterface::Close()
{
    m_connected = false;
    m_connecting = false;
    m_connectTimer.stop();
    clearCarry();
    ++m_generation;
    if (!m_socket)
        return;
    releaseSocket();
    // A connect still pending is ended as well: the user must see that the
    // attempt is over, and may connect again at once.
    fire(OnDisconnect);
}

bool TChatInterface::SendData(const QString &text)
{
    if (!m_connected || !m_socket)
        return false;
    const QByteArray bytes = text.toLatin1();
    // QTcpSocket buffers the whole text and writes it as the peer takes it.
    if (m_socket->write(bytes) > 0)
        return true;
    fire(OnSendError);
    return false;
}

qint64 TChatInterface::UnacknowledgedBytes() const
{
    if (!m_connected || !m_socket)
        return -1;
    qint64 bytes = m_socket->bytesToWrite();
#ifdef __linux__
    // Without its socket the kernel's part is not known, and may not be 0.
    const qintptr fd = m_socket->socketDescriptor();
    int queued = 0;
    if (fd < 0 || ::ioctl(int(fd), SIOCOUTQ, &queued) != 0)
        return -1;
    bytes += queued;
#endif
    return bytes;
}

qint64 TChatInterface::RoundTripMicroseconds() const
{
    if (!m_connected || !m_socket)
        return -1;
#ifdef __linux__
    const qintptr fd = m_socket->socketDescriptor();
    tcp_info info{};
    socklen_t size = sizeof info;
    if (fd >= 0 && ::getsockopt(int(fd), IPPROTO_TCP, TCP_INFO, &info, &size) == 0)
        return qint64(info.tcpi_rtt);
#endif
    return -1;
}

bool TChatInterface::SendLoginScript()
{
    if (!m_connected)
        return true;
    const QStringList lines = LoginScript; // a handler may change the list
    for (const QString &line : lines) {
        if (!SendData(line + QLatin1Char('\r')))
            return false;
    }
    fire(OnLogin);
    return true;
}

void TChatInterface::receiveBytes(const QByteArray &bytes)
{
    m_carry.append(bytes);
    if (!runPassGuarded())
        scheduleFollowUp();
}

void TChatInterface::onConnected()
{
    guarded([this] {
        m_connectTimer.stop();
        m_connected = true;
        const quint64 generation = m_generation;
        // The guard stays set while OnConnect runs; a Close (and a new
        // Open) inside the handler has dealt with it already.
        try {
            fire(OnConnect);
        } catch (...) {
            if (generation == m_generation)
                m_connecting = false;
            throw;
        }
        if (generation == m_generation)
            m_connecting = false;
    });
}

void TChatInterface::onReadyRead()
{
    if (!runPassGuarded())
        scheduleFollowUp();
}

void TChatInterface::onDisconnected()
{
    QTcpSocket *const socket = m_socket;
    if (!socket)
        return;
    // Lines that arrived complete before the close are still delivered;
    // each failed pass has consumed the line that failed.
    while (socket == m_socket && !runPassGuarded()) {
    }
    if (socket != m_socket)
        return; // a handler closed or reopened the link
    m_connected = false;
    m_connecting = false;
    m_connectTimer.stop();
    releaseSocket();
    clearCarry();
    ++m_generation;
    guarded([this] { fire(OnConnectClosed); });
}

void TChatInterface::onErrorOccurred(int error)
{
    QTcpSocket *const socket = m_socket;
    if (!socket)
        return;
    if (!m_connected) {
        const QString reason = socket->errorString();
        guarded([this, reason] { failConnect(reason); });
        return;
    }
    // The server ending the link is the close notification's business.
    if (error != QAbstractSocket::RemoteHostClosedError) {
        m_errorText = socket->errorString();
        guarded([this] { fire(OnSocketError); });
    }
    // Some failures leave the socket closed without a disconnected signal.
    if (socket == m_socket && socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void TChatInterface::onConnectTimeout()
{
    if (m_connecting && !m_connected && m_socket)
        failConnect(QStringLiteral("Connection timed out"));
}

void TChatInterface::failConnect(const QString &reason)
{
    m_connectTimer.stop();
    m_errorText = reason;
    m_connected = false;
    m_connecting = false;
    clearCarry();
    ++m_generation;
    if (m_socket)
        releaseSocket();
    fire(OnSocketError);
}

void TChatInterface::releaseSocket()
{
    QTcpSocket *const socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    if (socket->state() == QAbstractSocket::ConnectedState) {
        // Let what is still buffered (a last "/quit", say) reach the server.
        connect(socket, &QAbstractSocket::disconnected, socket, &QObject::deleteLater);
        socket->disconnectFromHost();
        if (socket->state() != QAbstractSocket::UnconnectedState) {
            QTimer::singleShot(5000, socket, [socket] {
                socket->abort();
                socket->deleteLater();
            });
            return;
        }
    } else if (socket->state() != QAbstractSocket::UnconnectedState) {
        socket->abort();
    }
    socket->deleteLater();
}

void TChatInterface::clearCarry()
{
    m_carry.clear();
    m_head = 0;
    m_scan = 0;
}

bool TChatInterface::runPassGuarded()
{
    bool finished = false;
    guarded([this, &finished] {
        receivePass();
        finished = true;
    });
    return finished;
}

void TChatInterface::scheduleFollowUp()
{
    if (m_followUpQueued)
        return;
    m_followUpQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            m_followUpQueued = false;
            if (!runPassGuarded())
                scheduleFollowUp();
        },
        Qt::QueuedConnection);
}

void TChatInterface::receivePass()
{
    // A nested event loop inside a handler must not start a second scan
    // of the same carry-over; the outer pass asks for another one instead.
    if (m_inPass) {
        m_passWanted = true;
        return;
    }
    struct PassScope {
        TChatInterface *self;
        explicit PassScope(TChatInterface *s) : self(s) { self->m_inPass = true; }
        ~PassScope()
        {
            self->m_inPass = false;
            if (self->m_passWanted) {
                self->m_passWanted = false;
                self->scheduleFollowUp();
            }
        }
    } scope(this);

    const quint64 generation = m_generation;
    cutLines(generation); // lines left over by a pass a handler broke off
    if (generation != m_generation)
        return;
    char buffer[ReceiveChunk];
    // Qt signals readyRead once per arrival, so everything buffered is read
    // now, a chunk at a time to keep the carry-over small.
    while (m_socket && m_socket->bytesAvailable() > 0) {
        const qint64 got = m_socket->read(buffer, ReceiveChunk);
        if (got <= 0)
            break;
        m_carry.append(buffer, qsizetype(got));
        cutLines(generation);
        if (generation != m_generation)
            return;
    }
}

namespace {
// The first CR or LF in [from, size), -1 when there is none: one pass over
// the bytes, sixteen at a time where the processor allows.
qsizetype lineEnd(const char *data, qsizetype from, qsizetype size)
{
    qsizetype i = from;
#ifdef __SSE2__
    const __m128i cr = _mm_set1_epi8('\r');
    const __m128i lf = _mm_set1_epi8('\n');
    for (; i + 16 <= size; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i *>(data + i));
        const int hits =
            _mm_movemask_epi8(_mm_or_si128(_mm_cmpeq_epi8(v, cr), _mm_cmpeq_epi8(v, lf)));
        if (hits)
            return i + __builtin_ctz(unsigned(hits));
    }
#endif
    for (; i < size; ++i)
        if (data[i] == '\r' || data[i] == '\n')
            return i;
    return -1;
}
} // namespace

void TChatInterface::cutLines(quint64 generation)
{
    for (;;) {
        const char *const data = m_carry.constData();
        const qsizetype size = m_carry.size();
        // The line ends at the first CR or LF, whichever comes first.
        qsizetype end = lineEnd(data, m_scan, size);
        if (end < 0) {
            m_scan = size;
            if (size - m_head < MaxLineLength)
                break;
            end = m_head + MaxLineLength - 1; // an endless line is cut here
        }
        const qsizetype start = m_head;
        m_head = end + 1;
        // The LF of a CR LF would be a line of its own that is nothing once
        // its LF is dropped: it goes with its CR.
        if (NoLineFeed && data[end] == '\r' && end + 1 < size && data[end + 1] == '\n')
            m_head = end + 2;
        m_scan = std::max(m_scan, m_head);
        deliver(data + start, end + 1 - start);
        if (generation != m_generation)
            return; // closed under us: the carry-over is gone
    }
    if (m_head > 0) {
        m_carry.remove(0, m_head);
        m_scan -= m_head;
        m_head = 0;
    }
}

void TChatInterface::deliver(const char *data, qsizetype length)
{
    // A cut line holds at most one terminator, as its last byte.
    const char last = data[length - 1];
    if ((last == '\n' && NoLineFeed) || (last == '\r' && NoReturn))
        --length;
    if (length == 0 || !OnDataReceived)
        return;
    // The previous line's buffer is reused unless a handler kept that line
    // (then the write below gets a fresh one); a line delivered from inside
    // a handler takes another buffer, as this one is out on loan.
    QString line = std::move(m_spareLine);
    line = QLatin1String(data, length); // in place when the buffer is ours and large enough
    fire(OnDataReceived, std::as_const(line));
    m_spareLine = std::move(line);
}
