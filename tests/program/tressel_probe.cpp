// Runs the whole program, the way the tressel binary runs it, and plays its
// user: it answers the real message boxes the program opens (found as the
// active modal window), can ask the program to quit, and reports on stdout
// every box it saw. Nothing of the program is replaced.
//
// Usage: tressel_probe ACTION [ANSWER...]
//   ACTION  none; menu-quit (the Quit menu item); slash-quit ("/quit" typed
//           into the input line, then Enter); close (the window is closed,
//           as by its frame).
//   ANSWER  ok or cancel, for the confirmations in turn. A confirmation
//           beyond those is cancelled, as by a user who already answered.
//           Error and information boxes are answered OK.
// Output, one line each, fields separated by tabs:
//   box TITLE TEXT window=shown|hidden autoconnect=done|not
//   running autoconnect=done|not    (the probe had to end the program)
//   exit STATUS
// The program ends itself (status 0) or, when it has been idle for a while
// after the action, the probe ends it with status 99.
#include "mainwindow/Tmain.h"
#include "mainwindow/program.h"

#include <QAbstractButton>
#include <QAction>
#include <QApplication>
#include <QElapsedTimer>
#include <QLineEdit>
#include <QMessageBox>
#include <QQueue>
#include <QTest>
#include <QTimer>
#include <cstdio>

namespace {
constexpr int idleMs = 1500;      // quiet time after which the program stays up
constexpr int deadlineMs = 30000; // the window never came

QString action;
QQueue<QString> answers;

void report(const QStringList &fields)
{
    std::printf("%s\n", fields.join(QLatin1Char('\t')).toUtf8().constData());
    std::fflush(stdout);
}

Tmain *mainWindow()
{
    for (QWidget *w : QApplication::topLevelWidgets())
        if (auto *m = qobject_cast<Tmain *>(w))
            return m;
    return nullptr;
}

QString autoConnectState()
{
    const Tmain *m = mainWindow();
    return QStringLiteral("autoconnect=") +
           (m && m->envVars.autoConnectDone ? QStringLiteral("done") : QStringLiteral("not"));
}

class Probe : public QObject {
public:
    explicit Probe(QObject *parent) : QObject(parent)
    {
        m_sinceStart.start();
        m_idle.start();
        auto *timer = new QTimer(this);
        connect(timer, &QTimer::timeout, this, [this] { tick(); });
        timer->start(20);
    }

private:
    void tick()
    {
        if (auto *box = qobject_cast<QMessageBox *>(QApplication::activeModalWidget())) {
            if (box->isVisible())
                answer(box);
            return;
        }
        Tmain *m = mainWindow();
        if (!m_acted) {
            if (m && m->isVisible() && !m->isActiveWindow()) {
                m->activateWindow(); // as the user would, by clicking it
            } else if (m && m->isVisible()) {
                m_acted = true;
                m_idle.restart();
                // From a timer of its own: a box the action opens runs a
                // loop of its own, in which this timer must go on ticking.
                QTimer::singleShot(0, m, [m] { act(m); });
            } else if (m_sinceStart.elapsed() > deadlineMs) {
                report({QStringLiteral("no window")});
                QCoreApplication::exit(98);
            }
            return;
        }
        if (m_idle.elapsed() > idleMs) {
            report({QStringLiteral("running"), autoConnectState()});
            QCoreApplication::exit(99);
        }
    }

    void answer(QMessageBox *box)
    {
        const Tmain *m = mainWindow();
        report({QStringLiteral("box"), box->windowTitle(), box->text(),
                QStringLiteral("window=") +
                    (m && m->isVisible() ? QStringLiteral("shown") : QStringLiteral("hidden")),
                autoConnectState()});
        QAbstractButton *button = box->button(QMessageBox::Ok);
        if (box->button(QMessageBox::Cancel)) {
            const bool ok = !answers.isEmpty() && answers.dequeue() == QLatin1String("ok");
            button = box->button(ok ? QMessageBox::Ok : QMessageBox::Cancel);
        }
        m_idle.restart();
        if (button)
            button->click();
        else
            box->reject();
    }

    static void act(Tmain *m)
    {
        if (action == QLatin1String("menu-quit")) {
            m->menus.Quit->trigger();
        } else if (action == QLatin1String("slash-quit")) {
            m->text->setFocus();
            QTest::keyClicks(m->text, QStringLiteral("/quit"));
            QTest::keyClick(m->text, Qt::Key_Return);
        } else if (action == QLatin1String("close")) {
            m->close();
        }
    }

    QElapsedTimer m_sinceStart;
    QElapsedTimer m_idle;
    bool m_acted = false;
};

void startProbe() { new Probe(QCoreApplication::instance()); }
} // namespace

// Runs as soon as the program has made its application object.
Q_COREAPP_STARTUP_FUNCTION(startProbe)

int main(int argc, char **argv)
{
    if (argc < 2) {
        std::fprintf(stderr, "usage: %s ACTION [ANSWER...]\n", argv[0]);
        return 2;
    }
    action = QString::fromLocal8Bit(argv[1]);
    for (int i = 2; i < argc; ++i)
        answers.enqueue(QString::fromLocal8Bit(argv[i]));
    // The program reads no command line; it gets only its own name.
    const int status = runTressel(1, argv);
    report({QStringLiteral("exit"), QString::number(status)});
    return status;
}
