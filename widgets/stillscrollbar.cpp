#include "widgets/stillscrollbar.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <QProxyStyle>
#include <QStyle>
#include <QStyleOptionSlider>

namespace {

// Paints the bar in bands of a few rows: the same pixels, but Qt's raster
// engine hands a fill of more than about a hundred rows (the Fusion
// groove's gradient) to its worker threads, waking two of them whenever
// the handle moves, as it does with every line while the transcript is
// young.
class TBandedBarStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    static constexpr int bandRows = 64;

    void drawComplexControl(ComplexControl control, const QStyleOptionComplex *option,
                            QPainter *painter, const QWidget *widget) const override
    {
        const QRect r = option->rect;
        if (control != CC_ScrollBar || r.height() <= bandRows) {
            QProxyStyle::drawComplexControl(control, option, painter, widget);
            return;
        }
        // Each band is painted into an image of its own (the style sets
        // clips of its own, which a clip of the painter's would not hold).
        const qreal ratio = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
        QImage band(QSize(r.width(), bandRows) * ratio, QImage::Format_ARGB32_Premultiplied);
        band.setDevicePixelRatio(ratio);
        for (int top = r.top(); top <= r.bottom(); top += bandRows) {
            band.fill(Qt::transparent);
            {
                QPainter p(&band);
                p.translate(-r.left(), -top);
                QProxyStyle::drawComplexControl(control, option, &p, widget);
            }
            painter->drawImage(QPoint(r.left(), top), band);
        }
    }
};

} // namespace

TStillScrollBar::TStillScrollBar(Qt::Orientation orientation, QWidget *parent)
    : QScrollBar(orientation, parent)
{
    auto *banded = new TBandedBarStyle(QApplication::style()->name());
    banded->setParent(this);
    setStyle(banded);
}

TStillScrollBar::Look TStillScrollBar::look() const
{
    QStyleOptionSlider opt;
    initStyleOption(&opt);
    Look l;
    l.handle =
        style()->subControlRect(QStyle::CC_ScrollBar, &opt, QStyle::SC_ScrollBarSlider, this);
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
    return style()->styleHint(QStyle::SH_ScrollBar_Transient, nullptr, this);
}

void TStillScrollBar::paintEvent(QPaintEvent *event)
{
    m_painted = look();
    m_known = true;
    ++m_paints;
    QScrollBar::paintEvent(event);
}
