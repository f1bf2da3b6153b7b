#include "widgets/focusframe.h"

#include <QAbstractScrollArea>
#include <QApplication>
#include <QPainter>
#include <QPointer>
#include <QProxyStyle>
#include <QStyleOption>

#include <algorithm>

namespace {

class TFocusFrameStyle : public QProxyStyle {
public:
    using QProxyStyle::QProxyStyle;

    void drawControl(ControlElement element, const QStyleOption *option, QPainter *painter,
                     const QWidget *widget) const override
    {
        QProxyStyle::drawControl(element, option, painter, widget);
        if (element != CE_ShapedFrame || !(option->state & State_HasFocus))
            return;
        const auto *frame = qstyleoption_cast<const QStyleOptionFrame *>(option);
        if (!frame || frame->frameShape == QFrame::NoFrame)
            return;
        // Over the frame's own lines, inside its width: the contents are
        // not covered, and nothing else is painted again.
        const auto *asFrame = qobject_cast<const QFrame *>(widget);
        const int width = std::clamp(asFrame ? asFrame->frameWidth() : frame->lineWidth, 1, 2);
        painter->save();
        painter->setPen(Qt::NoPen);
        painter->setBrush(option->palette.color(QPalette::Active, QPalette::Highlight));
        const QRect r = option->rect;
        painter->drawRect(QRect(r.left(), r.top(), r.width(), width));
        painter->drawRect(QRect(r.left(), r.bottom() - width + 1, r.width(), width));
        painter->drawRect(QRect(r.left(), r.top(), width, r.height()));
        painter->drawRect(QRect(r.right() - width + 1, r.top(), width, r.height()));
        painter->restore();
    }
};

} // namespace

void showFocusFrame(QAbstractScrollArea *area)
{
    if (!area)
        return;
    // One style for them all, on the application's own.
    static QPointer<TFocusFrameStyle> style;
    if (!style) {
        style = new TFocusFrameStyle(QApplication::style()->name());
        style->setParent(qApp);
    }
    area->setStyle(style);
}
