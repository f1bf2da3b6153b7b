// The moderation chain on its own: what each step decides about a line, the
// order of the actions, and the confirmation asked before a verdict is
// acted on. No window: the lists and the members are plain containers.
#include "base/version.h"
#include "core/usertable.h"
#include "rules/anticensor.h"
#include "rules/moderation.h"
#include "rules/usericons.h"

#include <QHash>
#include <QSet>
#include <QtTest>

using namespace moderation;
using Kind = TLine::Kind;
using Act = TAction::Kind;

namespace {
// A chain with settings, lists and members a test sets as it likes.
struct Chain {
    TModeration chain;
    TSettings settings;
    QSet<QString> squelched, safe;
    QHash<QString, tChannelUser> members;
    int squelchAsked = 0, safeAsked = 0;

    Chain()
    {
        settings.account = QStringLiteral("alice");
        settings.lineRules.minLineLength = 1;
        chain.settings = [this] { return settings; };
        chain.facts.squelched = [this](const QString &n) {
            ++squelchAsked;
            return squelched.contains(n);
        };
        chain.facts.safe = [this](const QString &n) {
            ++safeAsked;
            return safe.contains(n);
        };
        chain.facts.member = [this](const QString &n) -> const tChannelUser * {
            const auto it = members.constFind(n);
            return it == members.constEnd() ? nullptr : &*it;
        };
    }
    void join(const QString &name, const QString &product)
    {
        tChannelUser u;
        u.username = name;
        u.product = product;
        members.insert(name, u);
    }
    void said(const QString &name, const QString &text)
    {
        tChannelUser &u = members[name];
        u.firstLine = u.secondLine;
        u.secondLine = u.thirdLine;
        u.thirdLine = text;
    }
    void trigger(const QString &phrase, const QString &bytes = QString())
    {
        settings.triggers << phrase;
        settings.triggerBytes << (bytes.isEmpty() ? phrase : bytes);
    }
    TVerdict run(Kind kind, const QString &user, const QString &text = QString(),
                 const QString &product = QString())
    {
        return chain.run({kind, user, QString(), product, text, QDateTime()});
    }
};

QList<Act> kinds(const TVerdict &v)
{
    QList<Act> out;
    for (const TAction &a : v.actions)
        out << a.kind;
    return out;
}

const QString censored = makeAntiCensorTable()[0].censored;
const QString word = makeAntiCensorTable()[0].word;
} // namespace

class TestModerationChain : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void showingTalkAndEmotes_data();
    void showingTalkAndEmotes();
    void bothListsAreAlwaysAsked();
    void anticensorAndMentionOnlyOnShownLines();
    void verdictAndResponse();
    void responseSkipsOwnNameListedAndSafe();
    void floodFromTheMembersHistory();
    void triggerErrorsWaitUntilTaken();
    void confirmationRoundTrip();
    void confirmationEndsWhenHandledMeanwhile();
    void reportIn_data();
    void reportIn();
    void whispers();
    void joinsAndLeaves();
};

void TestModerationChain::showingTalkAndEmotes_data()
{
    QTest::addColumn<int>("kind");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("suppress");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<bool>("lamer");
    QTest::addColumn<bool>("safe");
    QTest::addColumn<bool>("shown");
    const int talk = int(Kind::Talk), emote = int(Kind::Emote);
    QTest::newRow("talk") << talk << "hello" << false << false << false << false << true;
    QTest::newRow("playsound hidden")
        << talk << "~playsound x" << true << false << false << false << false;
    QTest::newRow("playsound, filter off")
        << talk << "~playsound x" << false << false << false << false << true;
    QTest::newRow("playsound other case")
        << talk << "~PlaySound x" << true << false << false << false << true;
    QTest::newRow("playsound after a space")
        << talk << " ~playsound" << true << false << false << false << true;
    QTest::newRow("emote playsound shown")
        << emote << "~playsound x" << true << false << false << false << true;
    QTest::newRow("listed talk") << talk << "hello" << false << true << false << false << false;
    QTest::newRow("listed emote") << emote << "hello" << false << true << false << false << false;
    QTest::newRow("lamer mode") << talk << "hello" << false << false << true << false << false;
    QTest::newRow("lamer mode, safe") << emote << "hello" << false << false << true << true << true;
    QTest::newRow("listed and safe") << talk << "hello" << false << true << true << true << false;
}

void TestModerationChain::showingTalkAndEmotes()
{
    QFETCH(int, kind);
    QFETCH(QString, text);
    QFETCH(bool, suppress);
    QFETCH(bool, listed);
    QFETCH(bool, lamer);
    QFETCH(bool, safe);
    QFETCH(bool, shown);
    Chain c;
    c.settings.suppressPlaysound = suppress;
    c.settings.lamerMode = lamer;
    if (listed)
        c.squelched << QStringLiteral("bob");
    if (safe)
        c.safe << QStringLiteral("bob");
    const TVerdict v = c.run(Kind(kind), QStringLiteral("bob"), text);
    QCOMPARE(v.show, shown);
    // Hidden or not, the line is judged.
    QVERIFY(v.judged);
}

void TestModerationChain::bothListsAreAlwaysAsked()
{
    Chain c;
    c.settings.lamerMode = true;
    c.squelched << QStringLiteral("bob");
    c.settings.lineRules.minLineLength = 255; // nothing is judged: only the lists ask
    QVERIFY(!c.run(Kind::Talk, QStringLiteral("bob"), QStringLiteral("hi")).show);
    QCOMPARE(c.squelchAsked, 1);
    QCOMPARE(c.safeAsked, 2); // lamer mode, then the autosquelch's safelist
}

void TestModerationChain::anticensorAndMentionOnlyOnShownLines()
{
    Chain c;
    c.settings.markMentions = true;
    c.settings.mentionName = QStringLiteral("alice");
    const QString line = QStringLiteral("alice you ") + censored;
    TVerdict v = c.run(Kind::Talk, QStringLiteral("bob"), line);
    QVERIFY(v.show);
    QCOMPARE(v.text, QStringLiteral("alice you ") + word);
    QVERIFY(v.mention);

    // Hidden: neither rewritten nor marked; the autosquelch judges it as it came.
    c.trigger(QRegularExpression::escape(censored));
    c.settings.lamerMode = true;
    v = c.run(Kind::Emote, QStringLiteral("bob"), line);
    QVERIFY(!v.show);
    QCOMPARE(v.text, line);
    QVERIFY(!v.mention);
    QCOMPARE(kinds(v), QList<Act>{Act::Permasquelch});
    QCOMPARE(v.actions[0].text, line);

    // The user's own lines and marking switched off mark nothing.
    c.settings.lamerMode = false;
    QVERIFY(!c.run(Kind::Talk, QStringLiteral("alice"), QStringLiteral("alice")).mention);
    c.settings.markMentions = false;
    QVERIFY(!c.run(Kind::Talk, QStringLiteral("carol"), QStringLiteral("alice")).mention);
}

void TestModerationChain::verdictAndResponse()
{
    Chain c;
    c.join(QStringLiteral("bob"), QStringLiteral("SEXP"));
    c.settings.lineRules.upperCase = true;
    c.settings.lineRules.upperCasePercent = 60;
    c.trigger(QStringLiteral("sp.m"), QStringLiteral("sp\xe9m"));
    c.trigger(QStringLiteral("(?i)SPAM"));

    TVerdict v = c.run(Kind::Talk, QStringLiteral("bob"), QStringLiteral("BUY SPAM NOW"));
    QCOMPARE(kinds(v), QList<Act>{Act::Permasquelch});
    const TAction &a = v.actions[0];
    QCOMPARE(a.name, QStringLiteral("bob"));
    QCOMPARE(a.reason, QStringLiteral("Uppercase Characters/Trigger Phrase"));
    QCOMPARE(a.icon, productIcon(QStringLiteral("SEXP")));
    QCOMPARE(a.detail, QStringLiteral("(?i)SPAM"));
    QCOMPARE(a.text, QStringLiteral("BUY SPAM NOW"));

    // Both phrases: the detail names each as the configuration holds it.
    v = c.run(Kind::Emote, QStringLiteral("bob"), QStringLiteral("spam"));
    QCOMPARE(v.actions.at(0).detail, QStringLiteral("sp\xe9m | (?i)SPAM"));
    QCOMPARE(v.actions.at(0).reason, QStringLiteral("Trigger Phrase/Trigger Phrase"));

    // "Ignore": the server's own squelch, journalled as a squelch; no
    // trigger, no detail.
    c.settings.permasquelch = false;
    v = c.run(Kind::Talk, QStringLiteral("carol"), QStringLiteral("HELLO WORLD"));
    QCOMPARE(kinds(v), QList<Act>{Act::ServerSquelch});
    QCOMPARE(v.actions[0].line, QStringLiteral("/squelch carol"));
    QCOMPARE(v.actions[0].journalAction, QStringLiteral("squelch"));
    QVERIFY(v.actions[0].detail.isEmpty());

    // A line that passes is judged and nothing is done.
    v = c.run(Kind::Talk, QStringLiteral("carol"), QStringLiteral("Hello World"));
    QVERIFY(v.judged);
    QVERIFY(v.actions.empty());
}

void TestModerationChain::responseSkipsOwnNameListedAndSafe()
{
    Chain c;
    c.trigger(QStringLiteral("spam"));
    const QString spam = QStringLiteral("spam");
    // Judged, but the own name is never acted on.
    QString reason;
    QVERIFY(c.chain.autosquelch(c.settings, reason, QStringLiteral("alice"), spam));
    QVERIFY(c.run(Kind::Talk, QStringLiteral("alice"), spam).actions.empty());
    // An account name the encoding cannot hold makes no line the user's own.
    c.settings.account.reset();
    QCOMPARE(kinds(c.run(Kind::Talk, QStringLiteral("alice"), spam)),
             QList<Act>{Act::Permasquelch});
    c.squelched << QStringLiteral("bob");
    QVERIFY(c.run(Kind::Talk, QStringLiteral("bob"), spam).actions.empty());
    c.safe << QStringLiteral("carol");
    reason.clear();
    QVERIFY(!c.chain.autosquelch(c.settings, reason, QStringLiteral("carol"), spam));
    QVERIFY(reason.isEmpty());
}

void TestModerationChain::floodFromTheMembersHistory()
{
    Chain c;
    c.settings.lineRules.flooders = true;
    c.join(QStringLiteral("bob"), QStringLiteral("CHAT"));
    const QString hello = QStringLiteral("hello");
    for (int i = 0; i < 2; ++i) {
        c.said(QStringLiteral("bob"), hello);
        QVERIFY(c.run(Kind::Talk, QStringLiteral("bob"), hello).actions.empty());
    }
    c.said(QStringLiteral("bob"), hello);
    const TVerdict v = c.run(Kind::Talk, QStringLiteral("bob"), hello);
    QCOMPARE(kinds(v), QList<Act>{Act::Permasquelch});
    QCOMPARE(v.actions[0].reason, QStringLiteral("Flooding"));
    // No entry, no history: a stranger never floods.
    QVERIFY(c.run(Kind::Talk, QStringLiteral("dave"), hello).actions.empty());
}

void TestModerationChain::triggerErrorsWaitUntilTaken()
{
    Chain c;
    c.trigger(QStringLiteral("spam("));
    c.trigger(QStringLiteral("spam"));
    const TVerdict v = c.run(Kind::Talk, QStringLiteral("bob"), QStringLiteral("spam"));
    QCOMPARE(kinds(v), QList<Act>{Act::Permasquelch});
    // Reported once, when the owner takes them.
    const auto errors = c.chain.takeTriggerErrors();
    QCOMPARE(errors.size(), 1);
    QCOMPARE(errors[0].phrase, QStringLiteral("spam("));
    c.run(Kind::Talk, QStringLiteral("bob"), QStringLiteral("spam"));
    QVERIFY(c.chain.takeTriggerErrors().isEmpty());
}

void TestModerationChain::confirmationRoundTrip()
{
    Chain c;
    c.settings.squelchPrompt = true;
    c.settings.lineRules.upperCase = true;
    c.settings.lineRules.upperCasePercent = 60;
    c.trigger(QStringLiteral("spam"));
    const QString bob = QStringLiteral("bob");

    // The verdict asks first; the question is the member's first.
    TVerdict v = c.run(Kind::Talk, bob, QStringLiteral("spam"));
    QCOMPARE(kinds(v), QList<Act>{Act::Confirm});
    QVERIFY(c.chain.ask(v.actions[0]));
    // Further verdicts wait behind it, each reason once.
    for (const QString &line : {QStringLiteral("SHOUTING"), QStringLiteral("SHOUTING AGAIN")}) {
        v = c.run(Kind::Talk, bob, line);
        QCOMPARE(kinds(v), QList<Act>{Act::Confirm});
        QVERIFY(!c.chain.ask(v.actions[0]));
    }

    std::optional<TQuestion> q = c.chain.nextQuestion(bob);
    QVERIFY(q);
    QCOMPARE(q->reason, QStringLiteral("Trigger Phrase"));
    // The same reason again while it is on screen is not asked twice.
    QVERIFY(!c.chain.ask(c.run(Kind::Talk, bob, QStringLiteral("spam")).actions[0]));
    v = c.chain.answer(*q, false);
    QVERIFY(v.actions.empty());
    QVERIFY(v.askAgain);

    q = c.chain.nextQuestion(bob);
    QVERIFY(q);
    QCOMPARE(q->reason, QStringLiteral("Uppercase Characters"));
    v = c.chain.answer(*q, true);
    QVERIFY(!v.askAgain);
    QCOMPARE(kinds(v), QList<Act>{Act::Permasquelch});
    // The journal gets the line that was judged for that reason.
    QCOMPARE(v.actions[0].text, QStringLiteral("SHOUTING"));
    QCOMPARE(v.actions[0].reason, QStringLiteral("Uppercase Characters"));
    // Yes ends the member's questions.
    QVERIFY(!c.chain.asking(bob));
    QVERIFY(!c.chain.nextQuestion(bob));

    // No to the last reason ends them as well.
    QVERIFY(c.chain.ask(c.run(Kind::Talk, bob, QStringLiteral("spam")).actions[0]));
    q = c.chain.nextQuestion(bob);
    v = c.chain.answer(*q, false);
    QVERIFY(!v.askAgain);
    QVERIFY(!c.chain.asking(bob));
}

void TestModerationChain::confirmationEndsWhenHandledMeanwhile()
{
    Chain c;
    c.settings.squelchPrompt = true;
    c.trigger(QStringLiteral("spam"));
    const QString bob = QStringLiteral("bob");
    // Listed before the box opens: nothing is asked.
    QVERIFY(c.chain.ask(c.run(Kind::Talk, bob, QStringLiteral("spam")).actions[0]));
    c.squelched << bob;
    QVERIFY(!c.chain.nextQuestion(bob));
    QVERIFY(!c.chain.asking(bob));

    // Listed while the box is open: Yes does nothing more.
    c.squelched.clear();
    QVERIFY(c.chain.ask(c.run(Kind::Talk, bob, QStringLiteral("spam")).actions[0]));
    const std::optional<TQuestion> q = c.chain.nextQuestion(bob);
    QVERIFY(q);
    c.squelched << bob;
    QVERIFY(c.chain.answer(*q, true).actions.empty());

    // The own name set to the member meanwhile: nothing is asked either.
    c.squelched.clear();
    QVERIFY(c.chain.ask(c.run(Kind::Talk, bob, QStringLiteral("spam")).actions[0]));
    c.settings.account = bob;
    QVERIFY(!c.chain.nextQuestion(bob));

    // A box that could not open forgets the member, so the next verdict asks.
    c.settings.account = QStringLiteral("alice");
    QVERIFY(c.chain.ask(c.run(Kind::Talk, bob, QStringLiteral("spam")).actions[0]));
    QVERIFY(c.chain.nextQuestion(bob));
    c.chain.forget(bob);
    QVERIFY(c.chain.ask(c.run(Kind::Talk, bob, QStringLiteral("spam")).actions[0]));
}

void TestModerationChain::reportIn_data()
{
    QTest::addColumn<QString>("user");
    QTest::addColumn<QString>("text");
    QTest::addColumn<bool>("listed");
    QTest::addColumn<QString>("answer");
    const QString version = QStringLiteral(" I am using Tressel " TRESSEL_VERSION "!");
    QTest::newRow("Tressel") << "Tressel"
                             << ".reportin" << false << "/m tressel" + version;
    QTest::newRow("Kelm, more after") << "Kelm"
                                      << ".reportin now" << false << "/m kelm" + version;
    QTest::newRow("Kelm, hidden") << "Kelm"
                                  << ".reportin" << true << "/m kelm" + version;
    QTest::newRow("other case") << "tressel"
                                << ".reportin" << false << QString();
    QTest::newRow("someone else") << "bob"
                                  << ".reportin" << false << QString();
    QTest::newRow("other text") << "Kelm"
                                << ".Reportin" << false << QString();
}

void TestModerationChain::reportIn()
{
    QFETCH(QString, user);
    QFETCH(QString, text);
    QFETCH(bool, listed);
    QFETCH(QString, answer);
    Chain c;
    if (listed)
        c.squelched << user;
    TVerdict v = c.run(Kind::Talk, user, text);
    QCOMPARE(v.show, !listed);
    if (answer.isEmpty()) {
        QVERIFY(v.actions.empty());
    } else {
        QCOMPARE(kinds(v), QList<Act>{Act::Send});
        QCOMPARE(v.actions[0].line, answer);
    }
    // Emotes are never answered.
    QVERIFY(c.run(Kind::Emote, user, text).actions.empty());
}

void TestModerationChain::whispers()
{
    Chain c;
    c.settings.lamerMode = true; // whispers know no lamer mode
    const QString text = QStringLiteral("you ") + censored;
    TVerdict v = c.run(Kind::Whisper, QStringLiteral("bob"), text);
    QVERIFY(v.show);
    QCOMPARE(v.text, text); // and no anticensor
    QVERIFY(v.replyTarget);
    QVERIFY(!v.sound);
    QVERIFY(!v.judged);
    c.settings.alertWhisper = true;
    QVERIFY(c.run(Kind::Whisper, QStringLiteral("bob"), text).sound);

    c.squelched << QStringLiteral("bob");
    v = c.run(Kind::Whisper, QStringLiteral("bob"), text);
    QVERIFY(!v.show);
    QVERIFY(!v.sound);
    QVERIFY(!v.replyTarget);

    // A whisper sent is always shown; to a listed member it warns.
    v = c.run(Kind::WhisperSent, QStringLiteral("bob"), text);
    QVERIFY(v.show);
    QVERIFY(v.warnSquelched);
    QVERIFY(!c.run(Kind::WhisperSent, QStringLiteral("carol"), text).warnSquelched);
}

void TestModerationChain::joinsAndLeaves()
{
    Chain c;
    c.settings.squelchLeet = true;
    c.settings.leetPercentage = 50;
    c.settings.productActions.insert(QStringLiteral("STAR"), QStringLiteral("/brx "));
    c.settings.productActions.insert(QStringLiteral("SEXP"), QStringLiteral("/ignore "));
    const QString leet = QStringLiteral("|\\/|{}");

    // The l33t name first; the product's /brx then finds the member listed
    // and only becomes the last command.
    c.join(leet, QStringLiteral("STAR"));
    TVerdict v = c.run(Kind::Join, leet, QString(), QStringLiteral("STAR"));
    QCOMPARE(kinds(v), (QList<Act>{Act::Permasquelch, Act::Recall}));
    QCOMPARE(v.actions[0].reason, QStringLiteral("L33t Username"));
    QCOMPARE(v.actions[0].icon, productIcon(QStringLiteral("STAR")));
    QCOMPARE(v.actions[1].line, QStringLiteral("/brx ") + leet);
    QVERIFY(!v.show); // notices are off

    // The product's /brx on its own: listed by hand, the product's reason in the journal.
    c.join(QStringLiteral("bob"), QStringLiteral("STAR"));
    v = c.run(Kind::Join, QStringLiteral("bob"), QString(), QStringLiteral("STAR"));
    QCOMPARE(kinds(v), (QList<Act>{Act::Permasquelch, Act::Recall}));
    QCOMPARE(v.actions[0].reason, QStringLiteral("Manually Permasquelched"));
    QCOMPARE(v.actions[0].journalReason, QStringLiteral("Product STAR"));

    // /ignore goes to the server as typed, journalled as an ignore; the
    // safelist does not stop a product action.
    c.safe << QStringLiteral("carol");
    c.join(QStringLiteral("carol"), QStringLiteral("SEXP"));
    v = c.run(Kind::Join, QStringLiteral("carol"), QString(), QStringLiteral("SEXP"));
    QCOMPARE(kinds(v), QList<Act>{Act::Command});
    QCOMPARE(v.actions[0].line, QStringLiteral("/ignore carol"));
    QCOMPARE(v.actions[0].journalAction, QStringLiteral("ignore"));
    QCOMPARE(v.actions[0].journalReason, QStringLiteral("Product SEXP"));

    // Members already there get the l33t check, never a product action.
    c.join(QStringLiteral("dave"), QStringLiteral("SEXP"));
    QVERIFY(c.run(Kind::ShowUser, QStringLiteral("dave"), QString(), QStringLiteral("SEXP"))
                .actions.empty());
    QCOMPARE(kinds(c.run(Kind::ShowUser, leet + QLatin1Char('x'), QString(), QString())),
             QList<Act>{Act::Permasquelch});
    // No entry (a name the table cut short): no product action.
    QVERIFY(c.run(Kind::Join, QStringLiteral("erin"), QString(), QStringLiteral("SEXP"))
                .actions.empty());

    // Notices: all, or the safelisted ones only.
    c.settings.joinNotices = true;
    QVERIFY(c.run(Kind::Leave, QStringLiteral("dave")).show);
    c.settings.onlySafeNotices = true;
    QVERIFY(!c.run(Kind::Leave, QStringLiteral("dave")).show);
    QVERIFY(c.run(Kind::Join, QStringLiteral("carol"), QString(), QStringLiteral("SEXP")).show);
}

QTEST_GUILESS_MAIN(TestModerationChain)
#include "test_moderation_chain.moc"
