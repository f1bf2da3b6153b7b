#pragma once
// Simulated chatters for demos and soak tests: they join, talk, emote,
// whisper the connected users, sometimes flood (the same line three times),
// change flags and leave, at a chosen rate. A seed makes a run repeatable.
// Talking only, they stay and each happening is one line of talk or an
// emote: a busy channel at exactly the rate.
#include <QByteArray>
#include <QElapsedTimer>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

class GatewayServer;

class SimulatedChatters : public QObject {
    Q_OBJECT
public:
    // namePool > 0: names are drawn from that many, so members come back.
    SimulatedChatters(GatewayServer *server, int count, double linesPerSecond, quint32 seed,
                      QObject *parent = nullptr, int namePool = 0);

    // One simulated happening; the timer calls it, tests may too.
    void step();

    void setTalkOnly(bool on) { m_talkOnly = on; }
    // Happenings a second from now on; 0 stops them until a rate is set.
    void setRate(double linesPerSecond);
    double rate() const { return m_rate; }

private:
    QByteArray newName();
    QByteArray pick(const QList<QByteArray> &list);
    void joinOne();

    GatewayServer *m_server;
    int m_count;
    QRandomGenerator m_random;
    void tick();

    QTimer m_timer;
    QElapsedTimer m_clock; // the rate is kept over time, not per tick
    double m_rate;
    bool m_talkOnly = false;
    qint64 m_steps = 0;
    QList<QByteArray> m_pool;
    QList<QByteArray> m_present;
    int m_serial = 0;
};
