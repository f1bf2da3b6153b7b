#include "support/layoutfit.h"

#include <QAbstractItemView>
#include <QAbstractScrollArea>
#include <QAbstractSpinBox>
#include <QApplication>
#include <QComboBox>
#include <QFontInfo>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QPushButton>
#include <QStyle>
#include <QTabBar>

namespace layoutfit {

QList<Face> desktopFaces()
{
    QList<Face> faces;
    for (const char *family : {"DejaVu Sans", "Liberation Sans", "Noto Sans", "Cantarell"})
        for (int points : {9, 10, 11})
            faces.append({QString::fromLatin1(family), points});
    return faces;
}

QString useApplicationFont(const Face &face)
{
    // The offscreen platform asks fontconfig too (Debian's Qt is built with
    // it), so the faces in /usr/share/fonts are found by name there as on a
    // desktop; a face that is missing is matched with another one, which
    // QFontInfo tells.
    QFont font(face.family, face.points);
    QApplication::setFont(font);
    const QFontInfo used(QApplication::font());
    if (used.family() != face.family)
        return QStringLiteral("%1 is not installed: Qt uses %2 instead (scripts/deps.sh "
                              "installs the faces the layout tests need)")
            .arg(face.family, used.family());
    if (used.pointSize() != face.points)
        return QStringLiteral("%1 is used at %2pt, not %3pt")
            .arg(face.family)
            .arg(used.pointSize())
            .arg(face.points);
    return QString();
}

namespace {

bool isControl(const QWidget *w)
{
    return qobject_cast<const QAbstractButton *>(w) || qobject_cast<const QLabel *>(w) ||
           qobject_cast<const QLineEdit *>(w) || qobject_cast<const QAbstractSpinBox *>(w) ||
           qobject_cast<const QComboBox *>(w) || qobject_cast<const QGroupBox *>(w);
}

// A piece of a control that the control itself sizes and places.
bool isPart(const QWidget *w, const QWidget *root)
{
    for (const QWidget *p = w->parentWidget(); p && p != root; p = p->parentWidget())
        if (qobject_cast<const QComboBox *>(p) || qobject_cast<const QAbstractSpinBox *>(p) ||
            qobject_cast<const QLineEdit *>(p) || qobject_cast<const QAbstractItemView *>(p) ||
            qobject_cast<const QTabBar *>(p))
            return true;
    return false;
}

// The least size a layout gives w, as Qt's layouts work it out: the
// minimum hint where the policy lets w shrink, else the size hint; a
// minimum set on w itself stands instead.
QSize leastSize(const QWidget *w)
{
    const QSizePolicy policy = w->sizePolicy();
    const QSize hint = w->sizeHint();
    const QSize minHint = w->minimumSizeHint();
    QSize least(0, 0);
    if (policy.horizontalPolicy() != QSizePolicy::Ignored)
        least.setWidth(policy.horizontalPolicy() & QSizePolicy::ShrinkFlag
                           ? minHint.width()
                           : qMax(hint.width(), minHint.width()));
    if (policy.verticalPolicy() != QSizePolicy::Ignored)
        least.setHeight(policy.verticalPolicy() & QSizePolicy::ShrinkFlag
                            ? minHint.height()
                            : qMax(hint.height(), minHint.height()));
    if (w->minimumWidth() > 0)
        least.setWidth(w->minimumWidth());
    if (w->minimumHeight() > 0)
        least.setHeight(w->minimumHeight());
    return least;
}

QString describe(const QWidget *w)
{
    QString text;
    if (auto *b = qobject_cast<const QAbstractButton *>(w))
        text = b->text();
    else if (auto *l = qobject_cast<const QLabel *>(w))
        text = l->text();
    else if (auto *g = qobject_cast<const QGroupBox *>(w))
        text = g->title();
    QString name = QString::fromLatin1(w->metaObject()->className());
    if (!w->objectName().isEmpty())
        name += QLatin1Char(' ') + w->objectName();
    if (!text.isEmpty())
        name += QStringLiteral(" \"%1\"").arg(text);
    return name;
}

QString sizeText(const QSize &s) { return QStringLiteral("%1x%2").arg(s.width()).arg(s.height()); }

// The caption as drawn: the & of a shortcut is not.
QString shownText(const QString &text)
{
    QString shown = text;
    shown.replace(QLatin1String("&&"), QString(QChar(0x1)));
    shown.remove(QLatin1Char('&'));
    shown.replace(QChar(0x1), QLatin1Char('&'));
    return shown;
}

QString labelClipped(const QLabel *l)
{
    if (l->text().isEmpty() || l->wordWrap() || Qt::mightBeRichText(l->text()) ||
        l->textFormat() == Qt::RichText)
        return QString();
    QRect room = l->contentsRect();
    const int margin = l->margin();
    room.adjust(margin, margin, -margin, -margin);
    if (l->indent() > 0)
        room.setWidth(room.width() - l->indent());
    const QFontMetrics fm(l->font());
    const QString text = l->buddy() ? shownText(l->text()) : l->text();
    int widest = 0;
    const QStringList lines = text.split(QLatin1Char('\n'));
    for (const QString &line : lines)
        widest = qMax(widest, fm.horizontalAdvance(line));
    const int tall = fm.height() * int(lines.size());
    if (widest > room.width() || tall > room.height())
        return QStringLiteral("text needs %1, has %2")
            .arg(sizeText(QSize(widest, tall)), sizeText(room.size()));
    return QString();
}

QString buttonClipped(const QPushButton *b)
{
    if (b->text().isEmpty())
        return QString();
    // What the common style puts round a push button's caption.
    const QStyle *s = b->style();
    const int frame = 2 * s->pixelMetric(QStyle::PM_DefaultFrameWidth, nullptr, b);
    int need = QFontMetrics(b->font()).horizontalAdvance(shownText(b->text())) + frame +
               s->pixelMetric(QStyle::PM_ButtonMargin, nullptr, b);
    if (!b->icon().isNull())
        need += b->iconSize().width() + 4;
    if (b->width() < need)
        return QStringLiteral("caption needs %1 wide, has %2").arg(need).arg(b->width());
    return QString();
}

// Every ancestor up to root holds its child whole; the inside of a scroll
// area may be larger than what shows, the way it scrolls.
QString outside(const QWidget *w, const QWidget *root)
{
    for (const QWidget *c = w; c != root && c->parentWidget(); c = c->parentWidget()) {
        const QWidget *p = c->parentWidget();
        if (auto *area = qobject_cast<const QAbstractScrollArea *>(p->parentWidget()))
            if (area->viewport() == p) {
                // Not where it cannot scroll.
                if ((area->horizontalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
                     c->width() > p->width()) ||
                    (area->verticalScrollBarPolicy() == Qt::ScrollBarAlwaysOff &&
                     c->height() > p->height()))
                    return QStringLiteral("%1 (%2) is larger than %3 (%4), which does not "
                                          "scroll that way")
                        .arg(describe(c), sizeText(c->size()), describe(area), sizeText(p->size()));
                continue;
            }
        if (!p->rect().contains(c->geometry()))
            return QStringLiteral("%1 at %2,%3 %4 reaches out of %5 (%6)")
                .arg(describe(c))
                .arg(c->x())
                .arg(c->y())
                .arg(sizeText(c->size()), describe(p), sizeText(p->size()));
    }
    return QString();
}

} // namespace

QStringList squeezed(QWidget *root)
{
    QStringList problems;
    auto report = [&](const QWidget *w, const QString &what) {
        problems << describe(w) + QStringLiteral(": ") + what;
    };
    const QList<QWidget *> all = root->findChildren<QWidget *>();
    for (QWidget *w : all) {
        if (!w->isVisibleTo(root) || !isControl(w) || isPart(w, root))
            continue;
        const QSize least = leastSize(w);
        if (w->width() < least.width() || w->height() < least.height())
            report(w, QStringLiteral("needs %1, has %2").arg(sizeText(least), sizeText(w->size())));
        // A label that wraps needs the height of its lines at its width.
        if (qobject_cast<QLabel *>(w) && w->hasHeightForWidth() &&
            w->height() < w->heightForWidth(w->width()))
            report(w, QStringLiteral("needs %1 high at %2 wide, has %3")
                          .arg(w->heightForWidth(w->width()))
                          .arg(w->width())
                          .arg(w->height()));
        QString clipped;
        if (auto *l = qobject_cast<QLabel *>(w))
            clipped = labelClipped(l);
        else if (auto *b = qobject_cast<QPushButton *>(w))
            clipped = buttonClipped(b);
        if (!clipped.isEmpty())
            report(w, clipped);
        const QString out = outside(w, root);
        if (!out.isEmpty())
            problems << out;
    }
    problems.removeDuplicates();
    return problems;
}

} // namespace layoutfit
