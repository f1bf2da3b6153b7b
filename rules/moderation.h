#pragma once
// Moderation as a chain of steps over one line of the channel: whether and
// how the line is shown (the permasquelch list, lamer mode, the ~playsound
// filter, the anticensor, the mention) and what is done about its sender
// (the autosquelch's verdict and its response, the l33t name check, the
// product actions, the report-in answer). The chain decides; its owner draws
// the line and carries out the actions, in the order given. It needs no
// widget: tests run it on its own.
#include "rules/anticensor.h"
#include "rules/autosquelchrules.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QStringList>

#include <functional>
#include <optional>
#include <vector>

struct tChannelUser;

namespace moderation {

// One line of the channel as the server's event gave it. Names and texts
// are bytes.
struct TLine {
    enum class Kind { Talk, Emote, Whisper, WhisperSent, ShowUser, Join, Leave };
    Kind kind = Kind::Talk;
    QString user;
    QString flags;
    QString product; // ShowUser and Join
    QString text;    // Talk, Emote, Whisper, WhisperSent
    QDateTime time;
};

// Everything the chain reads from the settings, filled in one place by its
// owner for each line (so a change is in force at once).
struct TSettings {
    bool suppressPlaysound = false;
    bool lamerMode = false; // the window's switch, not stored
    bool alertWhisper = false;
    bool markMentions = false;
    // The name mentions are looked for: the gateway's name for the user on
    // this connection, else the account name (bytes; empty: none).
    QString mentionName;
    // The configured account name as bytes; unset while it holds a
    // character its encoding cannot hold (then no line is the user's own).
    std::optional<QString> account;
    autosquelchrules::TLineRules lineRules;
    QStringList triggers;     // the phrases as searched
    QStringList triggerBytes; // the same, as the configuration holds them
    bool squelchPrompt = false;
    bool permasquelch = true; // the response: permasquelch, else the server's /squelch
    bool squelchLeet = false;
    int leetPercentage = 100;
    // A product's action: the command word the name follows ("/brx ",
    // "/ignore ", "/whois "); none for "None".
    QHash<QString, QString> productActions;
    bool joinNotices = false;
    bool onlySafeNotices = false;
};

// What the chain asks about names while it runs.
struct TFacts {
    std::function<bool(const QString &name)> squelched; // on the permasquelch list
    std::function<bool(const QString &name)> safe;      // on the safelist
    // The member's channel entry (null: not in the channel).
    std::function<const tChannelUser *(const QString &name)> member;
};

// One thing to do about a sender, in the order the chain gives them.
struct TAction {
    enum class Kind {
        Permasquelch,  // put name on the permasquelch list (icon, reason, journal note)
        ServerSquelch, // send line, "/squelch " + name, unless it is queued already
        Confirm,       // ask the user first: ask(), then nextQuestion() from a queued call
        Command,       // run line as a typed command (a product action)
        Recall,        // line becomes the last command (the double click brings it back)
        Send,          // send line as it is
    };
    Kind kind = Kind::Send;
    QString name;
    QString line;
    QString reason;
    int icon = 0;
    // For the journal: the reason it takes instead (empty: reason), the
    // detail (the trigger phrases that matched) and the text judged; for a
    // Command, the journal's action word (empty: not journalled).
    QString journalReason, detail, text, journalAction;
};

// What becomes of a line.
struct TVerdict {
    bool show = false;
    QString text; // as shown (the anticensor's rewriting): also the text judged
    bool mention = false;
    bool judged = false; // the autosquelch judged the line (the trigger tester lists it)
    std::vector<TAction> actions;
    // Whispers: the alert sound, the /reply target; whispers sent: the
    // warning that the recipient is on the permasquelch list.
    bool sound = false;
    bool replyTarget = false;
    bool warnSquelched = false;
    // After an answer: another reason waits, ask again from a queued call.
    bool askAgain = false;
};

// A question the user must answer before a verdict is acted on.
struct TQuestion {
    QString name;
    QString reason;
};

class TModeration {
public:
    TModeration();

    std::function<TSettings()> settings;
    TFacts facts;

    // The chain for one line: every step that applies to its kind, in order.
    TVerdict run(const TLine &line);

    // ---- The steps, each on its own (run() strings them together) -------
    // The ~playsound filter (talk only): false hides the line.
    static bool passesPlaysound(const TSettings &s, const TLine &line);
    // The permasquelch list and lamer mode (both always asked): false hides it.
    bool passesLists(const TSettings &s, const TLine &line) const;
    QString applyAntiCensor(const QString &text) const;
    // Whether a line from user names the user (and marking is on).
    bool isMention(const TSettings &s, const QString &user, const QString &text);
    // The autosquelch's verdict on a line: true with the reason words, "/"
    // between them, appended to reason; matched gets the phrases that matched
    // as the configuration holds them.
    bool autosquelch(const TSettings &s, QString &reason, const QString &name, const QString &line,
                     QStringList *matched = nullptr);
    // Trigger phrases not reported yet (invalid, or given up on a line).
    QList<autosquelchrules::TTriggerCache::Invalid> takeTriggerErrors()
    {
        return m_triggers.takeNewErrors();
    }
    // The response to a verdict: nothing for the user's own name or a
    // member already listed, a question with the prompt on, else the action.
    void respond(const TSettings &s, const QString &name, const QString &reason,
                 const QString &detail, const QString &text, TVerdict &out);
    // The l33t name check: a permasquelch when the name is mostly l33t.
    void leetName(const TSettings &s, const TLine &line, TVerdict &out) const;
    // The product action for a member who joined (name and product as the
    // channel's table holds them).
    void productAction(const TSettings &s, const QString &name, const QString &product,
                       TVerdict &out) const;
    // The answer to ".reportin" from the authors (talk only).
    static void reportIn(const TLine &line, TVerdict &out);
    // The join and leave notices.
    bool notice(const TSettings &s, const TLine &line) const;

    // ---- Confirmations --------------------------------------------------
    // Takes a Confirm action's question: true when it is the member's first
    // (ask it from a queued call); otherwise it waits behind the one open.
    bool ask(const TAction &confirm);
    // The next reason to ask about for name; none when nothing is left (the
    // member was listed in the meantime, or is the user), which ends it.
    std::optional<TQuestion> nextQuestion(const QString &name);
    // The user's answer to the question just asked: Yes acts on it and
    // drops the reasons still waiting; No asks the next, if any.
    TVerdict answer(const TQuestion &question, bool yes);
    // The question could not be asked: nothing more is asked about name.
    void forget(const QString &name);
    bool asking(const QString &name) const { return m_prompts.contains(name); }

    void initAntiCensor();

private:
    bool isOwn(const TSettings &s, const QString &name) const;
    void act(const TSettings &s, const QString &name, const QString &reason, const QString &detail,
             const QString &text, TVerdict &out) const;
    void judge(const TSettings &s, const TLine &line, const QString &text, TVerdict &out);
    bool squelchedNow(const QString &name, const TVerdict &out) const;

    tAntiCensorTable m_antiCensor;
    autosquelchrules::TTriggerCache m_triggers;
    QStringList m_triggersSet; // the phrases m_triggers holds
    // The name mentions were last looked for, whether it is ASCII, and as shown.
    QString m_mentionName, m_mentionShown;
    bool m_mentionAscii = false;
    // Members with a question queued or open. While one is, further verdicts
    // for the member wait here instead of a second box.
    struct Prompt {
        QString asking;                // the reason on screen now (empty: not open yet)
        QStringList waiting;           // reasons still to ask, oldest first, no repeats
        QHash<QString, TAction> notes; // the journal's detail and text, by reason
    };
    QHash<QString, Prompt> m_prompts;
};

} // namespace moderation
