#pragma once
// A main window in a working directory of its own, with scripted dialogs, a
// fixed locale and clock, and nothing that can quit the test.
#include "base/clock.h"
#include "mainwindow/Tmain.h"
#include "queuedcalls.h"
#include "scripteddialogs.h"
#include "session/TSession.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class MainWindowFixture {
public:
    using Files = QList<std::pair<QString, QByteArray>>;

    // conf: the lines of tressel.conf (CR LF added); none writes no file.
    // files: more files to put in the working directory before the window
    // is created (brx.conf, say).
    explicit MainWindowFixture(const QStringList &conf = defaultConf(),
                               QDateTime now = defaultNow(), const Files &files = {})
        : m_now(now), m_oldDir(QDir::currentPath())
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setClock([this] { return m_now; });
        QDir::setCurrent(m_dir.path());
        if (!conf.isEmpty())
            writeFile(QStringLiteral("tressel.conf"),
                      (conf.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
        for (const auto &file : files)
            writeFile(file.first, file.second);
        main = std::make_unique<Tmain>();
        main->terminate = [this] { ++terminated; };
        // Attention is recorded, never shown on the desktop running the tests.
        main->alertWindow = [this] { ++alerts; };
        main->notifyDesktop = [this](const QString &title, const QString &body) {
            notifications << QStringList{title, body};
        };
    }
    ~MainWindowFixture()
    {
        main.reset();
        setClock(nullptr);
        QDir::setCurrent(m_oldDir);
    }

    static QDateTime defaultNow() { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); }
    static QStringList defaultConf()
    {
        return {QStringLiteral("username=alice"), QStringLiteral("server=127.0.0.1")};
    }

    void setNow(const QDateTime &now) { m_now = now; }
    QDateTime now() const { return m_now; }
    QString path(const QString &name) const { return m_dir.filePath(name); }

    static void writeFile(const QString &name, const QByteArray &bytes)
    {
        QFile f(name);
        QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
        f.write(bytes);
    }
    static QByteArray readFile(const QString &name)
    {
        QFile f(name);
        if (!f.open(QIODevice::ReadOnly))
            return QByteArray();
        return f.readAll();
    }
    // The lines of a pane as the user reads them.
    static QStringList lines(TTranscriptPane *pane)
    {
        QStringList out;
        for (int i = 0; i < pane->lineCount(); ++i)
            out << pane->lineText(i);
        return out;
    }
    static QString lastLine(TTranscriptPane *pane)
    {
        return pane->lineCount() > 0 ? pane->lineText(pane->lineCount() - 1) : QString();
    }
    QStringList chatLines() const { return lines(main->chat); }

    static void runQueuedCalls(int rounds = 3) { ::runQueuedCalls(rounds); }

    ScriptedDialogs dialogs; // installed before the window exists
    std::unique_ptr<Tmain> main;
    int terminated = 0;
    int alerts = 0;                   // urgent hints asked for
    QList<QStringList> notifications; // title and body of each

private:
    QDateTime m_now;
    QString m_oldDir;
    QTemporaryDir m_dir;
};
