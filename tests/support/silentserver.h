#pragma once
// A listening socket on 127.0.0.1 whose accept queue is full, so that a
// further connect to it is never answered: the way to keep a connect
// pending on loopback for as long as a test needs.
#include <QTcpSocket>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

class SilentServer {
public:
    SilentServer()
    {
        m_fd = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in addr{};
        addr.sin_family = AF_INET;
        addr.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof addr;
        if (m_fd < 0 || ::bind(m_fd, reinterpret_cast<sockaddr *>(&addr), len) != 0 ||
            ::listen(m_fd, 0) != 0 ||
            ::getsockname(m_fd, reinterpret_cast<sockaddr *>(&addr), &len) != 0)
            return;
        m_port = ntohs(addr.sin_port);
        for (int i = 0; i < 16; ++i) {
            auto s = std::make_unique<QTcpSocket>();
            s->connectToHost(QHostAddress::LocalHost, m_port);
            const bool answered = s->waitForConnected(300);
            m_fillers.push_back(std::move(s));
            if (!answered) {
                m_full = true;
                break;
            }
        }
    }
    ~SilentServer()
    {
        m_fillers.clear();
        if (m_fd >= 0)
            ::close(m_fd);
    }
    SilentServer(const SilentServer &) = delete;
    SilentServer &operator=(const SilentServer &) = delete;

    // False where the queue could not be filled (the test then skips).
    bool full() const { return m_full; }
    quint16 port() const { return m_port; }

private:
    int m_fd = -1;
    quint16 m_port = 0;
    bool m_full = false;
    std::vector<std::unique_ptr<QTcpSocket>> m_fillers;
};
