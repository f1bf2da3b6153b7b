#include "history/historyqueue.h"

#include <algorithm>
#include <cstring>
#if defined(__SSE2__)
#include <emmintrin.h>
#endif

using THistory::Line;

namespace {

// A record: its size (4 bytes, itself included), flags (1), kind (1), the
// time (8), then server, account, channel, sender and text, each as a
// count of units (4; latin1Bit set: a byte each) and the units, then,
// with hasRaw, the raw bytes' count (4) and the bytes. In this machine's byte order: a flood's
// records are kept as they are in the history's file only where that is
// little-endian (see THistoryStore).
enum Flag : quint8 { undecoded = 1, hidden = 2, approximate = 4, hasRaw = 8 };
constexpr qsizetype headerBytes = 4 + 1 + 1 + 8;

template <class T> void put(char *&at, T value)
{
    std::memcpy(at, &value, sizeof value);
    at += sizeof value;
}

// Stored a byte a unit when every unit fits in one (a line the window
// has not decoded always does, and most others): half the bytes to write
// and to hand to the writer's thread.
constexpr quint32 latin1Bit = 0x80000000u;

void putText(char *&at, QStringView text)
{
    const qsizetype units = text.size();
    const char16_t *from = text.utf16();
    char *count = at;
    at += 4;
    char16_t wide = 0;
    for (qsizetype i = 0; i < units; ++i) {
        wide |= from[i];
        at[i] = char(from[i]);
    }
    if (wide < 0x100) {
        put<quint32>(count, quint32(units) | latin1Bit);
        at += units;
        return;
    }
    put<quint32>(count, quint32(units));
    std::memcpy(at, from, size_t(units) * sizeof(char16_t));
    at += units * qsizetype(sizeof(char16_t));
}

// Reads records, checking every count against the bytes left (a packed
// flood read back from the history's file may have been damaged).
struct Reader {
    const char *at;
    const char *end;

    template <class T> bool get(T *value)
    {
        if (end - at < qsizetype(sizeof(T)))
            return false;
        std::memcpy(value, at, sizeof(T));
        at += sizeof(T);
        return true;
    }

    // The text at at; the same string as last when it holds the same.
    bool text(QString *out, QString *last = nullptr)
    {
        quint32 count;
        if (!get(&count))
            return false;
        const qsizetype units = qsizetype(count & ~latin1Bit);
        if (count & latin1Bit) {
            if (end - at < units)
                return false;
            const QLatin1String bytes(at, units);
            at += units;
            if (last && *last == bytes) {
                *out = *last;
                return true;
            }
            *out = units ? QString(bytes) : QString();
        } else {
            if ((end - at) / qsizetype(sizeof(char16_t)) < units)
                return false;
            const auto *data = reinterpret_cast<const QChar *>(at);
            at += units * qsizetype(sizeof(char16_t));
            if (last && last->size() == units &&
                std::memcmp(last->constData(), data, size_t(units) * sizeof(char16_t)) == 0) {
                *out = *last;
                return true;
            }
            *out = units ? QString(data, units) : QString();
        }
        if (last)
            *last = *out;
        return true;
    }
};

// Copies the lines handed to the writer without taking them into the
// copying thread's cache: they are for the writer's thread, and the
// window's thread keeps its cache for its own work.
void copyAround(char *to, const char *from, qsizetype bytes)
{
#if defined(__SSE2__)
    // Whole 16-byte blocks of the destination, each written past the cache.
    const qsizetype head =
        std::min<qsizetype>(bytes, (16 - (reinterpret_cast<quintptr>(to) & 15)) & 15);
    std::memcpy(to, from, size_t(head));
    qsizetype done = head;
    for (; done + 16 <= bytes; done += 16)
        _mm_stream_si128(reinterpret_cast<__m128i *>(to + done),
                         _mm_loadu_si128(reinterpret_cast<const __m128i *>(from + done)));
    std::memcpy(to + done, from + done, size_t(bytes - done));
    _mm_sfence();
#else
    std::memcpy(to, from, size_t(bytes));
#endif
}

} // namespace

void THistoryQueue::push(const THistory::LineView &line)
{
    const QStringView texts[] = {line.server, line.account, line.channel, line.sender, line.text};
    // Room for every text in UTF-16; the record is cut to what it took.
    qsizetype size = headerBytes;
    for (const QStringView t : texts)
        size += 4 + t.size() * qsizetype(sizeof(char16_t));
    const bool raw = line.raw != nullptr;
    if (raw)
        size += 4 + line.raw->size();
    // Room is made by moving the records to the front once the lines
    // taken or dropped before them are half of the buffer.
    if (m_start > 0 && m_start >= m_bytes.size() / 2) {
        m_bytes.remove(0, m_start);
        m_start = 0;
    }
    const qsizetype at0 = m_bytes.size();
    m_bytes.resize(at0 + size);
    char *const record = m_bytes.data() + at0;
    char *at = record + 4; // its size, once known
    put<quint8>(at, quint8((line.undecoded ? undecoded : 0) | (line.hidden ? hidden : 0) |
                           (line.approximate ? approximate : 0) | (raw ? hasRaw : 0)));
    put<quint8>(at, quint8(line.kind));
    put<qint64>(at, line.timeMs);
    for (const QStringView t : texts)
        putText(at, t);
    if (raw) {
        put<quint32>(at, quint32(line.raw->size()));
        if (!line.raw->isEmpty())
            std::memcpy(at, line.raw->constData(), size_t(line.raw->size()));
        at += line.raw->size();
    }
    char *sizeAt = record;
    put<quint32>(sizeAt, quint32(at - record));
    m_bytes.resize(at - m_bytes.constData());
    ++m_lines;
}

void THistoryQueue::dropOldest()
{
    if (m_lines == 0)
        return;
    quint32 size;
    std::memcpy(&size, m_bytes.constData() + m_start, sizeof size);
    m_start += size;
    if (--m_lines == 0)
        clear();
}

void THistoryQueue::clear()
{
    m_bytes.resize(0);
    m_start = 0;
    m_lines = 0;
}

void THistoryQueue::append(THistoryQueue &other)
{
    if (other.m_lines == 0)
        return;
    if (m_start > 0 && m_start >= m_bytes.size() / 2) {
        m_bytes.remove(0, m_start);
        m_start = 0;
    }
    const qsizetype bytes = other.m_bytes.size() - other.m_start;
    const qsizetype at = m_bytes.size();
    m_bytes.resize(at + bytes);
    copyAround(m_bytes.data() + at, other.m_bytes.constData() + other.m_start, bytes);
    m_lines += other.m_lines;
    other.clear();
}

bool THistoryQueue::read(const char *data, qsizetype bytes, std::deque<Line> *lines, Last *last)
{
    const size_t before = lines->size();
    Reader all{data, data + bytes};
    bool whole = true;
    while (whole && all.at != all.end) {
        whole = false;
        quint32 size;
        if (!all.get(&size) || size < headerBytes || qsizetype(size) - 4 > all.end - all.at)
            break;
        Reader r{all.at, all.at - 4 + size};
        all.at = r.end;
        Line line;
        quint8 flags, kind;
        r.get(&flags);
        r.get(&kind);
        r.get(&line.timeMs);
        if (kind >= THistory::kindCount)
            break;
        line.kind = THistory::Kind(kind);
        line.undecoded = flags & undecoded;
        line.hidden = flags & hidden;
        line.approximate = flags & approximate;
        if (!r.text(&line.server, &last->server) || !r.text(&line.account, &last->account) ||
            !r.text(&line.channel, &last->channel) || !r.text(&line.sender, &last->sender) ||
            !r.text(&line.text))
            break;
        if (flags & hasRaw) {
            quint32 rawBytes;
            if (!r.get(&rawBytes) || qint64(rawBytes) > r.end - r.at)
                break;
            line.raw = QByteArray(r.at, qsizetype(rawBytes));
            r.at += rawBytes;
        }
        if (r.at != r.end)
            break;
        lines->push_back(std::move(line));
        whole = true;
    }
    if (whole)
        return true;
    lines->resize(before);
    return false;
}

void THistoryQueue::takeInto(std::deque<Line> *lines)
{
    read(m_bytes.constData() + m_start, m_bytes.size() - m_start, lines, &m_last);
    clear();
}

bool THistoryQueue::chunks(int maxLines,
                           const std::function<bool(QByteArrayView, int)> &store) const
{
    const char *const data = m_bytes.constData();
    qsizetype from = m_start;
    while (from < m_bytes.size()) {
        qsizetype to = from;
        int lines = 0;
        for (; lines < maxLines && to < m_bytes.size(); ++lines) {
            quint32 size;
            std::memcpy(&size, data + to, sizeof size);
            to += size;
        }
        if (!store(QByteArrayView(data + from, to - from), lines))
            return false;
        from = to;
    }
    return true;
}
