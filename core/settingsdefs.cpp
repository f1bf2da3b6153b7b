#include "core/settingsdefs.h"

namespace TSetting {

namespace {
QStringList productActions()
{
    return {QStringLiteral("None"), QStringLiteral("/brx "), QStringLiteral("/ignore "),
            QStringLiteral("/whois ")};
}

Def pick(Id id, File file, const char *section, const char *key, const char *start,
         const QStringList &entries)
{
    return {id, file, section, key, Kind::Pick, start, -1, int(entries.size()) - 1, entries};
}

Def plain(Id id, File file, const char *section, const char *key, Kind kind, const char *start)
{
    return {id, file, section, key, kind, start, 0, 0, {}};
}

Def number(Id id, File file, const char *section, const char *key, const char *start, int minimum,
           int maximum)
{
    return {id, file, section, key, Kind::Number, start, minimum, maximum, {}};
}

std::vector<Def> table()
{
    using F = File;
    using K = Kind;
    const F C = F::Conf;
    const F I = F::Ini;
    return {
        plain(username, C, "misc", "username", K::Text, ""),
        plain(password, C, "misc", "password", K::Text, ""),
        // The gateways offered; the first is the start value.
        {server,
         C,
         "misc",
         "server",
         K::Text,
         "useast.battle.net",
         0,
         0,
         {QStringLiteral("useast.battle.net"), QStringLiteral("uswest.battle.net"),
          QStringLiteral("europe.battle.net"), QStringLiteral("asia.battle.net")}},
        plain(homechannel, C, "misc", "homechannel", K::Text, ""),
        plain(awaymessage, C, "misc", "awaymessage", K::Text, ""),

        plain(logfilename, C, "logging", "logfilename", K::Text, ""),
        plain(rawlogfilename, C, "logging", "rawlogfilename", K::Text, ""),
        plain(keeplog, C, "logging", "keeplog", K::Flag, "0"),
        plain(keeprawlog, C, "logging", "keeprawlog", K::Flag, "0"),

        plain(anticensor, C, "features", "anticensor", K::Flag, "0"),
        plain(alertwhisper, C, "features", "alertwhisper", K::Flag, "0"),
        plain(suppressplaysound, C, "features", "suppressplaysound", K::Flag, "0"),
        plain(confirmquit, C, "features", "confirmquit", K::Flag, "0"),
        plain(dblclickcommand, C, "features", "dblclickcommand", K::Flag, "0"),
        plain(timestamps, C, "features", "timeStamps", K::Flag, "0"),
        plain(autoconnect, C, "features", "autoConnect", K::Flag, "0"),
        plain(notifications, C, "features", "notifications", K::Flag, "0"),
        plain(onlynotesafe, C, "features", "onlynotesafe", K::Flag, "0"),
        plain(antiidle, C, "features", "antiidle", K::Flag, "0"),
        {idletype, C, "features", "idletype", K::Choice, "1", 1, 3, {}},

        plain(squelchPrompt, C, "autosquelch", "squelchPrompt", K::Flag, "0"),
        plain(squelchFlooders, C, "autosquelch", "squelchFlooders", K::Flag, "0"),
        plain(squelchAscii, C, "autosquelch", "squelchAscii", K::Flag, "0"),
        plain(squelchUc, C, "autosquelch", "squelchUc", K::Flag, "0"),
        plain(squelchLeet, C, "autosquelch", "squelchLeet", K::Flag, "0"),
        number(AsciiPercentage, C, "autosquelch", "asciiPercentage", "40", 1, 100),
        number(ucPercentage, C, "autosquelch", "ucPercentage", "60", 1, 100),
        number(leetPercentage, C, "autosquelch", "leetPercentage", "1", 1, 100),
        number(minLineLength, C, "autosquelch", "minLineLength", "1", 1, 255),
        pick(autoAction, C, "autosquelch", "autoAction", "-1",
             {QStringLiteral("Permasquelch"), QStringLiteral("Ignore")}),
        pick(dblClickAction, C, "autosquelch", "dblClickAction", "-1",
             {QStringLiteral("Toggle Permasquelch"), QStringLiteral("Toggle Ignore Mode"),
              QStringLiteral("Copy Username")}),
        number(HistoryDelay, C, "autosquelch", "historyDelay", "1", 1, 600),
        plain(triggers, C, "autosquelch", "triggerPhrase", K::List, nullptr),

        plain(safe, C, "safelist", "safe", K::List, nullptr),

        plain(bg_colour, C, "colours", "bg_colour", K::Colour, "White"),
        plain(whisp_colour, C, "colours", "whisp_colour", K::Colour, "Purple"),
        plain(time_colour, C, "colours", "time_colour", K::Colour, "Gray"),
        plain(name_colour, C, "colours", "name_colour", K::Colour, "Maroon"),
        plain(label_colour, C, "colours", "label_colour", K::Colour, "Navy"),
        plain(error_colour, C, "colours", "error_colour", K::Colour, "Red"),
        plain(your_name, C, "colours", "your_name", K::Colour, "Blue"),
        plain(emote_colour, C, "colours", "emote_colour", K::Colour, "Green"),
        plain(text_colour, C, "colours", "text_colour", K::Colour, "Black"),

        plain(chat_font, C, "fonts", "chat_font", K::FontFace, "MS Sans Serif"),
        plain(chat_size, C, "fonts", "chat_size", K::FontSize, "8"),
        plain(user_font, C, "fonts", "user_font", K::FontFace, "MS Sans Serif"),
        plain(user_size, C, "fonts", "user_size", K::FontSize, "7"),
        plain(text_font, C, "fonts", "text_font", K::FontFace, "MS Sans Serif"),
        plain(text_size, C, "fonts", "text_size", K::FontSize, "8"),
        plain(raw_font, C, "fonts", "raw_font", K::FontFace, "MS Sans Serif"),
        plain(raw_size, C, "fonts", "raw_size", K::FontSize, "8"),
        plain(brx_font, C, "fonts", "brx_font", K::FontFace, "MS Sans Serif"),
        plain(brx_size, C, "fonts", "brx_size", K::FontSize, "7"),

        pick(action_diablos, C, "ProdActions", "action_diablos", "0", productActions()),
        pick(action_diablo1, C, "ProdActions", "action_diablo1", "0", productActions()),
        pick(action_diablo2, C, "ProdActions", "action_diablo2", "0", productActions()),
        pick(action_starcrafts, C, "ProdActions", "action_starcrafts", "0", productActions()),
        pick(action_starcraft, C, "ProdActions", "action_starcraft", "0", productActions()),
        pick(action_broodwar, C, "ProdActions", "action_broodwar", "0", productActions()),
        pick(action_warcraft, C, "ProdActions", "action_warcraft", "0", productActions()),
        pick(action_bot, C, "ProdActions", "action_bot", "0", productActions()),

        // The server's flood quota: units per window, the window in
        // seconds, bytes per unit, and a margin in ms for the network.
        number(quotaUnits, I, "quota", "units", "5", 2, 100),
        number(quotaWindow, I, "quota", "window", "5", 1, 60),
        number(quotaBytesPerUnit, I, "quota", "bytesPerUnit", "40", 1, 256),
        number(quotaMargin, I, "quota", "margin", "500", 0, 5000),
        pick(outgoingEncoding, I, "text", "outgoingEncoding", "UTF-8",
             {QStringLiteral("UTF-8"), QStringLiteral("Windows-1252")}),
        plain(inputHistory, I, "comforts", "inputHistory", K::Flag, "true"),
        plain(tabCompletion, I, "comforts", "completion", K::Flag, "true"),
        plain(findBar, I, "comforts", "find", K::Flag, "true"),
        plain(showLinks, I, "comforts", "links", K::Flag, "true"),
        plain(markMentions, I, "comforts", "mentions", K::Flag, "true"),
        plain(mentionColour, I, "comforts", "mentionColour", K::Colour, "Money Green"),
        plain(attentionAlerts, I, "comforts", "attention", K::Flag, "true"),
        plain(autoReconnect, I, "connection", "reconnect", K::Flag, "false"),
        // The proxy the link goes through, in TProxyChoice::Kind's order,
        // and the one given by hand.
        pick(proxyKind, I, "connection", "proxy", "None",
             {QStringLiteral("None"), QStringLiteral("From the environment"),
              QStringLiteral("SOCKS5"), QStringLiteral("HTTP CONNECT")}),
        plain(proxyHost, I, "connection", "proxyHost", K::Text, ""),
        number(proxyPort, I, "connection", "proxyPort", "1080", 1, 65535),
        plain(proxyUser, I, "connection", "proxyUser", K::Text, ""),
        plain(proxyPassword, I, "connection", "proxyPassword", K::Text, ""),
        plain(keepJournal, I, "moderation", "journal", K::Flag, "true"),
        // In the order of TReadOut::Level.
        pick(readOut, I, "access", "readOut", "Whispers, mentions, Console, Errors",
             {QStringLiteral("All lines"), QStringLiteral("Whispers, mentions, Console, Errors"),
              QStringLiteral("None")}),
        plain(keepHistory, I, "history", "keep", K::Flag, "true"),
        number(historyDays, I, "history", "days", "365", 1, 9999),
        number(historyMegabytes, I, "history", "megabytes", "2048", 16, 9999),
        plain(earlierLines, I, "history", "earlier", K::Flag, "false"),
    };
}
} // namespace

const std::vector<Def> &all()
{
    static const std::vector<Def> defs = table();
    return defs;
}

Id faceOf(Pane pane) { return Id(chat_font + 2 * int(pane)); }

Id sizeOf(Pane pane) { return Id(chat_size + 2 * int(pane)); }

} // namespace TSetting

namespace TColours {

namespace {
struct NamedColour {
    const char *name;
    int r, g, b;
};
const NamedColour colours[] = {
    {"Black", 0, 0, 0},
    {"Maroon", 128, 0, 0},
    {"Green", 0, 128, 0},
    {"Olive", 128, 128, 0},
    {"Navy", 0, 0, 128},
    {"Purple", 128, 0, 128},
    {"Teal", 0, 128, 128},
    {"Gray", 128, 128, 128},
    {"Silver", 192, 192, 192},
    {"Red", 255, 0, 0},
    {"Lime", 0, 255, 0},
    {"Yellow", 255, 255, 0},
    {"Blue", 0, 0, 255},
    {"Fuchsia", 255, 0, 255},
    {"Aqua", 0, 255, 255},
    {"White", 255, 255, 255},
    {"Money Green", 192, 220, 192},
    {"Sky Blue", 166, 202, 240},
    {"Cream", 255, 251, 240},
    {"Med Gray", 160, 160, 164},
};
constexpr int total = int(sizeof colours / sizeof colours[0]);
} // namespace

int count() { return total; }

QString name(int index)
{
    return index >= 0 && index < total ? QString::fromLatin1(colours[index].name) : QString();
}

Rgb rgb(int index)
{
    if (index < 0 || index >= total)
        return 0;
    const NamedColour &c = colours[index];
    return 0xff000000u | (Rgb(c.r) << 16) | (Rgb(c.g) << 8) | Rgb(c.b);
}

int indexOf(const QString &exactName)
{
    for (int i = 0; i < total; ++i)
        if (exactName == QLatin1String(colours[i].name))
            return i;
    return -1;
}

} // namespace TColours
