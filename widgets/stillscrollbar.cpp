#include "widgets/stillscrollbar.h"

#include <QEvent>
#include <QStyle>
#include <QStyleOptionSlider>

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
        if (event->type() == QEvent::StyleChange)
            m_transient = -1;
    }
    return QScrollBar::event(event);
}

void TStillScrollBar::paintEvent(QPaintEvent *event)
{
    m_painted = look();
    m_known = true;
    ++m_paints;
    QScrollBar::paintEvent(event);
}
