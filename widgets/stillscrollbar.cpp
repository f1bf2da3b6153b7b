#include "widgets/stillscrollbar.h"

#include <QEvent>
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
    if (m_changed && !(m_known && look() == m_painted))
        update();
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
    if (!paintOverGroove())
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

bool TStillScrollBar::paintOverGroove()
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

    QImage picture = m_groove;
    const int band = bandRows(dpr);
    paintBands(picture, option, band);
    QPainter painter(this);
    for (int top = 0; top < height(); top += band) {
        const QRect r(0, top, width(), band);
        painter.drawImage(r.topLeft(), picture, QRect(r.topLeft() * dpr, r.size() * dpr));
    }
    return true;
}

void TStillScrollBar::paintBands(QImage &picture, QStyleOptionSlider &option, int band)
{
    // The handle and the arrows are drawn over the groove in bands at fixed
    // places, in the style's order (the arrows overlap the handle's edge
    // when it is at either end). What a band shows depends on the rows of
    // the handle that come within two rows of it: a band drawn before for
    // the same rows is used again, as are the arrows' bands and, at the
    // end of a young transcript, the handle's lower end while the handle
    // shrinks. Rows inside the handle farther than that from its ends,
    // which the style fills alike, are copies of one drawn such row.
    constexpr int margin = 2;
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
    int copiedFrom = -1, copyFirst = -1, copyLast = -1;
    for (int top = 0; top < height(); top += band) {
        const int bottom = std::min(top + band, height()) - 1;
        auto near = [&](const QRect &r) {
            return !r.isEmpty() && r.top() <= bottom + margin && r.bottom() >= top - margin;
        };
        if (!near(handle) && !near(subLine) && !near(addLine))
            continue; // the groove alone
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
        if (found == m_bands.constEnd())
            found = m_bands.insert(
                key, drawnBand(style(), option, m_groove, top, bottom + 1 - top, this));
        putBand(picture, top, *found);
        if (inner && top <= innerFirst && innerFirst <= bottom)
            copiedFrom = int((innerFirst + 1) * dpr) - 1;
    }
    if (copyFirst >= 0 && copiedFrom >= 0) {
        const qsizetype line = picture.bytesPerLine();
        uchar *bits = picture.bits();
        for (int y = int(copyFirst * dpr); y < int((copyLast + 1) * dpr); ++y)
            std::memcpy(bits + y * line, bits + copiedFrom * line, size_t(line));
    }
}
