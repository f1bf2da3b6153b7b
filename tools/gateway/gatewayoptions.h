#pragma once
// The gateway's command line.
#include "base/wirecodes.h"

#include <QByteArray>
#include <QList>
#include <QMap>
#include <QStringList>
#include <optional>

struct GatewayOptions {
    quint16 port = 6112;
    // A loopback address (127.0.0.0/8 or ::1): a second gateway can take
    // port 6112 on another one while the first runs.
    QString address = QStringLiteral("127.0.0.1");
    // Account name (lower case) -> password. Empty: any name and password log in.
    QMap<QByteArray, QByteArray> accounts;
    int chatters = 0;
    double rate = 1.0;           // simulated lines per second
    std::optional<quint32> seed; // none: a fresh seed per run
    QList<QByteArray> script;    // raw lines sent to each client after login
    int burst = 0;               // talk lines sent to each client after login
    int burstLength = 0;         // characters of each burst text (0: as the words come)
    int namePool = 0;            // simulated chatters' names come from this many (0: no limit)
    bool talkOnly = false;       // the chatters stay and only talk and emote, a line a happening
    bool floodQuota = true;
    int quotaUnits = 5;  // refused from this many units, disconnected at twice it
    int quotaWindow = 5; // seconds a line's units are remembered
    int quotaBytesPerUnit = Wire::QuotaBytesPerUnit; // a unit per started run of this many bytes
    bool garbledErrors = false; // the quota's error texts garbled, as some builds send them
    QList<QByteArray> fullChannels;
    QList<QByteArray> restrictedChannels;
    QList<QByteArray> missingChannels;
    QList<QByteArray> broadcasts; // sent to each client after login
    QByteArray hostile;           // a misbehaviour (hostile.h); empty: none
    // Seconds between keep-alive lines to each logged-in client (0: none),
    // as the real servers send them to an idle connection.
    int keepaliveSeconds = 0;
    // Seconds a session whose link died (reset, timed out, or cut with the
    // console's "drop") is held: its member stays, and a login of the same
    // account is refused, until then (0: it ends with its link).
    int holdSeconds = 0;
};

// Parses the arguments (without the program name). On a bad argument or a
// script that cannot be read, returns nothing and sets *error; for --help,
// returns nothing and sets *help.
std::optional<GatewayOptions> parseGatewayArguments(const QStringList &args, QString *error,
                                                    QString *help);
