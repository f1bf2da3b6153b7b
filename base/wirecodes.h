#pragma once
// The numbers of the chat gateway's line protocol: the event code that starts
// every line the server sends, and the server's limits. The client's parser
// and the local gateway both use these names, and nothing else of each other.

namespace Wire {

// The four-digit code at the start of a server line.
enum Event : int {
    ShowUser = 1001,       // "1001 USER name flags [PROD]": a member already there
    Join = 1002,           // "1002 JOIN name flags [PROD]"
    Leave = 1003,          // "1003 LEAVE name flags"
    Whisper = 1004,        // "1004 WHISPER name flags \"text\"": a whisper to us
    Talk = 1005,           // "1005 TALK name flags \"text\""
    Broadcast = 1006,      // "1006 _ \"text\"": a server broadcast
    Channel = 1007,        // "1007 CHANNEL \"name\"": we are in this channel now
    UserFlags = 1009,      // "1009 USER name flags": a member's flags changed
    WhisperSent = 1010,    // "1010 WHISPER name flags \"text\"": our whisper went out
    ChannelFull = 1013,    // "1013 CHANNELFULL \"name\""
    ChannelMissing = 1014, // "1014 CHANNELDOESNOTEXIST \"name\""
    Restricted = 1015,     // "1015 CHANNELRESTRICTED \"name\""
    Info = 1018,           // "1018 INFO \"text\""
    Error = 1019,          // "1019 ERROR \"text\""
    Emote = 1023,          // "1023 EMOTE name flags \"text\""
    Null = 2000,           // keep-alive, no text
    UniqueName = 2010,     // "2010 NAME name": the name the server gave us
};

// The longest line the server takes, CR LF not counted; a longer one is
// refused with an error and not delivered.
constexpr int MaxLine = 200;
// The longest member name; longer names are cut to this length.
constexpr int NameLength = 40;
// Every started run of this many bytes of a line is one unit of the flood
// quota, the unit the server counts.
constexpr int QuotaBytesPerUnit = 40;
// The pause the client keeps between two lines it sends on its own pace.
constexpr int FloodIntervalMs = 1500;

} // namespace Wire
