// The gateway on the wire: raw sockets against an in-process server, and
// once through the real program.
#include "chatters.h"
#include "gatewayserver.h"
#include "support/datarows.h"
#include "support/gatewayprocess.h"
#include "support/waits.h"

#include <QRegularExpression>
#include <QTcpSocket>
#include <QTemporaryFile>
#include <QtTest>
#include <memory>

namespace {

const QByteArray Banner = "BOT or Telnet Connection from [127.0.0.1]\r\n"
                          "\r\n"
                          "Enter your account name and password.\r\n"
                          "Sorry, there is no guest account.\r\n"
                          "\r\n"
                          "Username: ";
namespace Gateway {
// The real server's keep-alive line, byte for byte.
const QByteArray Keepalive = "2000 NULL\r\n";
} // namespace Gateway
const QByteArray Topic =
    "1018 INFO \"Chat topic: This is the public chat channel. Feel free to chat...\"\r\n";

// Bytes all raw clients of a test have written, to compare with what the
// in-process gateway has read.
qint64 bytesSent = 0;

// A raw client that keeps everything it received.
class RawClient {
public:
    explicit RawClient(quint16 port)
    {
        QObject::connect(&socket, &QTcpSocket::readyRead, [this] { got += socket.readAll(); });
        socket.connectToHost(QHostAddress::LocalHost, port);
        socket.waitForConnected(5000);
    }
    void send(const QByteArray &bytes)
    {
        bytesSent += socket.write(bytes);
        socket.flush();
    }
    // Waits until the bytes have arrived; false after the timeout.
    bool waitFor(const QByteArray &bytes, int ms = 5000)
    {
        return waitUntil([&] { return got.contains(bytes); }, ms);
    }
    bool waitClosed(int ms = 5000)
    {
        return waitUntil([&] { return socket.state() == QAbstractSocket::UnconnectedState; }, ms);
    }
    QByteArray take()
    {
        QByteArray all = got;
        got.clear();
        return all;
    }
    QTcpSocket socket;
    QByteArray got;
};

QByteArray welcome(const QByteArray &name, int accounts, int users, int channels)
{
    const QByteArray u = QByteArray::number(users);
    return "1019 ERROR \"Hello " + name +
           ", welcome to PvPGN Realm!\"\r\n"
           "1018 INFO \"Running version PvPGN 1.99.7.2.1-PRO on vm.\"\r\n"
           "1018 INFO \"This server is hosted by a PvPGN user\"\r\n"
           "1018 INFO \"\"\r\n"
           "1018 INFO \"There are " +
           QByteArray::number(accounts) +
           " user accounts on this server.\"\r\n"
           "1018 INFO \"There are currently " +
           u +
           " users in 0 games of Chat,\"\r\n"
           "1018 INFO \"and " +
           u + " users playing 0 games and chatting in " + QByteArray::number(channels) +
           " channels.\"\r\n"
           "1018 INFO \"Having trouble with a command? Type /help to\"\r\n"
           "1018 INFO \"learn more about it.\"\r\n"
           "1018 INFO \"Type /language to switch translation.\"\r\n"
           "1018 INFO \"\"\r\n"
           "1005 TALK " +
           name + " 0010 \"You have no mail.\"\r\n" + Topic;
}

} // namespace

class GatewayWire : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void init();
    void cleanup();

    void loginExactBytes();
    void loginLineEnds_data();
    void loginLineEnds();
    void refusedLogin_data();
    void refusedLogin();
    void secondLoginOfSameName();
    void twoClients();
    void heldSessionAfterALinkDied();
    void keepaliveLines();
    void whisperCommands_data();
    void whisperCommands();
    void whisperEdges();
    void joinChannel();
    void refusedChannels_data();
    void refusedChannels();
    void squelch();
    void awayAndInfo();
    void commandAnswers_data();
    void commandAnswers();
    void aliasesAnswerAlike_data();
    void aliasesAnswerAlike();
    void quotaOneWrite();
    void quotaSpaced_data();
    void quotaSpaced();
    void lineLengths_data();
    void lineLengths();
    void consoleCommands();
    void consoleErrors_data();
    void consoleErrors();
    void garbageAndOverlongInput();
    void manyLinesAtOnce();
    void closeMidLogin();
    void chattersRepeatable();
    void talkOnlyChatters();
    void burstAndScript();
    void throughTheProgram();

private:
    void start(GatewayOptions o = {});
    std::unique_ptr<RawClient> login(const QByteArray &name, const QByteArray &password = "pw");
    // Everything a client has received after a marker line from a simulated
    // member reached it: so lines that should not come can be asserted absent.
    QByteArray settle(RawClient &w);

    std::unique_ptr<GatewayServer> server;
    qint64 now = 0;
    int markers = 0;
    bool roomyClock = true;
};

void GatewayWire::init()
{
    now = 100000;
    markers = 0;
    bytesSent = 0;
    roomyClock = true;
}

void GatewayWire::cleanup() { server.reset(); }

void GatewayWire::start(GatewayOptions o)
{
    o.port = 0;
    server = std::make_unique<GatewayServer>(o);
    server->clock = [this] { return now; };
    QString error;
    QVERIFY2(server->listen(&error), qPrintable(error));
}

std::unique_ptr<RawClient> GatewayWire::login(const QByteArray &name, const QByteArray &password)
{
    auto w = std::make_unique<RawClient>(server->port());
    w->send("\x03\x04" + name + '\r' + password + "\r\r");
    if (!w->waitFor(Topic))
        qWarning("login of %s did not complete: %s", name.constData(), w->got.constData());
    w->take();
    return w;
}

QByteArray GatewayWire::settle(RawClient &w)
{
    // The marker goes to every client once the gateway has read all that the
    // clients sent, so it comes after every answer to that.
    const QByteArray marker = "marker " + QByteArray::number(++markers);
    (void)waitUntil([&] { return server->bytesReceived() >= bytesSent; }, 5000);
    if (roomyClock)
        now +=
            FloodQuota::DefaultWindowSeconds * 1000; // tests not about the quota stay clear of it
    server->broadcast(marker);
    w.waitFor(marker);
    QByteArray all = w.take();
    const int at = all.indexOf("1006 _ \"" + marker);
    QByteArray before = at < 0 ? all : all.left(at);
    // Markers sent while settling other clients reach this one too.
    static const QRegularExpression earlier(QStringLiteral("1006 _ \"marker \\d+\"\r\n"));
    return QString::fromLatin1(before).remove(earlier).toLatin1();
}

void GatewayWire::loginExactBytes()
{
    start();
    RawClient w(server->port());
    w.send("\x03");
    QVERIFY(w.waitFor("Username: "));
    QCOMPARE(w.take(), Banner);
    w.send("\x04"
           "alice\rpw1\r\r");
    QVERIFY(w.waitFor(Topic));
    QCOMPARE(w.take(), "alice\r\nPassword: \r\n"
                       "2010 NAME alice\r\n"
                       "1007 CHANNEL \"Chat\"\r\n"
                       "1001 USER alice 0010 [CHAT]\r\n" +
                           welcome("alice", 1, 1, 1));
}

void GatewayWire::loginLineEnds_data()
{
    columns<QList<QByteArray>, QByteArray>("writes", "name");
    using W = QList<QByteArray>;
    QTest::newRow("cr") << W{"\x03\x04"
                             "alice\rpw1\r\r"}
                        << QByteArray("alice");
    QTest::newRow("crlf") << W{"\x03\x04"
                               "alice\r\npw1\r\n"}
                          << QByteArray("alice");
    QTest::newRow("lf") << W{"\x03\x04"
                             "alice\npw1\n"}
                        << QByteArray("alice");
    QTest::newRow("no 0x04") << W{"\x03"
                                  "alice\rpw1\r\r"}
                             << QByteArray("alice");
    QTest::newRow("separate writes") << W{"\x03\x04"
                                          "alice\r",
                                          "pw1\r"}
                                     << QByteArray("alice");
    QTest::newRow("empty password") << W{"\x03\x04"
                                         "a\r\r\r"}
                                    << QByteArray("a");
    QTest::newRow("noise before 0x03") << W{"GET / HTTP/1.0\r\n", "\x03\x04"
                                                                  "bob\rx\r"}
                                       << QByteArray("bob");
}

void GatewayWire::loginLineEnds()
{
    QFETCH(QList<QByteArray>, writes);
    QFETCH(QByteArray, name);
    start();
    RawClient w(server->port());
    for (const QByteArray &bytes : writes) {
        w.send(bytes);
        QTest::qWait(20); // each write arrives on its own (real time, on purpose)
    }
    QVERIFY(w.waitFor(Topic));
    QVERIFY2(w.got.startsWith(Banner + name + "\r\nPassword: "), w.got.constData());
    QVERIFY(w.got.contains("\r\n2010 NAME " + name + "\r\n1007 CHANNEL \"Chat\"\r\n1001 USER " +
                           name + " 0010 [CHAT]\r\n"));
}

void GatewayWire::refusedLogin_data()
{
    columns<QByteArray, QByteArray>("name", "password");
    QTest::newRow("wrong password") << QByteArray("alice") << QByteArray("WRONG");
    QTest::newRow("unknown account") << QByteArray("nosuch") << QByteArray("pw1");
    QTest::newRow("name with a quote") << QByteArray("al\"ice") << QByteArray("pw1");
}

void GatewayWire::refusedLogin()
{
    QFETCH(QByteArray, name);
    QFETCH(QByteArray, password);
    GatewayOptions o;
    o.accounts.insert("alice", "pw1");
    o.accounts.insert("bob", "pw2");
    start(o);
    RawClient w(server->port());
    w.send("\x03\x04" + name + '\r' + password + "\r\r");
    const QByteArray failed = "Login failed.\r\n\r\nUsername: ";
    QVERIFY(w.waitFor(failed));
    QCOMPARE(w.take(), Banner + name + "\r\nPassword: \r\n" + failed);
    // The same socket may try again; passwords ignore case, names keep theirs.
    w.send("ALICE\rPW1\r");
    QVERIFY(w.waitFor(Topic));
    QCOMPARE(w.take(), "ALICE\r\nPassword: \r\n2010 NAME ALICE\r\n1007 CHANNEL \"Chat\"\r\n"
                       "1001 USER ALICE 0010 [CHAT]\r\n" +
                           welcome("ALICE", 2, 1, 1));
}

void GatewayWire::secondLoginOfSameName()
{
    start();
    auto alice = login("alice");
    RawClient again(server->port());
    again.send("\x03\x04"
               "Alice\rpw\r\r");
    QVERIFY(again.waitFor("Login failed.\r\n\r\nUsername: "));
    QVERIFY(!again.got.contains("2010"));
    QCOMPARE(settle(*alice), QByteArray());
}

void GatewayWire::heldSessionAfterALinkDied()
{
    GatewayOptions o;
    o.holdSeconds = 60;
    start(o);
    roomyClock = false; // the hold is timed on the gateway's clock
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    // A clean close is no death: the name is free again at once.
    {
        auto carol = login("carol");
        carol->socket.disconnectFromHost();
        QVERIFY(carol->waitClosed());
    }
    QVERIFY(QTest::qWaitFor([&] { return !server->clientNames().contains("carol"); }, 5000));
    QVERIFY(server->heldNames().isEmpty());
    const auto carolAgain = login("carol");
    QVERIFY(server->clientNames().contains("carol"));

    QCOMPARE(server->consoleCommand("drop alice"), QString());
    QVERIFY(alice->waitClosed());
    QCOMPARE(server->heldNames(), QList<QByteArray>{"alice"});
    // Nobody is told: the server does not know yet that alice is gone.
    QVERIFY(!settle(*bob).contains("1003 LEAVE alice"));

    // While held, the account's login is refused as a wrong password is.
    RawClient again(server->port());
    again.send("\x03\x04"
               "alice\rpw\r\r");
    QVERIFY(again.waitFor("Login failed.\r\n\r\nUsername: "));
    QCOMPARE(again.take(), Banner + "alice\r\nPassword: \r\nLogin failed.\r\n\r\nUsername: ");
    now += 59000;
    again.send("alice\rpw\r\r");
    QVERIFY(again.waitFor("Login failed.\r\n\r\nUsername: "));
    QVERIFY(!again.got.contains("2010"));

    // Once the hold is over, the old member leaves and the login goes in.
    now += 1000;
    again.take();
    again.send("alice\rpw\r\r");
    QVERIFY(again.waitFor(Topic));
    QVERIFY(again.got.contains("2010 NAME alice\r\n"));
    QVERIFY(server->heldNames().isEmpty());
    const QByteArray seen = settle(*bob);
    QVERIFY2(seen.contains("1003 LEAVE alice 0010\r\n1002 JOIN alice 0010 [CHAT]\r\n"),
             seen.constData());
}

void GatewayWire::keepaliveLines()
{
    GatewayOptions o;
    o.keepaliveSeconds = 1;
    start(o);
    RawClient waiting(server->port()); // not logged in: no keep-alive for it
    waiting.send("\x03");
    QVERIFY(waiting.waitFor("Username: "));
    auto alice = login("alice");
    QElapsedTimer between;
    QVERIFY(alice->waitFor(Gateway::Keepalive, 3000));
    between.start();
    QCOMPARE(alice->take(), Gateway::Keepalive);
    QVERIFY(alice->waitFor(Gateway::Keepalive, 3000));
    QVERIFY2(between.elapsed() >= 900, qPrintable(QString::number(between.elapsed())));
    QCOMPARE(alice->take(), Gateway::Keepalive);
    QCOMPARE(waiting.take(), Banner);
}

void GatewayWire::twoClients()
{
    start();
    auto alice = login("alice");
    RawClient bob(server->port());
    bob.send("\x03\x04"
             "bob\rpw\r\r");
    QVERIFY(bob.waitFor(Topic));
    QVERIFY(bob.got.contains("2010 NAME bob\r\n1007 CHANNEL \"Chat\"\r\n"
                             "1001 USER bob 0010 [CHAT]\r\n1001 USER alice 0010 [CHAT]\r\n" +
                             welcome("bob", 2, 2, 1)));
    bob.take();
    QVERIFY(alice->waitFor("1002 JOIN bob 0010 [CHAT]\r\n"));
    QCOMPARE(alice->take(), "1002 JOIN bob 0010 [CHAT]\r\n");

    bob.send("he said \"hi\" \\o/ 100% <b>&amp;\r");
    QCOMPARE(settle(*alice), "1005 TALK bob 0010 \"he said \"hi\" \\o/ 100% <b>&amp;\"\r\n");
    QCOMPARE(settle(bob), QByteArray()); // talk is not echoed

    bob.send("latin1: h\xe9llo \xe2\x82\xac\r   \r");
    QCOMPARE(settle(*alice), "1005 TALK bob 0010 \"latin1: h\xe9llo \xe2\x82\xac\"\r\n"
                             "1005 TALK bob 0010 \"   \"\r\n");

    bob.send("/me waves\r/emote waves again\r");
    const QByteArray emotes = "1023 EMOTE bob 0010 \"waves\"\r\n"
                              "1023 EMOTE bob 0010 \"waves again\"\r\n";
    QCOMPARE(settle(*alice), emotes);
    QCOMPARE(settle(bob), emotes);

    bob.send("/me\r");
    QCOMPARE(settle(bob),
             "1018 INFO \"--------------------------------------------------------\"\r\n"
             "1019 ERROR \"/me <message> (alias: /emote)\"\r\n"
             "1018 INFO \"   Displays your name and <message> in a different color.\"\r\n"
             "1018 INFO \"   \"\r\n"
             "1018 INFO \"   Example: /emote wants to play a game.\"\r\n");

    bob.socket.disconnectFromHost();
    QVERIFY(alice->waitFor("1003 LEAVE bob 0010\r\n"));
    QCOMPARE(settle(*alice), "1003 LEAVE bob 0010\r\n");
}

void GatewayWire::whisperCommands_data()
{
    QTest::addColumn<QByteArray>("command");
    for (const char *c : {"/m", "/msg", "/w", "/whisper", "/M"})
        QTest::newRow(c) << QByteArray(c);
}

void GatewayWire::whisperCommands()
{
    QFETCH(QByteArray, command);
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    bob->send(command + " alice hi via " + command + '\r');
    QCOMPARE(settle(*alice), "1004 WHISPER bob 0010 \"hi via " + command + "\"\r\n");
    QCOMPARE(settle(*bob), "1010 WHISPER alice 0010 \"hi via " + command + "\"\r\n");
    // A reply goes back to the last whisperer.
    alice->send("/r back at you\r");
    QCOMPARE(settle(*bob), "1004 WHISPER alice 0010 \"back at you\"\r\n");
}

void GatewayWire::whisperEdges()
{
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    bob->send("/m nobody hi\r");
    QCOMPARE(settle(*bob), "1019 ERROR \"That user is not logged on.\"\r\n");
    bob->send("/m bob note to self\r");
    QCOMPARE(settle(*bob), "1010 WHISPER bob 0010 \"note to self\"\r\n"
                           "1004 WHISPER bob 0010 \"note to self\"\r\n");
    bob->send("/m alice\r");
    QVERIFY(settle(*bob).contains(
        "1019 ERROR \"/whisper <player> <message> (aliases: /w /m /msg)\"\r\n"));
    QCOMPARE(settle(*alice), QByteArray());
    server->simJoin("Zed", "STAR", 0x0002);
    QCOMPARE(settle(*bob), "1002 JOIN Zed 0002 [STAR]\r\n");
    bob->send("/w zed hello sim\r");
    QCOMPARE(settle(*bob), "1010 WHISPER Zed 0002 \"hello sim\"\r\n");
}

void GatewayWire::joinChannel()
{
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    alice->send("/join Test Room\r");
    QCOMPARE(settle(*alice), "1007 CHANNEL \"Test Room\"\r\n1001 USER alice 0010 [CHAT]\r\n");
    QCOMPARE(settle(*bob), "1003 LEAVE alice 0010\r\n");
    server->simJoin("Zed", "W2BN", 0);
    bob->send("/join test room\r"); // names match without regard to case
    QCOMPARE(settle(*alice), "1002 JOIN bob 0010 [CHAT]\r\n");
    QCOMPARE(settle(*bob), "1002 JOIN Zed 0000 [W2BN]\r\n1007 CHANNEL \"Test Room\"\r\n"
                           "1001 USER bob 0010 [CHAT]\r\n1001 USER alice 0010 [CHAT]\r\n");
    bob->send("/join Test Room\r"); // already there: nothing happens
    QCOMPARE(settle(*bob), QByteArray());
    alice->send("/join Chat\r");
    QCOMPARE(settle(*alice), "1007 CHANNEL \"Chat\"\r\n1001 USER alice 0010 [CHAT]\r\n"
                             "1001 USER Zed 0000 [W2BN]\r\n" +
                                 Topic);
    QCOMPARE(settle(*bob), "1003 LEAVE alice 0010\r\n");
    bob->send("/join " + QByteArray(32, 'x') + "\r/join\r");
    const QByteArray refused = settle(*bob);
    QVERIFY(
        refused.startsWith("1019 ERROR \"Max channel name length exceeded (max 31 symbols)\"\r\n"));
    QVERIFY(refused.contains("1019 ERROR \"/channel <channel> (alias: /join /j)\"\r\n"));
    bob->send("/rejoin\r");
    QCOMPARE(settle(*bob), "1007 CHANNEL \"Test Room\"\r\n1001 USER bob 0010 [CHAT]\r\n");
}

void GatewayWire::refusedChannels_data()
{
    columns<QByteArray, QByteArray>("channel", "line");
    QTest::newRow("full") << QByteArray("Packed") << QByteArray("1013 CHANNELFULL \"Packed\"\r\n");
    QTest::newRow("missing") << QByteArray("nowhere")
                             << QByteArray("1014 CHANNELDOESNOTEXIST \"nowhere\"\r\n");
    QTest::newRow("restricted") << QByteArray("Arranged Teams")
                                << QByteArray("1015 CHANNELRESTRICTED \"Arranged Teams\"\r\n");
}

void GatewayWire::refusedChannels()
{
    QFETCH(QByteArray, channel);
    QFETCH(QByteArray, line);
    GatewayOptions o;
    o.fullChannels = {"Packed"};
    o.missingChannels = {"Nowhere"};
    o.restrictedChannels = {"Arranged Teams"};
    start(o);
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    bob->send("/join " + channel + '\r');
    QCOMPARE(settle(*bob), line);
    // bob stays where he was
    QCOMPARE(settle(*alice), QByteArray());
    bob->send("still here\r");
    QCOMPARE(settle(*alice), "1005 TALK bob 0010 \"still here\"\r\n");
}

void GatewayWire::squelch()
{
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    alice->send("/squelch bob\r");
    QCOMPARE(settle(*alice), "1009 USER bob 0030\r\n1018 INFO \"bob has been squelched.\"\r\n");
    bob->send("bob talks while squelched\r/me emotes while squelched\r/m alice psst\r");
    QCOMPARE(settle(*alice), QByteArray());
    QCOMPARE(settle(*bob), "1018 INFO \"No one hears you.\"\r\n"
                           "1023 EMOTE bob 0010 \"emotes while squelched\"\r\n"
                           "1018 INFO \"No one hears you.\"\r\n"
                           "1010 WHISPER alice 0010 \"psst\"\r\n");
    // Others keep hearing bob; the squelcher sees him flagged in her lists.
    server->simJoin("Zed", "CHAT", 0x10);
    bob->send("now Zed hears\r");
    QCOMPARE(settle(*bob), "1002 JOIN Zed 0010 [CHAT]\r\n"); // and no "No one hears you."
    alice->send("/join Other\r/join Chat\r");
    QVERIFY(settle(*alice).contains("1001 USER bob 0030 [CHAT]\r\n"));

    alice->send("/unsquelch bob\r");
    QCOMPARE(settle(*alice), "1018 INFO \"No longer ignoring.\"\r\n1009 USER bob 0010\r\n");
    bob->send("bob talks after unsquelch\r");
    QCOMPARE(settle(*alice), "1005 TALK bob 0010 \"bob talks after unsquelch\"\r\n");
    alice->send("/ignore bob\r");
    QCOMPARE(settle(*alice), "1009 USER bob 0030\r\n1018 INFO \"bob has been squelched.\"\r\n");
    alice->send("/unignore BOB\r");
    QCOMPARE(settle(*alice), "1018 INFO \"No longer ignoring.\"\r\n1009 USER bob 0010\r\n");
    alice->send("/squelch nobody\r");
    QCOMPARE(settle(*alice), "1019 ERROR \"Unknown user.\"\r\n");
}

void GatewayWire::awayAndInfo()
{
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    bob->send("/away gone fishing\r");
    QCOMPARE(settle(*bob), "1018 INFO \"You are now marked as being away.\"\r\n");
    alice->send("/m bob are you there?\r");
    QCOMPARE(settle(*alice), "1010 WHISPER bob 0010 \"are you there?\"\r\n"
                             "1018 INFO \"bob is away (gone fishing)\"\r\n");
    alice->send("/whois bob\r");
    QCOMPARE(settle(*alice),
             "1018 INFO \"bob is using Chat and is currently in channel \"Chat\".\"\r\n"
             "1018 INFO \"bob away (gone fishing)\"\r\n");
    bob->send("/away\r");
    QCOMPARE(settle(*bob), "1004 WHISPER alice 0010 \"are you there?\"\r\n"
                           "1018 INFO \"You are no longer marked as away.\"\r\n");
    bob->send("/dnd busy\r");
    QCOMPARE(settle(*bob), "1018 INFO \"Do Not Disturb mode engaged.\"\r\n");
    alice->send("/m bob dnd test\r");
    QCOMPARE(settle(*alice), "1018 INFO \"bob is unavailable (busy)\"\r\n");
    QCOMPARE(settle(*bob), QByteArray());
    bob->send("/dnd\r");
    QCOMPARE(settle(*bob), "1018 INFO \"Do Not Disturb mode canceled.\"\r\n");

    QByteArray answers;
    for (const char *c :
         {"/users", "/whois nobody", "/whoami", "/stats bob SEXP", "/stats bob", "/notacommand"}) {
        alice->send(QByteArray(c) + '\r');
        answers += settle(*alice);
    }
    QCOMPARE(answers,
             "1018 INFO \"There are currently 2 users online, in 0 games, and in 1 channels.\"\r\n"
             "1019 ERROR \"Unknown user.\"\r\n"
             "1018 INFO \"You are using Chat and are currently in channel \"Chat\".\"\r\n"
             "1018 INFO \"bob's record:\"\r\n"
             "1018 INFO \"Ladder games: [n00b] 0 pts (0/0/0)\"\r\n"
             "1018 INFO \"Normal games: [n00b] 0 pts (0/0/0)\"\r\n"
             "1019 ERROR \"This game does not support win/loss records.\"\r\n"
             "1019 ERROR \"You must supply a user name and a valid program ID.\"\r\n"
             "1019 ERROR \"Example: /stats joe STAR\"\r\n"
             "1019 ERROR \"Unknown command.\"\r\n");
    alice->send("/time\r");
    const QByteArray time = settle(*alice);
    QVERIFY2(QRegularExpression(R"(^1018 INFO "Server Time: \w{3} \w{3} \d\d \d\d:\d\d:\d\d"\r\n$)")
                 .match(QString::fromLatin1(time))
                 .hasMatch(),
             time.constData());
    bob->send("/quit\r");
    QVERIFY(bob->waitClosed());
    QVERIFY(bob->got.contains("1018 INFO \"Connection closed.\"\r\n"));
    QCOMPARE(settle(*alice), "1003 LEAVE bob 0010\r\n");
}

void GatewayWire::commandAnswers_data()
{
    columns<QByteArray, QByteArray>("line", "answer");
    const QByteArray unknown = "1019 ERROR \"Unknown command.\"\r\n";
    QTest::newRow("unknown") << QByteArray("/notacommand hi") << unknown;
    QTest::newRow("slash alone") << QByteArray("/") << unknown;
    QTest::newRow("slash space") << QByteArray("/ me hi") << unknown;
    QTest::newRow("only in help") << QByteArray("/status") << unknown;
    QTest::newRow("name run on") << QByteArray("/whisperx bob hi") << unknown;
    QTest::newRow("tab is no space") << QByteArray("/me\thi") << unknown;
    QTest::newRow("any case") << QByteArray("/UnBan bob")
                              << QByteArray("1019 ERROR \"You are not a channel operator.\"\r\n");
    // The answer names the command as it was typed.
    QTest::newRow("ignore") << QByteArray("/ignore")
                            << QByteArray("1019 ERROR \"Who do you want to ignore?\"\r\n");
    QTest::newRow("UNIGNORE") << QByteArray("/UNIGNORE")
                              << QByteArray("1019 ERROR \"Who do you want to unignore?\"\r\n");
    const QByteArray op =
        "1019 ERROR \"You have to be at least a Channel Operator to use this command.\"\r\n";
    QTest::newRow("kick") << QByteArray("/kick bob") << op;
    QTest::newRow("ban") << QByteArray("/ban bob") << op;
    QTest::newRow("ann") << QByteArray("/ann hi")
                         << QByteArray("1019 ERROR \"This command is reserved for admins.\"\r\n");
}

void GatewayWire::commandAnswers()
{
    QFETCH(QByteArray, line);
    QFETCH(QByteArray, answer);
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    alice->send(line + '\r');
    QCOMPARE(settle(*alice), answer);
    QCOMPARE(settle(*bob), QByteArray());
}

void GatewayWire::aliasesAnswerAlike_data()
{
    columns<QByteArray, QByteArray>("alias", "command");
    QTest::newRow("emote") << QByteArray("/emote waves") << QByteArray("/me waves");
    QTest::newRow("join") << QByteArray("/join Backstage") << QByteArray("/channel Backstage");
    QTest::newRow("j") << QByteArray("/J Backstage") << QByteArray("/channel Backstage");
    QTest::newRow("whereis") << QByteArray("/whereis bob") << QByteArray("/whois bob");
    QTest::newRow("where") << QByteArray("/where bob") << QByteArray("/whois bob");
    QTest::newRow("ignore") << QByteArray("/ignore bob") << QByteArray("/squelch bob");
    QTest::newRow("astat") << QByteArray("/astat bob star") << QByteArray("/stats bob STAR");
    QTest::newRow("?") << QByteArray("/?") << QByteArray("/help");
    QTest::newRow("logout") << QByteArray("/logout") << QByteArray("/quit");
    QTest::newRow("exit") << QByteArray("/EXIT") << QByteArray("/quit");
}

void GatewayWire::aliasesAnswerAlike()
{
    QFETCH(QByteArray, alias);
    QFETCH(QByteArray, command);
    const bool closes = command == "/quit";
    // What alice and bob get when alice sends the line, each time on a new
    // gateway.
    const auto answers = [&](const QByteArray &line) {
        bytesSent = 0;
        start();
        auto alice = login("alice");
        auto bob = login("bob");
        alice->take();
        alice->send(line + '\r');
        if (closes) {
            alice->waitClosed();
            return alice->take() + "|" + settle(*bob);
        }
        return settle(*alice) + "|" + settle(*bob);
    };
    const QByteArray expected = answers(command);
    QVERIFY(expected != "|");
    QCOMPARE(answers(alias), expected);
}

void GatewayWire::quotaOneWrite()
{
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    QByteArray flood;
    for (int i = 1; i <= 10; ++i)
        flood += "flood " + QByteArray::number(i) + '\r';
    bob->send(flood);
    QVERIFY(bob->waitClosed());
    const QByteArray refused = "1019 ERROR \"Your message quota has been exceeded!\"\r\n";
    QCOMPARE(bob->got, refused.repeated(6));
    QVERIFY(alice->waitFor("1003 LEAVE"));
    QCOMPARE(alice->take(), "1005 TALK bob 0010 \"flood 1\"\r\n1005 TALK bob 0010 \"flood 2\"\r\n"
                            "1005 TALK bob 0010 \"flood 3\"\r\n1005 TALK bob 0010 \"flood 4\"\r\n"
                            "1003 LEAVE bob 0010\r\n");

    // Commands get a second, sterner line.
    auto carol = login("carol");
    carol->send(QByteArray("/time\r").repeated(10));
    QVERIFY(carol->waitClosed());
    const QByteArray sterner =
        refused + "1019 ERROR \"You are sending commands to PvPGN Realm too quickly and risk being "
                  "disconnected for flooding. Please slow down.\"\r\n";
    QCOMPARE(carol->got.count("Server Time: "), 4);
    QVERIFY(carol->got.endsWith(sterner.repeated(6)));
}

void GatewayWire::quotaSpaced_data()
{
    columns<int, bool, int, int>("intervalMs", "quota", "delivered", "refused");
    QTest::newRow("every 1.0 s") << 1000 << true << 4 << 8;
    QTest::newRow("every 1.3 s") << 1300 << true << 12 << 0;
    QTest::newRow("quota off") << 0 << false << 12 << 0;
}

void GatewayWire::quotaSpaced()
{
    QFETCH(int, intervalMs);
    QFETCH(bool, quota);
    QFETCH(int, delivered);
    QFETCH(int, refused);
    GatewayOptions o;
    o.floodQuota = quota;
    start(o);
    roomyClock = false;
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    QByteArray heard;
    for (int i = 1; i <= 12; ++i) {
        bob->send("every #" + QByteArray::number(i) + '\r');
        heard += settle(*alice); // the line has been handled before time moves on
        now += intervalMs;
    }
    QCOMPARE(heard.count("1005 TALK bob 0010 \"every #"), delivered);
    QCOMPARE(settle(*bob).count("1019 ERROR \"Your message quota has been exceeded!\"\r\n"),
             refused);
    QCOMPARE(bob->socket.state(), QAbstractSocket::ConnectedState);
}

void GatewayWire::lineLengths_data()
{
    columns<int, QByteArray, bool>("length", "toSender", "delivered");
    const QByteArray quota = "1019 ERROR \"Your message quota has been exceeded!\"\r\n";
    const QByteArray length = "1019 ERROR \"Your line length quota has been exceeded!\"\r\n";
    QTest::newRow("40") << 40 << QByteArray() << true;
    QTest::newRow("41") << 41 << QByteArray() << true;
    QTest::newRow("160") << 160 << QByteArray() << true;
    QTest::newRow("161") << 161 << quota << false;
    QTest::newRow("200") << 200 << quota << false;
    QTest::newRow("201") << 201 << length << false;
    QTest::newRow("255") << 255 << length << false;
    QTest::newRow("256") << 256 << QByteArray() << false;
    QTest::newRow("1000") << 1000 << QByteArray() << false;
}

void GatewayWire::lineLengths()
{
    QFETCH(int, length);
    QFETCH(QByteArray, toSender);
    QFETCH(bool, delivered);
    start();
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    const QByteArray line = "L" + QByteArray::number(length) + ':';
    const QByteArray text = line + QByteArray(length - line.size(), 'x');
    bob->send(text + '\r');
    QCOMPARE(settle(*bob), toSender);
    QCOMPARE(settle(*alice), delivered ? "1005 TALK bob 0010 \"" + text + "\"\r\n" : QByteArray());
}

void GatewayWire::consoleCommands()
{
    start();
    auto alice = login("alice");
    QCOMPARE(server->consoleCommand("join Zed STAR 0002"), QString());
    QCOMPARE(server->consoleCommand("join plain"), QString());
    QCOMPARE(settle(*alice), "1002 JOIN Zed 0002 [STAR]\r\n1002 JOIN plain 0010 [CHAT]\r\n");
    QCOMPARE(server->consoleCommand("say Zed hello \"there\""), QString());
    QCOMPARE(server->consoleCommand("emote Zed waves"), QString());
    QCOMPARE(server->consoleCommand("whisper Zed alice psst"), QString());
    QCOMPARE(server->consoleCommand("flags Zed 1"), QString());
    QCOMPARE(server->consoleCommand("broadcast Server going down"), QString());
    QCOMPARE(server->consoleCommand("raw 1016 ODDITY \"x\""), QString());
    QCOMPARE(server->consoleCommand("rawbytes 31 30 30 35 0d"), QString());
    QCOMPARE(server->consoleCommand("leave Zed"), QString());
    QCOMPARE(settle(*alice), "1005 TALK Zed 0002 \"hello \"there\"\"\r\n"
                             "1023 EMOTE Zed 0002 \"waves\"\r\n"
                             "1004 WHISPER Zed 0002 \"psst\"\r\n"
                             "1009 USER Zed 0001\r\n"
                             "1006 _ \"Server going down\"\r\n"
                             "1016 ODDITY \"x\"\r\n"
                             "1005\r"
                             "1003 LEAVE Zed 0001\r\n");
    QCOMPARE(server->consoleCommand("joins 3 J SEXP"), QString());
    QCOMPARE(server->consoleCommand("leaves 2 J"), QString());
    QCOMPARE(settle(*alice), "1002 JOIN J0 0010 [SEXP]\r\n1002 JOIN J1 0010 [SEXP]\r\n"
                             "1002 JOIN J2 0010 [SEXP]\r\n1003 LEAVE J0 0010\r\n"
                             "1003 LEAVE J1 0010\r\n");
    QVERIFY(!server->consoleCommand("joins many J").isEmpty());
    bool quit = false;
    QCOMPARE(server->consoleCommand("close", &quit), QString());
    QVERIFY(alice->waitClosed());
    QVERIFY(!quit);
    QCOMPARE(server->consoleCommand("quit", &quit), QString());
    QVERIFY(quit);
}

void GatewayWire::consoleErrors_data()
{
    QTest::addColumn<QByteArray>("line");
    QTest::newRow("unknown") << QByteArray("frobnicate now");
    QTest::newRow("join twice") << QByteArray("join Zed");
    QTest::newRow("join bad product") << QByteArray("join Kim STARCRAFT");
    QTest::newRow("join bad flags") << QByteArray("join Kim STAR 12345");
    QTest::newRow("join no name") << QByteArray("join");
    QTest::newRow("say nobody") << QByteArray("say nobody hi");
    QTest::newRow("say as a client") << QByteArray("say alice hi");
    QTest::newRow("leave a client") << QByteArray("leave alice");
    QTest::newRow("drop nobody") << QByteArray("drop nobody");
    QTest::newRow("drop a simulated member") << QByteArray("drop Zed");
    QTest::newRow("whisper nobody") << QByteArray("whisper Zed nobody hi");
    QTest::newRow("flags not hex") << QByteArray("flags Zed zz");
    QTest::newRow("rawbytes not hex") << QByteArray("rawbytes 3g");
    QTest::newRow("rawbytes odd") << QByteArray("rawbytes 313");
}

void GatewayWire::consoleErrors()
{
    QFETCH(QByteArray, line);
    start();
    auto alice = login("alice");
    QCOMPARE(server->consoleCommand("join Zed"), QString());
    settle(*alice);
    QVERIFY(!server->consoleCommand(line).isEmpty());
    QCOMPARE(settle(*alice), QByteArray());
}

void GatewayWire::garbageAndOverlongInput()
{
    GatewayOptions o;
    o.floodQuota = false; // the noise makes many lines; here they must all pass
    start(o);
    auto alice = login("alice");
    RawClient noise(server->port());
    QByteArray junk;
    for (int i = 0; i < 4096; ++i)
        junk += char((i * 37 + 11) % 256 == 3 ? 5 : (i * 37 + 11) % 256);
    noise.send(junk); // no 0x03: not our protocol, so no banner either
    QCOMPARE(settle(noise), QByteArray());
    auto bob = login("bob");
    alice->take();
    bob->send(junk); // binary bytes after login: lines of noise, and no crash
    bob->send("\r" + QByteArray(3072, 'a') + "TAIL after 3072 bytes\r");
    QVERIFY(alice->waitFor("1005 TALK bob 0010 \"TAIL after 3072 bytes\"\r\n"));
    bob->send(QByteArray(200000, 'z')); // never ends: held in a bounded buffer
    QVERIFY(waitUntil([&] { return server->bytesReceived() >= bytesSent; }, 5000));
    auto carol = login("carol");
    QVERIFY(carol->socket.state() == QAbstractSocket::ConnectedState);
    QCOMPARE(server->clientNames().size(), 3);
}

void GatewayWire::manyLinesAtOnce()
{
    GatewayOptions o;
    o.floodQuota = false;
    start(o);
    auto alice = login("alice");
    auto bob = login("bob");
    alice->take();
    QByteArray lines;
    for (int i = 0; i < 10000; ++i)
        lines += "line " + QByteArray::number(i) + '\r';
    bob->send(lines);
    QVERIFY(alice->waitFor("\"line 9999\"\r\n", 20000));
    QCOMPARE(alice->got.count("1005 TALK bob 0010 \"line "), 10000);
}

void GatewayWire::closeMidLogin()
{
    start();
    {
        RawClient w(server->port());
        w.send("\x03\x04"
               "alice\r");
        QVERIFY(w.waitFor("Password: "));
        w.socket.abort();
    }
    {
        RawClient w(server->port());
        w.send("\x03");
        QVERIFY(w.waitFor("Username: "));
    }
    QTRY_COMPARE(server->connectionCount(), 0);
    auto alice = login("alice");
    QCOMPARE(server->clientNames(), QList<QByteArray>{"alice"});
}

void GatewayWire::chattersRepeatable()
{
    auto run = [this](quint32 seed) {
        bytesSent = 0;
        start();
        SimulatedChatters chatters(server.get(), 4, 1.0, seed);
        auto alice = login("alice");
        for (int i = 0; i < 300; ++i)
            chatters.step();
        const QByteArray seen = settle(*alice);
        server.reset();
        return seen;
    };
    const QByteArray first = run(42);
    QVERIFY(first.contains("1005 TALK "));
    QVERIFY(first.contains("1023 EMOTE "));
    QVERIFY(first.contains("1004 WHISPER "));
    QVERIFY(first.contains("1002 JOIN "));
    QVERIFY(first.contains("1003 LEAVE "));
    QVERIFY(first.contains("1009 USER "));
    QCOMPARE(run(42), first);
    QVERIFY(run(43) != first);
}

void GatewayWire::talkOnlyChatters()
{
    // Talking only, every happening is one line of talk or an emote from a
    // member who stays: the rate is lines a second. At rate 0 they are
    // silent until moved by hand.
    start();
    SimulatedChatters chatters(server.get(), 5, 1.0, 42);
    chatters.setTalkOnly(true);
    chatters.setRate(0);
    QCOMPARE(chatters.rate(), 0.0);
    auto alice = login("alice");
    settle(*alice); // what the login brought
    for (int i = 0; i < 200; ++i)
        chatters.step();
    const QByteArray seen = settle(*alice);
    QList<QByteArray> lines = seen.split('\n');
    lines.removeAll(QByteArray());
    QCOMPARE(lines.size(), 200);
    int emotes = 0;
    for (const QByteArray &line : lines) {
        QVERIFY2(line.startsWith("1005 TALK ") || line.startsWith("1023 EMOTE "), line.constData());
        emotes += line.startsWith("1023 EMOTE ");
    }
    QVERIFY(emotes > 0 && emotes < 100);
    QCOMPARE(server->simulatedNames().size(), 5);
}

void GatewayWire::burstAndScript()
{
    GatewayOptions o;
    o.burst = 2000;
    o.script = {"1018 INFO \"scripted\"", "1016 WEIRD"};
    o.broadcasts = {"welcome aboard"};
    start(o);
    RawClient w(server->port());
    w.send("\x03\x04"
           "alice\rpw\r\r");
    QVERIFY(w.waitFor("\"Line 1999 ", 20000));
    QVERIFY(w.got.contains("1001 USER Swift 0010 [CHAT]\r\n"));
    QVERIFY(w.got.contains(Topic + "1018 INFO \"scripted\"\r\n1016 WEIRD\r\n"
                                   "1006 _ \"welcome aboard\"\r\n1005 TALK "));
    QSet<QByteArray> texts;
    const QList<QByteArray> lines = w.got.split('\n');
    for (const QByteArray &l : lines)
        if (l.startsWith("1005 TALK ") && l.contains("\"Line "))
            texts.insert(l.mid(l.indexOf('"')));
    QCOMPARE(texts.size(), 2000);

    // Sized texts: distinct, and exactly as long as asked.
    o.burst = 300;
    o.burstLength = 58;
    o.script.clear();
    o.broadcasts.clear();
    start(o);
    RawClient sized(server->port());
    sized.send("\x03\x04"
               "bob\rpw\r\r");
    QVERIFY(sized.waitFor("\"Line 299 ", 20000));
    QVERIFY(sized.waitFor("\r\n", 2000));
    texts.clear();
    for (const QByteArray &l : sized.got.split('\n')) {
        if (!l.startsWith("1005 TALK ") || !l.contains("\"Line "))
            continue;
        const QByteArray text = l.mid(l.indexOf('"') + 1).chopped(2); // quote and CR
        QCOMPARE(text.size(), 58);
        texts.insert(text);
    }
    QCOMPARE(texts.size(), 300);
}

void GatewayWire::throughTheProgram()
{
    GatewayProcess gw({"--account", "alice:pw1", "--full-channel", "Packed", "--seed", "1"});
    QVERIFY2(gw.port() != 0, qPrintable(gw.errorText()));
    RawClient w(gw.port());
    w.send("\x03\x04"
           "alice\rpw1\r\r");
    QVERIFY(w.waitFor(Topic));
    QVERIFY(w.got.startsWith(Banner + "alice\r\nPassword: \r\n2010 NAME alice\r\n"));
    gw.command("join Zed SEXP 0002");
    QVERIFY(w.waitFor("1002 JOIN Zed 0002 [SEXP]\r\n"));
    gw.command("say Zed hi alice");
    QVERIFY(w.waitFor("1005 TALK Zed 0002 \"hi alice\"\r\n"));
    w.send("/join Packed\r");
    QVERIFY(w.waitFor("1013 CHANNELFULL \"Packed\"\r\n"));
    gw.command("broadcast from the console");
    QVERIFY(w.waitFor("1006 _ \"from the console\"\r\n"));
    gw.command("no such command");
    QTRY_VERIFY(gw.errors().contains("Unknown console command"));
    gw.command("close");
    QVERIFY(w.waitClosed());
}

QTEST_GUILESS_MAIN(GatewayWire)
#include "gw_wire.moc"
