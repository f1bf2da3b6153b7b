#include "gatewayoptions.h"

#include "hostile.h"

#include <QCommandLineParser>
#include <QFile>
#include <QHostAddress>

namespace {

bool toCount(const QString &text, int *out)
{
    bool ok = false;
    const int v = text.toInt(&ok);
    if (!ok || v < 0)
        return false;
    *out = v;
    return true;
}

QList<QByteArray> latin1List(const QStringList &values)
{
    QList<QByteArray> out;
    for (const QString &v : values)
        out.append(v.toLatin1());
    return out;
}

} // namespace

std::optional<GatewayOptions> parseGatewayArguments(const QStringList &args, QString *error,
                                                    QString *help)
{
    QCommandLineParser parser;
    parser.setApplicationDescription(
        "A local chat gateway for Tressel's tests and demos, on a loopback address.\n"
        "Console commands on standard input: broadcast TEXT, raw TEXT, rawbytes HEX,\n"
        "join NAME [PRODUCT] [FLAGS], leave NAME, joins N PREFIX [PRODUCT], leaves N PREFIX,\n"
        "say NAME TEXT, emote NAME TEXT, whisper NAME TO TEXT, flags NAME FLAGS, close, quit;\n"
        "rate LINES_PER_SECOND sets the chatters' rate (0: silent), clients prints the\n"
        "logged-in clients' names on standard output.");
    const QCommandLineOption helpOpt({"h", "help"}, "Show this help.");
    const QCommandLineOption portOpt("port", "Port to listen on (0: any free port).", "PORT",
                                     "6112");
    const QCommandLineOption addressOpt("address",
                                        "Loopback address to listen on (in 127.0.0.0/8, or ::1).",
                                        "ADDRESS", "127.0.0.1");
    const QCommandLineOption anyAddressOpt(
        "any-address",
        "Let --address be any address, not only loopback: for a network namespace a test made "
        "for itself, which nobody else can reach.");
    const QCommandLineOption accountOpt(
        "account", "An account (repeatable). Without any, every name and password log in.",
        "NAME:PASSWORD");
    const QCommandLineOption chattersOpt("chatters", "Number of simulated chatters.", "N", "0");
    const QCommandLineOption rateOpt("rate", "Simulated lines per second.", "LINES_PER_SECOND",
                                     "1");
    const QCommandLineOption seedOpt("seed", "Seed of the simulation, for repeatable runs.", "N");
    const QCommandLineOption scriptOpt("script", "Raw lines to send to each client after login.",
                                       "FILE");
    const QCommandLineOption burstOpt(
        "burst", "Talk lines sent to each client right after login, as fast as it takes them.", "N",
        "0");
    const QCommandLineOption burstLengthOpt(
        "burst-length", "Characters of each burst line's text (0: as the words come).", "N", "0");
    const QCommandLineOption namePoolOpt(
        "name-pool",
        "Simulated chatters take their names from this many, so a long run meets the same "
        "members again (0: no limit).",
        "N", "0");
    const QCommandLineOption talkOnlyOpt(
        "talk-only", "Simulated chatters stay in the channel and only talk and emote: each "
                     "happening is one line, so the rate is lines per second.");
    const QCommandLineOption noQuotaOpt("no-flood-quota", "Switch the flood quota off.");
    const QCommandLineOption quotaUnitsOpt(
        "quota-units", "Units from which the flood quota refuses a line (disconnects at twice it).",
        "N", "5");
    const QCommandLineOption quotaWindowOpt(
        "quota-window", "Seconds the flood quota remembers a line's units.", "SECONDS", "5");
    const QCommandLineOption quotaBytesOpt(
        "quota-bytes-per-unit", "Every started run of this many bytes of a line costs a unit.", "N",
        QString::number(Wire::QuotaBytesPerUnit));
    const QCommandLineOption garbledOpt(
        "garbled-errors", "Send the flood quota's error texts garbled, as some server builds do.");
    const QCommandLineOption fullOpt("full-channel", "A channel that is full (repeatable).",
                                     "NAME");
    const QCommandLineOption restrictedOpt("restricted-channel",
                                           "A channel that is restricted (repeatable).", "NAME");
    const QCommandLineOption missingOpt("missing-channel",
                                        "A channel that does not exist (repeatable).", "NAME");
    const QCommandLineOption broadcastOpt(
        "broadcast", "A broadcast sent to each client after login (repeatable).", "TEXT");
    const QCommandLineOption keepaliveOpt(
        "keepalive", "Send each logged-in client the keep-alive line every SECONDS (0: never).",
        "SECONDS", "0");
    const QCommandLineOption holdOpt(
        "hold-seconds",
        "Hold a session whose link died (not closed cleanly) this long: its account cannot log "
        "in again meanwhile (0: not held).",
        "SECONDS", "0");
    parser.addOptions({keepaliveOpt, holdOpt, talkOnlyOpt, anyAddressOpt});
    parser.addOptions({helpOpt,     portOpt,    addressOpt,    accountOpt,     chattersOpt,
                       rateOpt,     seedOpt,    scriptOpt,     burstOpt,       burstLengthOpt,
                       namePoolOpt, noQuotaOpt, quotaUnitsOpt, quotaWindowOpt, quotaBytesOpt,
                       garbledOpt,  fullOpt,    restrictedOpt, missingOpt,     broadcastOpt});
    const QCommandLineOption hostileOpt("hostile",
                                        "Misbehave: " + hostile::modes().join(", ") + ".", "MODE");
    parser.addOption(hostileOpt);

    QStringList argv = args;
    argv.prepend("tressel-gateway");
    if (!parser.parse(argv)) {
        *error = parser.errorText();
        return std::nullopt;
    }
    if (parser.isSet(helpOpt)) {
        *help = parser.helpText();
        return std::nullopt;
    }
    if (!parser.positionalArguments().isEmpty()) {
        *error = QString("Unexpected argument '%1'.").arg(parser.positionalArguments().first());
        return std::nullopt;
    }

    GatewayOptions o;
    bool ok = false;
    const uint port = parser.value(portOpt).toUInt(&ok);
    if (!ok || port > 65535) {
        *error = QString("Bad port '%1'.").arg(parser.value(portOpt));
        return std::nullopt;
    }
    o.port = quint16(port);
    // Only loopback: the gateway is for trying the client out on one machine
    // (or in a test's own network namespace, where any address will do).
    const QHostAddress address(parser.value(addressOpt));
    const bool anyAddress = parser.isSet(anyAddressOpt);
    if (address.isNull() || (!anyAddress && !address.isLoopback())) {
        *error = anyAddress ? QString("Bad address '%1'.").arg(parser.value(addressOpt))
                            : QString("Bad address '%1': expected a loopback address (or "
                                      "--any-address).")
                                  .arg(parser.value(addressOpt));
        return std::nullopt;
    }
    o.address = address.toString();

    for (const QString &a : parser.values(accountOpt)) {
        const int colon = a.indexOf(':');
        if (colon <= 0) {
            *error = QString("Bad account '%1': expected NAME:PASSWORD.").arg(a);
            return std::nullopt;
        }
        o.accounts.insert(a.left(colon).toLatin1().toLower(), a.mid(colon + 1).toLatin1());
    }
    if (!toCount(parser.value(chattersOpt), &o.chatters)) {
        *error = QString("Bad chatter count '%1'.").arg(parser.value(chattersOpt));
        return std::nullopt;
    }
    o.rate = parser.value(rateOpt).toDouble(&ok);
    if (!ok || o.rate <= 0 || o.rate > 1000) {
        *error = QString("Bad rate '%1': expected lines per second above 0, at most 1000.")
                     .arg(parser.value(rateOpt));
        return std::nullopt;
    }
    if (parser.isSet(seedOpt)) {
        const uint seed = parser.value(seedOpt).toUInt(&ok);
        if (!ok) {
            *error = QString("Bad seed '%1'.").arg(parser.value(seedOpt));
            return std::nullopt;
        }
        o.seed = seed;
    }
    if (!toCount(parser.value(burstOpt), &o.burst)) {
        *error = QString("Bad burst count '%1'.").arg(parser.value(burstOpt));
        return std::nullopt;
    }
    if (!toCount(parser.value(burstLengthOpt), &o.burstLength) || o.burstLength > 4000) {
        *error =
            QString("Bad burst length '%1': expected 0 to 4000.").arg(parser.value(burstLengthOpt));
        return std::nullopt;
    }
    if (!toCount(parser.value(namePoolOpt), &o.namePool)) {
        *error = QString("Bad name pool '%1'.").arg(parser.value(namePoolOpt));
        return std::nullopt;
    }
    if (parser.isSet(scriptOpt)) {
        QFile f(parser.value(scriptOpt));
        if (!f.open(QIODevice::ReadOnly)) {
            *error = QString("Cannot read the script '%1': %2.").arg(f.fileName(), f.errorString());
            return std::nullopt;
        }
        QByteArray all = f.readAll();
        all.replace("\r\n", "\n");
        all.replace('\r', '\n');
        QList<QByteArray> lines = all.split('\n');
        if (!lines.isEmpty() && lines.last().isEmpty())
            lines.removeLast();
        o.script = lines;
    }
    o.floodQuota = !parser.isSet(noQuotaOpt);
    o.talkOnly = parser.isSet(talkOnlyOpt);
    const auto figure = [&](const QCommandLineOption &opt, int low, int high, int *out,
                            const char *what) {
        bool fine = false;
        const int v = parser.value(opt).toInt(&fine);
        if (!fine || v < low || v > high) {
            *error = QString("Bad %1 '%2': expected %3 to %4.")
                         .arg(what, parser.value(opt))
                         .arg(low)
                         .arg(high);
            return false;
        }
        *out = v;
        return true;
    };
    if (!figure(quotaUnitsOpt, 1, 1000, &o.quotaUnits, "quota units") ||
        !figure(quotaWindowOpt, 1, 3600, &o.quotaWindow, "quota window") ||
        !figure(quotaBytesOpt, 1, 4096, &o.quotaBytesPerUnit, "quota bytes per unit") ||
        !figure(keepaliveOpt, 0, 86400, &o.keepaliveSeconds, "keep-alive interval") ||
        !figure(holdOpt, 0, 86400, &o.holdSeconds, "hold time"))
        return std::nullopt;
    o.garbledErrors = parser.isSet(garbledOpt);
    o.fullChannels = latin1List(parser.values(fullOpt));
    o.restrictedChannels = latin1List(parser.values(restrictedOpt));
    o.missingChannels = latin1List(parser.values(missingOpt));
    o.broadcasts = latin1List(parser.values(broadcastOpt));
    o.hostile = parser.value(hostileOpt).toLatin1();
    if (!o.hostile.isEmpty() && !hostile::isMode(o.hostile)) {
        *error = QString("Bad hostile mode '%1': expected one of %2.")
                     .arg(parser.value(hostileOpt), QString(hostile::modes().join(", ")));
        return std::nullopt;
    }
    return o;
}
