// The automatic squelch of bad lines and l33t names, and the product actions.
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"
#include "session/TSession.h"

#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "rules/autosquelchrules.h"
#include "rules/journal.h"
#include "rules/usericons.h"
#include "widgets/dialogs.h"
#include "widgets/textitems.h"

#include <QAbstractItemModel>
#include <QHash>
#include <QListWidget>
#include <QMetaObject>

using namespace autosquelchrules;

struct Tmain::AutosquelchState : QObject {
    TTriggerCache triggers;
    bool triggersDirty = true;
    bool watchingTriggers = false;
    // Members with a prompt queued or open. While one is, further verdicts
    // for the member wait here instead of opening a second box.
    struct Prompt {
        QString asking;                    // the reason on screen now (empty: not open yet)
        QStringList waiting;               // reasons still to ask, oldest first, no repeats
        QHash<QString, JournalNote> notes; // what the journal says, by reason
    };
    QHash<QString, Prompt> prompts;
};

void Tmain::setupAutosquelch()
{
    m_autosquelch = new AutosquelchState;
    m_autosquelch->setParent(this);
}

void Tmain::watchTriggers()
{
    AutosquelchState &st = *m_autosquelch;
    if (st.watchingTriggers)
        return;
    st.watchingTriggers = true;
    AutosquelchState *state = m_autosquelch; // not this: may run while the window is torn down
    auto dirty = [state] { state->triggersDirty = true; };
    connect(options, &Toptions::triggersChanged, m_autosquelch, dirty);
    // Edits of the list that bypass the dialog's buttons (the configuration
    // file, tests) must reach the cache as well.
    connect(store, &TSettingsStore::changed, m_autosquelch, [state](TSetting::Id id) {
        if (id == TSetting::triggers)
            state->triggersDirty = true;
    });
}

void Tmain::refreshTriggers()
{
    watchTriggers();
    AutosquelchState &st = *m_autosquelch;
    if (st.triggersDirty) {
        st.triggersDirty = false;
        QStringList phrases;
        for (const QString &bytes : store->list(TSetting::triggers))
            phrases << TText::decode(bytes);
        st.triggers.setPhrases(phrases);
    }
}

void Tmain::reportTriggerErrors()
{
    const QList<TTriggerCache::Invalid> bad = m_autosquelch->triggers.takeNewErrors();
    for (const TTriggerCache::Invalid &b : bad)
        writeLine(chat, TLabel::error,
                  QStringLiteral("The trigger phrase \"") + b.phrase +
                      (b.gaveUp ? QStringLiteral("\" is too complex for the regular-expression "
                                                 "engine on some lines (it gave up searching "
                                                 "one), so it is skipped on those lines.")
                                : QStringLiteral("\" is not a valid regular expression (") +
                                      b.error + QStringLiteral("), so it is skipped.")),
                  errorColour());
}

bool Tmain::autosquelch(QString &reason, const QString &name, const QString &line,
                        QStringList *matched)
{
    if (checkSafe(name))
        return false;
    const TLineRules rules = Toptions::lineRules(*store);
    // A short line is not judged at all: the phrases are not even compiled.
    if (!longEnough(line, rules.minLineLength))
        return false;
    bool flood = false;
    const int id = getUserID(name);
    if (rules.flooders && id > 0) {
        const tChannelUser &u = userTable[id];
        flood = !u.thirdLine.isEmpty() && isFlood(u.firstLine, u.secondLine, u.thirdLine);
    }
    refreshTriggers();
    QStringList patterns;
    const QString verdict = lineVerdict(rules, m_autosquelch->triggers, line, flood, &patterns);
    reportTriggerErrors();
    if (verdict.isEmpty())
        return false;
    if (matched) {
        // The phrases as the configuration file holds them.
        const QStringList phrases = store->list(TSetting::triggers);
        for (const QString &p : std::as_const(patterns)) {
            QString bytes = p;
            for (const QString &entry : phrases)
                if (TText::decode(entry) == p) {
                    bytes = entry;
                    break;
                }
            matched->append(bytes);
        }
    }
    addReason(reason, verdict);
    return true;
}

void Tmain::autosquelchFollowUp(const QString &user, const QString &text)
{
    rememberJudged(user, text);
    QString reason;
    QStringList matched;
    if (!autosquelch(reason, user, text, &matched))
        return;
    if (checkSquelch(user) || isOwnName(user))
        return;
    JournalNote note;
    if (reason.contains(triggerWord))
        note.detail = matched.join(journal::patternSeparator);
    note.text = text;
    if (store->flag(TSetting::squelchPrompt))
        queueAutosquelchPrompt(user, reason, note);
    else
        respondToVerdict(user, reason, note);
}

void Tmain::respondToVerdict(const QString &user, const QString &reason, const JournalNote &note)
{
    if (store->number(TSetting::autoAction) == 0) {
        const int id = getUserID(user);
        squelchuser(user, reason, productIcon(id > 0 ? userTable[id].product : QString()), note);
        return;
    }
    // A flood would otherwise bury the user's own lines behind copies.
    const QString line = QStringLiteral("/squelch ") + user;
    if (!session->process->isQueued(line + QLatin1Char('\r')))
        sendJournalled(line, journal::squelchAction, user, reason, note.detail, note.text);
}

void Tmain::queueAutosquelchPrompt(const QString &user, const QString &reason,
                                   const JournalNote &note)
{
    auto &prompts = m_autosquelch->prompts;
    auto it = prompts.find(user);
    if (it != prompts.end()) {
        if (it->asking != reason && !it->waiting.contains(reason)) {
            it->waiting.append(reason);
            it->notes.insert(reason, note);
        }
        return;
    }
    prompts.insert(user, {QString(), {reason}, {{reason, note}}});
    scheduleAutosquelchPrompt(user);
}

void Tmain::scheduleAutosquelchPrompt(const QString &user)
{
    // Not from inside the socket's read handler: a box there would stop all
    // reading until it closes.
    QMetaObject::invokeMethod(
        this, [this, user] { guardedCall([this, user] { runAutosquelchPrompt(user); }); },
        Qt::QueuedConnection);
}

void Tmain::runAutosquelchPrompt(const QString &user)
{
    auto &prompts = m_autosquelch->prompts;
    auto it = prompts.find(user);
    if (it == prompts.end())
        return;
    // Handled in the meantime (listed by hand, or the own name set to it).
    if (it->waiting.isEmpty() || checkSquelch(user) || isOwnName(user)) {
        prompts.erase(it);
        return;
    }
    const QString reason = it->waiting.takeFirst();
    it->asking = reason;
    bool yes = false;
    try {
        yes = dialogs().confirm(this, QStringLiteral("Confirm"),
                                QStringLiteral("Autosquelch ") + TText::decode(user) +
                                    QStringLiteral("? (") + reason + QLatin1Char(')'),
                                TDialogs::Buttons::YesNo);
    } catch (...) {
        prompts.remove(user);
        throw;
    }
    // The box ran its own event loop: look the member up again.
    it = prompts.find(user);
    if (it == prompts.end())
        return;
    if (yes) {
        const JournalNote note = it->notes.value(reason);
        prompts.erase(it);
        if (!checkSquelch(user) && !isOwnName(user))
            respondToVerdict(user, reason, note);
        return;
    }
    it->asking.clear();
    if (it->waiting.isEmpty())
        prompts.erase(it);
    else
        scheduleAutosquelchPrompt(user);
}

void Tmain::leetNameCheck(const QString &name, const QString &product)
{
    if (!store->flag(TSetting::squelchLeet))
        return;
    if (leetPercent(name) > double(store->number(TSetting::leetPercentage)) && !checkSquelch(name))
        squelchuser(name, leetNameWord, productIcon(product));
}

void Tmain::ProdAction(int index)
{
    if (index < 1 || index > userTable.count())
        return;
    const QString name = userTable[index].username;
    const QString product = userTable[index].product;
    using namespace TSetting;
    const struct {
        const char *code;
        TSetting::Id action;
    } rows[] = {
        {"DSHR", action_diablos},    {"DRTL", action_diablo1},   {"D2DV", action_diablo2},
        {"SSHR", action_starcrafts}, {"STAR", action_starcraft}, {"JSTR", action_starcraft},
        {"SEXP", action_broodwar},   {"W2BN", action_warcraft},  {"CHAT", action_bot},
    };
    QString command;
    for (const auto &row : rows)
        // "None" and no choice at all both mean no action.
        if (store->number(row.action) > 0 && product == QLatin1String(row.code))
            command = store->pickText(row.action) + name;
    if (command.isEmpty())
        return;
    // The product's reason goes in the journal instead of the command's own.
    const QString reason = journal::productReason(product);
    if (command.startsWith(QStringLiteral("/brx "))) {
        // As parseCommand() runs "/brx", with the product's reason for the journal.
        if (!checkSquelch(name))
            squelchuser(name, QStringLiteral("Manually Permasquelched"), productIcon(product),
                        {reason, QString(), QString()});
        envVars.lastCommand = command;
    } else if (command.startsWith(QLatin1Char('/'))) {
        parseCommand(command);
        // A line too long for the server was refused (and said so) instead.
        const QString action =
            command.startsWith(QStringLiteral("/ignore "))  ? journal::ignoreAction
            : command.startsWith(QStringLiteral("/whois ")) ? journal::whoisAction
                                                            : QString();
        if (!action.isEmpty() && command.size() <= wireLimit())
            journalAction(action, name, reason);
    } else {
        sendtext(command);
    }
}
