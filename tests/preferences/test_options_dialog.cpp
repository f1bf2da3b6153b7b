// The preferences dialog's handlers: showing, OK and Cancel, log files,
// colours, fonts, and the trigger and safelist buttons.
#include "optionstestutil.h"

#include "base/guard.h"
#include "support/datarows.h"
#include "support/waits.h"

#include <QClipboard>
#include <QGuiApplication>
#include <QInputMethodEvent>
#include <QTextEdit>

namespace {
// Also remembers the font each font dialog started from, and can move the
// working directory the way a platform save dialog may.
class RecordingDialogs : public ScriptedDialogs {
public:
    QList<QFont> fontPresets;
    QString wanderTo;
    bool chooseFont(QWidget *parent, QFont &font) override
    {
        fontPresets << font;
        return ScriptedDialogs::chooseFont(parent, font);
    }
    QString saveFileName(QWidget *parent, const QString &initialName, const QString &filter,
                         const QString &suffix, bool confirmOverwrite) override
    {
        if (!wanderTo.isEmpty())
            QDir::setCurrent(wanderTo);
        return ScriptedDialogs::saveFileName(parent, initialName, filter, suffix, confirmOverwrite);
    }
};

QStringList entries(const QListWidget *l)
{
    QStringList out;
    for (int i = 0; i < l->count(); ++i)
        out << l->item(i)->text();
    return out;
}

int selectedRow(const QListWidget *l)
{
    const auto items = l->selectedItems();
    return items.isEmpty() ? -1 : l->row(items.first());
}
} // namespace

class TestOptionsDialog : public QObject, OptionsBench<RecordingDialogs> {
    Q_OBJECT

    Toptions &o() { return *m_options; }
    void showTabOf(QWidget *w)
    {
        for (int i = 0; i < o().tabs->count(); ++i)
            if (o().tabs->widget(i)->isAncestorOf(w))
                o().tabs->setCurrentIndex(i);
    }
    QLineEdit *textField(const QString &name)
    {
        QWidget *w = o().findChild<QWidget *>(name);
        if (auto *combo = qobject_cast<QComboBox *>(w))
            return combo->lineEdit();
        return qobject_cast<QLineEdit *>(w);
    }
    // Lets queued error boxes open.
    void settle()
    {
        for (int i = 0; i < 3; ++i)
            QCoreApplication::processEvents();
    }
    void writeGoodFile(const QByteArray &extra = QByteArray())
    {
        writeBytes(QStringLiteral("tressel.conf"),
                   "username=fromfile\r\ntimeStamps=0\r\nbg_colour=Navy\r\nwhisp_colour=Teal\r\n"
                   "text_colour=Yellow\r\ntriggerPhrase=one\r\ntriggerPhrase=two\r\n"
                   "triggerPhrase=three\r\nsafe=bob\r\nsafe=Dave\r\nsafe=carl\r\n" +
                       extra);
    }

private Q_SLOTS:
    void init()
    {
        openBench();
        freshOptions();
    }
    void cleanup()
    {
        m_options.reset();
        settle();
        closeBench();
    }

    // --- showing, OK, Cancel -------------------------------------------

    void formShowAppliesFileAndColours_data()
    {
        columns<bool, QColor>("dispWhisper", "whisperText");
        QTest::newRow("whispers shown") << true << QColor(0, 128, 128);  // whisp_colour Teal
        QTest::newRow("raw data shown") << false << QColor(255, 255, 0); // text_colour Yellow
    }
    void formShowAppliesFileAndColours()
    {
        QFETCH(bool, dispWhisper);
        QFETCH(QColor, whisperText);
        writeGoodFile();
        m_fake->dispWhisper = dispWhisper;
        o().tabs->setCurrentIndex(5);
        for (QPushButton *b : {o().delTrigger, o().editTrigger, o().delSafe, o().editSafe})
            b->setEnabled(true);
        o().FormShow();
        QCOMPARE(o().tabs->currentIndex(), 0);
        QCOMPARE(o().windowTitle(), QStringLiteral("Tressel 1.5 - Preferences"));
        QCOMPARE(o().username->text(), QStringLiteral("fromfile"));
        QCOMPARE(m_fake->background, QColor(0, 0, 128));
        QCOMPARE(m_fake->listText, QColor(255, 255, 0));
        QCOMPARE(m_fake->whisperText, whisperText);
        for (QPushButton *b : {o().delTrigger, o().editTrigger, o().delSafe, o().editSafe})
            QVERIFY(!b->isEnabled());

        // OK colours the whisper pane with whisp_colour whatever it shows.
        o().show();
        o().okClick();
        QCOMPARE(m_fake->whisperText, QColor(0, 128, 128));
        QVERIFY(!o().isVisible());
        QVERIFY(readBytes(QStringLiteral("tressel.conf")).contains("\r\nusername=fromfile\r\n"));
    }

    // Without a file the error is shown, and the rest of the showing skipped.
    void showWithoutFile()
    {
        o().triggers->addItem(QStringLiteral("t"));
        o().delTrigger->setEnabled(true);
        o().tabs->setCurrentIndex(3);
        o().show();
        settle();
        QVERIFY(o().isVisible());
        QCOMPARE(m_dialogs->errors(), QStringList{QStringLiteral("File not found.")});
        QCOMPARE(m_dialogs->asked.first().title, QStringLiteral("Tressel"));
        QCOMPARE(o().windowTitle(), QStringLiteral("options"));
        QCOMPARE(o().tabs->currentIndex(), 0);
        QCOMPARE(o().triggers->count(), 0);
        QVERIFY(o().delTrigger->isEnabled());
        QCOMPARE(m_fake->backgroundCalls, 0);
    }

    void showingAgainWhileVisibleDoesNotReload()
    {
        writeGoodFile();
        o().show();
        QCOMPARE(o().username->text(), QStringLiteral("fromfile"));
        o().username->setText(QStringLiteral("typed"));
        o().show();
        o().raise();
        QCOMPARE(o().username->text(), QStringLiteral("typed"));
    }

    // Cancel undoes nothing; the next showing reloads texts but cannot clear a flag.
    void cancelKeepsChanges()
    {
        writeGoodFile();
        o().show();
        o().timestamps->setChecked(true);
        o().username->setText(QStringLiteral("typed"));
        QTest::mouseClick(o().cancel, Qt::LeftButton);
        QVERIFY(!o().isVisible());
        QVERIFY(o().timestamps->isChecked());
        QCOMPARE(o().username->text(), QStringLiteral("typed"));
        QVERIFY(readBytes(QStringLiteral("tressel.conf")).contains("timeStamps=0"));
        o().show();
        QVERIFY(o().timestamps->isChecked());
        QCOMPARE(o().username->text(), QStringLiteral("fromfile"));
    }

    void escapeHides()
    {
        writeGoodFile();
        o().show();
        QTest::keyClick(&o(), Qt::Key_Escape);
        QVERIFY(!o().isVisible());
        QVERIFY(m_dialogs->errors().isEmpty());
    }

    void okButtonWritesAndHides()
    {
        writeGoodFile();
        o().show();
        o().homechannel->setText(QStringLiteral("Clan Tressel"));
        QTest::mouseClick(o().ok, Qt::LeftButton);
        QVERIFY(!o().isVisible());
        QVERIFY(
            readBytes(QStringLiteral("tressel.conf")).contains("\r\nhomechannel=Clan Tressel\r\n"));
    }

    // Enter presses the button that has the focus, as on every desktop, and
    // Ok wherever no button has it; tried in a shown, active dialog.
    void enterPressesTheFocusedButton_data()
    {
        columns<int, bool>("focus", "written");
        QTest::newRow("Cancel focused") << 0 << false;
        QTest::newRow("Ok focused") << 1 << true;
        QTest::newRow("a field focused") << 2 << true;
        QTest::newRow("a check box focused") << 3 << true;
    }
    void enterPressesTheFocusedButton()
    {
        QFETCH(int, focus);
        QFETCH(bool, written);
        writeGoodFile();
        o().show();
        QApplication::setActiveWindow(&o());
        QVERIFY(waitActive(&o()));
        o().homechannel->setText(QStringLiteral("Clan Tressel"));
        QWidget *const targets[] = {o().cancel, o().ok, o().homechannel, o().timestamps};
        QWidget *target = targets[focus];
        o().tabs->setCurrentIndex(focus == 3 ? 2 : 0);
        target->setFocus(Qt::TabFocusReason);
        QTRY_COMPARE(QApplication::focusWidget(), target);
        QTest::keyClick(QApplication::focusWidget(), Qt::Key_Return);
        QTRY_VERIFY(!o().isVisible());
        QCOMPARE(
            readBytes(QStringLiteral("tressel.conf")).contains("\r\nhomechannel=Clan Tressel\r\n"),
            written);
        QVERIFY(m_dialogs->errors().isEmpty());
    }

    // A failed write keeps the dialog open and applies no colours.
    void okWithFailingWrite()
    {
        writeGoodFile();
        o().show();
        QVERIFY(QFile::remove(QStringLiteral("tressel.conf")));
        QVERIFY(QDir().mkdir(QStringLiteral("tressel.conf")));
        const int calls = m_fake->backgroundCalls;
        QTest::mouseClick(o().ok, Qt::LeftButton);
        settle();
        QVERIFY(o().isVisible());
        QCOMPARE(m_dialogs->errors(), QStringList{QStringLiteral("File access denied.")});
        QCOMPARE(m_fake->backgroundCalls, calls);
    }

    // --- log files -------------------------------------------------------

    void logRows_data()
    {
        textRows({"keep", "name", "browse"},
                 {{"chat", "keeplog", "logfilename", "logbrowse"},
                  {"raw", "keeprawlog", "rawlogfilename", "rawbrowse"}});
    }

    void checkingWithEmptyNameAsks_data() { logRows_data(); }
    void checkingWithEmptyNameAsks()
    {
        QFETCH(QString, keep);
        QFETCH(QString, name);
        QFETCH(QString, browse);
        auto *box = o().findChild<QCheckBox *>(keep);
        auto *edit = o().findChild<QLineEdit *>(name);
        auto *button = o().findChild<QPushButton *>(browse);
        const QString start = QDir::currentPath();
        QTemporaryDir elsewhere;
        m_dialogs->wanderTo = elsewhere.path();
        m_dialogs->saveAnswers.enqueue(QDir(start).absoluteFilePath(QStringLiteral("my.log")));
        box->click();
        QCOMPARE(m_dialogs->texts(QStringLiteral("save")), QStringList{QString()});
        QVERIFY(box->isChecked());
        QCOMPARE(edit->text(), QDir(start).absoluteFilePath(QStringLiteral("my.log")));
        QVERIFY(edit->isEnabled());
        QVERIFY(button->isEnabled());
        QCOMPARE(QDir::currentPath(), start); // the dialog's wandering is undone

        // Browse again: the dialog starts at the last file; cancelling unchecks.
        button->click();
        QCOMPARE(m_dialogs->lastSaveInitialName,
                 QDir(start).absoluteFilePath(QStringLiteral("my.log")));
        QVERIFY(!box->isChecked());
        QVERIFY(!edit->isEnabled());
        QVERIFY(!button->isEnabled());
        QCOMPARE(edit->text(), QDir(start).absoluteFilePath(QStringLiteral("my.log")));
        QCOMPARE(QDir::currentPath(), start);

        // With a name in place, checking asks nothing.
        box->click();
        QCOMPARE(m_dialogs->texts(QStringLiteral("save")).size(), 2);
        QVERIFY(edit->isEnabled());
    }

    void enableRules_data()
    {
        columns<QString, QStringList>("box", "follow");
        QTest::newRow("notifications") << "notifications" << QStringList{"onlynotesafe"};
        QTest::newRow("antiidle") << "antiidle" << QStringList{"ai_users", "ai_stats", "ai_time"};
    }
    void enableRules()
    {
        QFETCH(QString, box);
        QFETCH(QStringList, follow);
        auto *b = o().findChild<QCheckBox *>(box);
        b->click();
        for (const QString &f : follow)
            QVERIFY(o().findChild<QWidget *>(f)->isEnabled());
        o().ai_time->setChecked(true);
        o().onlynotesafe->setChecked(true);
        b->click();
        for (const QString &f : follow)
            QVERIFY(!o().findChild<QWidget *>(f)->isEnabled());
        // Disabled controls keep their values.
        QVERIFY(o().ai_time->isChecked());
        QVERIFY(o().onlynotesafe->isChecked());
    }

    // --- colours -----------------------------------------------------------

    void pickedColoursApplyAtOnce()
    {
        o().show();
        settle();
        m_dialogs->asked.clear();
        const int calls = m_fake->backgroundCalls;
        o().bg_colour->selectName(QStringLiteral("Teal"));
        QCOMPARE(m_fake->backgroundCalls, calls); // the program's own selection: no rule
        QTest::keyClick(o().bg_colour, Qt::Key_Down);
        QCOMPARE(o().bg_colour->selectedName(), QStringLiteral("Gray"));
        QCOMPARE(m_fake->background, QColor(128, 128, 128));
        QTest::keyClick(o().text_colour, Qt::Key_Down);
        QCOMPARE(m_fake->listText, QColor(128, 0, 0));
        o().cancelClick();
        QCOMPARE(m_fake->background, QColor(128, 128, 128));
        QCOMPARE(o().whisp_colour->selectedName(), QStringLiteral("Purple"));
    }

    // --- fonts ---------------------------------------------------------------

    void fontButtons_data()
    {
        columns<QString, QString, bool>("button", "pane", "styled");
        QTest::newRow("chat") << "chatfont"
                              << "chat" << false;
        QTest::newRow("users") << "userfont"
                               << "users" << true;
        QTest::newRow("whisper") << "whisperfont"
                                 << "whisper" << true;
        QTest::newRow("squelch") << "squelchfont"
                                 << "brx" << true;
        QTest::newRow("text") << "textfont"
                              << "text" << true;
        QTest::newRow("channel") << "channelfont"
                                 << "channel" << true;
    }
    void fontButtons()
    {
        QFETCH(QString, button);
        QFETCH(QString, pane);
        QFETCH(bool, styled);
        TMainPanes panes = m_fake->panes();
        auto *b = o().findChild<QPushButton *>(button);
        const QString family = settingText(o(), panes, QStringLiteral("font:") + pane);
        const QString size = settingText(o(), panes, QStringLiteral("size:") + pane);

        // Cancel changes nothing.
        b->click();
        QCOMPARE(m_dialogs->fontPresets.size(), 1);
        QCOMPARE(m_dialogs->fontPresets[0].family(), family);
        QCOMPARE(QString::number(m_dialogs->fontPresets[0].pointSize()), size);
        QCOMPARE(settingText(o(), panes, QStringLiteral("font:") + pane), family);

        QFont chosen(QStringLiteral("Courier"), 14);
        chosen.setBold(true);
        chosen.setItalic(true);
        m_dialogs->fontAnswers.enqueue({true, chosen});
        b->click();
        QCOMPARE(settingText(o(), panes, QStringLiteral("font:") + pane),
                 QStringLiteral("Courier"));
        QCOMPARE(settingText(o(), panes, QStringLiteral("size:") + pane), QStringLiteral("14"));
        QWidget *target = paneNamed(panes, pane);
        QCOMPARE(target->font().bold(), styled);
        QCOMPARE(target->font().italic(), styled);

        // The font dialog keeps its style until the next showing resets it.
        b->click();
        QVERIFY(m_dialogs->fontPresets[2].bold());
        writeGoodFile();
        o().FormShow();
        b->click();
        QVERIFY(!m_dialogs->fontPresets[3].bold());
        QVERIFY(!m_dialogs->fontPresets[3].italic());
    }

    void chatFontReachesShownText()
    {
        QTextEdit transcript;
        transcript.setFont(QFont(QStringLiteral("MS Sans Serif"), 8));
        QTextCursor c(transcript.document());
        QTextCharFormat f;
        f.setFontFamilies({QStringLiteral("MS Sans Serif")});
        f.setFontPointSize(8);
        f.setForeground(Qt::red);
        c.insertText(QStringLiteral("an old line"), f);
        TMainPanes panes = m_fake->panes();
        panes.chat = &transcript;
        o().setMainPanes(panes);
        m_dialogs->fontAnswers.enqueue({true, QFont(QStringLiteral("Courier"), 12, QFont::Bold)});
        o().chatfontClick();
        QCOMPARE(transcript.font().family(), QStringLiteral("Courier"));
        QTextCursor at(transcript.document());
        at.setPosition(3);
        QCOMPARE(at.charFormat().fontFamilies().toStringList(),
                 QStringList{QStringLiteral("Courier")});
        QCOMPARE(at.charFormat().fontPointSize(), 12.0);
        QCOMPARE(at.charFormat().foreground().color(), QColor(Qt::red));
        QVERIFY(!at.charFormat().font().bold());
        QVERIFY(!transcript.textCursor().hasSelection());
    }

    // --- trigger phrases ------------------------------------------------------

    void addTrigger()
    {
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("z+")});
        m_dialogs->inputAnswers.enqueue({true, QString()});
        m_dialogs->inputAnswers.enqueue({false, QStringLiteral("ignored")});
        for (int i = 0; i < 3; ++i)
            o().addTrigger->click();
        QCOMPARE(entries(o().triggers), (QStringList{QStringLiteral("z+"), QString()}));
        QCOMPARE(m_dialogs->asked[0].title, QStringLiteral("Enter Trigger Phrase"));
        QCOMPARE(m_dialogs->asked[0].text, QStringLiteral("Please supply a trigger phrase"));
        QCOMPARE(selectedRow(o().triggers), -1);
    }

    void removeTrigger_data()
    {
        columns<int, QStringList, int>("row", "left", "selectedAfter");
        QTest::newRow("first") << 0 << QStringList{"two", "three"} << -1;
        QTest::newRow("middle") << 1 << QStringList{"one", "three"} << 0;
        QTest::newRow("last") << 2 << QStringList{"one", "two"} << 1;
    }
    void removeTrigger()
    {
        QFETCH(int, row);
        QFETCH(QStringList, left);
        QFETCH(int, selectedAfter);
        writeGoodFile();
        o().FormShow();
        o().triggers->setCurrentRow(row);
        QVERIFY(o().delTrigger->isEnabled()); // the click rule
        QVERIFY(o().editTrigger->isEnabled());
        m_dialogs->confirmAnswers.enqueue(false);
        o().delTrigger->click();
        QCOMPARE(o().triggers->count(), 3);
        m_dialogs->confirmAnswers.enqueue(true);
        o().delTrigger->click();
        QCOMPARE(m_dialogs->asked.last().title, QStringLiteral("Confirm"));
        QCOMPARE(m_dialogs->asked.last().text,
                 QStringLiteral("Remove ") + QStringList({"one", "two", "three"})[row] + "?");
        QCOMPARE(entries(o().triggers), left);
        QCOMPARE(selectedRow(o().triggers), selectedAfter);
        QVERIFY(o().delTrigger->isEnabled());
        if (selectedAfter < 0) {
            o().delTrigger->click();
            QCOMPARE(m_dialogs->errors(),
                     QStringList{QStringLiteral("Please select a trigger phrase to delete.")});
            QCOMPARE(m_dialogs->asked.last().title, QStringLiteral("Tressel"));
            QCOMPARE(entries(o().triggers), left);
        }
    }

    void removeOnlyTriggerDisablesButtons()
    {
        writeBytes(QStringLiteral("tressel.conf"), "triggerPhrase=only\r\n");
        o().FormShow();
        o().triggers->setCurrentRow(0);
        m_dialogs->confirmAnswers.enqueue(true);
        o().delTriggerClick();
        QCOMPARE(o().triggers->count(), 0);
        QVERIFY(!o().delTrigger->isEnabled());
        QVERIFY(!o().editTrigger->isEnabled());
    }

    void editTrigger()
    {
        writeGoodFile();
        o().FormShow();
        o().editTrigger->setEnabled(true);
        o().editTriggerClick();
        QCOMPARE(m_dialogs->errors(),
                 QStringList{QStringLiteral("Please select a trigger phrase to edit.")});
        o().triggers->setCurrentRow(1);
        m_dialogs->inputAnswers.enqueue({false, QStringLiteral("no")});
        o().editTriggerClick();
        QCOMPARE(entries(o().triggers), (QStringList{"one", "two", "three"}));
        QCOMPARE(m_dialogs->asked.last().title, QStringLiteral("Edit Trigger Phrase"));
        QCOMPARE(m_dialogs->asked.last().text, QString());
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("2")});
        o().editTriggerClick();
        QCOMPARE(entries(o().triggers), (QStringList{"one", "2", "three"}));
    }

    // --- single-line texts ------------------------------------------------------

    // A pasted line break used to become a line of tressel.conf of its own,
    // setting another key on the next read.
    void pastedLineBreakSetsNoOtherKey()
    {
        writeGoodFile();
        o().show();
        QVERIFY(waitActive(&o()));
        showTabOf(o().awaymessage);
        o().awaymessage->setFocus();
        QTRY_VERIFY(o().awaymessage->hasFocus());
        QGuiApplication::clipboard()->setText(QStringLiteral("x\r\nusername=injected"));
        QTest::keyClick(o().awaymessage, Qt::Key_V, Qt::ControlModifier);
        QCOMPARE(o().awaymessage->text(), QStringLiteral("x username=injected"));
        QTest::mouseClick(o().ok, Qt::LeftButton);
        QVERIFY(!o().isVisible());
        const QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        QVERIFY2(file.contains("\r\nawaymessage=x username=injected\r\n"), file.constData());
        QVERIFY2(!file.contains("\nusername=injected"), file.constData());

        m_options = std::make_unique<Toptions>();
        m_options->setMainPanes(m_fake->panes());
        o().readconfig();
        QCOMPARE(o().username->text(), QStringLiteral("fromfile"));
        QCOMPARE(o().awaymessage->text(), QStringLiteral("x username=injected"));
    }

    // Every text field, however the break gets in: each CR LF, CR or LF is
    // one blank, the cursor stays after what was put in, and the file keeps
    // one line per key.
    void lineBreaksBecomeBlanks_data()
    {
        columns<QString, QString>("field", "way");
        for (const char *field : {"username", "password", "server", "homechannel", "awaymessage",
                                  "logfilename", "rawlogfilename"})
            for (const char *way : {"paste", "input method", "insert", "set by program"})
                QTest::addRow("%s, %s", field, way)
                    << QString::fromLatin1(field) << QString::fromLatin1(way);
    }
    void lineBreaksBecomeBlanks()
    {
        QFETCH(QString, field);
        QFETCH(QString, way);
        // The log names are open to typing while their logs are on.
        writeGoodFile(
            "logfilename=chat.log\r\nkeeplog=1\r\nrawlogfilename=raw.log\r\nkeeprawlog=1\r\n");
        o().show();
        QVERIFY(waitActive(&o()));
        QLineEdit *edit = textField(field);
        QVERIFY(edit);
        showTabOf(edit);
        edit->setFocus();
        QTRY_VERIFY(edit->hasFocus());
        edit->setText(QStringLiteral("abcd"));
        edit->setCursorPosition(2);
        const QString put = QStringLiteral("1\r\n2\r3\n\n4\r\n\r\n5");
        const QString expected = QStringLiteral("ab1 2 3  4  5cd");
        int cursor = 13;
        if (way == QLatin1String("paste")) {
            QGuiApplication::clipboard()->setText(put);
            QTest::keyClick(edit, Qt::Key_V, Qt::ControlModifier);
        } else if (way == QLatin1String("input method")) {
            QInputMethodEvent commit;
            commit.setCommitString(put);
            QCoreApplication::sendEvent(edit, &commit);
        } else if (way == QLatin1String("insert")) {
            edit->insert(put);
        } else {
            edit->setText(QStringLiteral("ab") + put + QStringLiteral("cd"));
            cursor = int(expected.size());
        }
        QCOMPARE(edit->text(), expected);
        QCOMPARE(edit->cursorPosition(), cursor);
        QVERIFY(edit->hasAcceptableInput());

        o().okClick();
        const QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        QVERIFY2(file.contains("\r\n" + field.toLatin1() + "=" + expected.toLatin1() + "\r\n"),
                 file.constData());
        QCOMPARE(file.count('\r'), file.count("\r\n"));
        QCOMPARE(file.count('\n'), file.count("\r\n"));
        m_options = std::make_unique<Toptions>();
        m_options->setMainPanes(m_fake->panes());
        o().readconfig();
        QCOMPARE(textField(field)->text(), expected);
    }

    // The trigger and safelist boxes are single-line too.
    void listEntriesAreOneLine()
    {
        writeGoodFile();
        o().FormShow();
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("a\r\nsafe=evil")});
        o().addTriggerClick();
        o().triggers->setCurrentRow(0);
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("c\nd\re")});
        o().editTriggerClick();
        QCOMPARE(entries(o().triggers), (QStringList{"c d e", "two", "three", "a safe=evil"}));
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("e\r\ntriggerPhrase=x")});
        o().addSafeClick();
        o().safe->setCurrentRow(0);
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("Al\r\n\r\nice")});
        o().editSafeClick();
        QCOMPARE(entries(o().safe), (QStringList{"Al  ice", "carl", "Dave", "e triggerPhrase=x"}));
        o().okClick();
        m_options = std::make_unique<Toptions>();
        m_options->setMainPanes(m_fake->panes());
        o().readconfig();
        QCOMPARE(entries(o().triggers), (QStringList{"c d e", "two", "three", "a safe=evil"}));
        QCOMPARE(entries(o().safe), (QStringList{"Al  ice", "carl", "Dave", "e triggerPhrase=x"}));
    }

    // --- safelist ---------------------------------------------------------------

    void safelistAddAndEdit()
    {
        writeGoodFile();
        o().FormShow();
        QCOMPARE(entries(o().safe), (QStringList{"bob", "carl", "Dave"}));
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("Ann")});
        o().addSafe->click();
        QCOMPARE(m_dialogs->asked.last().title, QStringLiteral("Enter Username"));
        QCOMPARE(m_dialogs->asked.last().text, QStringLiteral("Enter username:"));
        QCOMPARE(entries(o().safe), (QStringList{"Ann", "bob", "carl", "Dave"}));

        // An edited name stays where it was, still selected.
        o().safe->setCurrentRow(1);
        QVERIFY(o().editSafe->isEnabled());
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("zoe")});
        o().editSafe->click();
        QCOMPARE(m_dialogs->asked.last().title, QStringLiteral("Edit Username"));
        QCOMPARE(m_dialogs->asked.last().text, QStringLiteral("Edit username:"));
        QCOMPARE(entries(o().safe), (QStringList{"Ann", "zoe", "carl", "Dave"}));
        QCOMPARE(selectedRow(o().safe), 1);

        // A later name finds its place among the others.
        m_dialogs->inputAnswers.enqueue({true, QStringLiteral("Dan")});
        o().addSafeClick();
        QCOMPARE(entries(o().safe), (QStringList{"Ann", "zoe", "carl", "Dan", "Dave"}));
    }

    void safelistNothingSelected_data()
    {
        textRows({"button", "error"}, {{"remove", "delSafe", "Please select a user to remove."},
                                       {"edit", "editSafe", "Please select a username to edit."}});
    }
    void safelistNothingSelected()
    {
        QFETCH(QString, button);
        QFETCH(QString, error);
        writeGoodFile();
        o().FormShow();
        auto *b = o().findChild<QPushButton *>(button);
        b->setEnabled(true);
        b->click();
        QCOMPARE(m_dialogs->errors(), QStringList{error});
        QCOMPARE(o().safe->count(), 3);
    }

    void safelistDoubleClickRemoves()
    {
        writeGoodFile();
        o().show();
        o().tabs->setCurrentWidget(o().safe->parentWidget()->parentWidget());
        settle();
        QSignalSpy changed(&o(), &Toptions::safelistChanged);
        const QRect r = o().safe->visualItemRect(o().safe->item(1));
        m_dialogs->confirmAnswers.enqueue(true);
        QTest::mouseClick(o().safe->viewport(), Qt::LeftButton, {}, r.center());
        QTest::mouseDClick(o().safe->viewport(), Qt::LeftButton, {}, r.center());
        QCOMPARE(m_dialogs->texts(QStringLiteral("confirm")),
                 QStringList{QStringLiteral("Remove carl?")});
        QCOMPARE(entries(o().safe), (QStringList{"bob", "Dave"}));
        QCOMPARE(selectedRow(o().safe), 0);
        QVERIFY(changed.count() > 0);
        // The last one gone disables Remove and Edit.
        for (int i = 0; i < 2; ++i) {
            o().safe->setCurrentRow(0);
            m_dialogs->confirmAnswers.enqueue(true);
            o().safeDblClick();
        }
        QCOMPARE(o().safe->count(), 0);
        QVERIFY(!o().delSafe->isEnabled());
        QVERIFY(!o().editSafe->isEnabled());
    }
};

QTEST_MAIN(TestOptionsDialog)
#include "test_options_dialog.moc"
