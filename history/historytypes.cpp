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

} // namespace THistory
