#include "resources/icons.h"

#include <QFont>
#include <QFontMetricsF>
#include <QIconEngine>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QtMath>

#include <cmath>

namespace {

// Every picture is a function drawing in its own logical coordinates; the
// painter's transform maps them onto whatever pixels are asked for.
using PaintFn = void (*)(QPainter &);

// Dark strokes are never pure black: the old image lists treated black as
// transparent, and a near-black keeps that from ever biting.
const QColor ink(0x26, 0x26, 0x2e);

QPainterPath roundedRect(const QRectF &r, qreal radius)
{
    QPainterPath path;
    path.addRoundedRect(r, radius, radius);
    return path;
}

// Device pixels per logical unit along y, to put text baselines on whole
// device pixels (that is what keeps small lettering sharp).
qreal deviceScale(const QPainter &p)
{
    const QTransform t = p.deviceTransform();
    return std::sqrt(t.m21() * t.m21() + t.m22() * t.m22());
}

qreal snapped(const QPainter &p, qreal y)
{
    const qreal s = deviceScale(p);
    return s > 0 ? std::round(y * s) / s : y;
}

QFont labelFont(int pixelSize, bool condensed, bool serif = false)
{
    QFont font(serif ? QStringLiteral("DejaVu Serif") : QStringLiteral("DejaVu Sans"));
    font.setPixelSize(pixelSize);
    font.setBold(true);
    if (condensed)
        font.setStretch(QFont::Condensed);
    font.setHintingPreference(QFont::PreferFullHinting);
    font.setStyleStrategy(QFont::PreferAntialias);
    return font;
}

// Bold text centred in r, in the largest size from pixelSize down to
// minSize that fits; squeezed sideways when even minSize is too wide.
void drawLabel(QPainter &p, const QRectF &r, const QString &text, const QColor &colour,
               int pixelSize, bool condensed = true, bool serif = false, int minSize = 6)
{
    QFont font = labelFont(pixelSize, condensed, serif);
    qreal width = QFontMetricsF(font).horizontalAdvance(text);
    for (int size = pixelSize - 1; width > r.width() && size >= minSize; --size) {
        font = labelFont(size, condensed, serif);
        width = QFontMetricsF(font).horizontalAdvance(text);
    }
    const QFontMetricsF fm(font);
    const qreal squeeze = width > r.width() ? r.width() / width : 1.0;
    const qreal baseline = snapped(p, r.center().y() + fm.capHeight() / 2);
    p.save();
    p.translate(r.center().x(), baseline);
    p.scale(squeeze, 1.0);
    p.setFont(font);
    p.setPen(colour);
    p.drawText(QPointF(-width / 2, 0), text);
    p.restore();
}

// A 5-pixel-high capital font for badge words too long for any outline font
// at 1x: outline glyphs that small blur into each other, whole pixels do not.
struct Glyph {
    char letter;
    const char *rows[5];
};

const Glyph pixelGlyphs[] = {
    {'A', {".#.", "#.#", "###", "#.#", "#.#"}},      {'B', {"##.", "#.#", "##.", "#.#", "##."}},
    {'C', {".##", "#..", "#..", "#..", ".##"}},      {'D', {"##.", "#.#", "#.#", "#.#", "##."}},
    {'E', {"###", "#..", "##.", "#..", "###"}},      {'F', {"###", "#..", "##.", "#..", "#.."}},
    {'G', {".##", "#..", "#.#", "#.#", ".##"}},      {'I', {"#", "#", "#", "#", "#"}},
    {'J', {"..#", "..#", "..#", "#.#", ".#."}},      {'L', {"#.", "#.", "#.", "#.", "##"}},
    {'N', {"#..#", "##.#", "#.##", "#..#", "#..#"}}, {'O', {".#.", "#.#", "#.#", "#.#", ".#."}},
    {'P', {"##.", "#.#", "##.", "#..", "#.."}},      {'R', {"##.", "#.#", "##.", "#.#", "#.#"}},
    {'Y', {"#.#", "#.#", ".#.", ".#.", ".#."}},      {'Z', {"###", "..#", ".#.", "#..", "###"}},
};

const Glyph *pixelGlyph(QChar c)
{
    for (const Glyph &g : pixelGlyphs)
        if (QLatin1Char(g.letter) == c)
            return &g;
    return nullptr;
}

// Width in pixels of text in the pixel font, or -1 when a letter is missing.
int pixelTextWidth(const QString &text)
{
    int width = -1;
    for (QChar c : text) {
        const Glyph *g = pixelGlyph(c);
        if (!g)
            return -1;
        width += int(qstrlen(g->rows[0])) + 1;
    }
    return width;
}

// Draws text in the pixel font centred in r when the painter is at about 1x
// and the text fits; otherwise in the outline font.
void drawSmallLabel(QPainter &p, const QRectF &r, const QString &text, const QColor &colour,
                    int pixelSize)
{
    const qreal scale = deviceScale(p);
    const int width = pixelTextWidth(text);
    if (scale >= 1.5 || width < 0 || width > r.width()) {
        drawLabel(p, r, text, colour, pixelSize);
        return;
    }
    // Whole device pixels, so the letters stay sharp.
    qreal x = snapped(p, r.center().x() - width / 2.0);
    const qreal top = snapped(p, r.center().y() - 2.5);
    p.save();
    p.setPen(Qt::NoPen);
    p.setBrush(colour);
    p.setRenderHint(QPainter::Antialiasing, false);
    for (QChar c : text) {
        const Glyph *g = pixelGlyph(c);
        const int w = int(qstrlen(g->rows[0]));
        for (int row = 0; row < 5; ++row)
            for (int col = 0; col < w; ++col)
                if (g->rows[row][col] == '#')
                    p.drawRect(QRectF(x + col, top + row, 1, 1));
        x += w + 1;
    }
    p.restore();
}

// A rounded badge filling the 28x14 user icon, lit from above.
void badge(QPainter &p, const QColor &fill, const QColor &border)
{
    const QRectF r(0.5, 0.5, 27, 13);
    QLinearGradient g(0, 0, 0, 14);
    g.setColorAt(0, fill.lighter(135));
    g.setColorAt(0.5, fill);
    g.setColorAt(1, fill.darker(130));
    p.setPen(QPen(border, 1));
    p.setBrush(g);
    p.drawPath(roundedRect(r, 3));
}

void textBadge(QPainter &p, const QColor &fill, const QColor &border, const QString &text,
               const QColor &textColour, int pixelSize = 9)
{
    badge(p, fill, border);
    drawLabel(p, QRectF(2, 0, 24, 14), text, textColour, pixelSize);
}

// Two lines of text on one badge.
void twoLineBadge(QPainter &p, const QColor &fill, const QColor &border, const QString &top,
                  const QString &bottom, const QColor &textColour)
{
    badge(p, fill, border);
    drawSmallLabel(p, QRectF(2, 0.5, 24, 6.5), top, textColour, 7);
    drawSmallLabel(p, QRectF(0.5, 7, 27, 6.5), bottom, textColour, 7);
}

void cross(QPainter &p, const QRectF &r)
{
    QPainterPath path;
    path.moveTo(r.topLeft());
    path.lineTo(r.bottomRight());
    path.moveTo(r.topRight());
    path.lineTo(r.bottomLeft());
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x80, 0x00, 0x00), 4.4, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path);
    p.setPen(QPen(QColor(0xe8, 0x14, 0x14), 2.8, Qt::SolidLine, Qt::RoundCap));
    p.drawPath(path);
}

// ---- user icons (28x14) ---------------------------------------------------

void userBlizzard(QPainter &p)
{
    // The word runs edge to edge at 1x, so the rim is dark to keep the
    // outer letters apart from it.
    badge(p, QColor(0x14, 0x3c, 0x8c), QColor(0x06, 0x18, 0x48));
    drawSmallLabel(p, QRectF(0, 0, 28, 14), QStringLiteral("BLIZZARD"), Qt::white, 8);
}

void userBnet(QPainter &p)
{
    textBadge(p, QColor(0x30, 0x34, 0x3e), QColor(0x9a, 0xa2, 0xb4), QStringLiteral("b.net"),
              QColor(0xff, 0xb8, 0x3c));
}

void userGavel(QPainter &p)
{
    // Sound block.
    p.setPen(QPen(QColor(0x4a, 0x2a, 0x10), 0.8));
    p.setBrush(QColor(0x9c, 0x64, 0x30));
    p.drawRoundedRect(QRectF(6.5, 10.5, 11, 3), 1, 1);
    // Handle and head, tilted as if striking.
    p.save();
    p.translate(14, 6.5);
    p.rotate(-35);
    p.setBrush(QColor(0xc8, 0x8c, 0x48));
    p.drawRoundedRect(QRectF(-1, -0.9, 10.5, 1.8), 0.9, 0.9);
    QLinearGradient g(0, -3.5, 0, 3.5);
    g.setColorAt(0, QColor(0xd2, 0x8e, 0x4a));
    g.setColorAt(1, QColor(0x7a, 0x44, 0x18));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(-4, -3.5, 4.5, 7), 1.2, 1.2);
    p.setBrush(QColor(0xe8, 0xc0, 0x60));
    p.drawRect(QRectF(-4, -3.5, 1, 7));
    p.restore();
}

void userMegaphone(QPainter &p)
{
    // Cone opening to the right, with sound waves.
    QPainterPath cone;
    cone.moveTo(6, 5);
    cone.lineTo(15, 1.5);
    cone.lineTo(15, 12.5);
    cone.lineTo(6, 9);
    cone.closeSubpath();
    QLinearGradient g(0, 1, 0, 13);
    g.setColorAt(0, QColor(0xff, 0xe0, 0x60));
    g.setColorAt(1, QColor(0xd8, 0x8c, 0x10));
    p.setPen(QPen(QColor(0x6a, 0x40, 0x08), 0.8));
    p.setBrush(g);
    p.drawPath(cone);
    p.setBrush(QColor(0xd0, 0x30, 0x20));
    p.drawRoundedRect(QRectF(3.5, 4.5, 3, 5), 0.8, 0.8);
    p.drawRect(QRectF(7, 8.5, 2, 4));
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x30, 0x60, 0xd0), 1.1, Qt::SolidLine, Qt::RoundCap));
    p.drawArc(QRectF(13, 3, 6, 8), -50 * 16, 100 * 16);
    p.drawArc(QRectF(13, 0.5, 10, 13), -50 * 16, 100 * 16);
}

void userSunglasses(QPainter &p)
{
    p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1.0, Qt::SolidLine, Qt::RoundCap));
    p.setBrush(Qt::NoBrush);
    // Bridge and temples.
    QPainterPath frame;
    frame.moveTo(12, 5.5);
    frame.quadTo(14, 4, 16, 5.5);
    frame.moveTo(3.5, 5);
    frame.lineTo(1.5, 4);
    frame.moveTo(24.5, 5);
    frame.lineTo(26.5, 4);
    p.drawPath(frame);
    QLinearGradient g(0, 4, 0, 11);
    g.setColorAt(0, QColor(0x40, 0x48, 0x70));
    g.setColorAt(1, QColor(0x14, 0x14, 0x22));
    p.setPen(QPen(QColor(0x20, 0x20, 0x28), 0.9));
    p.setBrush(g);
    QPainterPath lens;
    lens.moveTo(3.5, 4.5);
    lens.lineTo(12.5, 4.5);
    lens.quadTo(12.5, 10.5, 8.5, 10.5);
    lens.quadTo(4, 10.5, 3.5, 4.5);
    p.drawPath(lens);
    p.drawPath(QTransform(-1, 0, 0, 1, 28, 0).map(lens));
    p.setPen(QPen(QColor(255, 255, 255, 200), 0.9, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(5.5, 6), QPointF(7, 6));
    p.drawLine(QPointF(17.5, 6), QPointF(19, 6));
}

void userRedX(QPainter &p) { cross(p, QRectF(9.5, 2.5, 9, 9)); }

void userPglOfficial(QPainter &p)
{
    twoLineBadge(p, QColor(0x9a, 0x12, 0x12), QColor(0x50, 0x04, 0x04), QStringLiteral("PGL"),
                 QStringLiteral("OFFICIAL"), QColor(0xff, 0xe8, 0x90));
}

void userPglPlayer(QPainter &p)
{
    twoLineBadge(p, QColor(0x16, 0x50, 0x2a), QColor(0x06, 0x28, 0x10), QStringLiteral("PGL"),
                 QStringLiteral("PLAYER"), Qt::white);
}

void userChat(QPainter &p)
{
    textBadge(p, QColor(0x2c, 0x78, 0xc8), QColor(0xb0, 0xd8, 0xff), QStringLiteral("Chat"),
              Qt::white);
}

// Diablo badges: dark red with a gold gothic-looking D.
void diabloBadge(QPainter &p, const QColor &fill) { badge(p, fill, QColor(0xff, 0x78, 0x30)); }

const QColor diabloGold(0xff, 0xd0, 0x50);

void userDiablo(QPainter &p)
{
    diabloBadge(p, QColor(0xa0, 0x10, 0x08));
    drawLabel(p, QRectF(2, 0, 24, 14), QStringLiteral("D"), diabloGold, 11, false, true);
}

void userDiabloShareware(QPainter &p)
{
    diabloBadge(p, QColor(0xa0, 0x10, 0x08));
    drawLabel(p, QRectF(2, 0, 10, 14), QStringLiteral("D"), diabloGold, 11, false, true);
    drawLabel(p, QRectF(12, 0, 14, 14), QStringLiteral("SW"), Qt::white, 8);
}

void userDiablo2(QPainter &p)
{
    badge(p, QColor(0x50, 0x0a, 0x08), QColor(0xb0, 0xa0, 0x90));
    drawLabel(p, QRectF(2, 0, 24, 14), QStringLiteral("D2"), diabloGold, 10, false, true);
}

void userDiabloExpansion(QPainter &p)
{
    badge(p, QColor(0x46, 0x10, 0x50), QColor(0xd8, 0x90, 0xff));
    drawLabel(p, QRectF(2, 0, 24, 14), QStringLiteral("LoD"), diabloGold, 9, false, true);
}

// Starcraft badges: steel blue with cyan lettering.
const QColor starFill(0x1c, 0x34, 0x58);
const QColor starBorder(0x40, 0xc8, 0xff);
const QColor starText(0xa0, 0xf0, 0xff);

void userStarcraft(QPainter &p)
{
    textBadge(p, starFill, starBorder, QStringLiteral("S.C."), starText);
}

void userStarcraftShareware(QPainter &p)
{
    textBadge(p, QColor(0x2e, 0x46, 0x66), QColor(0x90, 0xb0, 0xd0), QStringLiteral("Sware"),
              Qt::white);
}

void userBroodWar(QPainter &p)
{
    textBadge(p, QColor(0x10, 0x50, 0x50), QColor(0x60, 0xf0, 0xc0), QStringLiteral("StarX"),
              QColor(0xc0, 0xff, 0xe8));
}

void userStarcraftJapan(QPainter &p)
{
    badge(p, starFill, starBorder);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf0, 0x28, 0x28));
    p.drawEllipse(QPointF(4.8, 7), 2.2, 2.2);
    drawSmallLabel(p, QRectF(7, 0, 20.5, 14), QStringLiteral("JAPAN"), starText, 8);
}

void userWarcraft2(QPainter &p)
{
    badge(p, QColor(0x8a, 0x50, 0x10), QColor(0xff, 0xd8, 0x60));
    drawLabel(p, QRectF(2, 0, 24, 14), QStringLiteral("W2"), Qt::white, 10);
}

void userQuestion(QPainter &p)
{
    p.setPen(QPen(QColor(0x18, 0x40, 0x90), 0.9));
    QRadialGradient g(QPointF(12.5, 4.5), 7);
    g.setColorAt(0, QColor(0x80, 0xb8, 0xff));
    g.setColorAt(1, QColor(0x20, 0x60, 0xd0));
    p.setBrush(g);
    p.drawEllipse(QPointF(14, 7), 6.2, 6.2);
    drawLabel(p, QRectF(8, 0, 12, 14), QStringLiteral("?"), Qt::white, 10, false);
}

const PaintFn userPainters[TIcons::userIconCount] = {
    userBlizzard,
    userBnet,
    userGavel,
    userMegaphone,
    userSunglasses,
    userRedX,
    userPglOfficial,
    userPglPlayer,
    userChat,
    userDiablo,
    userStarcraft,
    userDiabloShareware,
    userStarcraftShareware,
    userBroodWar,
    userStarcraftJapan,
    userDiablo2,
    userWarcraft2,
    userDiabloExpansion,
    userQuestion,
};

// ---- state images (18x14) -------------------------------------------------

void stateTick(QPainter &p)
{
    QPainterPath tick;
    tick.moveTo(4.5, 7.5);
    tick.lineTo(7.5, 10.5);
    tick.lineTo(13.5, 3);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x0c, 0x60, 0x14), 4.2, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
    p.setPen(QPen(QColor(0x28, 0xc8, 0x30), 2.6, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void stateCross(QPainter &p) { cross(p, QRectF(5, 3, 8, 8)); }

void stateStar(QPainter &p)
{
    // Twelve-pointed burst.
    QPolygonF burst;
    const QPointF c(9, 7);
    for (int i = 0; i < 24; ++i) {
        const qreal radius = (i % 2) ? 3.0 : 6.6;
        const qreal angle = qDegreesToRadians(i * 15.0 - 90);
        burst << c + QPointF(radius * std::cos(angle), radius * std::sin(angle));
    }
    QRadialGradient g(c, 6.6);
    g.setColorAt(0, QColor(0xff, 0xff, 0xc0));
    g.setColorAt(0.45, QColor(0xff, 0xe0, 0x20));
    g.setColorAt(1, QColor(0xff, 0xb0, 0x00));
    p.setPen(QPen(QColor(0xc0, 0x70, 0x00), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(g);
    p.drawPolygon(burst);
}

const PaintFn statePainters[TIcons::stateImageCount] = {stateTick, stateCross, stateStar};

// ---- menu icons (16x16) ---------------------------------------------------

// Plug and socket lie along the diagonal, drawn here in a frame turned so
// that the diagonal is the x axis through the centre.
void alongDiagonal(QPainter &p)
{
    p.translate(8, 8);
    p.rotate(-45);
}

void cord(QPainter &p, qreal from, qreal to)
{
    p.setPen(QPen(QColor(0x30, 0x34, 0x40), 1.6, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(from, 0), QPointF(to, 0));
}

// Plug body from x0 to x1 with prongs reaching `prongs` (toward +x).
void plugBody(QPainter &p, qreal x0, qreal x1, qreal prongs)
{
    if (prongs > x1) {
        p.setPen(QPen(QColor(0x90, 0x90, 0x98), 0.6));
        p.setBrush(QColor(0xf0, 0xf0, 0xf4));
        p.drawRect(QRectF(x1, -2.6, prongs - x1, 1.4));
        p.drawRect(QRectF(x1, 1.2, prongs - x1, 1.4));
    }
    QLinearGradient g(0, -3.5, 0, 3.5);
    g.setColorAt(0, QColor(0x80, 0x88, 0x98));
    g.setColorAt(1, QColor(0x2c, 0x30, 0x3c));
    p.setPen(QPen(ink, 0.8));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(x0, -3.5, x1 - x0, 7), 1.2, 1.2);
}

// Socket body from x0 to x1, its open face at x0.
void socketBody(QPainter &p, qreal x0, qreal x1)
{
    QLinearGradient g(0, -3.5, 0, 3.5);
    g.setColorAt(0, QColor(0xff, 0xff, 0xf8));
    g.setColorAt(1, QColor(0xa8, 0xa8, 0xa0));
    p.setPen(QPen(QColor(0x58, 0x58, 0x58), 0.8));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(x0, -3.5, x1 - x0, 7), 1.2, 1.2);
}

void lightning(QPainter &p, const QPointF &at, qreal scale)
{
    QPolygonF bolt;
    bolt << QPointF(2, 0) << QPointF(5, 0) << QPointF(3.5, 2.6) << QPointF(5.5, 2.6)
         << QPointF(1, 7.5) << QPointF(2.2, 3.8) << QPointF(0.4, 3.8);
    QTransform t;
    t.translate(at.x(), at.y());
    t.scale(scale, scale);
    p.setPen(QPen(QColor(0xa0, 0x58, 0x00), 0.7, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0xff, 0xd8, 0x20));
    p.drawPolygon(t.map(bolt));
}

void menuConnect(QPainter &p)
{
    p.save();
    alongDiagonal(p);
    cord(p, -9.5, -6);
    cord(p, 6, 9.5);
    plugBody(p, -6.5, -0.2, -0.2);
    socketBody(p, -0.2, 6.5);
    p.restore();
    lightning(p, QPointF(0.5, 0.2), 0.95);
}

void menuDisconnect(QPainter &p)
{
    p.save();
    alongDiagonal(p);
    cord(p, -10, -8);
    cord(p, 8, 10);
    plugBody(p, -8.5, -3.5, -1.2);
    socketBody(p, 1.8, 8.3);
    // The broken link: a red spark across the gap.
    p.setPen(QPen(QColor(0xe0, 0x10, 0x10), 1.3, Qt::SolidLine, Qt::RoundCap));
    p.drawLine(QPointF(0.3, -6.5), QPointF(0.3, -4.3));
    p.drawLine(QPointF(0.3, 4.3), QPointF(0.3, 6.5));
    p.drawLine(QPointF(-2, -6), QPointF(-1.3, -4.6));
    p.drawLine(QPointF(2.6, 6), QPointF(1.9, 4.6));
    p.restore();
}

void gear(QPainter &p, const QPointF &c, qreal outer, qreal inner, qreal hole, int teeth)
{
    QPainterPath path;
    const int steps = teeth * 4;
    for (int i = 0; i < steps; ++i) {
        const qreal r = (i % 4 < 2) ? outer : inner;
        const qreal angle = 2 * M_PI * i / steps;
        const QPointF pt = c + QPointF(r * std::cos(angle), r * std::sin(angle));
        if (i == 0)
            path.moveTo(pt);
        else
            path.lineTo(pt);
    }
    path.closeSubpath();
    path.addEllipse(c, hole, hole);
    path.setFillRule(Qt::OddEvenFill);
    QLinearGradient g(0, c.y() - outer, 0, c.y() + outer);
    g.setColorAt(0, QColor(0xc8, 0xd0, 0xdc));
    g.setColorAt(1, QColor(0x58, 0x64, 0x78));
    p.setPen(QPen(QColor(0x30, 0x38, 0x48), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(g);
    p.drawPath(path);
}

void menuPreferences(QPainter &p) { gear(p, QPointF(8, 8), 7.3, 5.2, 2.2, 8); }

void menuBack(QPainter &p)
{
    // A green arrow curving round and coming back: "I'm back".
    QPainterPath arc;
    arc.moveTo(13, 13.5);
    arc.lineTo(13, 8.5);
    arc.cubicTo(13, 4.5, 10, 4, 6.5, 4);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0x0c, 0x5a, 0x14), 4, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(arc);
    p.setPen(QPen(QColor(0x30, 0xc0, 0x38), 2.4, Qt::SolidLine, Qt::FlatCap, Qt::RoundJoin));
    p.drawPath(arc);
    QPolygonF head;
    head << QPointF(1, 4) << QPointF(7, -0.5) << QPointF(7, 8.5);
    p.setPen(QPen(QColor(0x0c, 0x5a, 0x14), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0x30, 0xc0, 0x38));
    p.drawPolygon(head);
}

void menuAway(QPainter &p)
{
    // Crescent moon and sleepy z's.
    QPainterPath moon;
    moon.addEllipse(QPointF(6.5, 9), 6, 6);
    QPainterPath bite;
    bite.addEllipse(QPointF(9.5, 6.5), 5, 5);
    moon = moon.subtracted(bite);
    QLinearGradient g(0, 3, 0, 15);
    g.setColorAt(0, QColor(0xff, 0xf0, 0x80));
    g.setColorAt(1, QColor(0xf0, 0xb0, 0x10));
    p.setPen(QPen(QColor(0xa0, 0x68, 0x00), 0.8));
    p.setBrush(g);
    p.drawPath(moon);
    const QColor blue(0x30, 0x60, 0xd8);
    drawLabel(p, QRectF(9, 6.5, 6, 5), QStringLiteral("z"), blue, 6, false);
    drawLabel(p, QRectF(10.5, 0.5, 6, 6), QStringLiteral("Z"), blue, 7, false);
}

void menuHome(QPainter &p)
{
    // Walls.
    p.setPen(QPen(QColor(0x80, 0x60, 0x30), 0.8));
    p.setBrush(QColor(0xf4, 0xe4, 0xbc));
    p.drawRect(QRectF(3, 7.5, 10, 7.5));
    // Door.
    p.setBrush(QColor(0x90, 0x50, 0x20));
    p.drawRect(QRectF(6.8, 10, 2.8, 5));
    // Roof.
    QPolygonF roof;
    roof << QPointF(0.5, 8.5) << QPointF(8, 1) << QPointF(15.5, 8.5) << QPointF(13.5, 8.5)
         << QPointF(8, 3.5) << QPointF(2.5, 8.5);
    p.setPen(QPen(QColor(0x80, 0x10, 0x08), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0xe0, 0x30, 0x20));
    p.drawPolygon(roof);
    // Chimney.
    p.drawRect(QRectF(11, 2, 1.8, 3.5));
}

void menuQuit(QPainter &p)
{
    // Door frame, the door swung open, and an arrow leaving through it.
    p.setPen(QPen(QColor(0x50, 0x30, 0x10), 0.8));
    p.setBrush(QColor(0x30, 0x28, 0x20));
    p.drawRect(QRectF(2.5, 1.5, 7, 13));
    QPolygonF door;
    door << QPointF(2.5, 1.5) << QPointF(6.5, 3) << QPointF(6.5, 15.8) << QPointF(2.5, 14.5);
    QLinearGradient g(2, 0, 7, 0);
    g.setColorAt(0, QColor(0xd8, 0x90, 0x48));
    g.setColorAt(1, QColor(0x98, 0x58, 0x20));
    p.setBrush(g);
    p.drawPolygon(door);
    QPolygonF arrow;
    arrow << QPointF(7, 7) << QPointF(11, 7) << QPointF(11, 4.5) << QPointF(15.5, 8.5)
          << QPointF(11, 12.5) << QPointF(11, 10) << QPointF(7, 10);
    p.setPen(QPen(QColor(0x80, 0x08, 0x08), 0.8, Qt::SolidLine, Qt::SquareCap, Qt::MiterJoin));
    p.setBrush(QColor(0xe8, 0x28, 0x20));
    p.drawPolygon(arrow);
}

void menuPause(QPainter &p)
{
    QLinearGradient g(0, 2, 0, 14);
    g.setColorAt(0, QColor(0x70, 0xa8, 0xff));
    g.setColorAt(1, QColor(0x18, 0x48, 0xb8));
    p.setPen(QPen(QColor(0x10, 0x28, 0x70), 0.8));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(3, 2, 3.6, 12), 1, 1);
    p.drawRoundedRect(QRectF(9.4, 2, 3.6, 12), 1, 1);
}

void menuJournal(QPainter &p)
{
    // A ledger with written lines and a red bookmark ribbon.
    QLinearGradient g(0, 1, 0, 15);
    g.setColorAt(0, QColor(0x40, 0x70, 0x50));
    g.setColorAt(1, QColor(0x20, 0x48, 0x30));
    p.setPen(QPen(QColor(0x10, 0x30, 0x18), 0.8));
    p.setBrush(g);
    p.drawRoundedRect(QRectF(2, 1, 12, 14), 1.2, 1.2);
    p.setBrush(QColor(0xfc, 0xfa, 0xf0));
    p.setPen(QPen(QColor(0x80, 0x80, 0x70), 0.6));
    p.drawRect(QRectF(4.5, 2.5, 8.5, 11));
    p.setPen(QPen(QColor(0x40, 0x50, 0x90), 0.9, Qt::SolidLine, Qt::FlatCap));
    for (int i = 0; i < 4; ++i)
        p.drawLine(QPointF(6, 5 + 2.2 * i), QPointF(i % 2 ? 10 : 11.8, 5 + 2.2 * i));
    QPolygonF ribbon;
    ribbon << QPointF(10, 0.5) << QPointF(12, 0.5) << QPointF(12, 6) << QPointF(11, 5)
           << QPointF(10, 6);
    p.setPen(QPen(QColor(0x80, 0x08, 0x08), 0.5));
    p.setBrush(QColor(0xe0, 0x28, 0x20));
    p.drawPolygon(ribbon);
}

const PaintFn menuPainters[TIcons::menuIconCount] = {
    menuConnect, menuDisconnect, menuPreferences, menuBack,    menuAway,
    menuHome,    menuQuit,       menuPause,       menuJournal,
};

// ---- preferences tab icons (16x16) ----------------------------------------

void page(QPainter &p, const QRectF &r)
{
    p.setPen(QPen(QColor(0x70, 0x70, 0x78), 0.8));
    p.setBrush(QColor(0xfc, 0xfc, 0xf4));
    p.drawRect(r);
}

void tabGeneral(QPainter &p)
{
    // A person...
    QLinearGradient g(0, 0, 0, 16);
    g.setColorAt(0, QColor(0x60, 0x98, 0xe8));
    g.setColorAt(1, QColor(0x18, 0x40, 0x98));
    p.setPen(QPen(QColor(0x10, 0x28, 0x60), 0.8));
    p.setBrush(QColor(0xf0, 0xc8, 0x98));
    p.drawEllipse(QPointF(6.5, 4.5), 3.2, 3.2);
    p.setBrush(g);
    QPainterPath body;
    body.moveTo(0.8, 15.5);
    body.cubicTo(0.8, 9, 12.2, 9, 12.2, 15.5);
    body.closeSubpath();
    p.drawPath(body);
    // ...and the key to the account.
    p.setPen(QPen(QColor(0x80, 0x58, 0x00), 0.8));
    p.setBrush(QColor(0xff, 0xd0, 0x30));
    QPainterPath key;
    key.addEllipse(QPointF(12.5, 8.5), 2.3, 2.3);
    key.addRect(QRectF(11.8, 10.3, 1.4, 5.2));
    key.addRect(QRectF(13, 13, 1.8, 1.1));
    key.setFillRule(Qt::WindingFill);
    p.drawPath(key.simplified());
    p.setBrush(QColor(0x80, 0x58, 0x00));
    p.setPen(Qt::NoPen);
    p.drawEllipse(QPointF(12.5, 8.2), 0.7, 0.7);
}

void tabLogging(QPainter &p)
{
    page(p, QRectF(2.5, 2.5, 10, 13));
    p.setPen(QPen(QColor(0x70, 0x90, 0xd0), 0.8));
    for (qreal y = 6; y < 15; y += 2)
        p.drawLine(QPointF(4, y), QPointF(11, y));
    // Spiral binding.
    p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1.0));
    p.setBrush(Qt::NoBrush);
    for (qreal x = 4; x < 12; x += 2.5)
        p.drawEllipse(QPointF(x, 2.5), 0.9, 1.4);
    // Pencil.
    p.save();
    p.translate(13, 12);
    p.rotate(-60);
    p.setPen(QPen(QColor(0x60, 0x40, 0x00), 0.6));
    p.setBrush(QColor(0xff, 0xc8, 0x20));
    p.drawRect(QRectF(0, -1.2, 8, 2.4));
    QPolygonF tip;
    tip << QPointF(0, -1.2) << QPointF(-2.5, 0) << QPointF(0, 1.2);
    p.setBrush(QColor(0xf0, 0xd8, 0xb0));
    p.drawPolygon(tip);
    p.restore();
}

void tabFeatures(QPainter &p)
{
    page(p, QRectF(1.5, 0.5, 13, 15));
    for (int i = 0; i < 3; ++i) {
        const qreal y = 3.5 + i * 4.5;
        QPainterPath tick;
        tick.moveTo(3, y);
        tick.lineTo(4.5, y + 1.6);
        tick.lineTo(7, y - 1.5);
        p.setBrush(Qt::NoBrush);
        p.setPen(QPen(QColor(0x20, 0xa8, 0x30), 1.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
        p.drawPath(tick);
        p.setPen(QPen(QColor(0x60, 0x60, 0x68), 1.0));
        p.drawLine(QPointF(8.5, y), QPointF(13, y));
    }
}

void tabTriggers(QPainter &p)
{
    // Gun sight.
    const QPointF c(8, 8);
    p.setBrush(QColor(255, 255, 255, 150));
    p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 1.5));
    p.drawEllipse(c, 6, 6);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(QColor(0xd0, 0x10, 0x10), 1.0));
    p.drawEllipse(c, 2.8, 2.8);
    p.setPen(QPen(QColor(0x30, 0x30, 0x38), 1.3, Qt::SolidLine, Qt::FlatCap));
    p.drawLine(QPointF(8, 0), QPointF(8, 5.2));
    p.drawLine(QPointF(8, 10.8), QPointF(8, 16));
    p.drawLine(QPointF(0, 8), QPointF(5.2, 8));
    p.drawLine(QPointF(10.8, 8), QPointF(16, 8));
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xd0, 0x10, 0x10));
    p.drawEllipse(c, 0.9, 0.9);
}

void tabAppearance(QPainter &p)
{
    // Painter's palette with a thumb hole and paint blobs.
    QPainterPath palette;
    palette.moveTo(8, 1);
    palette.cubicTo(13, 1, 15.5, 4.5, 15.5, 8);
    palette.cubicTo(15.5, 12, 12, 15, 8.5, 15);
    palette.cubicTo(6, 15, 6.5, 12.5, 5.2, 11.5);
    palette.cubicTo(3.8, 10.5, 0.5, 12.5, 0.5, 8.5);
    palette.cubicTo(0.5, 4, 3.5, 1, 8, 1);
    palette.closeSubpath();
    QPainterPath hole;
    hole.addEllipse(QPointF(4.5, 8.2), 1.4, 1.2);
    p.setPen(QPen(QColor(0x80, 0x58, 0x28), 0.8));
    p.setBrush(QColor(0xe8, 0xc8, 0x90));
    p.drawPath(palette.subtracted(hole));
    const QColor blobs[] = {QColor(0xe8, 0x20, 0x20), QColor(0xff, 0xd0, 0x10),
                            QColor(0x20, 0xb0, 0x30), QColor(0x20, 0x50, 0xe0)};
    const QPointF at[] = {QPointF(5.5, 4.3), QPointF(9.5, 3.8), QPointF(12.6, 6.8),
                          QPointF(11.2, 11.2)};
    p.setPen(QPen(QColor(0, 0, 0, 70), 0.5));
    for (int i = 0; i < 4; ++i) {
        p.setBrush(blobs[i]);
        p.drawEllipse(at[i], 1.7, 1.7);
    }
}

void tabProductActions(QPainter &p)
{
    // Game pad.
    QPainterPath pad;
    pad.moveTo(4, 4);
    pad.lineTo(12, 4);
    pad.cubicTo(15, 4, 16, 9, 15.5, 12);
    pad.cubicTo(15, 14.5, 12.5, 13.5, 11, 11);
    pad.lineTo(5, 11);
    pad.cubicTo(3.5, 13.5, 1, 14.5, 0.5, 12);
    pad.cubicTo(0, 9, 1, 4, 4, 4);
    pad.closeSubpath();
    QLinearGradient g(0, 4, 0, 14);
    g.setColorAt(0, QColor(0x90, 0x94, 0xa0));
    g.setColorAt(1, QColor(0x40, 0x44, 0x50));
    p.setPen(QPen(ink, 0.8));
    p.setBrush(g);
    p.drawPath(pad);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xf0, 0xf0, 0xf0));
    p.drawRect(QRectF(2.8, 7, 3.4, 1.2));
    p.drawRect(QRectF(3.9, 5.9, 1.2, 3.4));
    p.setBrush(QColor(0xe8, 0x30, 0x30));
    p.drawEllipse(QPointF(12.6, 6.6), 1, 1);
    p.setBrush(QColor(0x30, 0xc0, 0x40));
    p.drawEllipse(QPointF(10.6, 8.4), 1, 1);
}

void tabSafelist(QPainter &p)
{
    QPainterPath shield;
    shield.moveTo(8, 0.8);
    shield.cubicTo(10.5, 2.3, 12.5, 2.5, 14.5, 2.5);
    shield.cubicTo(14.5, 9, 12.5, 13, 8, 15.3);
    shield.cubicTo(3.5, 13, 1.5, 9, 1.5, 2.5);
    shield.cubicTo(3.5, 2.5, 5.5, 2.3, 8, 0.8);
    shield.closeSubpath();
    QLinearGradient g(0, 0, 16, 16);
    g.setColorAt(0, QColor(0x60, 0xa0, 0xff));
    g.setColorAt(1, QColor(0x10, 0x38, 0xa0));
    p.setPen(QPen(QColor(0x0c, 0x20, 0x60), 0.9));
    p.setBrush(g);
    p.drawPath(shield);
    QPainterPath tick;
    tick.moveTo(4.8, 7.8);
    tick.lineTo(7.2, 10.2);
    tick.lineTo(11.3, 5);
    p.setBrush(Qt::NoBrush);
    p.setPen(QPen(Qt::white, 1.7, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.drawPath(tick);
}

void tabOptions(QPainter &p)
{
    // Three sliders at different settings.
    const qreal knobs[] = {10.5, 4.5, 8.5};
    for (int i = 0; i < 3; ++i) {
        const qreal y = 3 + i * 5;
        p.setPen(QPen(QColor(0x50, 0x50, 0x58), 1.4, Qt::SolidLine, Qt::RoundCap));
        p.drawLine(QPointF(1.5, y), QPointF(14.5, y));
        QLinearGradient g(0, y - 2.5, 0, y + 2.5);
        g.setColorAt(0, QColor(0xff, 0xc0, 0x60));
        g.setColorAt(1, QColor(0xd0, 0x60, 0x00));
        p.setPen(QPen(QColor(0x70, 0x30, 0x00), 0.8));
        p.setBrush(g);
        p.drawRoundedRect(QRectF(knobs[i] - 1.6, y - 2.3, 3.2, 4.6), 0.8, 0.8);
    }
}

void tabAdvanced(QPainter &p)
{
    // A gear wheel: eight teeth around a ring.
    QPainterPath wheel;
    const QPointF c(8, 8);
    for (int i = 0; i < 8; ++i) {
        QPainterPath tooth;
        tooth.addRoundedRect(QRectF(-1.6, -7.4, 3.2, 4), 0.6, 0.6);
        QTransform t;
        t.translate(c.x(), c.y());
        t.rotate(i * 45);
        wheel = wheel.united(t.map(tooth));
    }
    QPainterPath ring;
    ring.addEllipse(c, 5.2, 5.2);
    wheel = wheel.united(ring);
    QPainterPath hole;
    hole.addEllipse(c, 2.0, 2.0);
    wheel = wheel.subtracted(hole);
    QLinearGradient g(0, 1, 0, 15);
    g.setColorAt(0, QColor(0xb8, 0xc0, 0xcc));
    g.setColorAt(1, QColor(0x50, 0x5c, 0x70));
    p.setPen(QPen(QColor(0x28, 0x30, 0x40), 0.8));
    p.setBrush(g);
    p.drawPath(wheel);
}

const PaintFn tabPainters[TIcons::tabIconCount] = {
    tabGeneral,        tabLogging,  tabFeatures, tabTriggers, tabAppearance,
    tabProductActions, tabSafelist, tabOptions,  tabAdvanced,
};

// ---- application icon (drawn on a 64x64 grid) -----------------------------

QPainterPath speechBubble()
{
    QPainterPath bubble;
    bubble.addRoundedRect(QRectF(3, 4, 58, 44), 14, 14);
    QPainterPath tail;
    tail.moveTo(14, 40);
    tail.lineTo(9, 61);
    tail.lineTo(32, 44);
    tail.closeSubpath();
    return bubble.united(tail);
}

void appBubble(QPainter &p)
{
    QLinearGradient g(0, 0, 0, 64);
    g.setColorAt(0, QColor(0xff, 0x7a, 0x30));
    g.setColorAt(1, QColor(0xc0, 0x20, 0x38));
    p.setPen(QPen(QColor(0x70, 0x10, 0x18), 2.5, Qt::SolidLine, Qt::RoundCap, Qt::RoundJoin));
    p.setBrush(g);
    p.drawPath(speechBubble());
}

// Large sizes: a plait (the tress) across the bubble. Lobes lean in from
// above and below in turn, each laid over the one before.
void appIconDetailed(QPainter &p)
{
    appBubble(p);
    const QColor edge(0x9a, 0x18, 0x2c);
    const int lobes = 7;
    for (int i = 0; i < lobes; ++i) {
        const bool upper = i % 2 == 0;
        p.save();
        p.translate(13.5 + i * 6.2, upper ? 21.5 : 30.5);
        p.rotate(upper ? 38 : -38);
        QLinearGradient g(0, -4, 0, 4);
        g.setColorAt(0, QColor(0xff, 0xfa, 0xee));
        g.setColorAt(1, QColor(0xff, 0xcc, 0x80));
        p.setPen(QPen(edge, 2));
        p.setBrush(g);
        p.drawEllipse(QPointF(0, 0), 8.5, 4.2);
        p.restore();
    }
}

// Small sizes: the braid would be mush, so a bold T stands in for it.
void appIconSimple(QPainter &p)
{
    appBubble(p);
    p.setPen(Qt::NoPen);
    p.setBrush(QColor(0xff, 0xf4, 0xe0));
    p.drawRect(QRectF(15, 11, 34, 9));
    p.drawRect(QRectF(27.5, 11, 9, 31));
}

// ---- rendering ------------------------------------------------------------

void prepare(QPainter &p)
{
    p.setRenderHint(QPainter::Antialiasing);
    p.setRenderHint(QPainter::TextAntialiasing);
    p.setRenderHint(QPainter::SmoothPixmapTransform);
}

QImage render(PaintFn fn, const QSize &logical, qreal dpr)
{
    const QSize pixels(qRound(logical.width() * dpr), qRound(logical.height() * dpr));
    QImage image(pixels, QImage::Format_ARGB32_Premultiplied);
    image.fill(Qt::transparent);
    QPainter p(&image);
    prepare(p);
    p.scale(qreal(pixels.width()) / logical.width(), qreal(pixels.height()) / logical.height());
    fn(p);
    p.end();
    image.setDevicePixelRatio(dpr);
    return image;
}

// Greyed and faded, for disabled menu items.
QImage disabledCopy(const QImage &source)
{
    QImage image = source.convertToFormat(QImage::Format_ARGB32);
    for (int y = 0; y < image.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(image.scanLine(y));
        for (int x = 0; x < image.width(); ++x) {
            const int grey = 96 + qGray(line[x]) / 2;
            line[x] = qRgba(grey, grey, grey, qAlpha(line[x]) * 2 / 5);
        }
    }
    return image.convertToFormat(QImage::Format_ARGB32_Premultiplied);
}

bool valid(qreal dpr) { return dpr > 0 && dpr <= 16 && std::isfinite(dpr); }

// Paints a picture at whatever size a menu, tab or window asks for, so the
// result is as sharp at 2x as at 1x. `detail`, when set, replaces the
// picture at `detailFrom` pixels and above.
class TPaintedIconEngine : public QIconEngine {
public:
    TPaintedIconEngine(PaintFn fn, int grid, PaintFn detail = nullptr, int detailFrom = 0)
        : fn_(fn), detail_(detail), grid_(grid), detailFrom_(detailFrom)
    {
    }

    void paint(QPainter *painter, const QRect &rect, QIcon::Mode mode, QIcon::State) override
    {
        if (rect.isEmpty())
            return;
        if (mode == QIcon::Disabled) {
            const qreal scale = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
            const QImage image = disabledCopy(draw(rect.size() * scale));
            painter->drawImage(rect, image);
            return;
        }
        painter->save();
        prepare(*painter);
        painter->translate(rect.topLeft());
        const qreal side = qMin(rect.width(), rect.height());
        painter->translate((rect.width() - side) / 2.0, (rect.height() - side) / 2.0);
        painter->scale(side / grid_, side / grid_);
        pick(qRound(grid_ * deviceScale(*painter)))(*painter);
        painter->restore();
    }

    QPixmap pixmap(const QSize &size, QIcon::Mode mode, QIcon::State) override
    {
        if (size.isEmpty())
            return QPixmap();
        QImage image = draw(size);
        if (mode == QIcon::Disabled)
            image = disabledCopy(image);
        return QPixmap::fromImage(image);
    }

    QSize actualSize(const QSize &size, QIcon::Mode, QIcon::State) override
    {
        const int side = qMin(size.width(), size.height());
        return QSize(side, side);
    }

    QList<QSize> availableSizes(QIcon::Mode, QIcon::State) override
    {
        QList<QSize> sizes;
        for (int side : {16, 22, 24, 32, 48, 64, 128, 256})
            sizes << QSize(side, side);
        return sizes;
    }

    QIconEngine *clone() const override { return new TPaintedIconEngine(*this); }
    QString key() const override { return QStringLiteral("TPaintedIconEngine"); }
    bool isNull() override { return false; }

private:
    PaintFn pick(int pixels) const { return detail_ && pixels >= detailFrom_ ? detail_ : fn_; }

    // Square picture centred in `size` pixels.
    QImage draw(const QSize &size) const
    {
        QImage image(size, QImage::Format_ARGB32_Premultiplied);
        image.fill(Qt::transparent);
        const int side = qMin(size.width(), size.height());
        QPainter p(&image);
        prepare(p);
        p.translate((size.width() - side) / 2.0, (size.height() - side) / 2.0);
        p.scale(qreal(side) / grid_, qreal(side) / grid_);
        pick(side)(p);
        return image;
    }

    PaintFn fn_;
    PaintFn detail_;
    int grid_;
    int detailFrom_;
};

// Below this many pixels the braid is replaced by the plain T.
constexpr int appDetailFrom = 32;

} // namespace

namespace TIcons {

QIcon menuIcon(int index)
{
    if (index < 0 || index >= menuIconCount)
        return QIcon();
    return QIcon(new TPaintedIconEngine(menuPainters[index], 16));
}

QPixmap userIcon(int index, qreal dpr)
{
    if (index < 0 || index >= userIconCount || !valid(dpr))
        return QPixmap();
    return QPixmap::fromImage(
        render(userPainters[index], QSize(userIconWidth, userIconHeight), dpr));
}

QPixmap stateImage(int index, qreal dpr)
{
    if (index < 0 || index >= stateImageCount || !valid(dpr))
        return QPixmap();
    return QPixmap::fromImage(
        render(statePainters[index], QSize(stateImageWidth, stateImageHeight), dpr));
}

QIcon tabIcon(int index)
{
    if (index < 0 || index >= tabIconCount)
        return QIcon();
    return QIcon(new TPaintedIconEngine(tabPainters[index], 16));
}

QIcon appIcon()
{
    return QIcon(new TPaintedIconEngine(appIconSimple, 64, appIconDetailed, appDetailFrom));
}

QImage appIconImage(int size)
{
    if (size < 1 || size > 4096)
        return QImage();
    QImage image =
        render(size >= appDetailFrom ? appIconDetailed : appIconSimple, QSize(64, 64), size / 64.0);
    image.setDevicePixelRatio(1.0);
    return image;
}

} // namespace TIcons
