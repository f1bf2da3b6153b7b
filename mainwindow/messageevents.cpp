// What other people say, emote and whisper, the echo of our own whispers,
// and the server's notices.
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/historydesk.h"
#include "mainwindow/labels.h"

#include "core/textcodec.h"
#include "mainwindow/moderationdesk.h"
#include "preferences/Toptions.h"
#include "rules/moderation.h"
#include "session/TSession.h"
#include "widgets/sound.h"

#include <QAction>
#include <QCheckBox>
#include <QLineEdit>

namespace {
const QString whisperSound = QStringLiteral("whisper.wav");
using Kind = moderation::TLine::Kind;
} // namespace

void Tmain::processUnHandled(const QString &line)
{
    // Only the lines before the login is through come here ("Login failed.").
    writeLine(chat, TLabel::info, line, labelColour());
}

// Each handler: the flood history, the chain's verdict on the line, then
// the line drawn (or kept hidden) and the verdict's actions carried out.

void Tmain::processTalk(const QString &user, const QString &text)
{
    session->modUser(user, text);
    const moderation::TVerdict v = moderationDesk->moderate(Kind::Talk, user, text);
    const QString label = QLatin1Char('<') + user + QLatin1Char('>');
    if (v.show) {
        writeLine(chat, label, v.text, colourOf(TSetting::name_colour), QString(), v.mention);
        if (v.mention)
            mentionAttention(user, v.text);
    } else {
        historyDesk->historyLine(label, text, true);
    }
    moderationDesk->actOn(user, v);
}

void Tmain::processEmote(const QString &user, const QString &text)
{
    session->modUser(user, text);
    const moderation::TVerdict v = moderationDesk->moderate(Kind::Emote, user, text);
    if (v.show) {
        // The name and the text may come in different encodings.
        writeLine(chat,
                  QStringLiteral("* ") + user + QLatin1Char(' ') + v.text + QStringLiteral(" *"),
                  QString(), colourOf(TSetting::emote_colour),
                  QStringLiteral("* ") + TText::decode(user) + QLatin1Char(' ') +
                      TText::decode(v.text) + QStringLiteral(" *"),
                  v.mention);
        if (v.mention)
            mentionAttention(user, v.text);
    } else {
        historyDesk->historyLine(QStringLiteral("* ") + user + QLatin1Char(' ') + text +
                                     QStringLiteral(" *"),
                                 QString(), true);
    }
    moderationDesk->actOn(user, v);
}

void Tmain::processWhisper(const QString &user, const QString &text)
{
    session->modUser(user, text);
    const moderation::TVerdict v = moderationDesk->moderate(Kind::Whisper, user, text);
    if (!v.show) {
        historyDesk->historyLine(QStringLiteral("<From: ") + user + QStringLiteral("> "), text,
                                 true);
        return;
    }
    const QColor colour = colourOf(TSetting::whisp_colour);
    if (menus.dispRaw->isChecked())
        writeLine(chat, QStringLiteral("<Recieved Whisper From: ") + user + QStringLiteral("> "),
                  v.text, colour);
    else
        writeLine(whisper, QStringLiteral("<From: ") + user + QStringLiteral("> "), v.text, colour);
    if (v.sound)
        soundPlayer().play(whisperSound);
    if (v.replyTarget)
        envVars.lastWhisperer = user;
    drawAttention(QStringLiteral("Whisper from ") + TText::decode(user), TText::decode(v.text));
}

void Tmain::processWhisperSent(const QString &user, const QString &text)
{
    const moderation::TVerdict v = moderationDesk->moderate(Kind::WhisperSent, user, text);
    const QColor colour = colourOf(TSetting::whisp_colour);
    if (menus.dispRaw->isChecked())
        writeLine(chat, QStringLiteral("<Sent Whisper To: ") + user + QStringLiteral("> "), v.text,
                  colour);
    else
        writeLine(whisper, QStringLiteral("<To: ") + user + QStringLiteral("> "), v.text, colour);
    if (v.warnSquelched)
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
