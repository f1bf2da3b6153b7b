#include "rules/transcriptstore.h"

#include <algorithm>
#include <cstdlib>
#include <new>

TTranscriptStore::~TTranscriptStore() { std::free(m_text); }

void TTranscriptStore::appendText(const QString &text)
{
    const qsizetype old = m_textSize;
    const qsizetype n = text.size();
    // Room for the wide form; a narrow line uses the first half of it.
    if (m_textCapacity < old + 2 * n) {
        // Grow geometrically so the cost per line stays flat.
        const qsizetype cap =
            std::max<qsizetype>(old + 2 * n, m_textCapacity + m_textCapacity / 2 + 4096);
        char *grown = static_cast<char *>(std::realloc(m_text, size_t(cap)));
        if (!grown)
            throw std::bad_alloc();
        m_text = grown;
        m_textCapacity = cap;
    }
    char *d = m_text + old;
    const QChar *s = text.constData();
    // One pass for the usual line: copy as bytes and see whether any
    // character needed more.
    char16_t all = 0;
    for (qsizetype i = 0; i < n; ++i) {
        const char16_t u = s[i].unicode();
        all |= u;
        d[i] = char(u);
    }
    const bool wide = all > 0xFF;
    const qsizetype bytes = wide ? 2 * n : n;
    if (wide)
        std::memcpy(d, s, size_t(bytes));
    m_textSize = old + bytes;
    m_lineStart.append(m_textSize | (wide ? kWideLine : 0));
    m_charEnd.append(m_charEnd.last() + n);
}

int TTranscriptStore::lineAtOffset(qint64 offset) const
{
    const int n = lineCount();
    if (n == 0 || offset <= 0)
        return 0;
    // The first line whose start lies after offset, less one: line i starts
    // at m_charEnd[i] + i, which grows with i.
    int lo = 0, hi = n; // the answer lies in [lo, hi)
    while (hi - lo > 1) {
        const int mid = lo + (hi - lo) / 2;
        if (m_charEnd[mid] + mid <= offset)
            lo = mid;
        else
            hi = mid;
    }
    return lo;
}

void TTranscriptStore::append(const QString &text, const QList<TColourRun> &runs, QRgb fallback)
{
    appendText(text);
    const quint32 len = quint32(text.size());
    quint32 pos = 0;
    const qsizetype lineFirst = m_runs.size();
    auto add = [&](quint32 end, QRgb colour) {
        // Neighbouring runs of one colour are one run.
        if (m_runs.size() > lineFirst && m_runs.last().colour == colour)
            m_runs.last().end = end;
        else
            m_runs.append({end, colour});
    };
    for (const TColourRun &r : runs) {
        if (pos >= len)
            break;
        if (r.length <= 0)
            continue;
        const quint32 end = std::min<quint32>(len, pos + quint32(r.length));
        add(end, r.colour.isValid() ? r.colour.rgba() : fallback);
        pos = end;
    }
    if (pos < len)
        add(len, fallback);
    m_firstRun.append(quint32(m_runs.size()));
}

void TTranscriptStore::clear()
{
    std::free(m_text);
    m_text = nullptr;
    m_textSize = m_textCapacity = 0;
    m_lineStart = {0};
    m_firstRun = {0};
    m_charEnd = {0};
    m_runs = {};
}

QChar *TTranscriptStore::copyOut(const LineRef &l, int from, int to, QChar *d)
{
    if (l.wide) {
        std::memcpy(d, l.data + 2 * qsizetype(from), size_t(to - from) * 2);
        return d + (to - from);
    }
    // Plain types, so that the compiler widens many bytes at a time.
    const uchar *src = reinterpret_cast<const uchar *>(l.data) + from;
    char16_t *out = reinterpret_cast<char16_t *>(d);
    const int n = to - from;
    for (int k = 0; k < n; ++k)
        out[k] = src[k];
    return d + n;
}

QString TTranscriptStore::lineText(int line) const
{
    if (line < 0 || line >= lineCount())
        return QString();
    const LineRef l = this->line(line);
    if (!l.wide)
        return QString::fromLatin1(l.data, l.length);
    QString out(l.length, Qt::Uninitialized);
    copyOut(l, 0, l.length, out.data());
    return out;
}

QColor TTranscriptStore::colourAt(int line, int column) const
{
    if (line < 0 || line >= lineCount() || column < 0 || column >= lineLength(line))
        return QColor();
    const Runs r = runs(line);
    const Run *at = std::upper_bound(r.first, r.last, quint32(column),
                                     [](quint32 c, const Run &run) { return c < run.end; });
    return at == r.last ? QColor() : QColor::fromRgba(at->colour);
}

QString TTranscriptStore::plainText() const
{
    const int n = lineCount();
    if (n == 0)
        return QString();
    return text(0, 0, n - 1, lineLength(n - 1), u"\r\n");
}

QString TTranscriptStore::text(int fromLine, int fromColumn, int toLine, int toColumn,
                               QStringView separator) const
{
    const int n = lineCount();
    if (n == 0 || fromLine >= n || toLine < 0)
        return QString();
    if (fromLine < 0)
        fromLine = fromColumn = 0;
    if (toLine >= n) {
        toLine = n - 1;
        toColumn = lineLength(toLine);
    }
    fromColumn = std::clamp(fromColumn, 0, lineLength(fromLine));
    toColumn = std::clamp(toColumn, 0, lineLength(toLine));
    if (toLine < fromLine || (toLine == fromLine && toColumn <= fromColumn))
        return QString();

    // Measured first, so the text is written into one allocation.
    auto span = [&](int line, int &from, int &to) {
        from = line == fromLine ? fromColumn : 0;
        to = line == toLine ? toColumn : lineLength(line);
    };
    qsizetype size = separator.size() * qsizetype(toLine - fromLine);
    for (int i = fromLine; i <= toLine; ++i) {
        int from, to;
        span(i, from, to);
        size += to - from;
    }
    QString out(size, Qt::Uninitialized);
    QChar *d = out.data();
    for (int i = fromLine; i <= toLine; ++i) {
        if (i > fromLine) {
            std::memcpy(d, separator.data(), size_t(separator.size()) * sizeof(QChar));
            d += separator.size();
        }
        int from, to;
        span(i, from, to);
        d = copyOut(line(i), from, to, d);
    }
    return out;
}

bool TTranscriptStore::replaceChar(int line, int column, QChar c)
{
    if (line < 0 || line >= lineCount() || column < 0 || column >= lineLength(line))
        return false;
    char *const at = m_text + offsetOf(line);
    if (isWide(line)) {
        const char16_t u = c.unicode();
        std::memcpy(at + 2 * qsizetype(column), &u, sizeof u);
        return true;
    }
    if (c.unicode() > 0xff)
        return false;
    at[column] = char(uchar(c.unicode()));
    return true;
}

void TTranscriptStore::setMarked(int line, bool marked)
{
    if (line < 0 || line >= lineCount())
        return;
    if (marked)
        m_lineStart[line + 1] |= kMarkedLine;
    else
        m_lineStart[line + 1] &= ~kMarkedLine;
}

qsizetype TTranscriptStore::bytes() const
{
    return m_textCapacity + m_lineStart.capacity() * qsizetype(sizeof(qint64)) +
           m_firstRun.capacity() * qsizetype(sizeof(quint32)) +
           m_charEnd.capacity() * qsizetype(sizeof(qint64)) +
           m_runs.capacity() * qsizetype(sizeof(Run));
}

qsizetype TTranscriptStore::bytesUsed() const
{
    return m_textSize + m_lineStart.size() * qsizetype(sizeof(qint64)) +
           m_firstRun.size() * qsizetype(sizeof(quint32)) +
           m_charEnd.size() * qsizetype(sizeof(qint64)) + m_runs.size() * qsizetype(sizeof(Run));
}
