#pragma once
// The shape every line interpreter has: it sends through one chat
// connection (not owned) and turns received lines into its own events.
#include <QObject>
#include <QString>

class TChatInterface;

class tBaseInterpreter : public QObject {
    Q_OBJECT
public:
    explicit tBaseInterpreter(QObject *parent = nullptr) : QObject(parent) {}
    ~tBaseInterpreter() override = default;

    TChatInterface *ChatInterface = nullptr;

    // Field extractors of one received line.
    virtual QString GetUser(const QString &line) const = 0;
    virtual QString GetMess(const QString &line) const = 0;
    virtual QString GetFlags(const QString &line) const = 0;
    virtual QString GetUserType(const QString &line) const = 0;

    // Interprets one received line, firing at most one event.
    virtual void ParseLine(const QString &line) = 0;
    // Sends one complete line (terminator included) through the pacing.
    virtual void SendLine(const QString &line) = 0;
};
