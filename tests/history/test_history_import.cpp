// Chat logs Tressel wrote, read back into the history: the date from the
// header, the day moving on past midnight, lines without a time, every
// label the window writes, unreadable lines counted, and a log imported
// twice adding nothing the second time.
#include "history/historyimport.h"
#include "history/historylabels.h"
#include "history/historystore.h"
#include "historyfixture.h"

#include "base/clock.h"
#include "core/textcodec.h"
#include "support/datarows.h"

#include <QTemporaryDir>
#include <QtTest>

using THistory::Kind;

namespace {

const QDate day(2026, 3, 1);

QByteArray header(const QTime &time = QTime(23, 58, 0))
{
    return ("Chat logfile created by Tressel 1.5 at " + longTimeText(time) + " on " +
            shortDateText(day) + ".\r\n\r\n")
        .toLatin1();
}

QByteArray stamped(const QTime &time, const QByteArray &rest)
{
    return "[" + longTimeText(time).toLatin1() + "] " + rest + "\r\n";
}

qint64 ms(const QDate &date, const QTime &time)
{
    return QDateTime(date, time).toMSecsSinceEpoch();
}

QString decode(const QByteArray &bytes) { return TText::decode(bytes); }

} // namespace

class TestHistoryImport : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void everyLabelIsRead()
    {
        const QTime t(23, 58, 30);
        QByteArray log = header();
        for (const char *line :
             {"Info: Joined Channel Op Tressel", "<bob> hello there", "* bob waves at everyone * ",
              "Info: carol joined the channel.", "Info: carol left the channel.",
              "Broadcast: The server goes down soon", "Error: That user is not logged on.",
              "Error:  Couldn't save file!",
              "Warning: The user you just whispered (x) is on your permasquelch list!",
              "Console: Chat Paused.", "Console:  Tressel [1.5]",
              "<Recieved Whisper From: dave>  psst", "<Sent Whisper To: dave>  hi back"})
            log += stamped(t, line);
        log += " <From: erin>  whisper pane line\r\n";
        log += " <To: erin>  my answer\r\n";
        const THistoryImport::Parsed p = THistoryImport::parseChatLog(log, decode);
        QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
        QCOMPARE(p.unreadable, 0);
        const QList<std::tuple<Kind, QString, QString>> want = {
            {Kind::Info, "", "Joined Channel Op Tressel"},
            {Kind::Talk, "bob", "hello there"},
            {Kind::Emote, "bob", "waves at everyone"},
            {Kind::Join, "carol", "carol joined the channel."},
            {Kind::Leave, "carol", "carol left the channel."},
            {Kind::Broadcast, "", "The server goes down soon"},
            {Kind::Error, "", "That user is not logged on."},
            {Kind::Error, "", "Couldn't save file!"},
            {Kind::Error, "", "The user you just whispered (x) is on your permasquelch list!"},
            {Kind::Console, "", "Chat Paused."},
            {Kind::Console, "", "Tressel [1.5]"},
            {Kind::WhisperReceived, "dave", "psst"},
            {Kind::WhisperSent, "dave", "hi back"},
            {Kind::WhisperReceived, "erin", "whisper pane line"},
            {Kind::WhisperSent, "erin", "my answer"},
        };
        QCOMPARE(p.lines.size(), want.size());
        for (int i = 0; i < want.size(); ++i) {
            const THistory::Line &l = p.lines.at(i);
            QCOMPARE(l.kind, std::get<0>(want.at(i)));
            QCOMPARE(l.sender, std::get<1>(want.at(i)));
            QCOMPARE(l.text, std::get<2>(want.at(i)));
            QCOMPARE(l.channel, QStringLiteral("Op Tressel"));
            QCOMPARE(p.lineNumbers.at(i), i + 3); // after the header and its empty line
        }
    }

    void timesFollowTheHeaderAndMidnight()
    {
        QByteArray log = header(QTime(23, 58, 0));
        log += " Console: Connecting to 127.0.0.1...\r\n"; // before any time stamp
        log += stamped(QTime(23, 59, 58), "<bob> late");
        log += " <From: erin>  no stamp here\r\n"; // the whisper pane's
        log += stamped(QTime(23, 59, 50), "<bob> clock set back a little");
        log += stamped(QTime(0, 0, 3), "<bob> after midnight");
        log += stamped(QTime(12, 0, 0), "<bob> next noon");
        log += stamped(QTime(1, 0, 0), "<bob> second night");
        const THistoryImport::Parsed p = THistoryImport::parseChatLog(log, decode);
        QVERIFY2(p.error.isEmpty(), qPrintable(p.error));
        QCOMPARE(p.lines.size(), 7);
        QCOMPARE(p.lines.at(0).timeMs, ms(day, QTime(23, 58, 0)));
        QVERIFY(p.lines.at(0).approximate);
        QCOMPARE(p.lines.at(1).timeMs, ms(day, QTime(23, 59, 58)));
        QVERIFY(!p.lines.at(1).approximate);
        QCOMPARE(p.lines.at(2).timeMs, ms(day, QTime(23, 59, 58)));
        QVERIFY(p.lines.at(2).approximate);
        QCOMPARE(p.lines.at(3).timeMs, ms(day, QTime(23, 59, 50)));
        QCOMPARE(p.lines.at(4).timeMs, ms(day.addDays(1), QTime(0, 0, 3)));
        QCOMPARE(p.lines.at(5).timeMs, ms(day.addDays(1), QTime(12, 0, 0)));
        QCOMPARE(p.lines.at(6).timeMs, ms(day.addDays(2), QTime(1, 0, 0)));
    }

    void unreadableLinesAreCounted()
    {
        QByteArray log = header();
        log += stamped(QTime(23, 59, 0), "<bob> fine");
        log += "[not a time] <bob> bad stamp\r\n";
        log += "no leading blank\r\n";
        log += stamped(QTime(23, 59, 0), "Gibberish: who knows");
        log += "\r\n"; // empty lines are nothing
        log += stamped(QTime(23, 59, 1), "<bob> fine again");
        const THistoryImport::Parsed p = THistoryImport::parseChatLog(log, decode);
        QCOMPARE(p.unreadable, 3);
        QCOMPARE(p.lines.size(), 2);
        QCOMPARE(p.lineNumbers, QVector<int>({3, 8}));
    }

    void bytesAreReadAsThePanesReadThem()
    {
        QByteArray log = header();
        log += stamped(QTime(23, 59, 0), "<Zo\xc3\xab> caf\xc3\xa9"); // UTF-8
        log += stamped(QTime(23, 59, 0), "<bob> na\xefve");           // Windows-1252
        const THistoryImport::Parsed p = THistoryImport::parseChatLog(log, decode);
        QCOMPARE(p.lines.size(), 2);
        QCOMPARE(p.lines.at(0).sender, QStringLiteral("Zoë"));
        QCOMPARE(p.lines.at(0).text, QStringLiteral("café"));
        QCOMPARE(p.lines.at(0).raw, QByteArray("caf\xc3\xa9"));
        QCOMPARE(p.lines.at(1).text, QStringLiteral("naïve"));
    }

    void notAChatLogIsRefused_data()
    {
        QTest::addColumn<QByteArray>("bytes");
        QTest::newRow("empty") << QByteArray();
        QTest::newRow("raw log") << QByteArray("Raw logfile created by Tressel 1.5 at 1:00:00 PM "
                                               "on 3/1/26.\r\n\r\n1005 TALK bob 0010 \"x\"\r\n");
        QTest::newRow("some text") << QByteArray("hello\r\nworld\r\n");
        QTest::newRow("bad date") << QByteArray(
            "Chat logfile created by Tressel 1.5 at never on nowhere.\r\n");
    }

    void notAChatLogIsRefused()
    {
        QFETCH(QByteArray, bytes);
        const THistoryImport::Parsed p = THistoryImport::parseChatLog(bytes, decode);
        QVERIFY(!p.error.isEmpty());
        QVERIFY(p.lines.isEmpty());
    }

    void labelsTheWindowWritesAreRead_data()
    {
        columns<QString, QString, int, QString, QString>("label", "message", "kind", "sender",
                                                         "text");
        const auto row = [](const char *name, const char *label, const char *message, Kind kind,
                            const char *sender, const char *text) {
            QTest::newRow(name) << QString::fromLatin1(label) << QString::fromLatin1(message)
                                << int(kind) << QString::fromLatin1(sender)
                                << QString::fromLatin1(text);
        };
        row("talk", "<bob>", "hi", Kind::Talk, "bob", "hi");
        row("talk with a > in it", "<a>b>", "hi", Kind::Talk, "a>b", "hi");
        row("emote", "* bob waves hello *", "", Kind::Emote, "bob", "waves hello");
        row("emote without text", "* bob *", "", Kind::Emote, "bob", "");
        row("whisper", "<From: bob> ", "psst", Kind::WhisperReceived, "bob", "psst");
        row("whisper, raw mode", "<Recieved Whisper From: bob> ", "psst", Kind::WhisperReceived,
            "bob", "psst");
        row("sent", "<To: bob> ", "hi", Kind::WhisperSent, "bob", "hi");
        row("sent, raw mode", "<Sent Whisper To: bob> ", "hi", Kind::WhisperSent, "bob", "hi");
        row("join", "Info:", "bob joined the channel.", Kind::Join, "bob",
            "bob joined the channel.");
        row("leave", "Info:", "bob left the channel.", Kind::Leave, "bob", "bob left the channel.");
        row("info that only looks like a join", "Info:", "two words joined the channel.",
            Kind::Info, "", "two words joined the channel.");
        row("error", "Error:", "x", Kind::Error, "", "x");
        row("error with a blank", "Error: ", "x", Kind::Error, "", "x");
        row("warning", "Warning:", "x", Kind::Error, "", "x");
        row("broadcast", "Broadcast:", "x", Kind::Broadcast, "", "x");
        row("console", "Console: ", "x", Kind::Console, "", "x");
        row("a label of no kind", "Whatever:", "x", Kind::Info, "", "x");
        row("an empty name", "<>", "x", Kind::Info, "", "x");
    }

    void labelsTheWindowWritesAreRead()
    {
        QFETCH(QString, label);
        QFETCH(QString, message);
        QFETCH(int, kind);
        QFETCH(QString, sender);
        QFETCH(QString, text);
        const THistory::LabelReading r = THistory::readLabel(label, message);
        QCOMPARE(int(r.kind), kind);
        QCOMPARE(r.sender, sender);
        QCOMPARE(r.text, text);
    }

    void importingTwiceAddsNothing()
    {
        QTemporaryDir dir;
        QVERIFY(dir.isValid());
        const QString logName = dir.filePath(QStringLiteral("chat.log"));
        QByteArray log = header();
        log += stamped(QTime(23, 59, 0), "Info: Joined Channel Op Tressel");
        log += stamped(QTime(23, 59, 1), "<bob> first");
        log += stamped(QTime(23, 59, 2), "<bob> second");
        log += "garbage\r\n";
        const auto write = [&] {
            QFile f(logName);
            QVERIFY(f.open(QIODevice::WriteOnly | QIODevice::Truncate));
            f.write(log);
        };
        write();
        THistoryStore store(dir.filePath(QStringLiteral("history.db")));
        store.start();
        QVERIFY(store.waitOpen());
        THistoryStore::ImportResult r = store.importChatLog(logName, decode);
        QVERIFY2(r.error.isEmpty(), qPrintable(r.error));
        QCOMPARE(r.added, 3);
        QCOMPARE(r.unreadable, 1);
        r = store.importChatLog(logName, decode);
        QCOMPARE(r.added, 0);
        QCOMPARE(store.lineCount(), 3);
        // The log has grown since: only its new lines come in.
        log += stamped(QTime(0, 0, 1), "<bob> third");
        write();
        r = store.importChatLog(logName, decode);
        QCOMPARE(r.added, 1);
        THistory::Query q;
        q.member = QStringLiteral("bob");
        const THistory::Page page = store.search(q);
        QCOMPARE(historytest::texts(page), QStringList({"third", "second", "first"}));
        QCOMPARE(page.lines.first().timeMs, ms(day.addDays(1), QTime(0, 0, 1)));
        QCOMPARE(page.lines.first().channel, QStringLiteral("Op Tressel"));
        // A file that is not there says so.
        r = store.importChatLog(dir.filePath(QStringLiteral("none.log")), decode);
        QVERIFY(!r.error.isEmpty());
        QCOMPARE(r.added, 0);
    }
};

QTEST_GUILESS_MAIN(TestHistoryImport)
#include "test_history_import.moc"
