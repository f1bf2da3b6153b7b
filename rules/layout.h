#pragma once
// Where the main window's controls go, from its outer width and height.
#include <QRect>

struct TMainLayout {
    QRect channel, users, chat, whisper, brx, text, send, lamermode;
};

TMainLayout computeLayout(int outerWidth, int outerHeight);
