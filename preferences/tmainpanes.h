#pragma once
// What the preferences dialog needs of the main window: the panes whose
// fonts it sets and reads, and a few ways to colour them. The main window
// fills this in; null panes and empty functions are skipped.
#include <QColor>
#include <QWidget>
#include <functional>

struct TMainPanes {
    QWidget *chat = nullptr, *users = nullptr, *text = nullptr, *whisper = nullptr, *brx = nullptr,
            *channel = nullptr;                            // fonts via font()/setFont()
    std::function<void(const QColor &)> setBackground;     // the six panes' background
    std::function<void(const QColor &)> setListTextColour; // users, brx, channel, text
    std::function<void(const QColor &)>
        setWhisperTextColour;                 // the whisper pane's default text colour
    std::function<bool()> dispWhisperChecked; // "Display whispers here" is checked
    // Optional: a new Chat font (name and size) for the text already in the
    // transcript. When empty and chat is a QTextEdit, the dialog reformats
    // the whole document itself.
    std::function<void(const QString &family, int pointSize)> applyChatFontToTranscript;
};
