// Writes the application icon as PNG files for the desktop's icon theme:
//   tressel-appicon OUTDIR SIZE...
// creates OUTDIR/SIZExSIZE/tressel.png for each size. Runs at build time, so
// the installed icons are always the ones the window itself shows.
#include "resources/icons.h"

#include <QDir>
#include <QGuiApplication>
#include <QImage>

#include <cstdio>

int main(int argc, char **argv)
{
    qputenv("QT_QPA_PLATFORM", "offscreen");
    QGuiApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.size() < 2) {
        std::fprintf(stderr, "usage: tressel-appicon OUTDIR SIZE...\n");
        return 2;
    }
    for (const QString &sizeText : args.mid(1)) {
        bool ok = false;
        const int size = sizeText.toInt(&ok);
        const QImage image = ok ? TIcons::appIconImage(size) : QImage();
        if (image.isNull()) {
            std::fprintf(stderr, "tressel-appicon: bad size '%s'\n", qPrintable(sizeText));
            return 2;
        }
        const QString dir = QString("%1/%2x%2").arg(args.first()).arg(size);
        const QString file = dir + "/tressel.png";
        if (!QDir().mkpath(dir) || !image.save(file, "PNG")) {
            std::fprintf(stderr, "tressel-appicon: cannot write %s\n", qPrintable(file));
            return 1;
        }
    }
    return 0;
}
