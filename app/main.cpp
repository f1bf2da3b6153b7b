#include "mainwindow/Tmain.h"
#include "resources/icons.h"

#include <QApplication>

int main(int argc, char **argv)
{
    QApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("Tressel"));
    QApplication::setApplicationDisplayName(QStringLiteral("Tressel"));
    QApplication::setWindowIcon(TIcons::appIcon());
    Tmain main;
    main.show();
    return app.exec();
}
