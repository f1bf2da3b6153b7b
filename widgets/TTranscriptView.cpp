#include "widgets/TTranscriptView.h"

#include <QApplication>
#include <QClipboard>
#include <QFontMetricsF>
#include <QKeyEvent>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>

#include <algorithm>
#include <cmath>

namespace {

// Gap between the text and the pane's edges.
constexpr int kMargin = 2;

// The text comes decoded; control characters (C0, DEL and C1) have no
// picture of their own and are shown as spaces.
QChar displayChar(char16_t c)
{
    if (c < 0x20 || (c >= 0x7F && c < 0xA0))
        return QLatin1Char(' ');
    return QChar(c);
}

} // namespace

TTranscriptView::TTranscriptView(QWidget *parent) : QAbstractScrollArea(parent)
{
    m_defaultColour = palette().color(QPalette::Text);
    m_background = palette().color(QPalette::Base);
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    setFocusPolicy(Qt::ClickFocus);
    viewport()->setCursor(Qt::IBeamCursor);
    // Every pixel is painted by paintEvent.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, 0);
    fontChanged();
}

// ---- the store -------------------------------------------------------------

TTranscriptView::~TTranscriptView() = default;

void TTranscriptView::appendLine(const QString &text, const QList<TColourRun> &runs)
{
    m_store.append(text, runs, m_defaultColour.rgba());
    lineAppended();
}

void TTranscriptView::appendPlainLine(const QString &text) { appendLine(text, {}); }

void TTranscriptView::lineAppended()
{
    // A new line drops the selection and brings the pane to its end; the
    // scroll bar and the picture follow once this pass of the event loop is
    // done, however many lines arrive in it.
    m_anchor = m_cursor = Pos{};
    m_dragging = false;
    m_atEnd = true;
    invalidateShown();
    scheduleSync();
}

void TTranscriptView::clear()
{
    m_store.clear();
    m_anchor = m_cursor = Pos{};
    m_dragging = false;
    m_atEnd = true;
    invalidateShown();
    syncScrollRange();
}

QString TTranscriptView::lineText(int line) const { return m_store.lineText(line); }

QColor TTranscriptView::colourAt(int line, int column) const
{
    return m_store.colourAt(line, column);
}

QString TTranscriptView::plainText() const { return m_store.plainText(); }

// ---- selection -------------------------------------------------------------

bool TTranscriptView::hasSelection() const { return m_anchor != m_cursor; }

QString TTranscriptView::selectedText() const
{
    if (!hasSelection())
        return QString();
    const Pos a = selStart();
    const Pos b = selEnd();
    return m_store.text(a.line, a.column, b.line, b.column, u"\n");
}

void TTranscriptView::setSelection(const Pos &anchor, const Pos &cursor)
{
    if (anchor == m_anchor && cursor == m_cursor)
        return;
    m_anchor = anchor;
    m_cursor = cursor;
    viewport()->update();
}

void TTranscriptView::selectAll()
{
    const int n = lineCount();
    if (n == 0)
        return;
    setSelection(Pos{0, 0}, Pos{n - 1, lineLength(n - 1)});
    copyToSelectionClipboard();
}

void TTranscriptView::clearSelection()
{
    m_dragging = false;
    setSelection(Pos{}, Pos{});
}

void TTranscriptView::copy()
{
    if (hasSelection())
        QGuiApplication::clipboard()->setText(selectedText());
}

void TTranscriptView::copyToSelectionClipboard() const
{
    QClipboard *cb = QGuiApplication::clipboard();
    if (hasSelection() && cb->supportsSelection())
        cb->setText(selectedText(), QClipboard::Selection);
}

// ---- colours and fonts -----------------------------------------------------

void TTranscriptView::setDefaultTextColour(const QColor &c) { m_defaultColour = c; }

void TTranscriptView::setBackground(const QColor &c)
{
    m_background = c;
    viewport()->update();
}

void TTranscriptView::changeEvent(QEvent *event)
{
    QAbstractScrollArea::changeEvent(event);
    if (event->type() == QEvent::FontChange)
        fontChanged();
}

void TTranscriptView::fontChanged()
{
    // Kerning off: a line is drawn run by run, and each run must start
    // exactly where the per-character advances put it.
    m_drawFont = font();
    m_drawFont.setKerning(false);
    const QFontMetricsF fm(m_drawFont, viewport());
    for (int b = 0; b < 256; ++b)
        m_advance[b] = fm.horizontalAdvance(displayChar(char16_t(b)));
    m_wideAdvance.clear();
    m_rowHeight = std::max(1, int(std::ceil(fm.lineSpacing())));
    m_ascent = int(std::ceil(fm.ascent()));
    invalidateShown();
    syncScrollRange();
}

// ---- layout ----------------------------------------------------------------

qreal TTranscriptView::wideAdvance(char32_t c) const
{
    auto it = m_wideAdvance.constFind(c);
    if (it != m_wideAdvance.constEnd())
        return *it;
    const qreal a =
        QFontMetricsF(m_drawFont, viewport()).horizontalAdvance(QString::fromUcs4(&c, 1));
    m_wideAdvance.insert(c, a);
    return a;
}

qreal TTranscriptView::advanceAt(const LineRef &l, int k) const
{
    const char16_t c = l.at(k);
    if (c < 0x100)
        return m_advance[c];
    if (QChar::isHighSurrogate(c)) {
        if (k + 1 < l.length && QChar::isLowSurrogate(l.at(k + 1)))
            return wideAdvance(QChar::surrogateToUcs4(c, l.at(k + 1)));
        return wideAdvance(QChar::ReplacementCharacter);
    }
    if (QChar::isLowSurrogate(c))
        return k > 0 && QChar::isHighSurrogate(l.at(k - 1))
                   ? 0
                   : wideAdvance(QChar::ReplacementCharacter);
    return wideAdvance(c);
}

qreal TTranscriptView::wrapWidth() const
{
    return std::max<qreal>(1, viewport()->width() - 2 * kMargin);
}

void TTranscriptView::wrapLine(int line, QList<int> &rowStarts) const
{
    // Break after the last space that fits; a word wider than the pane is
    // broken where it overflows. Spaces never start a new row by themselves.
    rowStarts.clear();
    const LineRef l = lineRef(line);
    const int n = l.length;
    const qreal w = wrapWidth();
    int pos = 0;
    do {
        rowStarts.append(pos);
        qreal x = 0;
        int lastBreak = -1;
        int i = pos;
        while (i < n) {
            const char16_t ch = l.at(i);
            const qreal a = advanceAt(l, i);
            if (ch == ' ') {
                x += a;
                lastBreak = ++i;
                continue;
            }
            if (x + a > w && i > pos) {
                if (lastBreak > pos)
                    i = lastBreak;
                break;
            }
            x += a;
            ++i;
        }
        pos = i;
    } while (pos < n);
}

void TTranscriptView::scheduleSync()
{
    if (m_syncQueued)
        return;
    m_syncQueued = true;
    QMetaObject::invokeMethod(
        this,
        [this] {
            if (m_syncQueued)
                syncScrollRange();
        },
        Qt::QueuedConnection);
}

void TTranscriptView::syncScrollRange()
{
    m_syncQueued = false;
    // The scroll bar's value is the line shown at the top; its maximum is
    // the first line of the last screenful that fits whole. Finding it looks
    // only at the lines of that screenful.
    const int n = lineCount();
    const int avail = viewport()->height() - 2 * kMargin;
    int used = 0;
    int i = n - 1;
    QList<int> rows;
    for (; i >= 0; --i) {
        wrapLine(i, rows);
        used += int(rows.size()) * m_rowHeight;
        if (used > avail)
            break;
    }
    const int max = i < 0 ? 0 : std::min(i + 1, n - 1);
    QScrollBar *sb = verticalScrollBar();
    m_syncing = true;
    sb->setRange(0, max);
    sb->setPageStep(std::max(1, n - max));
    if (m_atEnd)
        sb->setValue(max);
    m_syncing = false;
    if (sb->value() == sb->maximum())
        m_atEnd = true;
    invalidateShown();
    viewport()->update();
}

void TTranscriptView::ensureShown() const
{
    if (m_shownValid)
        return;
    m_shownValid = true;
    m_shown.clear();
    const int n = lineCount();
    if (n == 0)
        return;
    const QScrollBar *sb = verticalScrollBar();
    const int height = viewport()->height();
    if (m_atEnd && sb->maximum() > 0) {
        // At the end the last line sits on the bottom edge.
        int y = height - kMargin;
        for (int i = n - 1; i >= 0 && y > 0; --i) {
            Shown s{i, 0, {}};
            wrapLine(i, s.rowStarts);
            y -= int(s.rowStarts.size()) * m_rowHeight;
            s.y = y;
            m_shown.append(std::move(s));
        }
        std::reverse(m_shown.begin(), m_shown.end());
    } else {
        int y = kMargin;
        for (int i = std::clamp(sb->value(), 0, n - 1); i < n && y < height; ++i) {
            Shown s{i, y, {}};
            wrapLine(i, s.rowStarts);
            y += int(s.rowStarts.size()) * m_rowHeight;
            m_shown.append(std::move(s));
        }
    }
}

void TTranscriptView::resizeEvent(QResizeEvent *event)
{
    QAbstractScrollArea::resizeEvent(event);
    invalidateShown();
    syncScrollRange();
}

void TTranscriptView::scrollContentsBy(int, int)
{
    // The user moved the scroll bar (or wheel, or keys).
    if (!m_syncing)
        m_atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    invalidateShown();
    viewport()->update();
}

// ---- painting --------------------------------------------------------------

void TTranscriptView::paintEvent(QPaintEvent *event)
{
    if (m_syncQueued)
        syncScrollRange();
    QPainter p(viewport());
    const QRect exposed = event->rect();
    p.fillRect(exposed, m_background);
    p.setFont(m_drawFont);
    ensureShown();
    for (const Shown &s : m_shown)
        paintLine(p, s, exposed);
}

void TTranscriptView::paintLine(QPainter &p, const Shown &s, const QRect &exposed) const
{
    const LineRef l = lineRef(s.line);
    const int n = l.length;
    const TTranscriptStore::Runs lineRuns = m_store.runs(s.line);
    const Run *runs = lineRuns.first;
    const Run *runsEnd = lineRuns.last;

    // The part of this line that is selected, if any.
    int selFrom = 0, selTo = 0;
    bool breakSelected = false;
    if (hasSelection()) {
        const Pos a = selStart();
        const Pos b = selEnd();
        if (s.line >= a.line && s.line <= b.line) {
            selFrom = s.line == a.line ? a.column : 0;
            selTo = s.line == b.line ? b.column : n;
            breakSelected = s.line < b.line;
        }
    }
    const QColor hlBack = palette().color(QPalette::Highlight);
    const QColor hlText = palette().color(QPalette::HighlightedText);

    const int rows = int(s.rowStarts.size());
    QString chunk;
    for (int r = 0; r < rows; ++r) {
        const int top = s.y + r * m_rowHeight;
        if (top >= exposed.bottom() + 1 || top + m_rowHeight <= exposed.top())
            continue;
        const int rowFrom = s.rowStarts[r];
        const int rowTo = r + 1 < rows ? s.rowStarts[r + 1] : n;
        const Run *run = std::upper_bound(runs, runsEnd, quint32(rowFrom),
                                          [](quint32 c, const Run &x) { return c < x.end; });
        qreal x = kMargin;
        int pos = rowFrom;
        while (pos < rowTo) {
            // A piece ends where the colour or the selection changes.
            int end = rowTo;
            if (run != runsEnd)
                end = std::min(end, int(run->end));
            const bool selected = pos >= selFrom && pos < selTo;
            if (selected)
                end = std::min(end, selTo);
            else if (selFrom > pos && selFrom < selTo)
                end = std::min(end, selFrom);

            chunk.resize(end - pos);
            qreal w = 0;
            for (int k = pos; k < end; ++k) {
                const char16_t c = l.at(k);
                // Half a surrogate pair on its own has no picture.
                const bool whole =
                    QChar::isHighSurrogate(c)  ? k + 1 < n && QChar::isLowSurrogate(l.at(k + 1))
                    : QChar::isLowSurrogate(c) ? k > 0 && QChar::isHighSurrogate(l.at(k - 1))
                                               : true;
                chunk[k - pos] = whole ? displayChar(c) : QChar(QChar::ReplacementCharacter);
                w += advanceAt(l, k);
            }
            if (selected) {
                p.fillRect(QRectF(x, top, w, m_rowHeight), hlBack);
                p.setPen(hlText);
            } else {
                p.setPen(run != runsEnd ? QColor::fromRgba(run->colour) : m_defaultColour);
            }
            p.drawText(QPointF(x, top + m_ascent), chunk);
            x += w;
            pos = end;
            if (run != runsEnd && pos >= int(run->end))
                ++run;
        }
        // A selection running on to the next line shows its line break.
        if (breakSelected && r == rows - 1)
            p.fillRect(QRectF(x, top, m_advance[uchar(' ')], m_rowHeight), hlBack);
    }
}

QRect TTranscriptView::characterRect(int line, int column) const
{
    ensureShown();
    for (const Shown &s : m_shown) {
        if (s.line != line)
            continue;
        const int n = lineLength(line);
        if (column < 0 || column > n)
            return QRect();
        int r = int(s.rowStarts.size()) - 1;
        while (r > 0 && s.rowStarts[r] > column)
            --r;
        const LineRef l = lineRef(line);
        qreal x = kMargin;
        for (int k = s.rowStarts[r]; k < column; ++k)
            x += advanceAt(l, k);
        const qreal w = column < n ? advanceAt(l, column) : 1;
        return QRectF(x, s.y + r * m_rowHeight, w, m_rowHeight).toAlignedRect();
    }
    return QRect();
}

// ---- mouse and keys --------------------------------------------------------

TTranscriptView::Pos TTranscriptView::posAt(const QPoint &pt) const
{
    ensureShown();
    if (m_shown.isEmpty())
        return Pos{};
    if (pt.y() < m_shown.first().y)
        return Pos{m_shown.first().line, 0};
    for (const Shown &s : m_shown) {
        const int rows = int(s.rowStarts.size());
        if (pt.y() >= s.y + rows * m_rowHeight)
            continue;
        const int r = std::clamp((pt.y() - s.y) / m_rowHeight, 0, rows - 1);
        const int n = lineLength(s.line);
        const int rowFrom = s.rowStarts[r];
        const int rowTo = r + 1 < rows ? s.rowStarts[r + 1] : n;
        const LineRef l = lineRef(s.line);
        qreal x = kMargin;
        for (int k = rowFrom; k < rowTo; ++k) {
            // Never between the two halves of a surrogate pair.
            if (k > rowFrom && QChar::isLowSurrogate(l.at(k)) &&
                QChar::isHighSurrogate(l.at(k - 1)))
                continue;
            const qreal a = advanceAt(l, k);
            if (pt.x() < x + a / 2)
                return Pos{s.line, k};
            x += a;
        }
        return Pos{s.line, rowTo};
    }
    const int last = m_shown.last().line;
    return Pos{last, lineLength(last)};
}

void TTranscriptView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const Pos p = posAt(event->position().toPoint());
    m_dragging = true;
    if (event->modifiers() & Qt::ShiftModifier)
        setSelection(m_anchor, p);
    else
        setSelection(p, p);
}

void TTranscriptView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton))
        return;
    // Dragging past an edge scrolls a line at a time.
    const QPoint pt = event->position().toPoint();
    QScrollBar *sb = verticalScrollBar();
    if (pt.y() < 0)
        sb->setValue(sb->value() - 1);
    else if (pt.y() >= viewport()->height())
        sb->setValue(sb->value() + 1);
    setSelection(m_anchor, posAt(pt));
}

void TTranscriptView::mouseReleaseEvent(QMouseEvent *event)
{
    if (event->button() == Qt::LeftButton && m_dragging) {
        m_dragging = false;
        copyToSelectionClipboard();
    }
}

void TTranscriptView::mouseDoubleClickEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton || lineCount() == 0)
        return;
    // The word under the pointer: everything between two spaces.
    const Pos p = posAt(event->position().toPoint());
    const LineRef l = lineRef(p.line);
    const int n = l.length;
    int from = std::min(p.column, n);
    int to = from;
    while (from > 0 && l.at(from - 1) != ' ')
        --from;
    while (to < n && l.at(to) != ' ')
        ++to;
    m_dragging = false;
    setSelection(Pos{p.line, from}, Pos{p.line, to});
    copyToSelectionClipboard();
}

void TTranscriptView::keyPressEvent(QKeyEvent *event)
{
    if (event == QKeySequence::Copy) {
        copy();
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (event == QKeySequence::MoveToStartOfDocument) {
        verticalScrollBar()->setValue(0);
    } else if (event == QKeySequence::MoveToEndOfDocument) {
        verticalScrollBar()->setValue(verticalScrollBar()->maximum());
    } else {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}
