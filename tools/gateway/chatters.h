#pragma once
// Simulated chatters for demos and soak tests: they join, talk, emote,
// whisper the connected users, sometimes flood (the same line three times),
// change flags and leave, at a chosen rate. A seed makes a run repeatable.
#include <QByteArray>
#include <QList>
#include <QObject>
#include <QRandomGenerator>
#include <QTimer>

class GatewayServer;

class SimulatedChatters : public QObject {
    Q_OBJECT
public:
    SimulatedChatters(GatewayServer *server, int count, double linesPerSecond, quint32 seed,
                      QObject *parent = nullptr);

    // One simulated happening; the timer calls it, tests may too.
    void step();

private:
    QByteArray newName();
    QByteArray pick(const QList<QByteArray> &list);
    void joinOne();

    GatewayServer *m_server;
    int m_count;
    QRandomGenerator m_random;
    QTimer m_timer;
    QList<QByteArray> m_present;
    int m_serial = 0;
};
