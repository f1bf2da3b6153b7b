#pragma once
// A main window in a working directory of its own, with scripted dialogs, a
// recording sound player, a fixed locale and clock, and nothing that can quit
// the test. Every colour setting differs, so a segment's colour tells which
// setting painted it.
#include "app/clock.h"
#include "app/sound.h"
#include "mainwindow/Tmain.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

class RecordingSoundPlayer : public TSoundPlayer {
public:
    RecordingSoundPlayer() { setSoundPlayer(this); }
    ~RecordingSoundPlayer() override { setSoundPlayer(nullptr); }
    void play(const QString &fileName) override { played << fileName; }
    QStringList played;
};

namespace colours {
const QColor whisp(128, 0, 128);  // Purple
const QColor time(128, 128, 128); // Gray
const QColor yourName(0, 0, 255); // Blue
const QColor name(255, 0, 0);     // Red
const QColor emote(0, 128, 128);  // Teal
const QColor label(0, 0, 128);    // Navy
const QColor error(128, 0, 0);    // Maroon
const QColor text(0, 128, 0);     // Green
} // namespace colours

class MessagesFixture {
public:
    explicit MessagesFixture(const QStringList &extraConf = {})
        : m_oldDir(QDir::currentPath())
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); });
        QDir::setCurrent(m_dir.path());
        const QStringList conf = QStringList{
            QStringLiteral("username=alice"),     QStringLiteral("server=127.0.0.1"),
            QStringLiteral("whisp_colour=Purple"), QStringLiteral("time_colour=Gray"),
            QStringLiteral("your_name=Blue"),     QStringLiteral("name_colour=Red"),
            QStringLiteral("emote_colour=Teal"),  QStringLiteral("label_colour=Navy"),
            QStringLiteral("error_colour=Maroon"), QStringLiteral("text_colour=Green"),
        } + extraConf;
        QFile f(QStringLiteral("tressel.conf"));
        if (f.open(QIODevice::WriteOnly))
            f.write((conf.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
        f.close();
        main = std::make_unique<Tmain>();
        main->terminate = [this] { ++terminated; };
    }
    ~MessagesFixture()
    {
        main.reset();
        setClock(nullptr);
        QDir::setCurrent(m_oldDir);
    }

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
    QString path(const QString &name) const { return m_dir.filePath(name); }

    ScriptedDialogs dialogs; // installed before the window exists
    RecordingSoundPlayer sound;
    std::unique_ptr<Tmain> main;
    int terminated = 0;

private:
    QString m_oldDir;
    QTemporaryDir m_dir;
};
