#include "preferences/settingstable.h"

namespace TSettings {

namespace {
// The member and its name, written once.
#define TRESSEL_CONTROL(member) &Toptions::member, #member

struct Mapping {
    TSetting::Id id;
    Control control;
    const char *name;
};

std::vector<Setting> table()
{
    using namespace TSetting;
    const Mapping mappings[] = {
        {username, TRESSEL_CONTROL(username)},
        {password, TRESSEL_CONTROL(password)},
        {server, TRESSEL_CONTROL(server)},
        {homechannel, TRESSEL_CONTROL(homechannel)},
        {awaymessage, TRESSEL_CONTROL(awaymessage)},
        {logfilename, TRESSEL_CONTROL(logfilename)},
        {rawlogfilename, TRESSEL_CONTROL(rawlogfilename)},
        {keeplog, TRESSEL_CONTROL(keeplog)},
        {keeprawlog, TRESSEL_CONTROL(keeprawlog)},
        {anticensor, TRESSEL_CONTROL(anticensor)},
        {alertwhisper, TRESSEL_CONTROL(alertwhisper)},
        {suppressplaysound, TRESSEL_CONTROL(suppressplaysound)},
        {confirmquit, TRESSEL_CONTROL(confirmquit)},
        {dblclickcommand, TRESSEL_CONTROL(dblclickcommand)},
        {timestamps, TRESSEL_CONTROL(timestamps)},
        {autoconnect, TRESSEL_CONTROL(autoconnect)},
        {notifications, TRESSEL_CONTROL(notifications)},
        {onlynotesafe, TRESSEL_CONTROL(onlynotesafe)},
        {antiidle, TRESSEL_CONTROL(antiidle)},
        {idletype, TRESSEL_CONTROL(ai_users)},
        {squelchPrompt, TRESSEL_CONTROL(squelchPrompt)},
        {squelchFlooders, TRESSEL_CONTROL(squelchFlooders)},
        {squelchAscii, TRESSEL_CONTROL(squelchAscii)},
        {squelchUc, TRESSEL_CONTROL(squelchUc)},
        {squelchLeet, TRESSEL_CONTROL(squelchLeet)},
        {AsciiPercentage, TRESSEL_CONTROL(AsciiPercentage)},
        {ucPercentage, TRESSEL_CONTROL(ucPercentage)},
        {leetPercentage, TRESSEL_CONTROL(leetPercentage)},
        {minLineLength, TRESSEL_CONTROL(minLineLength)},
        {autoAction, TRESSEL_CONTROL(autoAction)},
        {dblClickAction, TRESSEL_CONTROL(dblClickAction)},
        {HistoryDelay, TRESSEL_CONTROL(HistoryDelay)},
        {triggers, TRESSEL_CONTROL(triggers)},
        {safe, TRESSEL_CONTROL(safe)},
        {bg_colour, TRESSEL_CONTROL(bg_colour)},
        {whisp_colour, TRESSEL_CONTROL(whisp_colour)},
        {time_colour, TRESSEL_CONTROL(time_colour)},
        {name_colour, TRESSEL_CONTROL(name_colour)},
        {label_colour, TRESSEL_CONTROL(label_colour)},
        {error_colour, TRESSEL_CONTROL(error_colour)},
        {your_name, TRESSEL_CONTROL(your_name)},
        {emote_colour, TRESSEL_CONTROL(emote_colour)},
        {text_colour, TRESSEL_CONTROL(text_colour)},
        // The panes hold their fonts themselves.
        {chat_font, PaneFontPart{Toptions::ChatFont, false}, nullptr},
        {chat_size, PaneFontPart{Toptions::ChatFont, true}, nullptr},
        {user_font, PaneFontPart{Toptions::UserFont, false}, nullptr},
        {user_size, PaneFontPart{Toptions::UserFont, true}, nullptr},
        {text_font, PaneFontPart{Toptions::TextFont, false}, nullptr},
        {text_size, PaneFontPart{Toptions::TextFont, true}, nullptr},
        {raw_font, PaneFontPart{Toptions::RawFont, false}, nullptr},
        {raw_size, PaneFontPart{Toptions::RawFont, true}, nullptr},
        {brx_font, PaneFontPart{Toptions::BrxFont, false}, nullptr},
        {brx_size, PaneFontPart{Toptions::BrxFont, true}, nullptr},
        {action_diablos, TRESSEL_CONTROL(action_diablos)},
        {action_diablo1, TRESSEL_CONTROL(action_diablo1)},
        {action_diablo2, TRESSEL_CONTROL(action_diablo2)},
        {action_starcrafts, TRESSEL_CONTROL(action_starcrafts)},
        {action_starcraft, TRESSEL_CONTROL(action_starcraft)},
        {action_broodwar, TRESSEL_CONTROL(action_broodwar)},
        {action_warcraft, TRESSEL_CONTROL(action_warcraft)},
        {action_bot, TRESSEL_CONTROL(action_bot)},
        {quotaUnits, TRESSEL_CONTROL(quotaUnits)},
        {quotaWindow, TRESSEL_CONTROL(quotaWindow)},
        {quotaBytesPerUnit, TRESSEL_CONTROL(quotaBytesPerUnit)},
        {quotaMargin, TRESSEL_CONTROL(quotaMargin)},
        {outgoingEncoding, TRESSEL_CONTROL(outgoingEncoding)},
        {inputHistory, TRESSEL_CONTROL(inputHistory)},
        {tabCompletion, TRESSEL_CONTROL(tabCompletion)},
        {findBar, TRESSEL_CONTROL(findBar)},
        {showLinks, TRESSEL_CONTROL(showLinks)},
        {markMentions, TRESSEL_CONTROL(markMentions)},
        {mentionColour, TRESSEL_CONTROL(mentionColour)},
        {attentionAlerts, TRESSEL_CONTROL(attentionAlerts)},
        {autoReconnect, TRESSEL_CONTROL(autoReconnect)},
        {proxyKind, TRESSEL_CONTROL(proxyKind)},
        {proxyHost, TRESSEL_CONTROL(proxyHost)},
        {proxyPort, TRESSEL_CONTROL(proxyPort)},
        {proxyUser, TRESSEL_CONTROL(proxyUser)},
        {proxyPassword, TRESSEL_CONTROL(proxyPassword)},
        {keepJournal, TRESSEL_CONTROL(keepJournal)},
        {readOut, TRESSEL_CONTROL(readOut)},
        {keepHistory, TRESSEL_CONTROL(keepHistory)},
        {historyDays, TRESSEL_CONTROL(historyDays)},
        {historyMegabytes, TRESSEL_CONTROL(historyMegabytes)},
        {earlierLines, TRESSEL_CONTROL(earlierLines)},
    };
    static_assert(sizeof mappings / sizeof mappings[0] == std::size_t(Count),
                  "every setting of the table has its control");
    std::vector<Setting> out;
    for (const Mapping &m : mappings) {
        const Def &d = def(m.id);
        Q_ASSERT(std::size_t(m.id) == out.size());
        out.push_back({m.id, m.control, m.name, d.file, d.section, d.key, d.start});
    }
    return out;
}

#undef TRESSEL_CONTROL
} // namespace

const std::vector<Setting> &all()
{
    static const std::vector<Setting> settings = table();
    return settings;
}

} // namespace TSettings
