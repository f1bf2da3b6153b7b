#include "commands.h"

#include "gatewayconnection.h"
#include "gatewayserver.h"

#include <QDateTime>
#include <QHash>
#include <QLocale>

namespace {

using Member = ChannelModel::Member;

constexpr int MaxChannelName = 31;

const QList<QByteArray> RecordProducts = {"STAR", "SEXP", "SSHR", "JSTR", "W2BN",
                                          "D2DV", "D2XP", "DRTL", "DSHR"};

const QList<QByteArray> MeUsage = {
    "/me <message> (alias: /emote)",
    "   Displays your name and <message> in a different color.",
    "   ",
    "   Example: /emote wants to play a game.",
};
const QList<QByteArray> WhisperUsage = {
    "/whisper <player> <message> (aliases: /w /m /msg)",
    "   Sends a private <message> to <player>",
    "   ",
    "   Example: /whisper nomad How are you doing?",
};
const QList<QByteArray> JoinUsage = {
    "/channel <channel> (alias: /join /j)",
    "   Moves you to <channel>",
    "   ",
    "   Example: /channel Moderated Support",
};
const QList<QByteArray> HelpLines = {
    "Chat commands : ",
    " /whois /whereis /where",
    " /msg /whisper /m /w",
    " /ignore /squelch",
    " /unignore /unsquelch",
    " /away",
    " /dnd",
    " /who",
    " /stats /astat",
    " /status /users",
    " /time",
    " /channel /join /j",
    " /rejoin",
    " /me /emote",
    " /kick",
    " /ban",
    " /unban",
    " /whoami",
    " /uptime",
    " /version",
    " /lusers",
    " /games",
    " /channels /chs",
    " /connections /con",
    " /finger",
    " /admins",
    " /reply /r",
    " /news",
    " /logout /quit /exit",
    " /watch",
    " /unwatch",
    " /watchall",
    " /unwatchall",
    " /gameinfo",
    " /ladderinfo",
    " /timer",
    " /netinfo",
    " /chpass",
    " /quota",
    " /friends /f",
    " /mail",
    " /help",
    " /motd",
    " /tos",
    " /clan",
    " /ping /p /latency",
    " /aop",
    " /op",
    " /deop",
    " /tmpop",
    " /vop",
    " /voice",
    " /devoice",
    " /topic",
    " /moderate",
    " /icon",
    " /language /lang",
};

QByteArray key(const QByteArray &name) { return ChannelModel::key(name); }

QByteArray productTitle(const QByteArray &product)
{
    static const QHash<QByteArray, QByteArray> titles = {
        {"CHAT", "Chat"},
        {"STAR", "Starcraft"},
        {"SEXP", "Starcraft Brood War"},
        {"SSHR", "Starcraft Shareware"},
        {"JSTR", "Starcraft Japanese"},
        {"W2BN", "Warcraft II Battle.net Edition"},
        {"D2DV", "Diablo II"},
        {"D2XP", "Diablo II Lord of Destruction"},
        {"DRTL", "Diablo"},
        {"DSHR", "Diablo Shareware"},
    };
    return titles.value(product, "an unknown client");
}

} // namespace

// The handlers, one per command; a friend of the server, whose channels and
// lines they use.
struct ClientCommands {
    static void me(const CommandCall &c);
    static void whisper(const CommandCall &c);
    static void reply(const CommandCall &c);
    static void join(const CommandCall &c);
    static void rejoin(const CommandCall &c);
    static void squelch(const CommandCall &c);
    static void unsquelch(const CommandCall &c);
    static void away(const CommandCall &c) { absence(c, true); }
    static void dnd(const CommandCall &c) { absence(c, false); }
    static void whois(const CommandCall &c);
    static void whoami(const CommandCall &c);
    static void users(const CommandCall &c);
    static void time(const CommandCall &c);
    static void stats(const CommandCall &c);
    static void who(const CommandCall &c);
    static void quit(const CommandCall &c);
    static void help(const CommandCall &c);
    static void adminOnly(const CommandCall &c);
    static void operatorOnly(const CommandCall &c);
    static void unban(const CommandCall &c);
    static void unknown(const CommandCall &c);

    static void run(GatewayServer &server, Member *m, const QByteArray &name,
                    const QByteArray &rest);

private:
    static void absence(const CommandCall &c, bool away);
    // The member a squelch command names, after the errors for a missing or
    // unknown one, or for the sender itself.
    static Member *squelchTarget(const CommandCall &c);
};

const QList<Command> &commandTable()
{
    static const QList<Command> table = {
        {{"me", "emote"}, ClientCommands::me},
        {{"whisper", "w", "m", "msg"}, ClientCommands::whisper},
        {{"reply", "r"}, ClientCommands::reply},
        {{"channel", "join", "j"}, ClientCommands::join},
        {{"rejoin"}, ClientCommands::rejoin},
        {{"squelch", "ignore"}, ClientCommands::squelch},
        {{"unsquelch", "unignore"}, ClientCommands::unsquelch},
        {{"away"}, ClientCommands::away},
        {{"dnd"}, ClientCommands::dnd},
        {{"whois", "whereis", "where"}, ClientCommands::whois},
        {{"whoami"}, ClientCommands::whoami},
        {{"users"}, ClientCommands::users},
        {{"time"}, ClientCommands::time},
        {{"stats", "astat"}, ClientCommands::stats},
        {{"who"}, ClientCommands::who},
        {{"quit", "logout", "exit"}, ClientCommands::quit},
        {{"help", "?"}, ClientCommands::help},
        {{"announce", "ann"}, ClientCommands::adminOnly},
        {{"kick"}, ClientCommands::operatorOnly},
        {{"ban"}, ClientCommands::operatorOnly},
        {{"unban"}, ClientCommands::unban},
    };
    return table;
}

CommandHandler findCommand(const QByteArray &name)
{
    static const QHash<QByteArray, CommandHandler> byName = [] {
        QHash<QByteArray, CommandHandler> names;
        for (const Command &command : commandTable())
            for (const QByteArray &n : command.names)
                names.insert(n, command.handler);
        return names;
    }();
    return byName.value(name);
}

void runCommand(GatewayServer &server, Member *m, const QByteArray &name, const QByteArray &rest)
{
    ClientCommands::run(server, m, name, rest);
}

void ClientCommands::run(GatewayServer &server, Member *m, const QByteArray &name,
                         const QByteArray &rest)
{
    QByteArray tail;
    const QByteArray arg = firstWord(rest, &tail);
    const CommandCall call{server, m, server.connectionOf(m), name, rest, arg, tail};
    if (const CommandHandler handler = findCommand(name))
        handler(call);
    else
        unknown(call);
}

QByteArray firstWord(const QByteArray &text, QByteArray *rest)
{
    const int sp = text.indexOf(' ');
    if (sp < 0) {
        *rest = QByteArray();
        return text;
    }
    *rest = text.mid(sp + 1);
    return text.left(sp);
}

// ---- talking --------------------------------------------------------------

void ClientCommands::me(const CommandCall &c)
{
    if (c.rest.isEmpty())
        c.server.usage(c.member, MeUsage);
    else
        c.server.emote(c.member, c.rest);
}

void ClientCommands::whisper(const CommandCall &c)
{
    if (c.arg.isEmpty() || c.tail.isEmpty())
        c.server.usage(c.member, WhisperUsage);
    else
        c.server.whisper(c.member, c.arg, c.tail);
}

void ClientCommands::reply(const CommandCall &c)
{
    if (c.conn->lastWhisperer.isEmpty())
        c.server.error(c.member, "No one messaged you, use /m instead");
    else if (!c.rest.isEmpty())
        c.server.whisper(c.member, c.conn->lastWhisperer, c.rest);
}

// ---- channels -------------------------------------------------------------

void ClientCommands::join(const CommandCall &c)
{
    GatewayServer &s = c.server;
    if (c.rest.isEmpty())
        s.usage(c.member, JoinUsage);
    else if (c.rest.size() > MaxChannelName)
        s.error(c.member, "Max channel name length exceeded (max 31 symbols)");
    else if (const QByteArray refusal = s.channelRefusal(c.rest); !refusal.isEmpty())
        s.send(c.member, refusal);
    else if (key(c.rest) != c.member->channel)
        s.enterChannel(c.member, c.rest, true);
}

void ClientCommands::rejoin(const CommandCall &c)
{
    if (c.member->channel.isEmpty())
        return;
    const QByteArray name = c.server.m_model.channelName(c.member);
    c.server.m_model.leave(c.member);
    c.server.enterChannel(c.member, name, true);
}

void ClientCommands::who(const CommandCall &c)
{
    const ChannelModel::Channel *channel = c.server.m_model.channel(c.rest);
    if (c.rest.isEmpty() || !channel) {
        c.server.error(c.member, "That channel does not exist.");
        return;
    }
    QByteArray names;
    for (int i = channel->members.size() - 1; i >= 0; --i)
        names += ' ' + channel->members[i]->name;
    c.server.info(c.member, "Users in channel " + channel->name + ':' + names);
}

// ---- squelches and absence ------------------------------------------------

Member *ClientCommands::squelchTarget(const CommandCall &c)
{
    Member *target = c.arg.isEmpty() ? nullptr : c.server.findMember(c.arg);
    if (c.arg.isEmpty())
        c.server.error(c.member, "Who do you want to " + c.name + '?');
    else if (!target)
        c.server.error(c.member, "Unknown user.");
    else if (target == c.member)
        c.server.error(c.member, "You can't squelch yourself.");
    else
        return target;
    return nullptr;
}

void ClientCommands::squelch(const CommandCall &c)
{
    const Member *target = squelchTarget(c);
    if (!target)
        return;
    ChannelModel &model = c.server.m_model;
    model.squelch(c.member, target);
    if (target->channel == c.member->channel)
        model.showFlags(c.member, target);
    c.server.info(c.member, target->name + " has been squelched.");
}

void ClientCommands::unsquelch(const CommandCall &c)
{
    const Member *target = squelchTarget(c);
    if (!target)
        return;
    ChannelModel &model = c.server.m_model;
    if (!model.unsquelch(c.member, target)) {
        c.server.info(c.member, target->name + " is not being ignored.");
        return;
    }
    c.server.info(c.member, "No longer ignoring.");
    if (target->channel == c.member->channel)
        model.showFlags(c.member, target);
}

void ClientCommands::absence(const CommandCall &c, bool away)
{
    bool &state = away ? c.conn->isAway : c.conn->dnd;
    QByteArray &message = away ? c.conn->away : c.conn->dndMessage;
    if (c.rest.isEmpty() && state) {
        state = false;
        message.clear();
        c.server.info(c.member,
                      away ? "You are no longer marked as away." : "Do Not Disturb mode canceled.");
    } else {
        state = true;
        message = c.rest.isEmpty() ? QByteArray("Currently not available") : c.rest;
        c.server.info(c.member,
                      away ? "You are now marked as being away." : "Do Not Disturb mode engaged.");
    }
}

// ---- information ----------------------------------------------------------

void ClientCommands::whois(const CommandCall &c)
{
    GatewayServer &s = c.server;
    const Member *target = c.arg.isEmpty() ? nullptr : s.findMember(c.arg);
    if (!target) {
        s.error(c.member, "Unknown user.");
        return;
    }
    QByteArray where = target->name + " is using " + productTitle(target->product);
    if (!target->channel.isEmpty())
        where += " and is currently in channel \"" + s.m_model.channelName(target) + '"';
    s.info(c.member, where + '.');
    const GatewayConnection *targetConn = s.connectionOf(target);
    if (targetConn && targetConn->isAway)
        s.info(c.member, target->name + " away (" + targetConn->away + ')');
    if (targetConn && targetConn->dnd)
        s.info(c.member, target->name + " refuses messages (" + targetConn->dndMessage + ')');
}

void ClientCommands::whoami(const CommandCall &c)
{
    QByteArray where = "You are using " + productTitle(c.member->product);
    if (!c.member->channel.isEmpty())
        where += " and are currently in channel \"" + c.server.m_model.channelName(c.member) + '"';
    c.server.info(c.member, where + '.');
}

void ClientCommands::users(const CommandCall &c)
{
    c.server.info(c.member, "There are currently " + QByteArray::number(c.server.userCount()) +
                                " users online, in 0 games, and in " +
                                QByteArray::number(c.server.channelCount()) + " channels.");
}

void ClientCommands::time(const CommandCall &c)
{
    c.server.info(
        c.member,
        "Server Time: " +
            QLocale::c().toString(QDateTime::currentDateTime(), "ddd MMM dd HH:mm:ss").toLatin1());
}

void ClientCommands::stats(const CommandCall &c)
{
    GatewayServer &s = c.server;
    const Member *target = c.arg.isEmpty() ? c.member : s.findMember(c.arg);
    const QByteArray product =
        c.tail.isEmpty() ? (target ? target->product : QByteArray()) : key(c.tail).toUpper();
    if (!target) {
        s.error(c.member, "Invalid user.");
    } else if (!RecordProducts.contains(product)) {
        s.error(c.member, "This game does not support win/loss records.");
        s.error(c.member, "You must supply a user name and a valid program ID.");
        s.error(c.member, "Example: /stats joe STAR");
    } else {
        s.info(c.member, target->name + "'s record:");
        s.info(c.member, "Ladder games: [n00b] 0 pts (0/0/0)");
        s.info(c.member, "Normal games: [n00b] 0 pts (0/0/0)");
    }
}

void ClientCommands::help(const CommandCall &c)
{
    for (const QByteArray &line : HelpLines)
        c.server.info(c.member, line);
}

// ---- the rest -------------------------------------------------------------

void ClientCommands::quit(const CommandCall &c)
{
    c.server.info(c.member, "Connection closed.");
    c.conn->close();
}

void ClientCommands::adminOnly(const CommandCall &c)
{
    c.server.error(c.member, "This command is reserved for admins.");
}

void ClientCommands::operatorOnly(const CommandCall &c)
{
    c.server.error(c.member, "You have to be at least a Channel Operator to use this command.");
}

void ClientCommands::unban(const CommandCall &c)
{
    c.server.error(c.member, "You are not a channel operator.");
}

void ClientCommands::unknown(const CommandCall &c) { c.server.error(c.member, "Unknown command."); }
