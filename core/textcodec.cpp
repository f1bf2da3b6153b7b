#include "core/textcodec.h"

namespace TText {
namespace {

const char16_t cp1252High[32] = {0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                 0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0x008D, 0x017D, 0x008F,
                                 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};

bool allAscii(const QChar *s, qsizetype n)
{
    for (qsizetype i = 0; i < n; ++i)
        if (s[i].unicode() >= 0x80)
            return false;
    return true;
}

// The bytes of the well-formed UTF-8 character at i (1 to 4, as the
// Unicode standard's table 3-7 gives them), or 0 when none begins there.
template <class At> int sequenceLength(qsizetype n, At at, qsizetype i)
{
    const unsigned b = at(i);
    if (b > 0xFF)
        return 0;
    if (b < 0x80)
        return 1;
    int more;
    unsigned lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        more = 1;
    } else if (b >= 0xE0 && b <= 0xEF) {
        more = 2;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        more = 3;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        return 0;
    }
    if (i + more >= n)
        return 0;
    for (int k = 1; k <= more; ++k) {
        const unsigned c = at(i + k);
        if (c < lo || c > hi)
            return 0;
        lo = 0x80;
        hi = 0xBF;
    }
    return more + 1;
}

template <class At> bool wellFormed(qsizetype n, At at)
{
    for (qsizetype i = 0; i < n;) {
        const int len = sequenceLength(n, at, i);
        if (len == 0)
            return false;
        i += len;
    }
    return true;
}

} // namespace

int utf8Length(const QString &bytes, qsizetype i)
{
    return sequenceLength(
        bytes.size(), [&bytes](qsizetype k) { return unsigned(bytes.at(k).unicode()); }, i);
}

QChar windows1252(uchar byte)
{
    if (byte >= 0x80 && byte < 0xA0)
        return QChar(cp1252High[byte - 0x80]);
    return QChar(byte);
}

bool isUtf8(const QString &bytes)
{
    const QChar *s = bytes.constData();
    return wellFormed(bytes.size(), [s](qsizetype i) { return unsigned(s[i].unicode()); });
}

QString decode(const QString &bytes)
{
    const QChar *s = bytes.constData();
    const qsizetype n = bytes.size();
    if (allAscii(s, n))
        return bytes;
    if (isUtf8(bytes))
        return QString::fromUtf8(toBytes(bytes));
    QString out(n, Qt::Uninitialized);
    QChar *d = out.data();
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = s[i].unicode();
        d[i] = u < 0x100 ? windows1252(uchar(u)) : s[i];
    }
    return out;
}

QString decode(const QByteArray &bytes) { return decode(fromBytes(bytes)); }

bool encode(const QString &text, Encoding encoding, QString &bytes, QString *unencodable)
{
    if (allAscii(text.constData(), text.size())) {
        bytes = text;
        return true;
    }
    if (encoding == Encoding::Utf8) {
        // Lone surrogates cannot be encoded; QString::toUtf8 would turn them into "?".
        for (qsizetype i = 0; i < text.size(); ++i) {
            const QChar c = text.at(i);
            if (c.isHighSurrogate() && i + 1 < text.size() && text.at(i + 1).isLowSurrogate()) {
                ++i;
                continue;
            }
            if (c.isSurrogate()) {
                if (unencodable)
                    *unencodable = QString(c);
                return false;
            }
        }
        bytes = fromBytes(text.toUtf8());
        return true;
    }
    QString out(text.size(), Qt::Uninitialized);
    for (qsizetype i = 0; i < text.size(); ++i) {
        const char16_t u = text.at(i).unicode();
        int byte = -1;
        if (u < 0x80 || (u >= 0xA0 && u < 0x100)) {
            byte = u;
        } else {
            for (int k = 0; k < 32; ++k)
                if (cp1252High[k] == u) {
                    byte = 0x80 + k;
                    break;
                }
        }
        if (byte < 0) {
            if (unencodable) {
                const bool pair = text.at(i).isHighSurrogate() && i + 1 < text.size() &&
                                  text.at(i + 1).isLowSurrogate();
                *unencodable = text.mid(i, pair ? 2 : 1);
            }
            return false;
        }
        out[i] = QChar(char16_t(byte));
    }
    bytes = out;
    return true;
}

QByteArray toBytes(const QString &bytes) { return bytes.toLatin1(); }

QString fromBytes(const QByteArray &bytes) { return QString::fromLatin1(bytes); }

} // namespace TText
