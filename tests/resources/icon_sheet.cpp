// Writes every picture into contact sheets, one per device pixel ratio, plus
// a 4x enlargement of the 1x sheet, so they can be checked by eye:
//   QT_QPA_PLATFORM=offscreen icon_sheet [folder]   (default /tmp)
#include "resources/icons.h"

#include <QApplication>
#include <QDir>
#include <QPainter>
#include <cstdio>

namespace {

const int cell = 34;
const int columns = 19;
const int height = 176;

// One strip of every picture, at x offset `left`.
void strip(QPainter &p, int left, qreal dpr)
{
    int y = 3;
    for (int i = 0; i < TIcons::userIconCount; ++i)
        p.drawPixmap(QPointF(left + i * cell + 3, y), TIcons::userIcon(i, dpr));
    y += 20;
    for (int i = 0; i < TIcons::stateImageCount; ++i)
        p.drawPixmap(QPointF(left + i * cell + 8, y), TIcons::stateImage(i, dpr));
    y += 20;
    for (int i = 0; i < TIcons::menuIconCount; ++i) {
        const QIcon icon = TIcons::menuIcon(i);
        p.drawPixmap(QPointF(left + i * cell + 9, y), icon.pixmap(QSize(16, 16), dpr));
        p.drawPixmap(QPointF(left + (i + 10) * cell + 9, y),
                     icon.pixmap(QSize(16, 16), dpr, QIcon::Disabled));
    }
    y += 20;
    for (int i = 0; i < TIcons::tabIconCount; ++i)
        p.drawPixmap(QPointF(left + i * cell + 9, y),
                     TIcons::tabIcon(i).pixmap(QSize(16, 16), dpr));
    y += 22;
    int x = left + 4;
    for (int side : {16, 24, 32, 48, 64}) {
        TIcons::appIcon().paint(&p, QRect(x, y, side, side));
        x += side + 6;
    }
}

// Every picture on a dark and on a light ground, side by side.
QImage sheet(qreal dpr)
{
    const int half = columns * cell;
    QImage image(QSize(2 * half, height) * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    QPainter p(&image);
    p.fillRect(QRectF(0, 0, half, height), QColor(0x30, 0x30, 0x40));
    p.fillRect(QRectF(half, 0, half, height), QColor(0xf4, 0xf4, 0xf4));
    strip(p, 0, dpr);
    strip(p, half, dpr);
    p.end();
    return image;
}

bool save(const QImage &image, const QString &path)
{
    if (!image.save(path)) {
        std::fprintf(stderr, "cannot write %s\n", qPrintable(path));
        return false;
    }
    std::printf("%s\n", qPrintable(path));
    return true;
}

} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder = argc > 1 ? QString::fromLocal8Bit(argv[1]) : QDir::tempPath();
    const QImage one = sheet(1.0);
    bool ok = save(one, folder + "/icons_1x.png");
    ok = save(sheet(2.0), folder + "/icons_2x.png") && ok;
    const QImage dark = one.copy(0, 0, columns * cell, height);
    ok = save(dark.scaled(dark.size() * 4, Qt::IgnoreAspectRatio, Qt::FastTransformation),
              folder + "/icons_1x_zoom4.png") &&
         ok;
    ok = save(TIcons::appIconImage(256), folder + "/icons_app256.png") && ok;
    return ok ? 0 : 1;
}
