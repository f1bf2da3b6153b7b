#include "history/historystaging.h"

#include <QtEndian>

#include <cstring>

namespace THistoryStaging {
namespace {

// The first byte: the format's version. A row: time, place and sender
// (8 bytes each), kind (4), the text's length in UTF-16 units (4) and the
// units, the raw bytes' length (4; -1: none) and the bytes; little-endian.
constexpr char formatVersion = 1;

template <class T> void put(QByteArray *out, T value)
{
    const T le = qToLittleEndian(value);
    out->append(reinterpret_cast<const char *>(&le), sizeof le);
}

struct Reader {
    const char *at;
    const char *end;
    template <class T> bool get(T *value)
    {
        if (end - at < qint64(sizeof(T)))
            return false;
        T le;
        std::memcpy(&le, at, sizeof le);
        at += sizeof le;
        *value = qFromLittleEndian(le);
        return true;
    }
    bool take(qint64 bytes, const char **start)
    {
        if (bytes < 0 || end - at < bytes)
            return false;
        *start = at;
        at += bytes;
        return true;
    }
};

} // namespace

void append(QByteArray *packed, const Row &row)
{
    if (packed->isEmpty())
        packed->append(formatVersion);
    put<qint64>(packed, row.timeMs);
    put<qint64>(packed, row.place);
    put<qint64>(packed, row.sender);
    put<qint32>(packed, row.kind);
    put<quint32>(packed, quint32(row.text.size()));
    if constexpr (Q_BYTE_ORDER == Q_LITTLE_ENDIAN) {
        packed->append(reinterpret_cast<const char *>(row.text.utf16()),
                       row.text.size() * qsizetype(sizeof(char16_t)));
    } else {
        for (const QChar c : row.text)
            put<quint16>(packed, c.unicode());
    }
    put<qint32>(packed, row.raw.isNull() ? -1 : qint32(row.raw.size()));
    packed->append(row.raw);
}

bool unpack(const QByteArray &packed, std::vector<Row> *rows)
{
    rows->clear();
    if (packed.isEmpty() || packed.at(0) != formatVersion)
        return false;
    Reader r{packed.constData() + 1, packed.constData() + packed.size()};
    while (r.at != r.end) {
        Row row;
        quint32 units = 0;
        qint32 rawBytes = 0;
        const char *text = nullptr;
        const char *raw = nullptr;
        if (!r.get(&row.timeMs) || !r.get(&row.place) || !r.get(&row.sender) || !r.get(&row.kind) ||
            !r.get(&units) || !r.take(qint64(units) * qint64(sizeof(char16_t)), &text) ||
            !r.get(&rawBytes) || rawBytes < -1 || !r.take(std::max<qint64>(rawBytes, 0), &raw)) {
            rows->clear();
            return false;
        }
        row.text.resize(qsizetype(units));
        char16_t *to = reinterpret_cast<char16_t *>(row.text.data());
        for (quint32 i = 0; i < units; ++i) {
            quint16 unit;
            std::memcpy(&unit, text + i * sizeof unit, sizeof unit);
            to[i] = qFromLittleEndian(unit);
        }
        if (rawBytes >= 0)
            row.raw = QByteArray(raw, rawBytes);
        rows->push_back(std::move(row));
    }
    return true;
}

} // namespace THistoryStaging
