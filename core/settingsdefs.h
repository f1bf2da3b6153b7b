#pragma once
// Every setting of the program, named once: the file and section it is kept
// in, its key, its kind, the value it starts with and the values it may
// take. The store (settingsstore.h) holds the values by this table; the
// preferences dialog maps each entry to its control, and its reader and
// writer of tressel.conf and tressel.ini go by this table, in its order
// (the order of the files).
#include <QString>
#include <QStringList>
#include <QtGlobal>

#include <vector>

namespace TSetting {

// One per setting, in the order of the table. The names are those of the
// dialog's controls (the file's keys differ in places: timestamps is
// "timeStamps", AsciiPercentage "asciiPercentage").
enum Id : int {
    // tressel.conf
    username,
    password,
    server,
    homechannel,
    awaymessage,
    logfilename,
    rawlogfilename,
    keeplog,
    keeprawlog,
    anticensor,
    alertwhisper,
    suppressplaysound,
    confirmquit,
    dblclickcommand,
    timestamps,
    autoconnect,
    notifications,
    onlynotesafe,
    antiidle,
    idletype, // 1 "/users", 2 "/stats", 3 "/time"
    squelchPrompt,
    squelchFlooders,
    squelchAscii,
    squelchUc,
    squelchLeet,
    AsciiPercentage,
    ucPercentage,
    leetPercentage,
    minLineLength,
    autoAction,
    dblClickAction,
    HistoryDelay,
    triggers,
    safe,
    bg_colour,
    whisp_colour,
    time_colour,
    name_colour,
    label_colour,
    error_colour,
    your_name,
    emote_colour,
    text_colour,
    chat_font,
    chat_size,
    user_font,
    user_size,
    text_font,
    text_size,
    raw_font,
    raw_size,
    brx_font,
    brx_size,
    action_diablos,
    action_diablo1,
    action_diablo2,
    action_starcrafts,
    action_starcraft,
    action_broodwar,
    action_warcraft,
    action_bot,
    // tressel.ini
    quotaUnits,
    quotaWindow,
    quotaBytesPerUnit,
    quotaMargin,
    outgoingEncoding,
    inputHistory,
    tabCompletion,
    findBar,
    showLinks,
    markMentions,
    mentionColour,
    attentionAlerts,
    autoReconnect,
    proxyKind, // in TProxyChoice::Kind's order
    proxyHost,
    proxyPort,
    proxyUser,
    proxyPassword,
    keepJournal,
    readOut,
    keepHistory,
    historyDays,
    historyMegabytes,
    earlierLines,
    Count
};

enum class File { Conf, Ini };

// What a value is. A text holds bytes (one byte per char); a pick list the
// index of its entry (-1: none); a colour one of the twenty names; a font
// face the family name and a font size points.
enum class Kind { Text, Flag, Choice, Number, Pick, Colour, List, FontFace, FontSize };

struct Def {
    Id id;
    File file;
    const char *section; // "misc" is [misc] in tressel.conf; "quota" is quota/ in tressel.ini
    const char *key;     // written key=value; a list writes one line per entry
    Kind kind;
    const char *start;   // the start value as the file holds it; nullptr: none (a list)
    int minimum = 0;     // numbers and the choice: the range; a pick list: -1 (none)
    int maximum = 0;     // numbers and the choice; a pick list: its last index
    QStringList entries; // a pick list's entries; the server's offered hosts
};

// The whole table, in the order of the files; all()[id].id == id.
const std::vector<Def> &all();
inline const Def &def(Id id) { return all()[std::size_t(id)]; }

// The pane a font setting belongs to, in the order of the [fonts] section
// (chat, users, text, whisper, brx); its face and size settings.
enum Pane { ChatPane, UserPane, TextPane, RawPane, BrxPane, PaneCount };
Id faceOf(Pane pane);
Id sizeOf(Pane pane);

} // namespace TSetting

// The twenty colours every colour setting offers, in list order, as
// 0xAARRGGBB (what QRgb holds).
namespace TColours {
using Rgb = quint32;
int count();
QString name(int index);               // empty outside the list
Rgb rgb(int index);                    // 0 outside the list
int indexOf(const QString &exactName); // -1 when no colour is called so
} // namespace TColours
