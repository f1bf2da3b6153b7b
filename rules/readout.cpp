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
    if (line.whisper || line.mention)
        ++m_heldImportant;
}

void TReadOut::released()
{
    const int held = m_held;
    const int important = m_heldImportant;
    m_held = m_heldImportant = 0;
    if (held == 0 || m_level == Level::None)
        return;
    m_waiting << QStringLiteral("Chat unpaused: %1 %2 held, %3 of them %4.")
                     .arg(held)
                     .arg(held == 1 ? QStringLiteral("line was") : QStringLiteral("lines were"))
                     .arg(important)
                     .arg(QStringLiteral("whispers or mentions"));
}

QString TReadOut::take()
{
    const QString all = m_waiting.join(QLatin1Char('\n'));
    m_waiting.clear();
    return all;
}
