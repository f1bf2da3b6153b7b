// tressel-fuzz-seeds OUTDIR [TRANSCRIPT...]: writes the starting corpora of
// the fuzz targets into OUTDIR/<target>/. The server stream seeds are what
// the local gateway really sends a client (run in-process, driven through
// its console and a real client's commands) and every block of bytes the
// transcripts of a real server show a client receiving.
#include "gatewayserver.h"
#include "history/historystore.h"
#include "rules/anticensor.h"

#include <QCoreApplication>
#include <QCryptographicHash>
#include <QDeadlineTimer>
#include <QDir>
#include <QFile>
#include <QTcpSocket>
#include <QTemporaryDir>

#include <cstdio>

namespace {

QString outDir;
int written = 0;

void writeSeed(const QString &target, const QByteArray &bytes)
{
    QDir().mkpath(outDir + QLatin1Char('/') + target);
    const QString name =
        QString::fromLatin1(QCryptographicHash::hash(bytes, QCryptographicHash::Sha1).toHex());
    QFile f(outDir + QLatin1Char('/') + target + QLatin1Char('/') + name);
    if (f.open(QIODevice::WriteOnly) && f.write(bytes) == bytes.size())
        ++written;
}

// A stream seed with its two leading bytes: the switches and the way the
// stream is cut. A few combinations, so each starts from a different road.
void writeStreamSeeds(const QByteArray &stream)
{
    if (stream.isEmpty())
        return;
    static const char prefixes[][2] = {{0x00, 0x09}, {0x1f, 0x00}, {0x0e, 0x06}};
    for (const auto &p : prefixes)
        writeSeed(QStringLiteral("fuzz_server_stream"), QByteArray(p, 2) + stream);
}

// One Python byte-string literal, b'...' or b"...", from its opening quote.
QByteArray decodeLiteral(const QByteArray &text, bool *ok)
{
    *ok = false;
    if (text.size() < 3 || text[0] != 'b')
        return QByteArray();
    const char quote = text[1];
    if (quote != '\'' && quote != '"')
        return QByteArray();
    QByteArray out;
    for (qsizetype i = 2; i < text.size(); ++i) {
        const char c = text[i];
        if (c == quote) {
            *ok = true;
            return out;
        }
        if (c != '\\' || i + 1 >= text.size()) {
            out += c;
            continue;
        }
        const char e = text[++i];
        switch (e) {
        case 'r':
            out += '\r';
            break;
        case 'n':
            out += '\n';
            break;
        case 't':
            out += '\t';
            break;
        case '0':
            out += '\0';
            break;
        case 'x':
            if (i + 2 < text.size()) {
                out += QByteArray::fromHex(text.mid(i + 1, 2)).left(1);
                i += 2;
            }
            break;
        default:
            out += e;
            break; // \\ \' \"
        }
    }
    return QByteArray();
}

// Every "<<<" block of a transcript: the bytes one client received at once.
int transcriptSeeds(const QString &fileName)
{
    QFile f(fileName);
    if (!f.open(QIODevice::ReadOnly))
        return 0;
    int blocks = 0;
    QByteArray block;
    bool inBlock = false;
    const auto flush = [&] {
        if (inBlock && !block.isEmpty()) {
            writeStreamSeeds(block);
            ++blocks;
        }
        block.clear();
        inBlock = false;
    };
    while (!f.atEnd()) {
        const QByteArray line = f.readLine().trimmed();
        if (line.contains("<<<")) {
            flush();
            inBlock = true;
            continue;
        }
        bool ok = false;
        const QByteArray bytes = decodeLiteral(line, &ok);
        if (inBlock && ok)
            block += bytes;
        else
            flush();
    }
    flush();
    return blocks;
}

// The gateway in this process, a real client logged in, and the console
// commands and client commands that make it send every kind of line.
void gatewaySeeds()
{
    GatewayOptions options;
    options.port = 0;
    options.floodQuota = false;
    options.fullChannels = {"Full"};
    options.restrictedChannels = {"Secret"};
    options.missingChannels = {"Nowhere"};
    options.broadcasts = {"The server goes down in 5 minutes"};
    GatewayServer server(options);
    QString error;
    if (!server.listen(&error)) {
        std::fprintf(stderr, "tressel-fuzz-seeds: the gateway cannot listen: %s\n",
                     error.toLocal8Bit().constData());
        return;
    }
    QTcpSocket client;
    client.connectToHost(QStringLiteral("127.0.0.1"), server.port());
    QByteArray all;
    const auto collect = [&](int ms) {
        QByteArray got;
        const QDeadlineTimer deadline(ms);
        while (!deadline.hasExpired()) {
            QCoreApplication::processEvents(QEventLoop::AllEvents, 5);
            got += client.readAll();
        }
        all += got;
        return got;
    };
    if (!client.waitForConnected(5000))
        return;
    client.write("\x03\x04"
                 "alice\rpw\r\r");
    writeStreamSeeds(collect(300));

    const char *const console[] = {
        "join bob STAR 0012",
        "join 0101 SEXP",
        "join Kelm D2DV 0001",
        "join mute W2BN 0020",
        "say bob hello there",
        "say bob hello there",
        "say bob hello there",
        "say bob BUY SPAM NOW AT !@#$% PRICES",
        "emote bob waves",
        "whisper bob alice psst",
        "say Kelm .reportin",
        "say bob ~playsound boing",
        "flags bob 0002",
        "flags mute 0010",
        "broadcast Maintenance tonight",
        "raw 1005 TALK ghost 0010 \"\"\"quoted\"\"\"",
        "raw 2000 NULL",
        "raw 1016 NOTHING \"x\"",
        "rawbytes 31 30 30 35 0d 0d 0a 0a 00 ff 7f",
        "leave bob",
        "leave 0101",
    };
    for (const char *command : console) {
        server.consoleCommand(command);
        writeStreamSeeds(collect(20));
    }
    const char *const typed[] = {
        "hello everyone",  "/me dances",     "/w Kelm hi",    "/whisper nobody hi",
        "/join Full",      "/join Secret",   "/join Nowhere", "/join Other",
        "/users",          "/whois Kelm",    "/time",         "/stats alice SEXP",
        "/away back soon", "/away",          "/squelch Kelm", "/unsquelch Kelm",
        "/ignore Kelm",    "/nosuchcommand",
    };
    for (const char *line : typed) {
        client.write(QByteArray(line) + '\r');
        writeStreamSeeds(collect(40));
    }
    writeStreamSeeds(all);
}

void configSeeds()
{
    const QByteArray written =
        "# Config file for Tressel 1.5. This is generated when you click OK on the options "
        "dialogue.\r\n# You might screw it up if you manually edit it.\r\n# File generated at "
        "2:05:09 PM on 12/8/26.\r\n\r\n[misc]\r\nusername=alice\r\npassword=pw\r\nserver="
        "useast.battle.net\r\nhomechannel=Home\r\nawaymessage=away\r\n\r\n[logging]\r\n"
        "logfilename=chat.log\r\nrawlogfilename=raw.log\r\nkeeplog=1\r\nkeeprawlog=0\r\n\r\n"
        "[features]\r\nanticensor=1\r\nalertwhisper=1\r\nsuppressplaysound=0\r\nconfirmquit=0\r\n"
        "dblclickcommand=1\r\ntimeStamps=1\r\nautoConnect=0\r\nnotifications=1\r\nonlynotesafe=0"
        "\r\nantiidle=1\r\nidletype=2\r\n\r\n[autosquelch]\r\nsquelchPrompt=1\r\n"
        "squelchFlooders=1\r\nsquelchAscii=1\r\nsquelchUc=1\r\nsquelchLeet=1\r\n"
        "asciiPercentage=40\r\nucPercentage=60\r\nleetPercentage=50\r\nminLineLength=1\r\n"
        "autoAction=0\r\ndblClickAction=2\r\nhistoryDelay=1\r\ntriggerPhrase=(?i)spam\r\n"
        "triggerPhrase=^buy\r\n\r\n[safelist]\r\nsafe=Kelm\r\nsafe=bob\r\n\r\n[colours]\r\n"
        "bg_colour=Black\r\nwhisp_colour=Gray\r\ntime_colour=Silver\r\nname_colour=Yellow\r\n"
        "label_colour=Sky Blue\r\nerror_colour=Red\r\nyour_name=Aqua\r\nemote_colour=Lime\r\n"
        "text_colour=White\r\n\r\n[fonts]\r\nchat_font=MS Sans Serif\r\nchat_size=8\r\n"
        "user_font=MS Sans Serif\r\nuser_size=7\r\ntext_font=MS Sans Serif\r\ntext_size=8\r\n"
        "raw_font=MS Sans Serif\r\nraw_size=8\r\nbrx_font=MS Sans Serif\r\nbrx_size=7\r\n\r\n"
        "[ProdActions]\r\naction_diablos=0\r\naction_diablo1=1\r\naction_diablo2=2\r\n"
        "action_starcrafts=3\r\naction_starcraft=0\r\naction_broodwar=1\r\naction_warcraft=2\r\n"
        "action_bot=3\r\n";
    writeSeed(QStringLiteral("fuzz_readconfig"), written);
    writeSeed(QStringLiteral("fuzz_settings"), written);
    writeSeed(QStringLiteral("fuzz_settings"),
              written + '\0' +
                  "[quota]\nunits=7\nwindow=9\nbytesPerUnit=32\nmargin=250\n"
                  "[text]\noutgoingEncoding=Windows-1252\n");
    writeSeed(QStringLiteral("fuzz_settings"),
              QByteArray("username=bob\n") + '\0' +
                  "[quota]\nunits=abc\nwindow=0\nmargin=99999\n[text]\noutgoingEncoding=latin1\n");
    writeSeed(QStringLiteral("fuzz_readconfig"),
              "asciiPercentage=250\nhistoryDelay=0\nminLineLength=-5\nautoAction=7\n"
              "keeplog=10\ntimestamps=1\nidletype=\nchat_size=big\n");
    writeSeed(QStringLiteral("fuzz_readconfig"), "safe=a\nsafe=a\ntriggerPhrase=[\n"
                                                 "text_colour=sky blue\nhomechannel=Lobby \n");
}

void otherSeeds()
{
    writeSeed(QStringLiteral("fuzz_squelchlist"), "STARFoo\r\nCHATName With Spaces\r\nabc\r\n");
    writeSeed(QStringLiteral("fuzz_journal"),
              "2026-12-08 14:05:09\tpermasquelch\tbob\tTrigger Phrase\tspam | eg+s\tspam eggs\r\n"
              "2026-12-08 14:05:10\tunpermasquelch\tbob\tUndo\t2026-12-08 14:05:09\t\r\n"
              "2026-12-08 14:05:11\tignore\tcarol\tProduct W2BN\t\t\r\nnot an entry\r\n");
    static const char records[] = "\3bob\1Manual\1\1text\0\5carol\1Undo";
    writeSeed(QStringLiteral("fuzz_journal"), QByteArray(records, sizeof records - 1));
    writeSeed(QStringLiteral("fuzz_squelchlist"), "D2XPx\rW2BNy\nSEXP\r\n\r\nJSTRz");

    const tAntiCensorTable table = makeAntiCensorTable();
    for (const tAntiCensor &pair : table) {
        const QByteArray censored = pair.censored.toLatin1();
        writeSeed(QStringLiteral("fuzz_anticensor"), "you " + censored + " there");
        writeSeed(QStringLiteral("fuzz_anticensor"), "YOU " + censored + " THERE " + censored);
        writeSeed(QStringLiteral("fuzz_anticensor"), "X" + censored);
    }

    const char *const pairs[][2] = {
        {"(?i)spam", "buy SPAM now"}, {"^buy .* now$", "buy it now"},
        {"[", "unbalanced"},          {"(a+)+$", "aaaaaaaaaaaaaaaaaaaaaaaab"},
        {"\\x{ff}", "\xff\xfe"},      {".", "x"},
        {"(?x) a b # comment", "ab"}, {"", "HELLO WORLD"},
    };
    for (const auto &p : pairs)
        writeSeed(QStringLiteral("fuzz_autosquelch"), QByteArray(p[0]) + '\0' + QByteArray(p[1]));

    // Typed input: a switches byte, then what is pasted.
    const QByteArray typed[] = {
        "hello there",
        "first line\r\nsecond line\nthird\rfourth",
        "/w bob " + QByteArray(300, 'x'),
        "/me waves " + QByteArray(250, 'y') + " and more words here",
        "/squelch " + QByteArray(220, 'n'),
        "/away gone\n/home\n/ver\n/reply hi",
        "caf\xc3\xa9 \xe2\x82\xac \xf0\x9f\x98\x80 " + QByteArray(180, 'u'),
        "\xe2\x80\xa8separator\xc2\x85next",
        "/disconnect\n/connect\nafter",
    };
    for (const QByteArray &t : typed) {
        writeSeed(QStringLiteral("fuzz_typed_input"), '\0' + t);
        writeSeed(QStringLiteral("fuzz_typed_input"), '\3' + t);
    }
}

} // namespace

// The history's seeds: a real history file with lines in it (the file's
// length in three bytes before it), and searches of every kind after it.
void historySeeds()
{
    QTemporaryDir dir;
    if (!dir.isValid())
        return;
    const QString name = dir.filePath(QStringLiteral("history.db"));
    {
        THistoryStore store(name);
        store.start();
        if (!store.waitOpen())
            return;
        const char *const texts[] = {"gold for sale", "hello there", "caf\xc3\xa9", "spam spam"};
        for (int i = 0; i < 12; ++i) {
            THistory::Line l;
            l.timeMs = 1772366400000LL + i * 1000;
            l.channel = QStringLiteral("Op Tressel");
            l.kind = THistory::Kind(i % THistory::kindCount);
            l.sender = i % 2 ? QStringLiteral("bob") : QStringLiteral("Carol");
            l.text = QString::fromUtf8(texts[i % 4]);
            l.hidden = i % 5 == 0;
            store.add(l);
        }
    }
    QFile f(name);
    if (!f.open(QIODevice::ReadOnly))
        return;
    const QByteArray file = f.readAll();
    const qsizetype n = file.size();
    static const char queryBytes[] = "\x00gold\n\x31\"for sale\"\n\x92hel*\n\x05gold OR spam\n"
                                     "\x23NOT\n\x40spam NOT gold\n[12:00:01 PM] <bob> hi\n";
    const QByteArray queries(queryBytes, sizeof queryBytes - 1);
    static const char broken[] = "\x01\x10\x00\x00SQLite format 3\x00\x10\x00garbage";
    const QByteArray head{"\x01", 1};
    writeSeed(QStringLiteral("fuzz_history"), head + char(n & 0xff) + char((n >> 8) & 0xff) +
                                                  char((n >> 16) & 0xff) + file + queries);
    writeSeed(QStringLiteral("fuzz_history"), QByteArray(1, '\0') + queries);
    writeSeed(QStringLiteral("fuzz_history"), QByteArray(broken, sizeof broken - 1) + queries);
}

int main(int argc, char *argv[])
{
    QCoreApplication app(argc, argv);
    const QStringList args = app.arguments().mid(1);
    if (args.isEmpty()) {
        std::fprintf(stderr, "usage: tressel-fuzz-seeds OUTDIR [TRANSCRIPT...]\n");
        return 2;
    }
    outDir = args.first();
    gatewaySeeds();
    int blocks = 0;
    for (const QString &transcript : args.mid(1))
        blocks += transcriptSeeds(transcript);
    configSeeds();
    otherSeeds();
    historySeeds();
    std::printf("seeds: %d files (%d transcript blocks)\n", written, blocks);
    return 0;
}
