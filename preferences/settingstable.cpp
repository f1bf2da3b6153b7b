#include "preferences/settingstable.h"

namespace TSettings {

// The member and its name, written once.
#define TRESSEL_CONTROL(member) &Toptions::member, #member

const std::vector<Setting> &all()
{
    using F = File;
    static const std::vector<Setting> table = {
        {F::Conf, "misc", "username", TRESSEL_CONTROL(username), ""},
        {F::Conf, "misc", "password", TRESSEL_CONTROL(password), ""},
        {F::Conf, "misc", "server", TRESSEL_CONTROL(server), "useast.battle.net"},
        {F::Conf, "misc", "homechannel", TRESSEL_CONTROL(homechannel), ""},
        {F::Conf, "misc", "awaymessage", TRESSEL_CONTROL(awaymessage), ""},

        {F::Conf, "logging", "logfilename", TRESSEL_CONTROL(logfilename), ""},
        {F::Conf, "logging", "rawlogfilename", TRESSEL_CONTROL(rawlogfilename), ""},
        {F::Conf, "logging", "keeplog", TRESSEL_CONTROL(keeplog), "0"},
        {F::Conf, "logging", "keeprawlog", TRESSEL_CONTROL(keeprawlog), "0"},

        {F::Conf, "features", "anticensor", TRESSEL_CONTROL(anticensor), "0"},
        {F::Conf, "features", "alertwhisper", TRESSEL_CONTROL(alertwhisper), "0"},
        {F::Conf, "features", "suppressplaysound", TRESSEL_CONTROL(suppressplaysound), "0"},
        {F::Conf, "features", "confirmquit", TRESSEL_CONTROL(confirmquit), "0"},
        {F::Conf, "features", "dblclickcommand", TRESSEL_CONTROL(dblclickcommand), "0"},
        {F::Conf, "features", "timeStamps", TRESSEL_CONTROL(timestamps), "0"},
        {F::Conf, "features", "autoConnect", TRESSEL_CONTROL(autoconnect), "0"},
        {F::Conf, "features", "notifications", TRESSEL_CONTROL(notifications), "0"},
        {F::Conf, "features", "onlynotesafe", TRESSEL_CONTROL(onlynotesafe), "0"},
        {F::Conf, "features", "antiidle", TRESSEL_CONTROL(antiidle), "0"},
        {F::Conf, "features", "idletype", TRESSEL_CONTROL(ai_users), "1"},

        {F::Conf, "autosquelch", "squelchPrompt", TRESSEL_CONTROL(squelchPrompt), "0"},
        {F::Conf, "autosquelch", "squelchFlooders", TRESSEL_CONTROL(squelchFlooders), "0"},
        {F::Conf, "autosquelch", "squelchAscii", TRESSEL_CONTROL(squelchAscii), "0"},
        {F::Conf, "autosquelch", "squelchUc", TRESSEL_CONTROL(squelchUc), "0"},
        {F::Conf, "autosquelch", "squelchLeet", TRESSEL_CONTROL(squelchLeet), "0"},
        {F::Conf, "autosquelch", "asciiPercentage", TRESSEL_CONTROL(AsciiPercentage), "40"},
        {F::Conf, "autosquelch", "ucPercentage", TRESSEL_CONTROL(ucPercentage), "60"},
        {F::Conf, "autosquelch", "leetPercentage", TRESSEL_CONTROL(leetPercentage), "1"},
        {F::Conf, "autosquelch", "minLineLength", TRESSEL_CONTROL(minLineLength), "1"},
        {F::Conf, "autosquelch", "autoAction", TRESSEL_CONTROL(autoAction), "-1"},
        {F::Conf, "autosquelch", "dblClickAction", TRESSEL_CONTROL(dblClickAction), "-1"},
        {F::Conf, "autosquelch", "historyDelay", TRESSEL_CONTROL(HistoryDelay), "1"},
        {F::Conf, "autosquelch", "triggerPhrase", TRESSEL_CONTROL(triggers), nullptr},

        {F::Conf, "safelist", "safe", TRESSEL_CONTROL(safe), nullptr},

        {F::Conf, "colours", "bg_colour", TRESSEL_CONTROL(bg_colour), "White"},
        {F::Conf, "colours", "whisp_colour", TRESSEL_CONTROL(whisp_colour), "Purple"},
        {F::Conf, "colours", "time_colour", TRESSEL_CONTROL(time_colour), "Gray"},
        {F::Conf, "colours", "name_colour", TRESSEL_CONTROL(name_colour), "Maroon"},
        {F::Conf, "colours", "label_colour", TRESSEL_CONTROL(label_colour), "Navy"},
        {F::Conf, "colours", "error_colour", TRESSEL_CONTROL(error_colour), "Red"},
        {F::Conf, "colours", "your_name", TRESSEL_CONTROL(your_name), "Blue"},
        {F::Conf, "colours", "emote_colour", TRESSEL_CONTROL(emote_colour), "Green"},
        {F::Conf, "colours", "text_colour", TRESSEL_CONTROL(text_colour), "Black"},

        // The panes' own fonts are the start values.
        {F::Conf, "fonts", "chat_font", PaneFontPart{Toptions::ChatFont, false}, nullptr, nullptr},
        {F::Conf, "fonts", "chat_size", PaneFontPart{Toptions::ChatFont, true}, nullptr, nullptr},
        {F::Conf, "fonts", "user_font", PaneFontPart{Toptions::UserFont, false}, nullptr, nullptr},
        {F::Conf, "fonts", "user_size", PaneFontPart{Toptions::UserFont, true}, nullptr, nullptr},
        {F::Conf, "fonts", "text_font", PaneFontPart{Toptions::TextFont, false}, nullptr, nullptr},
        {F::Conf, "fonts", "text_size", PaneFontPart{Toptions::TextFont, true}, nullptr, nullptr},
        {F::Conf, "fonts", "raw_font", PaneFontPart{Toptions::RawFont, false}, nullptr, nullptr},
        {F::Conf, "fonts", "raw_size", PaneFontPart{Toptions::RawFont, true}, nullptr, nullptr},
        {F::Conf, "fonts", "brx_font", PaneFontPart{Toptions::BrxFont, false}, nullptr, nullptr},
        {F::Conf, "fonts", "brx_size", PaneFontPart{Toptions::BrxFont, true}, nullptr, nullptr},

        {F::Conf, "ProdActions", "action_diablos", TRESSEL_CONTROL(action_diablos), "0"},
        {F::Conf, "ProdActions", "action_diablo1", TRESSEL_CONTROL(action_diablo1), "0"},
        {F::Conf, "ProdActions", "action_diablo2", TRESSEL_CONTROL(action_diablo2), "0"},
        {F::Conf, "ProdActions", "action_starcrafts", TRESSEL_CONTROL(action_starcrafts), "0"},
        {F::Conf, "ProdActions", "action_starcraft", TRESSEL_CONTROL(action_starcraft), "0"},
        {F::Conf, "ProdActions", "action_broodwar", TRESSEL_CONTROL(action_broodwar), "0"},
        {F::Conf, "ProdActions", "action_warcraft", TRESSEL_CONTROL(action_warcraft), "0"},
        {F::Conf, "ProdActions", "action_bot", TRESSEL_CONTROL(action_bot), "0"},

        {F::Ini, "quota", "units", TRESSEL_CONTROL(quotaUnits), "5"},
        {F::Ini, "quota", "window", TRESSEL_CONTROL(quotaWindow), "5"},
        {F::Ini, "quota", "bytesPerUnit", TRESSEL_CONTROL(quotaBytesPerUnit), "40"},
        {F::Ini, "quota", "margin", TRESSEL_CONTROL(quotaMargin), "500"},
        {F::Ini, "text", "outgoingEncoding", TRESSEL_CONTROL(outgoingEncoding), "UTF-8"},
        {F::Ini, "comforts", "inputHistory", TRESSEL_CONTROL(inputHistory), "true"},
        {F::Ini, "comforts", "completion", TRESSEL_CONTROL(tabCompletion), "true"},
        {F::Ini, "comforts", "find", TRESSEL_CONTROL(findBar), "true"},
        {F::Ini, "comforts", "links", TRESSEL_CONTROL(showLinks), "true"},
        {F::Ini, "comforts", "mentions", TRESSEL_CONTROL(markMentions), "true"},
        {F::Ini, "comforts", "mentionColour", TRESSEL_CONTROL(mentionColour), "Money Green"},
        {F::Ini, "comforts", "attention", TRESSEL_CONTROL(attentionAlerts), "true"},
        {F::Ini, "connection", "reconnect", TRESSEL_CONTROL(autoReconnect), "false"},
        {F::Ini, "connection", "proxy", TRESSEL_CONTROL(proxyKind), "None"},
        {F::Ini, "connection", "proxyHost", TRESSEL_CONTROL(proxyHost), ""},
        {F::Ini, "connection", "proxyPort", TRESSEL_CONTROL(proxyPort), "1080"},
        {F::Ini, "connection", "proxyUser", TRESSEL_CONTROL(proxyUser), ""},
        {F::Ini, "connection", "proxyPassword", TRESSEL_CONTROL(proxyPassword), ""},
        {F::Ini, "moderation", "journal", TRESSEL_CONTROL(keepJournal), "true"},
        {F::Ini, "access", "readOut", TRESSEL_CONTROL(readOut),
         "Whispers, mentions, Console, Errors"},
        {F::Ini, "history", "keep", TRESSEL_CONTROL(keepHistory), "true"},
        {F::Ini, "history", "days", TRESSEL_CONTROL(historyDays), "365"},
        {F::Ini, "history", "megabytes", TRESSEL_CONTROL(historyMegabytes), "2048"},
        {F::Ini, "history", "earlier", TRESSEL_CONTROL(earlierLines), "false"},
    };
    return table;
}

#undef TRESSEL_CONTROL

} // namespace TSettings
