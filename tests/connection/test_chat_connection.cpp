// TChatInterface against a real server on 127.0.0.1: connecting and its
// failures, line cutting, closing from either end, handlers that misbehave.
#include "base/clock.h"
#include "base/errors.h"
#include "connection/TChatInterface.h"
#include "support/datarows.h"
#include "support/loopbacklink.h"
#include "support/queuedcalls.h"
#include "support/scripteddialogs.h"
#include "support/silentserver.h"
#include "support/waits.h"

#include <QRandomGenerator>
#include <QTcpServer>
#include <QTcpSocket>
#include <QtTest>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <memory>
#include <vector>

namespace {

// Everything the link reports, in order.
struct Recorder {
    QStringList events;
    QStringList lines;
    void attach(TChatInterface &link)
    {
        link.OnConnect = [this] { events << QStringLiteral("connect"); };
        link.OnDisconnect = [this] { events << QStringLiteral("disconnect"); };
        link.OnConnectClosed = [this] { events << QStringLiteral("closed"); };
        link.OnSocketError = [this] { events << QStringLiteral("error"); };
        link.OnSendError = [this] { events << QStringLiteral("senderror"); };
        link.OnLogin = [this] { events << QStringLiteral("login"); };
        link.OnDataReceived = [this](const QString &line) {
            lines << line;
            events << QStringLiteral("line:") + line;
        };
    }
};

QString bytesText(const QByteArray &b) { return QString::fromLatin1(b); }

} // namespace

// A link to a listener that never answers its connect, and what it reports.
struct Hanging {
    explicit Hanging(int connectTimeoutMs)
    {
        r.attach(link);
        link.Address = QStringLiteral("127.0.0.1");
        link.Port = silent.port();
        link.ConnectTimeout = connectTimeoutMs;
    }
    SilentServer silent;
    TChatInterface link;
    Recorder r;
};

class TestChatConnection : public QObject {
    Q_OBJECT

    QTcpServer server;
    std::unique_ptr<TChatInterface> link;
    std::unique_ptr<QTcpSocket> peer;
    Recorder rec;

    void openLink(const QString &address = QStringLiteral("127.0.0.1"))
    {
        link = std::make_unique<TChatInterface>();
        rec = Recorder();
        rec.attach(*link);
        link->Address = address;
        link->Port = server.serverPort();
        QVERIFY(link->Open());
        QTRY_VERIFY(link->Connected());
        QTRY_VERIFY(server.hasPendingConnections());
        peer.reset(server.nextPendingConnection());
        peer->setParent(nullptr);
        QCOMPARE(rec.events, QStringList{QStringLiteral("connect")});
        rec.events.clear();
    }
    void send(const QByteArray &bytes)
    {
        peer->write(bytes);
        peer->flush();
    }
    // Everything the link has written so far, as the peer received it: a
    // probe line written after it proves it has all arrived (the probe is
    // left out).
    QByteArray received() { return readUpToProbe(*link, *peer); }
    static quint16 closedPort()
    {
        QTcpServer probe;
        probe.listen(QHostAddress::LocalHost, 0);
        return probe.serverPort(); // nobody listens there once probe is gone
    }

private Q_SLOTS:
    // The link's connect timeout runs on a held clock: it is over when a
    // test moves the clock past it.
    void initTestCase()
    {
        holdClock(QDateTime(QDate(2026, 12, 8), QTime(14, 5, 9)));
        QVERIFY(server.listen(QHostAddress::LocalHost, 0));
    }
    void cleanupTestCase() { releaseClock(); }
    void cleanup()
    {
        link.reset();
        peer.reset();
        while (server.hasPendingConnections())
            delete server.nextPendingConnection();
    }

    void defaults()
    {
        TChatInterface fresh;
        QVERIFY(fresh.NoLineFeed);
        QVERIFY(fresh.NoReturn);
        QCOMPARE(fresh.Port, quint16(0));
        QVERIFY(fresh.Address.isEmpty());
        QVERIFY(fresh.LoginScript.isEmpty());
        QVERIFY(!fresh.Connected());
        QVERIFY(!fresh.SendData(QStringLiteral("x")));
        fresh.Close(); // nothing to close: no event, no crash
    }

    void connects_data()
    {
        textRows({"address"}, {{"numeric", "127.0.0.1"}, {"host name", "localhost"}});
    }
    void connects()
    {
        QFETCH(QString, address);
        openLink(address);
        QVERIFY(link->SendData(QStringLiteral("hello\r")));
        QCOMPARE(received(), QByteArray("hello\r"));
    }

    void lineCutting_data()
    {
        columns<QByteArrayList, bool, bool, QStringList>("parts", "noLineFeed", "noReturn",
                                                         "expected");

        const QStringList abc{QStringLiteral("abc")};
        QTest::newRow("CR LF") << QByteArrayList{"abc\r\n"} << true << true << abc;
        QTest::newRow("CR alone, nothing after") << QByteArrayList{"abc\r"} << true << true << abc;
        QTest::newRow("LF alone") << QByteArrayList{"abc\n"} << true << true << abc;
        QTest::newRow("LF CR") << QByteArrayList{"abc\n\r"} << true << true << abc;
        QTest::newRow("blank lines vanish")
            << QByteArrayList{"a\r\n\r\nb\r\n"} << true << true << QStringList{"a", "b"};
        QTest::newRow("only terminators")
            << QByteArrayList{"\r\n\n\r\r"} << true << true << QStringList();
        QTest::newRow("mixed terminators") << QByteArrayList{"a\rb\nc\r\nd\n\re"} << true << true
                                           << QStringList{"a", "b", "c", "d"};
        QTest::newRow("CR-ended lines before a far LF")
            << QByteArrayList{"a\rbb\rccc\r", "dd\rlast\n"} << true << true
            << QStringList{"a", "bb", "ccc", "dd", "last"};
        QTest::newRow("split in the text") << QByteArrayList{"ab", "c\r\n"} << true << true << abc;
        QTest::newRow("split between CR and LF")
            << QByteArrayList{"abc\r", "\ndef\r\n"} << true << true << QStringList{"abc", "def"};
        QTest::newRow("rest arrives later")
            << QByteArrayList{"abc\r\nde", "f\r\n"} << true << true << QStringList{"abc", "def"};
        QByteArrayList bytes;
        for (char c : QByteArray("one\r\ntwo\nthree\r\n\r\nfour\r"))
            bytes << QByteArray(1, c);
        QTest::newRow("byte by byte")
            << bytes << true << true << QStringList{"one", "two", "three", "four"};
        QTest::newRow("keep both") << QByteArrayList{"abc\r\n", "d\n"} << false << false
                                   << QStringList{"abc\r", "\n", "d\n"};
        QTest::newRow("keep LF") << QByteArrayList{"abc\r\nd\n"} << false << true
                                 << QStringList{"abc", "\n", "d\n"};
        QTest::newRow("keep CR") << QByteArrayList{"abc\r\nd\n"} << true << false
                                 << QStringList{"abc\r", "d"};
        QTest::newRow("latin1 bytes") << QByteArrayList{"\xe9\xff\x01\x7f\r\n"} << true << true
                                      << QStringList{QString::fromLatin1("\xe9\xff\x01\x7f")};
        QTest::newRow("zero byte kept") << QByteArrayList{QByteArray("a\0b\r\n", 5)} << true << true
                                        << QStringList{QString::fromLatin1("a\0b", 3)};

        // Many lines of changing length in one write: lines and CR LF pairs
        // straddle the boundaries of every read.
        QByteArray many;
        QStringList manyLines;
        for (int i = 0; i < 3000; ++i) {
            const QByteArray line = QByteArray::number(i) + ' ' + QByteArray(i % 97, 'a' + i % 26);
            many += line + "\r\n";
            manyLines << bytesText(line);
        }
        QTest::newRow("many lines") << QByteArrayList{many} << true << true << manyLines;
    }
    void lineCutting()
    {
        QFETCH(QByteArrayList, parts);
        QFETCH(bool, noLineFeed);
        QFETCH(bool, noReturn);
        QFETCH(QStringList, expected);
        openLink();
        link->NoLineFeed = noLineFeed;
        link->NoReturn = noReturn;
        for (const QByteArray &part : parts) {
            send(part);
            if (parts.size() > 1)
                QTest::qWait(15); // a real socket: each part arrives on its own
        }
        QTRY_COMPARE(rec.lines, expected);
        // And nothing more: no later line can prove it (a partial at the end
        // would take it in), but the close comes after every byte sent.
        peer->disconnectFromHost();
        QTRY_VERIFY(rec.events.contains(QStringLiteral("closed")));
        QCOMPARE(rec.lines, expected);
    }

    void lineDeliveredBeforeNextByte()
    {
        openLink();
        send("abc\r");
        QTRY_COMPARE(rec.lines, QStringList{"abc"});
        send("\n");
        // A line sent after it shows that the LF made no line of its own.
        send("x\r");
        QTRY_COMPARE(rec.lines, (QStringList{"abc", "x"}));
    }

    void overlongLineIsCut()
    {
        openLink();
        const int length = 1000000;
        send(QByteArray(length, 'x') + "\r\nnext\r\n");
        QTRY_VERIFY_WITH_TIMEOUT(!rec.lines.isEmpty() && rec.lines.last() == "next", 20000);
        QString joined;
        for (int i = 0; i + 1 < rec.lines.size(); ++i) {
            QVERIFY(rec.lines[i].size() <= TChatInterface::MaxLineLength);
            if (i + 2 < rec.lines.size())
                QCOMPARE(rec.lines[i].size(), TChatInterface::MaxLineLength);
            joined += rec.lines[i];
        }
        QCOMPARE(joined, QString(length, QLatin1Char('x')));
    }

    void endlessLineStaysBounded()
    {
        openLink();
        qint64 total = 0;
        qsizetype longest = 0;
        int pieces = 0;
        link->OnDataReceived = [&](const QString &line) {
            total += line.size();
            longest = std::max(longest, line.size());
            ++pieces;
            if (line.count(QLatin1Char('z')) != line.size())
                QFAIL("bytes changed on the way");
        };
        const qint64 size = 10 * 1024 * 1024;
        const QByteArray block(1024 * 1024, 'z');
        for (int i = 0; i < 10; ++i)
            peer->write(block);
        QTRY_COMPARE_WITH_TIMEOUT(total, size, 60000);
        QCOMPARE(longest, TChatInterface::MaxLineLength);
        QCOMPARE(pieces, int(size / TChatInterface::MaxLineLength));
        // The link still works after the flood.
        send("after\r\n");
        QString last;
        link->OnDataReceived = [&](const QString &line) { last = line; };
        QTRY_COMPARE(last, QStringLiteral("after"));
    }

    void connectFailures_data()
    {
        columns<QString, int, QString>("address", "port", "reason");
        QTest::newRow("refused") << "127.0.0.1" << int(closedPort()) << "refused";
        QTest::newRow("empty address") << "" << int(closedPort()) << "";
    }
    void connectFailures()
    {
        QFETCH(QString, address);
        QFETCH(int, port);
        QFETCH(QString, reason);
        TChatInterface failing;
        Recorder r;
        r.attach(failing);
        failing.Address = address;
        failing.Port = quint16(port);
        for (int attempt = 0; attempt < 2; ++attempt) { // the guard is released each time
            QVERIFY(failing.Open());
            QTRY_COMPARE_WITH_TIMEOUT(r.events.size(), attempt + 1, 20000);
            QCOMPARE(r.events.last(), QStringLiteral("error"));
            QVERIFY(!failing.Connected());
            QVERIFY(!failing.SocketErrorText().isEmpty());
            QVERIFY2(failing.SocketErrorText().contains(reason, Qt::CaseInsensitive),
                     qPrintable(failing.SocketErrorText()));
            QVERIFY(!failing.SendData(QStringLiteral("x")));
        }
        // No late event of the failed attempts follows, not even a timeout.
        moveClock(60 * 60 * 1000);
        runQueuedCalls();
        QCOMPARE(r.events, (QStringList{"error", "error"}));
    }

    void connectTimesOut()
    {
        Hanging h(200);
        if (!h.silent.full())
            QSKIP("the loopback listener's queue could not be filled here");
        QVERIFY(h.link.Open());
        QVERIFY(!h.link.Open()); // still trying
        moveClock(199);
        QVERIFY(h.r.events.isEmpty());
        moveClock(1);
        QTRY_COMPARE_WITH_TIMEOUT(h.r.events, QStringList{"error"}, 5000);
        QCOMPARE(h.link.SocketErrorText(), QStringLiteral("Connection timed out"));
        QVERIFY(!h.link.Connected());
        QVERIFY(h.link.Open()); // may be tried again
        h.link.Close();
    }

    void closeWhileConnecting()
    {
        Hanging h(300);
        if (!h.silent.full())
            QSKIP("the loopback listener's queue could not be filled here");
        QVERIFY(h.link.Open());
        // The attempt had a socket: closing it is a disconnect like any other.
        h.link.Close();
        QCOMPARE(h.r.events, QStringList{"disconnect"});
        QVERIFY(h.link.Open()); // the guard went with the close
        h.link.Close();
        h.link.Close(); // nothing left to close
        moveClock(500); // past the timeout: it was stopped too
        runQueuedCalls();
        QCOMPARE(h.r.events, (QStringList{"disconnect", "disconnect"}));
        QVERIFY(!h.link.Connected());
    }

    void closeBeforeConnectReported()
    {
        link = std::make_unique<TChatInterface>();
        rec.attach(*link);
        link->Address = QStringLiteral("127.0.0.1");
        link->Port = server.serverPort();
        QVERIFY(link->Open());
        QVERIFY(!link->Open());
        link->Close();
        // The closed attempt reports nothing later, not even its timeout.
        moveClock(60 * 60 * 1000);
        runQueuedCalls();
        QCOMPARE(rec.events, QStringList{"disconnect"});
        QVERIFY(!link->Connected());
        QVERIFY(link->Open());
        QTRY_VERIFY(link->Connected());
        QCOMPARE(rec.events, (QStringList{"disconnect", "connect"}));
    }

    void openWhileConnectedIsRefused()
    {
        openLink();
        QVERIFY(!link->Open());
        QVERIFY(link->Connected());
        send("still here\r\n");
        QTRY_COMPARE(rec.lines, QStringList{"still here"});
        QVERIFY(link->SendData(QStringLiteral("ok\r")));
        QCOMPARE(received(), QByteArray("ok\r"));
        QVERIFY(!server.hasPendingConnections());
        QCOMPARE(rec.events, QStringList{"line:still here"});
    }

    void serverCloses()
    {
        openLink();
        send("last\r\nwords\r\npartial");
        peer->disconnectFromHost();
        QTRY_VERIFY(!link->Connected());
        QTRY_COMPARE(rec.events, (QStringList{"line:last", "line:words", "closed"}));
        QVERIFY(!link->SendData(QStringLiteral("x")));
        QCOMPARE(rec.events.size(), 3);
        QVERIFY(link->Open()); // and the user may connect again
        QTRY_VERIFY(link->Connected());
    }

    void localClose()
    {
        openLink();
        QVERIFY(link->SendData(QStringLiteral("bye\r")));
        link->Close();
        QVERIFY(!link->Connected());
        QCOMPARE(rec.events, QStringList{"disconnect"});
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(peer->readAll(), QByteArray("bye\r")); // buffered text still went out
        runQueuedCalls();                               // the closed link reports nothing later
        QCOMPARE(rec.events, QStringList{"disconnect"});
        link->Close(); // a second close has nothing to report
        QCOMPARE(rec.events, QStringList{"disconnect"});
        QVERIFY(!link->SendData(QStringLiteral("x")));
    }

    void destroyedWhileConnected()
    {
        openLink();
        link.reset();
        QTRY_COMPARE(peer->state(), QAbstractSocket::UnconnectedState);
        QCOMPARE(rec.events, QStringList()); // OnDisconnect was detached first
    }

    void sendDataWholeText()
    {
        openLink();
        QByteArray big;
        for (int i = 0; i < 100000; ++i)
            big += char(32 + i % 200);
        QVERIFY(link->SendData(bytesText(big)));
        QByteArray got;
        QTRY_VERIFY((got += peer->readAll()).size() >= big.size());
        QCOMPARE(got, big);
        // Sending nothing counts as a failed send.
        QVERIFY(!link->SendData(QString()));
        QCOMPARE(rec.events, QStringList{"senderror"});
    }

    void loginScript()
    {
        openLink();
        link->LoginScript = QStringList{"one", QString::fromLatin1("tw\xf6")};
        QVERIFY(link->SendLoginScript());
        QCOMPARE(rec.events, QStringList{"login"});
        QCOMPARE(received(), QByteArray("one\rtw\xf6\r"));
        link->LoginScript.clear();
        QVERIFY(link->SendLoginScript());
        QCOMPARE(rec.events, (QStringList{"login", "login"}));
        QCOMPARE(received(), QByteArray());

        link->Close();
        rec.events.clear();
        link->LoginScript = QStringList{"x"};
        QVERIFY(link->SendLoginScript()); // not connected: nothing to do
        QCOMPARE(rec.events, QStringList());
    }

    void handlerSendsAndCloses_data()
    {
        columns<QString, QStringList, QByteArray>("action", "expected", "echo");
        QTest::newRow("send") << "send" << QStringList{"a", "b", "c", "d"}
                              << QByteArray("a\rb\rc\rd\r");
        QTest::newRow("close") << "close" << QStringList{"a", "b"} << QByteArray("a\rb\r");
        QTest::newRow("close and reopen")
            << "reopen" << QStringList{"a", "b", "fresh"} << QByteArray("a\rb\r");
    }
    void handlerSendsAndCloses()
    {
        QFETCH(QString, action);
        QFETCH(QStringList, expected);
        QFETCH(QByteArray, echo);
        openLink();
        link->OnDataReceived = [&](const QString &line) {
            rec.lines << line;
            link->SendData(line + QLatin1Char('\r'));
            if (line == QLatin1String("b") && action != QLatin1String("send")) {
                link->Close();
                if (action == QLatin1String("reopen"))
                    QVERIFY(link->Open());
            }
        };
        send("a\r\nb\r\nc\r\nd\r\n");
        if (action == QLatin1String("reopen")) {
            QTRY_VERIFY(server.hasPendingConnections());
            std::unique_ptr<QTcpSocket> second(server.nextPendingConnection());
            QTRY_VERIFY(link->Connected());
            second->write("fresh\r\n");
            QTRY_COMPARE(rec.lines, expected);
        }
        QTRY_COMPARE(rec.lines, expected);
        QByteArray got;
        QTRY_COMPARE(got += peer->readAll(), echo);
        runQueuedCalls(); // no line is delivered twice
        QCOMPARE(rec.lines, expected);
        if (action == QLatin1String("close"))
            QCOMPARE(rec.events, QStringList{"disconnect"});
    }

    void handlerErrorKeepsLaterLines_data()
    {
        // failOn: "*" = every line
        columns<QString, int>("failOn", "boxes");
        QTest::newRow("one line fails") << "b" << 1;
        QTest::newRow("every line fails") << "*" << 4; // one pass, and one box, per line
    }
    void handlerErrorKeepsLaterLines()
    {
        QFETCH(QString, failOn);
        QFETCH(int, boxes);
        ScriptedDialogs dialogs;
        openLink();
        link->OnDataReceived = [&](const QString &line) {
            rec.lines << line;
            if (failOn == QLatin1String("*") || line == failOn)
                throw TError(QStringLiteral("Bad line"));
        };
        send("a\r\nb\r\nc\r\nd\r\n"); // one arrival, nothing after it
        QTRY_COMPARE(rec.lines, (QStringList{"a", "b", "c", "d"}));
        QTRY_COMPARE(dialogs.errors().size(), boxes);
        QCOMPARE(dialogs.errors().first(), QStringLiteral("Bad line."));
        QVERIFY(link->Connected());
        send("e\r\n");
        QTRY_COMPARE(rec.lines.size(), 5);
        QCOMPARE(rec.lines.last(), QStringLiteral("e"));
    }

    // Arrivals of every size give the lines that cutting the whole stream
    // at once gives, whatever the terminators and the settings: a line, or
    // a CR LF, split over two arrivals is put together again.
    void arrivalsOfEverySizeCutAlike()
    {
        const auto wholeStream = [](const QByteArray &s, bool noLineFeed, bool noReturn) {
            QStringList out;
            qsizetype head = 0;
            for (;;) {
                qsizetype end = head;
                while (end < s.size() && s[end] != '\r' && s[end] != '\n')
                    ++end;
                if (end == s.size())
                    return out;
                qsizetype next = end + 1;
                if (noLineFeed && s[end] == '\r' && next < s.size() && s[next] == '\n')
                    ++next;
                QByteArray line = s.mid(head, end + 1 - head);
                if ((line.endsWith('\n') && noLineFeed) || (line.endsWith('\r') && noReturn))
                    line.chop(1);
                if (!line.isEmpty())
                    out << QString::fromLatin1(line);
                head = next;
            }
        };
        QRandomGenerator random(20261209);
        const QByteArrayList ends{"\r\n", "\r", "\n", "\n\r", "\r\n\r\n", ""};
        for (int round = 0; round < 40; ++round) {
            QByteArray stream;
            while (stream.size() < 20000) {
                QByteArray text(int(random.bounded(120)), 'a' + char(random.bounded(26)));
                if (random.bounded(8) == 0)
                    text += "\xe9\x00\xff";
                stream += text + ends[int(random.bounded(ends.size()))];
            }
            stream += "\ntail without an end";
            const bool noLineFeed = round % 4 < 2, noReturn = round % 2 == 0;
            TChatInterface direct;
            direct.NoLineFeed = noLineFeed;
            direct.NoReturn = noReturn;
            QStringList lines;
            direct.OnDataReceived = [&](const QString &line) { lines << line; };
            const int most = round < 10 ? 3 : round < 20 ? 40 : 5000;
            for (qsizetype at = 0; at < stream.size();) {
                const qsizetype n = 1 + random.bounded(most);
                direct.receiveBytes(stream.mid(at, n));
                at += n;
            }
            const QStringList expected = wholeStream(stream, noLineFeed, noReturn);
            QVERIFY(expected.size() > 100);
            QCOMPARE(lines, expected);
            // The unended tail waits for the rest of its line.
            direct.receiveBytes("!\n");
            QCOMPARE(lines.last(), QStringLiteral("tail without an end!") +
                                       QLatin1String(noLineFeed ? "" : "\n"));
        }
    }

    // Bytes that arrive while a handler runs (its nested event loop took
    // them in) come after every line of the arrival being cut, whether the
    // handler runs for the arrival's first line, one put together with an
    // earlier part, or its last.
    void bytesArrivingUnderAHandlerComeLast_data()
    {
        columns<QByteArrayList, QString, QStringList>("arrivals", "feedOn", "expected");
        QTest::newRow("first line") << QByteArrayList{"a\r\nb\r\nc\r\npart"} << "a"
                                    << QStringList{"a", "b", "c", "partx", "y"};
        QTest::newRow("line put together") << QByteArrayList{"pa", "rt\r\nb\r\nc"} << "part"
                                           << QStringList{"part", "b", "cx", "y"};
        QTest::newRow("last line of the arrival")
            << QByteArrayList{"a\r\nb\r\n"} << "b" << QStringList{"a", "b", "x", "y"};
    }
    void bytesArrivingUnderAHandlerComeLast()
    {
        QFETCH(QByteArrayList, arrivals);
        QFETCH(QString, feedOn);
        QFETCH(QStringList, expected);
        TChatInterface direct;
        QStringList lines;
        direct.OnDataReceived = [&](const QString &line) {
            lines << line;
            if (line == feedOn)
                direct.receiveBytes("x\r\ny\r\n");
        };
        for (const QByteArray &bytes : arrivals)
            direct.receiveBytes(bytes);
        QTRY_COMPARE(lines, expected);
        direct.receiveBytes("z\n");
        QCOMPARE(lines.last(), QStringLiteral("z"));
    }

    // A handler that fails leaves the rest of the arrival, a part line
    // included, to the next pass; one that closes the link drops it.
    void handlerBreaksOffAnArrival()
    {
        ScriptedDialogs dialogs;
        TChatInterface direct;
        QStringList lines;
        direct.OnDataReceived = [&](const QString &line) {
            lines << line;
            if (line == QLatin1String("b"))
                throw TError(QStringLiteral("Bad line"));
            if (line == QLatin1String("stop"))
                direct.Close();
        };
        direct.receiveBytes("a\r\nb\r\nc\r\nd");
        QCOMPARE(lines, (QStringList{"a", "b"}));
        QTRY_COMPARE(lines, (QStringList{"a", "b", "c"}));
        QCOMPARE(dialogs.errors(), QStringList{QStringLiteral("Bad line.")});
        direct.receiveBytes("\r\nstop\r\ngone\r\n");
        QCOMPARE(lines, (QStringList{"a", "b", "c", "d", "stop"}));
        runQueuedCalls(); // what was left of the arrival is dropped
        QCOMPARE(lines.size(), 5);
        direct.receiveBytes("fresh\r\n");
        QCOMPARE(lines.last(), QStringLiteral("fresh"));
    }

    void connectHandlerError()
    {
        ScriptedDialogs dialogs;
        link = std::make_unique<TChatInterface>();
        link->Address = QStringLiteral("127.0.0.1");
        link->Port = server.serverPort();
        link->OnConnect = [] { throw TError(QStringLiteral("Login failed")); };
        QVERIFY(link->Open());
        QTRY_COMPARE(dialogs.errors(), QStringList{"Login failed."});
        QVERIFY(link->Connected());
        link->Close();
        link->OnConnect = nullptr;
        QVERIFY(link->Open()); // the guard did not stay stuck
        QTRY_VERIFY(link->Connected());
    }
};

QTEST_MAIN(TestChatConnection)
#include "test_chat_connection.moc"
