// What other people say, emote and whisper, the echo of our own whispers,
// and the server's notices.
#include "base/version.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"

#include "connection/TChatInterface.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "widgets/sound.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

namespace {
const QString playsoundPrefix = QStringLiteral("~playsound");
const QString reportinPrefix = QStringLiteral(".reportin");
const QString whisperSound = QStringLiteral("whisper.wav");
} // namespace

bool Tmain::isOwnName(const QString &user) const
{
    QString own;
    return store->tryBytes(TSetting::username, own) && user == own;
}

void Tmain::processUnHandled(const QString &line)
{
    // Only the lines before the login is through come here ("Login failed.").
    writeLine(chat, TLabel::info, line, labelColour());
}

void Tmain::processTalk(const QString &user, const QString &text)
{
    modUser(user, text);
    bool show = true;
    if (store->flag(TSetting::suppressplaysound) && text.startsWith(playsoundPrefix))
        show = false;
    // Both are asked, whatever the first answers.
    const bool squelched = checkSquelch(user);
    const bool lamer = checkLamerMode(user);
    if (squelched || lamer)
        show = false;
    QString line = text;
    if (!show)
        historyLine(QLatin1Char('<') + user + QLatin1Char('>'), text, true);
    if (show) {
        line = applyAntiCensor(line);
        const bool mention = isMention(user, line);
        writeLine(chat, QLatin1Char('<') + user + QLatin1Char('>'), line,
                  colourOf(TSetting::name_colour), QString(), mention);
        if (mention)
            mentionAttention(user, line);
    }
    autosquelchFollowUp(user, line);
    if (text.startsWith(reportinPrefix) && user == QLatin1String("Tressel"))
        sendtext(QStringLiteral("/m tressel I am using Tressel " TRESSEL_VERSION "!"));
    if (text.startsWith(reportinPrefix) && user == QLatin1String("Kelm"))
        sendtext(QStringLiteral("/m kelm I am using Tressel " TRESSEL_VERSION "!"));
}

void Tmain::processEmote(const QString &user, const QString &text)
{
    modUser(user, text);
    QString line = text;
    if (!checkSquelch(user) && !checkLamerMode(user)) {
        line = applyAntiCensor(line);
        const bool mention = isMention(user, line);
        // The name and the text may come in different encodings.
        writeLine(chat,
                  QStringLiteral("* ") + user + QLatin1Char(' ') + line + QStringLiteral(" *"),
                  QString(), colourOf(TSetting::emote_colour),
                  QStringLiteral("* ") + TText::decode(user) + QLatin1Char(' ') +
                      TText::decode(line) + QStringLiteral(" *"),
                  mention);
        if (mention)
            mentionAttention(user, line);
    } else {
        historyLine(QStringLiteral("* ") + user + QLatin1Char(' ') + text + QStringLiteral(" *"),
                    QString(), true);
    }
    autosquelchFollowUp(user, line);
}

void Tmain::processWhisper(const QString &user, const QString &text)
{
    modUser(user, text);
    if (checkSquelch(user)) {
        historyLine(QStringLiteral("<From: ") + user + QStringLiteral("> "), text, true);
        return;
    }
    const QColor colour = colourOf(TSetting::whisp_colour);
    if (dispRaw->isChecked())
        writeLine(chat, QStringLiteral("<Recieved Whisper From: ") + user + QStringLiteral("> "),
                  text, colour);
    else
        writeLine(whisper, QStringLiteral("<From: ") + user + QStringLiteral("> "), text, colour);
    if (store->flag(TSetting::alertwhisper))
        soundPlayer().play(whisperSound);
    envVars.lastWhisperer = user;
    drawAttention(QStringLiteral("Whisper from ") + TText::decode(user), TText::decode(text));
}

void Tmain::processWhisperSent(const QString &user, const QString &text)
{
    const QColor colour = colourOf(TSetting::whisp_colour);
    if (dispRaw->isChecked())
        writeLine(chat, QStringLiteral("<Sent Whisper To: ") + user + QStringLiteral("> "), text,
                  colour);
    else
        writeLine(whisper, QStringLiteral("<To: ") + user + QStringLiteral("> "), text, colour);
    if (checkSquelch(user))
        writeLine(chat, QStringLiteral("Warning:"),
                  QStringLiteral("The user you just whispered (") + user +
                      QStringLiteral(") is on your permasquelch list!"),
                  errorColour());
}

void Tmain::processBroadcast(const QString &text)
{
    writeLine(chat, QStringLiteral("Broadcast:"), text, labelColour());
}

void Tmain::processChannelFull(const QString &text)
{
    writeLine(chat, QStringLiteral("Broadcast:"), text, labelColour());
}

void Tmain::processInfo(const QString &text) { writeLine(chat, TLabel::info, text, labelColour()); }

void Tmain::processChanNotExist(const QString &text)
{
    writeLine(chat, TLabel::error, text, errorColour());
}

void Tmain::processError(const QString &text)
{
    writeLine(chat, TLabel::error, text, errorColour());
}

void Tmain::processRestricted(const QString &text)
{
    writeLine(chat, TLabel::error, text, errorColour());
}

void Tmain::initAntiCensor() { antiCensorTable = makeAntiCensorTable(); }

QString Tmain::applyAntiCensor(const QString &text) const
{
    return ::applyAntiCensor(antiCensorTable, text);
}
