// The window's lines in the history: every line the transcript shows and
// every whisper with its kind and sender, the lines the squelch list,
// lamer mode and the ~playsound filter hide kept and marked hidden, held
// lines kept once, nothing while the setting is off, and the store's
// faults written to the transcript.
#include "history/historystore.h"
#include "support/mainwindowfixture.h"

#include "preferences/Toptions.h"

#include <QAction>
#include <QCheckBox>
#include <QSqlDatabase>
#include <QSqlQuery>
#include <QtTest>

using THistory::Kind;

namespace {

struct Kept {
    Kind kind;
    QString sender;
    QString text;
    bool hidden;
    bool operator==(const Kept &o) const
    {
        return kind == o.kind && sender == o.sender && text == o.text && hidden == o.hidden;
    }
};

char *toString(const Kept &k)
{
    return QTest::toString(QStringLiteral("%1 %2 '%3'%4")
                               .arg(THistory::kindName(int(k.kind)), k.sender, k.text,
                                    k.hidden ? QStringLiteral(" hidden") : QString()));
}

// Everything the history holds, oldest first.
QList<Kept> kept(Tmain &m)
{
    m.historyStore()->flush();
    THistory::Query q;
    q.includeHidden = true;
    q.limit = 1000;
    QList<Kept> out;
    for (const THistory::Line &l : m.historyStore()->search(q).lines)
        out.prepend({l.kind, l.sender, l.text, l.hidden});
    return out;
}

} // namespace

class TestHistoryWindow : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void shownLinesAreKeptWithKindAndSender()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.options->notifications->setChecked(true); // joins and leaves shown
        m.processChannel(QStringLiteral("Op Tressel"));
        m.processJoin(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        m.processTalk(QStringLiteral("bob"), QStringLiteral("caf\xc3\xa9 anyone?"));
        m.processEmote(QStringLiteral("bob"), QStringLiteral("waves"));
        m.processWhisper(QStringLiteral("carol"), QStringLiteral("psst"));
        m.processWhisperSent(QStringLiteral("carol"), QStringLiteral("hi"));
        m.dispRawClick();
        m.processWhisper(QStringLiteral("carol"), QStringLiteral("raw mode"));
        m.processInfo(QStringLiteral("Welcome"));
        m.processBroadcast(QStringLiteral("Going down"));
        m.processError(QStringLiteral("No such user"));
        m.processLeave(QStringLiteral("bob"), QStringLiteral("0010"), QStringLiteral("CHAT"));
        const QList<Kept> want = {
            {Kind::Info, "", "Joined Channel Op Tressel", false},
            {Kind::Join, "bob", "bob joined the channel.", false},
            {Kind::Talk, "bob", "café anyone?", false},
            {Kind::Emote, "bob", "waves", false},
            {Kind::WhisperReceived, "carol", "psst", false},
            {Kind::WhisperSent, "carol", "hi", false},
            {Kind::WhisperReceived, "carol", "raw mode", false},
            {Kind::Info, "", "Welcome", false},
            {Kind::Broadcast, "", "Going down", false},
            {Kind::Error, "", "No such user", false},
            {Kind::Leave, "bob", "bob left the channel.", false},
        };
        QCOMPARE(kept(m), want);
        THistory::Query q;
        q.match = QStringLiteral("anyone");
        const THistory::Line talk = m.historyStore()->search(q).lines.value(0);
        QCOMPARE(talk.raw, QByteArray("caf\xc3\xa9 anyone?"));
        QCOMPARE(talk.channel, QStringLiteral("Op Tressel"));
        QCOMPARE(talk.account, QStringLiteral("alice"));
        QCOMPARE(talk.timeMs, f.now().toMSecsSinceEpoch());
    }

    void hiddenLinesAreKeptMarked()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.squelchuser(QStringLiteral("spammer"), QStringLiteral("Manual"), 18);
        const int shown = f.chatLines().size();
        m.processTalk(QStringLiteral("spammer"), QStringLiteral("buy gold"));
        m.processEmote(QStringLiteral("spammer"), QStringLiteral("dances"));
        m.processWhisper(QStringLiteral("spammer"), QStringLiteral("psst gold"));
        m.options->suppressplaysound->setChecked(true);
        m.processTalk(QStringLiteral("bob"), QStringLiteral("~playsound horn.wav"));
        m.lamermodeClick();
        m.processTalk(QStringLiteral("stranger"), QStringLiteral("hello?"));
        m.processEmote(QStringLiteral("stranger"), QStringLiteral("knocks"));
        QCOMPARE(f.chatLines().size(), shown); // none of them shown
        QList<Kept> all = kept(m);
        all = all.mid(all.size() - 6);
        const QList<Kept> want = {
            {Kind::Talk, "spammer", "buy gold", true},
            {Kind::Emote, "spammer", "dances", true},
            {Kind::WhisperReceived, "spammer", "psst gold", true},
            {Kind::Talk, "bob", "~playsound horn.wav", true},
            {Kind::Talk, "stranger", "hello?", true},
            {Kind::Emote, "stranger", "knocks", true},
        };
        QCOMPARE(all, want);
        // A search leaves them out unless asked.
        THistory::Query q;
        q.member = QStringLiteral("spammer");
        QVERIFY(m.historyStore()->search(q).lines.isEmpty());
    }

    void heldLinesAreKeptOnceWhenTheyCome()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        m.PauseChatClick();
        const qint64 came = f.now().toMSecsSinceEpoch();
        m.processTalk(QStringLiteral("bob"), QStringLiteral("while paused"));
        f.setNow(f.now().addSecs(60));
        m.PauseChatClick();
        THistory::Query q;
        q.match = QStringLiteral("\"while paused\"");
        const THistory::Page page = (m.historyStore()->flush(), m.historyStore()->search(q));
        QCOMPARE(page.lines.size(), 1);
        QCOMPARE(page.lines.first().timeMs, came);
        QVERIFY(f.chatLines().last().endsWith(QLatin1String("<bob> while paused")));
    }

    void nothingIsKeptWhileTheSettingIsOff()
    {
        MainWindowFixture f;
        Tmain &m = *f.main;
        const int before = kept(m).size();
        m.options->keepHistory->setChecked(false);
        m.processTalk(QStringLiteral("bob"), QStringLiteral("not kept"));
        QCOMPARE(kept(m).size(), before);
        m.options->keepHistory->setChecked(true);
        m.processTalk(QStringLiteral("bob"), QStringLiteral("kept"));
        QCOMPARE(kept(m).size(), before + 1);
    }

    void aNewerHistoryIsReportedAndLeftAlone()
    {
        // A history from a newer program, made here.
        QTemporaryDir dir;
        const QString made = dir.filePath(QStringLiteral("history.db"));
        {
            THistoryStore store(made);
            store.start();
            QVERIFY(store.waitOpen());
        }
        {
            QSqlDatabase db = QSqlDatabase::addDatabase(QStringLiteral("QSQLITE"), "newer");
            db.setDatabaseName(made);
            QVERIFY(db.open());
            QSqlQuery(db).exec(QStringLiteral("PRAGMA user_version=7"));
            db.close();
        }
        QSqlDatabase::removeDatabase(QStringLiteral("newer"));
        const QByteArray bytes = MainWindowFixture::readFile(made);
        MainWindowFixture f(MainWindowFixture::defaultConf(), MainWindowFixture::defaultNow(),
                            {{QStringLiteral("history.db"), bytes}});
        QTRY_VERIFY(f.chatLines().join('\n').contains(
            QLatin1String("Warning: History is off: history.db is left as it is, since it was "
                          "written by a newer Tressel (schema 7; this one knows up to 1).")));
        f.main->processTalk(QStringLiteral("bob"), QStringLiteral("goes on"));
        QVERIFY(f.chatLines().last().endsWith(QLatin1String("<bob> goes on")));
        QCOMPARE(MainWindowFixture::readFile(f.path(QStringLiteral("history.db"))), bytes);
    }
};

QTEST_MAIN(TestHistoryWindow)
#include "test_history_window.moc"
