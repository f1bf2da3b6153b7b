// Shows the "Moderation Journal" window and the trigger tester over a
// journal of a few entries, and saves them as
// <folder>/journal.png and <folder>/tester.png (at the screen's device
// pixel ratio):
//   journal_screenshots [folder [family points]]   (default /tmp, the
//   desktop's face; a family and size given are the application font)
// QT_SCALE_FACTOR=2 gives the 200% pictures.
#include "mainwindow/Tmain.h"
#include "mainwindow/journal.h"
#include "mainwindow/journalwindow.h"
#include "preferences/Toptions.h"
#include "preferences/triggertesterdialog.h"
#include "rules/journal.h"
#include "support/screenshots.h"
#include "support/scripteddialogs.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QFontInfo>
#include <QLineEdit>
#include <QPixmap>
#include <QPushButton>
#include <QTableView>
#include <QTemporaryDir>
#include <QThread>
#include <cstdio>
#include <cstdlib>

namespace {
void settle() { PictureSetup::settle(20); }

bool save(QWidget *w, const QString &path)
{
    const bool ok = w->grab().save(path);
    std::printf("%s %s\n", ok ? "saved" : "FAILED", qPrintable(path));
    return ok;
}
} // namespace

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const PictureSetup setup(
        argc, argv,
        "username=Tresseler\r\nsquelchFlooders=1\r\nsquelchUc=1\r\nucPercentage=70\r\n"
        "autoAction=0\r\nminLineLength=5\r\ntriggerPhrase=(?i)buy\\s+gold\r\n"
        "triggerPhrase=^free .*items\r\ntriggerPhrase=www\\.[a-z]+\\.com\r\nsafe=Arthas\r\n");
    if (!setup.ok)
        return 1;
    const QString &folder = setup.folder;
    using namespace journal;
    const auto at = [](int s) {
        return QDateTime(QDate(2026, 12, 8), QTime(21, 14, 3)).addSecs(s).toString(timeFormat);
    };
    QByteArray bytes;
    const Entry entries[] = {
        {at(0), permasquelchAction, "GoldSeller", "Trigger Phrase/Trigger Phrase",
         "(?i)buy\\s+gold | www\\.[a-z]+\\.com", "BUY GOLD cheap at www.goldnow.com"},
        {at(12), permasquelchAction, "l33t|{1ng", "L33t Username", "", ""},
        {at(40), squelchAction, "Shouter", "Uppercase Characters", "", "WHY IS NOBODY ANSWERING"},
        {at(41), ignoreAction, "SpamBot", "Product CHAT", "", ""},
        {at(95), permasquelchAction, "Repeater", "Flooding", "", "join my game"},
        {at(130), squelchAction, "Arthas", "Manual", "", ""},
        {at(131), unsquelchAction, "Arthas", "Undo", at(130), ""},
        {at(300), permasquelchAction, "Kelthuzad", "Manually Permasquelched", "", ""},
        {at(305), permasquelchAction, "ItemGiver", "Trigger Phrase", "^free .*items",
         "free shiny items for all"},
    };
    for (const Entry &e : entries)
        bytes += formatEntry(e);
    QFile journalFile(QStringLiteral("journal.log"));
    if (!journalFile.open(QIODevice::WriteOnly))
        return 1;
    journalFile.write(bytes);
    journalFile.close();
    QFile brx(QStringLiteral("brx.conf"));
    if (brx.open(QIODevice::WriteOnly))
        brx.write("CHATGoldSeller\r\nCHATl33t|{1ng\r\nCHATRepeater\r\nCHATKelthuzad\r\n"
                  "CHATItemGiver\r\n");
    brx.close();

    Tmain main;
    main.terminate = [] {};
    main.show();
    settle();
    for (const char *line : {"buy gold here, cheapest prices", "anyone up for a game?",
                             "BUY GOLD NOW at www.goldnow.com", "gg all", "where to buy gold?"})
        main.processTalk(QStringLiteral("Peasant"), QString::fromLatin1(line));
    main.processTalk(QStringLiteral("Arthas"), QStringLiteral("I never buy gold, honest"));
    main.journalDesk->JournalClick();
    TJournalWindow *j = main.journalDesk->journalWindow();
    j->resize(1100, 380);
    settle();
    // A row whose undo the window explains.
    j->table->selectRow(1);
    settle();
    int failures = 0;
    failures += !save(j, folder + QStringLiteral("/journal.png"));
    j->table->selectRow(0);
    settle();
    // As the window's Test... opens it: the entry's first phrase and its text.
    j->testButton->click();
    auto *d = j->findChild<TTriggerTesterDialog *>();
    if (!d)
        return 1;
    settle();
    failures += !save(d, folder + QStringLiteral("/tester.png"));
    return failures;
}
