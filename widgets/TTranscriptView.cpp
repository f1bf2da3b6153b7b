#include "widgets/TTranscriptView.h"

#include "core/settingsdefs.h"

#include "rules/transcripttext.h"
#include "widgets/accesslistening.h"
#include "widgets/framepacer.h"
#include "widgets/stillscrollbar.h"
#include "widgets/transcriptaccessible.h"
#include "widgets/userlistview.h"

#include <QAccessible>
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
    m_markColour = QColor::fromRgb(TColours::rgb(
        TColours::indexOf(QLatin1String(TSetting::def(TSetting::mentionColour).start))));
    setVerticalScrollBar(new TStillScrollBar(Qt::Vertical, this));
    setVerticalScrollBarPolicy(Qt::ScrollBarAlwaysOn);
    setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    // The scroll area shows or hides its bars in a pass of the event loop
    // queued at every change of their range, that is with every line; with
    // both bars' policies fixed there is nothing to show or hide.
    disconnect(verticalScrollBar(), SIGNAL(rangeChanged(int, int)), this,
               SLOT(_q_showOrHideScrollBars()));
    // Tab reaches the pane, so that a keyboard and a screen reader can read it.
    setFocusPolicy(Qt::StrongFocus);
    installTranscriptAccessibility();
    m_syncPacer = new TFramePacer(
        [this] {
            if (m_syncQueued)
                syncScrollRange();
        },
        this);
    viewport()->setCursor(Qt::IBeamCursor);
    // The pointer becomes a hand over a link.
    viewport()->setMouseTracking(true);
    // Every pixel is painted by paintEvent.
    viewport()->setAttribute(Qt::WA_OpaquePaintEvent);
    verticalScrollBar()->setSingleStep(1);
    verticalScrollBar()->setRange(0, 0);
    fillScrollBarBackgrounds(this);
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
    if (m_search.isActive()) {
        const int before = m_search.count();
        m_search.extend(m_store, lineCount() - 1);
        if (m_search.count() != before)
            Q_EMIT searchChanged();
    }
    if (TAccessibility::listening() && m_insertedFrom < 0)
        m_insertedFrom = lineCount() - 1;
    if (held()) {
        // Nothing moves; the scroll bar grows and the marker may show.
        m_newBelow = true;
        invalidateShown();
        scheduleSync();
        return;
    }
    // A new line drops the selection and brings the pane to its end; the
    // scroll bar and the picture follow once this pass of the event loop is
    // done, however many lines arrive in it, and at most once a display
    // frame.
    // The caret waits at the start of the newest line.
    if (hasSelection())
        repaintAll(); // the selection drawn goes
    m_anchor = m_cursor = Pos{lineCount() - 1, 0};
    m_dragging = false;
    m_atEnd = true;
    invalidateShown();
    scheduleSync();
}

void TTranscriptView::clear()
{
    m_store.clear();
    m_wrapped.clear();
    if (m_search.isActive()) {
        m_search.storeCleared();
        Q_EMIT searchChanged();
    }
    m_newBelow = false;
    m_anchor = m_cursor = Pos{};
    m_dragging = false;
    m_atEnd = true;
    m_insertedFrom = -1;
    invalidateShown();
    syncScrollRange();
    if (TAccessibility::listening()) {
        QAccessibleTextUpdateEvent ev(this, 0, QString(), QString());
        TAccessibility::tell(&ev);
    }
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
    const bool selecting = anchor != cursor || m_anchor != m_cursor;
    m_anchor = anchor;
    m_cursor = cursor;
    repaintAll();
    if (TAccessibility::listening()) {
        tellCaret();
        if (selecting) {
            qint64 from = caretOffset(), to = from;
            selectionOffsets(from, to);
            QAccessibleTextSelectionEvent ev(this, int(from), int(to));
            TAccessibility::tell(&ev);
        }
    }
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
    repaintAll();
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
    m_plainGlyphs.setFont(m_drawFont);
    const QFontMetricsF fm(m_drawFont, viewport());
    for (int b = 0; b < 256; ++b)
        m_advance[b] = fm.horizontalAdvance(displayChar(char16_t(b)));
    m_wideAdvance.clear();
    m_wrapped.clear();
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
    const qreal w = wrapWidth();
    if (w != m_wrapWidth) {
        m_wrapped.clear();
        m_wrapWidth = w;
    }
    const auto known = m_wrapped.constFind(line);
    if (known != m_wrapped.constEnd()) {
        rowStarts = *known;
        return;
    }
    // Break after the last space that fits; a word wider than the pane is
    // broken where it overflows. Spaces never start a new row by themselves.
    rowStarts.clear();
    const LineRef l = lineRef(line);
    const int n = l.length;
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
    // A few screenfuls are enough; scrolling far away starts afresh.
    if (m_wrapped.size() >= 1024)
        m_wrapped.clear();
    m_wrapped.insert(line, rowStarts);
}

void TTranscriptView::scheduleSync()
{
    if (m_syncQueued)
        return;
    m_syncQueued = true;
    m_syncPacer->request();
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
    static_cast<TStillScrollBar *>(sb)->setAll(
        max, std::max(1, n - max), m_atEnd && !held() ? std::optional<int>(max) : std::nullopt);
    m_syncing = false;
    if (sb->value() == sb->maximum())
        m_atEnd = true;
    invalidateShown();
    if (!scrollPicture())
        repaintLater();
    tellInserted();
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
    if (m_atEnd && !held() && sb->maximum() > 0) {
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
    // The user moved the scroll bar (or wheel, or keys); the pane's own
    // sync paints what it moves itself.
    if (!m_syncing)
        m_atEnd = verticalScrollBar()->value() == verticalScrollBar()->maximum();
    invalidateShown();
    if (m_newBelow && lastLineShown())
        m_newBelow = false;
    if (!m_syncing)
        repaintLater();
}

void TTranscriptView::repaintLater()
{
    if (!m_paintingAll)
        repaintAll();
}

void TTranscriptView::repaintAll()
{
    m_pictureValid = false;
    viewport()->update();
}

QList<TTranscriptView::Drawn> TTranscriptView::drawnNow() const
{
    ensureShown();
    QList<Drawn> out;
    out.reserve(m_shown.size());
    for (const Shown &s : m_shown)
        out.append(Drawn{s.line, s.y, int(s.rowStarts.size())});
    return out;
}

bool TTranscriptView::scrollPicture()
{
    // Only the plain case: following the end with no selection, caret,
    // marker or anything else drawn that a new line would change.
    if (!m_pictureValid || m_stripPending || m_inPaint || m_paintingAll || held() || hasFocus() ||
        hasSelection() || m_picture.isEmpty())
        return false;
    const QList<Drawn> now = drawnNow();
    if (now.isEmpty() || now.last().line < m_picture.last().line)
        return false;
    // Every line both pictures show moved by the same distance, up or not
    // at all, and kept its rows; the lines below the old picture are new.
    const int first = m_picture.first().line;
    int delta = 0, bottom = -1;
    for (const Drawn &d : now) {
        const int at = d.line - first;
        if (at < 0)
            return false;
        if (at >= m_picture.size())
            break;
        const Drawn &was = m_picture[at];
        if (was.line != d.line || was.rows != d.rows)
            return false;
        if (bottom < 0)
            delta = d.y - was.y;
        else if (d.y - was.y != delta)
            return false;
        bottom = d.y + d.rows * m_rowHeight;
    }
    if (bottom < 0 || delta > 0)
        return false;
    m_picture = now;
    if (delta != 0)
        viewport()->scroll(0, delta);
    // The strip: from the lines moved to the end of the new ones (below
    // them, the margin, or the empty rest of a pane not yet full, is
    // background already).
    const int end =
        std::min(viewport()->height(), now.last().y + now.last().rows * m_rowHeight + kMargin);
    if (bottom < end) {
        m_stripPending = true;
        viewport()->update(QRect(0, bottom, viewport()->width(), end - bottom));
    }
    return true;
}

bool TTranscriptView::lastLineShown() const
{
    ensureShown();
    if (m_shown.isEmpty())
        return true;
    const Shown &last = m_shown.last();
    return last.line == lineCount() - 1 &&
           last.y + int(last.rowStarts.size()) * m_rowHeight <= viewport()->height();
}

int TTranscriptView::topLine() const
{
    ensureShown();
    for (const Shown &s : m_shown)
        if (s.y >= 0)
            return s.line;
    return m_shown.isEmpty() ? 0 : m_shown.first().line;
}

// ---- marks, links, searching, holding --------------------------------------

void TTranscriptView::markLine(int line)
{
    m_store.setMarked(line, true);
    // A line not drawn yet is drawn marked when its frame comes.
    if (m_syncQueued && (m_picture.isEmpty() || line > m_picture.last().line))
        return;
    repaintAll();
}

bool TTranscriptView::replaceChar(int line, int column, QChar c)
{
    if (!m_store.replaceChar(line, column, c))
        return false;
    m_wrapped.remove(line);
    invalidateShown(); // the line may wrap otherwise now
    repaintLater();
    return true;
}

void TTranscriptView::setMarkColour(const QColor &c)
{
    m_markColour = c;
    repaintAll();
}

void TTranscriptView::setLinksShown(bool on)
{
    if (m_linksShown == on)
        return;
    m_linksShown = on;
    viewport()->setCursor(Qt::IBeamCursor);
    repaintAll();
}

bool TTranscriptView::linkAt(const QPoint &viewportPos, TLinkSpan &link) const
{
    if (!m_linksShown)
        return false;
    const Pos p = posAt(viewportPos, false);
    if (p.column < 0 || p.line >= lineCount())
        return false;
    for (const TLinkSpan &l : TLinks::find(m_store.lineText(p.line)))
        if (p.column >= l.start && p.column < l.start + l.length) {
            link = l;
            return true;
        }
    return false;
}

void TTranscriptView::setSearch(const QString &needle, Qt::CaseSensitivity cs)
{
    m_search.start(m_store, needle, cs);
    repaintAll();
    Q_EMIT searchChanged();
}

void TTranscriptView::clearSearch()
{
    m_search.clear();
    repaintAll();
    Q_EMIT searchChanged();
}

void TTranscriptView::goToMatch(int index)
{
    m_search.setCurrent(index);
    if (m_search.current() >= 0) {
        const int line = m_search.at(m_search.current()).line;
        ensureShown();
        bool inView = false;
        for (const Shown &s : m_shown)
            if (s.line == line)
                inView =
                    s.y >= 0 && s.y + int(s.rowStarts.size()) * m_rowHeight <= viewport()->height();
        if (!inView) {
            // The match a third of the way down, where the eye looks first.
            if (m_syncQueued)
                syncScrollRange();
            const int rows = std::max(1, viewport()->height() / m_rowHeight);
            QScrollBar *sb = verticalScrollBar();
            sb->setValue(std::clamp(line - rows / 3, 0, sb->maximum()));
            invalidateShown();
        }
    }
    repaintAll();
    Q_EMIT searchChanged();
}

void TTranscriptView::setHoldView(bool hold)
{
    if (m_hold == hold)
        return;
    if (m_syncQueued)
        syncScrollRange();
    m_hold = hold;
    m_newBelow = false;
    invalidateShown();
    repaintAll();
}

// ---- painting --------------------------------------------------------------

void TTranscriptView::paintEvent(QPaintEvent *event)
{
    // Lines that arrived since this frame's layout wait for the next frame
    // (the newest are drawn anyway, from the bottom up); otherwise the paint
    // lays them out now. A paint of the whole pane is then the picture the
    // layout asks for, so it does not ask for another; after a partial one
    // the rest follows.
    const bool whole = event->rect().contains(viewport()->rect());
    m_stripPending = false;
    if (m_syncQueued && !TFramePacer::frameTaken()) {
        m_paintingAll = whole;
        m_inPaint = true;
        syncScrollRange();
        m_inPaint = false;
        m_paintingAll = false;
    }
    QPainter p(viewport());
    const QRect exposed = event->rect();
    p.fillRect(exposed, m_background);
    p.setFont(m_drawFont);
    ensureShown();
    // The picture is known again after a whole paint; a part painted over
    // a picture of other places leaves it unknown.
    if (whole) {
        m_picture = drawnNow();
        m_pictureValid = true;
    } else if (m_pictureValid && drawnNow() != m_picture) {
        m_pictureValid = false;
    }
    const QColor hlBack = palette().color(QPalette::Highlight);
    const QColor hlText = palette().color(QPalette::HighlightedText);
    for (const Shown &s : m_shown)
        paintLine(p, s, exposed, hlBack, hlText);
    if (hasFocus())
        paintReadingCaret(p);
    if (newLinesBelow())
        paintNewLinesMarker(p);
}

void TTranscriptView::paintReadingCaret(QPainter &p) const
{
    // The caret's line framed, and the caret itself, where the keyboard reads.
    for (const Shown &s : m_shown) {
        if (s.line != m_cursor.line)
            continue;
        p.save();
        p.setPen(QPen(m_defaultColour, 1, Qt::DotLine));
        p.setBrush(Qt::NoBrush);
        p.drawRect(
            QRect(0, s.y, viewport()->width() - 1, int(s.rowStarts.size()) * m_rowHeight - 1));
        const QRect at = characterRect(m_cursor.line, m_cursor.column);
        if (!at.isEmpty()) {
            p.setPen(QPen(m_defaultColour, 1));
            p.drawLine(at.topLeft(), at.bottomLeft());
        }
        p.restore();
    }
}

void TTranscriptView::paintNewLinesMarker(QPainter &p) const
{
    const QString label = QStringLiteral("New lines below \u25BC");
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(label) + 16;
    const int h = fm.height() + 6;
    const QRect r(viewport()->width() - w - 8, viewport()->height() - h - 6, w, h);
    p.save();
    p.setRenderHint(QPainter::Antialiasing);
    p.setPen(Qt::NoPen);
    p.setBrush(palette().color(QPalette::Highlight));
    p.drawRoundedRect(r, h / 2.0, h / 2.0);
    p.setPen(palette().color(QPalette::HighlightedText));
    p.setFont(font());
    p.drawText(r, Qt::AlignCenter, label);
    p.restore();
}

void TTranscriptView::fillColumns(QPainter &p, const Shown &s, int from, int to,
                                  const QColor &colour, bool outline) const
{
    const LineRef l = lineRef(s.line);
    const int rows = int(s.rowStarts.size());
    for (int r = 0; r < rows; ++r) {
        const int rowFrom = s.rowStarts[r];
        const int rowTo = r + 1 < rows ? s.rowStarts[r + 1] : l.length;
        const int a = std::max(from, rowFrom);
        const int b = std::min(to, rowTo);
        if (a >= b)
            continue;
        qreal x = kMargin;
        for (int k = rowFrom; k < a; ++k)
            x += advanceAt(l, k);
        qreal w = 0;
        for (int k = a; k < b; ++k)
            w += advanceAt(l, k);
        const QRectF box(x, s.y + r * m_rowHeight, w, m_rowHeight);
        p.fillRect(box, colour);
        if (outline) {
            // Not by its colour alone: the current match is framed too.
            p.save();
            p.setPen(QPen(QColor(0, 0, 0), 2));
            p.setBrush(Qt::NoBrush);
            p.drawRect(box.adjusted(1, 1, -1, -1));
            p.restore();
        }
    }
}

void TTranscriptView::paintLine(QPainter &p, const Shown &s, const QRect &exposed,
                                const QColor &hlBack, const QColor &hlText) const
{
    const int rows = int(s.rowStarts.size());
    // A line outside the part painted costs nothing (a new line's strip
    // is a row or two of a full pane).
    if (s.y > exposed.bottom() || s.y + rows * m_rowHeight <= exposed.top())
        return;
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
    // Behind the text: the mark, then the search's matches.
    if (m_store.isMarked(s.line)) {
        p.fillRect(QRect(0, s.y, viewport()->width(), rows * m_rowHeight), m_markColour);
        // Not by its colour alone: a bar in the margin marks it too.
        p.fillRect(QRect(0, s.y, kMargin, rows * m_rowHeight), m_defaultColour);
    }
    if (m_search.isActive()) {
        const auto [first, last] = m_search.onLines(s.line, s.line);
        for (int i = first; i < last; ++i) {
            const TSearchMatch &m = m_search.at(i);
            const bool current = i == m_search.current();
            fillColumns(p, s, m.column, m.column + m.length,
                        current ? QColor(255, 150, 50) : QColor(255, 235, 110), current);
        }
    }
    QList<TLinkSpan> links;
    if (m_linksShown)
        links = TLinks::find(m_store.lineText(s.line));
    // A link stands out from a light background in blue, from a dark one
    // in a lighter blue.
    const QColor linkColour =
        m_background.lightness() < 128 ? QColor(130, 180, 255) : QColor(0, 0, 230);
    qsizetype li = 0;
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
            while (li < links.size() && links[li].start + links[li].length <= pos)
                ++li;
            const bool inLink = li < links.size() && links[li].start <= pos;
            if (inLink)
                end = std::min(end, links[li].start + links[li].length);
            else if (li < links.size())
                end = std::min(end, links[li].start);

            chunk.resize(end - pos);
            m_pieceX.resize(end - pos);
            qreal w = 0;
            for (int k = pos; k < end; ++k) {
                m_pieceX[k - pos] = w;
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
            } else if (inLink) {
                p.setPen(linkColour);
            } else {
                p.setPen(run != runsEnd ? QColor::fromRgba(run->colour) : m_defaultColour);
            }
            if (m_plainGlyphs.glyphRun(chunk, m_pieceX, m_pieceRun))
                p.drawGlyphRun(QPointF(x, top + m_ascent), m_pieceRun);
            else
                p.drawText(QPointF(x, top + m_ascent), chunk);
            if (inLink) {
                const qreal y = std::min<qreal>(top + m_ascent + 1.5, top + m_rowHeight - 0.5);
                p.drawLine(QPointF(x, y), QPointF(x + w, y));
            }
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

TTranscriptView::Pos TTranscriptView::posAt(const QPoint &pt, bool nearest) const
{
    ensureShown();
    if (m_shown.isEmpty())
        return Pos{0, nearest ? 0 : -1};
    if (pt.y() < m_shown.first().y)
        return Pos{m_shown.first().line, nearest ? 0 : -1};
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
            if (pt.x() < x + (nearest ? a / 2 : a))
                return Pos{s.line, !nearest && pt.x() < kMargin ? -1 : k};
            x += a;
        }
        return Pos{s.line, nearest ? rowTo : -1};
    }
    const int last = m_shown.last().line;
    return Pos{last, nearest ? lineLength(last) : -1};
}

void TTranscriptView::mousePressEvent(QMouseEvent *event)
{
    if (event->button() != Qt::LeftButton) {
        QAbstractScrollArea::mousePressEvent(event);
        return;
    }
    const Pos p = posAt(event->position().toPoint());
    m_pressOnLink = !(event->modifiers() & Qt::ShiftModifier) &&
                    linkAt(event->position().toPoint(), m_pressedLink);
    m_dragging = true;
    if (event->modifiers() & Qt::ShiftModifier)
        setSelection(m_anchor, p);
    else
        setSelection(p, p);
}

void TTranscriptView::mouseMoveEvent(QMouseEvent *event)
{
    if (!m_dragging || !(event->buttons() & Qt::LeftButton)) {
        if (m_linksShown) {
            TLinkSpan link;
            viewport()->setCursor(linkAt(event->position().toPoint(), link) ? Qt::PointingHandCursor
                                                                            : Qt::IBeamCursor);
        }
        return;
    }
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
        // A click on a link, not a drag that selected part of it, opens it.
        TLinkSpan link;
        if (m_pressOnLink && !hasSelection() && linkAt(event->position().toPoint(), link) &&
            link.start == m_pressedLink.start && link.text == m_pressedLink.text)
            Q_EMIT linkActivated(link.url());
    }
    m_pressOnLink = false;
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
        // With nothing selected, the line the caret is on.
        if (hasSelection())
            copy();
        else if (lineCount() > 0)
            QGuiApplication::clipboard()->setText(m_store.lineText(m_cursor.line));
    } else if (event == QKeySequence::SelectAll) {
        selectAll();
    } else if (!readingKey(event)) {
        QAbstractScrollArea::keyPressEvent(event);
        return;
    }
    event->accept();
}

bool TTranscriptView::readingKey(QKeyEvent *event)
{
    const Qt::KeyboardModifiers mods =
        event->modifiers() & (Qt::ShiftModifier | Qt::ControlModifier | Qt::AltModifier);
    const bool shift = mods & Qt::ShiftModifier;
    const Qt::KeyboardModifiers rest = mods & ~Qt::ShiftModifier;
    if (event->key() == Qt::Key_Escape && mods == Qt::NoModifier) {
        Q_EMIT escapePressed();
        return true;
    }
    if ((event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) &&
        mods == Qt::NoModifier) {
        // Enter opens the link the caret is on; elsewhere it goes on to the
        // window, which sends the input line.
        TLinkSpan link;
        if (!linkAtCaret(link))
            return false;
        Q_EMIT linkActivated(link.url());
        return true;
    }
    const int n = lineCount();
    if (n == 0)
        return false;
    Pos to = m_cursor;
    to.line = std::clamp(to.line, 0, n - 1);
    switch (event->key()) {
    case Qt::Key_Up:
    case Qt::Key_Down:
        if (rest != Qt::NoModifier)
            return false;
        to.line = std::clamp(to.line + (event->key() == Qt::Key_Up ? -1 : 1), 0, n - 1);
        // Selecting takes whole lines; reading starts at the line's start.
        to.column = shift && event->key() == Qt::Key_Down && to.line == m_cursor.line
                        ? lineLength(to.line)
                        : 0;
        break;
    case Qt::Key_PageUp:
    case Qt::Key_PageDown: {
        if (rest != Qt::NoModifier)
            return false;
        const int step = std::max(1, visibleLines() - 1);
        to.line = std::clamp(to.line + (event->key() == Qt::Key_PageUp ? -step : step), 0, n - 1);
        to.column = 0;
        break;
    }
    case Qt::Key_Home:
    case Qt::Key_End:
        if (rest != Qt::NoModifier && rest != Qt::ControlModifier)
            return false;
        to = event->key() == Qt::Key_Home ? Pos{0, 0} : Pos{n - 1, 0};
        if (shift && event->key() == Qt::Key_End)
            to.column = lineLength(n - 1);
        break;
    case Qt::Key_Left:
    case Qt::Key_Right: {
        if (rest != Qt::NoModifier)
            return false;
        // A character at a time, across line ends.
        const qint64 at = TTranscriptText::offsetOf(m_store, to.line, to.column) +
                          (event->key() == Qt::Key_Left ? -1 : 1);
        const qint64 clamped = std::clamp<qint64>(at, 0, m_store.characterCount());
        const TTranscriptText::Pos p = TTranscriptText::posOf(m_store, clamped);
        to = Pos{p.line, p.column};
        break;
    }
    default:
        return false;
    }
    moveCaret(to, shift);
    return true;
}

void TTranscriptView::moveCaret(const Pos &to, bool keepAnchor)
{
    // From the first move on, the reader is left where they read until
    // the focus leaves the pane.
    if (!m_readingHold && hasFocus()) {
        if (m_syncQueued)
            syncScrollRange();
        m_readingHold = true;
        invalidateShown();
    }
    showLine(to.line);
    setSelection(keepAnchor ? m_anchor : to, to);
    // A caret that did not move is read again all the same.
    if (TAccessibility::listening())
        tellCaret();
}

void TTranscriptView::tellCaret()
{
    QAccessibleTextCursorEvent ev(this, int(std::min<qint64>(caretOffset(), INT_MAX)));
    TAccessibility::tell(&ev);
}

void TTranscriptView::tellInserted()
{
    if (m_insertedFrom < 0)
        return;
    const int from = std::min(m_insertedFrom, lineCount());
    m_insertedFrom = -1;
    if (!TAccessibility::listening() || from >= lineCount())
        return;
    // The new text starts with the line feed that ends the line before it.
    const qint64 at = from == 0 ? 0 : m_store.offsetOfLine(from) - 1;
    const QString inserted = TTranscriptText::text(m_store, at, m_store.characterCount());
    QAccessibleTextInsertEvent ev(this, int(std::min<qint64>(at, INT_MAX)), inserted);
    TAccessibility::tell(&ev);
}

bool TTranscriptView::linkAtCaret(TLinkSpan &link) const
{
    if (!m_linksShown || m_cursor.line < 0 || m_cursor.line >= lineCount())
        return false;
    const QList<TLinkSpan> links = TLinks::find(m_store.lineText(m_cursor.line));
    for (const TLinkSpan &l : links)
        if (m_cursor.column < l.start + l.length) {
            link = l;
            return true;
        }
    if (links.isEmpty())
        return false;
    link = links.first();
    return true;
}

int TTranscriptView::visibleLines() const
{
    ensureShown();
    int shown = 0;
    for (const Shown &s : m_shown)
        if (s.y >= 0 && s.y + int(s.rowStarts.size()) * m_rowHeight <= viewport()->height())
            ++shown;
    return std::max(1, shown);
}

void TTranscriptView::focusInEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusInEvent(event);
    if (lineCount() > 0 && m_cursor.line >= lineCount())
        m_anchor = m_cursor = Pos{lineCount() - 1, 0};
    repaintAll();
}

void TTranscriptView::focusOutEvent(QFocusEvent *event)
{
    QAbstractScrollArea::focusOutEvent(event);
    // A menu opened on the pane, or another window in front, leaves the
    // reader where they were.
    if (event->reason() != Qt::PopupFocusReason && event->reason() != Qt::ActiveWindowFocusReason) {
        m_readingHold = false;
        if (!m_hold)
            m_newBelow = false;
        invalidateShown();
    }
    repaintAll();
}

// ---- offsets for a screen reader -------------------------------------------

qint64 TTranscriptView::caretOffset() const
{
    return TTranscriptText::offsetOf(m_store, m_cursor.line, m_cursor.column);
}

void TTranscriptView::setCaretOffset(qint64 offset)
{
    const TTranscriptText::Pos p = TTranscriptText::posOf(m_store, offset);
    moveCaret(Pos{p.line, p.column}, false);
}

bool TTranscriptView::selectionOffsets(qint64 &start, qint64 &end) const
{
    if (!hasSelection())
        return false;
    start = TTranscriptText::offsetOf(m_store, selStart().line, selStart().column);
    end = TTranscriptText::offsetOf(m_store, selEnd().line, selEnd().column);
    return true;
}

void TTranscriptView::setSelectionOffsets(qint64 start, qint64 end)
{
    const TTranscriptText::Pos a = TTranscriptText::posOf(m_store, start);
    const TTranscriptText::Pos b = TTranscriptText::posOf(m_store, end);
    showLine(b.line);
    setSelection(Pos{a.line, a.column}, Pos{b.line, b.column});
}

void TTranscriptView::showLine(int line)
{
    if (line < 0 || line >= lineCount())
        return;
    if (m_syncQueued)
        syncScrollRange();
    ensureShown();
    for (const Shown &s : m_shown)
        if (s.line == line && s.y >= 0 &&
            s.y + int(s.rowStarts.size()) * m_rowHeight <= viewport()->height())
            return;
    QScrollBar *sb = verticalScrollBar();
    int top = line;
    if (!m_shown.isEmpty() && line > m_shown.first().line) {
        // Below the view: the line goes to the bottom edge.
        int used = 0;
        QList<int> rows;
        const int avail = viewport()->height() - 2 * kMargin;
        for (int i = line; i >= 0; --i) {
            wrapLine(i, rows);
            used += int(rows.size()) * m_rowHeight;
            if (used > avail)
                break;
            top = i;
        }
    }
    sb->setValue(std::clamp(top, 0, sb->maximum()));
    m_atEnd = sb->value() == sb->maximum();
    invalidateShown();
    repaintAll();
}

qint64 TTranscriptView::offsetAt(const QPoint &viewportPos) const
{
    const Pos p = posAt(viewportPos, false);
    if (p.column < 0 || lineCount() == 0)
        return -1;
    return TTranscriptText::offsetOf(m_store, p.line, p.column);
}

QRect TTranscriptView::offsetRect(qint64 offset) const
{
    const TTranscriptText::Pos p = TTranscriptText::posOf(m_store, offset);
    return characterRect(p.line, p.column);
}

void TTranscriptView::scrollPages(int pages)
{
    QScrollBar *sb = verticalScrollBar();
    if (m_syncQueued)
        syncScrollRange();
    sb->setValue(sb->value() + pages * std::max(1, visibleLines() - 1));
}

void TTranscriptView::scrollToStart() { verticalScrollBar()->setValue(0); }

void TTranscriptView::scrollToEnd()
{
    if (m_syncQueued)
        syncScrollRange();
    verticalScrollBar()->setValue(verticalScrollBar()->maximum());
}
