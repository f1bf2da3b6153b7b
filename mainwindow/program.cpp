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
    QApplication app(argc, argv);
    setupApplication();
    const std::unique_ptr<Tmain> main = startTressel();
    return app.exec();
}
