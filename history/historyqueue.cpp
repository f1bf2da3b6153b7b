#include "history/historyqueue.h"

#include <cstring>

using THistory::Line;

namespace {

// A record: its size (4 bytes, itself included), flags (1), kind (1), the
// time (8), then server, account, channel, sender and text, each as a
// count of UTF-16 units (4) and the units, then, with hasRaw, the raw
// bytes' count (4) and the bytes. In this machine's byte order: records
// never leave the process.
enum Flag : quint8 { undecoded = 1, hidden = 2, approximate = 4, hasRaw = 8 };
constexpr qsizetype headerBytes = 4 + 1 + 1 + 8;

template <class T> void put(char *&at, T value)
{
    std::memcpy(at, &value, sizeof value);
    at += sizeof value;
}

void putText(char *&at, const QString &text)
{
    put<quint32>(at, quint32(text.size()));
    const qsizetype bytes = text.size() * qsizetype(sizeof(char16_t));
    if (bytes)
        std::memcpy(at, text.utf16(), size_t(bytes));
    at += bytes;
}

template <class T> T get(const char *&at)
{
    T value;
    std::memcpy(&value, at, sizeof value);
    at += sizeof value;
    return value;
}

// The text at at; the same string as last when it holds the same.
void getText(const char *&at, QString *out, QString *last = nullptr)
{
    const quint32 units = get<quint32>(at);
    const auto *data = reinterpret_cast<const QChar *>(at);
    at += qsizetype(units) * qsizetype(sizeof(char16_t));
    if (last && last->size() == qsizetype(units) &&
        std::memcmp(last->constData(), data, units * sizeof(char16_t)) == 0) {
        *out = *last;
        return;
    }
    *out = units ? QString(data, qsizetype(units)) : QString();
    if (last)
        *last = *out;
}

} // namespace

void THistoryQueue::push(const Line &line)
{
    const QString *texts[] = {&line.server, &line.account, &line.channel, &line.sender, &line.text};
    qsizetype size = headerBytes;
    for (const QString *t : texts)
        size += 4 + t->size() * qsizetype(sizeof(char16_t));
    const bool raw = !line.raw.isNull();
    if (raw)
        size += 4 + line.raw.size();
    // Room is made by moving the records to the front once the lines
    // taken or dropped before them are half of the buffer.
    if (m_start > 0 && m_start >= m_bytes.size() / 2) {
        m_bytes.remove(0, m_start);
        m_start = 0;
    }
    const qsizetype at0 = m_bytes.size();
    m_bytes.resize(at0 + size);
    char *at = m_bytes.data() + at0;
    put<quint32>(at, quint32(size));
    put<quint8>(at, quint8((line.undecoded ? undecoded : 0) | (line.hidden ? hidden : 0) |
                           (line.approximate ? approximate : 0) | (raw ? hasRaw : 0)));
    put<quint8>(at, quint8(line.kind));
    put<qint64>(at, line.timeMs);
    for (const QString *t : texts)
        putText(at, *t);
    if (raw) {
        put<quint32>(at, quint32(line.raw.size()));
        if (!line.raw.isEmpty())
            std::memcpy(at, line.raw.constData(), size_t(line.raw.size()));
    }
    ++m_lines;
}

void THistoryQueue::dropOldest()
{
    if (m_lines == 0)
        return;
    quint32 size;
    std::memcpy(&size, m_bytes.constData() + m_start, sizeof size);
    m_start += size;
    --m_lines;
    if (m_lines == 0) {
        m_bytes.resize(0);
        m_start = 0;
    }
}

void THistoryQueue::takeInto(std::deque<Line> *lines)
{
    const char *at = m_bytes.constData() + m_start;
    for (int i = 0; i < m_lines; ++i) {
        Line line;
        at += 4; // the record's size
        const quint8 flags = get<quint8>(at);
        line.kind = THistory::Kind(get<quint8>(at));
        line.timeMs = get<qint64>(at);
        line.undecoded = flags & undecoded;
        line.hidden = flags & hidden;
        line.approximate = flags & approximate;
        getText(at, &line.server, &m_last.server);
        getText(at, &line.account, &m_last.account);
        getText(at, &line.channel, &m_last.channel);
        getText(at, &line.sender, &m_last.sender);
        getText(at, &line.text);
        if (flags & hasRaw) {
            const quint32 bytes = get<quint32>(at);
            line.raw = QByteArray(at, qsizetype(bytes));
            at += bytes;
        }
        lines->push_back(std::move(line));
    }
    m_bytes.resize(0);
    m_start = 0;
    m_lines = 0;
}
