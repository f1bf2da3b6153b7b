// A server that floods: 100,000 talk lines as fast as the client takes them.
// Every one is shown, and the window is still usable afterwards.
#include "hostilehelpers.h"

class TestHostileFlood : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void flood();
};

void TestHostileFlood::flood()
{
    // 100,000 talk lines as fast as the client takes them.
    GatewayProcess gateway({"--no-flood-quota", "--burst", "100000"});
    QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
    MainWindowFixture f(conf({"squelchFlooders=1", "squelchUc=1"}));
    Tmain &m = *f.main;
    QVERIFY(connectTo(m, gateway.port()));
    QVERIFY(chatHas(
        m, [](const QString &l) { return l.contains(QLatin1String("> Line 99999 ")); }, 0, 240000));
    int talk = 0;
    for (const QString &l : f.lines(m.chat))
        talk += l.contains(QLatin1String("> Line ")) ? 1 : 0;
    QCOMPARE(talk, 100000);
    checkUsable(m, gateway.port());
}

QTEST_MAIN(TestHostileFlood)
#include "test_hostile_flood.moc"
