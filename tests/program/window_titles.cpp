// The window titles as the X server holds them. Qt's windowTitle() is the
// caption the program set; what a desktop shows is the name the platform
// gave the X window, and that is what must read exactly as the captions.
// Runs on a real X server (under xvfb-run from CTest) and skips without one.
#include "base/clock.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/program.h"
#include "preferences/Toptions.h"
#include "support/datarows.h"
#include "support/waits.h"

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QMessageBox>
#include <QProcess>
#include <QStandardPaths>
#include <QTemporaryDir>
#include <QTimer>
#include <QtTest>
#include <memory>

namespace {
// The names xprop reads for window id, as "PROPERTY = value" lines.
QString xNames(WId id)
{
    QProcess p;
    p.start(QStringLiteral("xprop"),
            {QStringLiteral("-id"), QString::number(id), QStringLiteral("-notype"),
             QStringLiteral("_NET_WM_NAME"), QStringLiteral("WM_NAME")});
    if (!p.waitForFinished(10000))
        return QStringLiteral("xprop did not answer");
    return QString::fromUtf8(p.readAllStandardOutput()).trimmed();
}

QString expectedNames(const QString &caption)
{
    return QStringLiteral("_NET_WM_NAME = \"%1\"\nWM_NAME = \"%1\"").arg(caption);
}

// Runs f once the active modal box is up, then cancels it.
void whileBoxIsUp(const std::function<void(QMessageBox *)> &f)
{
    auto *poll = new QTimer(qApp);
    QObject::connect(poll, &QTimer::timeout, poll, [poll, f] {
        auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget());
        if (!box || !box->isVisible())
            return;
        poll->stop();
        f(box);
        box->reject();
        poll->deleteLater();
    });
    poll->start(20);
}
} // namespace

class TestWindowTitles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void initTestCase()
    {
        if (QGuiApplication::platformName() != QLatin1String("xcb"))
            QSKIP("no X server: run under xvfb-run (CTest does when it is installed)");
        if (QStandardPaths::findExecutable(QStringLiteral("xprop")).isEmpty())
            QSKIP("xprop is missing (scripts/deps.sh installs x11-utils)");
        QVERIFY(m_dir.isValid());
        m_oldDir = QDir::currentPath();
        QDir::setCurrent(m_dir.path());
    }
    void cleanupTestCase()
    {
        if (!m_oldDir.isEmpty())
            QDir::setCurrent(m_oldDir);
    }
    void cleanup() { m_main.reset(); }

    void titles_data()
    {
        textRows({"window", "caption"},
                 {{"main window", "main", "Tressel [1.5]"},
                  {"main window, chat paused", "paused", "Tressel [1.5] -- PAUSED --"},
                  {"preferences", "options", "Tressel 1.5 - Preferences"},
                  {"quit confirmation", "quit", "Confirm"},
                  {"error box", "error", "Tressel"}});
    }
    void titles()
    {
        QFETCH(QString, window);
        QFETCH(QString, caption);
        // The error box is the start's "File not found": no file then.
        QFile::remove(QStringLiteral("tressel.conf"));
        if (window != QLatin1String("error")) {
            QFile conf(QStringLiteral("tressel.conf"));
            QVERIFY(conf.open(QIODevice::WriteOnly));
            conf.write("username=alice\r\nserver=127.0.0.1\r\n");
        }
        QString seen;
        auto readBox = [&seen](QMessageBox *box) {
            // The name reaches the server a moment after the box maps.
            (void)waitUntil([&] { return xNames(box->winId()).contains(box->windowTitle()); },
                            3000);
            seen = xNames(box->winId());
        };
        if (window == QLatin1String("error"))
            whileBoxIsUp(readBox);
        m_main = startTressel();
        QVERIFY(waitExposed(m_main.get()));
        m_main->terminate = [] {};

        if (window == QLatin1String("main") || window == QLatin1String("paused")) {
            if (window == QLatin1String("paused")) {
                m_main->timer->stop(); // it would blink the caption back
                m_main->envVars.chatPaused = true;
                m_main->timerTimer();
            }
            QTRY_COMPARE(xNames(m_main->winId()), expectedNames(caption));
        } else if (window == QLatin1String("options")) {
            m_main->PreferencesClick();
            QVERIFY(waitExposed(m_main->options));
            QTRY_COMPARE(xNames(m_main->options->winId()), expectedNames(caption));
        } else {
            if (window == QLatin1String("quit")) {
                whileBoxIsUp(readBox);
                m_main->QuitClick();
            }
            QTRY_VERIFY(!seen.isEmpty());
            QCOMPARE(seen, expectedNames(caption));
        }
    }

private:
    QTemporaryDir m_dir;
    QString m_oldDir;
    std::unique_ptr<Tmain> m_main;
};

int main(int argc, char **argv)
{
    // A real X server when there is one; otherwise the tests skip.
    qputenv("QT_QPA_PLATFORM", "xcb;offscreen");
    QApplication app(argc, argv);
    setupApplication();
    TestWindowTitles test;
    return QTest::qExec(&test, argc, argv);
}

#include "window_titles.moc"
