#pragma once
// A main window connected to a test server on 127.0.0.1, in a working
// directory of its own, with scripted dialogs and a fixed clock. Channel
// events are handed to the window's handlers the way the interpreter does.
#include "app/clock.h"
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QPointer>
#include <QTcpServer>
#include <QTcpSocket>
#include <QTemporaryDir>
#include <QtTest>
#include <functional>
#include <memory>

// Scripted dialogs whose confirmation box can run code while it is "open",
// as a real modal box lets events through.
class HookedDialogs : public ScriptedDialogs {
public:
    std::function<void(int call)> whileOpen; // call counts from 1
    int confirmCalls = 0;
    bool confirm(QWidget *parent, const QString &title, const QString &text,
                 Buttons buttons) override {
        const bool answer = ScriptedDialogs::confirm(parent, title, text, buttons);
        ++confirmCalls;
        if (whileOpen) whileOpen(confirmCalls);
        return answer;
    }
};

class AutosquelchWindow {
public:
    explicit AutosquelchWindow(const QStringList &extraConf = {}) : m_oldDir(QDir::currentPath()) {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); });
        QDir::setCurrent(m_dir.path());
        const QStringList conf =
            QStringList{QStringLiteral("username=alice"), QStringLiteral("server=127.0.0.1")} +
            extraConf;
        QFile f(QStringLiteral("tressel.conf"));
        if (f.open(QIODevice::WriteOnly))
            f.write((conf.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
        f.close();
        main = std::make_unique<Tmain>();
        main->terminate = [] {};
        QObject::connect(&m_server, &QTcpServer::newConnection, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                m_client = s;
                QObject::connect(s, &QTcpSocket::readyRead, [this, s] { m_wire += s->readAll(); });
            }
        });
        m_server.listen(QHostAddress::LocalHost, 0);
    }
    ~AutosquelchWindow() {
        main.reset();
        setClock(nullptr);
        QDir::setCurrent(m_oldDir);
    }

    // Connects and waits for the login write; the wire is empty afterwards.
    bool connectToServer() {
        main->bnet->Port = m_server.serverPort();
        main->ConnectClick();
        if (!QTest::qWaitFor([this] { return m_wire.endsWith("\r\r"); }, 5000)) return false;
        m_wire.clear();
        return true;
    }
    // Sends bytes to the client as the gateway would.
    void serverSends(const QByteArray &bytes) {
        if (m_client) {
            m_client->write(bytes);
            m_client->flush();
        }
    }
    // Lets the paced lines out and returns everything received since the last call.
    QByteArray takeWire(int ticks = 10) {
        for (int i = 0; i < ticks; ++i) {
            main->process->floodTimerTick();
            QTest::qWait(5);
        }
        QTest::qWait(50);
        QByteArray out = m_wire;
        m_wire.clear();
        return out;
    }

    void join(const QString &name, const QString &product, const QString &flags = "0010") {
        main->processJoin(name, flags, product);
    }
    void say(const QString &name, const QString &text) { main->processTalk(name, text); }
    void flood(const QString &name, const QString &text, int times = 3) {
        for (int i = 0; i < times; ++i)
            say(name, text);
    }

    QStringList chatLines() const {
        QStringList out;
        for (int i = 0; i < main->chat->lineCount(); ++i)
            out << main->chat->lineText(i);
        return out;
    }
    QStringList squelched() const {
        QStringList out;
        for (int i = 0; i < main->brx->count(); ++i)
            out << main->brx->item(i)->text();
        return out;
    }
    static QByteArray readFile(const QString &name) {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }
    void setTriggers(const QStringList &phrases) {
        main->options->triggers->clear();
        main->options->triggers->addItems(phrases);
        Q_EMIT main->options->triggersChanged();
    }

    HookedDialogs dialogs; // installed before the window exists
    std::unique_ptr<Tmain> main;

private:
    QString m_oldDir;
    QTemporaryDir m_dir;
    QTcpServer m_server;
    QPointer<QTcpSocket> m_client;
    QByteArray m_wire;
};
