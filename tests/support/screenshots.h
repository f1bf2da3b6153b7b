#pragma once
// What the programs that take the documentation's pictures share: the
// folder from the first argument (default /tmp), the application font from
// the second and third (family, points), and a scratch working directory
// holding the tressel.conf they start from. No modal window may open while
// the pictures are taken (an error box would mean a picture of a broken
// dialog): the dialogs are scripted, and an error box is told on stderr.
#include "support/scripteddialogs.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QFont>
#include <QFontInfo>
#include <QTemporaryDir>
#include <QThread>

#include <cstdio>
#include <cstdlib>

class PictureSetup {
public:
    PictureSetup(int argc, char **argv, const QByteArray &conf)
        : folder(argc > 1 ? QDir(QString::fromLocal8Bit(argv[1])).absolutePath()
                          : QStringLiteral("/tmp"))
    {
        if (argc > 3) {
            QApplication::setFont(QFont(QString::fromLocal8Bit(argv[2]), std::atoi(argv[3])));
            std::printf("font %s\n", qPrintable(QFontInfo(QApplication::font()).family()));
        }
        QDir::setCurrent(m_scratch.path());
        QFile file(QStringLiteral("tressel.conf"));
        ok = file.open(QIODevice::WriteOnly) && file.write(conf) == conf.size();
        m_silent.onAsked = [](const ScriptedDialogs::Asked &a) {
            if (a.kind == QLatin1String("error"))
                std::fprintf(stderr, "error box: %s\n", qPrintable(a.text));
        };
    }

    // The display settles before a picture: what is laid out and painted
    // over a few passes of the event loop, in real time (a picture is for
    // the eye, not a test).
    static void settle(int rounds = 10)
    {
        for (int i = 0; i < rounds; ++i) {
            QCoreApplication::processEvents();
            QThread::msleep(10);
        }
    }

    const QString folder;
    bool ok = false;

private:
    QTemporaryDir m_scratch;
    ScriptedDialogs m_silent;
};
