// The autosquelch and the product actions end to end: a real main window
// logged in to the local gateway, members driven from the gateway's console.
#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "session/TSession.h"
#include "support/connectedwindow.h"
#include "support/gatewayprocess.h"
#include "support/scripteddialogs.h"

#include <QDir>
#include <QFile>
#include <QListWidget>
#include <QLocale>
#include <QTemporaryDir>
#include <QtTest>
#include <memory>

namespace {
class Session {
public:
    explicit Session(const QStringList &conf) : m_oldDir(QDir::currentPath())
    {
        QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
        setClock([] { return QDateTime(QDate(2026, 12, 8), QTime(20, 0, 0)); });
        QDir::setCurrent(m_dir.path());
        QFile f(QStringLiteral("tressel.conf"));
        if (f.open(QIODevice::WriteOnly))
            f.write((QStringList{QStringLiteral("username=alice"), QStringLiteral("password=pw"),
                                 QStringLiteral("server=127.0.0.1"),
                                 QStringLiteral("homechannel=Chat")} +
                     conf)
                        .join(QStringLiteral("\r\n"))
                        .toLatin1() +
                    "\r\n");
        f.close();
        main = std::make_unique<Tmain>();
        main->terminate = [] {};
        main->notifyDesktop = nullptr;
    }
    ~Session()
    {
        main.reset();
        setClock(nullptr);
        QDir::setCurrent(m_oldDir);
    }
    bool logIn()
    {
        if (!connectToGateway(*main, gateway.port()))
            return false;
        return tickPacingUntil(
            *main, [this] { return chatContains(QStringLiteral("Joined Channel Chat")); });
    }
    bool chatContains(const QString &part) const { return chatCount(part) > 0; }
    int chatCount(const QString &part) const
    {
        int n = 0;
        for (int i = 0; i < main->chat->lineCount(); ++i)
            if (main->chat->lineText(i).contains(part))
                ++n;
        return n;
    }
    // Lets out every line the pacing holds.
    void tick()
    {
        TBnetChat *pacing = main->session->process;
        QVERIFY(tickPacingUntil(*main, [pacing] { return pacing->queuedCount() == 0; }));
    }
    // Waits until the window has handled all the gateway sent so far: a
    // broadcast sent after it has reached the chat pane.
    bool settled()
    {
        static int probes = 0;
        const QString probe = QStringLiteral("probe %1").arg(++probes);
        gateway.command(QStringLiteral("broadcast ") + probe);
        return tickPacingUntil(*main, [&] { return chatContains(probe); });
    }
    static QByteArray readFile(const QString &name)
    {
        QFile f(name);
        return f.open(QIODevice::ReadOnly) ? f.readAll() : QByteArray();
    }

    ScriptedDialogs dialogs;
    GatewayProcess gateway{{QStringLiteral("--no-flood-quota")}};
    std::unique_ptr<Tmain> main;

private:
    QString m_oldDir;
    QTemporaryDir m_dir;
};
} // namespace

class TestAutosquelchGateway : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void floodPermasquelched()
    {
        Session s({QStringLiteral("squelchFlooders=1"), QStringLiteral("autoAction=0")});
        QVERIFY2(s.logIn(), qPrintable(s.gateway.errorText()));
        s.gateway.command(QStringLiteral("join bob SEXP 0010"));
        QTRY_VERIFY(s.main->session->getUserID(QStringLiteral("bob")) > 0);
        for (int i = 0; i < 3; ++i)
            s.gateway.command(QStringLiteral("say bob buy my stuff"));
        QTRY_VERIFY(s.chatContains(QStringLiteral("bob was permasquelched (Flooding)")));
        QCOMPARE(s.chatCount(QStringLiteral("<bob> buy my stuff")), 3);
        QCOMPARE(Session::readFile(QStringLiteral("brx.conf")), QByteArray("SEXPbob\r\n"));
        // Later lines are hidden and not acted on again.
        s.gateway.command(QStringLiteral("say bob buy my stuff"));
        QVERIFY(s.settled());
        QCOMPARE(s.chatCount(QStringLiteral("<bob> buy my stuff")), 3);
        QCOMPARE(s.chatCount(QStringLiteral("was permasquelched")), 1);
    }

    void triggerIgnoredAtTheGateway()
    {
        Session s({QStringLiteral("autoAction=1"), QStringLiteral("squelchPrompt=1"),
                   QStringLiteral("triggerPhrase=(?i)free gold")});
        s.dialogs.confirmAnswers.enqueue(true);
        QVERIFY2(s.logIn(), qPrintable(s.gateway.errorText()));
        s.gateway.command(QStringLiteral("join bob STAR 0010"));
        QTRY_VERIFY(s.main->session->getUserID(QStringLiteral("bob")) > 0);
        s.gateway.command(QStringLiteral("say bob FREE GOLD here"));
        QTRY_COMPARE(s.dialogs.texts(QStringLiteral("confirm")),
                     QStringList{QStringLiteral("Autosquelch bob? (Trigger Phrase)")});
        s.tick();
        // The gateway's answer to "/squelch bob".
        QTRY_VERIFY(s.chatContains(QStringLiteral("bob has been squelched.")));
        QCOMPARE(s.main->brx->count(), 0);
        // The gateway now keeps bob's lines away.
        s.gateway.command(QStringLiteral("say bob FREE GOLD again"));
        QVERIFY(s.settled());
        QCOMPARE(s.chatCount(QStringLiteral("FREE GOLD again")), 0);
    }

    void productActionWhois()
    {
        Session s({QStringLiteral("action_starcraft=3"), QStringLiteral("action_bot=1")});
        QVERIFY2(s.logIn(), qPrintable(s.gateway.errorText()));
        s.gateway.command(QStringLiteral("join bob JSTR 0010"));
        s.tick();
        QTRY_VERIFY(s.chatContains(QStringLiteral("bob is using")));
        s.gateway.command(QStringLiteral("join carl D2XP 0010"));
        s.gateway.command(QStringLiteral("join dora CHAT 0010"));
        QTRY_VERIFY(
            s.chatContains(QStringLiteral("dora was permasquelched (Manually Permasquelched)")));
        s.tick();
        // A real socket must move: an action on carl would be a line out and
        // an answer back from the gateway, so they get a bounded while.
        QTest::qWait(200);
        QCOMPARE(s.chatCount(QStringLiteral("carl is using")), 0);
        QCOMPARE(s.chatCount(QStringLiteral(" is using")), 1);
        QCOMPARE(Session::readFile(QStringLiteral("brx.conf")), QByteArray("CHATdora\r\n"));
    }
};

QTEST_MAIN(TestAutosquelchGateway)
#include "test_autosquelch_gateway.moc"
