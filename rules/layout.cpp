#include "rules/layout.h"

TMainLayout computeLayout(int W, int H)
{
    // Margin 10, side column 160, rows 21; each row builds on the ones before.
    TMainLayout l;
    l.channel = QRect(W - 180, 10, 160, 21);
    l.users = QRect(l.channel.left(), 41, 160, H - 272);
    l.chat = QRect(10, 10, l.users.left() - 24, l.users.height() + 62);
    l.whisper = QRect(10, l.chat.top() + l.chat.height() + 10, l.chat.width(), 100);
    l.brx = QRect(l.users.left(), l.whisper.top(), 160, 100);
    l.text = QRect(10, l.whisper.top() + l.whisper.height() + 10, l.chat.width(), 21);
    l.send = QRect(l.users.left(), l.text.top(), 160, 21);
    // The button's top follows the list's height alone, not its bottom edge.
    l.lamermode = QRect(l.users.left(), l.users.height() + 52, 160, 21);
    return l;
}
