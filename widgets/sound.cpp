#include "widgets/sound.h"

#include <QApplication>
#include <QDir>
#include <QFileInfo>
#include <QLibrary>

namespace {

std::function<void(const QString &)> failureReport;

// Loads the module on the first sound there is a file for, and hands every
// later sound to its player.
class LazyPlayer final : public TSoundPlayer {
public:
    void play(const QString &fileName) override
    {
        if (!QFileInfo(fileName).isFile()) {
            QApplication::beep();
            return;
        }
        if (!m_tried) {
            m_tried = true;
            m_player = load();
        }
        if (m_player)
            m_player->play(fileName);
        else
            QApplication::beep();
    }

private:
    TSoundPlayer *load()
    {
        const QStringList candidates =
            soundModuleCandidates(QCoreApplication::applicationDirPath());
        QString error;
        for (const QString &path : candidates) {
            if (!QFileInfo::exists(path))
                continue;
            if (TSoundPlayer *p = loadSoundModule(path, &error))
                return p;
            break; // a module that is there but broken is the one to report
        }
        if (error.isEmpty())
            error = QStringLiteral("the sound module was not found (looked for %1)")
                        .arg(candidates.join(QStringLiteral(", ")));
        if (failureReport)
            failureReport(QStringLiteral("Sounds cannot play, the system beep stands in: ") +
                          error);
        return nullptr;
    }

    bool m_tried = false;
    TSoundPlayer *m_player = nullptr; // owned by the module, for the whole run
};

LazyPlayer &lazyPlayer()
{
    static LazyPlayer player;
    return player;
}

TSoundPlayer *installed = nullptr;

} // namespace

TSoundPlayer &soundPlayer() { return installed ? *installed : lazyPlayer(); }

void setSoundPlayer(TSoundPlayer *p) { installed = p; }

void setSoundFailureReport(std::function<void(const QString &)> report)
{
    failureReport = std::move(report);
}

QStringList soundModuleCandidates(const QString &programDir)
{
    const QDir dir(programDir);
    return {QDir::cleanPath(dir.filePath(QStringLiteral("tressel-sound.so"))),
            QDir::cleanPath(dir.filePath(QStringLiteral("../lib/tressel/tressel-sound.so")))};
}

TSoundPlayer *loadSoundModule(const QString &path, QString *error)
{
    // Never unloaded: the player and Qt Multimedia's objects live until exit.
    auto *library = new QLibrary(path);
    if (!library->load()) {
        *error = library->errorString();
        delete library;
        return nullptr;
    }
    using Entry = TSoundPlayer *(*)();
    const auto entry = reinterpret_cast<Entry>(library->resolve(TRESSEL_SOUND_MODULE_ENTRY));
    if (!entry) {
        *error = QStringLiteral("%1 is not Tressel's sound module").arg(path);
        library->unload();
        delete library;
        return nullptr;
    }
    return entry();
}
