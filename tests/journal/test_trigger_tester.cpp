// The trigger tester in a real window: its verdicts against the automatic
// squelch's own, the Test... buttons, the pause before judging, and what OK
// and Cancel do to the list.
#include "journalfixture.h"
#include "mainwindow/journal.h"

#include "preferences/triggertesterdialog.h"
#include "support/waits.h"

#include <QRandomGenerator>
#include <QtTest>

using namespace triggertester;

namespace {
// Small phrases and lines over few characters, so that matches are common;
// some phrases do not compile, some make the engine give up.
class Maker {
public:
    explicit Maker(quint32 seed) : m_rand(seed) {}
    int below(int n) { return int(m_rand.bounded(quint32(n))); }
    QString phrase()
    {
        static const char *const fixed[] = {
            "(", "[a", "a{2,1}", "(*LIMIT_MATCH=3000)(a+)+$", "^A", "B$", "(?i)ab", "a.b", "\\bA"};
        if (below(5) == 0)
            return QString::fromLatin1(fixed[below(int(std::size(fixed)))]);
        static const char atoms[] = "aAbB! .";
        QString s;
        const int n = 1 + below(3);
        for (int i = 0; i < n; ++i) {
            s += QLatin1Char(atoms[below(int(sizeof atoms) - 1)]);
            if (below(4) == 0)
                s += QLatin1Char("+*?"[below(3)]);
        }
        return s;
    }
    QString line()
    {
        if (below(10) == 0)
            return QString(25, QLatin1Char('a')) + QLatin1Char('!');
        static const char alphabet[] = "aAbB! .\xe9\xc3\xa9";
        QString s;
        const int n = below(12);
        for (int i = 0; i < n; ++i)
            s += QChar(uchar(alphabet[below(int(sizeof alphabet) - 1)]));
        return s;
    }

private:
    QRandomGenerator m_rand;
};

TTriggerTesterDialog *openTester(Toptions *o, QWidget *parent)
{
    const auto before = parent->findChildren<TTriggerTesterDialog *>();
    QTest::mouseClick(o->testTrigger, Qt::LeftButton);
    for (TTriggerTesterDialog *d : parent->findChildren<TTriggerTesterDialog *>())
        if (!before.contains(d))
            return d;
    return nullptr;
}
} // namespace

class TestTriggerTester : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void verdictsEqualTheAutomaticSquelch();
    void testButtonAndDialog();
    void judgedLinesAndSafelist();
    void testFromTheJournal();
};

void TestTriggerTester::verdictsEqualTheAutomaticSquelch()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    Toptions &o = *m.options;
    Maker make(20261208);
    const QString nobody = QStringLiteral("nobody"); // not in the channel: no flood history
    int squelched = 0, passed = 0, viaDialog = 0;
    for (int round = 0; round < 300; ++round) {
        QStringList phrases;
        const int n = make.below(4);
        for (int i = 0; i < n; ++i)
            phrases << make.phrase();
        const QString pattern = make.below(4) == 0 ? QString() : make.phrase();
        const QString line = make.line();
        o.squelchUc->setChecked(make.below(2) == 0);
        o.ucPercentage->setValue(1 + make.below(100));
        o.squelchAscii->setChecked(make.below(2) == 0);
        o.AsciiPercentage->setValue(1 + make.below(100));
        o.minLineLength->setValue(make.below(5));

        w.setTriggers(phrases + (pattern.isEmpty() ? QStringList() : QStringList{pattern}));
        QString own;
        m.autosquelch(own, nobody, line);

        QString tested;
        if (round % 10 == 0) {
            // Through the dialog, as the user sees it.
            w.setTriggers(phrases);
            TTriggerTesterDialog *d = o.openTriggerTester(&o, -1, pattern, line);
            tested = d->result().verdict;
            QCOMPARE(d->verdict->text().section(QLatin1Char(' '), 0, 1),
                     own.isEmpty() ? QStringLiteral("would pass")
                                   : QStringLiteral("would squelch:"));
            d->reject();
            ++viaDialog;
        } else {
            tested = evaluate(pattern, line, phrases, o.lineRules(), {}).verdict;
        }
        if (tested != own)
            QFAIL(qPrintable(QStringLiteral("round %1: tester '%2', automatic squelch '%3' for "
                                            "'%4', pattern '%5', phrases\n%6")
                                 .arg(round)
                                 .arg(tested, own, line, pattern, phrases.join('\n'))));
        ++(own.isEmpty() ? passed : squelched);
    }
    // Both kinds of verdict were reached.
    QVERIFY2(squelched > 50 && passed > 50,
             qPrintable(QStringLiteral("%1 %2").arg(squelched).arg(passed)));
    QCOMPARE(viaDialog, 30);
}

void TestTriggerTester::testButtonAndDialog()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    Toptions &o = *m.options;
    m.PreferencesClick();
    QVERIFY(waitExposed(&o));
    // After the dialog has read the configuration file as it opens.
    w.setTriggers({QStringLiteral("spam"), QStringLiteral("eggs")});
    for (int i = 0; i < o.tabs->count(); ++i)
        if (o.tabs->tabText(i) == QLatin1String("Autosquelch Triggers"))
            o.tabs->setCurrentIndex(i);
    // Below "Edit Trigger".
    QTRY_VERIFY(o.testTrigger->isVisible());
    QCOMPARE(o.testTrigger->text(), QStringLiteral("Test..."));
    QCOMPARE(o.testTrigger->x(), o.editTrigger->x());
    QVERIFY(o.testTrigger->y() > o.editTrigger->y());

    // The selected trigger, tried in its own place.
    o.triggers->setCurrentRow(1);
    TTriggerTesterDialog *d = openTester(&o, &o);
    QVERIFY(d);
    QVERIFY(waitExposed(d));
    QCOMPARE(d->pattern->text(), QStringLiteral("eggs"));
    QTest::keyClicks(d->sample, QStringLiteral("green eggs"));
    // Judged after a pause, not on every key.
    QCOMPARE(d->result().sample, Found::No);
    QVERIFY(d->debounce->isActive());
    QTRY_COMPARE(d->result().sample, Found::Yes);
    QCOMPARE(d->sampleMatch->text(), QStringLiteral("Matches the sample."));
    QCOMPARE(d->verdict->text(), QStringLiteral("would squelch: Trigger Phrase"));
    d->pattern->selectAll();
    QTest::keyClicks(d->pattern, QStringLiteral("(egg"));
    QTRY_VERIFY(d->validity->text().startsWith(QStringLiteral("Not a valid")));
    QVERIFY(d->validity->text().contains(QStringLiteral("at position 5")));
    QCOMPARE(d->verdict->text(), QStringLiteral("would pass"));
    d->pattern->setText(QStringLiteral("(*LIMIT_MATCH=3000)(a+)+$"));
    d->sample->setText(QString(30, QLatin1Char('a')) + QLatin1Char('!'));
    d->evaluateNow();
    QVERIFY(d->sampleMatch->text().contains(QStringLiteral("gave up")));
    QVERIFY(d->verdict->text().contains(QStringLiteral("gave up")));
    // Cancel changes nothing.
    QTest::mouseClick(d->cancel, Qt::LeftButton);
    QCOMPARE(o.triggers->item(1)->text(), QStringLiteral("eggs"));

    // OK edits the selected trigger...
    o.triggers->setCurrentRow(1);
    d = openTester(&o, &o);
    QVERIFY(d);
    d->pattern->setText(QStringLiteral("e+ggs"));
    QTest::mouseClick(d->ok, Qt::LeftButton);
    QCOMPARE(o.triggers->count(), 2);
    QCOMPARE(o.triggers->item(1)->text(), QStringLiteral("e+ggs"));
    // ...or adds one when none is selected.
    o.triggers->clearSelection();
    o.triggers->setCurrentRow(-1);
    d = openTester(&o, &o);
    QVERIFY(d);
    QCOMPARE(d->pattern->text(), QString());
    QVERIFY(d->validity->text().startsWith(QStringLiteral("No pattern")));
    d->pattern->setText(QStringLiteral("ham"));
    QTest::mouseClick(d->ok, Qt::LeftButton);
    QCOMPARE(o.triggers->count(), 3);
    QCOMPARE(o.triggers->item(2)->text(), QStringLiteral("ham"));
}

void TestTriggerTester::judgedLinesAndSafelist()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    m.options->squelchUc->setChecked(false);
    m.options->insertSafeName(QStringLiteral("bob"));
    w.join(QStringLiteral("bob"), QStringLiteral("CHAT"));
    w.join(QStringLiteral("carol"), QStringLiteral("CHAT"));
    for (int i = 0; i < 1003; ++i)
        w.say(QStringLiteral("carol"), QStringLiteral("line %1").arg(i));
    w.say(QStringLiteral("bob"), QStringLiteral("spam from a friend"));
    m.processEmote(QStringLiteral("carol"), QStringLiteral("likes spam"));
    // The last thousand, in a buffer of their own, safelisted members' too.
    const auto lines = m.journalDesk->judgedLines();
    QCOMPARE(lines.size(), size_t(1000));
    QCOMPARE(lines.front().text, QStringLiteral("line 5"));
    QCOMPARE(lines.back().text, QStringLiteral("likes spam"));

    TTriggerTesterDialog *d =
        m.options->openTriggerTester(m.options, -1, QStringLiteral("spam"), QString());
    QCOMPARE(d->matches->count(), 2);
    QCOMPARE(d->matches->item(0)->text(), QStringLiteral("[safelisted] bob: spam from a friend"));
    QCOMPARE(d->matches->item(1)->text(), QStringLiteral("carol: likes spam"));
    QCOMPARE(d->linesFound->text(),
             QStringLiteral("Matches 2 of the last 1000 judged talk and emote lines."));
    d->reject();
}

void TestTriggerTester::testFromTheJournal()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    w.setTriggers({QStringLiteral("eg+s"), QStringLiteral("sp[a]m")});
    w.join(QStringLiteral("bob"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("bob"), QStringLiteral("spam, eggs \xe9"));
    m.parseCommand(QStringLiteral("/brx dan"));
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    w.selectEntry(j, 1);
    QVERIFY(!j->testButton->isEnabled());
    w.selectEntry(j, 0);
    QVERIFY(j->testButton->isEnabled());
    QTest::mouseClick(j->testButton, Qt::LeftButton);
    auto *d = j->findChild<TTriggerTesterDialog *>();
    QVERIFY(d);
    QCOMPARE(d->pattern->text(), QStringLiteral("eg+s"));
    QCOMPARE(d->sample->text(), QStringLiteral("spam, eggs \u00e9"));
    QCOMPARE(d->sampleBytes(), QStringLiteral("spam, eggs \xe9")); // the bytes as received
    QCOMPARE(d->result().sample, Found::Yes);
    // Tried in place of the trigger it came from: two phrases match, as before.
    QCOMPARE(d->verdict->text(), QStringLiteral("would squelch: Trigger Phrase/Trigger Phrase"));
    d->pattern->setText(QStringLiteral("eggs"));
    d->ok->click();
    QCOMPARE(m.options->triggers->item(0)->text(), QStringLiteral("eggs"));
    QCOMPARE(m.options->triggers->count(), 2);
}

QTEST_MAIN(TestTriggerTester)
#include "test_trigger_tester.moc"
