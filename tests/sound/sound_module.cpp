// The whisper sound's module: the program maps Qt Multimedia only once a
// sound plays, a module that cannot be loaded is said once and the beep
// stands in, and the module's player plays.
#include "widgets/sound.h"

#include <QFile>
#include <QTemporaryDir>
#include <QtTest>

namespace {
bool mapped(const char *library)
{
    QFile maps(QStringLiteral("/proc/self/maps"));
    return maps.open(QIODevice::ReadOnly) && maps.readAll().contains(library);
}
} // namespace

class TestSoundModule : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Runs first: nothing of the program links Qt Multimedia, and the
    // default player has not looked for its module yet.
    void noModuleBesideTheProgramIsSaidOnce()
    {
        QVERIFY(!mapped("libQt6Multimedia"));
        QStringList reports;
        setSoundFailureReport([&reports](const QString &m) { reports << m; });
        // No file, no module wanted: the beep, and nothing to say.
        soundPlayer().play(QStringLiteral("/nonexistent/whisper.wav"));
        QCOMPARE(reports.size(), 0);
        // This test program has no module beside it.
        soundPlayer().play(QStringLiteral(TRESSEL_WHISPER_WAV));
        soundPlayer().play(QStringLiteral(TRESSEL_WHISPER_WAV));
        setSoundFailureReport(nullptr);
        QCOMPARE(reports.size(), 1);
        QVERIFY2(reports[0].contains(QStringLiteral("not found")), qPrintable(reports[0]));
        QVERIFY2(reports[0].contains(QCoreApplication::applicationDirPath() +
                                     QStringLiteral("/tressel-sound.so")),
                 qPrintable(reports[0]));
        QVERIFY(!mapped("libQt6Multimedia"));
    }

    void notAModule()
    {
        QTemporaryDir dir;
        const QString path = dir.filePath(QStringLiteral("tressel-sound.so"));
        QFile f(path);
        QVERIFY(f.open(QIODevice::WriteOnly));
        f.write("not a shared object\n");
        f.close();
        QString error;
        QCOMPARE(loadSoundModule(path, &error), nullptr);
        QVERIFY(!error.isEmpty());
        QVERIFY(!mapped("libQt6Multimedia"));
    }

    // Where a build puts the module (beside the program) and where an
    // install puts it (lib/tressel, checked by the install test).
    void lookedForBesideTheProgramThenInLib()
    {
        QCOMPARE(soundModuleCandidates(QStringLiteral("/opt/t/bin")),
                 QStringList({QStringLiteral("/opt/t/bin/tressel-sound.so"),
                              QStringLiteral("/opt/t/lib/tressel/tressel-sound.so")}));
        QCOMPARE(QFileInfo(QStringLiteral(TRESSEL_SOUND_MODULE)).fileName(),
                 QStringLiteral("tressel-sound.so"));
    }

    void theModulePlays()
    {
        QString error;
        TSoundPlayer *player = loadSoundModule(QStringLiteral(TRESSEL_SOUND_MODULE), &error);
        QVERIFY2(player, qPrintable(error));
        QVERIFY(mapped("libQt6Multimedia"));
        // Loading twice gives the same player: one sound effect a run.
        QCOMPARE(loadSoundModule(QStringLiteral(TRESSEL_SOUND_MODULE), &error), player);
        player->play(QStringLiteral(TRESSEL_WHISPER_WAV));
        player->play(QStringLiteral(TRESSEL_WHISPER_WAV)); // starts it again
        player->play(QStringLiteral("/nonexistent/whisper.wav"));
    }
};

QTEST_MAIN(TestSoundModule)
#include "sound_module.moc"
