#pragma once
// A queue that holds packets for a while: the kernel hands every packet an
// NFQUEUE rule sends to queue `queueNumber` of the network namespace the
// object was made in to this process (over netfilter's netlink socket), a
// thread of ours keeps it for the delay and then lets it go on. Packets go
// on in the order they came. Made for the fault tests, since the kernel
// they run on has no netem.
#include <QString>

#include <atomic>
#include <thread>

class PacketDelay {
public:
    static constexpr int queueNumber = 0;

    // Binds the queue in the calling thread's network namespace; error()
    // says why when that failed (then nothing is held).
    explicit PacketDelay(int delayMs);
    ~PacketDelay();
    PacketDelay(const PacketDelay &) = delete;
    PacketDelay &operator=(const PacketDelay &) = delete;

    QString error() const { return m_error; }
    // Packets let go so far.
    qint64 passed() const { return m_passed.load(); }

private:
    void run();
    bool configure(int command, bool params);
    bool verdict(quint32 id);

    int m_fd = -1;
    int m_wake[2] = {-1, -1}; // written to end the thread
    int m_delayMs;
    QString m_error;
    std::atomic<qint64> m_passed{0};
    std::thread m_thread;
};
