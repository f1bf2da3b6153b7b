#include "fuzzwindow.h"

#include "history/historystore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/historydesk.h"

#include <QPointer>
#include <QSqlDatabase>

#include <cstdlib>

namespace {

QPointer<Tmain> &newest()
{
    static QPointer<Tmain> window;
    return window;
}

// The windows are never destroyed (Qt's own globals are gone when the
// fuzzer exits), but the newest one's history writer would still be
// writing while Qt SQL's connections and its SQLite driver are destroyed
// at exit, and crash there: it is stopped first. Registered once the
// history is open (the driver loaded, the connections made), so that it
// runs before they are destroyed.
void stopHistoryAtExit(Tmain *window)
{
    static bool registered = false;
    if (registered)
        return;
    registered = true;
    window->historyDesk->historyStore()->waitOpen();
    (void)QSqlDatabase::connectionNames();
    std::atexit([] {
        if (Tmain *w = newest())
            w->historyDesk->historyStore()->stop();
    });
}

} // namespace

Tmain *newFuzzWindow()
{
    Tmain *window = new Tmain;
    window->terminate = [] {};
    window->notifyDesktop = nullptr; // nothing reaches the session bus
    newest() = window;
    stopHistoryAtExit(window);
    return window;
}

Tmain *startFuzzWindow()
{
    startFuzzApplication();
    writeFuzzFile(QStringLiteral("tressel.conf"), everythingOnConfig());
    return newFuzzWindow();
}
