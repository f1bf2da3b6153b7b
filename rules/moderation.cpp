#include "rules/moderation.h"

#include "base/version.h"
#include "core/textcodec.h"
#include "core/usertable.h"
#include "rules/journal.h"
#include "rules/links.h"
#include "rules/usericons.h"

using namespace autosquelchrules;

namespace moderation {

namespace {
const QString playsoundPrefix = QStringLiteral("~playsound");
const QString reportinPrefix = QStringLiteral(".reportin");
const QString manualReason = QStringLiteral("Manually Permasquelched");
} // namespace

TModeration::TModeration() { initAntiCensor(); }

void TModeration::initAntiCensor() { m_antiCensor = makeAntiCensorTable(); }

TVerdict TModeration::run(const TLine &line)
{
    const TSettings s = settings ? settings() : TSettings();
    TVerdict out;
    switch (line.kind) {
    case TLine::Kind::Talk:
    case TLine::Kind::Emote: {
        bool show = line.kind != TLine::Kind::Talk || passesPlaysound(s, line);
        if (!passesLists(s, line))
            show = false;
        out.show = show;
        out.text = line.text;
        if (show) {
            out.text = applyAntiCensor(line.text);
            out.mention = isMention(s, line.user, out.text);
        }
        // The line judged is the one shown: rewritten when it was.
        judge(s, line, out.text, out);
        if (line.kind == TLine::Kind::Talk)
            reportIn(line, out);
        break;
    }
    case TLine::Kind::Whisper:
        // Whispers know no lamer mode and no anticensor.
        out.show = !facts.squelched(line.user);
        out.text = line.text;
        out.sound = out.show && s.alertWhisper;
        out.replyTarget = out.show;
        break;
    case TLine::Kind::WhisperSent:
        out.show = true;
        out.text = line.text;
        out.warnSquelched = facts.squelched(line.user);
        break;
    case TLine::Kind::ShowUser:
        leetName(s, line, out);
        break;
    case TLine::Kind::Join:
        leetName(s, line, out);
        // By the channel entry, as the table holds the name and the product.
        if (const tChannelUser *u = facts.member(line.user))
            productAction(s, u->username, u->product, out);
        out.show = notice(s, line);
        break;
    case TLine::Kind::Leave:
        out.show = notice(s, line);
        break;
    }
    return out;
}

bool TModeration::passesPlaysound(const TSettings &s, const TLine &line)
{
    return !(s.suppressPlaysound && line.text.startsWith(playsoundPrefix));
}

bool TModeration::passesLists(const TSettings &s, const TLine &line) const
{
    // Both are asked, whatever the first answers.
    const bool squelched = facts.squelched(line.user);
    const bool lamer = s.lamerMode && !facts.safe(line.user);
    return !squelched && !lamer;
}

QString TModeration::applyAntiCensor(const QString &text) const
{
    return ::applyAntiCensor(m_antiCensor, text);
}

bool TModeration::isMention(const TSettings &s, const QString &user, const QString &text)
{
    if (!s.markMentions)
        return false;
    const QString &own = s.mentionName;
    if (own.isEmpty() || user == own)
        return false;
    // Between a name and a line of plain ASCII the bytes are what is shown,
    // and they are compared as they are (every line is checked, so the
    // decoding is kept for the rest).
    if (own != m_mentionName) {
        m_mentionName = own;
        m_mentionAscii = TLinks::isAscii(own);
        m_mentionShown = TText::decode(own);
    }
    if (m_mentionAscii && TLinks::isAscii(text))
        return TLinks::mentionsAscii(text, own);
    return TLinks::mentions(TText::decode(text), m_mentionShown);
}

bool TModeration::autosquelch(const TSettings &s, QString &reason, const QString &name,
                              const QString &line, QStringList *matched)
{
    if (facts.safe(name))
        return false;
    // A short line is not judged at all: the phrases are not even compiled.
    if (!longEnough(line, s.lineRules.minLineLength))
        return false;
    bool flood = false;
    if (s.lineRules.flooders)
        if (const tChannelUser *u = facts.member(name))
            flood = !u->thirdLine.isEmpty() && isFlood(u->firstLine, u->secondLine, u->thirdLine);
    // The same list (shared, as the settings hand it on) costs no comparing.
    if (s.triggers != m_triggersSet) {
        m_triggersSet = s.triggers;
        m_triggers.setPhrases(s.triggers);
    }
    QStringList patterns;
    const QString verdict = lineVerdict(s.lineRules, m_triggers, line, flood, &patterns);
    if (verdict.isEmpty())
        return false;
    if (matched) {
        // The phrases as the configuration file holds them.
        for (const QString &p : std::as_const(patterns)) {
            const qsizetype i = s.triggers.indexOf(p);
            matched->append(i >= 0 && i < s.triggerBytes.size() ? s.triggerBytes.at(i) : p);
        }
    }
    addReason(reason, verdict);
    return true;
}

void TModeration::judge(const TSettings &s, const TLine &line, const QString &text, TVerdict &out)
{
    out.judged = true;
    QString reason;
    QStringList matched;
    if (!autosquelch(s, reason, line.user, text, &matched))
        return;
    respond(s, line.user, reason,
            reason.contains(triggerWord) ? matched.join(journal::patternSeparator) : QString(),
            text, out);
}

bool TModeration::isOwn(const TSettings &s, const QString &name) const
{
    return s.account && *s.account == name;
}

bool TModeration::squelchedNow(const QString &name, const TVerdict &out) const
{
    // Earlier steps of this line count as done.
    for (const TAction &a : out.actions)
        if (a.kind == TAction::Kind::Permasquelch && a.name == name)
            return true;
    return facts.squelched(name);
}

void TModeration::respond(const TSettings &s, const QString &name, const QString &reason,
                          const QString &detail, const QString &text, TVerdict &out)
{
    if (squelchedNow(name, out) || isOwn(s, name))
        return;
    if (!s.squelchPrompt) {
        act(s, name, reason, detail, text, out);
        return;
    }
    TAction confirm;
    confirm.kind = TAction::Kind::Confirm;
    confirm.name = name;
    confirm.reason = reason;
    confirm.detail = detail;
    confirm.text = text;
    out.actions.push_back(confirm);
}

bool TModeration::ask(const TAction &confirm)
{
    const auto it = m_prompts.find(confirm.name);
    if (it != m_prompts.end()) {
        if (it->asking != confirm.reason && !it->waiting.contains(confirm.reason)) {
            it->waiting.append(confirm.reason);
            it->notes.insert(confirm.reason, confirm);
        }
        return false;
    }
    m_prompts.insert(confirm.name, {QString(), {confirm.reason}, {{confirm.reason, confirm}}});
    return true;
}

void TModeration::act(const TSettings &s, const QString &name, const QString &reason,
                      const QString &detail, const QString &text, TVerdict &out) const
{
    TAction a;
    a.name = name;
    a.reason = reason;
    a.detail = detail;
    a.text = text;
    if (s.permasquelch) {
        const tChannelUser *u = facts.member(name);
        a.kind = TAction::Kind::Permasquelch;
        a.icon = productIcon(u ? u->product : QString());
    } else {
        a.kind = TAction::Kind::ServerSquelch;
        a.line = QStringLiteral("/squelch ") + name;
        a.journalAction = journal::squelchAction;
    }
    out.actions.push_back(a);
}

void TModeration::leetName(const TSettings &s, const TLine &line, TVerdict &out) const
{
    // No safelist, no own name and no prompt here: it always permasquelches.
    if (!s.squelchLeet)
        return;
    if (leetPercent(line.user) > double(s.leetPercentage) && !squelchedNow(line.user, out)) {
        TAction a;
        a.kind = TAction::Kind::Permasquelch;
        a.name = line.user;
        a.reason = leetNameWord;
        a.icon = productIcon(line.product);
        out.actions.push_back(a);
    }
}

void TModeration::productAction(const TSettings &s, const QString &name, const QString &product,
                                TVerdict &out) const
{
    const QString word = s.productActions.value(product);
    if (word.isEmpty())
        return;
    TAction a;
    a.name = name;
    a.line = word + name;
    // The product's reason goes in the journal instead of the command's own.
    a.journalReason = journal::productReason(product);
    if (a.line.startsWith(QStringLiteral("/brx "))) {
        // As the typed "/brx" runs, with the product's reason for the journal.
        if (!squelchedNow(name, out)) {
            TAction listed = a;
            listed.kind = TAction::Kind::Permasquelch;
            listed.reason = manualReason;
            listed.icon = productIcon(product);
            out.actions.push_back(listed);
        }
        a.kind = TAction::Kind::Recall;
    } else if (a.line.startsWith(QLatin1Char('/'))) {
        a.kind = TAction::Kind::Command;
        a.journalAction = a.line.startsWith(QStringLiteral("/ignore "))  ? journal::ignoreAction
                          : a.line.startsWith(QStringLiteral("/whois ")) ? journal::whoisAction
                                                                         : QString();
    } else {
        a.kind = TAction::Kind::Send;
    }
    out.actions.push_back(a);
}

void TModeration::reportIn(const TLine &line, TVerdict &out)
{
    // Answered whether or not the line was shown.
    if (!line.text.startsWith(reportinPrefix))
        return;
    TAction a;
    a.kind = TAction::Kind::Send;
    a.name = line.user;
    if (line.user == QLatin1String("Tressel"))
        a.line = QStringLiteral("/m tressel I am using Tressel " TRESSEL_VERSION "!");
    else if (line.user == QLatin1String("Kelm"))
        a.line = QStringLiteral("/m kelm I am using Tressel " TRESSEL_VERSION "!");
    else
        return;
    out.actions.push_back(a);
}

bool TModeration::notice(const TSettings &s, const TLine &line) const
{
    if (!s.joinNotices)
        return false;
    return !s.onlySafeNotices || facts.safe(line.user);
}

std::optional<TQuestion> TModeration::nextQuestion(const QString &name)
{
    const auto it = m_prompts.find(name);
    if (it == m_prompts.end())
        return std::nullopt;
    // Handled in the meantime (listed by hand, or the own name set to it).
    const TSettings s = settings ? settings() : TSettings();
    if (it->waiting.isEmpty() || facts.squelched(name) || isOwn(s, name)) {
        m_prompts.erase(it);
        return std::nullopt;
    }
    it->asking = it->waiting.takeFirst();
    return TQuestion{name, it->asking};
}

TVerdict TModeration::answer(const TQuestion &question, bool yes)
{
    TVerdict out;
    // The box ran its own event loop: the member is looked up again.
    const auto it = m_prompts.find(question.name);
    if (it == m_prompts.end())
        return out;
    if (yes) {
        const TAction note = it->notes.value(question.reason);
        m_prompts.erase(it);
        const TSettings s = settings ? settings() : TSettings();
        if (!facts.squelched(question.name) && !isOwn(s, question.name))
            act(s, question.name, question.reason, note.detail, note.text, out);
        return out;
    }
    it->asking.clear();
    if (it->waiting.isEmpty())
        m_prompts.erase(it);
    else
        out.askAgain = true;
    return out;
}

void TModeration::forget(const QString &name) { m_prompts.remove(name); }

} // namespace moderation
