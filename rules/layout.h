#pragma once
// Where the main window's controls go, from its outer width and height.
#include <QRect>

struct TMainLayout {
    QRect channel, users, chat, whisper, brx, text, send, lamermode;
};

// row: the height of the one-line controls (the channel box, the input
// line, the buttons); 21, or more when their fonts need more. The lists
// give up what taller rows take, so the input line keeps its place at the
// bottom. side: the width of the column at the right; 160, or more when
// its buttons' captions need more (the panes give it up).
TMainLayout computeLayout(int outerWidth, int outerHeight, int row = 21, int side = 160);

// Where a window first goes on a screen whose free area is available: its
// start size, or as much of it as fits there, centred. A window larger than
// a small screen (or a large scaling) would hang over its edge, the main
// window's input line first.
QRect startGeometry(const QSize &start, const QRect &available);
