// Drawing of the user lists.
#include "widgets/userlistview.h"

#include "resources/icons.h"
#include "rules/usericons.h"

#include <QAbstractItemView>
#include <QApplication>
#include <QHash>
#include <QPainter>
#include <QPair>
#include <QScrollBar>

QVariant TMemberRow::data(int column, int role) const
{
    if (column != 0 || (role != Qt::AccessibleTextRole && role != Qt::ToolTipRole))
        return QTreeWidgetItem::data(column, role);
    QStringList words{text(0), productName(product)};
    words += flagWords(flags);
    if (permasquelched)
        words << QStringLiteral("permasquelched");
    else if (lamerHidden)
        words << QStringLiteral("hidden by lamer mode");
    if (safelisted)
        words << QStringLiteral("safelisted");
    return words.join(QStringLiteral(", "));
}

QVariant TSquelchEntry::data(int role) const
{
    if (role != Qt::AccessibleTextRole && role != Qt::ToolTipRole)
        return QListWidgetItem::data(role);
    const int icon = QListWidgetItem::data(TUserRow::iconRole).toInt();
    return text() + QStringLiteral(", ") +
           (icon == TUserIcon::unknown ? QStringLiteral("added by hand")
                                       : productName(productCode(icon))) +
           QStringLiteral(", permasquelched");
}

namespace {
constexpr int gap = 2;

// Pictures by (index, pixel ratio in hundredths); drawn once each.
const QPixmap &cached(bool state, int index, qreal dpr)
{
    static QHash<QPair<int, int>, QPixmap> users, states;
    auto &cache = state ? states : users;
    const QPair<int, int> key(index, qRound(dpr * 100));
    auto it = cache.find(key);
    if (it == cache.end())
        it = cache.insert(key,
                          state ? TIcons::stateImage(index, dpr) : TIcons::userIcon(index, dpr));
    return *it;
}

bool validIcon(int i) { return i >= 0 && i < TIcons::userIconCount; }
bool validState(int i) { return i >= 0 && i < TIcons::stateImageCount; }
} // namespace

QIcon userIconSet(int index)
{
    static QHash<int, QIcon> icons;
    if (!validIcon(index))
        return QIcon();
    auto it = icons.find(index);
    if (it == icons.end()) {
        QIcon icon;
        icon.addPixmap(cached(false, index, 1.0));
        icon.addPixmap(cached(false, index, 2.0));
        it = icons.insert(index, icon);
    }
    return *it;
}

void TUserListDelegate::paint(QPainter *painter, const QStyleOptionViewItem &option,
                              const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    const QString caption = opt.text;
    opt.text.clear();
    opt.icon = QIcon();
    opt.features &= ~QStyleOptionViewItem::HasDecoration;
    const QWidget *widget = option.widget;
    QStyle *style = widget ? widget->style() : QApplication::style();
    // Background, selection and focus frame as the style draws them.
    style->drawControl(QStyle::CE_ItemViewItem, &opt, painter, widget);

    const qreal dpr = painter->device() ? painter->device()->devicePixelRatioF() : 1.0;
    QRect r = option.rect;
    const int top = r.top() + (r.height() - TIcons::userIconHeight) / 2;
    int x = r.left() + gap;
    const int state = index.data(TUserRow::stateRole).isValid()
                          ? index.data(TUserRow::stateRole).toInt()
                          : TUserRow::noState;
    if (index.data(TUserRow::stateRole).isValid()) {
        if (validState(state))
            painter->drawPixmap(QPoint(x, top), cached(true, state, dpr));
        x += TIcons::stateImageWidth;
    }
    const int icon =
        index.data(TUserRow::iconRole).isValid() ? index.data(TUserRow::iconRole).toInt() : -1;
    if (validIcon(icon))
        painter->drawPixmap(QPoint(x, top), cached(false, icon, dpr));
    x += TIcons::userIconWidth + gap * 2;

    const QRect textRect(x, r.top(), qMax(0, r.right() - x), r.height());
    const bool selected = option.state & QStyle::State_Selected;
    painter->save();
    painter->setFont(opt.font);
    painter->setPen(
        opt.palette.color(QPalette::Normal, selected ? QPalette::HighlightedText : QPalette::Text));
    const QString shown = opt.fontMetrics.elidedText(caption, Qt::ElideRight, textRect.width());
    painter->drawText(textRect, Qt::AlignLeft | Qt::AlignVCenter, shown);
    painter->restore();
}

QSize TUserListDelegate::sizeHint(const QStyleOptionViewItem &option,
                                  const QModelIndex &index) const
{
    QStyleOptionViewItem opt = option;
    initStyleOption(&opt, index);
    int width = gap * 3 + TIcons::userIconWidth + opt.fontMetrics.horizontalAdvance(opt.text);
    if (index.data(TUserRow::stateRole).isValid())
        width += TIcons::stateImageWidth;
    const int height = qMax(TIcons::userIconHeight, opt.fontMetrics.height()) + 2;
    return QSize(width, height);
}

void keepSelectionVisible(QAbstractItemView *view)
{
    QPalette p = view->palette();
    for (QPalette::ColorRole role : {QPalette::Highlight, QPalette::HighlightedText})
        p.setColor(QPalette::Inactive, role, p.color(QPalette::Active, role));
    view->setPalette(p);
}

void fillScrollBarBackgrounds(QAbstractScrollArea *area)
{
    area->verticalScrollBar()->setAutoFillBackground(true);
    area->horizontalScrollBar()->setAutoFillBackground(true);
}
