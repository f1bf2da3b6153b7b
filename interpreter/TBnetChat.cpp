#include "interpreter/TBnetChat.h"

#include "base/errors.h"
#include "base/guard.h"
#include "connection/TChatInterface.h"

#include <algorithm>
#include <climits>
#include <cstring>

namespace {

// The longest the pacing ever takes the server to remember a line: the
// longest window the settings allow.
constexpr qint64 maxPacingWindowMs = 60000;

// Handlers may replace their own slot while they run.
template <class F, class... Args> void fire(const F &event, const Args &...args)
{
    if (!event)
        return;
    F handler = event;
    handler(args...);
}

// Where a field lies in a line; a field that is not there is null.
struct Span {
    qsizetype pos = 0;
    qsizetype length = 0;
    bool null = true;
};

QString textOf(const QString &line, Span s)
{
    return s.null ? QString() : line.mid(s.pos, s.length);
}

// The field's characters into out, in out's own buffer when it is not
// shared and large enough: the fields of every line the server sends are
// handed to the handlers this way, without an allocation each.
void fill(QString &out, const QString &line, Span s)
{
    if (s.null) {
        out = QString();
        return;
    }
    out.resize(s.length);
    std::memcpy(out.data(), line.constData() + s.pos, size_t(s.length) * sizeof(QChar));
}

// count characters from the 1-based position pos; a start before the first
// character starts at the first, a start past the end gives nothing.
Span copyAt(const QString &line, qsizetype pos, qsizetype count)
{
    if (pos < 1)
        pos = 1;
    if (pos > line.size())
        return Span();
    return {pos - 1, std::min(count, line.size() - (pos - 1)), false};
}

// The first c at or after from, -1 when there is none. The fields are a
// few characters from where the search starts: a plain loop is quicker
// there than a call into the library's vectorised search.
qsizetype findChar(const QString &line, char16_t c, qsizetype from)
{
    const char16_t *d = reinterpret_cast<const char16_t *>(line.constData());
    for (qsizetype i = std::max<qsizetype>(from, 0), n = line.size(); i < n; ++i)
        if (d[i] == c)
            return i;
    return -1;
}

Span userSpan(const QString &line)
{
    // The word after the keyword, which starts at character 6.
    const qsizetype first = findChar(line, u' ', 5);
    if (first < 0)
        return Span();
    qsizetype second = findChar(line, u' ', first + 1);
    if (second < 0)
        second = line.size();
    return {first + 1, second - first - 1, false};
}

Span messSpan(const QString &line)
{
    // From after the first quote; the last character (the closing quote)
    // goes whatever it is, and inner quotes stay.
    const qsizetype quote = findChar(line, u'"', 0);
    if (quote < 0)
        return Span();
    const qsizetype length = line.size() - quote - 2;
    if (length <= 0)
        return Span();
    return {quote + 1, length, false};
}

Span flagsSpan(const QString &line)
{
    const qsizetype n = line.size();
    if (n > 0 && line.at(n - 1) == QLatin1Char(']'))
        return copyAt(line, n - 10, 4); // before " [PROD]"
    return copyAt(line, n - 3, 4);
}

Span userTypeSpan(const QString &line) { return copyAt(line, line.size() - 4, 4); }

// A field buffer lent to the handlers for one event and taken back after,
// so that a line delivered from inside a handler gets a buffer of its own.
class Lent {
public:
    Lent(QString &spare, const QString &line, Span s) : m_spare(spare), m_value(std::move(spare))
    {
        fill(m_value, line, s);
    }
    ~Lent() { m_spare = std::move(m_value); }
    Lent(const Lent &) = delete;
    Lent &operator=(const Lent &) = delete;
    const QString &value() const { return m_value; }

private:
    QString &m_spare;
    QString m_value;
};

int lineCode(const QString &line)
{
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
        if (digits)
            return code;
    }
    int code = 0;
    if (!tryStrToInt(line.left(4), code))
        return 0;
    return code;
}

} // namespace

const QString TBnetChat::QuotaRefusal = QStringLiteral("Your message quota has been exceeded!");

TBnetChat::TBnetChat(QObject *parent) : tBaseInterpreter(parent)
{
    clock = [] { return clockMs(); };
    floodTimer.setSingleShot(true);
    floodTimer.setTimerType(Qt::PreciseTimer); // never early: a tick is due when it fires
    connect(&floodTimer, &TClockTimer::timeout, this,
            [this] { guarded([this] { floodTimerTick(); }); });
    tickOriginMs = clockMs();
    // A held line is due at a known moment; a coarse timer could be late by
    // a twentieth of a long wait.
    holdTimer.setSingleShot(true);
    holdTimer.setTimerType(Qt::PreciseTimer);
    connect(&holdTimer, &TClockTimer::timeout, this,
            [this] { guarded([this] { holdTimerExpired(); }); });
    takenTimer.setInterval(TakenPollMs);
    connect(&takenTimer, &QTimer::timeout, this, [this] { guarded([this] { checkTaken(); }); });
    settleTimer.setSingleShot(true);
    settleTimer.setTimerType(Qt::PreciseTimer);
    connect(&settleTimer, &TClockTimer::timeout, this, [this] { guarded([this] { pump(); }); });
}

bool TBnetChat::Login()
{
    if (!ChatInterface)
        return false;
    resetQuota(); // the server counts each connection from nothing
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

QString TBnetChat::GetUser(const QString &line) const { return textOf(line, userSpan(line)); }

QString TBnetChat::GetMess(const QString &line) const { return textOf(line, messSpan(line)); }

QString TBnetChat::GetFlags(const QString &line) const { return textOf(line, flagsSpan(line)); }

QString TBnetChat::GetUserType(const QString &line) const
{
    return textOf(line, userTypeSpan(line));
}

void TBnetChat::ParseLine(const QString &line)
{
    // Only the fields an event carries are extracted, and only when
    // someone listens: this runs for every line the server sends.
    const auto userEvent = [&](const decltype(OnJoin) &event) {
        if (!event)
            return;
        const Lent user(m_spareUser, line, userSpan(line));
        const Lent flags(m_spareFlags, line, flagsSpan(line));
        const Lent type(m_spareType, line, userTypeSpan(line));
        fire(event, user.value(), flags.value(), type.value());
    };
    const auto talkEvent = [&](const decltype(OnTalk) &event) {
        if (!event)
            return;
        const Lent user(m_spareUser, line, userSpan(line));
        const Lent mess(m_spareMess, line, messSpan(line));
        fire(event, user.value(), mess.value());
    };
    const auto messEvent = [&](const decltype(OnInfo) &event) {
        if (!event)
            return;
        const Lent mess(m_spareMess, line, messSpan(line));
        fire(event, mess.value());
    };

    switch (lineCode(line)) {
    case Wire::ShowUser:
        userEvent(OnShowUser);
        break;
    case Wire::Join:
        userEvent(OnJoin);
        break;
    case Wire::Leave:
        userEvent(OnLeave);
        break;
    case Wire::Whisper:
        talkEvent(OnWhisper);
        break;
    case Wire::Talk:
        talkEvent(OnTalk);
        break;
    case Wire::Broadcast:
        messEvent(OnBroadcast);
        break;
    case Wire::Channel:
        messEvent(OnChannel);
        break;
    case Wire::UserFlags:
        if (OnUserFlags) {
            const Lent user(m_spareUser, line, userSpan(line));
            const Lent flags(m_spareFlags, line, flagsSpan(line));
            fire(OnUserFlags, user.value(), flags.value());
        }
        break;
    case Wire::WhisperSent:
        talkEvent(OnWhisperSent);
        break;
    case Wire::ChannelFull:
        messEvent(OnChannelFull);
        break;
    case Wire::ChannelMissing:
        messEvent(OnChanNotExist);
        break;
    case Wire::Restricted:
        messEvent(OnRestricted);
        break;
    case Wire::Info:
        messEvent(OnInfo);
        break;
    case Wire::Error: {
        // Only the server's exact words are a refusal: other errors, and the
        // garbled texts some servers send, never make a line go twice.
        const bool refusal = answerable && GetMess(line) == QuotaRefusal;
        const QString refused = lastSent;
        int waitMs = -1;
        if (refusal)
            waitMs = takeRefusal();
        messEvent(OnError);
        if (refusal) {
            fire(OnRefused, refused, waitMs);
            pump();
        }
        break;
    }
    case Wire::Emote:
        talkEvent(OnEmote);
        break;
    case Wire::Null:
        fire(OnKeepAlive); // nothing to show
        break;
    case Wire::UniqueName:
        if (OnUniqueName)
            fire(OnUniqueName, GetUser(line));
        break;
    default:
        fire(OnUnHandled, line);
        break;
    }
}

void TBnetChat::SendLine(const QString &line)
{
    if (!ChatInterface)
        return;
    sendQueue.append(line);
    pump();
}

void TBnetChat::floodTimerTick()
{
    if (!ChatInterface)
        return;
    if (!ChatInterface->Connected())
        linkEnded();
    // Each tick lets one line go; one the quota holds leaves when the quota
    // allows it, through the hold timer, without waiting for another tick.
    sendReady = true;
    pump();
}

void TBnetChat::holdTimerExpired()
{
    // Lines held for a connection that has gone are the tick's to discard.
    if (!ChatInterface || !ChatInterface->Connected())
        return;
    pump();
}

void TBnetChat::linkEnded() { discardQueue(); }

void TBnetChat::discardQueue()
{
    resendFirst = false;
    holdTimer.stop();
    settleTimer.stop();
    takenTimer.stop();
    // A line written and never acknowledged may or may not have arrived:
    // it goes back with the rest, first, and the owner says which it is.
    int written = 0;
    if (flying) {
        flying = false;
        sendQueue.prepend(flight);
        written = 1;
        flight.clear();
    }
    if (sendQueue.isEmpty())
        return;
    // Nothing can go out; the owner gets the lines back to keep.
    QStringList unsent;
    unsent.reserve(sendQueue.size());
    for (const QString &line : std::as_const(sendQueue))
        unsent << (line.endsWith(QLatin1Char('\r')) ? line.chopped(1) : line);
    sendQueue.clear();
    fire(OnUnsent, unsent, written);
}

void TBnetChat::checkTaken()
{
    if (!flying) {
        takenTimer.stop();
        return;
    }
    const qint64 left = ChatInterface ? ChatInterface->UnacknowledgedBytes() : -1;
    if (left < 0) {
        takenTimer.stop(); // the link is gone: the line goes back with the queue
        return;
    }
    if (left > 0)
        return;
    takenTimer.stop();
    flying = false;
    const qint64 now = clock();
    // The round trip: the kernel's own measure where it has one, else what
    // this line took from its write to its acknowledgement.
    const qint64 kernelUs = ChatInterface->RoundTripMicroseconds();
    const qint64 rtt = kernelUs >= 0 ? kernelUs / 1000 : now - flightWritten;
    rttMs = int(std::clamp<qint64>(rtt, 0, maxPacingWindowMs));
    // The server has the line by now at the latest: the quota counts from
    // here, so a line held up by retransmissions is not counted early.
    if (!sentLog.isEmpty())
        sentLog.last().at = std::max(sentLog.last().at, now);
    const QString line = std::move(flight);
    flight.clear();
    settleUntil = now + rttMs;
    fire(OnTaken, line);
    pump();
}

int TBnetChat::unitsOf(const QString &line) const
{
    qsizetype bytes = line.size();
    while (bytes > 0 &&
           (line.at(bytes - 1) == QLatin1Char('\r') || line.at(bytes - 1) == QLatin1Char('\n')))
        --bytes;
    const qsizetype perUnit = std::max(1, QuotaBytesPerUnit);
    return int(std::max<qsizetype>(1, (bytes + perUnit - 1) / perUnit));
}

qint64 TBnetChat::baseWindowMs() const
{
    return qint64(std::max(1, QuotaWindowMs)) + std::max(0, QuotaMarginMs);
}

int TBnetChat::pacingWindowMs() const
{
    const qint64 base = baseWindowMs();
    // Figures changed since the refusals: the doubling starts again from them.
    if (backoff == 0 || backoffBase != base)
        return int(base);
    const qint64 doubled = base << std::min(backoff, 16);
    return int(std::max(base, std::min(doubled, maxPacingWindowMs)));
}

qint64 TBnetChat::quotaWait(int units, qint64 now) const
{
    const qint64 window = pacingWindowMs();
    const int quota = std::max(1, QuotaUnits);
    // A refused line goes again only once the window is clear, and so does
    // a line that costs the whole quota by itself (the server refuses it
    // even then, and says so). After a refusal the server has shown that it
    // remembers longer than the figures say, perhaps as long as the longest
    // window of any server; until a refused line has been taken, a line is
    // also held while that longest window holds enough to make the server
    // hang up (it counts refused lines too).
    const bool alone = resendFirst || units >= quota;
    const qint64 guardWindow = cautious ? std::max(window, maxPacingWindowMs) : 0;
    const auto fits = [&](qint64 t) {
        int used = 0, usedGuard = 0;
        for (const Sent &s : sentLog) {
            const qint64 age = t - s.at;
            if (age < window)
                used += s.units;
            if (age < guardWindow)
                usedGuard += s.units;
        }
        if (alone ? used > 0 : used + units >= quota)
            return false;
        return usedGuard == 0 || usedGuard + units < 2 * quota;
    };
    if (fits(now))
        return 0;
    // The answer changes only when a sent line leaves one of the windows.
    QList<qint64> moments;
    for (const Sent &s : sentLog) {
        moments << s.at + window;
        if (guardWindow)
            moments << s.at + guardWindow;
    }
    std::sort(moments.begin(), moments.end());
    for (qint64 t : moments)
        if (t > now && fits(t))
            return t - now;
    return moments.isEmpty() ? 0 : std::max<qint64>(0, moments.last() - now);
}

void TBnetChat::setFloodInterval(int ms)
{
    floodIntervalMs = std::max(1, ms);
    tickOriginMs = clockMs();
    floodTimer.stop();
    keepTicking();
}

void TBnetChat::keepTicking()
{
    if (floodTimer.isActive() || (sendReady && sendQueue.isEmpty() && !flying))
        return;
    const qint64 now = clockMs();
    const qint64 passed = std::max<qint64>(0, now - tickOriginMs);
    const qint64 next = tickOriginMs + (passed / floodIntervalMs + 1) * floodIntervalMs;
    floodTimer.start(int(std::min<qint64>(next - now, INT_MAX)));
}

void TBnetChat::pump()
{
    sendNext();
    keepTicking();
}

void TBnetChat::sendNext()
{
    if (!ChatInterface)
        return;
    if (sendQueue.isEmpty()) {
        holdTimer.stop();
        return;
    }
    if (!sendReady)
        return;
    // One line in flight at a time, and a round trip after it was taken
    // for a refusal of it to come back.
    if (flying)
        checkTaken(); // pumps again when it was taken
    if (flying)
        return;
    const qint64 settling = settleUntil - clock();
    if (settling > 0) {
        settleTimer.start(int(std::min<qint64>(settling, maxPacingWindowMs)));
        return;
    }
    settleTimer.stop();
    if (!ChatInterface->Connected())
        return; // held for the tick, which gives the lines back
    const qint64 wait = quotaWait(unitsOf(sendQueue.first()), clock());
    if (wait > 0) {
        holdTimer.start(int(std::min<qint64>(wait, INT_MAX)));
        return;
    }
    holdTimer.stop();
    const bool resend = resendFirst;
    resendFirst = false;
    transmit(sendQueue.takeFirst(), resend);
}

void TBnetChat::transmit(const QString &line, bool resend)
{
    sendReady = false;
    const qint64 now = clock();
    // A line sent long ago no longer matters to any window.
    while (!sentLog.isEmpty() && now - sentLog.first().at >= 2 * maxPacingWindowMs)
        sentLog.removeFirst();
    sentLog.append({now, unitsOf(line)});
    // A refused line went again and no refusal of it came before this one:
    // the server took it, so its count is below the quota again.
    if (cautious && !resend && lastSentResend && answerable)
        cautious = false;
    lastSentResend = resend;
    lastSent = line;
    answerable = true;
    lastSentAlone = resend && pacingWindowMs() >= maxPacingWindowMs;
    ++linesSent;
    flying = true;
    flight = line;
    flightWritten = now;
    if (!ChatInterface->SendData(line)) {
        // Not written: it goes back with the queue when the link is found gone.
        flying = false;
        flight.clear();
        sendQueue.prepend(line);
        return;
    }
    takenTimer.start();
}

int TBnetChat::takeRefusal()
{
    answerable = false;
    // The refusal shows the server had the line; its round trip is over.
    if (flying) {
        flying = false;
        flight.clear();
        takenTimer.stop();
    }
    settleTimer.stop();
    settleUntil = 0;
    cautious = true;
    const qint64 base = baseWindowMs();
    if (backoffBase != base) {
        backoff = 0;
        backoffBase = base;
    }
    // Waiting cannot help a line that costs the whole quota by itself, nor
    // one refused after the longest wait with nothing else sent.
    if (unitsOf(lastSent) >= std::max(1, QuotaUnits) || lastSentAlone)
        return -1;
    if (pacingWindowMs() < maxPacingWindowMs)
        ++backoff;
    sendQueue.prepend(lastSent);
    resendFirst = true;
    sendReady = true;
    return int(quotaWait(unitsOf(lastSent), clock()));
}

void TBnetChat::resetQuota()
{
    sentLog.clear();
    flying = false;
    flight.clear();
    takenTimer.stop();
    settleTimer.stop();
    settleUntil = 0;
    rttMs = 0;
    answerable = false;
    resendFirst = false;
    lastSentAlone = false;
    lastSentResend = false;
    cautious = false;
    backoff = 0;
}
