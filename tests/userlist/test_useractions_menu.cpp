// What the user does to one member from the user list: the pop-up menu and
// its enable rules, the double-click actions and the Alt keys.
#include "userlistfixture.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "session/TSession.h"
#include "support/datarows.h"
#include "support/waits.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QMenu>
#include <QTreeWidget>
#include <QtTest>

namespace {
using Row = UserListFixture::Row;

// A window in a channel of three, connected to a stand-in gateway.
struct Channel {
    UserListFixture f;
    LoopbackServer server;
    Tmain &m = *f.main;

    Channel()
    {
        connectToServer(m, server); // says so when no login arrives
        takeWire(m, server);
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("op"), QStringLiteral("0002"), QStringLiteral("SEXP"));
        m.processShowUser(QStringLiteral("Kelm"), QStringLiteral("0010"), QStringLiteral("W2BN"));
        f.rows();
    }
    // The lines the gateway got since the last call.
    QStringList sent() { return takeWireLines(m, server); }
    void focusElsewhere() { m.users->setFocus(); }
    bool inputHasFocus() const { return m.focusWidget() == m.text; }
};

QStringList captions(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        out << (a->isSeparator() ? QStringLiteral("-") : a->text());
    return out;
}

QStringList enabled(const QMenu *menu)
{
    QStringList out;
    for (QAction *a : menu->actions())
        if (!a->isSeparator() && a->isEnabled())
            out << a->text();
    return out;
}
} // namespace

class TestUserActionsMenu : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void menuLayout()
    {
        UserListFixture f;
        QCOMPARE(captions(f.main->menus.userMenu),
                 QStringList({"Permasquelch", "Unpermasquelch", "Add to Safelist",
                              "Remove from Safelist", "-", "Squelch", "Unsquelch", "Whois",
                              "Starcraft Stats", "Broodwar Stats", "Warcraft Stats", "-",
                              "Copy Name", "Whisper", "History..."}));
        QCOMPARE(f.main->menus.userMenu->defaultAction(), f.main->menus.Permasquelch);
    }

    void enableRules_data()
    {
        columns<int, QStringList, QByteArray, QStringList>("row", "safe", "brx", "expected");
        const QStringList common = {"Squelch",         "Unsquelch",      "Whois",
                                    "Starcraft Stats", "Broodwar Stats", "Warcraft Stats",
                                    "Copy Name",       "Whisper",        "History..."};
        QTest::newRow("nothing selected") << -1 << QStringList() << QByteArray() << QStringList();
        QTest::newRow("plain member") << 0 << QStringList() << QByteArray()
                                      << QStringList({"Permasquelch", "Add to Safelist"}) + common;
        QTest::newRow("safelisted")
            << 1 << QStringList({"op"}) << QByteArray()
            << QStringList({"Permasquelch", "Remove from Safelist"}) + common;
        QTest::newRow("permasquelched")
            << 0 << QStringList() << QByteArray("STARbob\r\n")
            << QStringList({"Unpermasquelch", "Add to Safelist"}) + common;
        QTest::newRow("both") << 0 << QStringList({"bob"}) << QByteArray("STARbob\r\n")
                              << QStringList({"Unpermasquelch", "Remove from Safelist"}) + common;
    }
    void enableRules()
    {
        QFETCH(int, row);
        QFETCH(QStringList, safe);
        QFETCH(QByteArray, brx);
        QFETCH(QStringList, expected);
        UserListFixture f(brx, true);
        Tmain &m = *f.main;
        for (const QString &s : safe)
            m.options->insertSafeName(s);
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("op"), QStringLiteral("0002"), QStringLiteral("SEXP"));
        // Whatever was enabled before does not matter.
        for (QAction *a : m.menus.userMenu->actions())
            a->setEnabled(true);
        f.selectRow(row);
        m.userMenuPopup();
        QCOMPARE(enabled(m.menus.userMenu), expected);
        // Opening the menu runs the same rules.
        for (QAction *a : m.menus.userMenu->actions())
            a->setEnabled(true);
        QMetaObject::invokeMethod(m.menus.userMenu, "aboutToShow");
        QCOMPARE(enabled(m.menus.userMenu), expected);
    }

    void itemsSendToTheGateway_data()
    {
        columns<QString, int, QStringList>("item", "row", "lines");
        QTest::newRow("Whois first row") << "Whois" << 0 << QStringList({"/whois bob"});
        QTest::newRow("Starcraft Stats")
            << "Starcraft Stats" << 1 << QStringList({"/stats op STAR"});
        QTest::newRow("Broodwar Stats") << "Broodwar Stats" << 1 << QStringList({"/stats op SEXP"});
        QTest::newRow("Warcraft Stats")
            << "Warcraft Stats" << 2 << QStringList({"/stats Kelm W2BN"});
        QTest::newRow("Squelch") << "Squelch" << 1 << QStringList({"/squelch op"});
        QTest::newRow("Unsquelch") << "Unsquelch" << 2 << QStringList({"/unsquelch Kelm"});
        QTest::newRow("nothing selected") << "Whois" << -1 << QStringList();
        QTest::newRow("nothing selected, Squelch") << "Squelch" << -1 << QStringList();
    }
    void itemsSendToTheGateway()
    {
        QFETCH(QString, item);
        QFETCH(int, row);
        QFETCH(QStringList, lines);
        Channel c;
        QVERIFY(c.m.session->bnet->Connected());
        c.f.selectRow(row);
        c.focusElsewhere();
        QAction *action = nullptr;
        for (QAction *a : c.m.menus.userMenu->actions())
            if (a->text() == item)
                action = a;
        QVERIFY(action);
        action->trigger();
        QCOMPARE(c.sent(), lines);
        QVERIFY(c.inputHasFocus());
        // Permasquelching stays on this side of the wire.
        QVERIFY(c.m.brx->count() == 0);
    }

    void copyNameAndWhisper()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("first"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("second"), QStringLiteral("0010"), QStringLiteral("STAR"));
        QApplication::clipboard()->setText(QStringLiteral("before"));
        f.selectRow(-1);
        m.menus.usersCopyName->trigger();
        m.menus.mWhisper->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("before"));
        QVERIFY(m.text->text().isEmpty());
        f.selectRow(0);
        m.menus.usersCopyName->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("first"));
        m.text->setText(QStringLiteral("old text"));
        f.selectRow(1);
        m.menus.mWhisper->trigger();
        QCOMPARE(m.text->text(), QStringLiteral("/whisper second "));
        QCOMPARE(m.text->cursorPosition(), int(m.text->text().size()));
        QCOMPARE(m.focusWidget(), static_cast<QWidget *>(m.text));
    }

    void permasquelchItems()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("op"), QStringLiteral("0002"), QStringLiteral("SEXP"));
        f.selectRow(0);
        m.menus.Permasquelch->trigger();
        // The row's icon at that moment, the gavel, is what is stored.
        QCOMPARE(f.brxItems(), (QList<std::pair<QString, int>>{{"op", 2}}));
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("CHATop\r\n"));
        QCOMPARE(f.row("op"), (Row{"op", 5, 1}));
        m.menus.Unpermasquelch->trigger();
        QCOMPARE(m.brx->count(), 0);
        QCOMPARE(f.row("op"), (Row{"op", 2, -1}));
    }

    void safelistItems()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("zqfriend"), QStringLiteral("0010"),
                          QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("abe"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.options->insertSafeName(QStringLiteral("mmm"));
        f.selectRow(0);
        m.menus.addtosafe->trigger();
        m.menus.addtosafe->trigger(); // a second entry, no check
        f.selectRow(1);
        m.menus.addtosafe->trigger();
        QStringList safe;
        for (int i = 0; i < m.options->safe->count(); ++i)
            safe << m.options->safe->item(i)->text();
        QCOMPARE(safe, QStringList({"abe", "mmm", "zqfriend", "zqfriend"}));
        QVERIFY(UserListFixture::readFile("tressel.conf").contains("zqfriend"));
        QCOMPARE(f.row("zqfriend").state, 0);
        QVERIFY(m.checkSafe(QStringLiteral("zqfriend")));

        f.selectRow(0);
        m.menus.remfromsafe->trigger();
        QVERIFY(m.checkSafe(QStringLiteral("zqfriend")));
        m.menus.remfromsafe->trigger();
        QVERIFY(!m.checkSafe(QStringLiteral("zqfriend")));
        QCOMPARE(f.row("zqfriend").state, -1);
        QVERIFY(!UserListFixture::readFile("tressel.conf").contains("zqfriend"));
        // Not listed: nothing deleted, the file is still written.
        QFile::remove(QStringLiteral("tressel.conf"));
        m.menus.remfromsafe->trigger();
        QCOMPARE(m.options->safe->count(), 2);
        QVERIFY(QFile::exists(QStringLiteral("tressel.conf")));
    }

    void doubleClick_data()
    {
        QTest::addColumn<int>("action");
        QTest::newRow("Toggle Permasquelch") << 0;
        QTest::newRow("Toggle Ignore Mode") << 1;
        QTest::newRow("Copy Username") << 2;
        QTest::newRow("no choice") << -1;
    }
    void doubleClick()
    {
        QFETCH(int, action);
        Channel c;
        c.m.options->dblClickAction->setCurrentIndex(action);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        c.f.selectRow(1); // op, shown with the gavel
        c.focusElsewhere();
        c.m.usersDblClick();
        QVERIFY(c.inputHasFocus());
        switch (action) {
        case 0:
            QCOMPARE(c.f.brxItems(), (QList<std::pair<QString, int>>{{"op", 2}}));
            c.m.usersDblClick();
            QCOMPARE(c.m.brx->count(), 0);
            QCOMPARE(c.sent(), QStringList());
            break;
        case 1:
            QCOMPARE(c.sent(), QStringList({"/squelch op"}));
            // A permasquelched member carries the mark, and nothing clears it.
            c.m.squelchuser(QStringLiteral("op"), QStringLiteral("Manually Permasquelched"), 2);
            c.f.selectRow(1);
            c.m.usersDblClick();
            c.m.usersDblClick();
            QCOMPARE(c.sent(), QStringList({"/unsquelch op", "/unsquelch op"}));
            break;
        default:
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("op"));
            c.f.selectRow(0);
            c.m.usersDblClick();
            QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("bob"));
            QCOMPARE(c.sent(), QStringList());
            break;
        }
    }

    void doubleClickWithNothingSelected()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.options->dblClickAction->setCurrentIndex(0);
        f.selectRow(-1);
        m.usersDblClick();
        QCOMPARE(m.brx->count(), 0);
        QCOMPARE(m.focusWidget(), static_cast<QWidget *>(m.text));
    }

    void altInformation()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        f.setNow(QDateTime(QDate(2026, 12, 8), QTime(15, 4, 3)));
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0020"), QStringLiteral("STAR"));
        m.session->modUser(QStringLiteral("bob"), QStringLiteral("one"));
        m.session->modUser(QStringLiteral("bob"), QStringLiteral("two"));
        f.selectRow(0);
        QTest::keyClick(m.users, Qt::Key_I, Qt::AltModifier);
        QCOMPARE(f.dialogs.infos(),
                 QStringList({"Username: bob\r\nProduct: STAR\r\nFlags: 0020\r\nFirstLine: \r\n"
                              "SecondLine: one\r\nThirdLine: two\r\nJoinTime: 3:04:03 PM\r\n"
                              "Squelched: True"}));
        QCOMPARE(m.focusWidget(), static_cast<QWidget *>(m.text));
        // Without Alt, or with nothing selected, no box.
        QTest::keyClick(m.users, Qt::Key_I);
        f.selectRow(-1);
        QTest::keyClick(m.users, Qt::Key_I, Qt::AltModifier);
        QCOMPARE(f.dialogs.infos().size(), 1);
    }

    void altNameAndSafelist()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        f.selectRow(0);
        m.text->setText(QStringLiteral("hi "));
        QTest::keyClick(m.users, Qt::Key_N, Qt::AltModifier);
        QTest::keyClick(m.users, Qt::Key_N, Qt::AltModifier | Qt::ShiftModifier);
        QCOMPARE(m.text->text(), QStringLiteral("hi bob bob "));
        QCOMPARE(m.text->cursorPosition(), int(m.text->text().size()));
        QTest::keyClick(m.users, Qt::Key_X, Qt::AltModifier);
        QCOMPARE(m.text->text(), QStringLiteral("hi bob bob "));
        QTest::keyClick(m.users, Qt::Key_S, Qt::AltModifier);
        QVERIFY(m.checkSafe(QStringLiteral("bob")));
        QCOMPARE(f.row("bob").state, 0);
    }

    void altWhisper_data()
    {
        textRows({"typed", "line"},
                 {{"text", "see you", "/m op see you"}, {"empty input", "", "/m op "}});
    }
    void altWhisper()
    {
        QFETCH(QString, typed);
        QFETCH(QString, line);
        Channel c;
        c.f.selectRow(1);
        c.m.text->setText(typed);
        QTest::keyClick(c.m.users, Qt::Key_W, Qt::AltModifier);
        QCOMPARE(c.sent(), QStringList({line}));
        QVERIFY(c.m.text->text().isEmpty());
        QVERIFY(c.inputHasFocus());
    }

    // The selection stays on the member the user chose while others join
    // and leave around it, and goes when that member leaves: Alt+W then
    // whispers nobody rather than whoever took the row.
    void selectionFollowsTheMember()
    {
        Channel c;
        c.m.show();
        QVERIFY(waitActive(&c.m));
        const QString flags = QStringLiteral("0010");
        const QString product = QStringLiteral("CHAT");
        for (const char *n : {"above", "OsricJr", "BrandJr", "below"})
            c.m.processShowUser(QString::fromLatin1(n), flags, product);
        c.f.rows();
        QTreeWidgetItem *brand = c.m.users->topLevelItem(5);
        QCOMPARE(brand->text(0), QStringLiteral("BrandJr"));
        QTest::mouseClick(c.m.users->viewport(), Qt::LeftButton, {},
                          c.m.users->visualItemRect(brand).center());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(c.m.users));
        auto selected = [&] {
            const int row = c.f.selectedRow();
            return row < 0 ? QString() : c.m.users->topLevelItem(row)->text(0);
        };
        QCOMPARE(selected(), QStringLiteral("BrandJr"));

        c.m.processLeave(QStringLiteral("above"), flags, product); // above it
        QCOMPARE(selected(), QStringLiteral("BrandJr"));
        QCOMPARE(c.f.selectedRow(), 4);
        c.m.processLeave(QStringLiteral("below"), flags, product); // below it
        c.m.processJoin(QStringLiteral("late"), flags, product);
        c.m.processUserFlags(QStringLiteral("BrandJr"), QStringLiteral("0002"));
        QCOMPARE(selected(), QStringLiteral("BrandJr"));
        c.m.processLeave(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        QCOMPARE(c.f.selectedRow(), 3);
        QCOMPARE(selected(), QStringLiteral("BrandJr"));
        c.m.text->setText(QStringLiteral("for brand"));
        QTest::keyClick(c.m.users, Qt::Key_W, Qt::AltModifier);
        QCOMPARE(c.sent(), QStringList({"/m BrandJr for brand"}));

        // Its own leave: nothing is selected, not OsricJr above nor "late"
        // below, and Alt+W from the list or the input line sends nothing.
        c.m.processLeave(QStringLiteral("BrandJr"), flags, product);
        QCOMPARE(c.f.selectedRow(), -1);
        c.m.text->setText(QStringLiteral("for nobody"));
        QTest::keyClick(c.m.users, Qt::Key_W, Qt::AltModifier);
        c.m.text->setFocus();
        QTest::keyClick(c.m.text, Qt::Key_W, Qt::AltModifier);
        QCOMPARE(c.sent(), QStringList());
        QCOMPARE(c.m.text->text(), QStringLiteral("for nobody"));
        // The same name back is another member: it is not selected for it.
        c.m.processJoin(QStringLiteral("BrandJr"), flags, product);
        QCOMPARE(c.f.selectedRow(), -1);
    }

    // Of two entries with one name, the one chosen stays chosen, whichever
    // of them leaves first.
    void selectionKeepsTheChosenOfTwoNamesakes()
    {
        Channel c;
        c.m.show();
        QVERIFY(waitActive(&c.m));
        const QString flags = QStringLiteral("0010");
        c.m.processJoin(QStringLiteral("twin"), flags, QStringLiteral("STAR"));
        c.m.processJoin(QStringLiteral("twin"), flags, QStringLiteral("SEXP"));
        c.f.selectRow(3);                                           // the first twin
        c.m.processLeave(QStringLiteral("twin"), flags, QString()); // the later one leaves
        QCOMPARE(c.f.selectedRow(), 3);
        QCOMPARE(c.m.session->userTable[c.f.selectedRow() + 1].product, QStringLiteral("STAR"));
        c.m.processJoin(QStringLiteral("twin"), flags, QStringLiteral("W2BN"));
        c.f.selectRow(4); // now the later one
        c.m.processLeave(QStringLiteral("op"), QStringLiteral("0002"), QString());
        QCOMPARE(c.f.selectedRow(), 3);
        QCOMPARE(c.m.session->userTable[c.f.selectedRow() + 1].product, QStringLiteral("W2BN"));
        c.m.processLeave(QStringLiteral("twin"), flags, QString()); // the chosen one
        QCOMPARE(c.f.selectedRow(), -1);
    }

    // In a shown, active window the window's shortcuts are live, and the
    // Send button's "&Send" competes for Alt+S: in the list the list's four
    // keys win, anywhere else Alt+S sends.
    void altKeysInTheActiveWindow_data()
    {
        columns<bool, int, QStringList, QString, bool, int>("inList", "key", "wire", "input",
                                                            "safelisted", "infoBoxes");
        QTest::newRow("Alt+S in the list")
            << true << int(Qt::Key_S) << QStringList() << "typedtext" << true << 0;
        QTest::newRow("Alt+I in the list")
            << true << int(Qt::Key_I) << QStringList() << "typedtext" << false << 1;
        QTest::newRow("Alt+N in the list")
            << true << int(Qt::Key_N) << QStringList() << "typedtextop " << false << 0;
        QTest::newRow("Alt+W in the list")
            << true << int(Qt::Key_W) << QStringList{"/m op typedtext"} << "" << false << 0;
        QTest::newRow("Alt+S in the input line")
            << false << int(Qt::Key_S) << QStringList{"typedtext"} << "" << false << 0;
    }
    void altKeysInTheActiveWindow()
    {
        QFETCH(bool, inList);
        QFETCH(int, key);
        QFETCH(QStringList, wire);
        QFETCH(QString, input);
        QFETCH(bool, safelisted);
        QFETCH(int, infoBoxes);
        Channel c;
        c.m.show();
        QVERIFY(waitActive(&c.m));
        QTest::mouseClick(c.m.text, Qt::LeftButton);
        QTest::keyClicks(c.m.text, QStringLiteral("typedtext"));
        // Clicking the row selects it and gives the list the focus.
        QTreeWidgetItem *op = c.m.users->topLevelItem(1);
        QCOMPARE(op->text(0), QStringLiteral("op"));
        QTest::mouseClick(c.m.users->viewport(), Qt::LeftButton, {},
                          c.m.users->visualItemRect(op).center());
        QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(c.m.users));
        QCOMPARE(c.f.selectedRow(), 1);
        if (!inList) {
            QTest::mouseClick(c.m.text, Qt::LeftButton);
            QTRY_COMPARE(QApplication::focusWidget(), static_cast<QWidget *>(c.m.text));
        }

        QTest::keyClick(QApplication::focusWidget(), Qt::Key(key), Qt::AltModifier);
        // A button's mnemonic clicks it after a short animation of its own.
        if (!wire.isEmpty())
            QVERIFY(tickUntilWireShows(c.m, c.server, wire.last().toLatin1()));
        QCOMPARE(c.sent(), wire);
        QCOMPARE(c.m.text->text(), input);
        QCOMPARE(c.m.checkSafe(QStringLiteral("op")), safelisted);
        QCOMPARE(
            MainWindowFixture::readFile(QStringLiteral("tressel.conf")).contains("safe=op\r\n"),
            safelisted);
        QCOMPARE(c.f.dialogs.infos().size(), infoBoxes);
        QTRY_VERIFY(c.inputHasFocus());
    }
};

QTEST_MAIN(TestUserActionsMenu)
#include "test_useractions_menu.moc"
