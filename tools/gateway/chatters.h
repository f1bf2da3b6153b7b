#pragma once
// Simulated chatters for demos and soak tests: they join, talk, emote,
// whisper the connected users, sometimes flood (the same line three times),
// change flags and leave, at a chosen rate. A seed makes a run repeatable.
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
    qint64 m_steps = 0;
    QList<QByteArray> m_pool;
    QList<QByteArray> m_present;
    int m_serial = 0;
};
