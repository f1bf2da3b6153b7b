// The window's lines in the history: every line the transcript shows and
// every whisper with its kind and sender, the lines the squelch list,
// lamer mode and the ~playsound filter hide kept and marked hidden, held
// lines kept once, nothing while the setting is off, and the store's
// faults written to the transcript.
#include "base/clock.h"
#include "history/historydb.h"
#include "history/historymodel.h"
#include "history/historystore.h"
#include "mainwindow/historydesk.h"
#include "mainwindow/historywindow.h"
#include "support/mainwindowfixture.h"
#include "widgets/TTranscriptView.h"

#include "preferences/Toptions.h"
#include "support/waits.h"

#include <QAction>
#include <QCheckBox>
#include <QClipboard>
#include <QComboBox>
#include <QDir>
#include <QFile>
#include <QLabel>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QTableView>
#include <QTreeWidget>
#include <QtTest>

using THistory::Kind;

namespace {

struct Kept {
    Kind kind;
    QString sender;
    QString text;
    bool hidden;
    bool operator==(const Kept &o) const
    {
        return kind == o.kind && sender == o.sender && text == o.text && hidden == o.hidden;
    }
};

char *toString(const Kept &k)
{
    return QTest::toString(QStringLiteral("%1 %2 '%3'%4")
                               .arg(THistory::kindName(int(k.kind)), k.sender, k.text,
                                    k.hidden ? QStringLiteral(" hidden") : QString()));
}

// Everything the history holds, oldest first.
QList<Kept> kept(Tmain &m)
{
    m.historyDesk->historyStore()->flush();
    THistory::Query q;
    q.includeHidden = true;
    q.limit = 1000;
    QList<Kept> out;
    for (const THistory::Line &l : m.historyDesk->historyStore()->search(q).lines)
        out.prepend({l.kind, l.sender, l.text, l.hidden});
    return out;
}

QStringList column(const THistoryWindow *w, int column)
{
    QStringList out;
    for (int r = 0; r < w->model->rowCount(); ++r)
        out << w->model->data(w->model->index(r, column)).toString();
    return out;
}

// A shown, active main window with lines from three members.
struct Chatting : MainWindowFixture {
    Chatting()
    {
        main->show();
        QVERIFY(waitActive(main.get()));
        main->processChannel(QStringLiteral("Op Tressel"));
        for (int i = 0; i < 150; ++i) {
            setNow(now().addSecs(1));
            main->processTalk(QStringLiteral("bob"), QStringLiteral("bob line %1").arg(i));
        }
        main->processTalk(QStringLiteral("carol"), QStringLiteral("gold for sale"));
        main->processTalk(QStringLiteral("dave"), QStringLiteral("no gold here"));
    }
    // Opens the window with its shortcut and waits for it.
    THistoryWindow *open()
    {
        QTest::keyClick(main.get(), Qt::Key_F, Qt::ControlModifier | Qt::ShiftModifier);
        THistoryWindow *w = main->historyDesk->historyWindow();
        if (w && waitActive(w))
            return w;
        return nullptr;
    }
};

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shownLinesAreKeptWithKindAndSender()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.options->notifications->setChecked(true); // joins and leaves shown
        m.processChannel(QStringLiteral("Op Tressel"));
        m.processJoin(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.processTalk(QStringLiteral("bob"), QStringLiteral("caf\xc3\xa9 anyone?"));
        m.processEmote(QStringLiteral("bob"), QStringLiteral("waves"));
        m.processWhisper(QStringLiteral("carol"), QStringLiteral("psst"));
        m.processWhisperSent(QStringLiteral("carol"), QStringLiteral("hi"));
        m.dispRawClick();
        m.processWhisper(QStringLiteral("carol"), QStringLiteral("raw mode"));
        m.processInfo(QStringLiteral("Welcome"));
        m.processBroadcast(QStringLiteral("Going down"));
        m.processError(QStringLiteral("No such user"));
        m.processLeave(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        const QList<Kept> want = {
            {Kind::Info, "", "Joined Channel Op Tressel", false},
            {Kind::Join, "bob", "bob joined the channel.", false},
            {Kind::Talk, "bob", "café anyone?", false},
            {Kind::Emote, "bob", "waves", false},
            {Kind::WhisperReceived, "carol", "psst", false},
            {Kind::WhisperSent, "carol", "hi", false},
            {Kind::WhisperReceived, "carol", "raw mode", false},
            {Kind::Info, "", "Welcome", false},
            {Kind::Broadcast, "", "Going down", false},
            {Kind::Error, "", "No such user", false},
            {Kind::Leave, "bob", "bob left the channel.", false},
        };
        QCOMPARE(kept(m), want);
        THistory::Query q;
        q.match = QStringLiteral("anyone");
        const THistory::Line talk = m.historyDesk->historyStore()->search(q).lines.value(0);
        QCOMPARE(talk.raw, QByteArray("caf\xc3\xa9 anyone?"));
        QCOMPARE(talk.channel, QStringLiteral("Op Tressel"));
        QCOMPARE(talk.account, QStringLiteral("alice"));
        QCOMPARE(talk.timeMs, f.now().toMSecsSinceEpoch());
        q.match = QStringLiteral("\"Joined Channel\"");
        QCOMPARE(m.historyDesk->historyStore()->search(q).lines.value(0).channel,
                 QStringLiteral("Op Tressel"));
    }

    void aLineIsKeptAtTheTimeItsStampShows()
    {
        // Every reading of the clock a second after the one before: the
        // line's time in the history and its time stamp in the pane must
        // come from one reading to name the same second.
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.options->timestamps->setChecked(true);
        QDateTime next = f.now();
        setClock([&next] {
            const QDateTime now = next;
            next = next.addSecs(1);
            return now;
        });
        m.processTalk(QStringLiteral("bob"), QStringLiteral("what time is it?"));
        setClock([&f] { return f.now(); });
        THistory::Query q;
        q.match = QStringLiteral("\"what time\"");
        const THistory::Page page =
            (m.historyDesk->historyStore()->flush(), m.historyDesk->historyStore()->search(q));
        QCOMPARE(page.lines.size(), 1);
        const QString stamp =
            longTimeText(QDateTime::fromMSecsSinceEpoch(page.lines.first().timeMs).time());
        QCOMPARE(f.chatLines().last(), QStringLiteral("[%1] <bob> what time is it?").arg(stamp));
    }

    void hiddenLinesAreKeptMarked()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.squelchuser(QStringLiteral("spammer"), QStringLiteral("Manual"), 18);
        const int shown = f.chatLines().size();
        m.processTalk(QStringLiteral("spammer"), QStringLiteral("buy gold"));
        m.processEmote(QStringLiteral("spammer"), QStringLiteral("dances"));
        m.processWhisper(QStringLiteral("spammer"), QStringLiteral("psst gold"));
        m.options->suppressplaysound->setChecked(true);
        m.processTalk(QStringLiteral("bob"), QStringLiteral("~playsound horn.wav"));
        m.lamermodeClick();
        m.processTalk(QStringLiteral("stranger"), QStringLiteral("hello?"));
        m.processEmote(QStringLiteral("stranger"), QStringLiteral("knocks"));
        QCOMPARE(f.chatLines().size(), shown); // none of them shown
        QList<Kept> all = kept(m);
        all = all.mid(all.size() - 6);
        const QList<Kept> want = {
            {Kind::Talk, "spammer", "buy gold", true},
            {Kind::Emote, "spammer", "dances", true},
            {Kind::WhisperReceived, "spammer", "psst gold", true},
            {Kind::Talk, "bob", "~playsound horn.wav", true},
            {Kind::Talk, "stranger", "hello?", true},
            {Kind::Emote, "stranger", "knocks", true},
        };
        QCOMPARE(all, want);
        // A search leaves them out unless asked.
        THistory::Query q;
        q.member = QStringLiteral("spammer");
        QVERIFY(m.historyDesk->historyStore()->search(q).lines.isEmpty());
    }

    void heldLinesAreKeptOnceWhenTheyCome()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.PauseChatClick();
        const qint64 came = f.now().toMSecsSinceEpoch();
        m.processTalk(QStringLiteral("bob"), QStringLiteral("while paused"));
        f.setNow(f.now().addSecs(60));
        m.PauseChatClick();
        THistory::Query q;
        q.match = QStringLiteral("\"while paused\"");
        const THistory::Page page =
            (m.historyDesk->historyStore()->flush(), m.historyDesk->historyStore()->search(q));
        QCOMPARE(page.lines.size(), 1);
        QCOMPARE(page.lines.first().timeMs, came);
        QVERIFY(f.chatLines().last().endsWith(QLatin1String("<bob> while paused")));
    }

    void newLimitsHoldWhenTheDialogCloses()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.options->historyDays->setValue(500);
        m.options->ok->click();
        m.processTalk(QStringLiteral("bob"), QStringLiteral("a year and a day ago"));
        f.setNow(f.now().addDays(366));
        m.processTalk(QStringLiteral("bob"), QStringLiteral("today"));
        m.historyDesk->historyStore()->flush();
        THistory::Query q;
        q.member = QStringLiteral("bob");
        QCOMPARE(m.historyDesk->historyStore()->search(q).lines.size(), 2);
        // A limit on its way ("3" of "365") deletes nothing while the
        // dialog is open: the limits hold once it closes, whichever way.
        m.options->historyDays->setValue(3);
        m.options->historyDays->setValue(365);
        m.historyDesk->historyStore()->flush();
        QCOMPARE(m.historyDesk->historyStore()->search(q).lines.size(), 2);
        m.options->cancel->click();
        m.historyDesk->historyStore()->flush();
        QCOMPARE(m.historyDesk->historyStore()->search(q).lines.size(), 1);
        QCOMPARE(m.historyDesk->historyStore()->search(q).lines.first().text,
                 QStringLiteral("today"));
    }

    void nothingIsKeptWhileTheSettingIsOff()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        const int before = kept(m).size();
        m.options->keepHistory->setChecked(false);
        m.processTalk(QStringLiteral("bob"), QStringLiteral("not kept"));
        QCOMPARE(kept(m).size(), before);
        m.options->keepHistory->setChecked(true);
        m.processTalk(QStringLiteral("bob"), QStringLiteral("kept"));
        QCOMPARE(kept(m).size(), before + 1);
    }

    // With the setting on, entering a channel shows its last 50 lines from
    // the history, dimmed between two separators, and nothing else happens:
    // nothing is kept again, logged, or marked as a mention.
    void earlierLinesComeBackOnJoining()
    {
        Chatting f;
        Tmain &m = *f.main;
        m.options->logfilename->setText(QDir::current().absoluteFilePath("chat.log"));
        m.options->keeplog->setChecked(true);
        m.processTalk(QStringLiteral("carol"), QStringLiteral("alice, are you there?"));
        m.processWhisper(QStringLiteral("carol"), QStringLiteral("a whisper stays out"));
        m.processChannel(QStringLiteral("Elsewhere"));
        // Off, as at first: nothing comes back.
        int shownBefore = m.chat->lineCount();
        m.processChannel(QStringLiteral("Op Tressel"));
        QCOMPARE(m.chat->lineCount(), shownBefore + 1);
        m.processChannel(QStringLiteral("Elsewhere"));

        m.options->earlierLines->setChecked(true);
        const int keptBefore = kept(m).size();
        const auto logBytes = [] {
            QFile log(QStringLiteral("chat.log"));
            return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
        };
        const QByteArray logBefore = logBytes();
        shownBefore = m.chat->lineCount();
        m.processChannel(QStringLiteral("Op Tressel"));
        QCOMPARE(m.chat->lineCount(), shownBefore + 1 + 52);
        const int first = shownBefore + 1;
        QCOMPARE(m.chat->lineText(first),
                 QStringLiteral("\u2015\u2015 Earlier in Op Tressel \u2015\u2015"));
        // The last visit's lines (whispers left out), oldest first.
        QVERIFY2(m.chat->lineText(first + 1).endsWith(QLatin1String("<bob> bob line 104")),
                 qPrintable(m.chat->lineText(first + 1)));
        QVERIFY(
            m.chat->lineText(first + 49).endsWith(QLatin1String("<carol> alice, are you there?")));
        QVERIFY(m.chat->lineText(first + 50)
                    .endsWith(QLatin1String("Info: Joined Channel Op Tressel")));
        QCOMPARE(m.chat->lineText(first + 51), QStringLiteral("\u2015\u2015 Now \u2015\u2015"));
        const QColor text = m.options->text_colour->selected();
        const QColor dim = m.chat->colourAt(first + 1, 3);
        QVERIFY2(dim != text, qPrintable(dim.name()));
        for (int i = first; i <= first + 51; ++i)
            QVERIFY(!m.chat->lineText(i).contains(QLatin1String("a whisper stays out")));
        if (TTranscriptView *view = m.chatView())
            QVERIFY(!view->isMarked(first + 49));
        // Only the new "Joined Channel" line is kept and logged.
        QCOMPARE(kept(m).size(), keptBefore + 1);
        const QByteArray logged = logBytes().mid(logBefore.size());
        QVERIFY2(logged.contains("Joined Channel Op Tressel") && !logged.contains("bob line"),
                 (logBefore + "|" + logged).constData());
    }

    void aNewerHistoryIsReportedAndLeftAlone()
    {
        // A history from a newer program, made here.
        QTemporaryDir dir;
        const QString made = dir.filePath(QStringLiteral("history.db"));
        {
            THistoryStore store(made);
            store.start();
            QVERIFY(store.waitOpen());
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
            db.setDatabaseName(made);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version=7"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("newer"));
        const QByteArray bytes = MainWindowFixture::readFile(made);
        MainWindowFixture f(MainWindowFixture::defaultConf(), MainWindowFixture::defaultNow(),
                            {{QStringLiteral("history.db"), bytes}});
        QTRY_VERIFY(f.chatLines().join('\n').contains(
            QStringLiteral("Warning: History is off: history.db is left as it is, since it was "
                           "written by a newer Tressel (schema 7; this one knows up to %1).")
                .arg(THistoryDb::schemaVersion)));
        f.main->processTalk(QStringLiteral("bob"), QStringLiteral("goes on"));
        QVERIFY(f.chatLines().last().endsWith(QLatin1String("<bob> goes on")));
        QCOMPARE(MainWindowFixture::readFile(f.path(QStringLiteral("history.db"))), bytes);
    }

    void searchingByKeyboard()
    {
        Chatting f;
        THistoryWindow *w = f.open();
        QVERIFY(w);
        QCOMPARE(w->windowTitle(), QStringLiteral("History"));
        QTRY_VERIFY(w->searchEdit->hasFocus());
        // Every line, newest first, a page at a time as the view scrolls.
        QCOMPARE(w->model->rowCount(), 100);
        QVERIFY(w->model->canFetchMore(QModelIndex()));
        QCOMPARE(w->model->data(w->model->index(0, THistoryModel::TextColumn)).toString(),
                 QStringLiteral("no gold here"));
        QTest::keyClicks(w->searchEdit, QStringLiteral("gold"));
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(column(w, THistoryModel::MemberColumn), QStringList({"dave", "carol"}));
        QVERIFY(w->errorLabel->isHidden());
        // The word is marked where it is: "no gold here".
        const QModelIndex text = w->model->index(0, THistoryModel::TextColumn);
        QCOMPARE(w->model->data(text, THistoryModel::MatchesRole).value<QList<int>>(),
                 QList<int>({3, 4}));
        QVERIFY(w->table->itemDelegateForColumn(THistoryModel::TextColumn));
        QVERIFY(!w->table->grab().isNull()); // the marked row paints
        // A search the index cannot read says why, as plain text, and nothing more.
        QTest::keyClicks(w->searchEdit, QStringLiteral(" \"for"));
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(w->model->rowCount(), 0);
        QVERIFY(w->errorLabel->isVisible());
        QVERIFY2(w->errorLabel->text().startsWith(QLatin1String("The search cannot be read: ")),
                 qPrintable(w->errorLabel->text()));
        QCOMPARE(w->errorLabel->textFormat(), Qt::PlainText);
        w->searchEdit->clear();
        QTest::keyClicks(w->searchEdit, QStringLiteral("\"for sale\""));
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(column(w, THistoryModel::TextColumn), QStringList{"gold for sale"});
        QVERIFY(w->errorLabel->isHidden());
        // Filters: a member, typed; a kind, picked.
        w->searchEdit->clear();
        QTest::keyClicks(w->memberEdit, QStringLiteral("BOB"));
        QTest::keyClick(w->memberEdit, Qt::Key_Return);
        QCOMPARE(w->model->rowCount(), 100);
        // Going to the end fetches the next page.
        w->table->setFocus();
        QTest::keyClick(w->table, Qt::Key_End, Qt::ControlModifier);
        QTRY_COMPARE(w->model->rowCount(), 150);
        QVERIFY(!w->model->canFetchMore(QModelIndex()));
        QCOMPARE(column(w, THistoryModel::TextColumn).last(), QStringLiteral("bob line 0"));
        w->kindBox->setCurrentIndex(w->kindBox->findText(QStringLiteral("emote")));
        Q_EMIT w->kindBox->activated(w->kindBox->currentIndex());
        QCOMPARE(w->model->rowCount(), 0);
        QTest::keyClick(w, Qt::Key_Escape);
        QVERIFY(!w->isVisible());
    }

    void aMatchFarAlongALineIsBroughtIntoView()
    {
        Chatting f;
        f.main->processTalk(QStringLiteral("erin"),
                            QStringLiteral("so much to say first ").repeated(20) +
                                QStringLiteral("and then gold"));
        // Right to left (bytes as they come): the first word, the match
        // below, is drawn on the right.
        const QString shalom = QString::fromLatin1("\xd7\xa9\xd7\x9c\xd7\x95\xd7\x9d ");
        f.main->processTalk(QStringLiteral("frank"),
                            QString::fromLatin1("\xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d ") +
                                shalom.repeated(40));
        THistoryWindow *w = f.open();
        QVERIFY(w);
        QTest::keyClicks(w->searchEdit, QStringLiteral("gold"));
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(column(w, THistoryModel::MemberColumn), QStringList({"erin", "dave", "carol"}));
        // The mark's yellow shows in the long line's cell as in a short one's.
        const auto marked = [w](int row) {
            const QModelIndex index = w->model->index(row, THistoryModel::TextColumn);
            const QRect cell = w->table->visualRect(index);
            if (cell.width() < 50 || !w->table->viewport()->rect().contains(cell))
                return -1;
            const QImage image = w->table->viewport()->grab(cell).toImage();
            int count = 0;
            for (int y = 0; y < image.height(); ++y)
                for (int x = 0; x < image.width(); ++x)
                    count += image.pixelColor(x, y) == QColor(255, 224, 102);
            return count;
        };
        QVERIFY2(marked(1) > 20, qPrintable(QString::number(marked(1))));
        QVERIFY2(marked(0) > 20, qPrintable(QString::number(marked(0))));
        w->table->selectRow(0);
        QVERIFY2(marked(0) > 20, qPrintable(QString::number(marked(0))));
        w->searchEdit->clear();
        w->searchEdit->insert(QString::fromUtf8("\xd7\xa2\xd7\x95\xd7\x9c\xd7\x9d")); // pasted
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(column(w, THistoryModel::MemberColumn), QStringList{"frank"});
        QVERIFY2(marked(0) > 20, qPrintable(QString::number(marked(0))));
    }

    void enterShowsTheContextAndCopyTakesTheLines()
    {
        Chatting f;
        THistoryWindow *w = f.open();
        QVERIFY(w);
        QTest::keyClicks(w->searchEdit, QStringLiteral("\"line 100\""));
        QTest::keyClick(w->searchEdit, Qt::Key_Return);
        QCOMPARE(w->model->rowCount(), 1);
        w->table->setFocus();
        QTest::keyClick(w->table, Qt::Key_Return);
        const QStringList context = w->contextView->toPlainText().split('\n');
        QCOMPARE(context.size(), 21);
        QVERIFY(context.at(10).startsWith(QLatin1String("> [")));
        QVERIFY(context.at(10).endsWith(QLatin1String("<bob> bob line 100")));
        QVERIFY(context.at(9).endsWith(QLatin1String("<bob> bob line 99")));
        QVERIFY(context.at(11).endsWith(QLatin1String("<bob> bob line 101")));
        QTest::keyClick(w->table, Qt::Key_C, Qt::ControlModifier);
        QVERIFY(QApplication::clipboard()->text().endsWith(QLatin1String("<bob> bob line 100")));
        QVERIFY(QApplication::clipboard()->text().startsWith(QLatin1String("[2026-12-08 ")));
    }

    void forgetAndClearAskFirst()
    {
        Chatting f;
        THistoryWindow *w = f.open();
        QVERIFY(w);
        QTest::keyClicks(w->memberEdit, QStringLiteral("carol"));
        QTest::keyClick(w->memberEdit, Qt::Key_Return);
        QCOMPARE(w->model->rowCount(), 1);
        f.dialogs.confirmAnswers.enqueue(false);
        w->forgetButton->click();
        QCOMPARE(f.dialogs.asked.last().text,
                 QStringLiteral("Delete every line from and to carol from the history?"));
        QCOMPARE(w->model->rowCount(), 1); // declined: kept
        f.dialogs.confirmAnswers.enqueue(true);
        w->forgetButton->click();
        QCOMPARE(w->model->rowCount(), 0);
        QCOMPARE(w->statusLabel->text(), QStringLiteral("1 lines of carol were deleted."));
        w->memberEdit->clear();
        QTest::keyClick(w->memberEdit, Qt::Key_Return);
        QVERIFY(w->model->rowCount() > 0);
        f.dialogs.confirmAnswers.enqueue(true);
        w->clearButton->click();
        QCOMPARE(f.dialogs.asked.last().text, QStringLiteral("Delete every line of the history?"));
        QCOMPARE(w->model->rowCount(), 0);
        QCOMPARE(f.main->historyDesk->historyStore()->lineCount(), 0);
    }

    void importAsksForTheLogAndSaysWhatCameIn()
    {
        Chatting f;
        const QByteArray log =
            ("Chat logfile created by Tressel 1.5 at " + longTimeText(QTime(9, 0, 0)) + " on " +
             shortDateText(QDate(2026, 11, 1)) + ".\r\n\r\n[" + longTimeText(QTime(9, 0, 1)) +
             "] <erin> an old line\r\nnot a line\r\n")
                .toLatin1();
        MainWindowFixture::writeFile(QStringLiteral("old.log"), log);
        THistoryWindow *w = f.open();
        QVERIFY(w);
        const QString old = QDir::current().absoluteFilePath(QStringLiteral("old.log"));
        f.dialogs.openAnswers.enqueue({old});
        w->importButton->click();
        QCOMPARE(f.dialogs.asked.last().kind, QStringLiteral("open"));
        QCOMPARE(f.dialogs.asked.last().title, QStringLiteral("Import chat logs"));
        QCOMPARE(w->statusLabel->text(),
                 QStringLiteral("1 new lines from old.log; 1 lines could not be read."));
        QTest::keyClicks(w->memberEdit, QStringLiteral("erin"));
        QTest::keyClick(w->memberEdit, Qt::Key_Return);
        QCOMPARE(column(w, THistoryModel::TextColumn), QStringList{"an old line"});
        QCOMPARE(column(w, THistoryModel::TimeColumn), QStringList{"2026-11-01 09:00:01"});
        // Again: nothing new. A file that is not there says so.
        f.dialogs.openAnswers.enqueue({old});
        w->importButton->click();
        QCOMPARE(w->statusLabel->text(),
                 QStringLiteral("0 new lines from old.log; 1 lines could not be read."));
        f.dialogs.openAnswers.enqueue({QStringLiteral("none.log")});
        w->importButton->click();
        QVERIFY2(
            w->statusLabel->text().startsWith(QLatin1String("none.log could not be imported: ")),
            qPrintable(w->statusLabel->text()));
        // Several at once: one sum, and what failed besides; cancelling
        // does nothing.
        const QByteArray other =
            ("Chat logfile created by Tressel 1.5 at " + longTimeText(QTime(8, 0, 0)) + " on " +
             shortDateText(QDate(2026, 10, 1)) + ".\r\n\r\n[" + longTimeText(QTime(8, 0, 1)) +
             "] <erin> older still\r\n[" + longTimeText(QTime(8, 0, 2)) + "] <erin> and again\r\n")
                .toLatin1();
        MainWindowFixture::writeFile(QStringLiteral("other.log"), other);
        f.dialogs.openAnswers.enqueue(
            {old, QStringLiteral("other.log"), QStringLiteral("none.log")});
        w->importButton->click();
        QVERIFY2(w->statusLabel->text().startsWith(
                     QLatin1String("2 new lines from 2 files; 1 lines could not be read. "
                                   "none.log could not be imported: ")),
                 qPrintable(w->statusLabel->text()));
        // (In the order they came into the history.)
        QCOMPARE(column(w, THistoryModel::TextColumn),
                 QStringList({"and again", "older still", "an old line"}));
        const QString before = w->statusLabel->text();
        w->importButton->click();
        QCOMPARE(w->statusLabel->text(), before);
    }

    void theListsOpenItForAMember()
    {
        Chatting f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("dave"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.flushUsers();
        QTreeWidgetItem *row = m.users->topLevelItem(0);
        QVERIFY(row);
        m.users->setCurrentItem(row);
        QVERIFY(m.menus.userMenu->actions().contains(m.menus.usersHistory));
        m.menus.usersHistory->trigger();
        THistoryWindow *w = m.historyDesk->historyWindow();
        QVERIFY(w && w->isVisible());
        QCOMPARE(w->memberEdit->text(), QStringLiteral("dave"));
        QCOMPARE(column(w, THistoryModel::TextColumn), QStringList{"no gold here"});

        m.squelchuser(QStringLiteral("carol"), QStringLiteral("Manual"), 18);
        m.brx->setCurrentRow(0);
        QVERIFY(m.menus.brxMenu->actions().contains(m.menus.brxHistory));
        m.menus.brxHistory->trigger();
        QCOMPARE(w->memberEdit->text(), QStringLiteral("carol"));
        QCOMPARE(column(w, THistoryModel::TextColumn), QStringList{"gold for sale"});
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "test_history_window.moc"
