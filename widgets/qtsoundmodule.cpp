// tressel-sound.so: the whisper sound through Qt Multimedia, in a module of
// its own so that the program maps Qt Multimedia (and the sound server's
// library and codecs it brings) only once a sound plays.
#include "widgets/sound.h"

#include <QApplication>
#include <QFileInfo>
#include <QPointer>
#include <QSoundEffect>
#include <QUrl>

namespace {

class QtSoundPlayer final : public TSoundPlayer {
public:
    void play(const QString &fileName) override
    {
        const QFileInfo file(fileName);
        if (!file.isFile()) {
            QApplication::beep();
            return;
        }
        // One effect for the whole run, owned by the application so that it
        // goes away before the audio back end does.
        if (!m_effect)
            m_effect = new QSoundEffect(qApp);
        const QUrl source = QUrl::fromLocalFile(file.absoluteFilePath());
        if (m_effect->source() != source)
            m_effect->setSource(source); // loads in the background
        else
            m_effect->stop(); // a new whisper starts the sound again
        m_effect->play();     // plays once loaded; never waits for the end
    }

private:
    QPointer<QSoundEffect> m_effect;
};

} // namespace

extern "C" Q_DECL_EXPORT TSoundPlayer *tresselSoundPlayer()
{
    static QtSoundPlayer player;
    return &player;
}
