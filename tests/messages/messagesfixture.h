#pragma once
// The main window fixture with a recording sound player. Every colour
// setting differs, so a segment's colour tells which
// setting painted it.
#include "mainwindow/Tmain.h"
#include "support/mainwindowfixture.h"
#include "widgets/sound.h"

#include <QtTest>

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

class MessagesFixture : public MainWindowFixture {
public:
    explicit MessagesFixture(const QStringList &extraConf = {})
        : MainWindowFixture(QStringList{
                                QStringLiteral("username=alice"),
                                QStringLiteral("server=127.0.0.1"),
                                QStringLiteral("whisp_colour=Purple"),
                                QStringLiteral("time_colour=Gray"),
                                QStringLiteral("your_name=Blue"),
                                QStringLiteral("name_colour=Red"),
                                QStringLiteral("emote_colour=Teal"),
                                QStringLiteral("label_colour=Navy"),
                                QStringLiteral("error_colour=Maroon"),
                                QStringLiteral("text_colour=Green"),
                            } +
                            extraConf)
    {
    }

    RecordingSoundPlayer sound;
};
