// What the input line hands the server: long lines in pieces the server
// takes, over-long commands refused and kept, pastes sent line by line on
// Enter, lines left unsent when the connection ends given back, and typed
// text in the outgoing encoding. The wire is read back byte for byte.
#include "messagesfixture.h"
#include "support/connectedwindow.h"
#include "support/loopbackserver.h"

#include "connection/TChatInterface.h"
#include "core/textcodec.h"
#include "interpreter/TBnetChat.h"
#include "preferences/Toptions.h"
#include "preferences/controls.h"
#include "rules/inputbreaks.h"
#include "session/TSession.h"
#include "support/datarows.h"

#include <QComboBox>
#include <QLineEdit>
#include <QSpinBox>
#include <QTreeWidget>
#include <QtTest>

namespace {
const QString marker(TInputBreaks::marker);

QStringList conf(const QStringList &extra = {})
{
    return QStringList{QStringLiteral("password=pw")} + extra;
}

bool connectTo(Tmain &m, LoopbackServer &server)
{
    if (!connectToServer(m, server, loginBytes("alice", "pw")))
        return false;
    // What these tests look at is the lines, not their pace: the server's
    // quota (the limit a line is cut to still comes from the settings) would
    // hold each long piece for its whole window.
    m.session->process->QuotaUnits = 1000;
    return true;
}

// The pacing's clock, moved by the tests: two seconds a tick, so that a wait
// for the quota passes in a few ticks whatever the figures are.
qint64 pacingNow = 0;

// Drives the pacing until nothing more arrives; the lines received since
// the last clear, each without its CR (a trailing piece without one is
// kept as it is, so that a missing CR shows).
QList<QByteArray> wireLines(Tmain &m, LoopbackServer &server)
{
    qsizetype last = -1;
    for (int quiet = 0, i = 0; quiet < 5 && i < 400; ++i) {
        pacingNow += 2000;
        m.session->process->floodTimerTick();
        // Whatever the tick wrote has arrived once a probe sent after it has;
        // five quiet ticks (ten seconds of the pacing's clock) end it.
        if (!wireSettled(m, server))
            QCoreApplication::processEvents();
        quiet = server.received().size() == last ? quiet + 1 : 0;
        last = server.received().size();
    }
    QList<QByteArray> lines = server.received().split('\r');
    if (!lines.isEmpty() && lines.last().isEmpty())
        lines.removeLast();
    return lines;
}

// A connected window with the login's lines out of the way.
struct Connected {
    explicit Connected(const QStringList &extra = {}) : f(conf(extra)), m(*f.main)
    {
        m.session->process->clock = [] { return pacingNow; };
        QVERIFY(connectTo(m, server));
        wireLines(m, server);
        server.clearReceived();
    }
    MessagesFixture f;
    Tmain &m;
    LoopbackServer server;
};

QString words(int bytes) // "w0 w1 w2 ..." of about that many bytes, no trailing space
{
    QString out;
    for (int i = 0; out.size() < bytes; ++i)
        out += QStringLiteral("w%1 ").arg(i);
    return out.left(bytes).trimmed();
}

QStringList wordsOf(const QString &s) { return s.split(QLatin1Char(' '), Qt::SkipEmptyParts); }

bool hasLine(const QStringList &lines, const QString &part)
{
    for (const QString &l : lines)
        if (l.contains(part))
            return true;
    return false;
}
} // namespace

class TestInputLongLines : public QObject {
    Q_OBJECT
private Q_SLOTS:
    // Commands the client cannot cut are refused here, before the server
    // drops them, and stay in the input line to be mended.
    void overLongCommandRefused_data()
    {
        columns<QString, QString>("typed", "why");
        const QString x = QString(200, QLatin1Char('x'));
        QTest::newRow("/join") << "/join " + x << "only talk, whispers and emotes are split";
        QTest::newRow("whisper without a text") << "/w " + x << "only talk, whispers and emotes";
        QTest::newRow("in a paste, after a line that fits")
            << "fine" + marker + "/join " + x << "Line 2 of 2: This command is 206 bytes";
    }
    void overLongCommandRefused()
    {
        QFETCH(QString, typed);
        QFETCH(QString, why);
        Connected c;
        Tmain &m = c.m;
        const QString lastCommand = m.envVars.lastCommand;
        const int before = m.chat->lineCount();
        m.text->setText(typed);
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>());
        QCOMPARE(m.chat->lineCount(), before + 1);
        const QString line = MessagesFixture::lastLine(m.chat);
        QVERIFY2(line.startsWith(QLatin1String(" Error:")), qPrintable(line));
        QVERIFY2(line.contains(why), qPrintable(line));
        QVERIFY2(line.contains(QLatin1String("at most 160")), qPrintable(line));
        QVERIFY2(line.contains(QLatin1String("still in the input line")), qPrintable(line));
        QCOMPARE(m.text->text(), typed);
        QCOMPARE(m.envVars.lastCommand, lastCommand);
        // Mended, it goes.
        m.text->setText(QStringLiteral("/join short"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>{"/join short"});
        QCOMPARE(m.text->text(), QString());
    }

    void awayTooLongNotStored()
    {
        Connected c({QStringLiteral("awaymessage=gone fishing")});
        Tmain &m = c.m;
        QFile::remove(QStringLiteral("tressel.conf"));
        const QString typed = QStringLiteral("/away ") + words(160);
        m.text->setText(typed);
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>());
        const QString line = MessagesFixture::lastLine(m.chat);
        QVERIFY2(line.startsWith(QLatin1String(" Error:")), qPrintable(line));
        QVERIFY2(line.contains(QLatin1String("away message is too long")), qPrintable(line));
        QVERIFY2(line.contains(QLatin1String("166 bytes")), qPrintable(line));
        QCOMPARE(m.options->awaymessage->text(), QStringLiteral("gone fishing"));
        QVERIFY(!QFile::exists(QStringLiteral("tressel.conf")));
        QCOMPARE(m.text->text(), typed);
        // One that fits exactly (6 + 154 = 160 bytes) is stored and sent.
        const QString fits = QString(154, QLatin1Char('z'));
        m.text->setText(QStringLiteral("/away ") + fits);
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>{"/away " + fits.toLatin1()});
        QCOMPARE(m.options->awaymessage->text(), fits);
        // A stored message too long for a bare /away is kept and not sent.
        const QString stored = words(155);
        m.options->awaymessage->setText(stored);
        m.text->setText(QStringLiteral("/away"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>{"/away " + fits.toLatin1()});
        const QString bare = MessagesFixture::lastLine(m.chat);
        QVERIFY2(bare.startsWith(QLatin1String(" Error: The stored away message is too long: "
                                               "the /away line would be 161 bytes")),
                 qPrintable(bare));
        QVERIFY2(bare.contains(QLatin1String("Nothing was sent.")), qPrintable(bare));
        QCOMPARE(m.options->awaymessage->text(), stored);
        QCOMPARE(m.text->text(), QStringLiteral("/away"));
    }

    // A paste stays in the input line, each break a marker, until Enter;
    // then every line goes in order as if typed alone, commands included.
    void pasteSentLineByLine()
    {
        Connected c;
        Tmain &m = c.m;
        const QString longLine = words(300);
        m.text->insert(QStringLiteral("first line\r\n/me waves\n\nthird\rlast one\u2028") +
                       longLine);
        QCOMPARE(m.text->text(), QStringLiteral("first line") + marker + "/me waves" + marker +
                                     marker + "third" + marker + "last one" + marker + longLine);
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>());
        const int before = m.chat->lineCount();
        QTest::keyClick(m.text, Qt::Key_Return);
        const QList<QByteArray> wire = wireLines(m, c.server);
        QVERIFY2(!c.server.received().contains('\n'), c.server.received().constData());
        QVERIFY2(c.server.received().endsWith('\r'), c.server.received().constData());
        QVERIFY2(wire.size() >= 6, c.server.received().constData());
        QCOMPARE(wire.mid(0, 4),
                 (QList<QByteArray>{"first line", "/me waves", "third", "last one"}));
        QString rest;
        for (const QByteArray &piece : wire.mid(4)) {
            QVERIFY2(piece.size() <= 160, piece.constData());
            rest += QString::fromLatin1(piece) + QLatin1Char(' ');
        }
        QCOMPARE(wordsOf(rest), wordsOf(longLine));
        QCOMPARE(m.text->text(), QString());
        // Talk is echoed piece by piece; the emote is the server's to show.
        // The last piece loses its pending mark once it is taken.
        QTRY_VERIFY(MessagesFixture::lines(m.chat)
                        .mid(before)
                        .filter(QString(Tmain::pendingMark))
                        .isEmpty());
        const QStringList chat = MessagesFixture::lines(m.chat).mid(before);
        QCOMPARE(chat.size(), wire.size() - 1);
        QCOMPARE(chat.first(), QStringLiteral(" <alice> first line"));
        QCOMPARE(chat.at(1), QStringLiteral(" <alice> third"));
        QCOMPARE(chat.last(), QStringLiteral(" <alice> ") + QString::fromLatin1(wire.last()));
    }

    // Lines the client puts together from settings and names: a break in
    // them would end the line early and send the rest as talk.
    void noBreakFromOtherPaths()
    {
        Connected c;
        Tmain &m = c.m;
        m.options->homechannel->setText(QStringLiteral("Clan\r\nX"));
        m.HomeClick();
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>{"/join Clan X"});
        c.server.clearReceived();
        m.options->awaymessage->setText(QStringLiteral("out\nback soon"));
        m.text->setText(QStringLiteral("/away"));
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(wireLines(m, c.server), QList<QByteArray>{"/away out back soon"});
        c.server.clearReceived();
        // Alt+W with a paste: one whisper a line.
        auto *item = new QTreeWidgetItem(m.users, QStringList{QStringLiteral("bob")});
        m.users->setCurrentItem(item);
        item->setSelected(true);
        m.text->insert(QStringLiteral("hi\r\nthere"));
        QTest::keyClick(m.text, Qt::Key_W, Qt::AltModifier);
        QCOMPARE(wireLines(m, c.server), (QList<QByteArray>{"/m bob hi", "/m bob there"}));
        QCOMPARE(m.text->text(), QString());
        c.server.clearReceived();
        // A long Alt+W whisper goes in pieces, the name in every one.
        m.text->setText(words(300));
        QTest::keyClick(m.text, Qt::Key_W, Qt::AltModifier);
        const QList<QByteArray> wire = wireLines(m, c.server);
        QVERIFY2(wire.size() >= 2, c.server.received().constData());
        for (const QByteArray &piece : wire)
            QVERIFY2(piece.startsWith("/m bob ") && piece.size() <= 160, piece.constData());
        QVERIFY(!c.server.received().contains('\n'));
    }

    void longLinesInPieces_data()
    {
        // command: what every piece begins with
        columns<QString, int, int>("command", "units", "limit");
        QTest::newRow("talk") << "" << 5 << 160;
        QTest::newRow("/w") << "/w bob " << 5 << 160;
        QTest::newRow("/whisper") << "/whisper bob " << 5 << 160;
        QTest::newRow("/msg") << "/msg bob " << 5 << 160;
        QTest::newRow("/m") << "/m bob " << 5 << 160;
        QTest::newRow("/me") << "/me " << 5 << 160;
        QTest::newRow("/emote") << "/emote " << 5 << 160;
        QTest::newRow("talk, three units") << "" << 3 << 80;
        QTest::newRow("/m, three units") << "/m bob " << 3 << 80;
    }
    void longLinesInPieces()
    {
        QFETCH(QString, command);
        QFETCH(int, units);
        QFETCH(int, limit);
        Connected c;
        Tmain &m = c.m;
        m.options->quotaUnits->setValue(units);
        // A long word in the middle is cut where it must be.
        const QString said = words(200) + QLatin1Char(' ') + QString(170, QLatin1Char('L')) +
                             QLatin1Char(' ') + words(80);
        QVERIFY(command.size() + said.size() >= 450);
        m.text->setText(command + said);
        QTest::keyClick(m.text, Qt::Key_Return);
        const QList<QByteArray> wire = wireLines(m, c.server);
        QVERIFY2(wire.size() >= 3, c.server.received().constData());
        QString joined;
        for (const QByteArray &piece : wire) {
            QVERIFY2(piece.size() <= limit, piece.constData());
            QVERIFY2(piece.startsWith(command.toLatin1()), piece.constData());
            QVERIFY2(piece.size() > command.size(), piece.constData());
            if (command.isEmpty())
                QVERIFY2(!piece.startsWith('/'), piece.constData());
            joined += QString::fromLatin1(piece.mid(command.size()));
        }
        // Nothing but spaces is lost: the bytes come back with the spaces out.
        QString saidBare = said;
        saidBare.remove(QLatin1Char(' '));
        joined.remove(QLatin1Char(' '));
        QCOMPARE(joined, saidBare);
        QCOMPARE(m.text->text(), QString());
    }

    // Lines still queued when the connection ends come back, in order, and
    // Enter sends them once connected again.
    void unsentLinesGivenBack()
    {
        Connected c;
        Tmain &m = c.m;
        for (const char *line : {"one", "two", "three", "four"}) {
            m.text->setText(QString::fromLatin1(line));
            QTest::keyClick(m.text, Qt::Key_Return);
        }
        QTRY_COMPARE(c.server.received(), QByteArray("one\r"));
        QCOMPARE(m.session->process->queuedCount(), 3);
        QTRY_VERIFY(!m.session->process->inFlight()); // "one" was taken
        c.server.closeClient();
        QTRY_VERIFY(!m.session->bnet->Connected());
        m.session->process->floodTimerTick();
        QCOMPARE(m.session->process->queuedCount(), 0);
        const QStringList chat = MessagesFixture::lines(m.chat);
        QVERIFY2(hasLine(chat, QStringLiteral(" Warning: 3 lines were not sent before the "
                                              "connection ended")),
                 qPrintable(chat.join(QLatin1Char('\n'))));
        QCOMPARE(m.text->text(), QStringLiteral("two") + marker + "three" + marker + "four");

        c.server.clearReceived();
        QVERIFY(connectTo(m, c.server));
        wireLines(m, c.server);
        c.server.clearReceived();
        QTest::keyClick(m.text, Qt::Key_Return);
        QCOMPARE(wireLines(m, c.server), (QList<QByteArray>{"two", "three", "four"}));
    }

    void unsentLinesWhileTyping()
    {
        Connected c;
        Tmain &m = c.m;
        for (const char *line : {"one", "two"}) {
            m.text->setText(QString::fromLatin1(line));
            QTest::keyClick(m.text, Qt::Key_Return);
        }
        QTRY_COMPARE(c.server.received(), QByteArray("one\r"));
        QTRY_VERIFY(!m.session->process->inFlight()); // "one" was taken
        m.text->setText(QStringLiteral("half typed"));
        c.server.closeClient();
        QTRY_VERIFY(!m.session->bnet->Connected());
        m.session->process->floodTimerTick();
        QCOMPARE(m.text->text(), QStringLiteral("half typed"));
        const QStringList chat = MessagesFixture::lines(m.chat);
        QVERIFY2(hasLine(chat, QStringLiteral(" Warning: 1 line was not sent")),
                 qPrintable(chat.join(QLatin1Char('\n'))));
        QVERIFY2(hasLine(chat, QStringLiteral("Not sent: two")),
                 qPrintable(chat.join(QLatin1Char('\n'))));
    }

    void outgoingEncoding_data()
    {
        // wire: empty: refused
        columns<bool, QString, QByteArray, QString>("windows1252", "typed", "wire", "why");
        const QString cafe = QString::fromUtf8("caf\xc3\xa9 \xe2\x82\xac");
        QTest::newRow("UTF-8") << false << cafe << QByteArray("caf\xc3\xa9 \xe2\x82\xac")
                               << QString();
        QTest::newRow("Windows-1252") << true << cafe << QByteArray("caf\xe9 \x80") << QString();
        QTest::newRow("Windows-1252, Cyrillic")
            << true << QString::fromUtf8("caf\xc3\xa9 \xd0\xbf") << QByteArray()
            << QString::fromUtf8("The character \"\xd0\xbf\" (U+043F) cannot be sent in "
                                 "Windows-1252");
        QTest::newRow("Windows-1252, in a whisper")
            << true << QString::fromUtf8("/w bob \xe4\xb8\xad") << QByteArray()
            << QString::fromUtf8("\"\xe4\xb8\xad\" (U+4E2D) cannot be sent in Windows-1252");
        QTest::newRow("Windows-1252, second line of a paste")
            << true << QString::fromUtf8("ok") + marker + QString::fromUtf8("\xf0\x9f\x98\x80")
            << QByteArray() << QStringLiteral("(U+1F600) cannot be sent in Windows-1252");
    }
    void outgoingEncoding()
    {
        QFETCH(bool, windows1252);
        QFETCH(QString, typed);
        QFETCH(QByteArray, wire);
        QFETCH(QString, why);
        Connected c;
        Tmain &m = c.m;
        if (windows1252)
            m.options->outgoingEncoding->setCurrentIndex(Toptions::EncodeWindows1252);
        m.text->setText(typed);
        QTest::keyClick(m.text, Qt::Key_Return);
        const QList<QByteArray> lines = wireLines(m, c.server);
        if (!wire.isEmpty()) {
            QCOMPARE(lines, QList<QByteArray>{wire});
            QCOMPARE(m.text->text(), QString());
            return;
        }
        QCOMPARE(lines, QList<QByteArray>());
        QVERIFY(!c.server.received().contains('?'));
        const QString line = MessagesFixture::lastLine(m.chat);
        QVERIFY2(line.startsWith(QLatin1String(" Error:")), qPrintable(line));
        // The pane holds the message's UTF-8 bytes until it is shown decoded.
        QVERIFY2(line.contains(why) || line.contains(TText::fromBytes(why.toUtf8())),
                 qPrintable(line));
        QVERIFY2(line.contains(QLatin1String("Nothing was sent")), qPrintable(line));
        QCOMPARE(m.text->text(), typed);
    }
};

QTEST_MAIN(TestInputLongLines)
#include "test_input_longlines.moc"
