// The transcript: how labelled lines are composed and coloured, the chat
// log, pausing and replaying, and the two panes' menus.
#include "base/guard.h"
#include "preferences/Toptions.h"
#include "support/datarows.h"
#include "support/mainwindowfixture.h"
#include "widgets/TTranscriptView.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <QtTest>

namespace {
const QColor navy(0, 0, 128);
const QColor gray(128, 128, 128);
const QColor red(255, 0, 0);
const QColor black(0, 0, 0);
const QColor purple(128, 0, 128);

QStringList withTimestamps(const QStringList &extra = {})
{
    return MainWindowFixture::defaultConf() + QStringList{"timeStamps=1"} + extra;
}

// The colour of every character of a line, as runs of (length, colour).
QList<std::pair<int, QColor>> colourRuns(TTranscriptPane *pane, int line)
{
    QList<std::pair<int, QColor>> runs;
    const QString text = pane->lineText(line);
    for (int i = 0; i < text.size(); ++i) {
        const QColor c = pane->colourAt(line, i);
        if (!runs.isEmpty() && runs.last().second == c)
            ++runs.last().first;
        else
            runs.append({1, c});
    }
    return runs;
}
} // namespace

class TestMainWindowTranscript : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void realClockIsTheLocalTime()
    {
        // Timestamps come from the real clock when no test sets one: the
        // same instant and the same local time of day as Qt's own answer,
        // in every zone the test is run under.
        const QByteArray oldTz = qgetenv("TZ");
        for (const char *zone : {"UTC", "America/New_York", "Asia/Kolkata", "Pacific/Chatham"}) {
            qputenv("TZ", zone);
            zoneChanged();
            const QDateTime qt = QDateTime::currentDateTime();
            const QDateTime ours = currentDateTime();
            QVERIFY2(std::abs(qt.msecsTo(ours)) < 1000, zone);
            QCOMPARE(ours.offsetFromUtc(), qt.offsetFromUtc());
            QVERIFY2(std::abs(qt.time().msecsTo(ours.time())) < 1000, zone);
            QCOMPARE(ours.date(), qt.date());
        }
        if (oldTz.isNull())
            qunsetenv("TZ");
        else
            qputenv("TZ", oldTz);
        zoneChanged();
    }

    void composesLines_data()
    {
        columns<bool, QString, QString, QString>("timestamps", "label", "message", "line");
        QTest::newRow("plain") << false << "<Name>"
                               << "hello"
                               << " <Name> hello";
        QTest::newRow("stamped") << true << "<Name>"
                                 << "hello"
                                 << "[2:05:09 PM] <Name> hello";
        QTest::newRow("label with blank") << false << "Console: "
                                          << "x"
                                          << " Console:  x";
        QTest::newRow("emote") << true << "* bob waves *"
                               << ""
                               << "[2:05:09 PM] * bob waves * ";
    }
    void composesLines()
    {
        QFETCH(bool, timestamps);
        QFETCH(QString, label);
        QFETCH(QString, message);
        QFETCH(QString, line);
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.options->timestamps->setChecked(timestamps);
        m.writeLine(m.chat, label, message, red);
        QCOMPARE(MainWindowFixture::lines(m.chat), QStringList(line));
    }

    void coloursEachSegment()
    {
        MainWindowFixture f(withTimestamps());
        Tmain &m = *f.main;
        m.writeLine(m.chat, QStringLiteral("<bob>"), QStringLiteral("hi there"), red);
        // "[2:05:09 PM]" in the time colour, " <bob> " in red, the text in the text colour.
        const auto runs = colourRuns(m.chat, 0);
        QCOMPARE(runs.size(), 3);
        QCOMPARE(runs[0], std::make_pair(12, gray));
        QCOMPARE(runs[1], std::make_pair(7, red));
        QCOMPARE(runs[2], std::make_pair(8, black));

        // An emote is all in its own colour but for the timestamp.
        m.writeLine(m.chat, QStringLiteral("* bob waves *"), QString(), purple);
        const auto emote = colourRuns(m.chat, 1);
        QCOMPARE(emote.size(), 2);
        QCOMPARE(emote[1], std::make_pair(15, purple));

        // Colours are taken when the line is written.
        m.options->text_colour->selectName(QStringLiteral("Teal"));
        m.writeLine(m.chat, QStringLiteral("Info:"), QStringLiteral("x"), navy);
        QCOMPARE(m.chat->colourAt(2, m.chat->lineText(2).size() - 1), QColor(0, 128, 128));
        QCOMPARE(m.chat->colourAt(0, m.chat->lineText(0).size() - 1), black);
    }

    void whisperPaneHasNoTimestamps()
    {
        MainWindowFixture f(withTimestamps());
        Tmain &m = *f.main;
        m.writeLine(m.whisper, QStringLiteral("<From: bob> "), QStringLiteral("psst"), purple);
        QCOMPARE(MainWindowFixture::lines(m.whisper), QStringList(" <From: bob>  psst"));
    }

    void chatLogBytes()
    {
        MainWindowFixture f(withTimestamps({"logfilename=chat.log", "keeplog=1"}));
        Tmain &m = *f.main;
        m.writeLine(m.chat, QStringLiteral("<bob>"), QStringLiteral("hi"), red);
        m.writeLine(m.whisper, QStringLiteral("<To: bob> "), QStringLiteral("yo"), purple);
        QCOMPARE(MainWindowFixture::readFile(f.path("chat.log")),
                 QByteArray("Chat logfile created by Tressel 1.5 at 2:05:09 PM on 12/8/26.\r\n\r\n"
                            "[2:05:09 PM] <bob> hi\r\n"
                            " <To: bob>  yo\r\n"));
    }

    void chatLogAppendsToAnExistingFile()
    {
        MainWindowFixture f(MainWindowFixture::defaultConf() +
                            QStringList{"logfilename=old.log", "keeplog=1"});
        MainWindowFixture::writeFile(f.path("old.log"), "whatever\r\n");
        f.main->writeLine(f.main->chat, QStringLiteral("Info:"), QStringLiteral("\xe9t\xe9"), navy);
        QCOMPARE(MainWindowFixture::readFile(f.path("old.log")),
                 QByteArray("whatever\r\n Info: \xe9t\xe9\r\n"));
    }

    void chatLogWithoutNameWarnsOncePerSwitchingOn()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        // Logging on, then the name cleared by hand.
        m.options->logfilename->setText(QStringLiteral("chat.log"));
        m.options->keeplog->setChecked(true);
        m.options->logfilename->clear();
        for (int i = 0; i < 3; ++i)
            m.writeLine(m.chat, QStringLiteral("Info:"), QStringLiteral("line"), navy);
        const QStringList shown = MainWindowFixture::lines(m.chat);
        QCOMPARE(shown.size(), 4);
        QVERIFY(shown[1].startsWith(QStringLiteral(" Error:  No chat log file is set")));
        QVERIFY(!QFile::exists(f.path("chat.log")));
        // Set and cleared again: one more warning.
        m.options->logfilename->setText(QStringLiteral("chat.log"));
        m.options->logfilename->clear();
        m.writeLine(m.chat, QStringLiteral("Info:"), QStringLiteral("again"), navy);
        m.writeLine(m.chat, QStringLiteral("Info:"), QStringLiteral("and again"), navy);
        QCOMPARE(m.chat->lineCount(), 7);
        QApplication::processEvents();
        QVERIFY(f.dialogs.errors().isEmpty());
    }

    void failingChatLogShowsOneBox()
    {
        MainWindowFixture f(MainWindowFixture::defaultConf() +
                            QStringList{"logfilename=/dev/full", "keeplog=1"});
        Tmain &m = *f.main;
        // Every line fails to log, yet is shown; while the first box waits,
        // the same error queues no second one.
        for (int i = 0; i < 3; ++i)
            guarded(
                [&] { m.writeLine(m.chat, QStringLiteral("Info:"), QStringLiteral("x"), navy); });
        QCOMPARE(m.chat->lineCount(), 3);
        QTRY_COMPARE(f.dialogs.errors(), QStringList({"Disk full."}));
        QCOMPARE(f.dialogs.asked.last().title, QStringLiteral("Tressel"));
    }

    void pauseHoldsAndReplays()
    {
        MainWindowFixture f(withTimestamps({"logfilename=chat.log", "keeplog=1"}));
        Tmain &m = *f.main;
        m.PauseChatClick();
        QCOMPARE(m.menus.PauseChat->text(), QStringLiteral("&Unpause Chat"));
        QCOMPARE(MainWindowFixture::lines(m.chat),
                 QStringList("[2:05:09 PM] Console: Chat Paused."));
        m.writeLine(m.chat, QStringLiteral("<bob>"), QStringLiteral("one"), red);
        m.writeLine(m.whisper, QStringLiteral("<From: bob> "), QStringLiteral("two"), purple);
        m.writeLine(m.chat, QStringLiteral("<eve>"), QStringLiteral("three"), red);
        QCOMPARE(m.chat->lineCount(), 1);
        QCOMPARE(m.whisper->lineCount(), 0);
        // Raw lines are not held.
        m.whisper->appendPlainLine(QStringLiteral("1005 raw"));
        QCOMPARE(m.whisper->lineCount(), 1);

        f.setNow(f.now().addSecs(65));
        m.PauseChatClick();
        QCOMPARE(m.menus.PauseChat->text(), QStringLiteral("Pa&use Chat"));
        QCOMPARE(m.windowTitle(), QStringLiteral("Tressel [1.5]"));
        QCOMPARE(MainWindowFixture::lines(m.chat),
                 QStringList({"[2:05:09 PM] Console: Chat Paused.",
                              "[2:06:14 PM] Console: Chat Unpaused.", "[2:06:14 PM] <bob> one",
                              "[2:06:14 PM] <eve> three"}));
        QCOMPARE(MainWindowFixture::lines(m.whisper),
                 QStringList({"1005 raw", " <From: bob>  two"}));
        // Held lines were logged when they were shown, not before.
        QCOMPARE(MainWindowFixture::readFile(f.path("chat.log")).split('\n').mid(2).join('\n'),
                 QByteArray("[2:05:09 PM] Console: Chat Paused.\r\n"
                            "[2:06:14 PM] Console: Chat Unpaused.\r\n"
                            "[2:06:14 PM] <bob> one\r\n"
                            " <From: bob>  two\r\n"
                            "[2:06:14 PM] <eve> three\r\n"));
        // Colours survive the hold.
        QCOMPARE(colourRuns(m.chat, 2)[1].second, red);
    }

    void fullPauseBufferLosesNothing()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.PauseChatClick();
        for (int i = 1; i <= 201; ++i)
            m.writeLine(m.chat, QStringLiteral("<bob>"), QString::number(i), red);
        QVERIFY(!m.envVars.chatPaused);
        QCOMPARE(m.menus.PauseChat->text(), QStringLiteral("Pa&use Chat"));
        const QStringList shown = MainWindowFixture::lines(m.chat);
        QCOMPARE(shown.size(), 1 + 1 + 201);
        QCOMPARE(shown[1], QStringLiteral(" Console: Chat Unpaused."));
        for (int i = 1; i <= 201; ++i)
            QCOMPARE(shown[1 + i], QStringLiteral(" <bob> ") + QString::number(i));
    }

    void saveAs()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.writeLine(m.chat, QStringLiteral("<bob>"), QStringLiteral("one"), red);
        m.writeLine(m.chat, QStringLiteral("<bob>"), QStringLiteral("two"), red);
        const QString dir = QDir::currentPath();
        f.dialogs.saveAnswers.enqueue(f.path("saved.txt"));
        m.SaveAs1Click();
        QCOMPARE(MainWindowFixture::readFile(f.path("saved.txt")),
                 QByteArray(" <bob> one\r\n <bob> two\r\n"));
        QCOMPARE(MainWindowFixture::lines(m.chat).last(),
                 QStringLiteral(" Console:  ") + f.path("saved.txt") + QStringLiteral(" saved."));
        QCOMPARE(QDir::currentPath(), dir);

        m.SaveAs1Click(); // cancelled
        QCOMPARE(MainWindowFixture::lines(m.chat).last(),
                 QStringLiteral(" Error:  Couldn't save file!"));
        QCOMPARE(m.chat->colourAt(m.chat->lineCount() - 1, 1), red);
    }

    void saveAsIntoAMissingFolderIsAnError()
    {
        MainWindowFixture f;
        f.dialogs.saveAnswers.enqueue(f.path("no/such/dir/x.txt"));
        guarded([&] { f.main->SaveAs1Click(); });
        QTRY_COMPARE(f.dialogs.errors().size(), 1);
        QVERIFY(!f.dialogs.errors().first().isEmpty());
    }

    void paneMenus()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.writeLine(m.chat, QStringLiteral("<bob>"), QStringLiteral("copy me"), red);
        m.SelectAll1Click();
        m.Copy1Click();
        QCOMPARE(QApplication::clipboard()->text(), QStringLiteral(" <bob> copy me"));
        m.chatClearClick();
        QCOMPARE(m.chat->lineCount(), 0);

        m.options->text_colour->selectName(QStringLiteral("Olive"));
        m.dispRawClick();
        QVERIFY(m.menus.dispRaw->isChecked() && !m.menus.dispWhisper->isChecked());
        QCOMPARE(m.whisper->defaultTextColour(), QColor(128, 128, 0));
        m.dispWhisperClick();
        QVERIFY(!m.menus.dispRaw->isChecked() && m.menus.dispWhisper->isChecked());
        QCOMPARE(m.whisper->defaultTextColour(), m.options->whisp_colour->selected());
        m.whisper->appendPlainLine(QStringLiteral("x"));
        m.whisperClearClick();
        QCOMPARE(m.whisper->lineCount(), 0);
    }
};

QTEST_MAIN(TestMainWindowTranscript)
#include "test_mainwindow_transcript.moc"
