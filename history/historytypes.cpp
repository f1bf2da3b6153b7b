#include "history/historytypes.h"

namespace THistory {

QString kindName(int kind)
{
    static const char *const names[kindCount] = {
        "talk", "emote", "whisper received", "whisper sent", "info", "error", "broadcast",
        "join", "leave", "console"};
    if (kind < 0 || kind >= kindCount)
        return QString();
    return QString::fromLatin1(names[kind]);
}

LineView viewOf(const Line &line)
{
    LineView v;
    v.timeMs = line.timeMs;
    v.server = line.server;
    v.account = line.account;
    v.channel = line.channel;
    v.kind = line.kind;
    v.sender = line.sender;
    v.text = line.text;
    v.raw = line.raw.isNull() ? nullptr : &line.raw;
    v.hidden = line.hidden;
    v.approximate = line.approximate;
    v.undecoded = line.undecoded;
    return v;
}

} // namespace THistory
