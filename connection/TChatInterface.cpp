#include "connection/TChatInterface.h"

#include "base/guard.h"
#include "connection/proxychoice.h"

#include <QHostInfo>
#include <QTcpSocket>

#ifdef __linux__
#include <linux/sockios.h>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/ioctl.h>
#include <sys/socket.h>
#endif

#include <algorithm>
#include <cerrno>
#ifdef __SSE2__
#include <emmintrin.h>
#endif
#include <cstring>

#ifdef Q_OS_LINUX
#include <QDir>
#include <netinet/in.h>
#include <netinet/tcp.h>
#include <sys/socket.h>
#include <sys/stat.h>
#endif

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

#ifdef Q_OS_LINUX
// The descriptors of this process's connected TCP sockets whose peer's
// port is port. Qt's SOCKS5 socket names no real descriptor, so the link's
// own is found among these: the one that was not there before it opened.
QSet<int> streamsTo(quint16 port)
{
    QSet<int> found;
    const QStringList entries = QDir(QStringLiteral("/proc/self/fd")).entryList(QDir::Files);
    for (const QString &entry : entries) {
        bool isNumber = false;
        const int fd = entry.toInt(&isNumber);
        struct stat info {};
        if (!isNumber || ::fstat(fd, &info) != 0 || !S_ISSOCK(info.st_mode))
            continue;
        sockaddr_storage peer{};
        socklen_t size = sizeof peer;
        if (::getpeername(fd, reinterpret_cast<sockaddr *>(&peer), &size) != 0)
            continue;
        quint16 peerPort = 0;
        if (peer.ss_family == AF_INET)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in &>(peer).sin_port);
        else if (peer.ss_family == AF_INET6)
            peerPort = ntohs(reinterpret_cast<const sockaddr_in6 &>(peer).sin6_port);
        else
            continue;
        int type = 0;
        socklen_t typeSize = sizeof type;
        if (peerPort == port && ::getsockopt(fd, SOL_SOCKET, SO_TYPE, &type, &typeSize) == 0 &&
            type == SOCK_STREAM)
            found.insert(fd);
    }
    return found;
}
#endif

} // namespace

TChatInterface::TChatInterface(QObject *parent) : QObject(parent)
{
    m_connectTimer.setSingleShot(true);
    connect(&m_connectTimer, &TClockTimer::timeout, this,
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

QString TChatInterface::HostOf(const QString &address)
{
    const QString host = address.trimmed();
    if (host.startsWith(QLatin1Char('['))) {
        const qsizetype close = host.indexOf(QLatin1Char(']'));
        if (close > 0)
            return host.mid(1, close - 1);
    }
    return host;
}

qintptr TChatInterface::SocketDescriptor() const { return m_connected && m_socket ? m_linkFd : -1; }

bool TChatInterface::Open()
{
    // One link at a time: a second Open while connecting or connected
    // would orphan the socket in use.
    if (m_connecting || m_connected)
        return false;
    m_connecting = true;
    m_errorText.clear();
    m_lostText.clear();
    m_optionsProblem.clear();
    m_lastAttemptError.clear();
    clearCarry();
    ++m_generation;
    if (m_socket)
        releaseSocket();
    dropAttempts();

    m_connectTimer.start(std::max(0, ConnectTimeout));
    const QString host = HostOf(Address);
    const QHostAddress literal(host);
    const bool proxied =
        Proxy.type() == QNetworkProxy::Socks5Proxy || Proxy.type() == QNetworkProxy::HttpProxy;
    if (!literal.isNull() || proxied) {
        // A numeric address is used as it stands, and a proxy looks the
        // name up itself.
        Attempt attempt;
        if (literal.isNull())
            attempt.name = host;
        else
            attempt.rest = {literal};
        m_attempts.append(attempt);
        startAttempt(0);
        return true;
    }
    m_lookingUp = true;
    const quint64 generation = m_generation;
    ResolveAnswer answer = [this, generation](const QList<QHostAddress> &addresses,
                                              const QString &error) {
        if (generation != m_generation || !m_lookingUp)
            return; // closed or reopened meanwhile
        m_lookingUp = false;
        guarded([&] { onResolved(addresses, error); });
    };
    if (Resolve) {
        Resolve(host, this, answer);
    } else {
        QHostInfo::lookupHost(host, this, [answer](const QHostInfo &info) {
            answer(info.addresses(),
                   info.error() == QHostInfo::NoError ? QString() : info.errorString());
        });
    }
    return true;
}

void TChatInterface::onResolved(const QList<QHostAddress> &addresses, const QString &error)
{
    QList<QHostAddress> v6;
    QList<QHostAddress> v4;
    for (const QHostAddress &a : addresses)
        (a.protocol() == QAbstractSocket::IPv6Protocol ? v6 : v4).append(a);
    if (v6.isEmpty() && v4.isEmpty()) {
        failConnect(error.isEmpty() ? QStringLiteral("Host not found") : error);
        return;
    }
    // Both families at once: the first to connect wins, so a family that
    // drops packets costs nothing while the other one works.
    for (const QList<QHostAddress> &family : {v6, v4}) {
        if (family.isEmpty())
            continue;
        Attempt attempt;
        attempt.rest = family;
        m_attempts.append(attempt);
    }
    const quint64 generation = m_generation;
    for (qsizetype i = 0; i < m_attempts.size(); ++i) {
        if (generation != m_generation || !m_connecting || m_connected)
            return; // the first one connected at once
        if (!m_attempts[i].socket)
            startAttempt(i);
    }
}

void TChatInterface::startAttempt(qsizetype index)
{
    Attempt &attempt = m_attempts[index];
    auto *socket = new QTcpSocket(this);
    attempt.socket = socket;
    socket->setProxy(Proxy);
    // Qt stops reading from the kernel when this much waits unread, so a
    // flooding server is held back by TCP instead of filling memory.
    socket->setReadBufferSize(MaxLineLength);
    connect(socket, &QAbstractSocket::connected, this,
            [this, socket] { guarded([&] { onAttemptConnected(socket); }); });
    connect(socket, &QIODevice::readyRead, this, [this, socket] {
        if (socket == m_socket)
            onReadyRead();
    });
    connect(socket, &QAbstractSocket::disconnected, this, [this, socket] {
        if (socket == m_socket)
            onDisconnected();
    });
    connect(socket, &QAbstractSocket::errorOccurred, this,
            [this, socket](QAbstractSocket::SocketError e) {
                if (socket == m_socket) {
                    onErrorOccurred(int(e));
                    return;
                }
                // A failed attempt is dealt with once its socket has
                // returned from the call that reported it.
                const quint64 generation = m_generation;
                QMetaObject::invokeMethod(
                    this,
                    [this, socket, generation] {
                        if (generation == m_generation)
                            guarded([&] { onAttemptFailed(socket); });
                    },
                    Qt::QueuedConnection);
            });
#ifdef Q_OS_LINUX
    if (Proxy.type() == QNetworkProxy::Socks5Proxy)
        m_proxyStreamsBefore = streamsTo(Proxy.port());
#endif
    if (attempt.name.isEmpty())
        socket->connectToHost(attempt.rest.takeFirst(), Port);
    else
        socket->connectToHost(attempt.name, Port);
}

void TChatInterface::onAttemptConnected(QTcpSocket *socket)
{
    if (m_connected || !m_connecting)
        return;
    qsizetype index = -1;
    for (qsizetype i = 0; i < m_attempts.size(); ++i)
        if (m_attempts[i].socket == socket)
            index = i;
    if (index < 0)
        return;
    m_attempts.removeAt(index);
    dropAttempts(); // the other family lost the race
    m_socket = socket;
    applyLinkTimers();
    onConnected();
}

void TChatInterface::onAttemptFailed(QTcpSocket *socket)
{
    qsizetype index = -1;
    for (qsizetype i = 0; i < m_attempts.size(); ++i)
        if (m_attempts[i].socket == socket)
            index = i;
    if (index < 0 || !m_connecting || m_connected)
        return; // reported twice, or the race is over
    m_lastAttemptError = describeError(socket);
    socket->disconnect(this);
    socket->abort();
    socket->deleteLater();
    m_attempts[index].socket = nullptr;
    if (!m_attempts[index].rest.isEmpty()) {
        startAttempt(index); // the family's next address
        return;
    }
    m_attempts.removeAt(index);
    if (m_attempts.isEmpty() && !m_lookingUp)
        failConnect(m_lastAttemptError);
}

void TChatInterface::dropAttempts()
{
    m_lookingUp = false;
    const QList<Attempt> attempts = std::exchange(m_attempts, {});
    for (const Attempt &attempt : attempts) {
        if (!attempt.socket)
            continue;
        attempt.socket->disconnect(this);
        attempt.socket->abort();
        attempt.socket->deleteLater();
    }
}

QString TChatInterface::describeError(QTcpSocket *socket) const
{
    const QString text = socket->errorString();
    const QString proxy = TProxy::describe(Proxy);
    if (proxy.isEmpty())
        return text;
    switch (socket->error()) {
    case QAbstractSocket::ProxyAuthenticationRequiredError:
    case QAbstractSocket::ProxyConnectionRefusedError:
    case QAbstractSocket::ProxyConnectionClosedError:
    case QAbstractSocket::ProxyConnectionTimeoutError:
    case QAbstractSocket::ProxyNotFoundError:
    case QAbstractSocket::ProxyProtocolError:
        return QStringLiteral("The %1 failed: %2").arg(proxy, text);
    default:
        return QStringLiteral("%1 (said by the %2)").arg(text, proxy);
    }
}

void TChatInterface::applyLinkTimers()
{
    m_optionsProblem.clear();
    m_linkFd = -1;
    if (!m_socket)
        return;
    // Where the system's timers cannot be set, keep-alive at least.
    m_socket->setSocketOption(QAbstractSocket::KeepAliveOption, 1);
#ifdef Q_OS_LINUX
    int fd = -1;
    if (Proxy.type() == QNetworkProxy::Socks5Proxy) {
        const QSet<int> fresh = streamsTo(Proxy.port()) - m_proxyStreamsBefore;
        if (fresh.size() == 1)
            fd = *fresh.begin();
    } else {
        fd = int(m_socket->socketDescriptor());
    }
    m_linkFd = fd;
    if (fd < 0) {
        m_optionsProblem = QStringLiteral("the socket to the server could not be told apart");
        return;
    }
    QStringList failed;
    auto set = [&](int level, int name, const void *value, socklen_t size, const char *what) {
        if (::setsockopt(fd, level, name, value, size) != 0)
            failed << QStringLiteral("%1 (%2)").arg(QLatin1String(what),
                                                    QString::fromLocal8Bit(std::strerror(errno)));
    };
    const int on = 1;
    set(SOL_SOCKET, SO_KEEPALIVE, &on, sizeof on, "SO_KEEPALIVE");
    set(IPPROTO_TCP, TCP_KEEPIDLE, &Timers.IdleSeconds, sizeof(int), "TCP_KEEPIDLE");
    set(IPPROTO_TCP, TCP_KEEPINTVL, &Timers.IntervalSeconds, sizeof(int), "TCP_KEEPINTVL");
    set(IPPROTO_TCP, TCP_KEEPCNT, &Timers.Probes, sizeof(int), "TCP_KEEPCNT");
    set(IPPROTO_TCP, TCP_USER_TIMEOUT, &Timers.UserTimeoutMs, sizeof(unsigned), "TCP_USER_TIMEOUT");
    if (!failed.isEmpty())
        m_optionsProblem = failed.join(QStringLiteral(", "));
#else
    m_linkFd = int(m_socket->socketDescriptor());
#endif
}

void TChatInterface::Close()
{
    const bool open = m_connecting || m_connected || m_socket;
    m_connected = false;
    m_connecting = false;
    m_connectTimer.stop();
    dropAttempts();
    clearCarry();
    ++m_generation;
    if (m_socket)
        releaseSocket();
    // A connect still pending is ended as well: the user must see that the
    // attempt is over, and may connect again at once.
    if (open)
        fire(OnDisconnect);
}

void TChatInterface::Drop(const QString &why)
{
    if (!m_connected || !m_socket)
        return;
    m_lostText = why;
    QTcpSocket *const socket = m_socket;
    m_socket = nullptr;
    socket->disconnect(this);
    socket->abort(); // nothing more can get through: what is queued goes too
    socket->deleteLater();
    m_connected = false;
    m_connecting = false;
    m_connectTimer.stop();
    clearCarry();
    ++m_generation;
    fire(OnConnectClosed);
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
    // The link's own descriptor: through a SOCKS5 proxy Qt's socket names
    // none.
    const qintptr fd = m_linkFd;
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
    const qintptr fd = m_linkFd;
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
        m_errorText = describeError(socket);
        // A timeout on a live link is the kernel giving up on a server that
        // stopped answering (keep-alive probes or sent bytes unacknowledged).
        m_lostText =
            error == QAbstractSocket::SocketTimeoutError
                ? QStringLiteral("the server stopped answering (nothing came back "
                                 "within %1 seconds)")
                      .arg(std::max<int>(Timers.quietSeconds(), int(Timers.UserTimeoutMs / 1000)))
                : QStringLiteral("the network failed (%1)").arg(m_errorText);
        guarded([this] { fire(OnSocketError); });
    }
    // Some failures leave the socket closed without a disconnected signal.
    if (socket == m_socket && socket->state() == QAbstractSocket::UnconnectedState)
        onDisconnected();
}

void TChatInterface::onConnectTimeout()
{
    if (m_connecting && !m_connected)
        failConnect(QStringLiteral("Connection timed out"));
}

void TChatInterface::failConnect(const QString &reason)
{
    m_connectTimer.stop();
    m_errorText = reason;
    m_connected = false;
    m_connecting = false;
    dropAttempts();
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
