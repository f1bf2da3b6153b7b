// Saves <folder>/comforts-find.png (the find bar open over a chat with a
// link and a marked mention) and <folder>/comforts-chat.png (the same chat
// without the bar):
//   comforts_screenshots [folder]   (default /tmp)
// QT_SCALE_FACTOR=2 gives the 200% pictures.
#include "support/mainwindowfixture.h"

#include "mainwindow/comforts.h"
#include "preferences/Toptions.h"
#include "support/frames.h"
#include "support/waits.h"
#include "widgets/TTranscriptView.h"
#include "widgets/findbar.h"

#include <QApplication>
#include <QLineEdit>
#include <QTreeWidget>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    const QString folder =
        argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath() : QStringLiteral("/tmp");
    MainWindowFixture f({QStringLiteral("username=alice"), QStringLiteral("server=127.0.0.1"),
                         QStringLiteral("timeStamps=1")});
    Tmain &m = *f.main;
    m.resize(760, 460);
    m.show();
    if (!waitExposed(&m))
        return 1;
    m.processChannel(QStringLiteral("Tressel"));
    for (const char *name : {"alice", "bob", "carol", "dave"})
        m.processShowUser(QString::fromLatin1(name), QStringLiteral("0010"),
                          QStringLiteral("CHAT"));
    const char *lines[][2] = {
        {"bob", "anyone tried the new ladder map?"},
        {"carol", "the notes are at https://example.org/ladder/notes (long read)"},
        {"dave", "alice: you were on it last night, weren't you?"},
        {"bob", "www.example.com has the replays too"},
        {"carol", "the ladder resets on Sunday"},
        {"dave", "ok, see you on the ladder"},
    };
    for (const auto &l : lines)
        m.processTalk(QString::fromLatin1(l[0]), QString::fromLatin1(l[1]));
    m.text->setText(QStringLiteral("bo"));
    m.flushUsers();
    (void)framesPass(6); // the picture is for the eye: the panes settle first
    m.grab().save(folder + QStringLiteral("/comforts-chat.png"));
    m.comforts->openFindBar();
    QTest::keyClicks(m.comforts->findBar()->field(), QStringLiteral("ladder"));
    QTest::keyClick(m.comforts->findBar()->field(), Qt::Key_Return);
    (void)framesPass(6);
    m.grab().save(folder + QStringLiteral("/comforts-find.png"));
    std::printf("saved in %s\n", qPrintable(folder));
    return 0;
}
