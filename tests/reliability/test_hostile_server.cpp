// A server that misbehaves: it closes at the worst moments, sends endless
// lines, control bytes, floods and lines about strangers. The window takes
// it all, and the user can still type, disconnect and connect again.
#include "hostilehelpers.h"
#include "session/TSession.h"
#include "support/datarows.h"

class TestHostileServer : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void closes_data();
    void closes();
    void endlessLine();
    void megabyteLine();
    void controlBytes();
    void manyJoins();
    void strangersAndShortLines();
};

void TestHostileServer::closes_data()
{
    // notShown: a piece of what was cut off
    columns<QString, QString>("mode", "notShown");
    QTest::newRow("right after connect") << "close-at-connect" << QString();
    QTest::newRow("during login") << "close-in-login"
                                  << "Username:";
    QTest::newRow("mid-line") << "close-mid-line"
                              << "never en";
}

void TestHostileServer::closes()
{
    QFETCH(QString, mode);
    QFETCH(QString, notShown);
    GatewayProcess hostile({"--hostile", mode});
    GatewayProcess good({"--no-flood-quota"});
    QVERIFY2(hostile.port() && good.port(), qPrintable(hostile.errorText() + good.errorText()));
    MainWindowFixture f(conf());
    Tmain &m = *f.main;
    for (int round = 1; round <= 2; ++round) {
        const int from = m.chat->lineCount();
        m.session->bnet->Port = hostile.port();
        m.ConnectClick();
        QVERIFY(chatHasLine(m, disconnected, from));
        QVERIFY(!m.session->bnet->Connected());
        QVERIFY(m.menus.Connect->isEnabled());
    }
    // A line cut off by the close is dropped, not shown half.
    if (!notShown.isEmpty())
        for (const QString &l : f.lines(m.chat))
            QVERIFY2(!l.contains(notShown), qPrintable(l));
    QCOMPARE(f.dialogs.errors(), QStringList());
    QVERIFY(connectTo(m, good.port()));
    checkUsable(m, good.port());
}

void TestHostileServer::endlessLine()
{
    // 10 MiB without a line end: delivered in pieces of the carry-over
    // limit, which are no event lines; what follows is read as usual.
    Storm s({QByteArray(10 * 1024 * 1024, 'A')});
    QVERIFY2(s.over(), qPrintable(s.gateway.errorText()));
    Tmain &m = s.m;
    for (const QString &l : s.f.lines(m.chat))
        QVERIFY(!l.contains(QLatin1String("AAAA")));
    checkUsable(m, s.gateway.port());
}

void TestHostileServer::megabyteLine()
{
    // A 1 MiB talk line: its first 64 KiB are one line, the talk; the rest
    // are pieces without a code, and the next line stands on its own.
    const QByteArray head = "1005 TALK Swift 0010 \"";
    Storm s({head + QByteArray(1024 * 1024, 'x') + '"'});
    QVERIFY2(s.over(), qPrintable(s.gateway.errorText()));
    Tmain &m = s.m;
    const QString talk = QStringLiteral(" <Swift> ") +
                         QString(TChatInterface::MaxLineLength - head.size() - 1, QLatin1Char('x'));
    QCOMPARE(countLines(m, talk), 1);
    checkUsable(m, s.gateway.port());
}

void TestHostileServer::controlBytes()
{
    // NUL, bell, escape, DEL and high bytes pass through to the screen and
    // the raw log exactly as they came.
    const QByteArray text("a\0b\x01\x07\x1b[31m\x7f\xff\xfe end", 17);
    Storm s({"1005 TALK bob 0010 \"" + text + '"', QByteArray("\0\0\0\0", 4),
             "1018 INFO \"\x08\x08\"", QByteArray("1002 JOIN n\0l 0010 [CHAT]", 25)},
            {"rawlogfilename=raw.log", "keeprawlog=1"});
    QVERIFY2(s.over(), qPrintable(s.gateway.errorText()));
    Tmain &m = s.m;
    QCOMPARE(countLines(m, QStringLiteral(" <bob> ") + QString::fromLatin1(text)), 1);
    QCOMPARE(countLines(m, QStringLiteral(" Info: \b\b")), 1);
    QVERIFY(s.f.readFile(QStringLiteral("raw.log"))
                .contains("1005 TALK bob 0010 \"" + text + "\"\r\n"));
    m.flushUsers();
    QCOMPARE(m.users->findItems(QString::fromLatin1("n\0l", 3), Qt::MatchExactly).size(), 1);
    // A CR in the middle of a line ends it there.
    s.gateway.command(QStringLiteral("rawbytes ") +
                      QString::fromLatin1(QByteArray("1018 INFO \"one\rtwo\"\r\n").toHex()));
    QVERIFY(chatHasLine(m, QStringLiteral(" Info: on")));
    checkUsable(m, s.gateway.port());
}

void TestHostileServer::manyJoins()
{
    QList<QByteArray> lines;
    for (int i = 0; i < 10000; ++i)
        lines << "1002 JOIN user" + QByteArray::number(i) + " 0010 [CHAT]";
    Storm s(lines, {"notifications=1"});
    QVERIFY2(s.over(), qPrintable(s.gateway.errorText()));
    Tmain &m = s.m;
    m.flushUsers();
    QCOMPARE(m.users->topLevelItemCount(), 10001); // with alice herself
    QVERIFY(m.channel->text().endsWith(QLatin1String(" (10001)")));
    QCOMPARE(countLines(m, QStringLiteral(" Info: user9999 joined the channel.")), 1);
    checkUsable(m, s.gateway.port());
}

void TestHostileServer::strangersAndShortLines()
{
    Storm s({"1003 LEAVE ghost 0010", "1009 USER stranger 0002", "1001", "1002 JOIN", "1003",
             "1004 WHISPER", "1005", "1009 X", "1010", "1023 EMOTE", "2010", "1007",
             "1019 ERROR \"", "1005 TALK \"", "100", "1", ""},
            {"notifications=1"});
    QVERIFY2(s.over(), qPrintable(s.gateway.errorText()));
    Tmain &m = s.m;
    QTRY_VERIFY(s.f.dialogs.infos().contains(QStringLiteral("user not found")));
    QCOMPARE(s.f.dialogs.errors(), QStringList());
    m.flushUsers();
    QVERIFY(m.users->findItems(QStringLiteral("stranger"), Qt::MatchExactly).isEmpty());
    QVERIFY(m.users->findItems(QStringLiteral("ghost"), Qt::MatchExactly).isEmpty());
    QCOMPARE(countLines(m, QStringLiteral(" Info: ghost left the channel.")), 1);
    checkUsable(m, s.gateway.port());
}

QTEST_MAIN(TestHostileServer)
#include "test_hostile_server.moc"
