#include "fuzzsupport.h"

#include "base/clock.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QLocale>
#include <QTemporaryDir>

#include <cstdio>
#include <cstdlib>

namespace {
QApplication *application = nullptr;
QTemporaryDir *workDir = nullptr;
ScriptedDialogs *dialogsInUse = nullptr;
} // namespace

void startFuzzApplication()
{
    if (application)
        return;
    qputenv("QT_QPA_PLATFORM", "offscreen");
    // Qt's own warnings about odd fonts and sizes would flood the output.
    qputenv("QT_LOGGING_RULES", "*.debug=false;*.warning=false");
    static int argc = 1;
    static char name[] = "tressel-fuzz";
    static char *argv[] = {name, nullptr};
    application = new QApplication(argc, argv);
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
    setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)); });
    workDir = new QTemporaryDir();
    if (!workDir->isValid() || !QDir::setCurrent(workDir->path())) {
        std::fprintf(stderr, "tressel-fuzz: no temporary working directory\n");
        std::exit(1);
    }
    dialogsInUse = new ScriptedDialogs; // installs itself
    dialogsInUse->record = false;
}

ScriptedDialogs &fuzzDialogs() { return *dialogsInUse; }

void writeFuzzFile(const QString &name, const QByteArray &bytes)
{
    QFile f(name);
    if (!f.open(QIODevice::WriteOnly | QIODevice::Truncate) || f.write(bytes) != bytes.size())
        fuzzFailure("cannot write the input file", name);
}

void removeFuzzFile(const QString &name) { QFile::remove(name); }

void settleEvents()
{
    QCoreApplication::processEvents();
    QCoreApplication::sendPostedEvents(nullptr, QEvent::DeferredDelete);
}

QByteArray everythingOnConfig()
{
    const QStringList lines = {
        "username=alice",
        "server=127.0.0.1",
        "homechannel=Home",
        "logfilename=/dev/null",
        "rawlogfilename=/dev/null",
        "keeplog=1",
        "keeprawlog=1",
        "anticensor=1",
        "alertwhisper=1",
        "suppressplaysound=1",
        "timeStamps=1",
        "notifications=1",
        "squelchPrompt=1",
        "squelchFlooders=1",
        "squelchAscii=1",
        "squelchUc=1",
        "squelchLeet=1",
        "asciiPercentage=40",
        "ucPercentage=60",
        "leetPercentage=30",
        "minLineLength=1",
        "autoAction=0",
        "historyDelay=600",
        "triggerPhrase=(?i)spam",
        "triggerPhrase=^buy .* now$",
        "triggerPhrase=[",
        "safe=Kelm",
        "safe=bob",
        "action_diablos=1",
        "action_diablo1=2",
        "action_diablo2=3",
        "action_starcrafts=1",
        "action_starcraft=3",
        "action_broodwar=2",
        "action_warcraft=1",
        "action_bot=3",
    };
    return (lines.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1();
}

void fuzzFailure(const char *what, const QString &detail)
{
    std::fprintf(stderr, "tressel-fuzz: %s: %s\n", what, detail.toLatin1().constData());
    std::abort();
}
