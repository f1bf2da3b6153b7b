#include "widgets/menubarstyle.h"

#include <QPainter>
#include <QStyleOptionMenuItem>

namespace {
constexpr int iconSize = 16;
constexpr int gap = 4;
} // namespace

QSize TMenuBarStyle::sizeFromContents(ContentsType type, const QStyleOption *option,
                                      const QSize &size, const QWidget *widget) const
{
    if (type == CT_MenuBarItem) {
        if (const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option)) {
            if (!item->icon.isNull()) {
                QStyleOptionMenuItem textOnly(*item);
                textOnly.icon = QIcon();
                const QSize textSize = proxy()
                                           ->itemTextRect(item->fontMetrics, QRect(),
                                                          Qt::TextShowMnemonic, true, item->text)
                                           .size();
                QSize s = QProxyStyle::sizeFromContents(type, &textOnly, textSize, widget);
                s.rwidth() += iconSize + gap;
                s.setHeight(qMax(s.height(), iconSize + 6));
                return s;
            }
        }
    }
    return QProxyStyle::sizeFromContents(type, option, size, widget);
}

void TMenuBarStyle::drawControl(ControlElement element, const QStyleOption *option,
                                QPainter *painter, const QWidget *widget) const
{
    const auto *item = qstyleoption_cast<const QStyleOptionMenuItem *>(option);
    if (element != CE_MenuBarItem || !item || item->icon.isNull()) {
        QProxyStyle::drawControl(element, option, painter, widget);
        return;
    }
    // The base style paints the item's frame and highlight; the image and
    // the caption are laid out here, side by side and centred together.
    QStyleOptionMenuItem frame(*item);
    frame.icon = QIcon();
    frame.text.clear();
    QProxyStyle::drawControl(element, &frame, painter, widget);

    const bool enabled = item->state & State_Enabled;
    const QRect r = item->rect;
    const int textWidth =
        item->fontMetrics.horizontalAdvance(QString(item->text).remove(QLatin1Char('&')));
    const int total = iconSize + gap + textWidth;
    const int left = r.left() + (r.width() - total) / 2;
    const QRect iconRect(left, r.top() + (r.height() - iconSize) / 2, iconSize, iconSize);
    item->icon.paint(painter, iconRect, Qt::AlignCenter, enabled ? QIcon::Normal : QIcon::Disabled);

    const QRect textRect(iconRect.right() + 1 + gap, r.top(), r.right() - iconRect.right() - gap,
                         r.height());
    const bool active = (item->state & State_Selected) && (item->state & State_Sunken);
    const QPalette::ColorRole role =
        active && enabled ? QPalette::HighlightedText : QPalette::ButtonText;
    int flags = Qt::AlignLeft | Qt::AlignVCenter | Qt::TextShowMnemonic | Qt::TextSingleLine;
    if (!proxy()->styleHint(SH_UnderlineShortcut, item, widget))
        flags |= Qt::TextHideMnemonic;
    proxy()->drawItemText(painter, textRect, flags, item->palette, enabled, item->text, role);
}
