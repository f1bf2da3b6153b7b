// Every event code the interpreter knows, with its line cut at every
// position and with fields missing or swapped: one event or none, fields
// that are pieces of the line, and a window that takes all of it and goes on.
#include "support/mainwindowfixture.h"

#include "connection/TChatInterface.h"
#include "interpreter/TBnetChat.h"
#include "session/TSession.h"
#include "support/interpreterevents.h"

#include <QtTest>

namespace {

// One well-formed line per code of the table, as the gateway sends them,
// with the event the code fires.
const QList<std::pair<QString, QString>> &eventLines()
{
    static const QList<std::pair<QString, QString>> lines = {
        {"1001 USER bob 0010 [CHAT]", "ShowUser"},
        {"1002 JOIN bob 0010 [STAR]", "Join"},
        {"1003 LEAVE bob 0010", "Leave"},
        {"1004 WHISPER bob 0010 \"psst\"", "Whisper"},
        {"1005 TALK bob 0010 \"hello there\"", "Talk"},
        {"1006 _ \"Maintenance tonight\"", "Broadcast"},
        {"1007 CHANNEL \"Chat\"", "Channel"},
        {"1009 USER bob 0012", "UserFlags"},
        {"1010 WHISPER bob 0010 \"hi\"", "WhisperSent"},
        {"1013 CHANNELFULL \"Channel is full.\"", "ChannelFull"},
        {"1014 CHANNELDOESNOTEXIST \"No such channel.\"", "ChanNotExist"},
        {"1015 CHANNELRESTRICTED \"That channel is restricted.\"", "Restricted"},
        {"1018 INFO \"You are in channel Chat.\"", "Info"},
        {"1019 ERROR \"That user is not logged on.\"", "Error"},
        {"1023 EMOTE bob 0010 \"waves\"", "Emote"},
        {"2000 NULL", ""},
        {"2010 NAME alice", "UniqueName"},
    };
    return lines;
}

// The event a line must fire: its code's when the line starts with four
// digits of a known code, none for 2000, the unhandled event otherwise.
QString expectedEvent(const QString &line)
{
    bool digits = line.size() >= 4;
    for (int i = 0; digits && i < 4; ++i)
        digits = line[i].isDigit() && line[i].unicode() < 128;
    if (digits)
        for (const auto &l : eventLines())
            if (l.first.left(4) == line.left(4))
                return l.second;
    return QStringLiteral("UnHandled");
}

// The cut and reordered forms of a line.
QStringList variants(const QString &line)
{
    QStringList out;
    for (int n = 0; n <= line.size(); ++n)
        out << line.left(n);
    const QStringList fields = line.split(QLatin1Char(' '));
    for (int i = 0; i < fields.size(); ++i) {
        QStringList missing = fields;
        missing.removeAt(i);
        out << missing.join(QLatin1Char(' '));
        if (i + 1 < fields.size()) {
            QStringList swapped = fields;
            swapped.swapItemsAt(i, i + 1);
            out << swapped.join(QLatin1Char(' '));
        }
    }
    return out;
}

struct Fired {
    QString event;
    QStringList fields;
};

class Recorder {
public:
    explicit Recorder(TBnetChat &p)
    {
        listenToEvents(p, [this](const QString &name, const QStringList &fields) {
            fired.append({name, fields});
        });
    }
    QList<Fired> fired;
};

} // namespace

class TestTruncation : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void interpreter_data();
    void interpreter();
    void window();
};

void TestTruncation::interpreter_data()
{
    QTest::addColumn<QString>("line");
    for (const auto &l : eventLines())
        QTest::newRow(qPrintable(l.first.left(4))) << l.first;
    QTest::newRow("unknown code") << QStringLiteral("1016 WHATEVER bob 0010 \"x\"");
}

void TestTruncation::interpreter()
{
    QFETCH(QString, line);
    TBnetChat process;
    Recorder rec(process);
    for (const QString &v : variants(line)) {
        rec.fired.clear();
        process.ParseLine(v);
        const QString want = expectedEvent(v);
        QVERIFY2(rec.fired.size() == (want.isEmpty() ? 0 : 1), qPrintable(v));
        if (want.isEmpty())
            continue;
        QCOMPARE(rec.fired.first().event, want);
        // Every field is a piece of the line; flags and products are four
        // characters at most.
        const QStringList &fields = rec.fired.first().fields;
        for (const QString &field : fields)
            QVERIFY2(v.contains(field), qPrintable(v + QStringLiteral(" / ") + field));
        if (fields.size() == 3) {
            QVERIFY(fields[1].size() <= 4);
            QVERIFY(fields[2].size() <= 4);
        }
    }
}

void TestTruncation::window()
{
    // All of it through one window with every moderation feature on, the
    // chat paused and lamer mode on: no error, and the window reads on.
    MainWindowFixture f({"username=alice", "logfilename=chat.log", "rawlogfilename=raw.log",
                         "keeplog=1", "keeprawlog=1", "notifications=1", "squelchFlooders=1",
                         "squelchAscii=1", "squelchUc=1", "squelchLeet=1", "leetPercentage=30",
                         "autoAction=0", "triggerPhrase=(?i)hello", "action_bot=1",
                         "action_starcraft=3", "suppressplaysound=1", "alertwhisper=1"});
    Tmain &m = *f.main;
    m.lamermodeClick();
    m.PauseChatClick();
    int lines = 0;
    QByteArray stream;
    for (const auto &l : eventLines())
        for (const QString &v : variants(l.first)) {
            stream += v.toLatin1() + "\r\n";
            lines += v.isEmpty() ? 0 : 1;
        }
    m.session->bnet->receiveBytes(stream);
    QCoreApplication::processEvents();
    if (m.envVars.chatPaused) // a full store of held lines unpauses by itself
        m.PauseChatClick();
    m.lamermodeClick();
    m.session->bnet->receiveBytes("1005 TALK carol 0010 \"still reading\"\r\n");
    QCoreApplication::processEvents();
    QVERIFY(f.lines(m.chat).contains(QStringLiteral(" <carol> still reading")));
    QCOMPARE(f.dialogs.errors(), QStringList());
    // Every line reached the raw log, whatever it held: the header, an
    // empty line, the lines, carol's, and the empty rest after the last CR LF.
    const QList<QByteArray> raw = f.readFile(QStringLiteral("raw.log")).split('\n');
    QCOMPARE(raw.size(), lines + 4);
}

QTEST_MAIN(TestTruncation)
#include "test_truncation.moc"
