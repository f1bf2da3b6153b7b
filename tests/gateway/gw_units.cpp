// The gateway's building blocks: line cutting, the flood quota, the options,
// the command table.
#include "commands.h"
#include "floodquota.h"
#include "gatewayoptions.h"
#include "linesplitter.h"
#include "support/datarows.h"

#include <QTemporaryFile>
#include <QtTest>

using Lines = QList<QByteArray>;

class GatewayUnits : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void splitter_data();
    void splitter();
    void splitterBoundsPending();
    void quotaUnits_data();
    void quotaUnits();
    void quotaSequence_data();
    void quotaSequence();
    void options_data();
    void options();
    void optionsScript();
    void commandNames();
    void commandAliases();
};

void GatewayUnits::splitter_data()
{
    columns<Lines, Lines, QByteArray>("chunks", "lines", "pending");
    QTest::newRow("cr") << Lines{"a\rb\r"} << Lines{"a", "b"} << QByteArray();
    QTest::newRow("lf") << Lines{"a\nb\n"} << Lines{"a", "b"} << QByteArray();
    QTest::newRow("crlf") << Lines{"a\r\nb\r\n"} << Lines{"a", "b"} << QByteArray();
    QTest::newRow("crlf split over reads")
        << Lines{"a\r", "\nb\r"} << Lines{"a", "b"} << QByteArray();
    QTest::newRow("cr cr is an empty line") << Lines{"a\r\r"} << Lines{"a", ""} << QByteArray();
    QTest::newRow("lf lf is an empty line") << Lines{"a\n\n"} << Lines{"a", ""} << QByteArray();
    QTest::newRow("lf cr is two ends") << Lines{"a\n\rb\r"} << Lines{"a", "", "b"} << QByteArray();
    QTest::newRow("login write") << Lines{"\x03\x04"
                                          "alice\rpw1\r\r"}
                                 << Lines{"alice", "pw1", ""} << QByteArray();
    QTest::newRow("protocol bytes anywhere")
        << Lines{"he\x03l\x04lo\r"} << Lines{"hello"} << QByteArray();
    QTest::newRow("unfinished line kept") << Lines{"ab", "cd"} << Lines{} << QByteArray("abcd");
    QTest::newRow("high and nul bytes pass") << Lines{QByteArray("\xe9\0\xff\r", 4)}
                                             << Lines{QByteArray("\xe9\0\xff", 3)} << QByteArray();
}

void GatewayUnits::splitter()
{
    QFETCH(Lines, chunks);
    QFETCH(Lines, lines);
    QFETCH(QByteArray, pending);
    LineSplitter s;
    Lines got;
    for (const QByteArray &c : chunks)
        got += s.feed(c);
    QCOMPARE(got, lines);
    QCOMPARE(s.pending(), pending);
}

void GatewayUnits::splitterBoundsPending()
{
    // What does not end in time is thrown away; what follows is a line of its own.
    LineSplitter s;
    QVERIFY(s.feed(QByteArray(LineSplitter::MaxPending - 1, 'a')).isEmpty());
    QCOMPARE(s.pending().size(), LineSplitter::MaxPending - 1);
    QVERIFY(s.feed("a").isEmpty());
    QCOMPARE(s.pending().size(), 0);
    QCOMPARE(s.feed("TAIL\r"), Lines{"TAIL"});
    for (int i = 0; i < 100; ++i)
        s.feed(QByteArray(1000, 'x'));
    QVERIFY(s.pending().size() < LineSplitter::MaxPending);
}

void GatewayUnits::quotaUnits_data()
{
    columns<int, int>("length", "units");
    QTest::newRow("1") << 1 << 1;
    QTest::newRow("40") << 40 << 1;
    QTest::newRow("41") << 41 << 2;
    QTest::newRow("120") << 120 << 3;
    QTest::newRow("121") << 121 << 4;
    QTest::newRow("160") << 160 << 4;
    QTest::newRow("161") << 161 << 5;
    QTest::newRow("200") << 200 << 5;
}

void GatewayUnits::quotaUnits()
{
    QFETCH(int, length);
    QFETCH(int, units);
    QCOMPARE(FloodQuota().unitsOf(length), units);
}

// Each step: length, time in ms, expected verdict ("a", "r", "d").
void GatewayUnits::quotaSequence_data()
{
    columns<QList<int>, QList<int>, QString>("lengths", "times", "verdicts");
    QTest::newRow("ten at once") << QList<int>(10, 7) << QList<int>(10, 0) << "aaaarrrrrd";
    QList<int> everySecond, every1300;
    for (int i = 0; i < 12; ++i) {
        everySecond << i * 1000;
        every1300 << i * 1300;
    }
    QTest::newRow("one per second stays refused")
        << QList<int>(12, 13) << everySecond << "aaaarrrrrrrr";
    QTest::newRow("one per 1.3 s always passes")
        << QList<int>(12, 13) << every1300 << "aaaaaaaaaaaa";
    QTest::newRow("161 bytes alone is too much") << QList<int>{161} << QList<int>{0} << "r";
    QTest::newRow("159 then short") << QList<int>{159, 24} << QList<int>{0, 1000} << "ar";
    QTest::newRow("two 180s disconnect") << QList<int>{180, 180} << QList<int>{0, 1500} << "rd";
    QTest::newRow("window forgets after 5 s")
        << QList<int>{160, 160} << QList<int>{0, 5000} << "aa";
}

void GatewayUnits::quotaSequence()
{
    QFETCH(QList<int>, lengths);
    QFETCH(QList<int>, times);
    QFETCH(QString, verdicts);
    FloodQuota q;
    QString got;
    for (int i = 0; i < lengths.size(); ++i) {
        switch (q.add(lengths[i], times[i])) {
        case FloodQuota::Accept:
            got += 'a';
            break;
        case FloodQuota::Refuse:
            got += 'r';
            break;
        case FloodQuota::Disconnect:
            got += 'd';
            break;
        }
    }
    QCOMPARE(got, verdicts);
}

void GatewayUnits::options_data()
{
    // check: what to look at when ok
    columns<QStringList, bool, QString>("args", "ok", "check");
    QTest::newRow("defaults") << QStringList{} << true << "port=6112 quota=1 accounts=0";
    QTest::newRow("port 0") << QStringList{"--port", "0"} << true << "port=0 quota=1 accounts=0";
    QTest::newRow("accounts") << QStringList{"--account", "Alice:pw1", "--account", "bob:x:y"}
                              << true << "port=6112 quota=1 accounts=2 alice=pw1 bob=x:y";
    QTest::newRow("no quota") << QStringList{"--no-flood-quota"} << true
                              << "port=6112 quota=0 accounts=0";
    QTest::newRow("another loopback address") << QStringList{"--address", "127.61.2.3"} << true
                                              << "port=6112 quota=1 accounts=0 at 127.61.2.3";
    QTest::newRow("IPv6 loopback") << QStringList{"--address", "::1", "--port", "0"} << true
                                   << "port=0 quota=1 accounts=0 at ::1";
    QTest::newRow("address not loopback") << QStringList{"--address", "192.0.2.1"} << false << "";
    QTest::newRow("every address, asked for") << QStringList{"--address", "::", "--any-address"}
                                              << true << "port=6112 quota=1 accounts=0 at ::";
    QTest::newRow("every address, not asked for") << QStringList{"--address", "::"} << false << "";
    QTest::newRow("not an address, any asked for")
        << QStringList{"--address", "local", "--any-address"} << false << "";
    QTest::newRow("address not an address") << QStringList{"--address", "local"} << false << "";
    QTest::newRow("bad port") << QStringList{"--port", "70000"} << false << "";
    QTest::newRow("port not a number") << QStringList{"--port", "x"} << false << "";
    QTest::newRow("account without password") << QStringList{"--account", "alice"} << false << "";
    QTest::newRow("account without name") << QStringList{"--account", ":pw"} << false << "";
    QTest::newRow("negative chatters") << QStringList{"--chatters", "-1"} << false << "";
    QTest::newRow("zero rate") << QStringList{"--rate", "0"} << false << "";
    QTest::newRow("bad burst") << QStringList{"--burst", "many"} << false << "";
    QTest::newRow("burst length") << QStringList{"--burst", "5", "--burst-length", "58"} << true
                                  << "port=6112 quota=1 accounts=0";
    QTest::newRow("bad burst length") << QStringList{"--burst-length", "4001"} << false << "";
    QTest::newRow("bad name pool") << QStringList{"--name-pool", "-3"} << false << "";
    QTest::newRow("talk only") << QStringList{"--talk-only", "--chatters", "40"} << true
                               << "port=6112 quota=1 accounts=0 talk-only";
    QTest::newRow("unknown option") << QStringList{"--frobnicate"} << false << "";
    QTest::newRow("stray argument") << QStringList{"stray"} << false << "";
    QTest::newRow("missing script")
        << QStringList{"--script", "/nonexistent/script.txt"} << false << "";
}

void GatewayUnits::options()
{
    QFETCH(QStringList, args);
    QFETCH(bool, ok);
    QFETCH(QString, check);
    QString error, help;
    const auto o = parseGatewayArguments(args, &error, &help);
    QCOMPARE(o.has_value(), ok);
    if (!ok) {
        QVERIFY2(!error.isEmpty(), "a refused command line must say why");
        return;
    }
    QString got = QString("port=%1 quota=%2 accounts=%3")
                      .arg(o->port)
                      .arg(int(o->floodQuota))
                      .arg(o->accounts.size());
    for (auto it = o->accounts.begin(); it != o->accounts.end(); ++it)
        got +=
            QString(" %1=%2").arg(QString::fromLatin1(it.key()), QString::fromLatin1(it.value()));
    if (o->address != QLatin1String("127.0.0.1"))
        got += QStringLiteral(" at ") + o->address;
    if (o->talkOnly)
        got += QStringLiteral(" talk-only");
    QCOMPARE(got, check);
}

void GatewayUnits::optionsScript()
{
    QTemporaryFile f;
    QVERIFY(f.open());
    f.write("1018 INFO \"one\"\r\n1019 ERROR \"two\"\nthree\n");
    f.close();
    QString error, help;
    const auto o = parseGatewayArguments({"--script", f.fileName(), "--seed", "7", "--rate", "2.5"},
                                         &error, &help);
    QVERIFY2(o.has_value(), qPrintable(error));
    QCOMPARE(o->script, (Lines{"1018 INFO \"one\"", "1019 ERROR \"two\"", "three"}));
    QCOMPARE(o->seed.value_or(0), 7u);
    QCOMPARE(o->rate, 2.5);
}

void GatewayUnits::commandNames()
{
    // Lines are looked up by their lower-case first word: a name in another
    // case, with a space, or in two entries would never be reached.
    QSet<QByteArray> seen;
    for (const Command &command : commandTable()) {
        QVERIFY(!command.names.isEmpty());
        QVERIFY(command.handler);
        for (const QByteArray &name : command.names) {
            QVERIFY2(!name.isEmpty() && !name.contains(' '), name.constData());
            QCOMPARE(name, name.toLower());
            QVERIFY2(!seen.contains(name), name.constData());
            seen.insert(name);
            QVERIFY(findCommand(name) == command.handler);
        }
    }
    QCOMPARE(seen.size(), 37); // every name and alias the gateway answers to
    QVERIFY(!findCommand(""));
    QVERIFY(!findCommand("W"));
    QVERIFY(!findCommand("status")); // in /help, but not carried out
}

void GatewayUnits::commandAliases()
{
    // Each group: the aliases the usage and help texts promise.
    const QList<Lines> groups = {
        {"me", "emote"},
        {"whisper", "w", "m", "msg"},
        {"reply", "r"},
        {"channel", "join", "j"},
        {"squelch", "ignore"},
        {"unsquelch", "unignore"},
        {"whois", "whereis", "where"},
        {"stats", "astat"},
        {"quit", "logout", "exit"},
        {"help", "?"},
        {"announce", "ann"},
    };
    for (const Lines &group : groups) {
        QVERIFY2(findCommand(group[0]), group[0].constData());
        for (const QByteArray &alias : group)
            QVERIFY2(findCommand(alias) == findCommand(group[0]), alias.constData());
    }
    // Commands alike in their answer are still commands of their own.
    QVERIFY(findCommand("squelch") != findCommand("unsquelch"));
    QVERIFY(findCommand("away") != findCommand("dnd"));
    QVERIFY(findCommand("whois") != findCommand("whoami"));
}

QTEST_GUILESS_MAIN(GatewayUnits)
#include "gw_units.moc"
