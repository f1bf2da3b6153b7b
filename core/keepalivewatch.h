#pragma once
// Watches the server's keep-alive line. A server that sends it at a steady
// interval has, once it stops, stopped talking altogether: the link is dead
// even if the kernel has not noticed. The watch learns the interval from
// the lines themselves and arms only after it has seen two, so a server
// that never sends the line (or sends it once) never raises an alarm. Times
// come from the caller (the program's clock), so tests move them freely.
#include <QDateTime>

class TKeepaliveWatch {
public:
    // The deadline is this many times the longest interval seen, plus the
    // margin, after the last line heard.
    static constexpr double Slack = 2.5;
    static constexpr qint64 MarginMs = 10000;

    // A new link: nothing learnt yet.
    void reset();
    // The keep-alive line arrived at this time.
    void keepalive(const QDateTime &at);
    // Any other line arrived: the link is alive, but the interval is not
    // learnt from it.
    void heard(const QDateTime &at);

    // Whether enough keep-alive lines were seen to expect the next one.
    bool armed() const { return m_count >= 2 && m_intervalMs > 0; }
    // The longest interval between two keep-alive lines so far (0: none).
    qint64 intervalMs() const { return m_intervalMs; }
    // When the link is declared dead if nothing more arrives (invalid while
    // not armed).
    QDateTime deadline() const;
    // Nothing has arrived by the deadline.
    bool overdue(const QDateTime &now) const;
    // Milliseconds since anything arrived.
    qint64 silentMs(const QDateTime &now) const;

private:
    QDateTime m_lastKeepalive;
    QDateTime m_lastHeard;
    qint64 m_intervalMs = 0;
    int m_count = 0;
};
