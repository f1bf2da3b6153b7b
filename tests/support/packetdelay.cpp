#include "packetdelay.h"

#include <arpa/inet.h>
#include <fcntl.h>
#include <linux/netfilter.h>
#include <linux/netfilter/nfnetlink.h>
#include <linux/netfilter/nfnetlink_queue.h>
#include <linux/netlink.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <cstring>
#include <deque>
#include <vector>

namespace {

using Clock = std::chrono::steady_clock;

// One netfilter netlink message to the queue subsystem: the header, the
// subsystem's own header naming the queue, and attributes.
class Message {
public:
    Message(quint16 type, quint16 flags)
    {
        m_bytes.resize(NLMSG_HDRLEN + NLMSG_ALIGN(sizeof(nfgenmsg)));
        auto *header = reinterpret_cast<nlmsghdr *>(m_bytes.data());
        header->nlmsg_type = quint16((NFNL_SUBSYS_QUEUE << 8) | type);
        header->nlmsg_flags = flags;
        auto *sub = reinterpret_cast<nfgenmsg *>(m_bytes.data() + NLMSG_HDRLEN);
        sub->nfgen_family = AF_UNSPEC;
        sub->version = NFNETLINK_V0;
        sub->res_id = htons(PacketDelay::queueNumber);
    }
    void add(quint16 type, const void *data, size_t length)
    {
        const size_t at = m_bytes.size();
        m_bytes.resize(at + NLA_ALIGN(NLA_HDRLEN + length));
        nlattr attribute{};
        attribute.nla_type = type;
        attribute.nla_len = quint16(NLA_HDRLEN + length);
        std::memcpy(m_bytes.data() + at, &attribute, sizeof attribute);
        std::memcpy(m_bytes.data() + at + NLA_HDRLEN, data, length);
    }
    bool sendTo(int fd)
    {
        reinterpret_cast<nlmsghdr *>(m_bytes.data())->nlmsg_len = quint32(m_bytes.size());
        sockaddr_nl kernel{};
        kernel.nl_family = AF_NETLINK;
        return ::sendto(fd, m_bytes.data(), m_bytes.size(), 0,
                        reinterpret_cast<const sockaddr *>(&kernel),
                        sizeof kernel) == ssize_t(m_bytes.size());
    }

private:
    std::vector<char> m_bytes;
};

QString lastError() { return QString::fromLocal8Bit(strerror(errno)); }

} // namespace

PacketDelay::PacketDelay(int delayMs) : m_delayMs(delayMs)
{
    m_fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_NETFILTER);
    sockaddr_nl self{};
    self.nl_family = AF_NETLINK;
    if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<const sockaddr *>(&self), sizeof self) != 0) {
        m_error = QStringLiteral("no netfilter netlink socket: ") + lastError();
        return;
    }
    // Room for a burst of packet reports: an overflow would drop packets.
    const int room = 1 << 20;
    ::setsockopt(m_fd, SOL_SOCKET, SO_RCVBUF, &room, sizeof room);
    if (!configure(NFQNL_CFG_CMD_BIND, false) || !configure(0, true))
        return;
    if (::pipe2(m_wake, O_CLOEXEC) != 0) {
        m_error = lastError();
        return;
    }
    m_thread = std::thread([this] { run(); });
}

PacketDelay::~PacketDelay()
{
    if (m_thread.joinable()) {
        const char stop = 1;
        (void)::write(m_wake[1], &stop, 1);
        m_thread.join();
    }
    for (int fd : {m_fd, m_wake[0], m_wake[1]})
        if (fd >= 0)
            ::close(fd);
}

// Binds the queue (command), or asks for the packets' metadata only
// (params), and waits for the kernel's acknowledgement.
bool PacketDelay::configure(int command, bool params)
{
    Message m(NFQNL_MSG_CONFIG, NLM_F_REQUEST | NLM_F_ACK);
    if (params) {
        nfqnl_msg_config_params p{};
        p.copy_range = htonl(0);
        p.copy_mode = NFQNL_COPY_META;
        m.add(NFQA_CFG_PARAMS, &p, sizeof p);
    } else {
        nfqnl_msg_config_cmd c{};
        c.command = quint8(command);
        c.pf = htons(AF_INET);
        m.add(NFQA_CFG_CMD, &c, sizeof c);
    }
    if (!m.sendTo(m_fd)) {
        m_error = QStringLiteral("cannot configure the queue: ") + lastError();
        return false;
    }
    pollfd p{m_fd, POLLIN, 0};
    alignas(nlmsghdr) char answer[4096];
    if (::poll(&p, 1, 5000) != 1) {
        m_error = QStringLiteral("the kernel did not answer the queue's configuration");
        return false;
    }
    const ssize_t n = ::recv(m_fd, answer, sizeof answer, 0);
    const auto *h = reinterpret_cast<const nlmsghdr *>(answer);
    if (n < ssize_t(NLMSG_HDRLEN + sizeof(nlmsgerr)) || h->nlmsg_type != NLMSG_ERROR) {
        m_error = QStringLiteral("an unexpected answer to the queue's configuration");
        return false;
    }
    const auto *e = reinterpret_cast<const nlmsgerr *>(NLMSG_DATA(h));
    if (e->error != 0) {
        m_error = QStringLiteral("the queue's configuration was refused: ") +
                  QString::fromLocal8Bit(strerror(-e->error));
        return false;
    }
    return true;
}

bool PacketDelay::verdict(quint32 id)
{
    Message m(NFQNL_MSG_VERDICT, NLM_F_REQUEST);
    nfqnl_msg_verdict_hdr v{};
    v.verdict = htonl(NF_ACCEPT);
    v.id = htonl(id);
    m.add(NFQA_VERDICT_HDR, &v, sizeof v);
    return m.sendTo(m_fd);
}

void PacketDelay::run()
{
    struct Held {
        quint32 id;
        Clock::time_point due;
    };
    std::deque<Held> held;
    std::vector<char> buffer(1 << 16);
    const auto delay = std::chrono::milliseconds(m_delayMs);
    for (;;) {
        int timeout = -1;
        if (!held.empty())
            timeout = int(std::max<qint64>(0, std::chrono::duration_cast<std::chrono::milliseconds>(
                                                  held.front().due - Clock::now())
                                                  .count()));
        pollfd p[2] = {{m_fd, POLLIN, 0}, {m_wake[0], POLLIN, 0}};
        if (::poll(p, 2, timeout) < 0 && errno != EINTR)
            return;
        if (p[1].revents)
            return; // what is still held is dropped with the socket
        if (p[0].revents & POLLIN) {
            const ssize_t n = ::recv(m_fd, buffer.data(), buffer.size(), MSG_DONTWAIT);
            const Clock::time_point now = Clock::now();
            int left = int(std::max<ssize_t>(n, 0));
            // NLMSG_OK, without its comparison of a signed length with the
            // header's unsigned one.
            const auto whole = [](const nlmsghdr *h, int len) {
                return len >= int(sizeof(nlmsghdr)) && h->nlmsg_len >= sizeof(nlmsghdr) &&
                       h->nlmsg_len <= unsigned(len);
            };
            for (auto *h = reinterpret_cast<nlmsghdr *>(buffer.data()); whole(h, left);
                 h = NLMSG_NEXT(h, left)) {
                if (h->nlmsg_type != ((NFNL_SUBSYS_QUEUE << 8) | NFQNL_MSG_PACKET))
                    continue;
                const int skip = int(NLMSG_ALIGN(sizeof(nfgenmsg)));
                int rest = int(h->nlmsg_len) - int(NLMSG_HDRLEN) - skip;
                auto *a = reinterpret_cast<nlattr *>(static_cast<char *>(NLMSG_DATA(h)) + skip);
                for (; rest >= int(NLA_HDRLEN) && a->nla_len >= NLA_HDRLEN && a->nla_len <= rest;
                     rest -= NLA_ALIGN(a->nla_len),
                     a = reinterpret_cast<nlattr *>(reinterpret_cast<char *>(a) +
                                                    NLA_ALIGN(a->nla_len))) {
                    if ((a->nla_type & NLA_TYPE_MASK) != NFQA_PACKET_HDR)
                        continue;
                    nfqnl_msg_packet_hdr packet{};
                    std::memcpy(&packet, reinterpret_cast<char *>(a) + NLA_HDRLEN, sizeof packet);
                    held.push_back({ntohl(packet.packet_id), now + delay});
                    break;
                }
            }
        }
        const Clock::time_point now = Clock::now();
        while (!held.empty() && held.front().due <= now) {
            if (verdict(held.front().id))
                ++m_passed;
            held.pop_front();
        }
    }
}
