// tressel.conf: what each line does when read, what is written, failures,
// and the two safety measures around replacing the file.
#include "optionstestutil.h"

#include "base/clock.h"
#include "support/datarows.h"

#include <QFileInfo>
#include <QSaveFile>

#include <csignal>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// The permission bits of a file, -1 when it is not there.
int modeOf(const QString &name)
{
    struct stat st {};
    if (::stat(QFile::encodeName(name).constData(), &st) != 0)
        return -1;
    return int(st.st_mode & 07777);
}

// The file's modes must not depend on the umask in force.
// Whether this process may replace a file of that mode (QSaveFile refuses
// a file its owner made read-only, unless the process is root).
bool mayReplace(int mode) { return mode < 0 || (mode & 0200) || ::geteuid() == 0; }

class OpenUmask {
public:
    OpenUmask() : m_old(::umask(0)) {}
    ~OpenUmask() { ::umask(m_old); }

private:
    mode_t m_old;
};

QByteArrayList linesOf(const QByteArray &file)
{
    QByteArrayList lines = file.split('\n');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}
} // namespace

class TestOptionsConfig : public QObject, OptionsBench<> {
    Q_OBJECT
    TMainPanes m_panes;
    QStringList m_notices;

    Toptions &fresh()
    {
        m_options = std::make_unique<Toptions>();
        m_panes = m_fake->panes();
        m_options->setMainPanes(m_panes);
        m_options->OnNotice = [this](const QString &m) { m_notices << m; };
        return *m_options;
    }

private Q_SLOTS:
    void init()
    {
        openBench();
        m_fake = std::make_unique<FakePanes>();
        m_notices.clear();
        fresh();
        setClock([] { return QDateTime(QDate(2024, 3, 5), QTime(14, 7, 9)); });
    }
    void cleanup()
    {
        closeBench();
        setClock({});
    }

    // One line of a file, read into fresh controls.
    void keyTable_data()
    {
        columns<QByteArray, QString, QString>("file", "setting", "value");
        auto row = [](const char *name, const QByteArray &file, const char *setting,
                      const QString &value) {
            QTest::newRow(name) << file << QString::fromLatin1(setting) << value;
        };
        row("username", "username=Zeus\r\n", "username", "Zeus");
        row("password", "password=p4ss word=\r\n", "password", "p4ss word=");
        row("server", "server=127.0.0.1\r\n", "server", "127.0.0.1");
        row("homechannel trailing blank", "homechannel=Lobby \r\n", "homechannel", "Lobby ");
        row("awaymessage", "awaymessage=gone, back soon\r\n", "awaymessage", "gone, back soon");
        row("logfilename", "logfilename=C:\\logs\\chat.log\r\n", "logfilename",
            "C:\\logs\\chat.log");
        row("rawlogfilename", "rawlogfilename=raw.log\r\n", "rawlogfilename", "raw.log");
        row("empty text", "username=Zeus\r\nusername=\r\n", "username", "");
        row("last wins", "username=a\r\nusername=b\r\n", "username", "b");
        row("keeplog=1", "logfilename=x.log\r\nkeeplog=1\r\n", "keeplog", "1");
        row("keeplog=10", "logfilename=x.log\r\nkeeplog=10\r\n", "keeplog", "1");
        row("keeplog=0", "logfilename=x.log\r\nkeeplog=0\r\n", "keeplog", "0");
        row("keeplog=yes", "logfilename=x.log\r\nkeeplog=yes\r\n", "keeplog", "0");
        row("keeprawlog", "rawlogfilename=r.log\r\nkeeprawlog=1\r\n", "keeprawlog", "1");
        const std::pair<const char *, const char *> flags[] = {
            {"anticensor=1", "anticensor"},
            {"alertwhisper=1", "alertwhisper"},
            {"suppressplaysound=1", "suppressplaysound"},
            {"confirmquit=1", "confirmquit"},
            {"dblclickcommand=1", "dblclickcommand"},
            {"timeStamps=1", "timestamps"},
            {"autoConnect=1", "autoconnect"},
            {"notifications=1", "notifications"},
            {"onlynotesafe=1", "onlynotesafe"},
            {"antiidle=1", "antiidle"},
            {"squelchPrompt=1", "squelchPrompt"},
            {"squelchFlooders=1", "squelchFlooders"},
            {"squelchAscii=1", "squelchAscii"},
            {"squelchUc=1", "squelchUc"},
            {"squelchLeet=1", "squelchLeet"},
        };
        for (const auto &f : flags)
            row(f.first, QByteArray(f.first) + "\r\n", f.second, "1");
        row("timestamps lower case", "timestamps=1\r\n", "timestamps", "0");
        row("autoconnect lower case", "autoconnect=1\r\n", "autoconnect", "0");
        row("leading blank", " username=x\r\n", "username", "");
        row("shorter than key", "username\r\n", "username", "");
        row("idletype=2 stats", "idletype=2\r\n", "ai_stats", "1");
        row("idletype=2 users", "idletype=2\r\n", "ai_users", "0");
        row("idletype=3", "idletype=3\r\n", "ai_time", "1");
        row("idletype=1 after 3", "idletype=3\r\nidletype=1\r\n", "ai_users", "1");
        row("idletype=2x", "idletype=2x\r\n", "ai_stats", "1");
        row("idletype empty", "idletype=3\r\nidletype=\r\n", "ai_time", "1");
        row("idletype=9", "idletype=3\r\nidletype=9\r\n", "ai_time", "1");
        row("asciiPercentage", "asciiPercentage=55\r\n", "AsciiPercentage", "55");
        row("asciiPercentage=250", "asciiPercentage=250\r\n", "AsciiPercentage", "100");
        row("ucPercentage", "ucPercentage=+7\r\n", "ucPercentage", "7");
        row("leetPercentage", "leetPercentage=99\r\n", "leetPercentage", "99");
        row("minLineLength=-5", "minLineLength=-5\r\n", "minLineLength", "1");
        row("minLineLength=300", "minLineLength=300\r\n", "minLineLength", "255");
        row("historyDelay=0", "historyDelay=0\r\n", "HistoryDelay", "1");
        row("historyDelay=600", "historyDelay=600\r\n", "HistoryDelay", "600");
        row("autoAction=1", "autoAction=1\r\n", "autoAction", "1");
        row("autoAction=7", "autoAction=1\r\nautoAction=7\r\n", "autoAction", "-1");
        row("dblClickAction=2", "dblClickAction=2\r\n", "dblClickAction", "2");
        row("dblClickAction=-1", "dblClickAction=2\r\ndblClickAction=-1\r\n", "dblClickAction",
            "-1");
        const char *actions[] = {"action_diablos",    "action_diablo1",   "action_diablo2",
                                 "action_starcrafts", "action_starcraft", "action_broodwar",
                                 "action_warcraft",   "action_bot"};
        int n = 1;
        for (const char *a : actions) {
            row(a, QByteArray(a) + "=" + QByteArray::number(n) + "\r\n", a, QString::number(n));
            n = n % 3 + 1;
        }
        row("action_bot=4", "action_bot=4\r\n", "action_bot", "-1");
        row("triggers in order", "triggerPhrase=zz\r\ntriggerPhrase=a.*b\r\ntriggerPhrase=\r\n",
            "triggers", "zz|a.*b|");
        row("safe sorted", "safe=zed\r\nsafe=Bob\r\nsafe=alice\r\nsafe=Carl\r\n", "safe",
            "alice|Bob|Carl|zed");
        row("safe duplicates", "safe=Bob\r\nsafe=Bob\r\n", "safe", "Bob|Bob");
        const std::pair<const char *, const char *> colours[] = {
            {"bg_colour", "Navy"},      {"whisp_colour", "Teal"},
            {"time_colour", "Silver"},  {"name_colour", "Money Green"},
            {"label_colour", "Lime"},   {"error_colour", "Fuchsia"},
            {"your_name", "Cream"},     {"emote_colour", "Med Gray"},
            {"text_colour", "Sky Blue"}};
        for (const auto &c : colours)
            row(c.first, QByteArray(c.first) + "=" + c.second + "\r\n", c.first,
                QString::fromLatin1(c.second));
        row("colour case differs", "text_colour=sky blue\r\n", "text_colour", "Black");
        row("colour trailing blank", "text_colour=Red \r\n", "text_colour", "Black");
        const std::pair<const char *, const char *> panes[] = {{"chat", "chat"},
                                                               {"user", "users"},
                                                               {"text", "text"},
                                                               {"raw", "whisper"},
                                                               {"brx", "brx"}};
        for (const auto &p : panes) {
            row(qPrintable(QStringLiteral("%1_font").arg(p.first)),
                QByteArray(p.first) + "_font=Courier New\r\n",
                qPrintable(QStringLiteral("font:%1").arg(p.second)), "Courier New");
            row(qPrintable(QStringLiteral("%1_size").arg(p.first)),
                QByteArray(p.first) + "_size=13\r\n",
                qPrintable(QStringLiteral("size:%1").arg(p.second)), "13");
        }
        row("font name not substituted", "chat_font=No Such Font Family\r\n", "font:chat",
            "No Such Font Family");
        row("LF line ends", "username=a\nhomechannel=b\n", "homechannel", "b");
        row("no final line end", "username=a\r\nhomechannel=b", "homechannel", "b");
        row("sections ignored", "[fonts]\r\nusername=x\r\n# c\r\n[misc]\r\n", "username", "x");
        // Not UTF-8, so shown as Windows-1252 reads them.
        row("high bytes", "username=\xe9\xff\x80\r\n", "username",
            QString::fromUtf8("\u00e9\u00ff\u20ac"));
        row("utf-8 bytes", "username=\xc3\xa9\xe2\x82\xac\r\n", "username",
            QString::fromUtf8("\u00e9\u20ac"));
        // A CR that ends no line is still no part of a value.
        row("lone CR in a text", "awaymessage=a\rb\r\n", "awaymessage", "a b");
        row("lone CR in the server", "server=x\ry\r\n", "server", "x y");
        row("lone CR in a trigger", "triggerPhrase=a\rb\r\n", "triggers", "a b");
        row("lone CR in a safe name", "safe=b\rb\r\nsafe=b\x10\r\n", "safe", "b\x10|b b");
    }
    void keyTable()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, setting);
        QFETCH(QString, value);
        writeBytes(QStringLiteral("tressel.conf"), file);
        m_options->readconfig();
        QCOMPARE(settingText(*m_options, m_panes, setting), value);
        QCOMPARE(storeText(*m_options->store(), setting), value);
        QVERIFY(m_dialogs->asked.isEmpty());
    }

    // A box checked from the file runs its click rule, as a click would.
    void clickRulesRunFromFile_data()
    {
        columns<QByteArray, QString>("file", "control");
        QTest::newRow("keeplog") << QByteArray("logfilename=a.log\r\nkeeplog=1\r\n") << "logbrowse";
        QTest::newRow("keeplog name")
            << QByteArray("logfilename=a.log\r\nkeeplog=1\r\n") << "logfilename";
        QTest::newRow("keeprawlog")
            << QByteArray("rawlogfilename=a\r\nkeeprawlog=1\r\n") << "rawbrowse";
        QTest::newRow("notifications") << QByteArray("notifications=1\r\n") << "onlynotesafe";
        QTest::newRow("antiidle") << QByteArray("antiidle=1\r\n") << "ai_time";
    }
    void clickRulesRunFromFile()
    {
        QFETCH(QByteArray, file);
        QFETCH(QString, control);
        writeBytes(QStringLiteral("tressel.conf"), file);
        QVERIFY(!m_options->findChild<QWidget *>(control)->isEnabled());
        m_options->readconfig();
        QVERIFY(m_options->findChild<QWidget *>(control)->isEnabled());
    }

    void keeplogWithoutNameAsksDuringReading_data()
    {
        columns<QString, bool>("answer", "checked");
        QTest::newRow("chosen") << "chat.log" << true;
        QTest::newRow("cancelled") << "" << false;
    }
    void keeplogWithoutNameAsksDuringReading()
    {
        QFETCH(QString, answer);
        QFETCH(bool, checked);
        writeBytes(QStringLiteral("tressel.conf"),
                   "logfilename=\r\nkeeplog=1\r\nusername=after\r\n");
        if (!answer.isEmpty())
            m_dialogs->saveAnswers.enqueue(answer);
        m_options->readconfig();
        QCOMPARE(m_dialogs->texts(QStringLiteral("save")).size(), 1);
        QCOMPARE(m_options->keeplog->isChecked(), checked);
        QCOMPARE(m_options->store()->flag(TSetting::keeplog), checked);
        QCOMPARE(m_options->store()->shown(TSetting::logfilename), m_options->logfilename->text());
        QCOMPARE(m_options->logfilename->isEnabled(), checked);
        QCOMPARE(m_options->logbrowse->isEnabled(), checked);
        QCOMPARE(m_options->logfilename->text(),
                 checked ? QDir(m_dir->path()).absoluteFilePath(answer) : QString());
        QCOMPARE(m_options->username->text(), QStringLiteral("after")); // reading went on
    }

    // The enable rule for the anti-idle choices follows every line, and
    // only lines: an empty file does not run it.
    void antiIdleRulePerLine()
    {
        m_options->antiidle->setChecked(true);
        m_options->ai_users->setEnabled(false);
        writeBytes(QStringLiteral("tressel.conf"), "");
        m_options->readconfig();
        QVERIFY(!m_options->ai_users->isEnabled());
        writeBytes(QStringLiteral("tressel.conf"), "# nothing\r\n");
        m_options->readconfig();
        QVERIFY(m_options->ai_users->isEnabled());
    }

    void emptyFileChangesOnlyLists()
    {
        m_options->triggers->addItem(QStringLiteral("t"));
        m_options->safe->addItem(QStringLiteral("s"));
        m_options->username->setText(QStringLiteral("kept"));
        m_options->timestamps->setChecked(true);
        writeBytes(QStringLiteral("tressel.conf"), "");
        m_options->readconfig();
        QCOMPARE(m_options->triggers->count(), 0);
        QCOMPARE(m_options->safe->count(), 0);
        QCOMPARE(m_options->username->text(), QStringLiteral("kept"));
        QVERIFY(m_options->timestamps->isChecked());
        // The store as the controls: the lists emptied, the rest kept.
        const TSettingsStore &store = *m_options->store();
        QVERIFY(store.list(TSetting::triggers).isEmpty());
        QVERIFY(store.list(TSetting::safe).isEmpty());
        QCOMPARE(store.bytes(TSetting::username), QStringLiteral("kept"));
        QVERIFY(store.flag(TSetting::timestamps));
    }

    void readFailures_data()
    {
        // kind: how tressel.conf is made
        textRows({"kind", "error"}, {{"missing", "none", "File not found"},
                                     {"directory", "dir", "File access denied"}});
    }
    void readFailures()
    {
        QFETCH(QString, kind);
        QFETCH(QString, error);
        if (kind == QLatin1String("dir"))
            QVERIFY(QDir().mkdir(QStringLiteral("tressel.conf")));
        m_options->triggers->addItem(QStringLiteral("t"));
        m_options->safe->addItem(QStringLiteral("s"));
        m_options->username->setText(QStringLiteral("kept"));
        QCOMPARE(errorOf([this] { m_options->readconfig(); }), error);
        QCOMPARE(m_options->triggers->count(), 0);
        QCOMPARE(m_options->safe->count(), 0);
        QCOMPARE(m_options->username->text(), QStringLiteral("kept"));
        QCOMPARE(m_options->AsciiPercentage->value(), 40);
        // A read that failed still emptied the lists in the store.
        QVERIFY(m_options->store()->list(TSetting::triggers).isEmpty());
        QVERIFY(m_options->store()->list(TSetting::safe).isEmpty());
        QCOMPARE(m_options->store()->bytes(TSetting::username), QStringLiteral("kept"));
    }

    void badIntegerStopsReading_data()
    {
        columns<QByteArray, QString>("line", "error");
        QTest::newRow("font size")
            << QByteArray("chat_size=big") << "'big' is not a valid integer value";
        QTest::newRow("empty number")
            << QByteArray("asciiPercentage=") << "'' is not a valid integer value";
        QTest::newRow("choice") << QByteArray("autoAction=1.0")
                                << "'1.0' is not a valid integer value";
        QTest::newRow("trailing blank")
            << QByteArray("historyDelay=5 ") << "'5 ' is not a valid integer value";
        QTest::newRow("too big") << QByteArray("ucPercentage=99999999999")
                                 << "'99999999999' is not a valid integer value";
    }
    void badIntegerStopsReading()
    {
        QFETCH(QByteArray, line);
        QFETCH(QString, error);
        writeBytes(QStringLiteral("tressel.conf"),
                   "username=before\r\ntriggerPhrase=t1\r\n" + line +
                       "\r\nhomechannel=after\r\ntriggerPhrase=t2\r\n");
        QCOMPARE(errorOf([this] { m_options->readconfig(); }), error);
        QCOMPARE(m_options->username->text(), QStringLiteral("before"));
        QCOMPARE(m_options->homechannel->text(), QString());
        // What was read before the bad line is in force; the list too.
        QCOMPARE(m_options->store()->bytes(TSetting::username), QStringLiteral("before"));
        QCOMPARE(m_options->store()->bytes(TSetting::homechannel), QString());
        QCOMPARE(m_options->store()->list(TSetting::triggers), QStringList{QStringLiteral("t1")});
        QCOMPARE(settingText(*m_options, m_panes, QStringLiteral("triggers")),
                 QStringLiteral("t1"));
    }

    // The start state written out: every line, key and value in order.
    void writesEveryLineInOrder()
    {
        m_options->writeconfig();
        const QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        QVERIFY(file.endsWith("action_bot=0\r\n"));
        QVERIFY(!file.contains("\n\n"));
        QCOMPARE(file.count('\n'), file.count("\r\n"));
        const QByteArrayList got = file.split('\n');
        QByteArrayList lines;
        for (const QByteArray &l : got)
            lines << QByteArray(l).replace('\r', "");
        QCOMPARE(lines.size(), 79); // 78 lines and the empty rest after the last CR LF
        QVERIFY(lines[2].startsWith("# File generated at "));
        QVERIFY(lines[2].endsWith(" on " + shortDateText(QDate(2024, 3, 5)).toLatin1() + "."));
        QVERIFY(lines[2].contains("07"));
        lines[2] = "<time>";
        const QByteArrayList expected{"# Config file for Tressel 1.5. This is generated when you "
                                      "click OK on the options dialogue.",
                                      "# You might screw it up if you manually edit it.",
                                      "<time>",
                                      "",
                                      "[misc]",
                                      "username=",
                                      "password=",
                                      "server=useast.battle.net",
                                      "homechannel=",
                                      "awaymessage=",
                                      "",
                                      "[logging]",
                                      "logfilename=",
                                      "rawlogfilename=",
                                      "keeplog=0",
                                      "keeprawlog=0",
                                      "",
                                      "[features]",
                                      "anticensor=0",
                                      "alertwhisper=0",
                                      "suppressplaysound=0",
                                      "confirmquit=0",
                                      "dblclickcommand=0",
                                      "timeStamps=0",
                                      "autoConnect=0",
                                      "notifications=0",
                                      "onlynotesafe=0",
                                      "antiidle=0",
                                      "idletype=1",
                                      "",
                                      "[autosquelch]",
                                      "squelchPrompt=0",
                                      "squelchFlooders=0",
                                      "squelchAscii=0",
                                      "squelchUc=0",
                                      "squelchLeet=0",
                                      "asciiPercentage=40",
                                      "ucPercentage=60",
                                      "leetPercentage=1",
                                      "minLineLength=1",
                                      "autoAction=-1",
                                      "dblClickAction=-1",
                                      "historyDelay=1",
                                      "",
                                      "[safelist]",
                                      "",
                                      "[colours]",
                                      "bg_colour=White",
                                      "whisp_colour=Purple",
                                      "time_colour=Gray",
                                      "name_colour=Maroon",
                                      "label_colour=Navy",
                                      "error_colour=Red",
                                      "your_name=Blue",
                                      "emote_colour=Green",
                                      "text_colour=Black",
                                      "",
                                      "[fonts]",
                                      "chat_font=MS Sans Serif",
                                      "chat_size=8",
                                      "user_font=MS Sans Serif",
                                      "user_size=7",
                                      "text_font=MS Sans Serif",
                                      "text_size=8",
                                      "raw_font=MS Sans Serif",
                                      "raw_size=8",
                                      "brx_font=MS Sans Serif",
                                      "brx_size=7",
                                      "",
                                      "[ProdActions]",
                                      "action_diablos=0",
                                      "action_diablo1=0",
                                      "action_diablo2=0",
                                      "action_starcrafts=0",
                                      "action_starcraft=0",
                                      "action_broodwar=0",
                                      "action_warcraft=0",
                                      "action_bot=0",
                                      ""};
        QCOMPARE(lines, expected);
    }

    void writesValuesOfEachKind()
    {
        Toptions &o = *m_options;
        o.triggers->addItem(QStringLiteral("b"));
        o.triggers->addItem(QStringLiteral("a"));
        o.insertSafeName(QStringLiteral("Zed"));
        o.insertSafeName(QStringLiteral("amy"));
        o.ai_time->setChecked(true);
        o.autoAction->selectIndex(1);
        o.text_colour->selectName(QStringLiteral("Sky Blue"));
        o.server->setEditText(QStringLiteral("127.0.0.1"));
        o.confirmquit->setChecked(true);
        m_fake->brx.setFont(QFont(QStringLiteral("Courier"), 11));
        o.writeconfig();
        const QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        for (const char *part :
             {"\r\nhistoryDelay=1\r\ntriggerPhrase=b\r\ntriggerPhrase=a\r\n\r\n[safelist]\r\n"
              "safe=amy\r\nsafe=Zed\r\n\r\n[colours]\r\n",
              "\r\nidletype=3\r\n", "\r\nautoAction=1\r\n", "\r\ntext_colour=Sky Blue\r\n",
              "\r\nserver=127.0.0.1\r\n", "\r\nconfirmquit=1\r\n",
              "\r\nbrx_font=Courier\r\nbrx_size=11\r\n"})
            QVERIFY2(file.contains(part), part);
    }

    // However a line break got into a value (a control without its guard, a
    // list entry, a font name), the writer never lets it start a line.
    void writerKeepsEveryValueOnItsLine()
    {
        Toptions &o = *m_options;
        for (QLineEdit *e : std::initializer_list<QLineEdit *>{
                 o.username, o.password, o.homechannel, o.awaymessage, o.logfilename,
                 o.rawlogfilename, o.server->lineEdit()}) {
            e->setValidator(nullptr);
            e->setText(QStringLiteral("x\r\nusername=injected\rsafe=evil\nkeeplog=1"));
        }
        o.triggers->addItem(QStringLiteral("t\r\ntriggerPhrase=more"));
        o.insertSafeName(QStringLiteral("s\nsafe=evil"));
        m_fake->chat.setFont(QFont(QStringLiteral("Fam\r\nchat_size=99"), 8));
        o.writeconfig();
        const QByteArray file = readBytes(QStringLiteral("tressel.conf"));
        QCOMPARE(file.count('\r'), file.count("\r\n"));
        QCOMPARE(file.count('\n'), file.count("\r\n"));
        QVERIFY(file.contains("\r\nusername=x username=injected safe=evil keeplog=1\r\n"));
        QVERIFY(file.contains("\r\nawaymessage=x username=injected safe=evil keeplog=1\r\n"));
        QVERIFY(file.contains("\r\ntriggerPhrase=t triggerPhrase=more\r\n"));
        QVERIFY(file.contains("\r\nsafe=s safe=evil\r\n"));
        QVERIFY(file.contains("\r\nchat_font=Fam chat_size=99\r\nchat_size=8\r\n"));
        // Read back, nothing else changed.
        fresh();
        m_options->readconfig();
        QCOMPARE(m_options->username->text(),
                 QStringLiteral("x username=injected safe=evil keeplog=1"));
        QVERIFY(!m_options->keeplog->isChecked());
        QCOMPARE(m_options->triggers->count(), 1);
        QCOMPARE(m_options->safe->count(), 1);
        QCOMPARE(m_fake->chat.font().pointSize(), 8);
    }

    // Write, read into a new dialog, write again: the same bytes but the time.
    void roundTrip()
    {
        Toptions &o = *m_options;
        QString allHigh;
        for (int c = 0x80; c <= 0xFF; ++c)
            allHigh += QChar(c);
        o.username->setText(QStringLiteral("Zeus") + allHigh);
        o.password->setText(QStringLiteral(" pa ss "));
        o.server->setEditText(QStringLiteral("europe.battle.net"));
        o.homechannel->setText(QStringLiteral("Op Tressel"));
        o.awaymessage->setText(QString::fromLatin1("caf\xe9 = 2"));
        o.logfilename->setText(QStringLiteral("/tmp/chat.log"));
        o.rawlogfilename->setText(QStringLiteral("raw.log"));
        for (QCheckBox *b :
             {o.keeplog, o.keeprawlog, o.anticensor, o.alertwhisper, o.suppressplaysound,
              o.confirmquit, o.dblclickcommand, o.timestamps, o.autoconnect, o.notifications,
              o.onlynotesafe, o.antiidle, o.squelchPrompt, o.squelchFlooders, o.squelchAscii,
              o.squelchUc, o.squelchLeet})
            b->setChecked(true);
        o.ai_stats->setChecked(true);
        o.AsciiPercentage->setValue(33);
        o.ucPercentage->setValue(100);
        o.leetPercentage->setValue(2);
        o.minLineLength->setValue(255);
        o.HistoryDelay->setValue(600);
        o.autoAction->selectIndex(0);
        o.dblClickAction->selectIndex(2);
        o.triggers->addItem(QStringLiteral("^flood(er)?$"));
        o.triggers->addItem(allHigh);
        o.triggers->addItem(QString());
        for (const char *s : {"bob", "Alice", "alice", "\xc9mile"})
            o.insertSafeName(QString::fromLatin1(s));
        const char *names[] = {"Teal",   "Yellow", "Aqua",  "Olive",   "Lime",
                               "Maroon", "Silver", "Cream", "Med Gray"};
        int i = 0;
        for (TColourBox *c :
             {o.bg_colour, o.whisp_colour, o.time_colour, o.your_name, o.name_colour,
              o.emote_colour, o.label_colour, o.error_colour, o.text_colour})
            c->selectName(QString::fromLatin1(names[i++]));
        m_fake->chat.setFont(QFont(QStringLiteral("Not A Real Font"), 15));
        m_fake->whisper.setFont(QFont(QStringLiteral("Courier"), 9));
        i = 0;
        for (TPickList *p :
             {o.action_diablos, o.action_diablo1, o.action_diablo2, o.action_starcrafts,
              o.action_starcraft, o.action_broodwar, o.action_warcraft, o.action_bot})
            p->selectIndex(i++ % 4);
        o.writeconfig();
        QVERIFY(m_dialogs->asked.isEmpty());
        const QByteArray first = readBytes(QStringLiteral("tressel.conf"));
        // Typed text goes in the chosen encoding, UTF-8 unless set otherwise.
        QVERIFY(first.contains("username=Zeus" + allHigh.toUtf8() + "\r\n"));

        m_fake = std::make_unique<FakePanes>();
        fresh();
        setClock([] { return QDateTime(QDate(2025, 12, 31), QTime(23, 59, 58)); });
        m_options->readconfig();
        QCOMPARE(m_options->username->text(), QStringLiteral("Zeus") + allHigh);
        m_options->writeconfig();
        QVERIFY(m_dialogs->asked.isEmpty());
        const QByteArray second = readBytes(QStringLiteral("tressel.conf"));
        QByteArrayList a = linesOf(first), b = linesOf(second);
        QCOMPARE(a.size(), b.size());
        QVERIFY(a[2] != b[2]);
        a.removeAt(2);
        b.removeAt(2);
        QCOMPARE(b, a);
    }

    // A file the last read could not finish is kept before it is replaced.
    void keepsUnreadFileAsBak_data()
    {
        columns<QString, bool>("kind", "kept");
        QTest::newRow("bad number") << "bad" << true;
        QTest::newRow("read fine") << "good" << false;
        QTest::newRow("no file") << "none" << false;
    }
    void keepsUnreadFileAsBak()
    {
        QFETCH(QString, kind);
        QFETCH(bool, kept);
        const QByteArray old = "asciiPercentage=lots\r\ntriggerPhrase=precious\r\nsafe=friend\r\n";
        writeBytes(QStringLiteral("tressel.conf.bak"), "an older backup");
        if (kind == QLatin1String("bad"))
            writeBytes(QStringLiteral("tressel.conf"), old);
        else if (kind == QLatin1String("good"))
            writeBytes(QStringLiteral("tressel.conf"), "triggerPhrase=precious\r\n");
        const QString error = errorOf([this] { m_options->readconfig(); });
        QCOMPARE(error.isEmpty(), kind == QLatin1String("good"));
        m_options->writeconfig();
        QCOMPARE(readBytes(QStringLiteral("tressel.conf.bak")),
                 kept ? old : QByteArray("an older backup"));
        QCOMPARE(m_notices.size(), kept ? 1 : 0);
        if (kept)
            QVERIFY(m_notices.first().contains(QLatin1String("tressel.conf.bak")));
        QVERIFY(readBytes(QStringLiteral("tressel.conf")).startsWith("# Config file"));
        // Once written in full, later writes keep no further copy.
        m_options->writeconfig();
        QCOMPARE(m_notices.size(), kept ? 1 : 0);
    }

    // tressel.conf holds the password: readable by its owner alone, and a
    // mode the user made stricter stays.
    void configFileIsOwnerOnly_data()
    {
        // before: -1: no file yet
        columns<int, int>("before", "after");
        QTest::newRow("new file") << -1 << 0600;
        QTest::newRow("0644 narrowed") << 0644 << 0600;
        QTest::newRow("0666 narrowed") << 0666 << 0600;
        QTest::newRow("0640 narrowed") << 0640 << 0600;
        QTest::newRow("0755 narrowed") << 0755 << 0600;
        QTest::newRow("0600 kept") << 0600 << 0600;
        QTest::newRow("0400 kept") << 0400 << 0400;
    }
    void configFileIsOwnerOnly()
    {
        QFETCH(int, before);
        QFETCH(int, after);
        const OpenUmask noMask;
        const QString conf = QStringLiteral("tressel.conf");
        if (before >= 0) {
            writeBytes(conf, "username=old\r\n");
            QCOMPARE(::chmod(QFile::encodeName(conf).constData(), mode_t(before)), 0);
        }
        m_options->password->setText(QStringLiteral("secret"));
        if (!mayReplace(before)) {
            QCOMPARE(errorOf([this] { m_options->writeconfig(); }),
                     QStringLiteral("File access denied"));
            QCOMPARE(readBytes(conf), QByteArray("username=old\r\n"));
            QCOMPARE(modeOf(conf), before);
            return;
        }
        m_options->writeconfig();
        QVERIFY(readBytes(conf).contains("password=secret\r\n"));
        QCOMPARE(modeOf(conf), after);
        // QFileInfo says the same: nobody but the owner may read it.
        QFileInfo info(conf);
        QVERIFY(!(info.permissions() &
                  (QFile::ReadGroup | QFile::ReadOther | QFile::WriteGroup | QFile::WriteOther)));
        // And the next write keeps it so.
        m_options->writeconfig();
        QCOMPARE(modeOf(conf), after);
        QCOMPARE(QDir().entryList(QDir::Files), QStringList{conf});
    }

    // The kept copy holds the same password: it allows no more than the
    // file it copies, nor more than a copy that was already there.
    void backupIsNoLooserThanTheFile_data()
    {
        // oldBakMode: -1: none yet
        columns<int, int, int, int>("confMode", "oldBakMode", "bakMode", "confAfter");
        QTest::newRow("0600, new copy") << 0600 << -1 << 0600 << 0600;
        QTest::newRow("0644, new copy") << 0644 << -1 << 0600 << 0600;
        QTest::newRow("0400, new copy") << 0400 << -1 << 0400 << 0400;
        QTest::newRow("0600, old copy 0644") << 0600 << 0644 << 0600 << 0600;
        QTest::newRow("0600, old copy 0400") << 0600 << 0400 << 0400 << 0600;
    }
    void backupIsNoLooserThanTheFile()
    {
        QFETCH(int, confMode);
        QFETCH(int, oldBakMode);
        QFETCH(int, bakMode);
        QFETCH(int, confAfter);
        const OpenUmask noMask;
        const QString conf = QStringLiteral("tressel.conf");
        const QString bak = QStringLiteral("tressel.conf.bak");
        const QByteArray old = "password=secret\r\nasciiPercentage=lots\r\n";
        writeBytes(conf, old);
        QCOMPARE(::chmod(QFile::encodeName(conf).constData(), mode_t(confMode)), 0);
        if (oldBakMode >= 0) {
            writeBytes(bak, "an older backup");
            QCOMPARE(::chmod(QFile::encodeName(bak).constData(), mode_t(oldBakMode)), 0);
        }
        QVERIFY(!errorOf([this] { m_options->readconfig(); }).isEmpty());
        const QString error = errorOf([this] { m_options->writeconfig(); });
        if (!mayReplace(oldBakMode)) {
            QCOMPARE(error, QStringLiteral("File access denied"));
            QCOMPARE(readBytes(bak), QByteArray("an older backup"));
            QCOMPARE(modeOf(bak), oldBakMode);
            QCOMPARE(readBytes(conf), old);
            return;
        }
        QCOMPARE(readBytes(bak), old);
        QCOMPARE(modeOf(bak), bakMode);
        QCOMPARE(error.isEmpty(), mayReplace(confMode));
        QCOMPARE(modeOf(conf), confAfter);
    }

    // A write that fails leaves the previous file as it was.
    void failedWriteKeepsOldFile()
    {
        m_options->username->setText(QString(3000, QLatin1Char('x')));
        writeBytes(QStringLiteral("tressel.conf"), "username=old\r\n");
        struct rlimit old {};
        QCOMPARE(getrlimit(RLIMIT_FSIZE, &old), 0);
        const auto oldHandler = std::signal(SIGXFSZ, SIG_IGN);
        struct rlimit small = old;
        small.rlim_cur = 1024;
        QCOMPARE(setrlimit(RLIMIT_FSIZE, &small), 0);
        const QString error = errorOf([this] { m_options->writeconfig(); });
        setrlimit(RLIMIT_FSIZE, &old);
        std::signal(SIGXFSZ, oldHandler);
        QCOMPARE(error, QStringLiteral("I/O error %1").arg(EFBIG));
        QCOMPARE(readBytes(QStringLiteral("tressel.conf")), QByteArray("username=old\r\n"));
        QCOMPARE(QDir().entryList(QDir::Files), QStringList{QStringLiteral("tressel.conf")});
    }

    void writeOverDirectoryFails()
    {
        QVERIFY(QDir().mkdir(QStringLiteral("tressel.conf")));
        QCOMPARE(errorOf([this] { m_options->writeconfig(); }),
                 QStringLiteral("File access denied"));
        QVERIFY(QFileInfo(QStringLiteral("tressel.conf")).isDir());
    }

    // No font has size 0: the line is reported, not applied, and reading goes on.
    void unusableFontSizeIsReported()
    {
        writeBytes(QStringLiteral("tressel.conf"), "chat_size=0\r\nusername=after\r\n");
        m_options->readconfig();
        QCOMPARE(m_fake->chat.font().pointSize(), 8);
        QCOMPARE(m_notices.size(), 1);
        QVERIFY(m_notices.first().contains(QLatin1String("font size 0")));
        QCOMPARE(m_options->username->text(), QStringLiteral("after"));
    }

    void listSignals()
    {
        QSignalSpy safeSpy(m_options.get(), &Toptions::safelistChanged);
        QSignalSpy triggerSpy(m_options.get(), &Toptions::triggersChanged);
        writeBytes(QStringLiteral("tressel.conf"), "safe=a\r\n");
        m_options->readconfig();
        QVERIFY(safeSpy.count() > 0);
        QVERIFY(triggerSpy.count() > 0); // emptied
        safeSpy.clear();
        triggerSpy.clear();
        m_options->insertSafeName(QStringLiteral("b"));
        QCOMPARE(safeSpy.count(), 1);
        QCOMPARE(triggerSpy.count(), 0);
        m_options->safe->item(0)->setText(QStringLiteral("c"));
        QCOMPARE(safeSpy.count(), 2);
    }
};

QTEST_MAIN(TestOptionsConfig)
#include "test_options_config.moc"
