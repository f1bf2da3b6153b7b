#pragma once
// A main window in a working directory of its own, with scripted dialogs, a
// fixed locale and clock, and nothing that can quit the test; plus readers
// for the user list rows.
#include "app/clock.h"
#include "app/errors.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/usericons.h"
#include "mainwindow/userlistview.h"
#include "preferences/Toptions.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>
#include <QTreeWidget>
#include <memory>

class UserListFixture {
public:
    explicit UserListFixture(const QByteArray &brxConf = QByteArray(), bool writeBrx = false)
        : m_now(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9))), m_oldDir(QDir::currentPath())
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setClock([this] { return m_now; });
        QDir::setCurrent(m_dir.path());
        writeFile(QStringLiteral("tressel.conf"), "username=alice\r\nserver=127.0.0.1\r\n");
        if (writeBrx)
            writeFile(QStringLiteral("brx.conf"), brxConf);
        main = std::make_unique<Tmain>();
        main->terminate = [this] { ++terminated; };
    }
    ~UserListFixture()
    {
        main.reset();
        setClock(nullptr);
        QDir::setCurrent(m_oldDir);
    }

    void setNow(const QDateTime &now) { m_now = now; }
    QDateTime now() const { return m_now; }

    static void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(name);
        if (f.open(QIODevice::WriteOnly | QIODevice::Truncate))
            f.write(bytes);
    }
    static QByteArray readFile(const QString &name)
    {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray();
        return f.readAll();
    }

    // The rows of `users` once waiting rebuilds are done: caption, icon, state.
    struct Row {
        QString name;
        int icon;
        int state;
        bool operator==(const Row &o) const
        {
            return name == o.name && icon == o.icon && state == o.state;
        }
    };
    QList<Row> rows()
    {
        main->flushUsers();
        QList<Row> out;
        for (int i = 0; i < main->users->topLevelItemCount(); ++i) {
            const QTreeWidgetItem *r = main->users->topLevelItem(i);
            out.append({r->text(0), r->data(0, TUserRow::iconRole).toInt(),
                        r->data(0, TUserRow::stateRole).toInt()});
        }
        return out;
    }
    QStringList names()
    {
        QStringList out;
        for (const Row &r : rows())
            out << r.name;
        return out;
    }
    Row row(const QString &name)
    {
        for (const Row &r : rows())
            if (r.name == name)
                return r;
        return {QString(), -100, -100};
    }
    // The squelch list as caption and stored icon.
    QList<std::pair<QString, int>> brxItems() const
    {
        QList<std::pair<QString, int>> out;
        for (int i = 0; i < main->brx->count(); ++i)
            out.append({main->brx->item(i)->text(),
                        main->brx->item(i)->data(TUserRow::iconRole).toInt()});
        return out;
    }
    // The chat pane as the user reads it.
    QStringList chatLines() const
    {
        QStringList out;
        for (int i = 0; i < main->chat->lineCount(); ++i)
            out << main->chat->lineText(i);
        return out;
    }
    void selectRow(int index)
    {
        main->flushUsers();
        if (index < 0)
            main->users->clearSelection();
        else
            main->users->setCurrentItem(main->users->topLevelItem(index));
    }
    int selectedRow()
    {
        main->flushUsers();
        const auto sel = main->users->selectedItems();
        return sel.isEmpty() ? -1 : main->users->indexOfTopLevelItem(sel.first());
    }

    ScriptedDialogs dialogs; // installed before the window exists
    std::unique_ptr<Tmain> main;
    int terminated = 0;

private:
    QDateTime m_now;
    QString m_oldDir;
    QTemporaryDir m_dir;
};

inline char *toString(const UserListFixture::Row &r)
{
    return QTest::toString(QStringLiteral("%1 icon %2 state %3").arg(r.name).arg(r.icon).arg(r.state));
}

#include <QTcpServer>
#include <QTcpSocket>

// A stand-in gateway on 127.0.0.1 that keeps every byte the client sends.
class LoopbackServer : public QObject {
public:
    LoopbackServer()
    {
        m_server.listen(QHostAddress::LocalHost, 0);
        QObject::connect(&m_server, &QTcpServer::newConnection, this, [this] {
            while (QTcpSocket *s = m_server.nextPendingConnection()) {
                m_client = s;
                QObject::connect(s, &QTcpSocket::readyRead, this,
                                 [this, s] { m_received += s->readAll(); });
            }
        });
    }
    quint16 port() const { return m_server.serverPort(); }
    QByteArray received() const { return m_received; }
    void clear() { m_received.clear(); }

private:
    QTcpServer m_server;
    QTcpSocket *m_client = nullptr;
    QByteArray m_received;
};
