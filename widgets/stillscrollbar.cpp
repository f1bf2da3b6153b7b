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

// Draws the parts of option over rows first to last of picture (of the
// bar's size), band by band, each band an image of its own: the style sets
// clips of its own, so a clip of ours would not hold.
void drawInBands(QStyle *style, const QStyleOptionSlider &option, QImage &picture, int first,
                 int last, const QWidget *widget)
{
    const qreal dpr = picture.devicePixelRatio();
    const int band = bandRows(dpr);
    const int width = int(picture.width() / dpr);
    for (int top = first; top <= last; top += band) {
        const QRect r(0, top, width, std::min(band, last + 1 - top));
        QImage image = picture.copy(QRect(r.topLeft() * dpr, r.size() * dpr));
        image.setDevicePixelRatio(dpr);
        QPainter painter(&image);
        painter.translate(-r.topLeft());
        style->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, widget);
        painter.end();
        const int row = int(top * dpr);
        for (int y = 0; y < image.height(); ++y)
            std::memcpy(picture.scanLine(row + y), image.constScanLine(y),
                        size_t(picture.bytesPerLine()));
    }
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
    if (m_grooveStyle != 1 || transient() || isSliderDown() || underMouse() ||
        (dpr != 1 && dpr != 2)) {
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

    // The parts in the style's order: the groove, the handle, the arrows
    // (which overlap the handle's edge when it is at either end).
    QImage picture = m_groove;
    option.subControls = QStyle::SC_ScrollBarSlider;
    const QRect area = m_painted.handle.adjusted(-2, -2, 2, 2) & rect();
    const int band = bandRows(dpr);
    if (orientation() == Qt::Vertical && area.height() > 2 * band) {
        // A long handle: its ends are drawn, and the rows between them,
        // which the style fills alike across the bar, are copies of the
        // last row of the upper end.
        drawInBands(style(), option, picture, area.top(), area.top() + band - 1, this);
        drawInBands(style(), option, picture, area.bottom() + 1 - band, area.bottom(), this);
        const int from = int((area.top() + band) * dpr);
        const int to = int((area.bottom() + 1 - band) * dpr);
        const uchar *source = picture.constScanLine(from - 1);
        for (int y = from; y < to; ++y)
            std::memcpy(picture.scanLine(y), source, size_t(picture.bytesPerLine()));
    } else if (!area.isEmpty()) {
        drawInBands(style(), option, picture, area.top(), area.bottom(), this);
    }
    QPainter painter(this);
    for (int top = 0; top < height(); top += band) {
        const QRect r(0, top, width(), band);
        painter.drawImage(r.topLeft(), picture, QRect(r.topLeft() * dpr, r.size() * dpr));
    }
    option.subControls = QStyle::SC_ScrollBarSubLine | QStyle::SC_ScrollBarAddLine;
    style()->drawComplexControl(QStyle::CC_ScrollBar, &option, &painter, this);
    return true;
}
