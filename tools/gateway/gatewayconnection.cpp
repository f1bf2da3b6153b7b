#include "gatewayconnection.h"

#include "base/wirecodes.h"
#include "gatewayserver.h"
#include "hostile.h"

#include <QTcpSocket>

#include <charconv>

#include <sys/socket.h>

namespace {

const QByteArray Banner = "BOT or Telnet Connection from [127.0.0.1]\r\n"
                          "\r\n"
                          "Enter your account name and password.\r\n"
                          "Sorry, there is no guest account.\r\n"
                          "\r\n"
                          "Username: ";

// Keeps a burst from piling megabytes into the socket's write buffer.
constexpr qint64 BurstBufferLimit = 64 * 1024;

const char *const BurstSenders[] = {"Swift", "Quill", "Rapid"};
const char *const BurstWords[] = {"Quick",  "brown", "Fox",       "jumps", "over",   "the",
                                  "Lazy",   "dog",   "while",     "Seven", "zebras", "hum",
                                  "Softly", "under", "moonlight", "and",   "Jazz",   "plays"};

// Distinct, mixed-case texts that no flood, case or high-ASCII test objects
// to; length > 0 pads them with more words to exactly that many characters.
// Appended to out with its line end, with no allocation of its own: the
// gateway shares the machine with the client it floods, and what a line
// costs it here is taken from the client's processors.
void appendBurstLine(QByteArray &out, int i, int length)
{
    constexpr int words = int(sizeof BurstWords / sizeof BurstWords[0]);
    static const QByteArray talk = QByteArray::number(Wire::Talk) + " TALK ";
    out += talk;
    out += BurstSenders[i % 3];
    out += " 0010 \"";
    const qsizetype textStart = out.size();
    char number[16];
    const auto written = std::to_chars(number, number + sizeof number, i);
    out += "Line ";
    out.append(number, written.ptr - number);
    const int count = length > 0 ? 1000 : 5;
    for (int k = 0; k < count && (length <= 0 || out.size() - textStart < length); ++k) {
        out += ' ';
        out += BurstWords[(i * 7 + k * 5 + i / words) % words];
    }
    if (length > 0 && out.size() - textStart > length)
        out.truncate(textStart + length);
    out += "\"\r\n";
}

} // namespace

QByteArray garble(const QByteArray &text)
{
    // Every third byte gets its high bit, and a stray quote goes in the
    // middle: no longer the server's words, nor valid UTF-8.
    QByteArray out = text;
    for (int i = 1; i < out.size(); i += 3)
        out[i] = char(uchar(out[i]) | 0x80);
    out.insert(out.size() / 2, '"');
    return out;
}

GatewayConnection::GatewayConnection(GatewayServer *server, QTcpSocket *socket)
    : QObject(server), m_server(server), m_socket(socket),
      m_quota(server->options().quotaUnits, server->options().quotaWindow,
              server->options().quotaBytesPerUnit)
{
    socket->setParent(this);
    connect(socket, &QTcpSocket::readyRead, this, &GatewayConnection::readBytes);
    connect(socket, &QTcpSocket::disconnected, this, [this] {
        if (m_gone)
            return;
        m_gone = true;
        m_state = Closing;
        m_server->connectionGone(this);
    });
    connect(socket, &QAbstractSocket::errorOccurred, this, [this](QAbstractSocket::SocketError e) {
        // A clean close by the client is its own business; anything else
        // (a reset, a time-out) is a link that died under the session.
        if (e != QAbstractSocket::RemoteHostClosedError)
            m_died = true;
    });
    connect(socket, &QTcpSocket::bytesWritten, this, [this] {
        if (m_burstLeft > 0)
            feedBurst();
    });
    hostile::atConnect(server->options().hostile, this);
}

GatewayConnection::~GatewayConnection() = default;

QList<QByteArray> burstSenderNames()
{
    QList<QByteArray> names;
    for (const char *n : BurstSenders)
        names << QByteArray(n);
    return names;
}

void GatewayConnection::write(const QByteArray &bytes)
{
    if (m_state == Closing || m_socket->state() != QAbstractSocket::ConnectedState)
        return;
    m_socket->write(bytes);
}

void GatewayConnection::close()
{
    if (m_state == Closing)
        return;
    m_state = Closing;
    m_burstLeft = 0;
    // Others see the leave at once, not when the socket has drained.
    m_server->memberGone(this);
    m_socket->disconnectFromHost();
}

void GatewayConnection::drop()
{
    if (m_gone)
        return;
    m_died = true;
    m_gone = true;
    m_state = Closing;
    m_burstLeft = 0;
    // A zero linger makes the close a reset: no FIN, nothing flushed.
    const qintptr fd = m_socket->socketDescriptor();
    if (fd >= 0) {
        const linger now{1, 0};
        ::setsockopt(int(fd), SOL_SOCKET, SO_LINGER, &now, sizeof now);
    }
    m_socket->abort();
    m_server->connectionGone(this);
}

void GatewayConnection::readBytes()
{
    QByteArray bytes = m_socket->readAll();
    m_server->m_bytesReceived += bytes.size();
    if (m_state == AwaitingProtocol) {
        // The first 0x03 selects the text protocol; anything before it is noise.
        const int at = bytes.indexOf('\x03');
        if (at < 0)
            return;
        bytes = bytes.mid(at + 1);
        if (hostile::atLoginStart(m_server->options().hostile, this))
            return;
        m_socket->write(Banner);
        m_state = AwaitingName;
    }
    const QList<QByteArray> lines = m_splitter.feed(bytes);
    for (const QByteArray &line : lines) {
        if (m_state == Closing)
            break;
        handleLine(line);
    }
}

void GatewayConnection::handleLine(const QByteArray &line)
{
    // Over-long lines vanish without a word, as on the real servers.
    if (line.size() >= FloodQuota::DropFrom)
        return;
    switch (m_state) {
    case AwaitingName:
        if (line.isEmpty())
            return;
        m_pendingName = line;
        write(line + "\r\nPassword: ");
        m_state = AwaitingPassword;
        return;
    case AwaitingPassword:
        write("\r\n");
        m_server->releaseExpiredHolds();
        if (m_server->passwordAccepted(m_pendingName, line)) {
            m_state = Chatting;
            m_server->loggedIn(this, m_pendingName);
        } else {
            write("Login failed.\r\n\r\nUsername: ");
            m_state = AwaitingName;
        }
        return;
    case Chatting:
        if (!line.isEmpty())
            handleChatLine(line);
        return;
    case AwaitingProtocol:
    case Closing:
        return;
    }
}

void GatewayConnection::handleChatLine(const QByteArray &line)
{
    if (m_server->m_options.floodQuota) {
        const bool garbled = m_server->m_options.garbledErrors;
        const auto quotaError = [&](const QByteArray &text) {
            writeLine(QByteArray::number(Wire::Error) + " ERROR \"" +
                      (garbled ? garble(text) : text) + '"');
        };
        if (line.size() > FloodQuota::MaxLine) {
            quotaError("Your line length quota has been exceeded!");
            return;
        }
        const FloodQuota::Verdict verdict = m_quota.add(line.size(), m_server->clock());
        if (verdict != FloodQuota::Accept) {
            quotaError("Your message quota has been exceeded!");
            if (line.startsWith('/'))
                quotaError("You are sending commands to PvPGN Realm too quickly and "
                           "risk being disconnected for flooding. Please slow down.");
            if (verdict == FloodQuota::Disconnect)
                close();
            return;
        }
    }
    m_server->clientLine(this, line);
}

void GatewayConnection::startBurst(int lines, int length)
{
    m_burstLeft = lines;
    m_burstLength = length;
    m_burstDone = 0;
    feedBurst();
}

void GatewayConnection::feedBurst()
{
    if (m_burstLeft <= 0)
        return;
    QByteArray chunk;
    chunk.reserve(BurstBufferLimit);
    while (m_burstLeft > 0 && m_socket->bytesToWrite() + chunk.size() < BurstBufferLimit) {
        appendBurstLine(chunk, m_burstDone++, m_burstLength);
        --m_burstLeft;
    }
    if (!chunk.isEmpty())
        write(chunk);
}
