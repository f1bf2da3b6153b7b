// Files that cannot be written or read: a full disk under the logs, a file
// size limit reached half-way through tressel.conf or brx.conf, a directory
// where a file should be, a file that vanishes between two writes, a
// tressel.conf whose values are all malformed and a 10 MB brx.conf. Each
// gets its error, and neither tressel.conf nor brx.conf is ever left
// truncated or half-written. A log that fails costs nothing else: every
// line, state change and follow-up of a connected window still happens.
#include "support/mainwindowfixture.h"

#include "base/errors.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/connectedwindow.h"
#include "support/datarows.h"
#include "support/loopbackserver.h"
#include "support/waits.h"

#include <QAction>
#include <QDir>
#include <QLineEdit>
#include <QListWidget>
#include <QRegularExpression>
#include <QTreeWidget>
#include <QtTest>

#include <csignal>
#include <sys/resource.h>

namespace {

// Files may grow to at most `bytes` while it lives, as on a nearly full
// disk: the write that crosses the limit fails part-way.
class FileSizeLimit {
public:
    explicit FileSizeLimit(rlim_t bytes)
    {
        getrlimit(RLIMIT_FSIZE, &m_old);
        m_oldSignal = std::signal(SIGXFSZ, SIG_IGN);
        rlimit small = m_old;
        small.rlim_cur = bytes;
        m_ok = setrlimit(RLIMIT_FSIZE, &small) == 0;
    }
    ~FileSizeLimit()
    {
        setrlimit(RLIMIT_FSIZE, &m_old);
        std::signal(SIGXFSZ, m_oldSignal);
    }
    bool ok() const { return m_ok; }

private:
    rlimit m_old{};
    void (*m_oldSignal)(int) = nullptr;
    bool m_ok = false;
};

// Files in the working directory other than the expected ones (and the
// history's database, which is always there): a temporary file left
// behind by a failed replace.
QStringList strayFiles(const QStringList &expected)
{
    QStringList out;
    for (const QString &name :
         QDir::current().entryList(QDir::Files | QDir::Dirs | QDir::NoDotAndDotDot))
        if (!expected.contains(name) && !name.startsWith(QLatin1String("history.db")))
            out << name;
    return out;
}

QStringList names(const QListWidget *list)
{
    QStringList out;
    for (int i = 0; i < list->count(); ++i)
        out << list->item(i)->text();
    return out;
}

void receive(Tmain &m, const QByteArray &bytes)
{
    m.session->bnet->receiveBytes(bytes);
    MainWindowFixture::runQueuedCalls(1);
}

QStringList settle(MainWindowFixture &f)
{
    QCoreApplication::processEvents();
    QCoreApplication::processEvents();
    return f.dialogs.errors();
}

// A window connected to a server on 127.0.0.1 that keeps both logs. A log
// is made to fail later: a directory where its file should be, or the full
// disk that /dev/full is.
class LoggingWindow {
public:
    explicit LoggingWindow(const QStringList &extraConf = {})
        // The names first: a log switched on without one asks for a name.
        : server(), f(QStringList{"username=alice", "server=127.0.0.1", "logfilename=chat.log",
                                  "rawlogfilename=raw.log", "keeplog=1", "keeprawlog=1"} +
                      extraConf),
          m(*f.main)
    {
    }

    bool connect()
    {
        if (!connectToServer(m, server))
            return false;
        server.clearReceived();
        return true;
    }
    void breakLog(const QString &log, const QString &how)
    {
        QString target = QStringLiteral("/dev/full");
        if (how == QLatin1String("directory")) {
            target = QStringLiteral("broken.log");
            QVERIFY(QDir().mkpath(target));
        }
        (log == QLatin1String("raw") ? m.options->rawlogfilename : m.options->logfilename)
            ->setText(target);
    }
    // What the client sent since the last call, the pacing let out.
    QByteArray wire() { return takeWire(m, server); }
    QStringList chat() const { return MainWindowFixture::lines(m.chat); }

    LoopbackServer server; // goes last: the window never sees it close
    MainWindowFixture f;
    Tmain &m;
};

// The ways a log fails, for the chat log and, where asked, the raw log.
void addLogFailures(bool rawLogToo)
{
    columns<QString, QString, QString>("log", "how", "error");
    const QStringList logs = rawLogToo ? QStringList{"chat", "raw"} : QStringList{"chat"};
    for (const QString &log : logs) {
        QTest::addRow("%s log, directory", qPrintable(log)) << log << "directory"
                                                            << "File access denied.";
        QTest::addRow("%s log, full disk", qPrintable(log)) << log << "full disk"
                                                            << "Disk full.";
    }
}

// The log's failure was reported, and nothing else: each time the log is
// tried again after a box was closed, its failure gets a box of its own.
void checkReported(const QStringList &errors, const QString &error)
{
    QVERIFY(!errors.isEmpty());
    QCOMPARE(errors, QStringList(errors.size(), error));
}

} // namespace

class TestFailingFiles : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void fullDiskUnderLogs_data();
    void fullDiskUnderLogs();
    void failingLogConnectsAndDisconnects_data();
    void failingLogConnectsAndDisconnects();
    void failingLogKeepsTheReplyTarget_data();
    void failingLogKeepsTheReplyTarget();
    void failingLogKeepsTheAutosquelch_data();
    void failingLogKeepsTheAutosquelch();
    void failingLogClearsTheInputLine_data();
    void failingLogClearsTheInputLine();
    void failingLogHandlesTheWholeRead_data();
    void failingLogHandlesTheWholeRead();
    void failingLogReplaysHeldLines_data();
    void failingLogReplaysHeldLines();
    void configHitsSizeLimit();
    void configDirectoryInTheWay();
    void configVanishes();
    void malformedValues_data();
    void malformedValues();
    void everyValueMalformed();
    void squelchListHitsSizeLimit();
    void squelchListDirectoryInTheWay();
    void squelchListVanishes();
    void hugeSquelchList_data();
    void hugeSquelchList();
};

void TestFailingFiles::fullDiskUnderLogs_data()
{
    QTest::addColumn<QStringList>("conf");
    // The name first: a log switched on without one asks for a name.
    QTest::newRow("chat log") << QStringList{"username=alice", "logfilename=/dev/full",
                                             "keeplog=1"};
    QTest::newRow("raw log") << QStringList{"username=alice", "rawlogfilename=/dev/full",
                                            "keeprawlog=1"};
}

void TestFailingFiles::fullDiskUnderLogs()
{
    // Every line is still shown; the box says "Disk full." and, as a modal
    // box would, lets the lines that arrive while it is open go on without
    // a second box on top.
    QFETCH(QStringList, conf);
    MainWindowFixture f(conf);
    Tmain &m = *f.main;
    // While the user reads the box, the rest of the arrival goes on.
    f.dialogs.whileShowing = [] { MainWindowFixture::runQueuedCalls(); };
    QByteArray stream;
    for (int i = 0; i < 50; ++i)
        stream += "1005 TALK bob 0010 \"line " + QByteArray::number(i) + "\"\r\n";
    receive(m, stream);
    QTRY_COMPARE(f.lines(m.chat).filter(QStringLiteral(" <bob> line ")).size(), 50);
    QCOMPARE(settle(f).count(QStringLiteral("Disk full.")), 1);
    receive(m, "1005 TALK bob 0010 \"one more\"\r\n");
    QVERIFY(f.lines(m.chat).contains(QStringLiteral(" <bob> one more")));
    QCOMPARE(settle(f).count(QStringLiteral("Disk full.")), 2);
}

void TestFailingFiles::failingLogConnectsAndDisconnects_data() { addLogFailures(false); }

void TestFailingFiles::failingLogConnectsAndDisconnects()
{
    // "Connecting to ..." fails to log: the login still goes out and the
    // menus follow; "Disconnected." fails too, and the list is still reset.
    QFETCH(QString, log);
    QFETCH(QString, how);
    QFETCH(QString, error);
    LoggingWindow w;
    Tmain &m = w.m;
    w.breakLog(log, how);
    QVERIFY(w.connect());
    QTRY_VERIFY(w.chat().contains(QStringLiteral(" Console: Logging In...")));
    QVERIFY(!m.menus.Connect->isEnabled() && m.menus.Disconnect->isEnabled() &&
            m.menus.PauseChat->isEnabled());
    QVERIFY(!m.options->username->isEnabled());
    w.server.send("1007 CHANNEL \"Lobby\"\r\n1001 USER bob 0010 [CHAT]\r\n");
    QTRY_COMPARE(m.session->userCount, 1);
    m.DisconnectClick();
    QCOMPARE(w.chat().last(), QStringLiteral(" Console: Disconnected."));
    QVERIFY(m.menus.Connect->isEnabled() && !m.menus.Disconnect->isEnabled());
    QCOMPARE(m.channel->text(), QStringLiteral("Tressel 1.5"));
    QCOMPARE(m.users->topLevelItemCount(), 0);
    QCOMPARE(m.session->userCount, 0);
    checkReported(settle(w.f), error);
}

void TestFailingFiles::failingLogKeepsTheReplyTarget_data() { addLogFailures(false); }

void TestFailingFiles::failingLogKeepsTheReplyTarget()
{
    // The whisper whose line cannot be logged is still the one /reply
    // answers: a reply to the whisperer before it would go to the wrong
    // person.
    QFETCH(QString, log);
    QFETCH(QString, how);
    QFETCH(QString, error);
    LoggingWindow w;
    Tmain &m = w.m;
    QVERIFY(w.connect());
    w.server.send("1004 WHISPER carol 0010 \"first\"\r\n");
    QTRY_VERIFY(
        MainWindowFixture::lines(m.whisper).contains(QStringLiteral(" <From: carol>  first")));
    w.breakLog(log, how);
    w.server.send("1004 WHISPER bob 0010 \"second\"\r\n");
    QTRY_VERIFY(
        MainWindowFixture::lines(m.whisper).contains(QStringLiteral(" <From: bob>  second")));
    m.text->setText(QStringLiteral("/reply thanks"));
    m.sendClick();
    QCOMPARE(w.wire(), QByteArray("/m bob thanks\r"));
    checkReported(settle(w.f), error);
}

void TestFailingFiles::failingLogKeepsTheAutosquelch_data() { addLogFailures(false); }

void TestFailingFiles::failingLogKeepsTheAutosquelch()
{
    QFETCH(QString, log);
    QFETCH(QString, how);
    QFETCH(QString, error);
    LoggingWindow w({"squelchFlooders=1", "squelchPrompt=0", "autoAction=1"});
    Tmain &m = w.m;
    QVERIFY(w.connect());
    w.breakLog(log, how);
    w.server.send("1001 USER bob 0010 [CHAT]\r\n");
    for (int i = 0; i < 3; ++i)
        w.server.send("1005 TALK bob 0010 \"buy my gold\"\r\n");
    QTRY_COMPARE(w.chat().count(QStringLiteral(" <bob> buy my gold")), 3);
    QCOMPARE(w.wire(), QByteArray("/squelch bob\r"));
    checkReported(settle(w.f), error);
    QVERIFY(m.session->bnet->Connected());
}

void TestFailingFiles::failingLogClearsTheInputLine_data() { addLogFailures(false); }

void TestFailingFiles::failingLogClearsTheInputLine()
{
    // The echo of a sent line cannot be logged: the input line is emptied
    // all the same, so a second Enter sends nothing.
    QFETCH(QString, log);
    QFETCH(QString, how);
    QFETCH(QString, error);
    LoggingWindow w;
    Tmain &m = w.m;
    QVERIFY(w.connect());
    w.breakLog(log, how);
    m.show();
    QVERIFY(waitActive(&m));
    m.text->setFocus();
    QTest::keyClicks(m.text, QStringLiteral("hello"));
    QTest::keyClick(m.text, Qt::Key_Return);
    QCOMPARE(m.text->text(), QString());
    QTest::keyClick(m.text, Qt::Key_Return);
    QCOMPARE(w.wire(), QByteArray("hello\r"));
    QTRY_COMPARE(w.chat().count(QStringLiteral(" <alice> hello")), 1); // once taken
    checkReported(settle(w.f), error);
}

void TestFailingFiles::failingLogHandlesTheWholeRead_data() { addLogFailures(true); }

void TestFailingFiles::failingLogHandlesTheWholeRead()
{
    // Lines that came in one read are all handled in it: by the time the
    // one box about the log opens, every one of them is on screen.
    QFETCH(QString, log);
    QFETCH(QString, how);
    QFETCH(QString, error);
    LoggingWindow w;
    QVERIFY(w.connect());
    w.breakLog(log, how);
    auto shown = [&w] { return w.chat().filter(QRegularExpression("^ Info: n[0-9]$")).size(); };
    qsizetype shownAtBox = -1;
    w.f.dialogs.whileShowing = [&] {
        if (shownAtBox < 0)
            shownAtBox = shown();
    };
    QByteArray read;
    for (int i = 0; i < 5; ++i)
        read += "1018 INFO \"n" + QByteArray::number(i) + "\"\r\n";
    w.server.send(read);
    QTRY_VERIFY(!w.f.dialogs.errors().isEmpty());
    QCOMPARE(shownAtBox, 5);
    QCOMPARE(settle(w.f), QStringList{error});
    QCOMPARE(shown(), 5);
}

void TestFailingFiles::failingLogReplaysHeldLines_data() { addLogFailures(false); }

void TestFailingFiles::failingLogReplaysHeldLines()
{
    // Pausing and unpausing write lines of their own; neither may stop
    // the pause or the replay of what was held.
    QFETCH(QString, log);
    QFETCH(QString, how);
    QFETCH(QString, error);
    LoggingWindow w;
    Tmain &m = w.m;
    QVERIFY(w.connect());
    w.breakLog(log, how);
    m.menus.PauseChat->trigger();
    QCOMPARE(m.menus.PauseChat->text(), QStringLiteral("&Unpause Chat"));
    w.server.send("1018 INFO \"one\"\r\n1018 INFO \"two\"\r\n1004 WHISPER bob 0010 \"three\"\r\n");
    QTRY_COMPARE(m.envVars.chatBufferCount, 3);
    QVERIFY(!w.chat().contains(QStringLiteral(" Info: one")));
    m.menus.PauseChat->trigger();
    QCOMPARE(m.menus.PauseChat->text(), QStringLiteral("Pa&use Chat"));
    const QStringList chat = w.chat();
    const qsizetype unpaused = chat.indexOf(QStringLiteral(" Console: Chat Unpaused."));
    QVERIFY(unpaused >= 0);
    QCOMPARE(chat.mid(unpaused + 1), (QStringList{" Info: one", " Info: two"}));
    QCOMPARE(MainWindowFixture::lines(m.whisper), QStringList{" <From: bob>  three"});
    checkReported(settle(w.f), error);
}

void TestFailingFiles::configHitsSizeLimit()
{
    MainWindowFixture f;
    Tmain &m = *f.main;
    m.options->triggers->addItem(QStringLiteral("(?i)spam"));
    m.options->insertSafeName(QStringLiteral("Kelm"));
    m.options->writeconfig();
    const QByteArray before = f.readFile(QStringLiteral("tressel.conf"));
    m.options->insertSafeName(QStringLiteral("bob"));
    {
        FileSizeLimit limit(before.size() / 2);
        QVERIFY(limit.ok());
        guarded([&] { m.options->okClick(); });
    }
    QCOMPARE(settle(f), QStringList{QStringLiteral("I/O error 27.")});
    QCOMPARE(f.readFile(QStringLiteral("tressel.conf")), before);
    QCOMPARE(strayFiles({"tressel.conf"}), QStringList());
    m.options->writeconfig(); // room again: the change is saved
    QVERIFY(f.readFile(QStringLiteral("tressel.conf")).contains("safe=bob\r\n"));
}

void TestFailingFiles::configDirectoryInTheWay()
{
    MainWindowFixture f(QStringList{});
    Tmain &m = *f.main;
    QCOMPARE(settle(f), QStringList{QStringLiteral("File not found.")});
    QVERIFY(QDir().mkdir(QStringLiteral("tressel.conf")));
    guarded([&] { m.options->FormShow(); });
    settle(f); // the same text twice at once would be one box
    guarded([&] { m.options->okClick(); });
    QCOMPARE(settle(f),
             (QStringList{QStringLiteral("File not found."), QStringLiteral("File access denied."),
                          QStringLiteral("File access denied.")}));
    QVERIFY(QFileInfo(QStringLiteral("tressel.conf")).isDir());
    QCOMPARE(strayFiles({"tressel.conf"}), QStringList());
}

void TestFailingFiles::configVanishes()
{
    MainWindowFixture f;
    Tmain &m = *f.main;
    m.options->insertSafeName(QStringLiteral("Kelm"));
    m.options->writeconfig();
    const QByteArray first = f.readFile(QStringLiteral("tressel.conf"));
    QVERIFY(QFile::remove(QStringLiteral("tressel.conf")));
    m.options->writeconfig();
    QCOMPARE(f.readFile(QStringLiteral("tressel.conf")), first);
    QCOMPARE(settle(f), QStringList());
}

void TestFailingFiles::malformedValues_data()
{
    QTest::addColumn<QString>("key");
    for (const char *key :
         {"asciiPercentage=", "ucPercentage=",    "leetPercentage=",    "minLineLength=",
          "historyDelay=",    "autoAction=",      "dblClickAction=",    "action_diablos=",
          "action_diablo1=",  "action_diablo2=",  "action_starcrafts=", "action_starcraft=",
          "action_broodwar=", "action_warcraft=", "action_bot=",        "chat_size=",
          "user_size=",       "text_size=",       "raw_size=",          "brx_size="})
        QTest::newRow(key) << QString::fromLatin1(key);
}

void TestFailingFiles::malformedValues()
{
    // The reading stops at the bad number, so the lists after it exist only
    // in the file: the next write keeps the old file beside the new one.
    QFETCH(QString, key);
    const QStringList conf = {"username=alice", "safe=before", key + "12x", "safe=after",
                              "triggerPhrase=(?i)spam"};
    MainWindowFixture f(conf);
    Tmain &m = *f.main;
    QCOMPARE(settle(f), QStringList{QStringLiteral("'12x' is not a valid integer value.")});
    QCOMPARE(m.options->safe->count(), 1);
    const QByteArray original = f.readFile(QStringLiteral("tressel.conf"));
    m.options->writeconfig();
    QCOMPARE(f.readFile(QStringLiteral("tressel.conf.bak")), original);
    QVERIFY(f.lines(m.chat).contains(
        QStringLiteral(" Warning: The old configuration file could not be read completely; it "
                       "was kept as tressel.conf.bak.")));
}

void TestFailingFiles::everyValueMalformed()
{
    // Values that match nothing are ignored: every setting keeps its start
    // value, and a write then gives the same file as a fresh start.
    const QStringList bad = {"username",
                             "keeplog=yes",
                             "keeprawlog=0",
                             "anticensor=true",
                             "alertwhisper=",
                             "suppressplaysound=-1",
                             "confirmquit=on",
                             "dblclickcommand=2",
                             "timestamps=1",
                             "autoConnect=",
                             "notifications=no",
                             "onlynotesafe=x",
                             "antiidle=0",
                             "idletype=9",
                             "idletype=",
                             "squelchPrompt=0",
                             "squelchFlooders=Y",
                             "squelchAscii=",
                             "squelchUc=0",
                             "squelchLeet=false",
                             "bg_colour=black",
                             "whisp_colour=",
                             "time_colour=Chartreuse",
                             "name_colour=sky blue",
                             "label_colour=#ffffff",
                             "error_colour=0",
                             "your_name=Red ",
                             "emote_colour= Lime",
                             "text_colour=WHITE",
                             "[misc",
                             "=",
                             "safe",
                             "triggerPhrase"};
    MainWindowFixture fresh(QStringList{});
    fresh.main->options->writeconfig();
    const QByteArray expected = fresh.readFile(QStringLiteral("tressel.conf"));
    QCOMPARE(settle(fresh), QStringList{QStringLiteral("File not found.")});
    MainWindowFixture f(bad);
    QCOMPARE(settle(f), QStringList());
    f.main->options->writeconfig();
    QCOMPARE(f.readFile(QStringLiteral("tressel.conf")), expected);
}

void TestFailingFiles::squelchListHitsSizeLimit()
{
    MainWindowFixture f;
    Tmain &m = *f.main;
    m.squelchuser(QStringLiteral("first"), QStringLiteral("Manually Permasquelched"), 10);
    const QByteArray before = f.readFile(QStringLiteral("brx.conf"));
    QCOMPARE(before, QByteArray("STARfirst\r\n"));
    {
        FileSizeLimit limit(before.size() + 3);
        QVERIFY(limit.ok());
        guarded([&] {
            m.squelchuser(QStringLiteral("second"), QStringLiteral("Manually Permasquelched"), 8);
        });
    }
    QCOMPARE(settle(f), QStringList{QStringLiteral("I/O error 27.")});
    QCOMPARE(f.readFile(QStringLiteral("brx.conf")), before);
    QCOMPARE(names(m.brx), QStringList{QStringLiteral("first")});
    QVERIFY(!m.checkSquelch(QStringLiteral("second")));
    QVERIFY(!f.lines(m.chat).contains(
        QStringLiteral(" Console: second was permasquelched (Manually Permasquelched)")));
    QCOMPARE(strayFiles({"tressel.conf", "brx.conf", "journal.log"}), QStringList());
}

void TestFailingFiles::squelchListDirectoryInTheWay()
{
    MainWindowFixture f;
    Tmain &m = *f.main;
    QVERIFY(QDir().mkdir(QStringLiteral("brx.conf")));
    guarded([&] { m.loadSquelchlist(); });
    settle(f);
    guarded([&] {
        m.squelchuser(QStringLiteral("bob"), QStringLiteral("Manually Permasquelched"), 8);
    });
    const QStringList errors = settle(f);
    QCOMPARE(errors.size(), 2);
    for (const QString &e : errors)
        QVERIFY2(e.startsWith(QLatin1String("File access denied")), qPrintable(e));
    QVERIFY(!m.checkSquelch(QStringLiteral("bob")));
    QVERIFY(QFileInfo(QStringLiteral("brx.conf")).isDir());
    QCOMPARE(strayFiles({"tressel.conf", "brx.conf", "journal.log"}), QStringList());
}

void TestFailingFiles::squelchListVanishes()
{
    MainWindowFixture f;
    Tmain &m = *f.main;
    m.squelchuser(QStringLiteral("first"), QStringLiteral("Manually Permasquelched"), 8);
    QVERIFY(QFile::remove(QStringLiteral("brx.conf")));
    m.squelchuser(QStringLiteral("second"), QStringLiteral("Manually Permasquelched"), 8);
    QCOMPARE(f.readFile(QStringLiteral("brx.conf")), QByteArray("CHATfirst\r\nCHATsecond\r\n"));
    QCOMPARE(settle(f), QStringList());
}

void TestFailingFiles::hugeSquelchList_data()
{
    columns<int, int>("lines", "nameLength");
    QTest::newRow("many names") << 160000 << 60;      // 10 MB in short lines
    QTest::newRow("long names") << 10 << 1024 * 1024; // 10 MB in ten lines
}

void TestFailingFiles::hugeSquelchList()
{
    QFETCH(int, lines);
    QFETCH(int, nameLength);
    QByteArray file;
    file.reserve(qsizetype(lines) * (nameLength + 6));
    for (int i = 0; i < lines; ++i) {
        const QByteArray number = QByteArray::number(i);
        file += "STAR" + number + QByteArray(nameLength - number.size(), 'n') + "\r\n";
    }
    QVERIFY(file.size() >= 10 * 1000 * 1000);
    MainWindowFixture f;
    Tmain &m = *f.main;
    f.writeFile(QStringLiteral("brx.conf"), file);
    m.loadSquelchlist();
    QCOMPARE(m.brx->count(), lines);
    const QByteArray last = QByteArray::number(lines - 1);
    QVERIFY(m.checkSquelch(QString::fromLatin1(last + QByteArray(nameLength - last.size(), 'n'))));
    m.squelchuser(QStringLiteral("newcomer"), QStringLiteral("Manually Permasquelched"), 8);
    QCOMPARE(f.readFile(QStringLiteral("brx.conf")), file + "CHATnewcomer\r\n");
    QCOMPARE(settle(f), QStringList());
}

QTEST_MAIN(TestFailingFiles)
#include "test_failing_files.moc"
