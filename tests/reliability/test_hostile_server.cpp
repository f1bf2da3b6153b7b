// A server that misbehaves: it closes at the worst moments, sends endless
// lines, control bytes, floods and lines about strangers. The window takes
// it all, and the user can still type, disconnect and connect again.
#include "support/gatewayprocess.h"
#include "support/mainwindowfixture.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"

#include <QAction>
#include <QLineEdit>
#include <QTemporaryFile>
#include <QTreeWidget>
#include <QtTest>

#include <memory>

namespace {

constexpr int waitMs = 120000; // the sanitizer build is slow with the big streams

bool chatHas(Tmain &m, const std::function<bool(const QString &)> &want, int ms = waitMs) {
    return QTest::qWaitFor(
        [&] {
            m.process->floodTimerTick();
            const int n = m.chat->lineCount();
            // Newest first: the awaited line is normally near the end.
            for (int i = n - 1; i >= 0 && i >= n - 2000; --i)
                if (want(m.chat->lineText(i))) return true;
            return false;
        },
        ms);
}

bool chatHasLine(Tmain &m, const QString &line, int ms = waitMs) {
    return chatHas(
        m, [&](const QString &l) { return l == line; }, ms);
}

int countLines(Tmain &m, const QString &line) {
    return int(MainWindowFixture::lines(m.chat).count(line));
}

void type(Tmain &m, const QString &line) {
    m.text->setText(line);
    m.sendClick();
}

const QString noMail = QStringLiteral(" <alice> You have no mail.");
const QString disconnected = QStringLiteral(" Console: Disconnected.");

bool connectTo(Tmain &m, quint16 port) {
    const int mails = countLines(m, noMail);
    m.bnet->Port = port;
    m.ConnectClick();
    return chatHas(m, [&](const QString &) { return countLines(m, noMail) > mails; });
}

// The settings of a test: always the local gateway, never a host lookup.
QStringList conf(const QStringList &more = {}) {
    return QStringList{"username=alice", "server=127.0.0.1"} + more;
}

// The user can still talk to the server, disconnect, and log in again.
void checkUsable(Tmain &m, quint16 port) {
    QVERIFY(m.bnet->Connected());
    type(m, QStringLiteral("/users"));
    QVERIFY(chatHas(m, [](const QString &l) {
        return l.startsWith(QLatin1String(" Info: There are currently")) &&
               l.contains(QLatin1String("users online"));
    }));
    const int before = countLines(m, disconnected);
    m.DisconnectClick();
    QCOMPARE(countLines(m, disconnected), before + 1);
    QVERIFY(m.Connect->isEnabled());
    QVERIFY(connectTo(m, port));
}

// A --script file for the gateway: raw lines sent after the login.
std::unique_ptr<QTemporaryFile> scriptFile(const QList<QByteArray> &lines) {
    auto f = std::make_unique<QTemporaryFile>();
    if (!f->open()) return nullptr;
    for (const QByteArray &l : lines)
        f->write(l + "\r\n");
    f->flush();
    return f;
}

const QByteArray afterMarker = "1018 INFO \"after the storm\"";
const QString afterLine = QStringLiteral(" Info: after the storm");

} // namespace

class TestHostileServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void closes_data();
    void closes();
    void endlessLine();
    void megabyteLine();
    void controlBytes();
    void manyJoins();
    void flood();
    void strangersAndShortLines();
};

void TestHostileServer::closes_data() {
    QTest::addColumn<QString>("mode");
    QTest::addColumn<QString>("notShown"); // a piece of what was cut off
    QTest::newRow("right after connect") << "close-at-connect" << QString();
    QTest::newRow("during login") << "close-in-login"
                                  << "Username:";
    QTest::newRow("mid-line") << "close-mid-line"
                              << "never en";
}

void TestHostileServer::closes() {
    QFETCH(QString, mode);
    QFETCH(QString, notShown);
    GatewayProcess hostile({"--hostile", mode});
    GatewayProcess good({"--no-flood-quota"});
    QVERIFY2(hostile.port() && good.port(), qPrintable(hostile.errorText() + good.errorText()));
    MainWindowFixture f(conf());
    Tmain &m = *f.main;
    for (int round = 1; round <= 2; ++round) {
        m.bnet->Port = hostile.port();
        m.ConnectClick();
        QVERIFY(chatHas(m, [&](const QString &) { return countLines(m, disconnected) == round; }));
        QVERIFY(!m.bnet->Connected());
        QVERIFY(m.Connect->isEnabled());
    }
    // A line cut off by the close is dropped, not shown half.
    if (!notShown.isEmpty())
        for (const QString &l : f.lines(m.chat))
            QVERIFY2(!l.contains(notShown), qPrintable(l));
    QCOMPARE(f.dialogs.errors(), QStringList());
    QVERIFY(connectTo(m, good.port()));
    checkUsable(m, good.port());
}

void TestHostileServer::endlessLine() {
    // 10 MiB without a line end: delivered in pieces of the carry-over
    // limit, which are no event lines; what follows is read as usual.
    const auto script = scriptFile({QByteArray(10 * 1024 * 1024, 'A'), afterMarker});
    QVERIFY(script);
    GatewayProcess gateway({"--no-flood-quota", "--script", script->fileName()});
    QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
    MainWindowFixture f(conf());
    Tmain &m = *f.main;
    QVERIFY(connectTo(m, gateway.port()));
    QVERIFY(chatHasLine(m, afterLine));
    for (const QString &l : f.lines(m.chat))
        QVERIFY(!l.contains(QLatin1String("AAAA")));
    checkUsable(m, gateway.port());
}

void TestHostileServer::megabyteLine() {
    // A 1 MiB talk line: its first 64 KiB are one line, the talk; the rest
    // are pieces without a code, and the next line stands on its own.
    const QByteArray head = "1005 TALK Swift 0010 \"";
    const auto script = scriptFile({head + QByteArray(1024 * 1024, 'x') + '"', afterMarker});
    QVERIFY(script);
    GatewayProcess gateway({"--no-flood-quota", "--script", script->fileName()});
    QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
    MainWindowFixture f(conf());
    Tmain &m = *f.main;
    QVERIFY(connectTo(m, gateway.port()));
    QVERIFY(chatHasLine(m, afterLine));
    const QString talk = QStringLiteral(" <Swift> ") +
                         QString(TChatInterface::MaxLineLength - head.size() - 1, QLatin1Char('x'));
    QCOMPARE(countLines(m, talk), 1);
    checkUsable(m, gateway.port());
}

void TestHostileServer::controlBytes() {
    // NUL, bell, escape, DEL and high bytes pass through to the screen and
    // the raw log exactly as they came.
    const QByteArray text("a\0b\x01\x07\x1b[31m\x7f\xff\xfe end", 17);
    const auto script = scriptFile({"1005 TALK bob 0010 \"" + text + '"', QByteArray("\0\0\0\0", 4),
                                    "1018 INFO \"\x08\x08\"",
                                    QByteArray("1002 JOIN n\0l 0010 [CHAT]", 25), afterMarker});
    QVERIFY(script);
    GatewayProcess gateway({"--no-flood-quota", "--script", script->fileName()});
    QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
    MainWindowFixture f(conf({"rawlogfilename=raw.log", "keeprawlog=1"}));
    Tmain &m = *f.main;
    QVERIFY(connectTo(m, gateway.port()));
    QVERIFY(chatHasLine(m, afterLine));
    QCOMPARE(countLines(m, QStringLiteral(" <bob> ") + QString::fromLatin1(text)), 1);
    QCOMPARE(countLines(m, QStringLiteral(" Info: \b\b")), 1);
    QVERIFY(
        f.readFile(QStringLiteral("raw.log")).contains("1005 TALK bob 0010 \"" + text + "\"\r\n"));
    m.flushUsers();
    QCOMPARE(m.users->findItems(QString::fromLatin1("n\0l", 3), Qt::MatchExactly).size(), 1);
    // A CR in the middle of a line ends it there.
    gateway.command(QStringLiteral("rawbytes ") +
                    QString::fromLatin1(QByteArray("1018 INFO \"one\rtwo\"\r\n").toHex()));
    QVERIFY(chatHasLine(m, QStringLiteral(" Info: on")));
    checkUsable(m, gateway.port());
}

void TestHostileServer::manyJoins() {
    QList<QByteArray> lines;
    for (int i = 0; i < 10000; ++i)
        lines << "1002 JOIN user" + QByteArray::number(i) + " 0010 [CHAT]";
    lines << afterMarker;
    const auto script = scriptFile(lines);
    QVERIFY(script);
    GatewayProcess gateway({"--no-flood-quota", "--script", script->fileName()});
    QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
    MainWindowFixture f(conf({"notifications=1"}));
    Tmain &m = *f.main;
    QVERIFY(connectTo(m, gateway.port()));
    QVERIFY(chatHasLine(m, afterLine));
    m.flushUsers();
    QCOMPARE(m.users->topLevelItemCount(), 10001); // with alice herself
    QVERIFY(m.channel->text().endsWith(QLatin1String(" (10001)")));
    QCOMPARE(countLines(m, QStringLiteral(" Info: user9999 joined the channel.")), 1);
    checkUsable(m, gateway.port());
}

void TestHostileServer::flood() {
    // 100,000 talk lines as fast as the client takes them.
    GatewayProcess gateway({"--no-flood-quota", "--burst", "100000"});
    QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
    MainWindowFixture f(conf({"squelchFlooders=1", "squelchUc=1"}));
    Tmain &m = *f.main;
    QVERIFY(connectTo(m, gateway.port()));
    QVERIFY(chatHas(
        m, [](const QString &l) { return l.contains(QLatin1String("> Line 99999 ")); }, 240000));
    int talk = 0;
    for (const QString &l : f.lines(m.chat))
        talk += l.contains(QLatin1String("> Line ")) ? 1 : 0;
    QCOMPARE(talk, 100000);
    checkUsable(m, gateway.port());
}

void TestHostileServer::strangersAndShortLines() {
    const auto script =
        scriptFile({"1003 LEAVE ghost 0010", "1009 USER stranger 0002", "1001", "1002 JOIN", "1003",
                    "1004 WHISPER", "1005", "1009 X", "1010", "1023 EMOTE", "2010", "1007",
                    "1019 ERROR \"", "1005 TALK \"", "100", "1", "", afterMarker});
    QVERIFY(script);
    GatewayProcess gateway({"--no-flood-quota", "--script", script->fileName()});
    QVERIFY2(gateway.port(), qPrintable(gateway.errorText()));
    MainWindowFixture f(conf({"notifications=1"}));
    Tmain &m = *f.main;
    QVERIFY(connectTo(m, gateway.port()));
    QVERIFY(chatHasLine(m, afterLine));
    QTRY_VERIFY(f.dialogs.infos().contains(QStringLiteral("user not found")));
    QCOMPARE(f.dialogs.errors(), QStringList());
    m.flushUsers();
    QVERIFY(m.users->findItems(QStringLiteral("stranger"), Qt::MatchExactly).isEmpty());
    QVERIFY(m.users->findItems(QStringLiteral("ghost"), Qt::MatchExactly).isEmpty());
    QCOMPARE(countLines(m, QStringLiteral(" Info: ghost left the channel.")), 1);
    checkUsable(m, gateway.port());
}

QTEST_MAIN(TestHostileServer)
#include "test_hostile_server.moc"
