// The transcript: labelled coloured lines, the chat log, pausing and the
// two panes' menus.
#include "base/version.h"
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/access.h"
#include "mainwindow/historydesk.h"
#include "mainwindow/labels.h"

#include "base/clock.h"
#include "base/files.h"
#include "base/guard.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "widgets/TTranscriptView.h"
#include "widgets/dialogs.h"
#include "widgets/textitems.h"

#include <QDir>
#include <QLineEdit>

namespace {
// Restores the working directory when it goes out of scope: the client's
// own files are found relative to it.
class WorkingDirKeeper {
public:
    WorkingDirKeeper() : m_dir(QDir::currentPath()) {}
    ~WorkingDirKeeper() { QDir::setCurrent(m_dir); }

private:
    QString m_dir;
};
} // namespace

void Tmain::writeLine(TTranscriptPane *pane, const QString &label, const QString &message,
                      const QColor &colour, const QString &shownLabel, bool mention)
{
    // A stamped line's time in the history and its time stamp come from
    // one reading of the clock: the same instant, never a second apart.
    const bool stamped = pane == chat && store->flag(TSetting::timestamps);
    const QDateTime now = stamped ? currentDateTime() : QDateTime();
    // Kept when it comes, not when a paused line is shown.
    historyDesk->historyLine(label, message, false,
                             stamped ? std::optional(now.toMSecsSinceEpoch()) : std::nullopt);
    if (envVars.chatPaused) {
        if (envVars.chatBufferCount >= chatBufferCapacity) {
            // The store is full: show what is held rather than lose a line.
            PauseChatClick();
        } else {
            envVars.chatBuffer.resize(chatBufferCapacity);
            envVars.chatBuffer[envVars.chatBufferCount++] = {pane,   label,      message,
                                                             colour, shownLabel, mention};
            access->readOutLine(pane, label, QString(), mention, true);
            return;
        }
    }
    QString ts;
    if (stamped)
        ts = QLatin1Char('[') + longTimeText(now.time()) + QLatin1Char(']');
    // What a person reads; the bytes stay as they are for the log.
    const QString shownLbl = shownLabel.isNull() ? TText::decode(label) : shownLabel;
    const QString shownMsg = TText::decode(message);
    // An own line not yet taken by the server's side carries the pending
    // mark where the label's leading blank is, until it is taken.
    const QChar lead = m_writingPending && pane == chat ? pendingMark : QChar(u' ');
    const QString labelSeg = ts + lead + shownLbl + QLatin1Char(' ');
    QList<TColourRun> runs;
    runs.reserve(3);
    if (!ts.isEmpty())
        runs.append({int(ts.size()), colourOf(TSetting::time_colour)});
    runs.append({int(labelSeg.size() - ts.size()), colour});
    if (!shownMsg.isEmpty())
        runs.append({int(shownMsg.size()), colourOf(TSetting::text_colour)});
    const QString shown = labelSeg + shownMsg;
    pane->appendLine(shown, runs);
    if (mention && pane == chat)
        if (TTranscriptView *view = chatView())
            view->markLine(view->lineCount() - 1);
    access->readOutLine(pane, label, shown, mention && pane == chat, false);
    if (store->flag(TSetting::keeplog))
        appendChatLog(TTextItem::ownText(ts) + QLatin1Char(' ') + label + QLatin1Char(' ') +
                      message);
}

QColor Tmain::labelColour() const { return colourOf(TSetting::label_colour); }

QColor Tmain::errorColour() const { return colourOf(TSetting::error_colour); }

void Tmain::appendChatLog(const QString &line)
{
    const QString name = store->shown(TSetting::logfilename);
    if (name.isEmpty()) {
        logNotSet(m_chatLogWarned, QStringLiteral("chat log"));
        return;
    }
    appendLog(name, QStringLiteral("Chat"), line);
}

void Tmain::appendLog(const QString &fileName, const QString &kind, const QString &line)
{
    // A log that cannot be written must cost the line nothing more: it is
    // shown already, and the rest of the handler (the state it changes, the
    // follow-ups, the lines after it in the same read) must still happen.
    // So the failure goes to the queued error display from here, one box
    // per text at a time, instead of ending the handler.
    guarded([&] { appendLogLine(fileName, kind, line); });
}

void Tmain::logNotSet(bool &warned, const QString &what)
{
    if (warned)
        return;
    // Set first: the line below must not try the log again.
    warned = true;
    writeLine(chat, TLabel::errorBlank,
              QStringLiteral("No %1 file is set, so nothing is being logged. Choose one under "
                             "Preferences, Logging.")
                  .arg(what),
              errorColour());
}

void Tmain::PauseChatClick()
{
    runDueTicks(); // the ticks before, as chat was
    const QColor label = labelColour();
    if (!envVars.chatPaused) {
        writeLine(chat, TLabel::console, QStringLiteral("Chat Paused."), label);
        envVars.chatBufferCount = 0;
        envVars.chatPaused = true;
        menus.PauseChat->setText(QStringLiteral("&Unpause Chat"));
    } else {
        envVars.chatPaused = false;
        setWindowTitle(TLabel::mainCaption);
        menus.PauseChat->setText(QStringLiteral("Pa&use Chat"));
        // A screen reader hears one sentence on what was held, not each line.
        access->readOutReplay(true);
        writeLine(chat, TLabel::console, QStringLiteral("Chat Unpaused."), label);
        emptyChatBuffer();
        access->readOutReplay(false);
    }
    runDueTicks(); // the next tick, as chat now is
}

void Tmain::emptyChatBuffer()
{
    // Take the held lines out first: the replay must not read entries that a
    // line it writes might change.
    std::vector<tChatBuffer> held(envVars.chatBuffer.begin(),
                                  envVars.chatBuffer.begin() + envVars.chatBufferCount);
    // The history has them already, from when they came.
    historyDesk->setReplaying(true);
    for (const tChatBuffer &entry : held)
        writeLine(entry.pane, entry.lbl, entry.msg, entry.colour, entry.shownLbl, entry.mention);
    historyDesk->setReplaying(false);
}

void Tmain::chatClearClick()
{
    chat->clear();
    m_pendingOwn.clear(); // their lines are gone
    text->setFocus();
}

void Tmain::SaveAs1Click()
{
    WorkingDirKeeper keep;
    const QString name = dialogs().saveFileName(
        this, QString(), QStringLiteral("Text File (*.txt)"), QStringLiteral("txt"), true);
    if (name.isEmpty()) {
        writeLine(chat, TLabel::errorBlank, QStringLiteral("Couldn't save file!"), errorColour());
        return;
    }
    // The text as shown, in UTF-8.
    replaceFile(name, (chat->plainText() + QStringLiteral("\r\n")).toUtf8());
    writeLine(chat, TLabel::consoleBlank, TTextItem::ownText(name) + QStringLiteral(" saved."),
              labelColour());
}

void Tmain::Copy1Click() { chat->copy(); }

void Tmain::SelectAll1Click() { chat->selectAll(); }

void Tmain::dispWhisperClick()
{
    menus.dispWhisper->setChecked(true);
    menus.dispRaw->setChecked(false);
    whisper->setDefaultTextColour(colourOf(TSetting::whisp_colour));
}

void Tmain::dispRawClick()
{
    menus.dispWhisper->setChecked(false);
    menus.dispRaw->setChecked(true);
    whisper->setDefaultTextColour(colourOf(TSetting::text_colour));
}

void Tmain::whisperClearClick() { whisper->clear(); }
