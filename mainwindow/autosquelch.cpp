// The window's side of the moderation chain (rules/moderation): the
// settings it reads, filled here alone, the lines it is asked about, and
// the actions it decides on, carried out here; the autosquelch's prompt.
#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"
#include "session/TSession.h"

#include "base/clock.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "rules/autosquelchrules.h"
#include "rules/journal.h"
#include "rules/moderation.h"
#include "widgets/dialogs.h"
#include "widgets/textitems.h"

#include <QAbstractItemModel>
#include <QListWidget>
#include <QMetaObject>
#include <QPushButton>

using namespace autosquelchrules;
using moderation::TAction;
using moderation::TLine;
using moderation::TVerdict;

struct Tmain::AutosquelchState : QObject {
    moderation::TModeration chain;
    // The trigger phrases as last read, as searched and as bytes; read
    // again only after the list changed.
    QStringList triggers, triggerBytes;
    bool triggersDirty = true;
    bool watchingTriggers = false;
};

void Tmain::setupAutosquelch()
{
    m_autosquelch = new AutosquelchState;
    m_autosquelch->setParent(this);
    moderation::TModeration &chain = m_autosquelch->chain;
    chain.settings = [this] { return moderationSettings(); };
    chain.facts.squelched = [this](const QString &name) { return checkSquelch(name); };
    chain.facts.safe = [this](const QString &name) { return checkSafe(name); };
    chain.facts.member = [this](const QString &name) -> const tChannelUser * {
        const int id = session->getUserID(name);
        return id > 0 ? &session->userTable[id] : nullptr;
    };
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

moderation::TSettings Tmain::moderationSettings()
{
    // Every setting the chain reads, read here and nowhere else.
    using namespace TSetting;
    moderation::TSettings s;
    s.suppressPlaysound = store->flag(suppressplaysound);
    s.lamerMode = envVars.lamerMode;
    s.alertWhisper = store->flag(alertwhisper);
    s.markMentions = store->flag(markMentions);
    s.mentionName = ownName();
    QString account;
    if (store->tryBytes(username, account))
        s.account = account;
    s.lineRules = Toptions::lineRules(*store);
    watchTriggers();
    AutosquelchState &st = *m_autosquelch;
    if (st.triggersDirty) {
        st.triggersDirty = false;
        st.triggerBytes = store->list(triggers);
        st.triggers.clear();
        for (const QString &bytes : std::as_const(st.triggerBytes))
            st.triggers << TText::decode(bytes);
    }
    s.triggers = st.triggers;
    s.triggerBytes = st.triggerBytes;
    s.squelchPrompt = store->flag(squelchPrompt);
    s.permasquelch = store->number(autoAction) == 0;
    s.squelchLeet = store->flag(squelchLeet);
    s.leetPercentage = store->number(leetPercentage);
    const struct {
        const char *code;
        Id action;
    } rows[] = {
        {"DSHR", action_diablos},    {"DRTL", action_diablo1},   {"D2DV", action_diablo2},
        {"SSHR", action_starcrafts}, {"STAR", action_starcraft}, {"JSTR", action_starcraft},
        {"SEXP", action_broodwar},   {"W2BN", action_warcraft},  {"CHAT", action_bot},
    };
    for (const auto &row : rows)
        // "None" and no choice at all both mean no action.
        if (store->number(row.action) > 0)
            s.productActions.insert(QLatin1String(row.code), store->pickText(row.action));
    s.joinNotices = store->flag(notifications);
    s.onlySafeNotices = store->flag(onlynotesafe);
    return s;
}

TVerdict Tmain::moderate(moderation::TLine::Kind kind, const QString &user, const QString &text,
                         const QString &flags, const QString &product)
{
    return m_autosquelch->chain.run({kind, user, flags, product, text, currentDateTime()});
}

void Tmain::actOn(const QString &user, const TVerdict &verdict)
{
    if (verdict.judged) {
        rememberJudged(user, verdict.text);
        reportTriggerErrors();
    }
    for (const TAction &a : verdict.actions) {
        switch (a.kind) {
        case TAction::Kind::Permasquelch:
            squelchuser(a.name, a.reason, a.icon, {a.journalReason, a.detail, a.text});
            break;
        case TAction::Kind::ServerSquelch:
            // A flood would otherwise bury the user's own lines behind copies.
            if (!session->process->isQueued(a.line + QLatin1Char('\r')))
                sendJournalled(a.line, a.journalAction, a.name, a.reason, a.detail, a.text);
            break;
        case TAction::Kind::Confirm:
            if (m_autosquelch->chain.ask(a))
                scheduleAutosquelchPrompt(a.name);
            break;
        case TAction::Kind::Command:
            // A line too long for the server is refused (and said so) instead.
            if (parseCommand(a.line) && !a.journalAction.isEmpty())
                journalAction(a.journalAction, a.name, a.journalReason);
            break;
        case TAction::Kind::Recall:
            envVars.lastCommand = a.line;
            break;
        case TAction::Kind::Send:
            sendtext(a.line);
            break;
        }
    }
    if (verdict.askAgain)
        scheduleAutosquelchPrompt(user);
}

void Tmain::reportTriggerErrors()
{
    const QList<TTriggerCache::Invalid> bad = m_autosquelch->chain.takeTriggerErrors();
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
    const bool verdict =
        m_autosquelch->chain.autosquelch(moderationSettings(), reason, name, line, matched);
    reportTriggerErrors();
    return verdict;
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
    moderation::TModeration &chain = m_autosquelch->chain;
    const std::optional<moderation::TQuestion> question = chain.nextQuestion(user);
    if (!question)
        return;
    bool yes = false;
    try {
        yes = dialogs().confirm(this, QStringLiteral("Confirm"),
                                QStringLiteral("Autosquelch ") + TText::decode(user) +
                                    QStringLiteral("? (") + question->reason + QLatin1Char(')'),
                                TDialogs::Buttons::YesNo);
    } catch (...) {
        chain.forget(user);
        throw;
    }
    actOn(user, chain.answer(*question, yes));
}

void Tmain::ProdAction(int index)
{
    if (index < 1 || index > session->userTable.count())
        return;
    const QString name = session->userTable[index].username;
    TVerdict verdict;
    m_autosquelch->chain.productAction(moderationSettings(), name,
                                       session->userTable[index].product, verdict);
    actOn(name, verdict);
}
