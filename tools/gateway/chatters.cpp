#include "chatters.h"

#include "gatewayserver.h"

namespace {

const QList<QByteArray> Products = {"CHAT", "STAR", "SEXP", "W2BN", "D2DV",
                                    "D2XP", "DRTL", "DSHR", "SSHR", "JSTR"};
const QList<quint16> FlagChoices = {0x0000, 0x0010, 0x0010, 0x0000, 0x0002, 0x0004, 0x0001, 0x0008};
const QList<QByteArray> Stems = {"Zeal",   "Mordecai", "Kestrel", "Vex",   "Nimbus", "Rook",
                                 "Tanis",  "Grim",     "Lyra",    "Osric", "Pyre",   "Sable",
                                 "Thorne", "Wisp",     "Ash",     "Brand", "Corvin", "Dagny"};
const QList<QByteArray> Decorations = {"", "", "", "_", "[x]", "-", "(2)", "99", "Jr"};
const QList<QByteArray> LeetNames = {"l33th4x0r", "1337", "xX1l1lXx", "|_|83r", "n00b5l4y3r"};
const QList<QByteArray> Lines = {
    "hi all",
    "anyone up for a game?",
    "lol",
    "brb, dinner",
    "Has anyone seen the new patch notes?",
    "gg",
    "what map is everyone playing these days",
    "HELLO EVERYONE",
    "who wants to 2v2",
    "d\xe9j\xe0 vu all over again",
    "the server feels laggy tonight",
    "thanks for the help earlier!",
    "Zerg rush kekeke",
    "i'll be back in 5",
    "does \"ladder\" reset this week?",
    "nice one",
};
const QList<QByteArray> Emotes = {"waves", "laughs", "is away for a moment",
                                  "yawns", "cheers", "shrugs"};

} // namespace

SimulatedChatters::SimulatedChatters(GatewayServer *server, int count, double linesPerSecond,
                                     quint32 seed, QObject *parent, int namePool)
    : QObject(parent), m_server(server), m_count(count), m_random(seed), m_rate(linesPerSecond)
{
    for (int i = 0; i < namePool; ++i) {
        QByteArray name = newName();
        if (!m_pool.contains(name))
            m_pool.append(name);
    }
    for (int i = 0; i < count; ++i)
        joinOne();
    m_timer.setTimerType(Qt::PreciseTimer);
    connect(&m_timer, &QTimer::timeout, this, &SimulatedChatters::tick);
    setRate(linesPerSecond);
}

void SimulatedChatters::setRate(double linesPerSecond)
{
    m_rate = linesPerSecond;
    m_steps = 0;
    if (m_count <= 0 || linesPerSecond <= 0) {
        m_timer.stop();
        return;
    }
    // Timers fire late under load and not faster than every millisecond:
    // each tick makes up the steps that are due by now.
    m_timer.setInterval(qBound(1, int(1000.0 / linesPerSecond), 10));
    m_clock.start();
    m_timer.start();
}

void SimulatedChatters::tick()
{
    const qint64 due = qint64(double(m_clock.elapsed()) * m_rate / 1000.0) + 1;
    // After a long stall the backlog is dropped rather than sent in one lump.
    const qint64 most = qMax<qint64>(1, qint64(m_rate / 10));
    if (due - m_steps > most)
        m_steps = due - most;
    while (m_steps < due) {
        ++m_steps;
        step();
    }
}

QByteArray SimulatedChatters::pick(const QList<QByteArray> &list)
{
    return list[int(m_random.bounded(quint32(list.size())))];
}

QByteArray SimulatedChatters::newName()
{
    ++m_serial;
    if (m_random.bounded(8) == 0)
        return pick(LeetNames) + QByteArray::number(m_serial);
    QByteArray name = pick(Stems) + pick(Decorations);
    if (m_random.bounded(3) == 0)
        name += QByteArray::number(m_serial);
    return name;
}

void SimulatedChatters::joinOne()
{
    for (int attempt = 0; attempt < 20; ++attempt) {
        const QByteArray name = m_pool.isEmpty() ? newName() : pick(m_pool);
        const quint16 flags = FlagChoices[int(m_random.bounded(quint32(FlagChoices.size())))];
        if (m_server->simJoin(name, pick(Products), flags).isEmpty()) {
            m_present.append(name);
            return;
        }
    }
}

void SimulatedChatters::step()
{
    // Members the console removed are no longer ours to move.
    const QList<QByteArray> simulated = m_server->simulatedNames();
    m_present.erase(std::remove_if(m_present.begin(), m_present.end(),
                                   [&](const QByteArray &n) { return !simulated.contains(n); }),
                    m_present.end());
    if (m_present.size() < m_count) {
        joinOne();
        return;
    }
    if (m_present.isEmpty())
        return;
    const QByteArray who = pick(m_present);
    const int roll = int(m_random.bounded(100));
    if (m_talkOnly) {
        if (roll < 80)
            m_server->simSay(who, pick(Lines));
        else if (roll < 90)
            m_server->simSay(who, pick(Lines) + ' ' + pick(Lines));
        else
            m_server->simEmote(who, pick(Emotes));
        return;
    }
    if (roll < 55) {
        m_server->simSay(who, pick(Lines));
    } else if (roll < 65) {
        m_server->simEmote(who, pick(Emotes));
    } else if (roll < 75) {
        const QList<QByteArray> clients = m_server->clientNames();
        if (!clients.isEmpty())
            m_server->simWhisper(who, pick(clients), "psst, " + pick(Lines));
    } else if (roll < 80) {
        const QByteArray line = pick(Lines);
        for (int i = 0; i < 3; ++i)
            m_server->simSay(who, line);
    } else if (roll < 85) {
        m_server->setFlags(who, FlagChoices[int(m_random.bounded(quint32(FlagChoices.size())))]);
    } else if (roll < 95) {
        m_server->simSay(who, pick(Lines) + ' ' + pick(Lines));
    } else {
        m_server->simLeave(who);
        m_present.removeOne(who);
    }
}
