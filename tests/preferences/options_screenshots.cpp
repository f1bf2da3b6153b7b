// Shows the preferences dialog and saves each tab, as the dialog draws it,
// into <folder>/options-<n>-<tab>.png (at the screen's device pixel ratio):
//   options_screenshots [folder [family points]]   (default /tmp, the
//   desktop's face; a family and size given are the application font)
// QT_SCALE_FACTOR=2 gives the 200% pictures. The dialog starts from a scratch
// folder with a small configuration file, so the lists have entries.
#include "preferences/Toptions.h"
#include "support/screenshots.h"
#include "support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QPixmap>
#include <QScrollArea>
#include <QScrollBar>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {
void settle() { PictureSetup::settle(); }
} // namespace

// The configuration the pictures start from.
const char startConf[] =
    "username=Tresseler\r\npassword=secret\r\nhomechannel=Clan Tressel\r\n"
    "awaymessage=Back soon\r\nlogfilename=/home/me/tressel/chat.log\r\nkeeplog=1\r\n"
    "notifications=1\r\nantiidle=1\r\nidletype=2\r\ntimeStamps=1\r\n"
    "squelchFlooders=1\r\nsquelchAscii=1\r\nasciiPercentage=40\r\nsquelchUc=1\r\n"
    "ucPercentage=100\r\nautoAction=0\r\ndblClickAction=2\r\nhistoryDelay=600\r\n"
    "minLineLength=255\r\ntriggerPhrase=buy gold\r\ntriggerPhrase=^free .*items\r\n"
    "safe=Arthas\r\nsafe=jaina\r\nsafe=Thrall\r\nbg_colour=Black\r\n"
    "text_colour=Silver\r\nwhisp_colour=Sky Blue\r\naction_bot=2\r\n";

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const PictureSetup setup(argc, argv, startConf);
    if (!setup.ok)
        return 1;
    const QString &folder = setup.folder;

    Toptions options;
    options.show();
    settle();
    int failures = 0;
    auto save = [&](const QString &path) {
        const QPixmap shot = options.grab();
        if (!shot.save(path)) {
            std::fprintf(stderr, "could not write %s\n", qPrintable(path));
            ++failures;
            return;
        }
        std::printf("%s (%dx%d, ratio %.1f)\n", qPrintable(path), shot.width(), shot.height(),
                    shot.devicePixelRatio());
    };
    for (int tab = 0; tab < options.tabs->count(); ++tab) {
        options.tabs->setCurrentIndex(tab);
        settle();
        QString name = options.tabs->tabText(tab).toLower();
        name.replace(QLatin1Char(' '), QLatin1Char('-'));
        save(QStringLiteral("%1/options-%2-%3.png").arg(folder).arg(tab).arg(name));
        // A page that scrolls, scrolled to its end as well.
        if (auto *area = qobject_cast<QScrollArea *>(options.tabs->widget(tab))) {
            area->verticalScrollBar()->setValue(area->verticalScrollBar()->maximum());
            settle();
            save(QStringLiteral("%1/options-%2-%3-end.png").arg(folder).arg(tab).arg(name));
            area->verticalScrollBar()->setValue(0);
        }
    }
    return failures ? 1 : 0;
}
