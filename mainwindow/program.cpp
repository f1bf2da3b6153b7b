#include "mainwindow/program.h"

#include "base/guard.h"
#include "mainwindow/Tmain.h"
#include "resources/icons.h"
#include "widgets/dialogs.h"

#include <QApplication>

void setupApplication()
{
    // The name only: with a display name set, the platform would append
    // " — Tressel" to every window's caption.
    QApplication::setApplicationName(QStringLiteral("Tressel"));
    QApplication::setWindowIcon(TIcons::appIcon());
    setErrorDisplay(showErrorBox);
}

std::unique_ptr<Tmain> startTressel()
{
    auto main = std::make_unique<Tmain>();
    // A configuration file that could not be read is reported before the
    // window appears, and so before it connects by itself.
    showWaitingErrors();
    main->show();
    return main;
}

int runTressel(int argc, char **argv)
{
    // On X11 the window's frames go to the server in its connection, not
    // through shared memory: with shared memory Qt waits for the server (a
    // round trip, and two threads woken) before painting each frame, and a
    // busy channel paints a frame for each line. The pane moves what it
    // drew on the server's side and sends only the new line's strip. Set
    // by itself, Qt's variable is left as it is; programs started from
    // here do not inherit it.
    const bool ownShmChoice = !qEnvironmentVariableIsSet("QT_XCB_NO_MITSHM");
    if (ownShmChoice)
        qputenv("QT_XCB_NO_MITSHM", "1");
    QApplication app(argc, argv);
    if (ownShmChoice)
        qunsetenv("QT_XCB_NO_MITSHM");
    setupApplication();
    const std::unique_ptr<Tmain> main = startTressel();
    return app.exec();
}
