// The window's side of the moderation chain (rules/moderation): the
// settings it reads, filled here alone, the lines it is asked about, and
// the actions it decides on, carried out here; the autosquelch's prompt.
#include "mainwindow/moderationdesk.h"

#include "core/settingsstore.h"
#include "mainwindow/Tmain.h"
#include "mainwindow/labels.h"
#include "session/TSession.h"

#include "base/clock.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/journal.h"
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

// The trigger phrases as last read, as searched and as bytes; read again
// only after the list changed. Its own object, so that a change of the list
// while the window is torn down finds it or nothing.
struct TModerationDesk::Triggers : QObject {
    QStringList triggers, triggerBytes;
    bool dirty = true;
};

TModerationDesk::TModerationDesk(Tmain &window) : QObject(&window), w(window)
{
    m_triggers = new Triggers;
    m_triggers->setParent(this);
    moderation::TModeration &chain = m_chain;
    chain.settings = [this] { return moderationSettings(); };
    chain.facts.squelched = [this](const QString &name) { return w.checkSquelch(name); };
    chain.facts.safe = [this](const QString &name) { return w.checkSafe(name); };
    chain.facts.member = [this](const QString &name) -> const tChannelUser * {
        const int id = w.session->getUserID(name);
        return id > 0 ? &w.session->userTable[id] : nullptr;
    };
}

void TModerationDesk::watchTriggers()
{
    if (m_watchingTriggers)
        return;
    m_watchingTriggers = true;
    Triggers *state = m_triggers;
    auto dirty = [state] { state->dirty = true; };
    connect(w.options, &Toptions::triggersChanged, m_triggers, dirty);
    // Edits of the list that bypass the dialog's buttons (the configuration
    // file, tests) must reach the cache as well.
    connect(w.store, &TSettingsStore::changed, m_triggers, [state](TSetting::Id id) {
        if (id == TSetting::triggers)
            state->dirty = true;
    });
}

moderation::TSettings TModerationDesk::moderationSettings()
{
    // Every setting the chain reads, read here and nowhere else.
    using namespace TSetting;
    moderation::TSettings s;
    s.suppressPlaysound = w.store->flag(suppressplaysound);
    s.lamerMode = w.envVars.lamerMode;
    s.alertWhisper = w.store->flag(alertwhisper);
    s.markMentions = w.store->flag(markMentions);
    s.mentionName = w.ownName();
    QString account;
    if (w.store->tryBytes(username, account))
        s.account = account;
    s.lineRules = Toptions::lineRules(*w.store);
    watchTriggers();
    Triggers &st = *m_triggers;
    if (st.dirty) {
        st.dirty = false;
        st.triggerBytes = w.store->list(triggers);
        st.triggers.clear();
        for (const QString &bytes : std::as_const(st.triggerBytes))
            st.triggers << TText::decode(bytes);
    }
    s.triggers = st.triggers;
    s.triggerBytes = st.triggerBytes;
    s.squelchPrompt = w.store->flag(squelchPrompt);
    s.permasquelch = w.store->number(autoAction) == 0;
    s.squelchLeet = w.store->flag(squelchLeet);
    s.leetPercentage = w.store->number(leetPercentage);
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
        if (w.store->number(row.action) > 0)
            s.productActions.insert(QLatin1String(row.code), w.store->pickText(row.action));
    s.joinNotices = w.store->flag(notifications);
    s.onlySafeNotices = w.store->flag(onlynotesafe);
    return s;
}

TVerdict TModerationDesk::moderate(moderation::TLine::Kind kind, const QString &user,
                                   const QString &text, const QString &flags,
                                   const QString &product)
{
    return m_chain.run({kind, user, flags, product, text, currentDateTime()});
}

void TModerationDesk::actOn(const QString &user, const TVerdict &verdict)
{
    if (verdict.judged) {
        w.journalDesk->rememberJudged(user, verdict.text);
        reportTriggerErrors();
    }
    for (const TAction &a : verdict.actions) {
        switch (a.kind) {
        case TAction::Kind::Permasquelch:
            w.squelchuser(a.name, a.reason, a.icon, {a.journalReason, a.detail, a.text});
            break;
        case TAction::Kind::ServerSquelch:
            // A flood would otherwise bury the user's own lines behind copies.
            if (!w.session->process->isQueued(a.line + QLatin1Char('\r')))
                w.journalDesk->sendJournalled(a.line, a.journalAction, a.name, a.reason, a.detail,
                                              a.text);
            break;
        case TAction::Kind::Confirm:
            if (m_chain.ask(a))
                scheduleAutosquelchPrompt(a.name);
            break;
        case TAction::Kind::Command:
            // A line too long for the server is refused (and said so) instead.
            if (w.parseCommand(a.line) && !a.journalAction.isEmpty())
                w.journalDesk->journalAction(a.journalAction, a.name, a.journalReason);
            break;
        case TAction::Kind::Recall:
            w.envVars.lastCommand = a.line;
            break;
        case TAction::Kind::Send:
            w.sendtext(a.line);
            break;
        }
    }
    if (verdict.askAgain)
        scheduleAutosquelchPrompt(user);
}

void TModerationDesk::reportTriggerErrors()
{
    const QList<TTriggerCache::Invalid> bad = m_chain.takeTriggerErrors();
    for (const TTriggerCache::Invalid &b : bad)
        w.writeLine(w.chat, TLabel::error,
                    QStringLiteral("The trigger phrase \"") + b.phrase +
                        (b.gaveUp ? QStringLiteral("\" is too complex for the regular-expression "
                                                   "engine on some lines (it gave up searching "
                                                   "one), so it is skipped on those lines.")
                                  : QStringLiteral("\" is not a valid regular expression (") +
                                        b.error + QStringLiteral("), so it is skipped.")),
                    w.errorColour());
}

bool TModerationDesk::autosquelch(QString &reason, const QString &name, const QString &line,
                                  QStringList *matched)
{
    const bool verdict = m_chain.autosquelch(moderationSettings(), reason, name, line, matched);
    reportTriggerErrors();
    return verdict;
}

void TModerationDesk::scheduleAutosquelchPrompt(const QString &user)
{
    // Not from inside the socket's read handler: a box there would stop all
    // reading until it closes.
    QMetaObject::invokeMethod(
        this, [this, user] { w.guardedCall([this, user] { runAutosquelchPrompt(user); }); },
        Qt::QueuedConnection);
}

void TModerationDesk::runAutosquelchPrompt(const QString &user)
{
    moderation::TModeration &chain = m_chain;
    const std::optional<moderation::TQuestion> question = chain.nextQuestion(user);
    if (!question)
        return;
    bool yes = false;
    try {
        yes = dialogs().confirm(&w, QStringLiteral("Confirm"),
                                QStringLiteral("Autosquelch ") + TText::decode(user) +
                                    QStringLiteral("? (") + question->reason + QLatin1Char(')'),
                                TDialogs::Buttons::YesNo);
    } catch (...) {
        chain.forget(user);
        throw;
    }
    actOn(user, chain.answer(*question, yes));
}

void TModerationDesk::productAction(int index)
{
    if (index < 1 || index > w.session->userTable.count())
        return;
    const QString name = w.session->userTable[index].username;
    TVerdict verdict;
    m_chain.productAction(moderationSettings(), name, w.session->userTable[index].product, verdict);
    actOn(name, verdict);
}

bool Tmain::autosquelch(QString &reason, const QString &name, const QString &line,
                        QStringList *matched)
{
    return moderationDesk->autosquelch(reason, name, line, matched);
}

void Tmain::ProdAction(int index) { moderationDesk->productAction(index); }
