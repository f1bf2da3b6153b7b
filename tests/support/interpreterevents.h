#pragma once
// Every typed event of the interpreter handed to one function, by its name
// ("Talk", "Join", ...) and its fields in order.
#include "interpreter/TBnetChat.h"

#include <QStringList>
#include <functional>

inline void listenToEvents(TBnetChat &chat,
                           const std::function<void(const QString &, const QStringList &)> &note)
{
    const auto fields = [note](const char *name) {
        return [note, name](const auto &...values) {
            note(QString::fromLatin1(name), QStringList{values...});
        };
    };
    chat.OnTalk = fields("Talk");
    chat.OnWhisper = fields("Whisper");
    chat.OnWhisperSent = fields("WhisperSent");
    chat.OnEmote = fields("Emote");
    chat.OnShowUser = fields("ShowUser");
    chat.OnJoin = fields("Join");
    chat.OnLeave = fields("Leave");
    chat.OnInfo = fields("Info");
    chat.OnBroadcast = fields("Broadcast");
    chat.OnChannel = fields("Channel");
    chat.OnChannelFull = fields("ChannelFull");
    chat.OnChanNotExist = fields("ChanNotExist");
    chat.OnRestricted = fields("Restricted");
    chat.OnError = fields("Error");
    chat.OnUnHandled = fields("UnHandled");
    chat.OnUserFlags = fields("UserFlags");
    chat.OnUniqueName = fields("UniqueName");
}
