// The journal file's lines, read and written, and which entries undo can
// still take back; the trigger tester's answers on their own.
#include "rules/journal.h"
#include "rules/journalmodel.h"
#include "rules/triggertester.h"

#include <QSignalSpy>
#include <QtTest>

using namespace journal;

namespace {
Entry entry(const QString &time, const QString &action, const QString &name,
            const QString &reason = QStringLiteral("Manual"), const QString &detail = QString(),
            const QString &text = QString())
{
    return {time, action, name, reason, detail, text};
}
const QString t1 = QStringLiteral("2026-12-08 14:05:09");
const QString t2 = QStringLiteral("2026-12-08 14:05:10");
const QString t3 = QStringLiteral("2026-12-08 14:06:00");
} // namespace

class TestJournalRules : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fieldsAreCleanedAndBytesKept()
    {
        // A TAB, CR or LF in a field is one space; other bytes stay as they are.
        const Entry e =
            entry(t1, squelchAction, QStringLiteral("b\tob\xe9"), QStringLiteral("Trigger Phrase"),
                  QStringLiteral("a\r\nb"), QStringLiteral("x\ty\rz\n\xff"));
        QCOMPARE(formatEntry(e), QByteArray("2026-12-08 14:05:09\tsquelch\tb ob\xe9\tTrigger "
                                            "Phrase\ta  b\tx y z \xff\r\n"));
        const Loaded back = parseJournal(formatEntry(e));
        QCOMPARE(back.malformed, 0);
        QCOMPARE(back.entries.size(), size_t(1));
        QCOMPARE(back.entries[0].name, QStringLiteral("b ob\xe9"));
        QCOMPARE(back.entries[0].text, QStringLiteral("x y z \xff"));
        // Empty fields survive as empty.
        const Entry bare =
            entry(t1, whoisAction, QStringLiteral("n"), QStringLiteral("Product STAR"));
        QCOMPARE(parseJournal(formatEntry(bare)).entries.at(0), bare);
    }

    void badLinesAreCountedNotLost()
    {
        const QByteArray good = formatEntry(entry(t1, permasquelchAction, QStringLiteral("bob")));
        const QByteArray bytes =
            good + "garbage\r\n" + "2026-13-40 99:99:99\tsquelch\tx\t\t\t\r\n" + // no such time
            "2026-12-08 14:05:09\tkick\tx\t\t\t\r\n" +                           // no such action
            "2026-12-08 14:05:09\tsquelch\t\t\t\t\r\n" +                         // no name
            "2026-12-08 14:05:09\tsquelch\tx\t\t\t\t\r\n" +                      // seven fields
            "2026-12-08 14:05:09\tsquelch\tx\r\t\t\t\r\r\n" + // a CR inside, another before CR LF
            "\r\n" + good + "2026-12-08 14:05:09\tunsquelch\tlast\tManual\t\t"; // no CR LF
        const Loaded l = parseJournal(bytes);
        QCOMPARE(l.malformed, 6);
        QCOMPARE(l.firstMalformed, 2);
        QCOMPARE(l.entries.size(), size_t(3));
        QCOMPARE(l.entries[2].name, QStringLiteral("last"));
        // A lone LF ends a line too.
        QCOMPARE(parseJournal(good.chopped(2) + "\n" + good).entries.size(), size_t(2));
    }

    void onlyTheLastEntriesAreKept()
    {
        QByteArray bytes;
        for (int i = 0; i < 25; ++i)
            bytes += formatEntry(entry(t1, squelchAction, QString::number(i)));
        const Loaded l = parseJournal(bytes, 10);
        QCOMPARE(l.dropped, 15);
        QCOMPARE(l.entries.size(), size_t(10));
        QCOMPARE(l.entries.front().name, QStringLiteral("15"));
        QCOMPARE(l.entries.back().name, QStringLiteral("24"));
    }

    void undoMarksTheNewestEarlierMatch()
    {
        const std::vector<Entry> es = {
            entry(t1, permasquelchAction, QStringLiteral("bob")), // 0
            entry(t1, permasquelchAction, QStringLiteral("bob")), // 1: same second
            entry(t1, squelchAction, QStringLiteral("bob")),      // 2
            entry(t2, ignoreAction, QStringLiteral("carol")),     // 3
            entry(t3, unpermasquelchAction, QStringLiteral("bob"), undoReason, t1), // undoes 1
            entry(t3, unsquelchAction, QStringLiteral("carol"), undoReason, t2),    // undoes 3
            entry(t3, unsquelchAction, QStringLiteral("dave"), undoReason, t1),     // nothing
            entry(t3, unsquelchAction, QStringLiteral("bob"), manualReason, t1),    // not an undo
            entry(t1, squelchAction, QStringLiteral("bob")), // later than its undo: stays
        };
        const std::vector<bool> undone = undoneFlags(es);
        const std::vector<bool> expected = {false, true,  false, true, false,
                                            false, false, false, false};
        QCOMPARE(undone, expected);
        QCOMPARE(undoneBy(es, 4), 1);
        QCOMPARE(undoneBy(es, 5), 3);
        QCOMPARE(undoneBy(es, 6), -1);
        QCOMPARE(undoneBy(es, 7), -1);
        // The model appends rows and marks what a new undo takes back.
        TJournalModel model;
        model.load({es.begin(), es.begin() + 4});
        QSignalSpy inserted(&model, &QAbstractItemModel::rowsInserted);
        QSignalSpy reset(&model, &QAbstractItemModel::modelReset);
        QSignalSpy changed(&model, &QAbstractItemModel::dataChanged);
        model.append(es[4]);
        QCOMPARE(inserted.size(), 1);
        QCOMPARE(reset.size(), 0);
        QCOMPARE(changed.size(), 1);
        QVERIFY(model.isUndone(1));
        QVERIFY(!model.isUndone(0));
        QCOMPARE(
            model.data(model.index(1, TJournalModel::ActionColumn), Qt::DisplayRole).toString(),
            QStringLiteral("permasquelch (undone)"));
    }

    void whatCanBeUndone()
    {
        const Entry perma = entry(t1, permasquelchAction, QStringLiteral("bob"));
        const Entry sq = entry(t1, squelchAction, QStringLiteral("bob"));
        const Entry ig =
            entry(t1, ignoreAction, QStringLiteral("bob"), QStringLiteral("Product SEXP"));
        QCOMPARE(undoState(perma, false, true, false), Undo::Possible);
        QCOMPARE(undoState(perma, false, false, true), Undo::NotListed);
        QCOMPARE(undoState(perma, true, true, true), Undo::AlreadyUndone);
        QCOMPARE(undoState(sq, false, false, true), Undo::Possible);
        QCOMPARE(undoState(sq, false, true, false), Undo::NotConnected);
        QCOMPARE(undoState(ig, false, false, true), Undo::Possible);
        for (const QString &a : {unpermasquelchAction, unsquelchAction, whoisAction})
            QCOMPARE(undoState(entry(t1, a, QStringLiteral("bob")), false, true, true),
                     Undo::NotUndoable);
        QVERIFY(!undoStateText(Undo::NotConnected).isEmpty());
        // Only the verdicts on lines consult the safelist.
        QVERIFY(isLineVerdict(QStringLiteral("Uppercase Characters/Trigger Phrase")));
        QVERIFY(isLineVerdict(QStringLiteral("Flooding")));
        QVERIFY(isLineVerdict(QStringLiteral("High ASCII")));
        QVERIFY(!isLineVerdict(QStringLiteral("L33t Username")));
        QVERIFY(!isLineVerdict(QStringLiteral("Product SEXP")));
        QVERIFY(!isLineVerdict(QStringLiteral("Manually Permasquelched")));
    }

    void filterOnNameOrReason()
    {
        TJournalModel model;
        model.load(
            {entry(t1, squelchAction, QStringLiteral("Bob"), QStringLiteral("Flooding")),
             entry(t1, squelchAction, QStringLiteral("carol"), QStringLiteral("Trigger Phrase")),
             entry(t1, squelchAction, QStringLiteral("dave"), QStringLiteral("Manual"))});
        TJournalFilter filter;
        filter.setSourceModel(&model);
        filter.setText(QStringLiteral("BOB"));
        QCOMPARE(filter.rowCount(), 1);
        filter.setText(QStringLiteral("trig"));
        QCOMPARE(filter.rowCount(), 1);
        QCOMPARE(filter.data(filter.index(0, TJournalModel::NameColumn)).toString(),
                 QStringLiteral("carol"));
        filter.setText(QStringLiteral("a")); // carol, dave, Manual
        QCOMPARE(filter.rowCount(), 2);
        filter.setText(QString());
        QCOMPARE(filter.rowCount(), 3);
    }

    void testerAnswers()
    {
        using namespace triggertester;
        autosquelchrules::TLineRules rules;
        rules.minLineLength = 3;
        rules.upperCase = true;
        rules.upperCasePercent = 50;
        const std::vector<JudgedLine> lines = {{"a", "spam eggs"}, {"b", "ham"}, {"c", "SPAM"}};
        Result r = evaluate(QStringLiteral("sp(am"), QStringLiteral("spam"), {}, rules, lines);
        QVERIFY(!r.valid);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(r.errorOffset, 5);
        QCOMPARE(verdictText(r), QStringLiteral("would pass"));

        r = evaluate(QStringLiteral("(?i)spam"), QStringLiteral("SPAM NOW"), {}, rules, lines);
        QVERIFY(r.valid);
        QCOMPARE(r.sample, Found::Yes);
        QCOMPARE(r.matchedLines, (std::vector<int>{0, 2}));
        QCOMPARE(verdictText(r),
                 QStringLiteral("would squelch: Uppercase Characters/Trigger Phrase"));
        // Not longer than the minimum: not judged at all.
        r = evaluate(QStringLiteral("spa"), QStringLiteral("spa"), {}, rules, lines);
        QCOMPARE(r.sample, Found::Yes);
        QCOMPARE(verdictText(r), QStringLiteral("would pass"));
        // The list's own phrases count with the tested one.
        r = evaluate(QStringLiteral("zzz"), QStringLiteral("eggs and ham"),
                     {QStringLiteral("eggs"), QStringLiteral("ham")}, rules, lines);
        QCOMPARE(r.sample, Found::No);
        QCOMPARE(r.verdict, QStringLiteral("Trigger Phrase/Trigger Phrase"));

        // The engine giving up is its own answer, never "no match".
        const QString hard = QStringLiteral("(*LIMIT_MATCH=3000)(a+)+$");
        const QString run = QString(30, QLatin1Char('a')) + QLatin1Char('!');
        r = evaluate(hard, run, {}, rules, {{"x", run}, {"y", "no"}});
        QCOMPARE(r.sample, Found::GaveUp);
        QCOMPARE(r.gaveUpLines, 1);
        QVERIFY(r.matchedLines.empty());
        QVERIFY(r.verdictGaveUp);
        // Each time, not just the first.
        QVERIFY(evaluate(hard, run, {}, rules, {}).verdictGaveUp);
    }
};

QTEST_GUILESS_MAIN(TestJournalRules)
#include "test_journal_rules.moc"
