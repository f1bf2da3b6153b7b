#include "interpreter/TBnetChat.h"

#include "app/errors.h"
#include "app/guard.h"
#include "connection/TChatInterface.h"

namespace {

// Handlers may replace their own slot while they run.
template <class F, class... Args> void fire(const F &event, const Args &...args) {
    if (!event) return;
    F handler = event;
    handler(args...);
}

// count characters from the 1-based position pos; a start before the first
// character starts at the first, a start past the end gives nothing.
QString copyAt(const QString &line, qsizetype pos, qsizetype count) {
    if (pos < 1) pos = 1;
    if (pos > line.size()) return QString();
    return line.mid(pos - 1, count);
}

int lineCode(const QString &line) {
    // The gateway always sends four digits; anything else takes the general
    // rule, and no blank or sign can make one of the known codes.
    if (line.size() >= 4) {
        int code = 0;
        bool digits = true;
        for (int i = 0; i < 4 && digits; ++i) {
            const char16_t c = line.at(i).unicode();
            digits = c >= u'0' && c <= u'9';
            code = code * 10 + (c - u'0');
        }
        if (digits) return code;
    }
    int code = 0;
    if (!tryStrToInt(line.left(4), code)) return 0;
    return code;
}

} // namespace

TBnetChat::TBnetChat(QObject *parent) : tBaseInterpreter(parent) {
    floodTimer.setInterval(1500);
    connect(&floodTimer, &QTimer::timeout, this, [this] { guarded([this] { floodTimerTick(); }); });
    floodTimer.start();
}

bool TBnetChat::Login() {
    if (!ChatInterface) return false;
    // SendLoginScript adds the final CR: 03 04 name CR password CR CR.
    QString line;
    line.reserve(UserName.size() + Password.size() + 3);
    line += QChar(0x03);
    line += QChar(0x04);
    line += UserName;
    line += QLatin1Char('\r');
    line += Password;
    line += QLatin1Char('\r');
    ChatInterface->LoginScript = QStringList{line};
    return ChatInterface->SendLoginScript();
}

QString TBnetChat::GetUser(const QString &line) const {
    // The word after the keyword, which starts at character 6.
    const qsizetype first = line.indexOf(QLatin1Char(' '), 5);
    if (first < 0) return QString();
    qsizetype second = line.indexOf(QLatin1Char(' '), first + 1);
    if (second < 0) second = line.size();
    return line.mid(first + 1, second - first - 1);
}

QString TBnetChat::GetMess(const QString &line) const {
    // From after the first quote; the last character (the closing quote)
    // goes whatever it is, and inner quotes stay.
    const qsizetype quote = line.indexOf(QLatin1Char('"'));
    if (quote < 0) return QString();
    const qsizetype length = line.size() - quote - 2;
    if (length <= 0) return QString();
    return line.mid(quote + 1, length);
}

QString TBnetChat::GetFlags(const QString &line) const {
    const qsizetype n = line.size();
    if (n > 0 && line.at(n - 1) == QLatin1Char(']'))
        return copyAt(line, n - 10, 4); // before " [PROD]"
    return copyAt(line, n - 3, 4);
}

QString TBnetChat::GetUserType(const QString &line) const {
    return copyAt(line, line.size() - 4, 4);
}

void TBnetChat::ParseLine(const QString &line) {
    // Only the fields an event carries are extracted, and only when
    // someone listens: this runs for every line the server sends.
    const auto userEvent = [&](const decltype(OnJoin) &event) {
        if (event) fire(event, GetUser(line), GetFlags(line), GetUserType(line));
    };
    const auto talkEvent = [&](const decltype(OnTalk) &event) {
        if (event) fire(event, GetUser(line), GetMess(line));
    };
    const auto messEvent = [&](const decltype(OnInfo) &event) {
        if (event) fire(event, GetMess(line));
    };

    switch (lineCode(line)) {
    case 1001:
        userEvent(OnShowUser);
        break;
    case 1002:
        userEvent(OnJoin);
        break;
    case 1003:
        userEvent(OnLeave);
        break;
    case 1004:
        talkEvent(OnWhisper);
        break;
    case 1005:
        talkEvent(OnTalk);
        break;
    case 1006:
        messEvent(OnBroadcast);
        break;
    case 1007:
        messEvent(OnChannel);
        break;
    case 1009:
        if (OnUserFlags) fire(OnUserFlags, GetUser(line), GetFlags(line));
        break;
    case 1010:
        talkEvent(OnWhisperSent);
        break;
    case 1013:
        messEvent(OnChannelFull);
        break;
    case 1014:
        messEvent(OnChanNotExist);
        break;
    case 1015:
        messEvent(OnRestricted);
        break;
    case 1018:
        messEvent(OnInfo);
        break;
    case 1019:
        messEvent(OnError);
        break;
    case 1023:
        talkEvent(OnEmote);
        break;
    case 2000:
        break; // consumed without a word
    case 2010:
        if (OnUniqueName) fire(OnUniqueName, GetUser(line));
        break;
    default:
        fire(OnUnHandled, line);
        break;
    }
}

void TBnetChat::SendLine(const QString &line) {
    if (!ChatInterface) return;
    if (sendReady && sendQueue.isEmpty()) {
        sendReady = false;
        ChatInterface->SendData(line);
    } else {
        sendQueue.append(line);
    }
}

void TBnetChat::floodTimerTick() {
    if (!ChatInterface) return;
    if (!ChatInterface->Connected() && !sendQueue.isEmpty()) {
        // Nothing can go out; the owner gets the lines back to keep.
        QStringList unsent;
        unsent.reserve(sendQueue.size());
        for (const QString &line : std::as_const(sendQueue))
            unsent << (line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line);
        sendQueue.clear();
        fire(OnUnsent, unsent);
    }
    if (sendQueue.isEmpty()) {
        sendReady = true;
        return;
    }
    const QString line = sendQueue.takeFirst();
    ChatInterface->SendData(line);
}
