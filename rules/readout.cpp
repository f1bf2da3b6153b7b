#include "rules/readout.h"

#include "core/settingsdefs.h"

// The names are the readOut setting's entries, in the order of Level.
QStringList TReadOut::levelNames() { return TSetting::def(TSetting::readOut).entries; }

bool TReadOut::add(const Line &line)
{
    const bool important = line.whisper || line.mention || line.own;
    if (m_level == Level::None || (m_level == Level::Important && !important))
        return false;
    // A mention is said to be one: its colour cannot be heard.
    m_waiting << (line.mention ? QStringLiteral("Mention: ") + line.text : line.text);
    return true;
}

void TReadOut::hold(const Line &line)
{
    ++m_held;
    if (line.whisper)
        ++m_heldWhispers;
    if (line.mention)
        ++m_heldMentions;
}

namespace {
QString counted(int n, const char *one, const char *many)
{
    return QStringLiteral("%1 %2").arg(n).arg(QLatin1String(n == 1 ? one : many));
}
} // namespace

void TReadOut::released()
{
    const int held = m_held;
    const int whispers = m_heldWhispers;
    const int mentions = m_heldMentions;
    m_held = m_heldWhispers = m_heldMentions = 0;
    if (held == 0 || m_level == Level::None)
        return;
    // A whisper that names the user counts as both.
    const QString among = whispers == 0 && mentions == 0
                              ? QStringLiteral("no whispers or mentions")
                              : QStringLiteral("among them %1 and %2")
                                    .arg(counted(whispers, "whisper", "whispers"),
                                         counted(mentions, "mention", "mentions"));
    m_waiting << QStringLiteral("Chat unpaused: %1 %2 held, %3.")
                     .arg(held)
                     .arg(held == 1 ? QStringLiteral("line was") : QStringLiteral("lines were"))
                     .arg(among);
}

QString TReadOut::take()
{
    const QString all = m_waiting.join(QLatin1Char('\n'));
    m_waiting.clear();
    return all;
}
