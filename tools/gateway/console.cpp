// The console: one command a line on the gateway's standard input, mostly
// moving the simulated members.
#include "commands.h"
#include "gatewayserver.h"

#include <cctype>

namespace {

bool parseFlags(const QByteArray &text, quint16 *flags)
{
    if (text.isEmpty() || text.size() > 4)
        return false;
    bool ok = false;
    const uint v = text.toUInt(&ok, 16);
    if (!ok)
        return false;
    *flags = quint16(v);
    return true;
}

} // namespace

QString GatewayServer::consoleCommand(const QByteArray &line, bool *quit)
{
    QByteArray rest;
    const QByteArray cmd = ChannelModel::key(firstWord(line.trimmed(), &rest));
    QByteArray tail;
    const QByteArray arg = firstWord(rest, &tail);
    if (cmd.isEmpty())
        return QString();
    if (cmd == "broadcast") {
        broadcast(rest);
    } else if (cmd == "raw") {
        sendToAll(rest + "\r\n");
    } else if (cmd == "rawbytes") {
        QByteArray hex = rest;
        hex.replace(' ', "");
        for (char c : hex)
            if (!isxdigit(uchar(c)))
                return "rawbytes wants hexadecimal digits, such as 31 30 30 35 0d 0a.";
        if (hex.size() % 2)
            return "rawbytes wants an even number of hexadecimal digits.";
        sendToAll(QByteArray::fromHex(hex));
    } else if (cmd == "join") {
        QByteArray more;
        const QByteArray product = firstWord(tail, &more);
        quint16 flags = ClientFlags;
        if (!more.isEmpty() && !parseFlags(more, &flags))
            return QString("'%1' is not a flags value of up to four hexadecimal digits.")
                .arg(QString::fromLatin1(more));
        return simJoin(arg, product.isEmpty() ? QByteArray("CHAT") : product, flags);
    } else if (cmd == "joins" || cmd == "leaves") {
        // A burst: PREFIX0 .. PREFIX(N-1) join or leave in one go.
        QByteArray more;
        const QByteArray prefix = firstWord(tail, &more);
        bool ok = false;
        const int n = arg.toInt(&ok);
        if (!ok || n < 0 || prefix.isEmpty())
            return QString("%1 wants a count and a name prefix.").arg(QString::fromLatin1(cmd));
        QByteArray unused;
        const QByteArray product = more.isEmpty() ? QByteArray("CHAT") : firstWord(more, &unused);
        for (int i = 0; i < n; ++i) {
            const QByteArray name = prefix + QByteArray::number(i);
            const QString problem =
                cmd == "joins" ? simJoin(name, product, ClientFlags) : simLeave(name);
            if (!problem.isEmpty())
                return problem;
        }
    } else if (cmd == "leave") {
        return simLeave(arg);
    } else if (cmd == "say") {
        return simSay(arg, tail);
    } else if (cmd == "emote") {
        return simEmote(arg, tail);
    } else if (cmd == "whisper") {
        QByteArray text;
        const QByteArray to = firstWord(tail, &text);
        return simWhisper(arg, to, text);
    } else if (cmd == "flags") {
        quint16 flags = 0;
        if (!parseFlags(tail, &flags))
            return QString("'%1' is not a flags value of up to four hexadecimal digits.")
                .arg(QString::fromLatin1(tail));
        return setFlags(arg, flags);
    } else if (cmd == "drop") {
        return dropClient(arg);
    } else if (cmd == "release") {
        return releaseHeld(arg);
    } else if (cmd == "close") {
        closeAll();
    } else if (cmd == "quit") {
        if (quit)
            *quit = true;
    } else {
        return QString("Unknown console command '%1'.").arg(QString::fromLatin1(cmd));
    }
    return QString();
}
