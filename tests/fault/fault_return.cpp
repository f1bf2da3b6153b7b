// A server restart on a real network, seen in the main window: the gateway
// in its namespace is killed and started again three seconds later. The
// client reconnects by itself, goes back to the channel it was in (not the
// home channel), tells the server it is away again, and the member who was
// there before the restart is gone from its list. The waits run in real
// time (the kernel's links and the schedule's first wait).
#include "faulttrial.h"
#include "mainwindow/Tmain.h"
#include "preferences/Toptions.h"
#include "support/connectedwindow.h"
#include "support/mainwindowfixture.h"

#include <QCheckBox>
#include <QElapsedTimer>
#include <QTimer>

namespace {
// Back in the channel with the away state restored, within this.
constexpr int promisedBackMs = 10000;
const QString awayTold = QStringLiteral(" Info: You are now marked as being away.");
} // namespace

class TestFaultReturn : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void restartedGatewayTakesUsBack()
    {
        FaultNet net;
        NEED_NETWORK(net);
        MainWindowFixture f({QStringLiteral("username=alice"), QStringLiteral("password=pw"),
                             QStringLiteral("server=") + net.serverAddress(),
                             QStringLiteral("homechannel=Home"),
                             QStringLiteral("awaymessage=gone fishing")});
        Tmain &m = *f.main;
        m.options->autoReconnect->setChecked(true);
        Observer bob;
        QVERIFY(bob.logIn(net, "bob", "Busy"));
        QVERIFY(connectToGateway(m, 6112));
        QVERIFY(tickUntilChatShows(m, QStringLiteral(" Info: Joined Channel Home")) >= 0);
        m.sendtext(QStringLiteral("/join Busy"));
        QVERIFY(tickUntilChatShows(m, QStringLiteral(" Info: Joined Channel Busy")) >= 0);
        QTRY_VERIFY_WITH_TIMEOUT((m.flushUsers(), m.session->userTable.lastIndexOf("bob") > 0),
                                 10000);
        m.AwayClick();
        QVERIFY(tickUntilChatShows(m, awayTold) >= 0);

        const int before = m.chat->lineCount();
        QElapsedTimer clock;
        clock.start();
        net.stopServer(); // bob goes with it, and does not come back
        bool restarted = false;
        // The server is away for three seconds of the world's time.
        QTimer::singleShot(3000, [&] { restarted = net.startServer(); });
        const int back =
            tickUntilChatShows(m, QStringLiteral(" Info: Joined Channel Busy"), before, 30000);
        QVERIFY(back >= 0);
        QVERIFY(tickUntilChatShows(m, awayTold, back) >= 0);
        const qint64 took = clock.elapsed();
        qInfo("back in the channel, away again, %.1f s after the restart began", took / 1000.0);
        QVERIFY2(restarted, qPrintable(net.error()));
        QVERIFY2(took < promisedBackMs, qPrintable(QString::number(took)));
        const QStringList after = MainWindowFixture::lines(m.chat).mid(before);
        QVERIFY2(after.contains(QStringLiteral(" Console: Disconnected.")),
                 qPrintable(after.join(QLatin1Char('\n'))));
        QVERIFY(after.filter(QStringLiteral("Joined Channel Home")).isEmpty());
        QVERIFY(m.envVars.isAway);
        QTRY_VERIFY_WITH_TIMEOUT((m.flushUsers(), m.session->userTable.lastIndexOf("alice") > 0),
                                 10000);
        QCOMPARE(m.session->userTable.lastIndexOf("bob"), 0);

        // The server has alice away, with the message Away sent.
        Observer carol;
        QVERIFY(carol.logIn(net, "carol", "Chat"));
        carol.socket.write("/m alice are you there?\r");
        QVERIFY2(carol.waitFor("alice is away (gone fishing)"), carol.got.constData());
    }
};

QTEST_MAIN(TestFaultReturn)
#include "fault_return.moc"
