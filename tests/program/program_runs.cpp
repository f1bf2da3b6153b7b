// The whole program in a process of its own (tressel_probe runs the same
// start as the tressel binary and answers its real boxes): how it starts
// and how it quits.
#include "support/datarows.h"

#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <QtTest>

namespace {
const QString quitQuestion = QStringLiteral("Are you sure you wish to quit?");

struct Run {
    int status = -1;
    QStringList lines; // the probe's report, without the final "exit" line
    QString errors;
};

// Runs the probe in a fresh working directory holding tressel.conf with
// conf (CR LF added; none writes no file).
Run runProgram(const QStringList &conf, const QStringList &args)
{
    Run run;
    QTemporaryDir dir;
    if (!conf.isEmpty()) {
        QFile f(dir.filePath(QStringLiteral("tressel.conf")));
        if (!f.open(QIODevice::WriteOnly))
            return run;
        f.write((conf.join(QStringLiteral("\r\n")) + QStringLiteral("\r\n")).toLatin1());
    }
    QProcess p;
    p.setWorkingDirectory(dir.path());
    QProcessEnvironment env = QProcessEnvironment::systemEnvironment();
    env.insert(QStringLiteral("QT_QPA_PLATFORM"), QStringLiteral("offscreen"));
    p.setProcessEnvironment(env);
    p.start(QString::fromLocal8Bit(qgetenv("TRESSEL_PROBE")), args);
    if (!p.waitForFinished(120000)) {
        p.kill();
        p.waitForFinished();
        run.errors = QStringLiteral("the probe did not end");
        return run;
    }
    run.status = p.exitStatus() == QProcess::NormalExit ? p.exitCode() : -2;
    run.errors = QString::fromLocal8Bit(p.readAllStandardError());
    run.lines =
        QString::fromUtf8(p.readAllStandardOutput()).split(QLatin1Char('\n'), Qt::SkipEmptyParts);
    if (!run.lines.isEmpty() && run.lines.last().startsWith(QLatin1String("exit\t")))
        run.lines.removeLast();
    return run;
}

QString box(const QString &title, const QString &text, bool windowShown, bool autoConnected)
{
    return QStringList{
        QStringLiteral("box"), title, text,
        windowShown ? QStringLiteral("window=shown") : QStringLiteral("window=hidden"),
        autoConnected ? QStringLiteral("autoconnect=done") : QStringLiteral("autoconnect=not")}
        .join(QLatin1Char('\t'));
}
QString confirmBox() { return box(QStringLiteral("Confirm"), quitQuestion, true, false); }
const QString stillRunning = QStringLiteral("running\tautoconnect=not");
constexpr int endedByProbe = 99;
} // namespace

class TestProgram : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase() { QVERIFY2(!qgetenv("TRESSEL_PROBE").isEmpty(), "TRESSEL_PROBE not set"); }

    // One confirmation, then the program ends; Cancel keeps it running.
    void quit_data()
    {
        columns<QStringList, QStringList, QStringList, int>("conf", "args", "report", "status");
        const QStringList conf = {"username=alice", "server=127.0.0.1"};
        QTest::newRow("menu Quit, OK")
            << conf << QStringList{"menu-quit", "ok"} << QStringList{confirmBox()} << 0;
        QTest::newRow("/quit, OK")
            << conf << QStringList{"slash-quit", "ok"} << QStringList{confirmBox()} << 0;
        QTest::newRow("closing the window, OK")
            << conf << QStringList{"close", "ok"} << QStringList{confirmBox()} << 0;
        QTest::newRow("menu Quit, Cancel")
            << conf << QStringList{"menu-quit", "cancel"} << QStringList{confirmBox(), stillRunning}
            << endedByProbe;
        QTest::newRow("/quit, Cancel") << conf << QStringList{"slash-quit", "cancel"}
                                       << QStringList{confirmBox(), stillRunning} << endedByProbe;
        QTest::newRow("closing the window, Cancel")
            << conf << QStringList{"close", "cancel"} << QStringList{confirmBox(), stillRunning}
            << endedByProbe;
        const QStringList noConfirm = conf + QStringList{"confirmquit=1"};
        QTest::newRow("menu Quit, not confirmed")
            << noConfirm << QStringList{"menu-quit"} << QStringList() << 0;
        QTest::newRow("closing the window, not confirmed")
            << noConfirm << QStringList{"close"} << QStringList() << 0;
    }
    void quit()
    {
        QFETCH(QStringList, conf);
        QFETCH(QStringList, args);
        QFETCH(QStringList, report);
        QFETCH(int, status);
        const Run run = runProgram(conf, args);
        QCOMPARE(run.lines.join(QLatin1Char('\n')), report.join(QLatin1Char('\n')));
        QCOMPARE(run.status, status);
    }

    // A configuration file that cannot be read is reported before the main
    // window appears and before it connects by itself.
    void configErrorBeforeTheWindow_data()
    {
        columns<QStringList, QStringList>("conf", "report");
        QTest::newRow("no file") << QStringList()
                                 << QStringList{box("Tressel", "File not found.", false, false),
                                                stillRunning};
        // autoConnect=1 is read before the bad line, so the window connects
        // once it is shown: after the box.
        QTest::newRow("bad number after autoConnect=1")
            << QStringList{"username=alice", "server=127.0.0.1", "autoConnect=1", "chat_size=big"}
            << QStringList{box("Tressel", "'big' is not a valid integer value.", false, false),
                           "running\tautoconnect=done"};
    }
    void configErrorBeforeTheWindow()
    {
        QFETCH(QStringList, conf);
        QFETCH(QStringList, report);
        const Run run = runProgram(conf, {QStringLiteral("none")});
        QCOMPARE(run.lines.join(QLatin1Char('\n')), report.join(QLatin1Char('\n')));
        QCOMPARE(run.status, endedByProbe);
    }
};

QTEST_GUILESS_MAIN(TestProgram)
#include "program_runs.moc"
