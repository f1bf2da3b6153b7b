#include "fuzzwindow.h"

#include "mainwindow/Tmain.h"

Tmain *newFuzzWindow()
{
    Tmain *window = new Tmain;
    window->terminate = [] {};
    window->notifyDesktop = nullptr; // nothing reaches the session bus
    return window;
}

Tmain *startFuzzWindow()
{
    startFuzzApplication();
    writeFuzzFile(QStringLiteral("tressel.conf"), everythingOnConfig());
    return newFuzzWindow();
}
