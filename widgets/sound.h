#pragma once
// The whisper alert. Sounds go through one small player object, so tests can
// see what was asked to play without an audio device.
#include <QString>

#include <functional>

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

// The Qt Multimedia player lives in a module of its own (tressel-sound.so),
// loaded the first time a sound file is there to play: a client that plays
// no sound never maps Qt Multimedia, the sound server's library and their
// codecs. If the module cannot be loaded, sounds give the system beep and
// report says why, once a run.
void setSoundFailureReport(std::function<void(const QString &)> report);

// Where the program looks for the module: beside itself (the build tree),
// then in lib/tressel beside its bin folder (an installed tree).
QStringList soundModuleCandidates(const QString &programDir);

// Loads the module at path and makes its player; nullptr with error set if
// the file cannot be loaded or is not the module. The module stays loaded.
TSoundPlayer *loadSoundModule(const QString &path, QString *error);

// The name of the module's one exported function, which returns the player.
#define TRESSEL_SOUND_MODULE_ENTRY "tresselSoundPlayer"
