#include "history/historyimport.h"

#include "base/clock.h"

#include <QCryptographicHash>
#include <QDateTime>
#include <QRegularExpression>

namespace THistoryImport {

namespace {

using THistory::Kind;

// The whole line of bytes as Latin-1 (one char per byte) for matching.
struct Shape {
    Kind kind;
    QRegularExpression pattern; // captures the name (if any), then the text
    bool hasName;
};

const QVector<Shape> &shapes()
{
    // The labels the window writes, longest first where one begins another.
    // A label that ends in a blank gives two blanks before the text.
    static const QVector<Shape> list = {
        {Kind::WhisperReceived, QRegularExpression(QStringLiteral("^<From: (\\S+)>  (.*)$")), true},
        {Kind::WhisperSent, QRegularExpression(QStringLiteral("^<To: (\\S+)>  (.*)$")), true},
        {Kind::WhisperReceived,
         QRegularExpression(QStringLiteral("^<Recieved Whisper From: (\\S+)>  (.*)$")), true},
        {Kind::WhisperSent, QRegularExpression(QStringLiteral("^<Sent Whisper To: (\\S+)>  (.*)$")),
         true},
        {Kind::Talk, QRegularExpression(QStringLiteral("^<(\\S+)> (.*)$")), true},
        {Kind::Emote, QRegularExpression(QStringLiteral("^\\* (\\S+) (.*) \\* $")), true},
        {Kind::Info, QRegularExpression(QStringLiteral("^Info: (.*)$")), false},
        {Kind::Error, QRegularExpression(QStringLiteral("^Error:  ?(.*)$")), false},
        {Kind::Error, QRegularExpression(QStringLiteral("^Warning: (.*)$")), false},
        {Kind::Broadcast, QRegularExpression(QStringLiteral("^Broadcast: (.*)$")), false},
        {Kind::Console, QRegularExpression(QStringLiteral("^Console:  ?(.*)$")), false},
    };
    return list;
}

const QRegularExpression
    header(QStringLiteral("^Chat logfile created by Tressel \\S+ at (.+) on (\\S+)\\.$"));
const QRegularExpression joined(QStringLiteral("^(\\S+) joined the channel\\.$"));
const QRegularExpression left(QStringLiteral("^(\\S+) left the channel\\.$"));
const QString joinedChannel = QStringLiteral("Joined Channel ");

// A clock set back a little is not a new day; a time stamp that goes back
// further than this is.
constexpr int newDayBackMs = 60 * 60 * 1000;

} // namespace

Parsed parseChatLog(const QByteArray &bytes,
                    const std::function<QString(const QByteArray &)> &decode)
{
    Parsed out;
    QList<QByteArray> rows = bytes.split('\n');
    for (QByteArray &row : rows)
        if (row.endsWith('\r'))
            row.chop(1);
    if (!rows.isEmpty() && rows.constLast().isEmpty())
        rows.removeLast();

    const auto first = header.match(QString::fromLatin1(rows.value(0)));
    if (!first.hasMatch()) {
        out.error = QStringLiteral("it is not a chat log Tressel wrote (it does not begin with "
                                   "\"Chat logfile created by Tressel\")");
        return out;
    }
    const QTime headerTime = parseLongTimeText(first.captured(1));
    const QDate headerDate = parseShortDateText(first.captured(2));
    if (!headerTime.isValid() || !headerDate.isValid()) {
        out.error = QStringLiteral("the time and date in its first line cannot be read in this "
                                   "system's time and date formats");
        return out;
    }
    out.source = QCryptographicHash::hash(rows.value(0), QCryptographicHash::Sha256);

    QDate date = headerDate;
    QTime lastTime = headerTime;
    qint64 lastMs = QDateTime(date, headerTime).toMSecsSinceEpoch();
    QString channel;
    for (int i = 1; i < rows.size(); ++i) {
        const QString row = QString::fromLatin1(rows.at(i));
        if (row.isEmpty())
            continue;
        THistory::Line line;
        QString rest = row;
        if (row.startsWith(QLatin1Char('['))) {
            const int close = row.indexOf(QLatin1Char(']'));
            const QTime time = close > 0 ? parseLongTimeText(row.mid(1, close - 1)) : QTime();
            if (!time.isValid()) {
                ++out.unreadable;
                continue;
            }
            if (time.msecsTo(lastTime) > newDayBackMs)
                date = date.addDays(1);
            lastTime = time;
            lastMs = QDateTime(date, time).toMSecsSinceEpoch();
            rest = row.mid(close + 1);
        } else {
            line.approximate = true;
        }
        line.timeMs = lastMs;
        if (!rest.startsWith(QLatin1Char(' '))) {
            ++out.unreadable;
            continue;
        }
        rest.remove(0, 1);
        bool read = false;
        for (const Shape &shape : shapes()) {
            const auto m = shape.pattern.match(rest);
            if (!m.hasMatch())
                continue;
            line.kind = shape.kind;
            const QString text = m.captured(shape.hasName ? 2 : 1);
            if (shape.hasName)
                line.sender = decode(m.captured(1).toLatin1());
            if (shape.kind == Kind::Info) {
                if (const auto j = joined.match(text); j.hasMatch()) {
                    line.kind = Kind::Join;
                    line.sender = decode(j.captured(1).toLatin1());
                } else if (const auto l = left.match(text); l.hasMatch()) {
                    line.kind = Kind::Leave;
                    line.sender = decode(l.captured(1).toLatin1());
                } else if (text.startsWith(joinedChannel)) {
                    channel = decode(text.mid(joinedChannel.size()).toLatin1());
                }
            }
            line.raw = text.toLatin1();
            line.text = decode(line.raw);
            read = true;
            break;
        }
        if (!read) {
            ++out.unreadable;
            continue;
        }
        line.channel = channel;
        out.lines.append(line);
        out.lineNumbers.append(i + 1);
    }
    return out;
}

} // namespace THistoryImport
