// The moderation journal in a real, shown main window connected to a
// loopback server: the bytes each action writes, the window and its undo.
#include "journalfixture.h"
#include "mainwindow/historydesk.h"

#include "base/files.h"
#include "history/historymodel.h"
#include "mainwindow/historywindow.h"
#include "session/TSession.h"
#include "support/waits.h"

#include <QMenuBar>
#include <QScreen>
#include <QtTest>

using namespace journal;

namespace {
const QString manual = QStringLiteral("Manually Permasquelched");
const QString leetName = QStringLiteral("|\\/|{}");
} // namespace

class TestJournalWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void eachActionWritesItsEntry();
    void nothingChangedNothingWritten();
    void ctrlJFromTheInputLine();
    void undoOfEachKind();
    void noDoubleUndoAcrossRestarts();
    void undoAndSafelist();
    void undoWaitsForTheConnection();
    void filterAndCounts();
    void failingJournalFile();
    void showLinesOpensTheMembersHistory();
};

void TestJournalWindow::eachActionWritesItsEntry()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    QByteArray expected;

    // The automatic squelch: the patterns that matched in list order, the
    // text as judged (after the anticensor; a TAB written as a space).
    w.setTriggers({QStringLiteral("nomatch"), QStringLiteral("eg+s"), QStringLiteral("spam")});
    w.join(QStringLiteral("bob"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("bob"), QStringLiteral("spam and eggs\there \xe9"));
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("bob"),
                       QStringLiteral("Trigger Phrase/Trigger Phrase"),
                       QStringLiteral("eg+s | spam"), QStringLiteral("spam and eggs here \xe9"));
    // The first entry of a pass of the event loop is on disk at once.
    QCOMPARE(w.readFile(QStringLiteral("journal.log")), expected);
    QCOMPARE(w.journalBytes(), expected);
    QCOMPARE(fileMode(QStringLiteral("journal.log")), 0600);

    // The "/squelch " response is a squelch.
    m.options->autoAction->selectIndex(1);
    w.join(QStringLiteral("carol"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("carol"), QStringLiteral("SHOUTING LOUDLY"));
    expected += w.line(w.stamp(), squelchAction, QStringLiteral("carol"),
                       QStringLiteral("Uppercase Characters"), QString(),
                       QStringLiteral("SHOUTING LOUDLY"));
    QCOMPARE(w.takeWire(), QByteArray("/squelch carol\r"));
    m.options->autoAction->selectIndex(0);

    // A l33t name on joining.
    w.join(leetName, QStringLiteral("CHAT"));
    expected += w.line(w.stamp(), permasquelchAction, leetName, QStringLiteral("L33t Username"));
    QCOMPARE(w.journalBytes(), expected);

    // Product actions: "/brx " writes only the product's entry, with its
    // Console line unchanged; "/ignore " and "/whois " go out and are journalled.
    m.options->action_broodwar->selectIndex(1);
    m.options->action_warcraft->selectIndex(2);
    m.options->action_starcraft->selectIndex(3);
    w.join(QStringLiteral("erin"), QStringLiteral("SEXP"));
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("erin"),
                       QStringLiteral("Product SEXP"));
    QVERIFY(w.chatLines().last().endsWith(
        QStringLiteral("erin was permasquelched (Manually Permasquelched)")));
    w.join(QStringLiteral("fred"), QStringLiteral("W2BN"));
    expected +=
        w.line(w.stamp(), ignoreAction, QStringLiteral("fred"), QStringLiteral("Product W2BN"));
    w.join(QStringLiteral("gina"), QStringLiteral("STAR"));
    expected +=
        w.line(w.stamp(), whoisAction, QStringLiteral("gina"), QStringLiteral("Product STAR"));
    QCOMPARE(w.takeWire(), QByteArray("/ignore fred\r/whois gina\r"));
    QCOMPARE(w.journalBytes(), expected);

    // The user menu.
    w.join(QStringLiteral("hank"), QStringLiteral("CHAT"));
    w.selectUser(QStringLiteral("hank"));
    m.PermasquelchClick();
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("hank"), manual);
    w.selectUser(QStringLiteral("hank"));
    m.UnpermasquelchClick();
    expected += w.line(w.stamp(), unpermasquelchAction, QStringLiteral("hank"), manualReason);
    w.selectUser(QStringLiteral("hank"));
    m.SquelchClick();
    expected += w.line(w.stamp(), squelchAction, QStringLiteral("hank"), manualReason);
    w.selectUser(QStringLiteral("hank"));
    m.UnsquelchClick();
    expected += w.line(w.stamp(), unsquelchAction, QStringLiteral("hank"), manualReason);
    // The user list's double-click, set to permasquelch or take off.
    m.options->dblClickAction->selectIndex(0);
    w.selectUser(QStringLiteral("hank"));
    m.usersDblClick();
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("hank"), manual);
    w.selectUser(QStringLiteral("hank"));
    m.usersDblClick();
    expected += w.line(w.stamp(), unpermasquelchAction, QStringLiteral("hank"), manualReason);
    QCOMPARE(w.takeWire(), QByteArray("/squelch hank\r/unsquelch hank\r"));
    QCOMPARE(w.journalBytes(), expected);

    // Typed /brx and /unbrx.
    w.typeLine(QStringLiteral("/brx ivan"));
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("ivan"), manual);
    w.typeLine(QStringLiteral("/unbrx ivan"));
    expected += w.line(w.stamp(), unpermasquelchAction, QStringLiteral("ivan"), manualReason);
    QCOMPARE(w.journalBytes(), expected);

    // The squelch list's Add, Remove and Remove All (one entry per name).
    w.dialogs.inputAnswers.enqueue({true, QStringLiteral("jack")});
    m.AddClick();
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("jack"), manual);
    m.brx->setCurrentRow(m.brx->count() - 1);
    m.brxDblClick();
    expected += w.line(w.stamp(), unpermasquelchAction, QStringLiteral("jack"), manualReason);
    QCOMPARE(w.squelched(), (QStringList{"bob", leetName, "erin"}));
    w.dialogs.confirmAnswers.enqueue(true);
    m.RemoveAllClick();
    const QString at = w.stamp();
    for (const QString &name : {QStringLiteral("bob"), leetName, QStringLiteral("erin")})
        expected += w.line(at, unpermasquelchAction, name, manualReason);
    QCOMPARE(w.journalBytes(), expected);

    // A prompt answered yes journals the verdict it asked about.
    m.options->squelchPrompt->setChecked(true);
    w.dialogs.confirmAnswers.enqueue(true);
    w.join(QStringLiteral("lou"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("lou"), QStringLiteral("LOUD AND CLEAR"));
    w.runQueuedCalls();
    expected +=
        w.line(w.stamp(), permasquelchAction, QStringLiteral("lou"),
               QStringLiteral("Uppercase Characters"), QString(), QStringLiteral("LOUD AND CLEAR"));
    QCOMPARE(w.journalBytes(), expected);

    // Entries still waiting for the end of their pass are written when the
    // program ends.
    m.parseCommand(QStringLiteral("/brx ned"));
    m.parseCommand(QStringLiteral("/brx ora"));
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("ned"), manual);
    expected += w.line(w.stamp(), permasquelchAction, QStringLiteral("ora"), manual);
    w.main.reset();
    QCOMPARE(w.readFile(QStringLiteral("journal.log")), expected);
}

void TestJournalWindow::nothingChangedNothingWritten()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    // Typed server commands are the user's own business.
    w.typeLine(QStringLiteral("/squelch kim"));
    w.typeLine(QStringLiteral("/unsquelch kim"));
    w.typeLine(QStringLiteral("/ignore kim"));
    QCOMPARE(w.takeWire(), QByteArray("/squelch kim\r/unsquelch kim\r/ignore kim\r"));
    QVERIFY(!QFile::exists(QStringLiteral("journal.log")));

    w.typeLine(QStringLiteral("/brx kim"));
    const QByteArray once = w.journalBytes();
    QVERIFY(!once.isEmpty());
    // Already listed, a declined name box, Remove with nothing selected.
    w.typeLine(QStringLiteral("/brx kim"));
    m.squelchuser(QStringLiteral("kim"), manual, 0);
    w.dialogs.inputAnswers.enqueue({false, QString()});
    m.AddClick();
    m.brx->clearSelection();
    m.brxDblClick();
    w.typeLine(QStringLiteral("/unbrx nobody"));
    // A declined prompt.
    m.options->squelchPrompt->setChecked(true);
    w.dialogs.confirmAnswers.enqueue(false);
    w.join(QStringLiteral("lou"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("lou"), QStringLiteral("LOUD AND CLEAR"));
    w.runQueuedCalls();
    QCOMPARE(w.dialogs.confirmCalls, 1);
    // Remove All declined.
    w.dialogs.confirmAnswers.enqueue(false);
    m.RemoveAllClick();
    QCOMPARE(w.squelched(), QStringList{"kim"});
    // A brx.conf that cannot be written: the list stays, no entry.
    QVERIFY(QFile::remove(QStringLiteral("brx.conf")));
    QVERIFY(QDir().mkdir(QStringLiteral("brx.conf")));
    w.typeLine(QStringLiteral("/brx zed"));
    QCOMPARE(w.squelched(), QStringList{"kim"});
    QTRY_COMPARE(w.dialogs.errors().size(), 1);
    QCOMPARE(w.journalBytes(), once);

    // The setting off: nothing is written.
    QVERIFY(QDir().rmdir(QStringLiteral("brx.conf")));
    m.options->keepJournal->setChecked(false);
    m.parseCommand(QStringLiteral("/brx zed"));
    QCOMPARE(w.squelched(), (QStringList{"kim", "zed"}));
    QCOMPARE(w.journalBytes(), once);
}

void TestJournalWindow::ctrlJFromTheInputLine()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    // "Journal" stands between "Home" and "History" (then "Quit"), always enabled.
    const QList<QAction *> bar = m.menuBar()->actions();
    const qsizetype home = bar.indexOf(m.menus.Home);
    QCOMPARE(bar.value(home + 1)->text(), QStringLiteral("&Journal"));
    QCOMPARE(bar.value(home + 2), m.menus.History);
    QCOMPARE(bar.value(home + 3), m.menus.Quit);
    QVERIFY(m.menus.Journal->isEnabled());

    for (const char *name : {"amy", "ben", "cat"}) {
        m.parseCommand(QStringLiteral("/brx ") + QLatin1String(name));
        w.tick();
    }
    m.text->setFocus();
    QTest::keyClicks(m.text, QStringLiteral("half typed"));
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    QCOMPARE(j->windowTitle(), QStringLiteral("Moderation Journal"));
    QCOMPARE(m.text->text(), QStringLiteral("half typed"));
    QVERIFY(j->table->hasFocus());
    QCOMPARE(j->model->rowCount(), 3);
    QCOMPARE(j->table->currentIndex().row(), 2);
    QCOMPARE(j->table->selectionModel()->selectedRows().size(), 1);
    QCOMPARE(j->table->selectionModel()->selectedRows().first().row(), 2);
    QCOMPARE(j->model->data(j->model->index(2, TJournalModel::NameColumn), Qt::DisplayRole),
             QVariant(QStringLiteral("cat")));
    QTest::keyClick(j->table, Qt::Key_Up);
    QCOMPARE(j->table->currentIndex().row(), 1);
    QTest::keyClick(j->table, Qt::Key_Down);
    QTest::keyClick(j->table, Qt::Key_Up);
    QCOMPARE(j->table->currentIndex().row(), 1);

    // A new entry is appended live and moves neither the row nor the selection.
    QSignalSpy reset(j->model, &QAbstractItemModel::modelReset);
    m.parseCommand(QStringLiteral("/brx dan"));
    QCOMPARE(j->model->rowCount(), 4);
    QCOMPARE(reset.size(), 0);
    QCOMPARE(j->table->currentIndex().row(), 1);
    QCOMPARE(j->table->selectionModel()->selectedRows().first().row(), 1);

    // Closed and opened again from the menu: shown, newest row current.
    j->close();
    QVERIFY(!j->isVisible());
    m.menus.Journal->trigger();
    QVERIFY(waitActive(j));
    QCOMPARE(j->table->currentIndex().row(), 3);
    // Tab reaches the buttons; a click leaves the focus in the table.
    for (QPushButton *b : {j->undoButton, j->undoSafeButton, j->testButton})
        QCOMPARE(b->focusPolicy(), Qt::TabFocus);
}

void TestJournalWindow::undoOfEachKind()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    w.setTriggers({QStringLiteral("spam")});
    w.join(QStringLiteral("bob"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("bob"), QStringLiteral("buy spam now"));
    const QString bobAt = w.stamp();
    m.options->autoAction->selectIndex(1);
    const QString carolAt = w.tick();
    w.join(QStringLiteral("carol"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("carol"), QStringLiteral("SHOUTING LOUDLY"));
    m.options->action_warcraft->selectIndex(2);
    m.options->action_starcraft->selectIndex(3);
    const QString fredAt = w.tick();
    w.join(QStringLiteral("fred"), QStringLiteral("W2BN"));
    w.tick();
    w.join(QStringLiteral("gina"), QStringLiteral("STAR"));
    QCOMPARE(w.takeWire(), QByteArray("/squelch carol\r/ignore fred\r/whois gina\r"));
    QVERIFY(w.readFile(QStringLiteral("brx.conf")).contains("bob"));

    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    QCOMPARE(j->model->rowCount(), 4);
    QByteArray expected = w.journalBytes();

    // A permasquelch: off the list as /unbrx does, nothing on the wire.
    w.selectEntry(j, 0);
    QVERIFY(j->undoButton->isEnabled());
    const QString undoAt = w.tick();
    QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!m.checkSquelch(QStringLiteral("bob")));
    QVERIFY(!w.readFile(QStringLiteral("brx.conf")).contains("bob"));
    QVERIFY(w.chatLines().last().endsWith(QStringLiteral("bob was unpermasquelched.")));
    QCOMPARE(w.takeWire(), QByteArray());
    expected += w.line(undoAt, unpermasquelchAction, QStringLiteral("bob"), undoReason, bobAt);
    QCOMPARE(w.journalBytes(), expected);
    QCOMPARE(j->table->currentIndex().row(), 0); // the selection stays
    QVERIFY(j->model->isUndone(0));
    QVERIFY(!j->undoButton->isEnabled());
    QVERIFY(j->status->text().contains(QStringLiteral("undone already")));

    // A squelch and a product's ignore: "/unsquelch " goes out.
    w.selectEntry(j, 1);
    QTest::mouseClick(j->undoButton, Qt::LeftButton);
    QVERIFY(j->table->hasFocus());
    expected += w.line(w.stamp(), unsquelchAction, QStringLiteral("carol"), undoReason, carolAt);
    w.selectEntry(j, 2);
    w.tick();
    QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    expected += w.line(w.stamp(), unsquelchAction, QStringLiteral("fred"), undoReason, fredAt);
    QCOMPARE(w.takeWire(), QByteArray("/unsquelch carol\r/unsquelch fred\r"));
    QCOMPARE(w.journalBytes(), expected);

    // A whois and the undo entries cannot be undone.
    for (int row : {3, 4, 5, 6}) {
        w.selectEntry(j, row);
        QVERIFY2(!j->undoButton->isEnabled(), qPrintable(QString::number(row)));
        QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    }
    QCOMPARE(w.journalBytes(), expected);
    QCOMPARE(w.takeWire(), QByteArray());

    // A permasquelch whose name left the list by other means.
    m.parseCommand(QStringLiteral("/brx zoe"));
    m.parseCommand(QStringLiteral("/unbrx zoe"));
    w.selectEntry(j, 7);
    QVERIFY(!j->undoButton->isEnabled());
    QVERIFY(j->status->text().contains(QStringLiteral("no longer")));
}

void TestJournalWindow::noDoubleUndoAcrossRestarts()
{
    JournalWindowFixture w;
    QVERIFY(w.connectToServer());
    Tmain *m = w.main.get();
    m->options->autoAction->selectIndex(1);
    w.join(QStringLiteral("carol"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("carol"), QStringLiteral("SHOUTING LOUDLY"));
    w.tick();
    m->parseCommand(QStringLiteral("/brx dan"));
    w.tick();
    m->parseCommand(QStringLiteral("/brx eve"));
    w.takeWire();
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    w.selectEntry(j, 0);
    w.tick();
    QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier); // not twice
    w.selectEntry(j, 1);
    QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.takeWire(), QByteArray("/unsquelch carol\r"));
    const QByteArray before = w.journalBytes();
    QCOMPARE(before.count("\tUndo\t"), 2);

    // A new session reads the file and knows what was undone.
    w.main.reset();
    w.main = std::make_unique<Tmain>();
    w.main->show();
    QVERIFY(waitActive(w.main.get()));
    QVERIFY(w.connectToServer());
    j = w.openJournal();
    QVERIFY(j);
    QCOMPARE(j->model->rowCount(), 5);
    QCOMPARE(j->model->isUndone(0), true);
    QCOMPARE(j->model->isUndone(1), true);
    QCOMPARE(j->model->isUndone(2), false);
    QVERIFY(j->model->data(j->model->index(0, TJournalModel::ActionColumn), Qt::DisplayRole)
                .toString()
                .endsWith(QStringLiteral("(undone)")));
    for (int row : {0, 1}) {
        w.selectEntry(j, row);
        QVERIFY(!j->undoButton->isEnabled());
        QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    }
    QCOMPARE(w.takeWire(), QByteArray());
    QCOMPARE(w.journalBytes(), before);
    // eve is still listed and can be undone.
    w.selectEntry(j, 2);
    QVERIFY(j->undoButton->isEnabled());
}

void TestJournalWindow::undoAndSafelist()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    w.setTriggers({QStringLiteral("spam")});
    w.join(QStringLiteral("bob"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("bob"), QStringLiteral("buy spam now"));
    w.tick();
    w.join(leetName, QStringLiteral("CHAT"));
    m.options->action_broodwar->selectIndex(1);
    w.join(QStringLiteral("erin"), QStringLiteral("SEXP"));
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    QCOMPARE(j->model->rowCount(), 3);

    // The l33t-name and product rules never read the safelist: the window says so.
    for (int row : {1, 2}) {
        w.selectEntry(j, row);
        QVERIFY(j->undoButton->isEnabled());
        QVERIFY(!j->undoSafeButton->isEnabled());
        QVERIFY(j->status->text().contains(QStringLiteral("do not consult the safelist")));
    }
    w.selectEntry(j, 0);
    QVERIFY(j->undoSafeButton->isEnabled());
    QTest::mouseClick(j->undoSafeButton, Qt::LeftButton);
    QVERIFY(!m.checkSquelch(QStringLiteral("bob")));
    QVERIFY(m.checkSafe(QStringLiteral("bob")));
    // Saved as "Add to Safelist" saves it.
    QVERIFY(w.readFile(QStringLiteral("tressel.conf")).contains("bob"));
    QVERIFY(
        w.journalBytes().endsWith(w.line(w.stamp(), unpermasquelchAction, QStringLiteral("bob"),
                                         undoReason, w.now().addSecs(-1).toString(timeFormat))));
    // The automatic squelch passes the member from now on.
    const QByteArray before = w.journalBytes();
    w.say(QStringLiteral("bob"), QStringLiteral("buy spam now"));
    QVERIFY(!m.checkSquelch(QStringLiteral("bob")));
    QCOMPARE(w.journalBytes(), before);
    QCOMPARE(j->model->rowCount(), 4);
}

void TestJournalWindow::undoWaitsForTheConnection()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    m.options->autoAction->selectIndex(1);
    w.join(QStringLiteral("carol"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("carol"), QStringLiteral("SHOUTING LOUDLY"));
    w.tick();
    m.parseCommand(QStringLiteral("/brx dan"));
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    w.selectEntry(j, 0);
    QVERIFY(j->undoButton->isEnabled());
    m.DisconnectClick();
    QTRY_VERIFY(!m.session->bnet->Connected());
    // Disabled, and the window says why.
    QTRY_VERIFY(!j->undoButton->isEnabled());
    QVERIFY(j->status->text().contains(QStringLiteral("Not connected")));
    const QByteArray before = w.journalBytes();
    QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    QCOMPARE(w.journalBytes(), before);
    QVERIFY(!j->model->isUndone(0));
    // A permasquelch needs no connection.
    w.selectEntry(j, 1);
    QVERIFY(j->undoButton->isEnabled());
    QTest::keyClick(j->table, Qt::Key_Z, Qt::ControlModifier);
    QVERIFY(!m.checkSquelch(QStringLiteral("dan")));
}

void TestJournalWindow::filterAndCounts()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    {
        // Nothing journaled yet: the window says so from the start.
        TJournalWindow *j = w.openJournal();
        QVERIFY(j);
        QCOMPARE(j->filter->rowCount(), 0);
        QCOMPARE(j->counts->text(), QStringLiteral("No entries shown."));
        // 900 wide where there is room; the test's screen is 800 wide.
        const QRect free = j->screen()->availableGeometry();
        QVERIFY2(free.width() < 900 && j->width() == free.width(),
                 qPrintable(QStringLiteral("%1 in %2").arg(j->width()).arg(free.width())));
        j->close();
    }
    w.setTriggers({QStringLiteral("spam")});
    for (const QString name : {"bob", "Bobby", "carol"}) {
        w.join(name, QStringLiteral("CHAT"));
        w.say(name, QStringLiteral("buy spam now"));
    }
    m.parseCommand(QStringLiteral("/brx dave"));
    w.join(QStringLiteral("eve"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("eve"), QStringLiteral("SHOUTING LOUDLY"));
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    QCOMPARE(j->counts->text(), QStringLiteral("Manually Permasquelched: 1    Trigger Phrase: 3    "
                                               "Uppercase Characters: 1"));
    j->filterEdit->setFocus();
    QTest::keyClicks(j->filterEdit, QStringLiteral("BOB"));
    QCOMPARE(j->filter->rowCount(), 2);
    QCOMPARE(j->counts->text(), QStringLiteral("Trigger Phrase: 2"));
    j->filterEdit->clear();
    QTest::keyClicks(j->filterEdit, QStringLiteral("case"));
    QCOMPARE(j->filter->rowCount(), 1);
    QCOMPARE(j->filter->data(j->filter->index(0, TJournalModel::NameColumn)).toString(),
             QStringLiteral("eve"));
    // A new entry counts when it is shown.
    w.join(QStringLiteral("fay"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("fay"), QStringLiteral("LOUD UPPER CASE"));
    m.parseCommand(QStringLiteral("/brx gus"));
    QCOMPARE(j->filter->rowCount(), 2);
    QCOMPARE(j->counts->text(), QStringLiteral("Uppercase Characters: 2"));
    j->filterEdit->setText(QStringLiteral("nobody at all"));
    QCOMPARE(j->filter->rowCount(), 0);
    QCOMPARE(j->counts->text(), QStringLiteral("No entries shown."));
    j->filterEdit->clear();
    QCOMPARE(j->filter->rowCount(), 7);
}

void TestJournalWindow::failingJournalFile()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    QVERIFY(QDir().mkdir(QStringLiteral("journal.log")));
    m.options->autoAction->selectIndex(1);
    w.join(QStringLiteral("carol"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("carol"), QStringLiteral("SHOUTING LOUDLY"));
    m.parseCommand(QStringLiteral("/brx dan"));
    m.parseCommand(QStringLiteral("/brx eve"));
    // The actions all happened, unchanged.
    QCOMPARE(w.takeWire(), QByteArray("/squelch carol\r"));
    QCOMPARE(w.squelched(), (QStringList{"dan", "eve"}));
    QVERIFY(w.chatLines().last().endsWith(QStringLiteral("eve was permasquelched (Manually "
                                                         "Permasquelched)")));
    // Said once.
    QTRY_COMPARE(w.dialogs.errors().size(), 1);
    w.runQueuedCalls();
    QCOMPARE(w.dialogs.errors().size(), 1);
    QVERIFY(w.dialogs.errors().first().contains(QStringLiteral("journal.log")));
    // The window says it could not read the file, and still shows this session.
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    QVERIFY(j->loadNote->isVisible());
    QVERIFY(j->loadNote->text().contains(QStringLiteral("could not be read")));
    m.parseCommand(QStringLiteral("/brx fay"));
    QCOMPARE(j->model->rowCount(), 1);
    w.runQueuedCalls();
    QCOMPARE(w.dialogs.errors().size(), 1);
    // Switched off and on again, it may say so once more.
    m.options->keepJournal->setChecked(false);
    m.options->keepJournal->setChecked(true);
    m.parseCommand(QStringLiteral("/brx gus"));
    m.parseCommand(QStringLiteral("/brx hal"));
    QTRY_COMPARE(w.dialogs.errors().size(), 2);
    w.runQueuedCalls();
    QCOMPARE(w.dialogs.errors().size(), 2);

    // Lines that are not entries are counted in the window, not dropped silently.
    QVERIFY(QDir().rmdir(QStringLiteral("journal.log")));
    w.writeFile(QStringLiteral("journal.log"),
                w.line(w.stamp(), squelchAction, QStringLiteral("x"), manualReason) +
                    "not an entry\r\n\xff\xfe\t\t\r\n");
    w.main.reset();
    w.main = std::make_unique<Tmain>();
    w.main->show();
    QVERIFY(waitActive(w.main.get()));
    j = w.openJournal();
    QVERIFY(j);
    QCOMPARE(j->model->rowCount(), 1);
    QVERIFY(j->loadNote->text().contains(QStringLiteral("2 line(s)")));
    QVERIFY(j->loadNote->text().contains(QStringLiteral("line 2")));
}

// "Show lines" opens the history on the member of the current entry, so
// what a squelched member said can be read; with no entry it is off.
void TestJournalWindow::showLinesOpensTheMembersHistory()
{
    JournalWindowFixture w;
    Tmain &m = *w.main;
    QVERIFY(w.connectToServer());
    w.setTriggers({QStringLiteral("spam")});
    w.join(QStringLiteral("bob"), QStringLiteral("CHAT"));
    w.say(QStringLiteral("bob"), QStringLiteral("buy spam now"));
    w.tick();
    QVERIFY(m.checkSquelch(QStringLiteral("bob")));
    TJournalWindow *j = w.openJournal();
    QVERIFY(j);
    w.selectEntry(j, 0);
    QVERIFY(j->showLinesButton->isEnabled());
    QVERIFY(!m.historyDesk->historyWindow() || !m.historyDesk->historyWindow()->isVisible());
    QTest::mouseClick(j->showLinesButton, Qt::LeftButton);
    QVERIFY(m.historyDesk->historyWindow());
    QTRY_VERIFY(m.historyDesk->historyWindow()->isVisible());
    THistoryWindow *h = m.historyDesk->historyWindow();
    QCOMPARE(h->memberEdit->text(), QStringLiteral("bob"));
    // Bob's line is there, though the squelch list keeps it from the chat.
    QStringList texts;
    for (int r = 0; r < h->model->rowCount(); ++r)
        texts << h->model->data(h->model->index(r, THistoryModel::TextColumn)).toString();
    QVERIFY2(texts.contains(QStringLiteral("buy spam now")), qPrintable(texts.join(" | ")));
    j->table->selectionModel()->clearCurrentIndex();
    QVERIFY(!j->showLinesButton->isEnabled());
}

QTEST_MAIN(TestJournalWindow)
#include "test_journal_window.moc"
