// The gateway's channel model on its own: who is where, who sees and hears
// whom, and the lines each client gets for joins, leaves and flags.
#include "channelmodel.h"
#include "support/datarows.h"

#include <QtTest>
#include <memory>

using Lines = QList<QByteArray>;
using Member = ChannelModel::Member;

class GatewayChannels : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void validNames_data();
    void validNames();
    void namesInAnyCase();
    void joinLines();
    void simulatedMembersGetNoLines();
    void moveLeavesTheOldChannel();
    void leaveLines();
    void emptyChannelIsGone();
    void removeLeavesFirst();
    void flagChanges();
    void squelchIsTheViewers();
    void unsquelch();

private:
    // The lines each client got since the last take, by name.
    Lines take(const Member *m) { return got.take(m->name); }

    std::unique_ptr<ChannelModel> model;
    QHash<QByteArray, Lines> got;
};

void GatewayChannels::init()
{
    model = std::make_unique<ChannelModel>();
    got.clear();
    model->send = [this](const Member *to, const QByteArray &line) {
        QVERIFY(to->client);
        got[to->name] << line;
    };
}

void GatewayChannels::cleanup() { model.reset(); }

void GatewayChannels::validNames_data()
{
    columns<QByteArray, bool>("name", "valid");
    QTest::newRow("plain") << QByteArray("alice") << true;
    QTest::newRow("decorated") << QByteArray("[x]Vex_(2)") << true;
    QTest::newRow("high bytes") << QByteArray("d\xe9j\xe0") << true;
    QTest::newRow("31 bytes") << QByteArray(31, 'a') << true;
    QTest::newRow("32 bytes") << QByteArray(32, 'a') << false;
    QTest::newRow("empty") << QByteArray() << false;
    QTest::newRow("space") << QByteArray("a b") << false;
    QTest::newRow("quote") << QByteArray("a\"b") << false;
    QTest::newRow("control") << QByteArray("a\tb") << false;
    QTest::newRow("delete") << QByteArray("a\x7f") << false;
}

void GatewayChannels::validNames()
{
    QFETCH(QByteArray, name);
    QFETCH(bool, valid);
    QCOMPARE(ChannelModel::validName(name), valid);
}

void GatewayChannels::namesInAnyCase()
{
    Member *a = model->add("Alice", "CHAT", 0x10, true);
    QCOMPARE(model->find("aLICE"), a);
    QCOMPARE(model->find("bob"), nullptr);
    model->enter(a, "Moderated Support");
    // The channel keeps the spelling of the one who opened it.
    Member *b = model->add("bob", "STAR", 0, true);
    model->enter(b, "moderated SUPPORT");
    QCOMPARE(b->channel, QByteArray("moderated support"));
    QCOMPARE(model->channelName(b), QByteArray("Moderated Support"));
    QVERIFY(model->channel("MODERATED support"));
    QCOMPARE(model->channel("moderated support")->members, (QList<Member *>{a, b}));
    QCOMPARE(model->channelCount(), 1);
    QCOMPARE(model->memberCount(), 2);
}

void GatewayChannels::joinLines()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    Member *s = model->add("Sim", "STAR", 0x02, false);
    Member *b = model->add("bob", "W2BN", 0x00, true);
    model->enter(a, "Chat");
    QCOMPARE(take(a), (Lines{"1007 CHANNEL \"Chat\"", "1001 USER alice 0010 [CHAT]"}));
    model->enter(s, "Chat");
    QCOMPARE(take(a), Lines{"1002 JOIN Sim 0002 [STAR]"});
    model->enter(b, "chat");
    QCOMPARE(take(a), Lines{"1002 JOIN bob 0000 [W2BN]"});
    // The newcomer first, then the others from the latest arrival back.
    QCOMPARE(take(b), (Lines{"1007 CHANNEL \"Chat\"", "1001 USER bob 0000 [W2BN]",
                             "1001 USER Sim 0002 [STAR]", "1001 USER alice 0010 [CHAT]"}));
}

void GatewayChannels::simulatedMembersGetNoLines()
{
    Member *s = model->add("Sim", "STAR", 0, false);
    Member *t = model->add("Tim", "STAR", 0, false);
    model->enter(s, "Chat");
    model->enter(t, "Chat");
    model->setFlags(s, 0x04);
    model->leave(t);
    QVERIFY(got.isEmpty());
}

void GatewayChannels::moveLeavesTheOldChannel()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    Member *b = model->add("bob", "CHAT", 0x10, true);
    model->enter(a, "Chat");
    model->enter(b, "Chat");
    got.clear();
    model->enter(b, "Op Tressel");
    QCOMPARE(take(a), Lines{"1003 LEAVE bob 0010"});
    QCOMPARE(take(b), (Lines{"1007 CHANNEL \"Op Tressel\"", "1001 USER bob 0010 [CHAT]"}));
    QCOMPARE(model->channel("Chat")->members, QList<Member *>{a});
    QCOMPARE(model->channelCount(), 2);
}

void GatewayChannels::leaveLines()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    Member *b = model->add("bob", "CHAT", 0x10, true);
    Member *c = model->add("carol", "CHAT", 0x10, true);
    for (Member *m : {a, b, c})
        model->enter(m, "Chat");
    model->squelch(a, b);
    got.clear();
    model->leave(b);
    // Each sees the leave with the flags it sees.
    QCOMPARE(take(a), Lines{"1003 LEAVE bob 0030"});
    QCOMPARE(take(c), Lines{"1003 LEAVE bob 0010"});
    QCOMPARE(take(b), Lines{});
    QVERIFY(b->channel.isEmpty());
    QCOMPARE(model->channelName(b), QByteArray());
    // Leaving twice says nothing more.
    model->leave(b);
    QVERIFY(got.isEmpty());
}

void GatewayChannels::emptyChannelIsGone()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    model->enter(a, "Backstage");
    QCOMPARE(model->channelCount(), 1);
    model->enter(a, "Chat");
    QCOMPARE(model->channel("Backstage"), nullptr);
    QCOMPARE(model->channelCount(), 1);
    model->leave(a);
    QCOMPARE(model->channelCount(), 0);
    // A channel opened again takes the new spelling.
    model->enter(a, "BACKSTAGE");
    QCOMPARE(model->channelName(a), QByteArray("BACKSTAGE"));
}

void GatewayChannels::removeLeavesFirst()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    Member *s = model->add("Sim", "STAR", 0x02, false);
    model->enter(a, "Chat");
    model->enter(s, "Chat");
    got.clear();
    model->remove(s);
    QCOMPARE(take(a), Lines{"1003 LEAVE Sim 0002"});
    QCOMPARE(model->find("sim"), nullptr);
    QCOMPARE(model->channel("Chat")->members, QList<Member *>{a});
    QCOMPARE(model->memberCount(), 1);
}

void GatewayChannels::flagChanges()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    Member *b = model->add("bob", "CHAT", 0x10, true);
    Member *c = model->add("carol", "CHAT", 0x10, true);
    model->enter(a, "Chat");
    model->enter(b, "Chat");
    model->enter(c, "Elsewhere");
    model->squelch(a, b);
    got.clear();
    model->setFlags(b, 0x02);
    QCOMPARE(b->flags, quint16(0x02));
    // Everyone in the channel, bob too, and no one outside it.
    QCOMPARE(take(a), Lines{"1009 USER bob 0022"});
    QCOMPARE(take(b), Lines{"1009 USER bob 0002"});
    QCOMPARE(take(c), Lines{});
    // A member in no channel changes its flags quietly.
    model->leave(c);
    model->setFlags(c, 0x01);
    QVERIFY(got.isEmpty());
}

void GatewayChannels::squelchIsTheViewers()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    Member *b = model->add("Bob", "CHAT", 0x10, true);
    Member *s = model->add("Sim", "STAR", 0x00, false);
    QVERIFY(model->hears(a, b));
    QVERIFY(!model->hears(a, a));
    model->squelch(a, b);
    QCOMPARE(a->squelched, QSet<QByteArray>{"bob"});
    QVERIFY(!model->hears(a, b));
    QVERIFY(model->hears(b, a));
    QVERIFY(model->hears(s, b));
    QCOMPARE(model->flagsSeenBy(a, b), quint16(0x30));
    QCOMPARE(model->flagsText(a, b), QByteArray("0030"));
    QCOMPARE(model->flagsText(b, b), QByteArray("0010"));
    QCOMPARE(model->flagsText(s, b), QByteArray("0010"));
    // The mark goes on flags that have the bit already, and shows once.
    model->setFlags(b, 0x20);
    QCOMPARE(model->flagsText(a, b), QByteArray("0020"));
    QVERIFY(got.isEmpty()); // neither is in a channel
    model->showFlags(a, b);
    QCOMPARE(take(a), Lines{"1009 USER Bob 0020"});
}

void GatewayChannels::unsquelch()
{
    Member *a = model->add("alice", "CHAT", 0x10, true);
    Member *b = model->add("bob", "CHAT", 0x10, true);
    QVERIFY(!model->unsquelch(a, b));
    model->squelch(a, b);
    model->squelch(a, b);
    QVERIFY(model->unsquelch(a, b));
    QVERIFY(model->hears(a, b));
    QCOMPARE(model->flagsText(a, b), QByteArray("0010"));
    QVERIFY(!model->unsquelch(a, b));
}

QTEST_GUILESS_MAIN(GatewayChannels)
#include "gw_channels.moc"
