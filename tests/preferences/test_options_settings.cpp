// The settings controls: start values, ranges, entries, and the dialog's shape.
#include "optionstestutil.h"

#include "resources/icons.h"
#include "support/datarows.h"

#include <QLabel>
#include <QPushButton>
#include <QStyleOption>
#include <QTabWidget>

class TestOptionsSettings : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void startValues_data()
    {
        columns<QString, QString, bool>("setting", "value", "enabled");
        const QString none;
        auto row = [](const char *name, const QString &value, bool enabled = true) {
            QTest::newRow(name) << QString::fromLatin1(name) << value << enabled;
        };
        for (const char *t : {"username", "password", "homechannel", "awaymessage"})
            row(t, none);
        row("server", QStringLiteral("useast.battle.net"));
        row("logfilename", none, false);
        row("rawlogfilename", none, false);
        row("logbrowse", QStringLiteral("0"), false);
        row("rawbrowse", QStringLiteral("0"), false);
        for (const char *f : {"keeplog", "keeprawlog", "anticensor", "alertwhisper",
                              "suppressplaysound", "confirmquit", "dblclickcommand", "timestamps",
                              "autoconnect", "notifications", "antiidle", "squelchFlooders",
                              "squelchAscii", "squelchUc", "squelchLeet", "squelchPrompt"})
            row(f, QStringLiteral("0"));
        row("onlynotesafe", QStringLiteral("0"), false);
        row("ai_users", QStringLiteral("1"), false);
        row("ai_stats", QStringLiteral("0"), false);
        row("ai_time", QStringLiteral("0"), false);
        row("bg_colour", QStringLiteral("White"));
        row("whisp_colour", QStringLiteral("Purple"));
        row("time_colour", QStringLiteral("Gray"));
        row("your_name", QStringLiteral("Blue"));
        row("name_colour", QStringLiteral("Maroon"));
        row("emote_colour", QStringLiteral("Green"));
        row("label_colour", QStringLiteral("Navy"));
        row("error_colour", QStringLiteral("Red"));
        row("text_colour", QStringLiteral("Black"));
        row("AsciiPercentage", QStringLiteral("40"));
        row("ucPercentage", QStringLiteral("60"));
        row("leetPercentage", QStringLiteral("1"));
        row("minLineLength", QStringLiteral("1"));
        row("HistoryDelay", QStringLiteral("1"));
        row("autoAction", QStringLiteral("-1"));
        row("dblClickAction", QStringLiteral("-1"));
        for (const char *a :
             {"action_diablos", "action_diablo1", "action_diablo2", "action_starcrafts",
              "action_starcraft", "action_broodwar", "action_warcraft", "action_bot"})
            row(a, QStringLiteral("0"));
        row("triggers", none);
        row("safe", none);
    }
    void startValues()
    {
        QFETCH(QString, setting);
        QFETCH(QString, value);
        QFETCH(bool, enabled);
        Toptions o;
        QCOMPARE(settingText(o, TMainPanes(), setting), value);
        auto *w = o.findChild<QWidget *>(setting);
        QVERIFY(w);
        QCOMPARE(w->isEnabled(), enabled);
    }

    void noSelectionReadsEmpty()
    {
        Toptions o;
        for (TPickList *p : {o.autoAction, o.dblClickAction}) {
            QCOMPARE(p->currentIndex(), -1);
            QCOMPARE(p->currentText(), QString());
        }
    }

    void colourTable_data()
    {
        columns<int, QString, QColor>("index", "name", "rgb");
        const struct {
            const char *name;
            int r, g, b;
        } table[] = {{"Black", 0, 0, 0},
                     {"Maroon", 128, 0, 0},
                     {"Green", 0, 128, 0},
                     {"Olive", 128, 128, 0},
                     {"Navy", 0, 0, 128},
                     {"Purple", 128, 0, 128},
                     {"Teal", 0, 128, 128},
                     {"Gray", 128, 128, 128},
                     {"Silver", 192, 192, 192},
                     {"Red", 255, 0, 0},
                     {"Lime", 0, 255, 0},
                     {"Yellow", 255, 255, 0},
                     {"Blue", 0, 0, 255},
                     {"Fuchsia", 255, 0, 255},
                     {"Aqua", 0, 255, 255},
                     {"White", 255, 255, 255},
                     {"Money Green", 192, 220, 192},
                     {"Sky Blue", 166, 202, 240},
                     {"Cream", 255, 251, 240},
                     {"Med Gray", 160, 160, 164}};
        int i = 0;
        for (const auto &c : table) {
            QTest::newRow(c.name) << i << QString::fromLatin1(c.name) << QColor(c.r, c.g, c.b);
            ++i;
        }
    }
    void colourTable()
    {
        QFETCH(int, index);
        QFETCH(QString, name);
        QFETCH(QColor, rgb);
        TColourBox box;
        QCOMPARE(box.count(), 20);
        QCOMPARE(box.itemText(index), name);
        QVERIFY(!box.itemIcon(index).isNull()); // the swatch
        QVERIFY(box.selectName(name));
        QCOMPARE(box.currentIndex(), index);
        QCOMPARE(box.selectedName(), name);
        QCOMPARE(box.selected(), rgb);
    }

    void colourNamesAreExact()
    {
        TColourBox box;
        QVERIFY(box.selectName(QStringLiteral("Teal")));
        QSignalSpy picked(&box, &TColourBox::colourPicked);
        for (const char *bad : {"sky blue", "Sky Blue ", "", "Custom", "clBlack"}) {
            QVERIFY2(!box.selectName(QString::fromLatin1(bad)), bad);
            QCOMPARE(box.selectedName(), QStringLiteral("Teal"));
        }
        QVERIFY(!box.isEditable());
        QCOMPARE(picked.count(), 0); // the program's selections are not the user's picks
    }

    void spinRanges_data()
    {
        columns<QString, int, int>("setting", "minimum", "maximum");
        QTest::newRow("AsciiPercentage") << "AsciiPercentage" << 1 << 100;
        QTest::newRow("ucPercentage") << "ucPercentage" << 1 << 100;
        QTest::newRow("leetPercentage") << "leetPercentage" << 1 << 100;
        QTest::newRow("minLineLength") << "minLineLength" << 1 << 255;
        QTest::newRow("HistoryDelay") << "HistoryDelay" << 1 << 600;
    }
    void spinRanges()
    {
        QFETCH(QString, setting);
        QFETCH(int, minimum);
        QFETCH(int, maximum);
        Toptions o;
        auto *s = o.findChild<TSpinBox *>(setting);
        QVERIFY(s);
        s->setValue(0);
        QCOMPARE(s->value(), minimum);
        s->setValue(maximum + 1);
        QCOMPARE(s->value(), maximum);
        s->setValue(-100000);
        QCOMPARE(s->value(), minimum);
        s->setValue(maximum);
        QCOMPARE(s->value(), maximum);
    }

    void pickLists_data()
    {
        columns<QString, QStringList>("setting", "entries");
        QTest::newRow("autoAction") << "autoAction" << QStringList{"Permasquelch", "Ignore"};
        QTest::newRow("dblClickAction")
            << "dblClickAction"
            << QStringList{"Toggle Permasquelch", "Toggle Ignore Mode", "Copy Username"};
        const QStringList actions{"None", "/brx ", "/ignore ", "/whois "};
        for (const char *a :
             {"action_diablos", "action_diablo1", "action_diablo2", "action_starcrafts",
              "action_starcraft", "action_broodwar", "action_warcraft", "action_bot"})
            QTest::newRow(a) << QString::fromLatin1(a) << actions;
    }
    void pickLists()
    {
        QFETCH(QString, setting);
        QFETCH(QStringList, entries);
        Toptions o;
        auto *p = o.findChild<TPickList *>(setting);
        QVERIFY(p);
        QVERIFY(!p->isEditable());
        QStringList items;
        for (int i = 0; i < p->count(); ++i)
            items << p->itemText(i);
        QCOMPARE(items, entries);
        p->selectIndex(int(entries.size()) - 1);
        QCOMPARE(p->currentText(), entries.last());
        for (int bad : {int(entries.size()), -1, -7, 1000}) {
            p->selectIndex(int(entries.size()) - 1);
            p->selectIndex(bad);
            QCOMPARE(p->currentIndex(), -1);
            QCOMPARE(p->currentText(), QString());
        }
    }

    void serverIsEditable()
    {
        Toptions o;
        QVERIFY(o.server->isEditable());
        QCOMPARE(o.server->count(), 4);
        o.server->setEditText(QStringLiteral("127.0.0.1"));
        QCOMPARE(o.server->currentText(), QStringLiteral("127.0.0.1"));
        QCOMPARE(o.server->count(), 4); // typing does not add entries
    }

    void passwordShowsStars()
    {
        Toptions o;
        QCOMPARE(o.password->echoMode(), QLineEdit::Password);
        QCOMPARE(o.password->style()->styleHint(QStyle::SH_LineEdit_PasswordCharacter, nullptr,
                                                o.password),
                 int('*'));
        // Other fields keep the normal style.
        QVERIFY(o.username->style() != o.password->style());
    }

    void noTooltips()
    {
        Toptions o;
        const QList<QWidget *> all = o.findChildren<QWidget *>();
        for (QWidget *w : all)
            QVERIFY2(w->toolTip().isEmpty(), qPrintable(w->objectName()));
        QCOMPARE(o.awaymessage->property("hint").toString(),
                 QStringLiteral("Ente an away message (optional)"));
        QCOMPARE(o.squelchfont->property("hint").toString(),
                 QStringLiteral("User this to set the font and size of text in the permasquelch "
                                "list."));
    }

    void windowShape()
    {
        Toptions o;
        QCOMPARE(o.windowTitle(), QStringLiteral("options"));
        // 457 by 310 where the pages fit it, wider where the face needs it
        // (test_options_layout tries the desktops' faces).
        QCOMPARE(o.height(), 310);
        QVERIFY(o.width() >= 457);
        QCOMPARE(o.minimumSize(), o.maximumSize());
        QStringList tabs;
        for (int i = 0; i < o.tabs->count(); ++i)
            tabs << o.tabs->tabText(i);
        QCOMPARE(tabs, (QStringList{"General", "Logging", "Features", "Appearance",
                                    "Autosquelch Triggers", "Autosquelch Options", "Safelist",
                                    "Product Actions", "Advanced"}));
        QCOMPARE(o.ok->text(), QStringLiteral("&Ok"));
        QVERIFY(o.ok->isDefault());
        QCOMPARE(o.cancel->text(), QStringLiteral("&Cancel"));
        QVERIFY(!o.isModal());
    }

    // The tabs wrap onto rows: each is wholly shown, none covers another, a
    // click on it brings its page and its row next to the page, and it
    // carries its own picture.
    void tabsOnRows_data()
    {
        columns<int, int>("tab", "icon");
        const int icons[] = {0, 1, 2, 4, 3, 7, 6, 5, 8};
        for (int i = 0; i < 9; ++i)
            QTest::newRow(qPrintable(QString::number(i))) << i << icons[i];
    }
    void tabsOnRows()
    {
        QFETCH(int, tab);
        QFETCH(int, icon);
        ScratchDir dir;
        ScriptedDialogs scripted;
        Toptions o;
        o.show();
        QCoreApplication::processEvents();
        TMultiRowTabBar *bar = o.tabs->rows();
        QVERIFY(bar->rowCount() >= 2);
        const QRect r = bar->rowTabRect(tab);
        QVERIFY(bar->rect().contains(r));
        const QRect inDialog(bar->mapTo(&o, r.topLeft()), r.size());
        QVERIFY(o.rect().contains(inDialog));
        for (int other = 0; other < o.tabs->count(); ++other)
            if (other != tab)
                QVERIFY2(!bar->rowTabRect(other).intersects(r), qPrintable(QString::number(other)));
        const int unselected = tab == 0 ? 1 : 0;
        o.tabs->setCurrentIndex(unselected);
        QTest::mouseClick(bar, Qt::LeftButton, {}, bar->rowTabRect(tab).center());
        QCOMPARE(o.tabs->currentIndex(), tab);
        QCOMPARE(bar->rowTabRect(tab).bottom(), bar->rect().bottom());
        const QImage shown = o.tabs->tabIcon(tab).pixmap(QSize(16, 16)).toImage();
        QVERIFY(!shown.isNull());
        QCOMPARE(shown, TIcons::tabIcon(icon).pixmap(QSize(16, 16)).toImage());
    }

    // The percentage boxes sit in the blanks of their captions, over no words.
    void spinInCaptionGap_data()
    {
        textRows({"box", "spin"}, {{"ascii", "squelchAscii", "AsciiPercentage"},
                                   {"uc", "squelchUc", "ucPercentage"},
                                   {"leet", "squelchLeet", "leetPercentage"}});
    }
    void spinInCaptionGap()
    {
        QFETCH(QString, box);
        QFETCH(QString, spin);
        ScratchDir dir;
        ScriptedDialogs scripted;
        Toptions o;
        o.show();
        o.tabs->setCurrentIndex(4);
        QCoreApplication::processEvents();
        auto *check = o.findChild<TGapCheckBox *>(box);
        auto *s = o.findChild<QSpinBox *>(spin);
        QVERIFY(check && s);
        QVERIFY(check->text().startsWith(
            QLatin1String("Squelch when more than                % of a")));
        QCOMPARE(s->parentWidget(), check);
        QVERIFY(s->isVisible());
        QVERIFY(check->rect().contains(s->geometry()));
        // Drawn with more blanks where the face's are too narrow for the box.
        const QString shown = check->shownCaption();
        QVERIFY(shown.startsWith(QLatin1String("Squelch when more than                ")));
        QCOMPARE(shown.mid(shown.indexOf(QLatin1Char('%'))),
                 check->text().mid(check->text().indexOf(QLatin1Char('%'))));
        QStyleOptionButton opt;
        opt.initFrom(check);
        opt.text = shown;
        const QRect text = check->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, check);
        const QFontMetrics fm(check->font());
        const int wordsEnd =
            text.left() + fm.horizontalAdvance(QStringLiteral("Squelch when more than"));
        const int percentStart =
            text.left() + fm.horizontalAdvance(shown.left(shown.indexOf(QLatin1Char('%'))));
        QVERIFY2(s->geometry().left() >= wordsEnd,
                 qPrintable(QString::number(s->geometry().left())));
        QVERIFY2(
            s->geometry().right() < percentStart,
            qPrintable(QStringLiteral("%1 >= %2").arg(s->geometry().right()).arg(percentStart)));
    }
};

QTEST_MAIN(TestOptionsSettings)
#include "test_options_settings.moc"
