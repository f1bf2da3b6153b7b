// The permanent squelch list: brx.conf in and out, adding and removing with
// their transcript lines, the brx menu, and what failures leave behind.
#include "support/datarows.h"
#include "userlistfixture.h"

#include <QAction>
#include <QApplication>
#include <QCheckBox>
#include <QClipboard>
#include <QFont>
#include <QMenu>
#include <QtTest>

#include <sys/stat.h>
#include <unistd.h>

namespace {
using Item = std::pair<QString, int>;
using Items = QList<Item>;
using Row = UserListFixture::Row;

void noTimestamps(UserListFixture &f)
{
    f.main->options->timestamps->setChecked(false);
    f.main->chat->clear();
}
} // namespace

class TestSquelchList : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void load_data()
    {
        columns<QByteArray, Items>("file", "items");
        QTest::newRow("code and name") << QByteArray("STARFoo\r\n") << Items{{"Foo", 10}};
        QTest::newRow("every product")
            << QByteArray("DRTLa\r\nSTARb\r\nDSHRc\r\nSSHRd\r\nSEXPe\r\nJSTRf\r\nD2DVg\r\nW2BNh\r\n"
                          "D2XPi\r\nCHATj\r\n")
            << Items{{"a", 9},  {"b", 10}, {"c", 11}, {"d", 12}, {"e", 13},
                     {"f", 14}, {"g", 15}, {"h", 16}, {"i", 17}, {"j", 8}};
        QTest::newRow("unknown code") << QByteArray("WAR3Foo\r\n") << Items{{"Foo", 8}};
        QTest::newRow("short lines have empty names")
            << QByteArray("STAR\r\nDR\r\n\r\nSEXPx\r\n")
            << Items{{"", 10}, {"", 8}, {"", 8}, {"x", 13}};
        QTest::newRow("spaces kept")
            << QByteArray("CHATName With Spaces \r\n") << Items{{"Name With Spaces ", 8}};
        QTest::newRow("duplicates")
            << QByteArray("STARFoo\r\nW2BNFoo\r\n") << Items{{"Foo", 10}, {"Foo", 16}};
        QTest::newRow("no final line end")
            << QByteArray("STARa\r\nSTARb") << Items{{"a", 10}, {"b", 10}};
        QTest::newRow("LF and CR line ends")
            << QByteArray("STARa\nSTARb\rSTARc\r\n") << Items{{"a", 10}, {"b", 10}, {"c", 10}};
        QTest::newRow("bytes past ASCII")
            << QByteArray("CHATn\xe9\xff\r\n") << Items{{QString::fromLatin1("n\xe9\xff"), 8}};
        QTest::newRow("empty file") << QByteArray() << Items{};
    }
    void load()
    {
        QFETCH(QByteArray, file);
        QFETCH(Items, items);
        UserListFixture f(file, true);
        QCOMPARE(f.brxItems(), items);
        for (const Item &i : items)
            QVERIFY(f.main->checkSquelch(i.first));
        // Nothing is said about a good file.
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void noFileNoList()
    {
        UserListFixture f;
        QCOMPARE(f.main->brx->count(), 0);
        QVERIFY(!QFile::exists(QStringLiteral("brx.conf")));
        QVERIFY(f.dialogs.asked.isEmpty());
    }

    void unreadableFileKeepsTheList()
    {
        UserListFixture f(QByteArray("STARFoo\r\n"), true);
        Tmain &m = *f.main;
        QFile::remove(QStringLiteral("brx.conf"));
        QVERIFY(QDir().mkdir(QStringLiteral("brx.conf")));
        bool raised = false;
        try {
            m.loadSquelchlist();
        } catch (const TInOutError &e) {
            raised = !e.text().isEmpty();
        }
        QVERIFY(raised);
        QCOMPARE(f.brxItems(), (Items{{"Foo", 10}}));
    }

    // Like tressel.conf, brx.conf is for its owner's eyes only; a stricter
    // mode the user gave it stays.
    void fileIsOwnerOnly_data()
    {
        // before: -1: no file yet
        columns<int, int>("before", "after");
        QTest::newRow("new file") << -1 << 0600;
        QTest::newRow("0644 narrowed") << 0644 << 0600;
        QTest::newRow("0660 narrowed") << 0660 << 0600;
        QTest::newRow("0600 kept") << 0600 << 0600;
        QTest::newRow("0400 kept") << 0400 << 0400;
    }
    void fileIsOwnerOnly()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        // The mode must not come from the umask in force.
        struct OpenUmask {
            mode_t old = ::umask(0);
            ~OpenUmask() { ::umask(old); }
        } noMask;
        UserListFixture f;
        const QByteArray path = QFile::encodeName(QStringLiteral("brx.conf"));
        if (before >= 0) {
            UserListFixture::writeFile(QStringLiteral("brx.conf"), QByteArray());
            QCOMPARE(::chmod(path.constData(), mode_t(before)), 0);
        }
        const bool mayReplace = before < 0 || (before & 0200) || ::geteuid() == 0;
        bool failed = false;
        try {
            f.main->squelchuser(QStringLiteral("bob"), QStringLiteral("Manually Permasquelched"),
                                10);
        } catch (const TInOutError &) {
            failed = true;
        }
        QCOMPARE(failed, !mayReplace);
        struct stat st {};
        QCOMPARE(::stat(path.constData(), &st), 0);
        QCOMPARE(int(st.st_mode & 07777), mayReplace ? after : before);
        if (mayReplace)
            QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("STARbob\r\n"));
    }

    void squelchAndUnsquelch()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        noTimestamps(f);
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("STAR"));
        m.processShowUser(QStringLiteral("op"), QStringLiteral("0002"), QStringLiteral("STAR"));
        f.rows();

        m.squelchuser(QStringLiteral("bob"), QStringLiteral("Manually Permasquelched"), 10);
        // The red X is there before any rebuild.
        QCOMPARE(m.users->topLevelItem(0)->data(0, TUserRow::iconRole).toInt(), 5);
        QVERIFY(m.session->userTable[1].squelched);
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("STARbob\r\n"));
        QCOMPARE(f.row("bob"), (Row{"bob", 5, 1}));
        // A flag icon stored with the squelch is saved as CHAT.
        m.squelchuser(QStringLiteral("op"), QStringLiteral("L33t Username"), 2);
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("STARbob\r\nCHATop\r\n"));
        m.squelchuser(QStringLiteral("bob"), QStringLiteral("again"), 10);
        QCOMPARE(f.brxItems().size(), 2);

        m.unSquelchUser(QStringLiteral("op"));
        QCOMPARE(m.users->topLevelItem(1)->data(0, TUserRow::iconRole).toInt(), 2);
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("STARbob\r\n"));
        m.unSquelchUser(QStringLiteral("op"));
        m.unSquelchUser(QStringLiteral("bob"));
        QVERIFY(!m.session->userTable[1].squelched);
        QCOMPARE(f.row("bob"), (Row{"bob", 10, -1}));
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray());
        QVERIFY(QFile::exists(QStringLiteral("brx.conf")));

        QCOMPARE(
            f.chatLines(),
            QStringList({" Console: bob was permasquelched (Manually Permasquelched)",
                         " Console: op was permasquelched (L33t Username)",
                         " Error: bob is already permasquelched.",
                         " Console: op was unpermasquelched.", " Error: op is not permasquelched.",
                         " Console: bob was unpermasquelched."}));
        const QColor label = m.options->label_colour->selected();
        const QColor error = m.options->error_colour->selected();
        QCOMPARE(m.chat->colourAt(0, 2), label);
        QCOMPARE(m.chat->colourAt(2, 2), error);
        QCOMPARE(m.chat->colourAt(4, 2), error);
        QCOMPARE(m.chat->colourAt(5, 2), label);
    }

    void namesAreCaseSensitive()
    {
        UserListFixture f(QByteArray("CHATFoo\r\n"), true);
        Tmain &m = *f.main;
        QVERIFY(m.checkSquelch(QStringLiteral("Foo")));
        QVERIFY(!m.checkSquelch(QStringLiteral("foo")));
        m.processShowUser(QStringLiteral("foo"), QStringLiteral("0010"), QStringLiteral("STAR"));
        QCOMPARE(f.row("foo"), (Row{"foo", 10, -1}));
        QVERIFY(!m.session->userTable[1].squelched);
    }

    void addUserTakesTheMarkFromTheList()
    {
        UserListFixture f(QByteArray("STARbob\r\n"), true);
        Tmain &m = *f.main;
        m.processJoin(QStringLiteral("bob"), QStringLiteral("0000"), QStringLiteral("STAR"));
        QVERIFY(m.session->userTable[1].squelched);
        QCOMPARE(f.row("bob"), (Row{"bob", 5, 1}));
    }

    void duplicatesComeOffOneAtATime()
    {
        UserListFixture f(QByteArray("STARFoo\r\nW2BNFoo\r\n"), true);
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("Foo"), QStringLiteral("0010"), QStringLiteral("D2DV"));
        f.rows();
        m.unSquelchUser(QStringLiteral("Foo"));
        QCOMPARE(f.brxItems(), (Items{{"Foo", 16}}));
        QVERIFY(m.checkSquelch(QStringLiteral("Foo")));
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("W2BNFoo\r\n"));
        QCOMPARE(f.row("Foo").icon, 5);
        m.unSquelchUser(QStringLiteral("Foo"));
        QVERIFY(!m.checkSquelch(QStringLiteral("Foo")));
        QCOMPARE(f.row("Foo"), (Row{"Foo", 15, -1}));
    }

    void brxMenuLayout()
    {
        UserListFixture f;
        const QList<QAction *> items = f.main->menus.brxMenu->actions();
        QStringList captions;
        for (QAction *a : items)
            captions << (a->isSeparator() ? QStringLiteral("-") : a->text());
        QCOMPARE(captions,
                 QStringList({"Remove", "Add", "Remove All", "-", "Copy Name", "History..."}));
        QCOMPARE(f.main->menus.brxMenu->defaultAction(), f.main->menus.Remove);
    }

    void addFromTheMenu()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        noTimestamps(f);
        f.dialogs.inputAnswers.enqueue({false, QStringLiteral("ignored")});
        m.menus.Add->trigger();
        QCOMPARE(m.brx->count(), 0);
        QCOMPARE(f.dialogs.asked.last().title, QStringLiteral("Enter Username"));
        QCOMPARE(f.dialogs.asked.last().text, QStringLiteral("Enter a username:"));
        f.dialogs.inputAnswers.enqueue({true, QStringLiteral("Some One")});
        f.dialogs.inputAnswers.enqueue({true, QString()});
        m.menus.Add->trigger();
        m.menus.Add->trigger();
        QCOMPARE(f.brxItems(), (Items{{"Some One", 18}, {"", 18}}));
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("CHATSome One\r\nCHAT\r\n"));
        QCOMPARE(f.chatLines().first(),
                 QStringLiteral(" Console: Some One was permasquelched (Manually Permasquelched)"));
        // After a restart the question mark has become the Chat badge.
        m.loadSquelchlist();
        QCOMPARE(f.brxItems(), (Items{{"Some One", 8}, {"", 8}}));
    }

    // One name is one line of brx.conf: a pasted line break adds no second name.
    void addedNameIsOneLine()
    {
        UserListFixture f;
        Tmain &m = *f.main;
        f.dialogs.inputAnswers.enqueue({true, QStringLiteral("eve\r\nSTARmallory\rx\ny")});
        m.menus.Add->trigger();
        QCOMPARE(f.brxItems(), (Items{{"eve STARmallory x y", 18}}));
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("CHATeve STARmallory x y\r\n"));
        m.loadSquelchlist();
        QCOMPARE(m.brx->count(), 1);
        QVERIFY(!m.checkSquelch(QStringLiteral("mallory")));
    }

    void removeAndCopyName()
    {
        UserListFixture f(QByteArray("STARa\r\nSTARb\r\n"), true);
        Tmain &m = *f.main;
        // Nothing selected: nothing happens.
        m.menus.Remove->trigger();
        m.menus.brxCopyName->trigger();
        QCOMPARE(m.brx->count(), 2);
        QApplication::clipboard()->setText(QStringLiteral("before"));
        m.brx->setCurrentRow(1);
        m.menus.brxCopyName->trigger();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral("b"));
        m.menus.Remove->trigger();
        QCOMPARE(f.brxItems(), (Items{{"a", 10}}));
        m.brx->setCurrentRow(0);
        m.brxDblClick();
        QCOMPARE(m.brx->count(), 0);
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray());
    }

    void removeAll()
    {
        UserListFixture f(QByteArray("STARa\r\nSTARb\r\n"), true);
        Tmain &m = *f.main;
        m.processShowUser(QStringLiteral("a"), QStringLiteral("0010"), QStringLiteral("STAR"));
        f.rows();
        f.dialogs.confirmAnswers.enqueue(false);
        m.menus.RemoveAll->trigger();
        QCOMPARE(f.dialogs.asked.last().text,
                 QStringLiteral("Are you completely sure you wish to clear your permasquelch "
                                "list? You can't undo this..."));
        QCOMPARE(m.brx->count(), 2);
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray("STARa\r\nSTARb\r\n"));
        f.dialogs.confirmAnswers.enqueue(true);
        m.menus.RemoveAll->trigger();
        QCOMPARE(m.brx->count(), 0);
        QVERIFY(!m.checkSquelch(QStringLiteral("a")));
        QVERIFY(QFile::exists(QStringLiteral("brx.conf")));
        QCOMPARE(UserListFixture::readFile("brx.conf"), QByteArray());
        // The rows show it at their next rebuild.
        QCOMPARE(f.row("a").icon, 5);
        m.updateUsers();
        QCOMPARE(f.row("a"), (Row{"a", 10, -1}));
    }

    void failedSaveRestoresTheList()
    {
        UserListFixture f(QByteArray("STARa\r\n"), true);
        Tmain &m = *f.main;
        noTimestamps(f);
        m.processShowUser(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("SEXP"));
        m.processShowUser(QStringLiteral("a"), QStringLiteral("0010"), QStringLiteral("SEXP"));
        f.rows();
        // A directory where the file should be: no save can replace it.
        QFile::remove(QStringLiteral("brx.conf"));
        QVERIFY(QDir().mkdir(QStringLiteral("brx.conf")));

        auto raises = [](const std::function<void()> &f) {
            try {
                f();
            } catch (const TInOutError &) {
                return true;
            }
            return false;
        };
        QVERIFY(raises([&] { m.squelchuser("bob", "Manually Permasquelched", 13); }));
        QCOMPARE(f.brxItems(), (Items{{"a", 10}}));
        QVERIFY(!m.checkSquelch(QStringLiteral("bob")));
        QVERIFY(!m.session->userTable[1].squelched);
        QCOMPARE(f.row("bob"), (Row{"bob", 13, -1}));

        QVERIFY(raises([&] { m.unSquelchUser("a"); }));
        QCOMPARE(f.brxItems(), (Items{{"a", 10}}));
        QVERIFY(m.session->userTable[2].squelched);
        QCOMPARE(f.row("a"), (Row{"a", 5, 1}));

        f.dialogs.confirmAnswers.enqueue(true);
        QVERIFY(raises([&] { m.RemoveAllClick(); }));
        QCOMPARE(f.brxItems(), (Items{{"a", 10}}));
        QVERIFY(f.chatLines().isEmpty());

        // From the menu the guard shows the system's words in a box.
        f.dialogs.inputAnswers.enqueue({true, QStringLiteral("x")});
        m.menus.Add->trigger();
        QTRY_COMPARE(f.dialogs.errors().size(), 1);
        QCOMPARE(f.dialogs.asked.last().title, QStringLiteral("Tressel"));
        QCOMPARE(f.brxItems(), (Items{{"a", 10}}));
    }

    void squelchedRowsViaBrx()
    {
        // Every item carries its own icon and draws it.
        UserListFixture f(QByteArray("D2XPz\r\n"), true);
        QListWidgetItem *item = f.main->brx->item(0);
        QCOMPARE(item->data(TUserRow::iconRole).toInt(), 17);
        QVERIFY(!item->icon().isNull());
    }
};

QTEST_MAIN(TestSquelchList)
#include "test_squelch_list.moc"
