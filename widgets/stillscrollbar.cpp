#include "widgets/stillscrollbar.h"

#include <QEvent>
#include <QPaintEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionSlider>
#include <algorithm>
#include <cstring>

TStillScrollBar::TStillScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
}

TStillScrollBar::Look TStillScrollBar::look() const
{
    if (m_optionKnown) {
        m_option.minimum = minimum();
        m_option.maximum = maximum();
        m_option.sliderPosition = sliderPosition();
        m_option.sliderValue = value();
        m_option.singleStep = singleStep();
        m_option.pageStep = pageStep();
    } else {
        initStyleOption(&m_option);
        m_optionKnown = true;
    }
    Look l;
    l.handle =
        style()->subControlRect(QStyle::CC_ScrollBar, &m_option, QStyle::SC_ScrollBarSlider, this);
    l.empty = minimum() == maximum();
    l.atStart = sliderPosition() == minimum();
    l.atEnd = sliderPosition() == maximum();
    return l;
}

void TStillScrollBar::setAll(int maximum, int pageStep, std::optional<int> value)
{
    m_batch = true;
    m_changed = false;
    setRange(0, maximum);
    setPageStep(pageStep);
    if (value)
        setValue(*value);
    m_batch = false;
    // One look at the end: the range alone may move the handle for a moment.
    if (!m_changed)
        return;
    if (!m_known) {
        update();
        return;
    }
    const Look now = look();
    if (now == m_painted)
        return;
    // Rows a repaint asked for before it came are in Qt's region already:
    // what changed since the last paint is all that needs adding.
    const QRegion rows = changedRows(m_painted, now);
    if (rows.isEmpty())
        update();
    else
        update(rows);
}

namespace {
// A band's picture depends on the handle's rows within this many rows of
// it; farther inside the handle than this from its ends, the style fills
// every row alike (see paintBands).
constexpr int handleReach = 2;
} // namespace

QRegion TStillScrollBar::changedRows(const Look &from, const Look &to) const
{
    // Only the picture made over the groove is known to change this
    // locally; the arrows and the handle's breadth change all of it.
    if (!m_overGroove || from.empty != to.empty || from.atStart != to.atStart ||
        from.atEnd != to.atEnd || from.handle.isEmpty() || to.handle.isEmpty() ||
        from.handle.left() != to.handle.left() || from.handle.width() != to.handle.width())
        return QRegion();
    // A row farther than handleReach from both looks' upper ends and from
    // both lower ends is groove in both, or inside the handle in both.
    const auto span = [&](int a, int b) {
        return QRect(0, std::min(a, b) - handleReach, width(),
                     std::abs(a - b) + 2 * handleReach + 1);
    };
    QRegion rows;
    if (from.handle.top() != to.handle.top())
        rows += span(from.handle.top(), to.handle.top());
    if (from.handle.bottom() != to.handle.bottom())
        rows += span(from.handle.bottom(), to.handle.bottom());
    return rows & rect();
}

void TStillScrollBar::sliderChange(SliderChange change)
{
    if (m_batch && !transient()) {
        m_changed = true;
        return;
    }
    // A style whose bars show themselves on a change (transient bars) is
    // told every change; otherwise a change that leaves the picture as it
    // is paints nothing.
    if (m_known && !transient() && look() == m_painted)
        return;
    QScrollBar::sliderChange(change);
}

bool TStillScrollBar::transient() const
{
    if (m_transient < 0)
        m_transient = style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this) ? 1 : 0;
    return m_transient == 1;
}

bool TStillScrollBar::event(QEvent *event)
{
    // A resize, a new style, palette or direction, the mouse over the bar:
    // the view is made afresh the next time.
    if (event->type() != QEvent::Paint) {
        m_optionKnown = false;
        if (event->type() == QEvent::StyleChange) {
            m_transient = -1;
            m_grooveStyle = -1;
            m_groove = QImage();
        }
    }
    return QScrollBar::event(event);
}

void TStillScrollBar::paintEvent(QPaintEvent *event)
{
    m_painted = look();
    m_known = true;
    ++m_paints;
    m_overGroove = paintOverGroove(event->rect());
    if (!m_overGroove)
        QScrollBar::paintEvent(event);
}

namespace {

// Qt's raster engine hands a fill of 96 spans or more to its worker threads
// and waits for them; an outline has two spans a row, the arrows' shapes
// three. What is drawn here is drawn in bands of at most 31 rows of the
// device's pixels.
int bandRows(qreal dpr) { return std::max(1, int(31 / dpr)); }

// Rows top to top + rows - 1 of picture (of the bar's size) with the parts
// of option drawn over them, as an image of its own: the style sets clips
// of its own, so a clip of ours would not hold.
QImage drawnBand(QStyle *style, const QStyleOptionSlider &option, const QImage &picture, int top,
                 int rows, const QWidget *widget)
{
    const qreal dpr = picture.devicePixelRatio();
    const QRect r(0, top, int(picture.width() / dpr), rows);
    QImage image = picture.copy(QRect(r.topLeft() * dpr, r.size() * dpr));
    image.setDevicePixelRatio(dpr);
    QPainter painter(&image);
    painter.translate(-r.topLeft());
    style->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, widget);
    return image;
}

void putBand(QImage &picture, int top, const QImage &band)
{
    // Whole rows of the same width: one copy.
    Q_ASSERT(band.bytesPerLine() == picture.bytesPerLine());
    const qsizetype row = qsizetype(top * picture.devicePixelRatio());
    std::memcpy(picture.bits() + row * picture.bytesPerLine(), band.constBits(),
                size_t(band.sizeInBytes()));
}

// Draws the parts of option over rows first to last of picture, band by band.
void drawInBands(QStyle *style, const QStyleOptionSlider &option, QImage &picture, int first,
                 int last, const QWidget *widget)
{
    const int band = bandRows(picture.devicePixelRatio());
    for (int top = first; top <= last; top += band)
        putBand(picture, top,
                drawnBand(style, option, picture, top, std::min(band, last + 1 - top), widget));
}

bool opaque(const QImage &image)
{
    for (int y = 0; y < image.height(); ++y) {
        const auto *row = reinterpret_cast<const QRgb *>(image.constScanLine(y));
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(row[x]) != 255)
                return false;
    }
    return true;
}

} // namespace

bool TStillScrollBar::paintOverGroove(const QRect &asked)
{
    if (m_grooveStyle < 0)
        m_grooveStyle = style()->name().compare(QLatin1String("fusion"), Qt::CaseInsensitive) == 0;
    // Hovered or held parts are drawn lit, which the picture does not know.
    // At scales other than 1 and 2 the style's outlines do not always fall
    // on the same pixels when drawn in bands (the tests compare them).
    const qreal dpr = devicePixelRatioF();
    // A bar across is too short for the pool; it paints as it always did.
    if (m_grooveStyle != 1 || orientation() != Qt::Vertical || transient() || isSliderDown() ||
        underMouse() || (dpr != 1 && dpr != 2)) {
        setAttribute(Qt::WA_OpaquePaintEvent, false);
        return false;
    }

    // look() has just brought m_option up to date.
    QStyleOptionSlider option = m_option;
    option.activeSubControls = QStyle::SC_None;
    const GrooveKey key{size(),
                        dpr,
                        int(option.state),
                        option.direction,
                        option.palette.cacheKey(),
                        m_painted.atStart,
                        m_painted.atEnd};
    const QStyle::SubControls parts =
        QStyle::SC_ScrollBarSlider | QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddLine;
    if (m_groove.isNull() || !(key == m_grooveKey)) {
        m_bands.clear();
        m_upperEnd = m_lowerEnd = QImage();
        m_endsKnown = false;
        m_groove = QImage(size() * dpr, QImage::Format_ARGB32_Premultiplied);
        m_groove.setDevicePixelRatio(dpr);
        m_groove.fill(Qt::transparent);
        option.subControls = QStyle::SC_All;
        option.subControls &= ~parts;
        drawInBands(style(), option, m_groove, 0, height() - 1, this);
        m_grooveKey = key;
        // A groove that covers the bar spares Qt painting what is under it.
        setAttribute(Qt::WA_OpaquePaintEvent, opaque(m_groove));
    }

    if (m_picture.size() != m_groove.size())
        m_picture = QImage(m_groove.size(), m_groove.format());
    if (m_picture.devicePixelRatio() != dpr)
        m_picture.setDevicePixelRatio(dpr);
    const int band = bandRows(dpr);
    paintBands(m_picture, option, band, asked);
    QPainter painter(this);
    for (int top = 0; top < height(); top += band) {
        const QRect r(0, top, width(), band);
        if (r.intersects(asked))
            painter.drawImage(r.topLeft(), m_picture, QRect(r.topLeft() * dpr, r.size() * dpr));
    }
    return true;
}

void TStillScrollBar::paintBands(QImage &picture, QStyleOptionSlider &option, int band,
                                 const QRect &asked)
{
    // The handle and the arrows are drawn over the groove in bands at fixed
    // places, in the style's order (the arrows overlap the handle's edge
    // when it is at either end). What a band shows depends on the rows of
    // the handle that come within two rows of it: a band drawn before for
    // the same rows is used again, as are the arrows' bands and, at the
    // end of a young transcript, the handle's lower end while the handle
    // shrinks. Rows inside the handle farther than that from its ends,
    // which the style fills alike, are copies of one drawn such row. Clear
    // of the arrows, a band is made of the rows drawnEnds drew, copied to
    // where the handle's ends are now: nothing is drawn.
    constexpr int margin = handleReach;
    option.subControls =
        QStyle::SC_ScrollBarSlider | QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddLine;
    const QRect handle = m_painted.handle & rect();
    const QRect subLine =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarSubLine, this);
    const QRect addLine =
        style()->subControlRect(QStyle::CC_ScrollBar, &option, QStyle::SC_ScrollBarAddLine, this);
    // The inner rows: from the first row past the upper end's reach to
    // the last before the lower end's; the first of them is drawn.
    const int innerFirst = handle.top() + margin + 1;
    const int innerLast = handle.bottom() - margin - 1;
    const bool inner = !handle.isEmpty() && innerFirst <= innerLast;
    if (m_bands.size() > 64)
        m_bands.clear();
    const qreal dpr = picture.devicePixelRatio();
    // Ends apart by a row at least: the upper end's rows and the lower
    // end's never meet.
    const bool ends = handle.height() >= 2 * margin + 2 && drawnEnds(option, subLine, addLine);
    // The bands made: those asked for; all of them where an inner row is
    // copied from the band that drew it.
    int copiedFrom = -1, copyFirst = -1, copyLast = -1;
    const qsizetype line = picture.bytesPerLine();
    for (int top = 0; top < height(); top += band) {
        const int bottom = std::min(top + band, height()) - 1;
        if (ends && (bottom < asked.top() || top > asked.bottom()))
            continue;
        const int firstRow = int(top * dpr), rows = int((bottom + 1) * dpr) - firstRow;
        std::memcpy(picture.scanLine(firstRow), m_groove.constScanLine(firstRow),
                    size_t(rows * line));
        auto near = [&](const QRect &r) {
            return !r.isEmpty() && r.top() <= bottom + margin && r.bottom() >= top - margin;
        };
        if (!near(handle) && !near(subLine) && !near(addLine))
            continue; // the groove alone
        if (ends && top >= m_alikeFirst && bottom <= m_alikeLast) {
            putEnds(picture, top, bottom, handle);
            continue;
        }
        if (inner && top >= innerFirst && bottom <= innerLast && !near(subLine) && !near(addLine) &&
            !(top <= innerFirst && innerFirst <= bottom)) {
            if (copyFirst < 0)
                copyFirst = top;
            copyLast = bottom;
            continue;
        }
        // The handle's rows within reach of the band, counted from the
        // band's first row less the margin (none: -1).
        int from = -1, to = -1;
        if (near(handle)) {
            from = std::max(handle.top(), top - margin) - (top - margin);
            to = std::min(handle.bottom(), bottom + margin) - (top - margin);
        }
        const quint64 key = quint64(top) << 32 | quint64(from + 1) << 16 | quint64(to + 1);
        auto found = m_bands.constFind(key);
        if (found == m_bands.constEnd()) {
            ++m_drawnBands;
            found = m_bands.insert(
                key, drawnBand(style(), option, m_groove, top, bottom + 1 - top, this));
        }
        putBand(picture, top, *found);
        if (inner && top <= innerFirst && innerFirst <= bottom)
            copiedFrom = int((innerFirst + 1) * dpr) - 1;
    }
    // With the ends drawn, the inner row is theirs.
    const int innerRow = (2 * margin + 2) * int(dpr) - 1;
    const uchar *source = ends              ? m_upperEnd.constScanLine(innerRow)
                          : copiedFrom >= 0 ? picture.constScanLine(copiedFrom)
                                            : nullptr;
    if (copyFirst >= 0 && source) {
        for (int y = int(copyFirst * dpr); y < int((copyLast + 1) * dpr); ++y)
            std::memcpy(picture.scanLine(y), source, size_t(line));
    }
}

bool TStillScrollBar::drawnEnds(const QStyleOptionSlider &option, const QRect &subLine,
                                const QRect &addLine)
{
    if (m_endsKnown)
        return !m_upperEnd.isNull();
    m_endsKnown = true;
    // The shortest handle the style draws, in the middle of a long range.
    QStyleOptionSlider middle = option;
    middle.minimum = 0;
    middle.maximum = 1 << 20;
    middle.pageStep = 1;
    middle.sliderPosition = middle.sliderValue = middle.maximum / 2;
    const QRect h =
        style()->subControlRect(QStyle::CC_ScrollBar, &middle, QStyle::SC_ScrollBarSlider, this);
    constexpr int margin = handleReach;
    // Room for an inner row, and for the rows within reach of its ends,
    // clear of the arrows' reach.
    if (h.height() < 2 * margin + 2 || h.top() - 2 * margin <= subLine.bottom() ||
        h.bottom() + 2 * margin >= addLine.top() || h.left() < 0 || h.right() >= width())
        return false;
    // Copies are right only where the groove is what it is beside the
    // drawn handle: the rows, out from there, that the groove shows alike.
    const int dpr = int(m_groove.devicePixelRatio());
    const size_t line = size_t(m_groove.bytesPerLine());
    const uchar *groove = m_groove.constScanLine((h.top() - margin - 1) * dpr);
    const auto alike = [&](int y) {
        for (int i = 0; i < dpr; ++i)
            if (std::memcmp(m_groove.constScanLine(y * dpr + i), groove, line) != 0)
                return false;
        return true;
    };
    m_alikeFirst = h.top() - margin - 1;
    while (m_alikeFirst > 0 && alike(m_alikeFirst - 1))
        --m_alikeFirst;
    m_alikeLast = h.top() - margin - 1;
    while (m_alikeLast + 1 < height() && alike(m_alikeLast + 1))
        ++m_alikeLast;
    if (h.bottom() + margin > m_alikeLast)
        return false;
    m_upperEnd = drawnBand(style(), middle, m_groove, h.top() - margin, 2 * margin + 2, this);
    m_lowerEnd =
        drawnBand(style(), middle, m_groove, h.bottom() - margin - 1, 2 * margin + 2, this);
    return true;
}

void TStillScrollBar::putEnds(QImage &picture, int top, int bottom, const QRect &handle) const
{
    // Logical rows of m_upperEnd: from margin above the upper end to the
    // first inner row; of m_lowerEnd: from the last inner row to margin
    // below the lower end.
    constexpr int margin = handleReach;
    const int dpr = int(picture.devicePixelRatio());
    const size_t line = size_t(picture.bytesPerLine());
    for (int y = top; y <= bottom; ++y) {
        const int fromTop = y - handle.top();
        const int fromBottom = handle.bottom() - y;
        const QImage *source = &m_upperEnd;
        int row = 0;
        if (fromTop < -margin || fromBottom < -margin)
            continue; // the groove, as the picture has it
        if (fromTop <= margin)
            row = fromTop + margin;
        else if (fromBottom <= margin)
            source = &m_lowerEnd, row = margin + 1 - fromBottom;
        else
            row = 2 * margin + 1; // an inner row
        for (int i = 0; i < dpr; ++i)
            std::memcpy(picture.scanLine(y * dpr + i), source->constScanLine(row * dpr + i), line);
    }
}
