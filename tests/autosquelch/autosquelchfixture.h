#pragma once
// The main window fixture connected to a test server on 127.0.0.1. Channel
// events are handed to the window's handlers the way the interpreter does.
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/connectedwindow.h"
#include "support/loopbackserver.h"
#include "support/mainwindowfixture.h"

#include <QListWidget>
#include <QtTest>
#include <memory>

class AutosquelchWindow : public MainWindowFixture {
public:
    explicit AutosquelchWindow(const QStringList &extraConf = {})
        : MainWindowFixture(defaultConf() + extraConf)
    {
    }

    // Connects and waits for the login write; the wire is empty afterwards.
    bool connectToServer()
    {
        if (!::connectToServer(*main, m_server))
            return false;
        m_server.clearReceived();
        return true;
    }
    // Sends bytes to the client as the gateway would.
    void serverSends(const QByteArray &bytes) { m_server.send(bytes); }
    // Lets the paced lines out and returns everything received since the last call.
    QByteArray takeWire() { return ::takeWire(*main, m_server); }

    void join(const QString &name, const QString &product, const QString &flags = "0010")
    {
        main->processJoin(name, flags, product);
    }
    void say(const QString &name, const QString &text) { main->processTalk(name, text); }
    void flood(const QString &name, const QString &text, int times = 3)
    {
        for (int i = 0; i < times; ++i)
            say(name, text);
    }

    QStringList squelched() const
    {
        QStringList out;
        for (int i = 0; i < main->brx->count(); ++i)
            out << main->brx->item(i)->text();
        return out;
    }
    void setTriggers(const QStringList &phrases)
    {
        main->options->triggers->clear();
        main->options->triggers->addItems(phrases);
        Q_EMIT main->options->triggersChanged();
    }

private:
    LoopbackServer m_server;
};
