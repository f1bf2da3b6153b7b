#pragma once
// The whisper alert. Sounds go through one small player object, so tests can
// see what was asked to play without an audio device.
#include <QString>

class TSoundPlayer {
public:
    virtual ~TSoundPlayer() = default;
    // Starts playing the wave file fileName (relative names are taken from
    // the current working directory) and returns at once. A file that is
    // not there gives the system beep instead; nothing is reported.
    virtual void play(const QString &fileName) = 0;
};

// The player in force; the Qt Multimedia one unless a test installed another.
TSoundPlayer &soundPlayer();
// Installs p (not owned); nullptr goes back to the Qt Multimedia player.
void setSoundPlayer(TSoundPlayer *p);
