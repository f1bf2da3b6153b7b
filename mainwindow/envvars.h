#pragma once
// The main window's runtime state.
#include <QColor>
#include <QString>
#include <vector>

class TTranscriptPane;

// One line held back while chat is paused.
struct tChatBuffer {
    TTranscriptPane *pane = nullptr;
    QString lbl;
    QString msg;
    QColor colour;
    QString shownLbl; // the label as shown when it is not lbl decoded whole; null otherwise
    bool mention = false;
};

struct tEnvVars {
    QString channelName;
    QString lastCommand;
    QString lastWhisperer;
    std::vector<tChatBuffer> chatBuffer; // the held lines, in arrival order
    bool chatPaused = false;
    bool isAway = false;
    QString awaySent; // the message the Away item last sent (bytes), to restore after a reconnect
    bool autoConnectDone = false;
    bool lamerMode = false;
    int chatBufferCount = 0;
    int idleTicks = 0;
};

// Room for held lines; one more line replays them and unpauses, so nothing is lost.
constexpr int chatBufferCapacity = 200;
