// The main window for a screen reader and a keyboard alone, in a real,
// shown, active window connected to a server on 127.0.0.1: every control
// named, Tab and F6 through the areas, the input line's page keys, the
// context menu from the keyboard, and new lines read out.
#include "mainwindow/comforts.h"
#include "mainwindow/journal.h"
#include "support/connectedwindow.h"
#include "support/frames.h"
#include "support/loopbackserver.h"
#include "support/mainwindowfixture.h"

#include "mainwindow/access.h"
#include "mainwindow/journalwindow.h"
#include "preferences/Toptions.h"
#include "preferences/triggertesterdialog.h"
#include "rules/readout.h"
#include "support/waits.h"
#include "widgets/TTranscriptView.h"
#include "widgets/accesslistening.h"
#include "widgets/announcer.h"
#include "widgets/findbar.h"

#include <QAbstractSpinBox>
#include <QAccessible>
#include <QApplication>
#include <QComboBox>
#include <QLineEdit>
#include <QListWidget>
#include <QMenu>
#include <QPointer>
#include <QPushButton>
#include <QScrollBar>
#include <QSet>
#include <QSignalSpy>
#include <QTableView>
#include <QTreeWidget>

namespace {

void ignore(QAccessibleEvent *) {}

struct Session {
    MainWindowFixture f;
    LoopbackServer server;
    Tmain &m;
    TTranscriptView *view;

    Session() : m(*f.main), view(dynamic_cast<TTranscriptView *>(f.main->chat))
    {
        m.resize(900, 600);
        m.show();
        QApplication::setActiveWindow(&m);
        QVERIFY(waitActive(&m));
        QVERIFY(view);
        QVERIFY(connectToServer(m, server));
        server.send("2010 NAME alice\r\n1007 CHANNEL \"Tressel\"\r\n"
                    "1001 USER alice 0010 [CHAT]\r\n1001 USER bob 0012 [D2DV]\r\n");
        QTRY_VERIFY((m.flushUsers(), m.users->topLevelItemCount() == 2));
        m.text->setFocus();
        QTRY_VERIFY(m.text->hasFocus());
    }
    void key(Qt::Key k, Qt::KeyboardModifiers mods = Qt::NoModifier)
    {
        QTest::keyClick(QApplication::focusWidget(), k, mods);
    }
    QWidget *focus() const { return QApplication::focusWidget(); }
    void talk(const QByteArray &who, const QByteArray &what)
    {
        const int before = m.chat->lineCount();
        server.send("1005 TALK " + who + " 0010 \"" + what + "\"\r\n");
        QTRY_VERIFY(m.chat->lineCount() > before);
    }
};

// The name a screen reader says for w.
QString nameOf(QWidget *w)
{
    QAccessibleInterface *a = QAccessible::queryAccessibleInterface(w);
    return a ? a->text(QAccessible::Name) : QString();
}

// The names of the controls under root a keyboard can reach (on every
// page, shown or not), in order; a missing or repeated one is reported.
QStringList controlNames(QWidget *root)
{
    QStringList names;
    for (QWidget *w : root->findChildren<QWidget *>()) {
        if (!(w->focusPolicy() & Qt::TabFocus) || w->window() != root->window())
            continue;
        // The field inside a spin box or a list box answers for it.
        QWidget *p = w->parentWidget();
        if (qobject_cast<QAbstractSpinBox *>(p) ||
            (qobject_cast<QComboBox *>(p) && w->accessibleName().isEmpty()))
            continue;
        const QString name = nameOf(w);
        const QString what = w->objectName() + QLatin1Char(' ') + w->metaObject()->className();
        if (name.isEmpty())
            qWarning("no name: %s", qPrintable(what));
        else if (names.contains(name))
            qWarning("named twice: %s (%s)", qPrintable(name), qPrintable(what));
        names << name;
    }
    return names;
}

bool allNamedOnce(const QStringList &names)
{
    return !names.contains(QString()) &&
           QSet<QString>(names.begin(), names.end()).size() == names.size();
}

} // namespace

class TestAccess : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanup() { TAccessibility::listen(nullptr); }

    // Every control the keyboard reaches has a name of its own.
    void everyControlIsNamed()
    {
        Session s;
        QStringList names;
        for (QWidget *w : s.m.findChildren<QWidget *>()) {
            if (!w->isVisible() || !(w->focusPolicy() & Qt::TabFocus) || w->window() != &s.m)
                continue;
            const QString name = nameOf(w);
            QVERIFY2(!name.isEmpty(),
                     qPrintable(w->objectName() + " " + w->metaObject()->className()));
            QVERIFY2(!names.contains(name), qPrintable(name));
            names << name;
        }
        for (const char *expected :
             {"Chat", "Whispers", "Users in the channel", "Squelch list", "Input line", "Send"})
            QVERIFY2(names.contains(QLatin1String(expected)), expected);
        // A member reads as name, product and marks, in its tip as well;
        // lamer mode and the squelch list are said too.
        const auto rowSays = [&](int row) {
            s.m.flushUsers();
            return s.m.users->topLevelItem(row)->data(0, Qt::AccessibleTextRole).toString();
        };
        QCOMPARE(rowSays(1), QStringLiteral("bob, Diablo II, operator"));
        QCOMPARE(s.m.users->topLevelItem(1)->toolTip(0), rowSays(1));
        s.m.parseCommand(QStringLiteral("/brx bob"));
        QCOMPARE(rowSays(1), QStringLiteral("bob, Diablo II, operator, permasquelched"));
        QCOMPARE(s.m.brx->item(0)->data(Qt::AccessibleTextRole).toString(),
                 QStringLiteral("bob, Diablo II, permasquelched"));
        s.m.parseCommand(QStringLiteral("/unbrx bob"));
        // The lamer mode button keeps its caption and says what it does.
        QCOMPARE(nameOf(s.m.lamermode), QStringLiteral("Activate Lamer Mode"));
        s.m.lamermode->click();
        QCOMPARE(s.m.lamermode->text(), QStringLiteral("Disctivate Lamer Mode"));
        QCOMPARE(nameOf(s.m.lamermode), QStringLiteral("Deactivate Lamer Mode"));
        QCOMPARE(rowSays(1), QStringLiteral("bob, Diablo II, operator, hidden by lamer mode"));
        s.m.lamermode->click();
        QCOMPARE(nameOf(s.m.lamermode), QStringLiteral("Activate Lamer Mode"));
    }

    // The preferences, the journal, the trigger tester and the find bar:
    // every control named once; labels name the controls beside them, and
    // a list box says its label, not its current entry.
    void everyWindowIsNamed()
    {
        Session s;
        Toptions *o = s.m.options;
        const QStringList prefs = controlNames(o);
        QVERIFY2(allNamedOnce(prefs), qPrintable(prefs.join(" | ")));
        QVERIFY(prefs.size() > 60);
        QCOMPARE(nameOf(o->username), QStringLiteral("Username:"));
        QCOMPARE(nameOf(o->bg_colour), QStringLiteral("Background:"));
        QCOMPARE(nameOf(o->action_broodwar), QStringLiteral("Broodwar:"));
        QCOMPARE(nameOf(o->readOut), QStringLiteral("Read out new lines:"));
        QAccessibleInterface *box = QAccessible::queryAccessibleInterface(o->autoAction);
        QCOMPARE(box->role(), QAccessible::ComboBox);
        QCOMPARE(box->text(QAccessible::Value), o->autoAction->currentText());
        QCOMPARE(nameOf(o->squelchAscii),
                 QStringLiteral("Squelch when more than % of a message is high ASCII"));
        QCOMPARE(nameOf(o->logbrowse), QStringLiteral("Browse for the chat log"));

        s.m.journalDesk->JournalClick();
        TJournalWindow *j = s.m.journalDesk->journalWindow();
        QVERIFY(j);
        const QStringList journal = controlNames(j);
        QVERIFY2(allNamedOnce(journal), qPrintable(journal.join(" | ")));
        QVERIFY(journal.contains(QStringLiteral("Undo")));
        QCOMPARE(nameOf(j->filterEdit), QStringLiteral("Filter:"));

        TTriggerTesterDialog *t = o->openTriggerTester(o, -1, QStringLiteral("x+"), QString());
        const QStringList tester = controlNames(t);
        QVERIFY2(allNamedOnce(tester), qPrintable(tester.join(" | ")));
        QCOMPARE(nameOf(t->pattern), QStringLiteral("Pattern:"));
        t->reject();

        s.m.comforts->openFindBar();
        const QStringList bar = controlNames(s.m.comforts->findBar());
        QVERIFY2(allNamedOnce(bar), qPrintable(bar.join(" | ")));
        QCOMPARE(bar.size(), 5); // the field, three buttons, Match case
    }

    // Escape closes the journal window and the trigger tester; Tab leaves
    // the journal's table instead of walking the cells; the find bar's
    // buttons take the focus, and Escape on one of them closes the bar.
    void escapeAndTabInTheOtherWindows()
    {
        Session s;
        s.m.journalDesk->JournalClick();
        TJournalWindow *j = s.m.journalDesk->journalWindow();
        QApplication::setActiveWindow(j);
        QVERIFY(waitActive(j));
        j->table->setFocus();
        QTRY_VERIFY(j->table->hasFocus());
        s.key(Qt::Key_Tab);
        QTRY_VERIFY(!j->table->hasFocus());
        s.key(Qt::Key_Escape);
        QTRY_VERIFY(!j->isVisible());

        // The trigger tester, a dialog, closes with Escape as well.
        QPointer<TTriggerTesterDialog> t =
            s.m.options->openTriggerTester(&s.m, -1, QStringLiteral("x+"), QString());
        QTRY_VERIFY(t->isVisible());
        QApplication::setActiveWindow(t);
        QVERIFY(waitActive(t));
        QTest::keyClick(t->pattern, Qt::Key_Escape);
        QTRY_VERIFY(!t || !t->isVisible()); // closed, and deleted with it

        QApplication::setActiveWindow(&s.m);
        QVERIFY(waitActive(&s.m));
        s.m.comforts->openFindBar();
        QTRY_VERIFY(s.m.comforts->findBarOpen());
        s.key(Qt::Key_Tab);
        QWidget *next = s.focus();
        QVERIFY(next && s.m.comforts->findBar()->isAncestorOf(next));
        s.key(Qt::Key_Escape);
        QTRY_VERIFY(!s.m.comforts->findBarOpen());
    }

    // With the panes' fonts at 16 points (and, run so, a scale factor of
    // 2) nothing is clipped: the one-line controls are as tall as they need,
    // list rows as tall as their text, and the input line stays inside the
    // window. TRESSEL_SCREENSHOT_DIR, when set, gets a picture of it.
    void bigFontsFit()
    {
        Session s;
        const QFont big(QStringLiteral("DejaVu Sans"), 16);
        for (QWidget *w : {s.m.chat->widget(), s.m.whisper->widget(),
                           static_cast<QWidget *>(s.m.users), static_cast<QWidget *>(s.m.brx),
                           static_cast<QWidget *>(s.m.text), static_cast<QWidget *>(s.m.channel)})
            w->setFont(big);
        s.m.send->setFont(big);
        s.m.lamermode->setFont(big);
        s.m.parseCommand(QStringLiteral("/brx mallory"));
        for (int i = 0; i < 30; ++i)
            s.m.chat->appendPlainLine(QStringLiteral("line %1 of a long afternoon").arg(i));
        s.m.text->setText(QStringLiteral("typing a reply to bob"));
        QCoreApplication::processEvents();
        for (QWidget *w :
             {static_cast<QWidget *>(s.m.text), static_cast<QWidget *>(s.m.channel),
              static_cast<QWidget *>(s.m.send), static_cast<QWidget *>(s.m.lamermode)}) {
            QVERIFY2(w->height() >= w->sizeHint().height(), qPrintable(w->objectName()));
            if (qobject_cast<QPushButton *>(w))
                QVERIFY2(w->width() >= w->sizeHint().width(), qPrintable(w->objectName()));
            QVERIFY2(w->height() > 21, qPrintable(w->objectName()));
            QVERIFY(s.m.centralWidget()->rect().contains(w->geometry()));
        }
        s.m.flushUsers();
        const QFontMetrics fm(big);
        QVERIFY(s.m.users->visualItemRect(s.m.users->topLevelItem(0)).height() >= fm.height());
        QVERIFY(s.m.brx->visualItemRect(s.m.brx->item(0)).height() >= fm.height());
        const QString dir = qEnvironmentVariable("TRESSEL_SCREENSHOT_DIR");
        if (!dir.isEmpty())
            QVERIFY(s.m.grab().save(dir + QStringLiteral("/tressel-big-fonts.png")));
    }

    // Tab from the empty input line goes through the panes, the lists and
    // the buttons; F6 and Shift+F6 cycle the input line, panes and lists;
    // Escape in a pane goes back to typing.
    void tabAndF6()
    {
        Session s;
        QWidget *const chain[] = {
            s.m.chat->widget(), s.m.whisper->widget(), s.m.users, s.m.brx, s.m.channel,
            s.m.send,           s.m.lamermode};
        for (QWidget *w : chain) {
            s.key(Qt::Key_Tab);
            QTRY_COMPARE(s.focus(), w);
        }
        s.m.text->setFocus();
        QTRY_VERIFY(s.m.text->hasFocus());
        QWidget *const areas[] = {s.m.chat->widget(), s.m.whisper->widget(), s.m.users, s.m.brx,
                                  s.m.text};
        for (QWidget *w : areas) {
            s.key(Qt::Key_F6);
            QTRY_COMPARE(s.focus(), w);
        }
        s.key(Qt::Key_F6, Qt::ShiftModifier);
        QTRY_COMPARE(s.focus(), static_cast<QWidget *>(s.m.brx));
        s.m.chat->widget()->setFocus();
        QTRY_COMPARE(s.focus(), s.m.chat->widget());
        s.key(Qt::Key_Escape);
        QTRY_COMPARE(s.focus(), static_cast<QWidget *>(s.m.text));
    }

    // Where Tab lands shows, even in an empty pane or list (no item to
    // mark): the frame is drawn in the highlight colour while it has the
    // focus, and only then.
    void focusShowsOnEmptyPanesAndLists()
    {
        Session s;
        QVERIFY(s.m.whisper->lineCount() == 0 && s.m.brx->count() == 0);
        const QColor highlight = s.m.palette().color(QPalette::Active, QPalette::Highlight);
        // Highlighted pixels on the widget's outermost ring.
        const auto framed = [&](QWidget *w) {
            const QImage image = w->grab().toImage();
            int count = 0;
            for (int x = 0; x < image.width(); ++x)
                count += (image.pixelColor(x, 0) == highlight) +
                         (image.pixelColor(x, image.height() - 1) == highlight);
            for (int y = 1; y + 1 < image.height(); ++y)
                count += (image.pixelColor(0, y) == highlight) +
                         (image.pixelColor(image.width() - 1, y) == highlight);
            return count;
        };
        QWidget *const whisper = s.m.whisper->widget();
        QWidget *const brx = s.m.brx;
        QCOMPARE(framed(whisper), 0);
        QCOMPARE(framed(brx), 0);
        s.key(Qt::Key_Tab); // the chat
        s.key(Qt::Key_Tab); // the whispers
        QTRY_COMPARE(s.focus(), whisper);
        const int ring = 2 * (whisper->width() + whisper->height()) - 4;
        QVERIFY2(framed(whisper) == ring, qPrintable(QString::number(framed(whisper))));
        QCOMPARE(framed(brx), 0);
        s.key(Qt::Key_Tab); // the users
        s.key(Qt::Key_Tab); // the squelch list
        QTRY_COMPARE(s.focus(), brx);
        QCOMPARE(framed(whisper), 0);
        QCOMPARE(framed(brx), 2 * (brx->width() + brx->height()) - 4);
    }

    // PageUp and PageDown in the input line scroll the chat, Ctrl+Home and
    // Ctrl+End go to its ends; the input line keeps the focus.
    void pageKeysFromTheInputLine()
    {
        Session s;
        for (int i = 0; i < 60; ++i)
            s.m.chat->appendPlainLine(QStringLiteral("line %1").arg(i));
        QScrollBar *bar = s.view->verticalScrollBar();
        QTRY_VERIFY(bar->maximum() > 20 && bar->value() == bar->maximum());
        const int end = bar->value();
        s.key(Qt::Key_PageUp);
        QVERIFY(bar->value() < end);
        const int up = bar->value();
        s.key(Qt::Key_PageDown);
        QVERIFY(bar->value() > up);
        s.key(Qt::Key_Home, Qt::ControlModifier);
        QCOMPARE(bar->value(), 0);
        s.key(Qt::Key_End, Qt::ControlModifier);
        QCOMPARE(bar->value(), bar->maximum());
        QVERIFY(s.m.text->hasFocus());
    }

    // Shift+F10 and the Menu key open the focused control's menu.
    void contextMenuFromTheKeyboard()
    {
        Session s;
        s.m.users->setFocus();
        QTRY_VERIFY(s.m.users->hasFocus());
        s.m.users->setCurrentItem(s.m.users->topLevelItem(1));
        s.key(Qt::Key_F10, Qt::ShiftModifier);
        QTRY_VERIFY(s.m.menus.userMenu->isVisible());
        s.m.menus.userMenu->close();
        QTRY_VERIFY(!s.m.menus.userMenu->isVisible());
        s.m.chat->widget()->setFocus();
        QTRY_COMPARE(s.focus(), s.m.chat->widget());
        s.key(Qt::Key_Menu);
        QTRY_VERIFY(s.m.menus.chatMenu->isVisible());
        s.m.menus.chatMenu->close();
    }

    // While the user types, a line is read out by the setting: by default
    // whispers, mentions and the client's own lines; all; or none. Lines
    // of one frame are said together.
    void newLinesReadOut()
    {
        Session s;
        TAccessibility::listen(ignore);
        QSignalSpy said(s.m.access->announcer(), &TAnnouncer::announced);
        s.talk("bob", "just chatting");
        s.talk("bob", "hello alice");
        QTRY_VERIFY(!said.isEmpty());
        QCOMPARE(said.size(), 1);
        QString text = said.first().first().toString();
        QVERIFY2(text.startsWith(QStringLiteral("Mention: ")) && text.contains("hello alice") &&
                     !text.contains("just chatting"),
                 qPrintable(text));
        QCOMPARE(s.m.access->announcer()->text(), text);
        QAccessibleInterface *a = QAccessible::queryAccessibleInterface(s.m.access->announcer());
        QCOMPARE(a->role(), QAccessible::Notification);
        QCOMPARE(a->text(QAccessible::Name), text);

        said.clear();
        s.server.send("1004 WHISPER bob 0010 \"psst\"\r\n");
        QTRY_VERIFY(!said.isEmpty());
        QVERIFY2(said.first().first().toString().contains("psst"),
                 qPrintable(said.first().first().toString()));

        said.clear();
        s.m.options->readOut->selectIndex(int(TReadOut::Level::All));
        s.talk("bob", "one");
        s.talk("bob", "two");
        QTRY_VERIFY(!said.isEmpty() && said.last().first().toString().contains("two"));
        QStringList all;
        for (const QList<QVariant> &one : std::as_const(said))
            all << one.first().toString();
        QVERIFY2(all.join('\n').contains("<bob> one"), qPrintable(all.join('|')));

        // Not while the focus is elsewhere, and never with None.
        said.clear();
        s.m.chat->widget()->setFocus();
        QTRY_COMPARE(s.focus(), s.m.chat->widget());
        s.talk("bob", "while reading");
        s.m.text->setFocus();
        QTRY_VERIFY(s.m.text->hasFocus());
        s.m.options->readOut->selectIndex(int(TReadOut::Level::None));
        s.talk("bob", "hello alice again");
        s.server.send("1004 WHISPER bob 0010 \"psst\"\r\n");
        QTRY_COMPARE(s.m.whisper->lineCount(), 2);
        // Announcements go out once a display frame: frames pass, none came.
        QVERIFY(framesPass(3));
        QVERIFY(said.isEmpty());
    }

    // Paused chat says nothing; unpausing says once what was held.
    void pausedChatSaysWhatWasHeld()
    {
        Session s;
        TAccessibility::listen(ignore);
        QSignalSpy said(s.m.access->announcer(), &TAnnouncer::announced);
        s.m.PauseChatClick();
        QTRY_VERIFY(!said.isEmpty()); // "Chat Paused." is the client's own line
        said.clear();
        s.server.send("1005 TALK bob 0010 \"one\"\r\n1005 TALK bob 0010 \"hi alice\"\r\n"
                      "1004 WHISPER bob 0010 \"psst\"\r\n1005 TALK bob 0010 \"three\"\r\n");
        QTRY_COMPARE(s.m.envVars.chatBufferCount, 4);
        // Announcements go out once a display frame: frames pass, none came.
        QVERIFY(framesPass(3));
        QVERIFY(said.isEmpty());
        s.m.PauseChatClick();
        QTRY_VERIFY(!said.isEmpty());
        QCOMPARE(said.size(), 1);
        QCOMPARE(said.first().first().toString(),
                 QStringLiteral("Chat unpaused: 4 lines were held, among them 1 whisper and 1 "
                                "mention."));
    }
};

QTEST_MAIN(TestAccess)
#include "test_access.moc"
