// Shows the "History" window over a few days of a channel, searching for a
// word with hidden lines included, and saves it as <folder>/history.png (at
// the screen's device pixel ratio):
//   history_screenshots [folder]   (default /tmp)
// QT_SCALE_FACTOR=2 gives the 200% picture.
#include "base/clock.h"
#include "history/historystore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/historydesk.h"
#include "mainwindow/historywindow.h"
#include "support/screenshots.h"

#include <QApplication>
#include <QCheckBox>
#include <QFile>
#include <QLineEdit>
#include <QPixmap>
#include <QTableView>
#include <QTest>
#include <cstdio>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    PictureSetup setup(argc, argv, "username=Tresseler\r\nserver=127.0.0.1\r\ntimeStamps=1\r\n");
    QFile brx(QStringLiteral("brx.conf"));
    if (!setup.ok || !brx.open(QIODevice::WriteOnly))
        return 1;
    brx.write("CHATGoldSeller\r\n");
    brx.close();

    QDateTime now(QDate(2026, 12, 6), QTime(20, 41, 7));
    setClock([&now] { return now; });
    Tmain main;
    main.terminate = [] {};
    main.show();
    PictureSetup::settle();
    struct Said {
        int minutes; // after the start
        const char *who, *text;
    };
    const Said said[] = {
        {0, "Arthas", "anyone for a 2v2?"},
        {2, "GoldSeller", "BUY GOLD cheap at www.goldnow.com"},
        {3, "Jaina", "where do people buy gold these days? asking for a friend"},
        {9, "Thrall", "gg all"},
        {1440, "Arthas", "back again; who has the gold mine map?"},
        {1441, "GoldSeller", "gold gold gold, 10k for $5"},
        {1460, "Sylvanas", "the gold mine map is on the forum"},
        {2890, "Jaina", "the new patch changed gold income, read the notes"},
        {2891, "Thrall", "nice"},
    };
    for (const char *channel : {"Op Tressel", "Clan Gold"}) {
        main.processChannel(QString::fromLatin1(channel));
        const QDateTime start = now;
        for (const Said &s : said) {
            now = start.addSecs(s.minutes * 60 + (channel[0] == 'C' ? 17 : 0));
            main.processTalk(QString::fromLatin1(s.who), QString::fromLatin1(s.text));
        }
    }
    main.historyDesk->HistoryClick();
    THistoryWindow *w = main.historyDesk->historyWindow();
    if (!w)
        return 1;
    w->resize(900, 480);
    w->hiddenBox->setChecked(true);
    QTest::keyClicks(w->searchEdit, QStringLiteral("gold"));
    QTest::keyClick(w->searchEdit, Qt::Key_Return);
    PictureSetup::settle();
    // Enter on a result shows the lines around it.
    w->table->selectRow(2);
    w->table->setFocus();
    QTest::keyClick(w->table, Qt::Key_Return);
    PictureSetup::settle();
    const QString path = setup.folder + QStringLiteral("/history.png");
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok ? 0 : 1;
}
