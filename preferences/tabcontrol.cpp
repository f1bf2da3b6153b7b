#include "preferences/tabcontrol.h"

#include <QHoverEvent>
#include <QMouseEvent>
#include <QProxyStyle>
#include <QScrollArea>
#include <QStyleOptionTab>
#include <QStyleOptionTabWidgetFrame>
#include <QStylePainter>

#include <limits>

namespace {
// Half the style's padding around each caption: the eight tabs of a small
// dialog then fit in two rows.
class CompactTabStyle : public QProxyStyle {
public:
    int pixelMetric(PixelMetric metric, const QStyleOption *option,
                    const QWidget *widget) const override
    {
        const int value = QProxyStyle::pixelMetric(metric, option, widget);
        if (metric == PM_TabBarTabHSpace || metric == PM_TabBarTabVSpace)
            return value / 2;
        return value;
    }
};
} // namespace

TMultiRowTabBar::TMultiRowTabBar(QWidget *parent) : QTabBar(parent)
{
    auto *compact = new CompactTabStyle;
    compact->setParent(this);
    setStyle(compact);
    // The base class's own single-row layout is never shown: no scrolling,
    // no eliding, so it never hides or shortens a caption.
    setUsesScrollButtons(false);
    setElideMode(Qt::ElideNone);
    setExpanding(false);
    setDrawBase(false);
}

int TMultiRowTabBar::layoutWidth() const
{
    // The bar is as wide as the tab control that holds it.
    if (parentWidget() && parentWidget()->width() > 0)
        return parentWidget()->width();
    return width();
}

TMultiRowTabBar::Rows TMultiRowTabBar::rowsFor(int width) const
{
    Rows rows;
    const int n = count();
    rows.rowOf.resize(n);
    rows.rect.resize(n);
    if (n == 0)
        return rows;
    QVector<int> widths(n);
    int tabHeight = 0;
    for (int i = 0; i < n; ++i) {
        const QSize s = tabSizeHint(i);
        widths[i] = s.width();
        tabHeight = qMax(tabHeight, s.height());
    }

    // As few rows as the width allows (filling left to right gives that
    // count), then the tabs shared out so that the widest row is as narrow
    // as it can be: the rows look alike instead of one full and one sparse.
    int rowCount = 1;
    for (int i = 0, used = 0; i < n; ++i) {
        if (used > 0 && used + widths[i] > width) {
            ++rowCount;
            used = 0;
        }
        used += widths[i];
    }
    QVector<int> prefix(n + 1, 0);
    for (int i = 0; i < n; ++i)
        prefix[i + 1] = prefix[i] + widths[i];
    // widest[r][i]: the narrowest widest row for the first i tabs in r rows;
    // cut[r][i]: where the last of those rows begins.
    const int none = std::numeric_limits<int>::max();
    QVector<QVector<int>> widest(rowCount + 1, QVector<int>(n + 1, none));
    QVector<QVector<int>> cut(rowCount + 1, QVector<int>(n + 1, 0));
    widest[0][0] = 0;
    for (int r = 1; r <= rowCount; ++r)
        for (int i = r; i <= n; ++i)
            for (int start = r - 1; start < i; ++start) {
                if (widest[r - 1][start] == none)
                    continue;
                const int w = qMax(widest[r - 1][start], prefix[i] - prefix[start]);
                if (w < widest[r][i]) {
                    widest[r][i] = w;
                    cut[r][i] = start;
                }
            }
    QVector<QVector<int>> members(rowCount);
    for (int r = rowCount, end = n; r > 0; --r) {
        const int start = cut[r][end];
        for (int i = start; i < end; ++i)
            members[r - 1].append(i);
        end = start;
    }
    rows.count = int(members.size());
    rows.height = rows.count * tabHeight;

    int currentRow = 0;
    for (int r = 0; r < rows.count; ++r)
        if (members[r].contains(currentIndex()))
            currentRow = r;

    for (int r = 0; r < rows.count; ++r) {
        // Rows turn round so that the current one sits on the page.
        const int place = (r - currentRow - 1 + 2 * rows.count) % rows.count;
        const int y = place * tabHeight;
        int sum = 0;
        for (int i : members[r])
            sum += widths[i];
        // Several rows are stretched to the full width, as one block.
        const int spare = rows.count > 1 ? qMax(0, width - sum) : 0;
        const int k = int(members[r].size());
        int x = 0;
        for (int j = 0; j < k; ++j) {
            const int i = members[r][j];
            const int w = widths[i] + spare / k + (j == k - 1 ? spare % k : 0);
            rows.rowOf[i] = r;
            rows.rect[i] = QRect(x, y, w, tabHeight);
            x += w;
        }
    }
    return rows;
}

QSize TMultiRowTabBar::sizeHint() const
{
    const int w = layoutWidth();
    return QSize(w, rowsFor(w).height);
}

QSize TMultiRowTabBar::minimumSizeHint() const { return sizeHint(); }

int TMultiRowTabBar::heightForWidth(int width) const { return rowsFor(width).height; }

QRect TMultiRowTabBar::rowTabRect(int index) const
{
    const Rows rows = rowsFor(width());
    return index >= 0 && index < rows.rect.size() ? rows.rect[index] : QRect();
}

int TMultiRowTabBar::rowTabAt(const QPoint &pos) const
{
    const Rows rows = rowsFor(width());
    for (int i = 0; i < rows.rect.size(); ++i)
        if (rows.rect[i].contains(pos))
            return i;
    return -1;
}

int TMultiRowTabBar::rowCount() const { return rowsFor(width()).count; }

void TMultiRowTabBar::paintEvent(QPaintEvent *)
{
    const Rows rows = rowsFor(width());
    QStylePainter p(this);
    auto draw = [&](int i) {
        QStyleOptionTab opt;
        initStyleOption(&opt, i);
        opt.rect = rows.rect[i];
        opt.row = 0;
        const bool first = i == 0 || rows.rowOf[i - 1] != rows.rowOf[i];
        const bool last = i == count() - 1 || rows.rowOf[i + 1] != rows.rowOf[i];
        opt.position = first && last ? QStyleOptionTab::OnlyOneTab
                       : first       ? QStyleOptionTab::Beginning
                       : last        ? QStyleOptionTab::End
                                     : QStyleOptionTab::Middle;
        const int cur = currentIndex();
        opt.selectedPosition = QStyleOptionTab::NotAdjacent;
        if (!last && i + 1 == cur)
            opt.selectedPosition = QStyleOptionTab::NextIsSelected;
        else if (!first && i - 1 == cur)
            opt.selectedPosition = QStyleOptionTab::PreviousIsSelected;
        opt.state &= ~QStyle::State_MouseOver;
        if (i == m_hover && isTabEnabled(i))
            opt.state |= QStyle::State_MouseOver;
        p.drawControl(QStyle::CE_TabBarTab, opt);
    };
    // The current tab last, so that it overlaps its neighbours.
    for (int i = 0; i < count(); ++i)
        if (i != currentIndex())
            draw(i);
    if (currentIndex() >= 0)
        draw(currentIndex());
}

void TMultiRowTabBar::mousePressEvent(QMouseEvent *event)
{
    // The base class would hit-test its own hidden single-row layout.
    if (event->button() == Qt::LeftButton) {
        const int i = rowTabAt(event->position().toPoint());
        if (i >= 0 && isTabEnabled(i))
            setCurrentIndex(i);
    }
    event->accept();
}

void TMultiRowTabBar::mouseMoveEvent(QMouseEvent *event) { event->accept(); }

void TMultiRowTabBar::mouseReleaseEvent(QMouseEvent *event) { event->accept(); }

bool TMultiRowTabBar::event(QEvent *event)
{
    switch (event->type()) {
    case QEvent::HoverEnter:
    case QEvent::HoverMove: {
        const int i = rowTabAt(static_cast<QHoverEvent *>(event)->position().toPoint());
        if (i != m_hover) {
            m_hover = i;
            update();
        }
        return true;
    }
    case QEvent::HoverLeave:
        m_hover = -1;
        update();
        return true;
    default:
        return QTabBar::event(event);
    }
}

void TMultiRowTabBar::tabLayoutChange()
{
    QTabBar::tabLayoutChange();
    updateGeometry();
    update();
}

TTabControl::TTabControl(QWidget *parent) : QTabWidget(parent), m_bar(new TMultiRowTabBar)
{
    setTabBar(m_bar);
    // A new current tab may bring another row to the page.
    connect(m_bar, &QTabBar::currentChanged, m_bar, qOverload<>(&QWidget::update));
}

QRect TTabControl::pageRect(const QSize &size) const
{
    // As the tab control lays itself out, at a size it may not have yet.
    QStyleOptionTabWidgetFrame option;
    initStyleOption(&option);
    option.rect = QRect(QPoint(0, 0), size);
    option.tabBarSize = QSize(size.width(), m_bar->heightForWidth(size.width()));
    option.tabBarRect = QRect(QPoint(0, 0), option.tabBarSize);
    return style()->subElementRect(QStyle::SE_TabWidgetTabContents, &option, this);
}

void TTabControl::scrollPage(int index)
{
    QWidget *page = widget(index);
    const QString caption = tabText(index);
    const QIcon icon = tabIcon(index);
    const int current = currentIndex();
    removeTab(index);
    auto *area = new QScrollArea;
    area->setFrameShape(QFrame::NoFrame);
    // Tab goes from control to control, the area scrolling to each; the
    // area itself is no stop on the way.
    area->setFocusPolicy(Qt::NoFocus);
    area->setHorizontalScrollBarPolicy(Qt::ScrollBarAlwaysOff);
    area->setWidgetResizable(true);
    area->setWidget(page);
    insertTab(index, area, icon, caption);
    setCurrentIndex(current);
}
