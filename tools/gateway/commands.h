#pragma once
// The commands a client sends ("/join Moderated Support", "/w nomad hi"): one
// table entry per command, from its name and aliases to the function that
// carries it out, looked up once per line.
#include "channelmodel.h"

#include <QByteArray>
#include <QList>

class GatewayConnection;
class GatewayServer;

// A command as a client sent it. For "/w nomad How are you?": name "w",
// rest "nomad How are you?", arg "nomad", tail "How are you?".
struct CommandCall {
    GatewayServer &server;
    ChannelModel::Member *member;
    GatewayConnection *conn;
    QByteArray name; // lower case, as sent: an alias stays itself
    QByteArray rest;
    QByteArray arg;
    QByteArray tail;
};

using CommandHandler = void (*)(const CommandCall &call);

struct Command {
    QList<QByteArray> names; // the command's name, then its aliases
    CommandHandler handler;
};

// Every command the gateway carries out.
const QList<Command> &commandTable();
// The handler of a command name or alias in lower case; nullptr for a name
// the gateway does not know.
CommandHandler findCommand(const QByteArray &name);

// Carries out the command `name` (lower case) that the client member m sent
// with the text `rest`; an unknown one gets an error.
void runCommand(GatewayServer &server, ChannelModel::Member *m, const QByteArray &name,
                const QByteArray &rest);

// Splits off the first space-separated word.
QByteArray firstWord(const QByteArray &text, QByteArray *rest);
