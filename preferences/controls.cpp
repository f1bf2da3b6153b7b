#include "preferences/controls.h"

#include <QEvent>
#include <QPainter>
#include <QPixmap>
#include <QStyle>
#include <QStyleOptionButton>

namespace {
struct NamedColour {
    const char *name;
    int r, g, b;
};
const NamedColour colours[] = {
    {"Black", 0, 0, 0},
    {"Maroon", 128, 0, 0},
    {"Green", 0, 128, 0},
    {"Olive", 128, 128, 0},
    {"Navy", 0, 0, 128},
    {"Purple", 128, 0, 128},
    {"Teal", 0, 128, 128},
    {"Gray", 128, 128, 128},
    {"Silver", 192, 192, 192},
    {"Red", 255, 0, 0},
    {"Lime", 0, 255, 0},
    {"Yellow", 255, 255, 0},
    {"Blue", 0, 0, 255},
    {"Fuchsia", 255, 0, 255},
    {"Aqua", 0, 255, 255},
    {"White", 255, 255, 255},
    {"Money Green", 192, 220, 192},
    {"Sky Blue", 166, 202, 240},
    {"Cream", 255, 251, 240},
    {"Med Gray", 160, 160, 164},
};
constexpr int colourTotal = int(sizeof colours / sizeof colours[0]);

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
    for (int i = 0; i < colourTotal; ++i)
        addItem(swatch(colourValue(i)), colourName(i));
    setCurrentIndex(0);
    connect(this, &QComboBox::activated, this, [this](int) { Q_EMIT colourPicked(selected()); });
}

QString TColourBox::colourName(int index)
{
    return index >= 0 && index < colourTotal ? QString::fromLatin1(colours[index].name) : QString();
}

QColor TColourBox::colourValue(int index)
{
    if (index < 0 || index >= colourTotal)
        return QColor();
    return QColor(colours[index].r, colours[index].g, colours[index].b);
}

QColor TColourBox::selected() const { return colourValue(currentIndex()); }

QString TColourBox::selectedName() const { return colourName(currentIndex()); }

bool TColourBox::selectName(const QString &exactName)
{
    for (int i = 0; i < colourTotal; ++i) {
        if (exactName == QLatin1String(colours[i].name)) {
            setCurrentIndex(i);
            return true;
        }
    }
    return false;
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
    }
    m_inGap->setParent(this);
    // Tall enough for the control in the gap, which may give up a little of
    // its frame so that the row is hardly taller than a plain check box.
    setMinimumHeight(qMax(QCheckBox::sizeHint().height(), m_inGap->sizeHint().height() - 3));
    placeGapWidget();
}

void TGapCheckBox::placeGapWidget()
{
    QStyleOptionButton opt;
    initStyleOption(&opt);
    const QRect contents = style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, this);
    const QFontMetrics fm(font());
    // One blank of air either side; where the face's blanks are narrow the
    // control eats into that air, but never covers the words.
    const int wordsEnd = contents.left() + fm.horizontalAdvance(m_prefix.trimmed());
    const int textStart =
        contents.left() + fm.horizontalAdvance(m_prefix + m_gap + QLatin1Char(' '));
    int x = contents.left() + fm.horizontalAdvance(m_prefix);
    int w = qMax(fm.horizontalAdvance(m_gap), m_inGap->minimumSizeHint().width());
    if (x + w > textStart - 1) {
        w = qMin(w, textStart - 1 - wordsEnd - 2);
        x = qMax(wordsEnd + 1, textStart - 1 - w);
    }
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
        placeGapWidget();
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
