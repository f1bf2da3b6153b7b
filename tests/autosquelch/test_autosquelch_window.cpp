// The autosquelch and the product actions in a real main window: what the
// user sees, what goes on the wire and what lands in the squelch list.
#include "autosquelchfixture.h"
#include "rules/usericons.h"
#include "session/TSession.h"
#include "support/datarows.h"
#include "widgets/TTranscriptView.h"

#include <QtTest>

namespace {
const QString bob = QStringLiteral("bob");

int countOf(const QStringList &lines, const QString &part)
{
    int n = 0;
    for (const QString &l : lines)
        if (l.contains(part))
            ++n;
    return n;
}

TPickList *actionControl(Toptions *o, const QString &name)
{
    const std::pair<const char *, TPickList *> controls[] = {
        {"action_diablos", o->action_diablos},     {"action_diablo1", o->action_diablo1},
        {"action_diablo2", o->action_diablo2},     {"action_starcrafts", o->action_starcrafts},
        {"action_starcraft", o->action_starcraft}, {"action_broodwar", o->action_broodwar},
        {"action_warcraft", o->action_warcraft},   {"action_bot", o->action_bot},
    };
    for (const auto &c : controls)
        if (name == QLatin1String(c.first))
            return c.second;
    return nullptr;
}
// The verdicts on one stream of server bytes, handed over `chunk` bytes at a
// time (0: all in one read), with the event loop running between arrivals
// as it does between socket reads. The first part comes at the start time,
// the second once the flood history delay has passed.
struct ArrivalOutcome {
    QStringList squelched;
    QStringList chat;
    bool operator==(const ArrivalOutcome &o) const
    {
        return squelched == o.squelched && chat == o.chat;
    }
};

ArrivalOutcome verdictsOnArrival(int chunk)
{
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->squelchPrompt->setChecked(false);
    m.options->autoAction->selectIndex(0);
    m.options->HistoryDelay->setValue(10);
    auto deliver = [&](const QByteArray &bytes) {
        const qsizetype step = chunk > 0 ? chunk : bytes.size();
        for (qsizetype at = 0; at < bytes.size(); at += step) {
            m.session->bnet->receiveBytes(bytes.mid(at, step));
            QCoreApplication::processEvents();
        }
    };
    deliver("1001 USER bob 0010 [CHAT]\r\n1001 USER carol 0010 [CHAT]\r\n"
            "1005 TALK bob 0010 \"same old line\"\r\n1005 TALK bob 0010 \"same old line\"\r\n");
    w.setNow(w.now().addSecs(11));
    // The join's list update empties bob's old lines before his next one
    // is judged; carol's three new lines are a flood.
    deliver("1002 JOIN dave 0010 [CHAT]\r\n1005 TALK bob 0010 \"same old line\"\r\n"
            "1005 TALK carol 0010 \"again and again\"\r\n"
            "1005 TALK carol 0010 \"again and again\"\r\n"
            "1005 TALK carol 0010 \"again and again\"\r\n");
    QCoreApplication::processEvents();
    return {w.squelched(), w.chatLines()};
}
} // namespace

class TestAutosquelchWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void verdictResponse_data();
    void verdictResponse();
    void reasonsJoined();
    void floodHistory_data();
    void floodHistory();
    void floodVerdictIndependentOfArrival();
    void prompt_data();
    void prompt();
    void promptIsDeferredOutOfTheReadHandler();
    void promptsDoNotStackPerMember_data();
    void promptsDoNotStackPerMember();
    void promptRechecksAtAnswerTime();
    void membersGetTheirOwnPromptsInOrder();
    void safelistedNeverJudged();
    void ownNameJudgedButNotActedOn();
    void permasquelchedNotActedOnAgain();
    void squelchCommandNotQueuedTwice();
    void memberNotInTable();
    void invalidTriggerReportedOnce();
    void phraseTheEngineGivesUpOnIsReportedOnce();
    void triggerListChangesTakeEffect();
    void leetNames_data();
    void leetNames();
    void productActions_data();
    void productActions();
    void productActionBrx();
    void productActionsSpareNoOne();
    void prodActionIndexOutOfRange();
};

void TestAutosquelchWindow::verdictResponse_data()
{
    columns<int, bool>("action", "permasquelch");
    QTest::newRow("Permasquelch") << 0 << true;
    QTest::newRow("Ignore") << 1 << false;
    QTest::newRow("no choice") << -1 << false;
}

void TestAutosquelchWindow::verdictResponse()
{
    QFETCH(int, action);
    QFETCH(bool, permasquelch);
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->autoAction->selectIndex(action);
    QCOMPARE(m.options->autoAction->currentIndex(), action);
    w.join(bob, QStringLiteral("SEXP"));
    w.say(bob, QStringLiteral("hello"));
    w.say(bob, QStringLiteral("hello"));
    QVERIFY(w.squelched().isEmpty());
    w.say(bob, QStringLiteral("hello"));
    const QByteArray wire = w.takeWire();
    QVERIFY(w.dialogs.asked.isEmpty());
    if (permasquelch) {
        QCOMPARE(w.squelched(), QStringList{bob});
        QCOMPARE(countOf(w.chatLines(), QStringLiteral("bob was permasquelched (Flooding)")), 1);
        // The file keeps the member's product, taken from its icon.
        QCOMPARE(AutosquelchWindow::readFile(QStringLiteral("brx.conf")),
                 QByteArray("SEXPbob\r\n"));
        QVERIFY2(!wire.contains("/squelch"), wire.constData());
    } else {
        QVERIFY(w.squelched().isEmpty());
        QCOMPARE(wire, QByteArray("/squelch bob\r"));
    }
}

void TestAutosquelchWindow::reasonsJoined()
{
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->squelchUc->setChecked(true);
    m.options->squelchAscii->setChecked(true);
    w.setTriggers({QStringLiteral("BUY"), QStringLiteral("(?i)gold"), QStringLiteral("silver")});
    w.join(bob, QStringLiteral("STAR"));
    const QString line = QString::fromLatin1("BUY GOLD \xFF\xFF");
    for (int i = 0; i < 3; ++i)
        m.session->modUser(bob, line);
    QString reason;
    QVERIFY(m.autosquelch(reason, bob, line));
    QCOMPARE(reason, QStringLiteral("Flooding/Uppercase Characters/Trigger Phrase/Trigger Phrase"));
    // 2 of 11 characters above 126: about 18.2 percent.
    m.options->AsciiPercentage->setValue(19);
    reason.clear();
    QVERIFY(m.autosquelch(reason, bob, line));
    QCOMPARE(reason, QStringLiteral("Flooding/Uppercase Characters/Trigger Phrase/Trigger Phrase"));
    m.options->AsciiPercentage->setValue(18);
    reason.clear();
    QVERIFY(m.autosquelch(reason, bob, line));
    QCOMPARE(reason, QStringLiteral(
                         "Flooding/High ASCII/Uppercase Characters/Trigger Phrase/Trigger Phrase"));
    // The flood test reads the history, not the line judged.
    reason.clear();
    QVERIFY(m.autosquelch(reason, bob, QStringLiteral("fine words")));
    QCOMPARE(reason, QStringLiteral("Flooding"));
    // A line no test fires on leaves the reason empty.
    m.options->squelchFlooders->setChecked(false);
    reason.clear();
    QVERIFY(!m.autosquelch(reason, bob, QStringLiteral("fine words")));
    QVERIFY(reason.isEmpty());
    // Only lines longer than minLineLength are judged.
    m.options->minLineLength->setValue(line.size());
    QVERIFY(!m.autosquelch(reason, bob, line));
    m.options->minLineLength->setValue(line.size() - 1);
    QVERIFY(m.autosquelch(reason, bob, line));
}

void TestAutosquelchWindow::floodHistory_data()
{
    // Each line is said (s), emoted (e) or whispered (w) by bob; the last one is judged.
    columns<QStringList, bool>("lines", "fires");
    QTest::newRow("said three times") << QStringList{"s:hello", "s:hello", "s:hello"} << true;
    QTest::newRow("capital between") << QStringList{"s:hello", "s:Hello", "s:hello"} << false;
    QTest::newRow("whisper between") << QStringList{"s:hello", "w:hello", "s:hello"} << true;
    QTest::newRow("emotes") << QStringList{"e:waves", "e:waves", "e:waves"} << true;
    QTest::newRow("only twice") << QStringList{"s:hello", "s:hello"} << false;
    QTest::newRow("broken run") << QStringList{"s:hello", "s:hello", "s:bye", "s:hello"} << false;
}

void TestAutosquelchWindow::floodHistory()
{
    QFETCH(QStringList, lines);
    QFETCH(bool, fires);
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->autoAction->selectIndex(0);
    w.join(bob, QStringLiteral("STAR"));
    for (const QString &l : lines) {
        const QString text = l.mid(2);
        if (l.startsWith(QLatin1Char('s')))
            m.processTalk(bob, text);
        else if (l.startsWith(QLatin1Char('e')))
            m.processEmote(bob, text);
        else
            m.processWhisper(bob, text);
    }
    QCOMPARE(w.squelched(), fires ? QStringList{bob} : QStringList{});
}

void TestAutosquelchWindow::floodVerdictIndependentOfArrival()
{
    const ArrivalOutcome oneRead = verdictsOnArrival(0);
    QCOMPARE(oneRead.squelched, QStringList{QStringLiteral("carol")});
    QCOMPARE(countOf(oneRead.chat, QStringLiteral(" <bob> same old line")), 3);
    for (const int chunk : {1, 2, 7, 40}) {
        const ArrivalOutcome other = verdictsOnArrival(chunk);
        QVERIFY2(other == oneRead, qPrintable(QStringLiteral("%1 bytes at a time: squelched %2")
                                                  .arg(chunk)
                                                  .arg(other.squelched.join(QLatin1Char(',')))));
    }
}

void TestAutosquelchWindow::prompt_data()
{
    columns<bool, int>("yes", "action");
    QTest::newRow("Yes, permasquelch") << true << 0;
    QTest::newRow("No, permasquelch") << false << 0;
    QTest::newRow("Yes, ignore") << true << 1;
    QTest::newRow("No, ignore") << false << 1;
}

void TestAutosquelchWindow::prompt()
{
    QFETCH(bool, yes);
    QFETCH(int, action);
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchUc->setChecked(true);
    m.options->squelchPrompt->setChecked(true);
    m.options->autoAction->selectIndex(action);
    w.join(bob, QStringLiteral("W2BN"));
    w.dialogs.confirmAnswers.enqueue(yes);
    w.say(bob, QStringLiteral("HELLO WORLD"));
    // Asked only once the line's handling has returned.
    QVERIFY(w.dialogs.asked.isEmpty());
    QTRY_COMPARE(w.dialogs.texts("confirm"),
                 QStringList{QStringLiteral("Autosquelch bob? (Uppercase Characters)")});
    QCOMPARE(w.dialogs.asked[0].title, QStringLiteral("Confirm"));
    const QByteArray wire = w.takeWire();
    QCOMPARE(w.squelched(), (yes && action == 0) ? QStringList{bob} : QStringList{});
    QCOMPARE(wire, QByteArray(yes && action == 1 ? "/squelch bob\r" : ""));
    QCOMPARE(w.dialogs.asked.size(), 1);
}

void TestAutosquelchWindow::promptIsDeferredOutOfTheReadHandler()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->squelchPrompt->setChecked(true);
    m.options->autoAction->selectIndex(0);
    w.join(bob, QStringLiteral("CHAT"));
    QStringList seenWhileAsking;
    w.dialogs.whileConfirming = [&](int) { seenWhileAsking = w.chatLines(); };
    w.dialogs.confirmAnswers.enqueue(true);
    // One read: the flood and a line after it.
    w.serverSends("1005 TALK bob 0010 \"hi\"\r\n1005 TALK bob 0010 \"hi\"\r\n"
                  "1005 TALK bob 0010 \"hi\"\r\n1005 TALK carol 0010 \"after\"\r\n");
    QTRY_COMPARE(w.dialogs.confirmCalls, 1);
    // The whole read was shown before the box opened.
    QCOMPARE(countOf(seenWhileAsking, QStringLiteral("<bob> hi")), 3);
    QCOMPARE(countOf(seenWhileAsking, QStringLiteral("<carol> after")), 1);
    QTRY_COMPARE(w.squelched(), QStringList{bob});
    // Reading goes on after the answer.
    w.serverSends("1005 TALK carol 0010 \"later\"\r\n");
    QTRY_COMPARE(countOf(w.chatLines(), QStringLiteral("<carol> later")), 1);
}

void TestAutosquelchWindow::promptsDoNotStackPerMember_data()
{
    columns<bool, QStringList>("yes", "prompts");
    QTest::newRow("Yes handles the member")
        << true << QStringList{QStringLiteral("Autosquelch bob? (Flooding)")};
    // After No, only a verdict for another reason is asked, once.
    QTest::newRow("No asks the other reason")
        << false
        << QStringList{QStringLiteral("Autosquelch bob? (Flooding)"),
                       QStringLiteral("Autosquelch bob? (Trigger Phrase)")};
}

void TestAutosquelchWindow::promptsDoNotStackPerMember()
{
    QFETCH(bool, yes);
    QFETCH(QStringList, prompts);
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->squelchPrompt->setChecked(true);
    m.options->autoAction->selectIndex(1);
    w.setTriggers({QStringLiteral("spam")});
    w.join(bob, QStringLiteral("STAR"));
    w.dialogs.confirmAnswers.enqueue(yes);
    w.dialogs.confirmAnswers.enqueue(false);
    w.dialogs.whileConfirming = [&](int call) {
        if (call != 1)
            return;
        // The flood goes on while the box is open, then a trigger line.
        w.flood(bob, QStringLiteral("hello"), 5);
        w.say(bob, QStringLiteral("spam spam"));
        w.say(bob, QStringLiteral("more spam"));
    };
    w.flood(bob, QStringLiteral("hello"), 4);
    QTRY_COMPARE(w.dialogs.confirmCalls, prompts.size());
    MainWindowFixture::runQueuedCalls(); // no prompt more is queued
    QCOMPARE(w.dialogs.texts("confirm"), prompts);
    QCOMPARE(w.takeWire(), QByteArray(yes ? "/squelch bob\r" : ""));
}

void TestAutosquelchWindow::promptRechecksAtAnswerTime()
{
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->squelchUc->setChecked(true);
    m.options->squelchPrompt->setChecked(true);
    m.options->autoAction->selectIndex(0);
    w.join(bob, QStringLiteral("STAR"));
    w.dialogs.confirmAnswers.enqueue(true);
    // Listed by hand while the box is open: Yes must not list it twice.
    w.dialogs.whileConfirming = [&](int) { m.parseCommand(QStringLiteral("/brx bob")); };
    w.say(bob, QStringLiteral("LOUD NOISES"));
    QTRY_COMPARE(w.dialogs.confirmCalls, 1);
    MainWindowFixture::runQueuedCalls();
    QCOMPARE(w.squelched(), QStringList{bob});
    QCOMPARE(countOf(w.chatLines(), QStringLiteral("was permasquelched")), 1);
    QCOMPARE(countOf(w.chatLines(), QStringLiteral("already permasquelched")), 0);

    // Listed by hand before the queued prompt got its turn: no box at all.
    w.dialogs.whileConfirming = nullptr;
    w.join(QStringLiteral("carol"), QStringLiteral("STAR"));
    w.say(QStringLiteral("carol"), QStringLiteral("LOUD NOISES"));
    m.parseCommand(QStringLiteral("/brx carol"));
    MainWindowFixture::runQueuedCalls(); // the queued prompt had its turn
    QCOMPARE(w.dialogs.confirmCalls, 1);
}

void TestAutosquelchWindow::membersGetTheirOwnPromptsInOrder()
{
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->squelchUc->setChecked(true);
    m.options->squelchPrompt->setChecked(true);
    m.options->autoAction->selectIndex(0);
    w.join(bob, QStringLiteral("STAR"));
    w.join(QStringLiteral("carol"), QStringLiteral("STAR"));
    w.dialogs.confirmAnswers << true << false;
    w.say(bob, QStringLiteral("LOUD"));
    w.say(QStringLiteral("carol"), QStringLiteral("LOUDER"));
    w.say(bob, QStringLiteral("LOUD"));
    QTRY_COMPARE(w.dialogs.confirmCalls, 2);
    MainWindowFixture::runQueuedCalls(); // no prompt more is queued
    QCOMPARE(w.dialogs.texts("confirm"),
             (QStringList{QStringLiteral("Autosquelch bob? (Uppercase Characters)"),
                          QStringLiteral("Autosquelch carol? (Uppercase Characters)")}));
    QCOMPARE(w.squelched(), QStringList{bob});
}

void TestAutosquelchWindow::safelistedNeverJudged()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->squelchUc->setChecked(true);
    m.options->autoAction->selectIndex(1);
    m.options->safe->addItem(bob);
    w.join(bob, QStringLiteral("STAR"));
    w.flood(bob, QStringLiteral("HELLO"), 4);
    QString reason;
    QVERIFY(!m.autosquelch(reason, bob, QStringLiteral("HELLO")));
    QVERIFY(reason.isEmpty());
    QCOMPARE(w.takeWire(), QByteArray());
    QVERIFY(w.squelched().isEmpty());
}

void TestAutosquelchWindow::ownNameJudgedButNotActedOn()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->squelchPrompt->setChecked(true);
    m.options->autoAction->selectIndex(0);
    w.join(QStringLiteral("alice"), QStringLiteral("CHAT"));
    w.flood(QStringLiteral("alice"), QStringLiteral("again"), 4);
    QString reason;
    QVERIFY(m.autosquelch(reason, QStringLiteral("alice"), QStringLiteral("again")));
    QCOMPARE(reason, QStringLiteral("Flooding"));
    MainWindowFixture::runQueuedCalls(); // a prompt would have been asked by now
    QVERIFY(w.dialogs.asked.isEmpty());
    QVERIFY(w.squelched().isEmpty());
    // The name the setting holds counts, exactly: another spelling is judged and acted on.
    w.join(QStringLiteral("Alice"), QStringLiteral("CHAT"));
    m.options->squelchPrompt->setChecked(false);
    w.flood(QStringLiteral("Alice"), QStringLiteral("again"), 3);
    QCOMPARE(w.squelched(), QStringList{QStringLiteral("Alice")});
}

void TestAutosquelchWindow::permasquelchedNotActedOnAgain()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->autoAction->selectIndex(1);
    w.join(bob, QStringLiteral("STAR"));
    m.parseCommand(QStringLiteral("/brx bob"));
    w.flood(bob, QStringLiteral("hello"), 4);
    QString reason;
    QVERIFY(m.autosquelch(reason, bob, QStringLiteral("hello")));
    QCOMPARE(w.takeWire(), QByteArray());
    m.options->autoAction->selectIndex(0);
    w.say(bob, QStringLiteral("hello"));
    QCOMPARE(countOf(w.chatLines(), QStringLiteral("already permasquelched")), 0);
    QCOMPARE(w.squelched(), QStringList{bob});
}

void TestAutosquelchWindow::squelchCommandNotQueuedTwice()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchFlooders->setChecked(true);
    m.options->autoAction->selectIndex(1);
    w.join(bob, QStringLiteral("STAR"));
    // Only the flood interval paces here: the quota would hold the fifth
    // line for its whole window.
    m.session->process->QuotaUnits = 100;
    // Keep the pacing busy so the commands wait in the queue.
    m.sendtext(QStringLiteral("one"));
    m.sendtext(QStringLiteral("two"));
    w.flood(bob, QStringLiteral("hello"), 8);
    m.sendtext(QStringLiteral("three"));
    QCOMPARE(w.takeWire(), QByteArray("one\rtwo\r/squelch bob\rthree\r"));
    // Once it has gone out, a new verdict sends it again.
    w.say(bob, QStringLiteral("hello"));
    QCOMPARE(w.takeWire(), QByteArray("/squelch bob\r"));
}

void TestAutosquelchWindow::memberNotInTable()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->squelchUc->setChecked(true);
    m.options->squelchFlooders->setChecked(true);
    m.options->autoAction->selectIndex(0);
    m.options->action_starcraft->selectIndex(2);
    // Stored cut to 40 characters, so the full name is not found.
    const QString longName = QString(45, QLatin1Char('x'));
    w.join(longName, QStringLiteral("STAR"));
    QCOMPARE(m.session->getUserID(longName), 0);
    QCOMPARE(w.takeWire(), QByteArray());
    w.say(longName, QStringLiteral("calm words"));
    w.say(longName, QStringLiteral("calm words"));
    w.say(longName, QStringLiteral("calm words"));
    QVERIFY(w.squelched().isEmpty()); // no history: no flood
    w.say(longName, QStringLiteral("LOUD WORDS"));
    QCOMPARE(w.squelched(), QStringList{longName});
    QCOMPARE(AutosquelchWindow::readFile(QStringLiteral("brx.conf")),
             QByteArray("CHAT") + longName.toLatin1() + "\r\n");
}

void TestAutosquelchWindow::invalidTriggerReportedOnce()
{
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->squelchUc->setChecked(true);
    m.options->autoAction->selectIndex(0);
    w.setTriggers({QStringLiteral("spam("), QStringLiteral("eggs")});
    w.join(bob, QStringLiteral("STAR"));
    w.join(QStringLiteral("carol"), QStringLiteral("STAR"));
    w.say(QStringLiteral("carol"), QStringLiteral("quiet"));
    w.say(QStringLiteral("carol"), QStringLiteral("spam( again"));
    QString reason;
    QVERIFY(!m.autosquelch(reason, QStringLiteral("carol"), QStringLiteral("spam( again")));
    // The other tests still decide.
    w.say(bob, QStringLiteral("SHOUTING HERE"));
    QCOMPARE(w.squelched(), QStringList{bob});
    w.say(QStringLiteral("carol"), QStringLiteral("ham and eggs"));
    QCOMPARE(w.squelched(), (QStringList{bob, QStringLiteral("carol")}));
    const QStringList lines = w.chatLines();
    const QString engine = QRegularExpression(QStringLiteral("spam(")).errorString();
    int errorLine = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(QStringLiteral("Error:"))) {
            QCOMPARE(errorLine, -1);
            errorLine = i;
        }
    QVERIFY(errorLine >= 0);
    QVERIFY2(lines[errorLine].contains(QStringLiteral("\"spam(\"")), qPrintable(lines[errorLine]));
    QVERIFY2(lines[errorLine].contains(engine), qPrintable(lines[errorLine]));
    const int labelAt = int(lines[errorLine].indexOf(QStringLiteral("Error:")));
    QCOMPARE(m.chat->colourAt(errorLine, labelAt), m.options->error_colour->selected());
}

// A phrase that makes the engine give up must not turn off the others.
void TestAutosquelchWindow::phraseTheEngineGivesUpOnIsReportedOnce()
{
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->autoAction->selectIndex(0);
    w.setTriggers({QStringLiteral("(a+)+$"), QStringLiteral("spam")});
    const QString line = QString(40, QLatin1Char('a')) + QStringLiteral("! spam");
    w.join(bob, QStringLiteral("STAR"));
    w.join(QStringLiteral("carol"), QStringLiteral("STAR"));
    w.say(bob, line);
    QCOMPARE(w.squelched(), QStringList{bob});
    QCOMPARE(countOf(w.chatLines(), QStringLiteral("bob was permasquelched (Trigger Phrase)")), 1);
    w.say(QStringLiteral("carol"), line);
    QCOMPARE(w.squelched(), (QStringList{bob, QStringLiteral("carol")}));
    const QStringList lines = w.chatLines();
    int errorLine = -1;
    for (int i = 0; i < lines.size(); ++i)
        if (lines[i].contains(QStringLiteral("Error:"))) {
            QCOMPARE(errorLine, -1);
            errorLine = i;
        }
    QVERIFY(errorLine >= 0);
    QVERIFY2(lines[errorLine].endsWith(
                 QStringLiteral("Error: The trigger phrase \"(a+)+$\" is too complex for the "
                                "regular-expression engine on some lines (it gave up searching "
                                "one), so it is skipped on those lines.")),
             qPrintable(lines[errorLine]));
    const int labelAt = int(lines[errorLine].indexOf(QStringLiteral("Error:")));
    QCOMPARE(m.chat->colourAt(errorLine, labelAt), m.options->error_colour->selected());
    // The phrase still judges lines the engine manages.
    QString reason;
    QVERIFY(m.autosquelch(reason, QStringLiteral("dave"), QStringLiteral("aaaa")));
    QCOMPARE(reason, QStringLiteral("Trigger Phrase"));
}

void TestAutosquelchWindow::triggerListChangesTakeEffect()
{
    AutosquelchWindow w;
    Tmain &m = *w.main;
    w.join(bob, QStringLiteral("STAR"));
    QString reason;
    QVERIFY(!m.autosquelch(reason, bob, QStringLiteral("buy gold")));
    // Through the dialog's signal.
    w.setTriggers({QStringLiteral("gold")});
    QVERIFY(m.autosquelch(reason, bob, QStringLiteral("buy gold")));
    QCOMPARE(reason, QStringLiteral("Trigger Phrase"));
    // Straight into the list (as the configuration file does), and edited.
    m.options->triggers->addItem(QStringLiteral("buy"));
    reason.clear();
    QVERIFY(m.autosquelch(reason, bob, QStringLiteral("buy gold")));
    QCOMPARE(reason, QStringLiteral("Trigger Phrase/Trigger Phrase"));
    m.options->triggers->item(0)->setText(QStringLiteral("silver"));
    reason.clear();
    QVERIFY(m.autosquelch(reason, bob, QStringLiteral("buy gold")));
    QCOMPARE(reason, QStringLiteral("Trigger Phrase"));
    delete m.options->triggers->takeItem(1);
    reason.clear();
    QVERIFY(!m.autosquelch(reason, bob, QStringLiteral("buy gold")));
}

void TestAutosquelchWindow::leetNames_data()
{
    columns<QString, int, bool, bool>("name", "threshold", "on", "squelched");
    QTest::newRow("0101 at 99") << "0101" << 99 << true << true;
    QTest::newRow("0101 at 100") << "0101" << 100 << true << false;
    QTest::newRow("0101, check off") << "0101" << 1 << false << false;
    QTest::newRow("l33tn00b at 20") << "l33tn00b" << 20 << true << true;
    QTest::newRow("l33tn00b at 25") << "l33tn00b" << 25 << true << false;
}

void TestAutosquelchWindow::leetNames()
{
    QFETCH(QString, name);
    QFETCH(int, threshold);
    QFETCH(bool, on);
    QFETCH(bool, squelched);
    AutosquelchWindow w;
    Tmain &m = *w.main;
    m.options->squelchLeet->setChecked(on);
    m.options->leetPercentage->setValue(threshold);
    // Neither the safelist nor autoAction nor the prompt have a say.
    m.options->safe->addItem(name);
    m.options->autoAction->selectIndex(1);
    m.options->squelchPrompt->setChecked(true);
    w.join(name, QStringLiteral("D2DV"));
    QCOMPARE(w.squelched(), squelched ? QStringList{name} : QStringList{});
    QVERIFY(w.dialogs.asked.isEmpty());
    if (squelched) {
        QCOMPARE(
            countOf(w.chatLines(), name + QStringLiteral(" was permasquelched (L33t Username)")),
            1);
        QCOMPARE(AutosquelchWindow::readFile(QStringLiteral("brx.conf")),
                 QByteArray("D2DV") + name.toLatin1() + "\r\n");
        // Seen again (a show-user event): not listed twice.
        m.processShowUser(name, QStringLiteral("0010"), QStringLiteral("D2DV"));
        QCOMPARE(w.squelched(), QStringList{name});
        QCOMPARE(countOf(w.chatLines(), QStringLiteral("already permasquelched")), 0);
    }
}

void TestAutosquelchWindow::productActions_data()
{
    textRows({"product", "control"}, {{"DSHR", "DSHR", "action_diablos"},
                                      {"DRTL", "DRTL", "action_diablo1"},
                                      {"D2DV", "D2DV", "action_diablo2"},
                                      {"SSHR", "SSHR", "action_starcrafts"},
                                      {"STAR", "STAR", "action_starcraft"},
                                      {"JSTR", "JSTR", "action_starcraft"},
                                      {"SEXP", "SEXP", "action_broodwar"},
                                      {"W2BN", "W2BN", "action_warcraft"},
                                      {"CHAT", "CHAT", "action_bot"},
                                      {"D2XP", "D2XP", ""},
                                      {"lower case star", "star", ""}});
}

void TestAutosquelchWindow::productActions()
{
    QFETCH(QString, product);
    QFETCH(QString, control);
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Toptions *o = w.main->options;
    const QList<TPickList *> all = {o->action_diablos,    o->action_diablo1,   o->action_diablo2,
                                    o->action_starcrafts, o->action_starcraft, o->action_broodwar,
                                    o->action_warcraft,   o->action_bot};
    // Every action "None": no join sends anything.
    w.join(QStringLiteral("first"), product);
    QCOMPARE(w.takeWire(), QByteArray());
    // Every other row /ignore, the product's own row /whois.
    for (TPickList *p : all)
        p->selectIndex(2);
    TPickList *own = actionControl(o, control);
    if (!control.isEmpty()) {
        QVERIFY2(own, qPrintable(control));
        own->selectIndex(3);
        QCOMPARE(own->currentText(), QStringLiteral("/whois "));
    }
    w.join(bob, product);
    QCOMPARE(w.takeWire(), QByteArray(control.isEmpty() ? "" : "/whois bob\r"));
    QCOMPARE(w.main->envVars.lastCommand,
             control.isEmpty() ? QString() : QStringLiteral("/whois bob"));
    // Show-user events (members already there) run no action.
    w.main->processShowUser(QStringLiteral("carol"), QStringLiteral("0010"), product);
    QCOMPARE(w.takeWire(), QByteArray());
    // "None" on its row switches it off again.
    if (own) {
        own->selectIndex(0);
        w.join(QStringLiteral("dave"), product);
        QCOMPARE(w.takeWire(), QByteArray());
    }
}

void TestAutosquelchWindow::productActionBrx()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->action_broodwar->selectIndex(1);
    QCOMPARE(m.options->action_broodwar->currentText(), QStringLiteral("/brx "));
    w.join(bob, QStringLiteral("SEXP"));
    QCOMPARE(w.squelched(), QStringList{bob});
    QCOMPARE(
        countOf(w.chatLines(), QStringLiteral("bob was permasquelched (Manually Permasquelched)")),
        1);
    QCOMPARE(AutosquelchWindow::readFile(QStringLiteral("brx.conf")), QByteArray("SEXPbob\r\n"));
    // Local only: nothing goes to the gateway. Joining again changes nothing.
    w.join(bob, QStringLiteral("SEXP"));
    QCOMPARE(w.squelched(), QStringList{bob});
    QCOMPARE(w.takeWire(), QByteArray());
}

void TestAutosquelchWindow::productActionsSpareNoOne()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->safe->addItem(bob);
    m.options->action_bot->selectIndex(2);
    w.join(bob, QStringLiteral("CHAT"));
    QCOMPARE(w.takeWire(), QByteArray("/ignore bob\r"));
    // Own name too.
    w.join(QStringLiteral("alice"), QStringLiteral("CHAT"));
    QCOMPARE(w.takeWire(), QByteArray("/ignore alice\r"));
}

void TestAutosquelchWindow::prodActionIndexOutOfRange()
{
    AutosquelchWindow w;
    QVERIFY(w.connectToServer());
    Tmain &m = *w.main;
    m.options->action_bot->selectIndex(3);
    w.join(bob, QStringLiteral("CHAT"));
    QCOMPARE(w.takeWire(), QByteArray("/whois bob\r"));
    m.ProdAction(0);
    m.ProdAction(-1);
    m.ProdAction(m.session->userTable.count() + 1);
    QCOMPARE(w.takeWire(), QByteArray());
    m.ProdAction(1);
    QCOMPARE(w.takeWire(), QByteArray("/whois bob\r"));
}

QTEST_MAIN(TestAutosquelchWindow)
#include "test_autosquelch_window.moc"
