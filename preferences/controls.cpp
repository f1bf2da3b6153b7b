#include "preferences/controls.h"

#include "core/settingsdefs.h"

#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>
#include <QStylePainter>

namespace {
QIcon swatch(const QColor &c)
{
    QPixmap pm(16, 12);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setPen(Qt::black);
    p.setBrush(c);
    p.drawRect(0, 0, 15, 11);
    return QIcon(pm);
}
} // namespace

TColourBox::TColourBox(QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    setIconSize(QSize(16, 12));
    // The swatches are drawn once and shared by every colour box (kept to
    // the end of the process, past the application object).
    static const QVector<QIcon> *const swatches = [] {
        auto *icons = new QVector<QIcon>;
        for (int i = 0; i < TColours::count(); ++i)
            *icons << swatch(colourValue(i));
        return icons;
    }();
    for (int i = 0; i < TColours::count(); ++i)
        addItem(swatches->at(i), colourName(i));
    setCurrentIndex(0);
    connect(this, &QComboBox::activated, this, [this](int) { Q_EMIT colourPicked(selected()); });
}

QString TColourBox::colourName(int index) { return TColours::name(index); }

QColor TColourBox::colourValue(int index)
{
    if (index < 0 || index >= TColours::count())
        return QColor();
    return QColor::fromRgb(TColours::rgb(index));
}

QColor TColourBox::selected() const { return colourValue(currentIndex()); }

QString TColourBox::selectedName() const { return colourName(currentIndex()); }

bool TColourBox::selectName(const QString &exactName)
{
    const int index = TColours::indexOf(exactName);
    if (index < 0)
        return false;
    setCurrentIndex(index);
    return true;
}

TSpinBox::TSpinBox(int minimum, int maximum, QWidget *parent) : QSpinBox(parent)
{
    setRange(minimum, maximum);
}

void TByteEdit::setBytes(const QString &bytes)
{
    m_bytes = bytes;
    m_shown = TText::decode(bytes);
    setText(m_shown);
}

bool TByteEdit::bytes(TText::Encoding encoding, QString &out, QString *unencodable) const
{
    const QString shown = text();
    if (shown == m_shown) {
        out = m_bytes;
        return true;
    }
    return TText::encode(shown, encoding, out, unencodable);
}

TPickList::TPickList(const QStringList &entries, int start, QWidget *parent) : QComboBox(parent)
{
    setEditable(false);
    addItems(entries);
    selectIndex(start);
}

void TPickList::selectIndex(int index)
{
    setCurrentIndex(index >= 0 && index < count() ? index : -1);
}

TGapCheckBox::TGapCheckBox(const QString &caption, QWidget *inGap, QWidget *parent)
    : QCheckBox(caption, parent), m_inGap(inGap)
{
    const int start = caption.indexOf(QLatin1String("  "));
    if (start >= 0) {
        int end = start;
        while (end < caption.size() && caption[end] == QLatin1Char(' '))
            ++end;
        m_prefix = caption.left(start + 1); // the first blank belongs to the words
        m_gap = caption.mid(start + 1, end - start - 2);
        m_rest = caption.mid(end);
    }
    m_inGap->setParent(this);
    fitGap();
}

void TGapCheckBox::fitGap()
{
    // The control at its natural size, with the caption's last blank of air
    // before the words that follow.
    const QFontMetrics fm(font());
    const int natural = qMax(m_inGap->sizeHint().width(), m_inGap->minimumSizeHint().width());
    m_shownGap = m_gap;
    if (!m_prefix.isEmpty() && fm.horizontalAdvance(QLatin1Char(' ')) > 0)
        while (fm.horizontalAdvance(m_shownGap) < natural)
            m_shownGap += QLatin1Char(' ');
    setMinimumHeight(qMax(QCheckBox::sizeHint().height(), m_inGap->sizeHint().height()));
    updateGeometry();
    placeGapWidget();
}

QStyleOptionButton TGapCheckBox::shownOption() const
{
    QStyleOptionButton opt;
    initStyleOption(&opt);
    opt.text = shownCaption();
    return opt;
}

QSize TGapCheckBox::sizeHint() const
{
    const QFontMetrics fm(font());
    const int wider = fm.horizontalAdvance(m_shownGap) - fm.horizontalAdvance(m_gap);
    return QCheckBox::sizeHint() + QSize(wider, 0);
}

QSize TGapCheckBox::minimumSizeHint() const { return sizeHint(); }

void TGapCheckBox::paintEvent(QPaintEvent *)
{
    QStylePainter p(this);
    p.drawControl(QStyle::CE_CheckBox, shownOption());
}

bool TGapCheckBox::hitButton(const QPoint &pos) const
{
    const QStyleOptionButton opt = shownOption();
    return style()->subElementRect(QStyle::SE_CheckBoxClickRect, &opt, this).contains(pos);
}

void TGapCheckBox::placeGapWidget()
{
    const QStyleOptionButton opt = shownOption();
    const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, this);
    const QFontMetrics fm(font());
    const int x = contents.left() + fm.horizontalAdvance(m_prefix);
    const int w = fm.horizontalAdvance(m_shownGap);
    const int h = qMin(height(), m_inGap->sizeHint().height());
    m_inGap->setGeometry(x, (height() - h) / 2, w, h);
}

void TGapCheckBox::resizeEvent(QResizeEvent *event)
{
    QCheckBox::resizeEvent(event);
    placeGapWidget();
}

void TGapCheckBox::changeEvent(QEvent *event)
{
    QCheckBox::changeEvent(event);
    if (event->type() == QEvent::FontChange || event->type() == QEvent::StyleChange)
        fitGap();
}

void TGapCheckBox::showEvent(QShowEvent *event)
{
    QCheckBox::showEvent(event);
    placeGapWidget();
}

QString singleLine(const QString &text, int *pos)
{
    if (!text.contains(QLatin1Char('\r')) && !text.contains(QLatin1Char('\n')))
        return text;
    QString out;
    out.reserve(text.size());
    int movedPos = pos ? *pos : 0;
    for (qsizetype i = 0; i < text.size(); ++i) {
        const QChar ch = text[i];
        if (ch == QLatin1Char('\r') && i + 1 < text.size() && text[i + 1] == QLatin1Char('\n')) {
            // Two characters become one: a cursor past them moves back by one.
            if (pos && i + 1 < *pos)
                --movedPos;
            ++i;
            out += QLatin1Char(' ');
        } else if (ch == QLatin1Char('\r') || ch == QLatin1Char('\n')) {
            out += QLatin1Char(' ');
        } else {
            out += ch;
        }
    }
    if (pos)
        *pos = movedPos;
    return out;
}

QValidator::State TSingleLineValidator::validate(QString &input, int &pos) const
{
    input = singleLine(input, &pos);
    return Acceptable;
}

void TSingleLineValidator::fixup(QString &input) const { input = singleLine(input); }
