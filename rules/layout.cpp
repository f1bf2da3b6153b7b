#include "rules/layout.h"

#include <algorithm>

TMainLayout computeLayout(int W, int H, int row, int side)
{
    // Margin 10, side column 160, rows 21; each row builds on the ones before.
    // A taller row (x more) takes x from the chat and the list for the input
    // line and 2x from the list for the channel box and the lamer mode button.
    const int x = std::max(0, row - 21);
    const int r = 21 + x;
    const int s = std::max(160, side);
    TMainLayout l;
    l.channel = QRect(W - 20 - s, 10, s, r);
    l.users = QRect(l.channel.left(), 20 + r, s, H - 272 - 3 * x);
    l.chat = QRect(10, 10, l.users.left() - 24, l.users.height() + 20 + 2 * r);
    l.whisper = QRect(10, l.chat.top() + l.chat.height() + 10, l.chat.width(), 100);
    l.brx = QRect(l.users.left(), l.whisper.top(), s, 100);
    l.text = QRect(10, l.whisper.top() + l.whisper.height() + 10, l.chat.width(), r);
    l.send = QRect(l.users.left(), l.text.top(), s, r);
    // The button's top follows the list's height alone, not its bottom edge.
    l.lamermode = QRect(l.users.left(), l.users.height() + 31 + r, s, r);
    return l;
}

QRect startGeometry(const QSize &start, const QRect &available)
{
    if (available.isEmpty())
        return QRect(QPoint(0, 0), start);
    QRect r(QPoint(0, 0), start.boundedTo(available.size()));
    r.moveCenter(available.center());
    return r;
}
