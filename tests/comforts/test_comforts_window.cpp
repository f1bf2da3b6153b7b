// The comforts in a real, shown, active window connected to a server on
// 127.0.0.1, driven by keys and clicks: the walk through sent lines, Tab
// completion, the find bar, links and marked mentions.
#include "mainwindow/comforts.h"
#include "support/connectedwindow.h"
#include "support/loopbackserver.h"
#include "support/mainwindowfixture.h"

#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "support/frames.h"
#include "support/waits.h"
#include "widgets/TTranscriptView.h"
#include "widgets/findbar.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QLabel>
#include <QLineEdit>
#include <QMenu>
#include <QScrollBar>
#include <QTreeWidget>

namespace {
// A window on screen, active, connected to server, the gateway having
// named the user "alice" and listed the members.
struct Session {
    MainWindowFixture f;
    LoopbackServer server;
    Tmain &m;
    TTranscriptView *view;

    explicit Session(const QStringList &members = {})
        : m(*f.main), view(dynamic_cast<TTranscriptView *>(f.main->chat))
    {
        m.resize(900, 600);
        m.show();
        QVERIFY(waitActive(&m));
        QVERIFY(view);
        QVERIFY(connectToServer(m, server));
        QByteArray lines = "2010 NAME alice\r\n1007 CHANNEL \"Tressel\"\r\n"
                           "1001 USER alice 0010 [CHAT]\r\n";
        for (const QString &name : members)
            lines += "1001 USER " + name.toUtf8() + " 0010 [CHAT]\r\n";
        server.send(lines);
        QTRY_VERIFY((m.flushUsers(), m.users->topLevelItemCount() == int(members.size()) + 1));
        m.text->setFocus();
        QTRY_VERIFY(m.text->hasFocus());
    }
    void talk(const QByteArray &who, const QByteArray &what)
    {
        const int before = m.chat->lineCount();
        server.send("1005 TALK " + who + " 0010 \"" + what + "\"\r\n");
        QTRY_VERIFY(m.chat->lineCount() > before);
    }
    void type(const QString &text) { QTest::keyClicks(QApplication::focusWidget(), text); }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
    }
    // Lines on the wire since the last call, without their CR, once the
    // pacing has let the last of them go.
    QList<QByteArray> sent(const QByteArray &last = QByteArray())
    {
        if (!last.isEmpty() &&
            !waitUntil([&] { return server.received().contains(last + '\r'); }, 20000))
            qWarning("\"%s\" never reached the server", last.constData());
        const bool settled = wireSettled(m, server);
        if (!settled)
            qWarning("the wire did not settle");
        QList<QByteArray> out = server.received().split('\r');
        out.removeAll(QByteArray());
        server.clearReceived();
        return out;
    }
    QPoint pointOf(int line, int column) const
    {
        return view->characterRect(line, column).center();
    }
};
} // namespace

class TestComfortsWindow : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Up and Down walk through what was sent, the half-typed line waits at
    // the end, lines come back as they went; double-click recall still
    // gives the last command.
    void historyWithUpAndDown()
    {
        Session s;
        s.sent();
        for (const QString &line : {QStringLiteral("first"), QStringLiteral("/w bob psst"),
                                    QStringLiteral("/w bob psst"), QStringLiteral("third")}) {
            s.type(line);
            s.key(Qt::Key_Return);
            QTRY_VERIFY(s.m.text->text().isEmpty());
        }
        QCOMPARE(s.sent("third"),
                 (QList<QByteArray>{"first", "/w bob psst", "/w bob psst", "third"}));
        s.type(QStringLiteral("half"));
        s.key(Qt::Key_Up);
        QCOMPARE(s.m.text->text(), QStringLiteral("third"));
        s.key(Qt::Key_Up);
        QCOMPARE(s.m.text->text(), QStringLiteral("/w bob psst")); // once, not twice
        s.key(Qt::Key_Up);
        QCOMPARE(s.m.text->text(), QStringLiteral("first"));
        s.key(Qt::Key_Up);
        QCOMPARE(s.m.text->text(), QStringLiteral("first"));
        QCOMPARE(s.m.text->cursorPosition(), 5);
        s.key(Qt::Key_Down);
        s.key(Qt::Key_Down);
        QCOMPARE(s.m.text->text(), QStringLiteral("third"));
        s.key(Qt::Key_Down);
        QCOMPARE(s.m.text->text(), QStringLiteral("half"));
        QVERIFY(s.m.text->hasFocus());
        // A recalled line sent again goes out as it was.
        s.m.text->clear();
        s.key(Qt::Key_Up);
        s.key(Qt::Key_Up);
        s.key(Qt::Key_Return);
        QCOMPARE(s.sent("/w bob psst"), QList<QByteArray>{"/w bob psst"});
        // Switched off, Up does nothing to the line.
        s.m.options->inputHistory->setChecked(false);
        s.type(QStringLiteral("kept"));
        s.key(Qt::Key_Up);
        QCOMPARE(s.m.text->text(), QStringLiteral("kept"));
        // The double click still recalls the last command.
        s.m.options->dblclickcommand->setChecked(true);
        s.m.text->clear();
        QTest::mouseDClick(s.m.text, Qt::LeftButton);
        QCOMPARE(s.m.text->text(), QStringLiteral("/w bob psst"));
    }

    // Tab completes names from the list and commands after "/" and cycles
    // on a further Tab; where there is nothing to complete it moves the
    // focus on, as everywhere else.
    void tabCompletion()
    {
        Session s({QStringLiteral("Bob"), QStringLiteral("bobby"), QStringLiteral("carol")});
        s.type(QStringLiteral("bo"));
        s.key(Qt::Key_Tab);
        QVERIFY(s.m.text->hasFocus());
        const QString first = s.m.text->text();
        QVERIFY2(first == QStringLiteral("Bob: ") || first == QStringLiteral("bobby: "),
                 qPrintable(first));
        s.key(Qt::Key_Tab);
        QVERIFY(s.m.text->text() != first);
        QVERIFY(s.m.text->text().endsWith(QStringLiteral(": ")));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.m.text->text(), first);
        QVERIFY(s.m.text->hasFocus());
        s.type(QStringLiteral("hi CA"));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.m.text->text(), first + QStringLiteral("hi carol"));
        // A word that matches nothing stays as it is, and Tab moves on.
        s.m.text->setText(QStringLiteral("zed"));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.m.text->text(), QStringLiteral("zed"));
        QTRY_VERIFY(s.view->hasFocus());
        s.m.text->setFocus();
        QTRY_VERIFY(s.m.text->hasFocus());
        // Commands.
        s.m.text->clear();
        s.type(QStringLiteral("/unb"));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.m.text->text(), QStringLiteral("/unbrx "));
        s.type(QStringLiteral("car"));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.m.text->text(), QStringLiteral("/unbrx carol"));
        // A name whose bytes are not UTF-8 goes out as the same bytes.
        s.server.send("1002 JOIN J\xf6rg 0010 [CHAT]\r\n");
        QTRY_VERIFY((s.m.flushUsers(), s.m.users->topLevelItemCount() == 5));
        s.m.text->clear();
        s.sent();
        s.type(QStringLiteral("j"));
        s.key(Qt::Key_Tab);
        QCOMPARE(s.m.text->text(), QStringLiteral("J\u00f6rg: "));
        s.type(QStringLiteral("hi"));
        s.key(Qt::Key_Return);
        QCOMPARE(s.sent("J\xf6rg: hi"), QList<QByteArray>{"J\xf6rg: hi"});
        // Switched off, Tab moves the focus on as it always did.
        s.m.options->tabCompletion->setChecked(false);
        s.key(Qt::Key_Tab);
        QVERIFY(!s.m.text->hasFocus());
    }

    // Ctrl+F from the input line opens the bar with the focus in it; typing
    // finds and counts, Enter and Shift+Enter step (nothing is sent),
    // Escape closes it and gives the focus back.
    void findBar()
    {
        Session s;
        for (int i = 0; i < 80; ++i)
            s.server.send("1005 TALK bob 0010 \"line " + QByteArray::number(i) +
                          (i % 20 == 3 ? " needle" : "") + "\"\r\n");
        QTRY_VERIFY(s.m.chat->lineCount() >= 80);
        s.sent();
        s.key(Qt::Key_F, Qt::ControlModifier);
        TFindBar *bar = s.m.comforts->findBar();
        QVERIFY(bar);
        QTRY_VERIFY(bar->isVisible());
        QVERIFY(bar->field()->hasFocus());
        s.type(QStringLiteral("NEEDLE"));
        QCOMPARE(s.view->search().count(), 4);
        QVERIFY(s.view->search().current() >= 0);
        const int firstCurrent = s.view->search().current();
        QCOMPARE(bar->countLabel()->text(), QStringLiteral("%1 of 4").arg(firstCurrent + 1));
        s.key(Qt::Key_Return);
        QCOMPARE(s.view->search().current(), (firstCurrent + 1) % 4);
        s.key(Qt::Key_Return, Qt::ShiftModifier);
        s.key(Qt::Key_Return, Qt::ShiftModifier);
        QCOMPARE(s.view->search().current(), (firstCurrent + 3) % 4);
        QCOMPARE(bar->countLabel()->text(),
                 QStringLiteral("%1 of 4").arg((firstCurrent + 3) % 4 + 1));
        // The current match's line is on screen.
        const int line = s.view->search().at(s.view->search().current()).line;
        QVERIFY(!s.view->characterRect(line, 0).isNull());
        QVERIFY(s.sent().isEmpty());
        QVERIFY(bar->field()->hasFocus());
        // Match case finds none.
        bar->matchCase()->setChecked(true);
        QCOMPARE(bar->countLabel()->text(), QStringLiteral("No matches"));
        bar->matchCase()->setChecked(false);
        s.key(Qt::Key_Escape);
        QVERIFY(!bar->isVisible());
        QVERIFY(s.m.text->hasFocus());
        QVERIFY(!s.view->search().isActive());
        // Opened again, the last text is found again at once.
        s.key(Qt::Key_F, Qt::ControlModifier);
        QTRY_VERIFY(bar->isVisible());
        QCOMPARE(s.view->search().count(), 4);
        QVERIFY(bar->field()->hasFocus());
        bar->field()->clear();
        QCOMPARE(bar->countLabel()->text(), QString());
        s.key(Qt::Key_Escape);
        // Switched off (in force at once, before OK), Ctrl+F opens nothing.
        s.m.options->findBar->setChecked(false);
        s.key(Qt::Key_F, Qt::ControlModifier);
        MainWindowFixture::runQueuedCalls();
        QVERIFY(!bar->isVisible());
    }

    // While the bar is open new lines move neither the view nor the
    // selection, a marker says they came, and their matches are counted;
    // closed, every new line brings the pane to its end again.
    void findBarHoldsTheView()
    {
        Session s;
        for (int i = 0; i < 100; ++i)
            s.server.send("1005 TALK bob 0010 \"old " + QByteArray::number(i) + "\"\r\n");
        QTRY_VERIFY(s.m.chat->lineCount() >= 100);
        QTRY_VERIFY(s.view->isScrolledToEnd());
        s.key(Qt::Key_F, Qt::ControlModifier);
        TFindBar *bar = s.m.comforts->findBar();
        QTRY_VERIFY(bar->isVisible());
        s.type(QStringLiteral("old 5"));
        // "old 5" and "old 50" to "old 59"
        QCOMPARE(s.view->search().count(), 11);
        QScrollBar *sb = s.view->verticalScrollBar();
        const int top = sb->value();
        QVERIFY(!s.view->isScrolledToEnd());
        // A selection made while the bar is open stays.
        const int selLine = s.view->search().at(s.view->search().current()).line;
        QTest::mouseDClick(s.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                           s.pointOf(selLine, 1));
        QCOMPARE(s.view->selectedText(), QStringLiteral("<bob>"));
        QVERIFY(!s.view->newLinesBelow());
        for (int i = 0; i < 5; ++i)
            s.talk("bob", "new old 5" + QByteArray::number(i));
        QVERIFY(framesPass(2)); // the view has laid the new lines out
        QCOMPARE(sb->value(), top);
        QCOMPARE(s.view->selectedText(), QStringLiteral("<bob>"));
        QCOMPARE(s.view->search().count(), 16);
        QVERIFY(bar->countLabel()->text().endsWith(QStringLiteral(" of 16")));
        QVERIFY(s.view->newLinesBelow());
        bar->field()->setFocus();
        s.key(Qt::Key_Escape);
        QVERIFY(!s.view->newLinesBelow());
        s.talk("bob", "after");
        QTRY_VERIFY(s.view->isScrolledToEnd());
        QTRY_COMPARE(sb->value(), sb->maximum());
        QVERIFY(!s.view->hasSelection());
    }

    // Addresses are links: a click hands them to the browser, a drag over
    // one selects plain text, the chat menu can copy one.
    void links()
    {
        Session s;
        s.talk("bob", "see https://example.org/page?x=1, or www.example.com.");
        QVERIFY(framesPass(2)); // the view has laid the line out
        const int line = s.m.chat->lineCount() - 1;
        const QString shown = s.m.chat->lineText(line);
        const int at = int(shown.indexOf(QStringLiteral("https://")));
        const int www = int(shown.indexOf(QStringLiteral("www.")));
        QVERIFY(at > 0 && www > 0);
        QTest::mouseClick(s.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                          s.pointOf(line, at + 3));
        QCOMPARE(s.f.dialogs.openedUrls,
                 QList<QUrl>{QUrl(QStringLiteral("https://example.org/page?x=1"))});
        QTest::mouseClick(s.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                          s.pointOf(line, www + 2));
        QCOMPARE(s.f.dialogs.openedUrls.size(), 2);
        QCOMPARE(s.f.dialogs.openedUrls.last(), QUrl(QStringLiteral("http://www.example.com")));
        // A click beside the links opens nothing.
        QTest::mouseClick(s.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                          s.pointOf(line, at - 2));
        QCOMPARE(s.f.dialogs.openedUrls.size(), 2);
        // A drag selects, opens nothing, and copies the plain text.
        QTest::mousePress(s.view->viewport(), Qt::LeftButton, Qt::NoModifier, s.pointOf(line, at));
        QMouseEvent move(
            QEvent::MouseMove, s.view->characterRect(line, at + 8).topLeft(),
            s.view->viewport()->mapToGlobal(s.view->characterRect(line, at + 8).topLeft()),
            Qt::NoButton, Qt::LeftButton, Qt::NoModifier);
        QApplication::sendEvent(s.view->viewport(), &move);
        QTest::mouseRelease(s.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                            s.view->characterRect(line, at + 8).topLeft());
        QCOMPARE(s.f.dialogs.openedUrls.size(), 2);
        QCOMPARE(s.view->selectedText(), QStringLiteral("https://"));
        s.view->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("https://"));
        // The menu on a link has "Copy Link Address"; elsewhere it has not.
        QAction *copyLink = s.m.findChild<QAction *>(QStringLiteral("copyLink"));
        QVERIFY(copyLink);
        const auto menuAt = [&](int column) {
            const QPoint p = s.pointOf(line, column);
            QContextMenuEvent e(QContextMenuEvent::Mouse, p, s.view->viewport()->mapToGlobal(p));
            QApplication::sendEvent(s.view->viewport(), &e);
            bool has = false;
            if (waitUntil([&] { return s.m.menus.chatMenu->isVisible(); }, 2000))
                has = s.m.menus.chatMenu->actions().contains(copyLink);
            else
                qWarning("the chat menu did not open");
            s.m.menus.chatMenu->hide();
            return has;
        };
        QVERIFY(!menuAt(1));
        QVERIFY(menuAt(www + 1));
        copyLink->trigger();
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("http://www.example.com"));
        // Switched off (in force at once), a click is a click.
        s.m.options->showLinks->setChecked(false);
        QTest::mouseClick(s.view->viewport(), Qt::LeftButton, Qt::NoModifier,
                          s.pointOf(line, at + 3));
        QCOMPARE(s.f.dialogs.openedUrls.size(), 2);
    }

    // A line from someone else that names the user (the gateway's name for
    // them) is marked; the user's own lines, other words and a switched-off
    // setting are not; a line held by Pause Chat keeps its mark.
    void mentions()
    {
        Session s;
        s.talk("bob", "hey alice, look");
        QVERIFY(s.view->isMarked(s.m.chat->lineCount() - 1));
        s.talk("bob", "malice is not a name");
        QVERIFY(!s.view->isMarked(s.m.chat->lineCount() - 1));
        s.server.send("1023 EMOTE bob 0010 \"waves at ALICE\"\r\n");
        QTRY_VERIFY(MainWindowFixture::lastLine(s.m.chat).contains(QStringLiteral("waves")));
        QVERIFY(s.view->isMarked(s.m.chat->lineCount() - 1));
        s.talk("alice", "I am alice"); // the user's own echo
        QVERIFY(!s.view->isMarked(s.m.chat->lineCount() - 1));
        // In front, a mention draws no attention; behind another window it
        // asks for the urgent hint and a notification.
        QCOMPARE(s.f.alerts, 0);
        QVERIFY(s.f.notifications.isEmpty());
        QWidget other;
        other.show();
        other.activateWindow();
        QVERIFY(waitActive(&other));
        s.talk("bob", "alice, you there?");
        s.talk("bob", "nobody named");
        QCOMPARE(s.f.alerts, 1);
        QCOMPARE(s.f.notifications, (QList<QStringList>{{QStringLiteral("bob mentioned you"),
                                                         QStringLiteral("alice, you there?")}}));
        s.m.activateWindow();
        QVERIFY(waitActive(&s.m));
        s.m.PauseChatClick();
        s.server.send("1005 TALK bob 0010 \"alice: held\"\r\n");
        QTRY_COMPARE(s.m.envVars.chatBufferCount, 1); // held while paused
        s.m.PauseChatClick();
        QTRY_VERIFY(MainWindowFixture::lastLine(s.m.chat).contains(QStringLiteral("held")));
        QVERIFY(s.view->isMarked(s.m.chat->lineCount() - 1));
        // A name outside ASCII, named in another case, beside letters that
        // are not ASCII either.
        s.server.send("2010 NAME J\xc3\xb6rg\r\n");
        s.talk("bob", "hi J\xc3\x96RG!");
        QVERIFY(s.view->isMarked(s.m.chat->lineCount() - 1));
        s.talk("bob", "\xc3\xa9j\xc3\xb6rg is a word of its own");
        QVERIFY(!s.view->isMarked(s.m.chat->lineCount() - 1));
        s.talk("bob", "alice is not the name now");
        QVERIFY(!s.view->isMarked(s.m.chat->lineCount() - 1));
        s.m.options->markMentions->setChecked(false);
        s.talk("bob", "j\xc3\xb6rg again");
        QVERIFY(!s.view->isMarked(s.m.chat->lineCount() - 1));
    }
};

QTEST_MAIN(TestComfortsWindow)
#include "test_comforts_window.moc"
