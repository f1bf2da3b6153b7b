#include "widgets/findbar.h"

#include <QAbstractButton>
#include <QCheckBox>
#include <QHBoxLayout>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QStyle>
#include <QToolButton>

namespace {
QToolButton *button(const QString &text, const QString &tip, QWidget *parent)
{
    auto *b = new QToolButton(parent);
    b->setText(text);
    b->setToolTip(tip);
    b->setAutoRaise(true);
    // The tip names the button for a screen reader too (its text is a symbol).
    b->setAccessibleName(tip);
    // Tab reaches it; a click leaves the focus in the field.
    b->setFocusPolicy(Qt::TabFocus);
    return b;
}
} // namespace

TFindBar::TFindBar(QWidget *parent) : QFrame(parent)
{
    setObjectName(QStringLiteral("findBar"));
    setFrameShape(QFrame::StyledPanel);
    setAutoFillBackground(true);
    m_field = new QLineEdit(this);
    m_field->setObjectName(QStringLiteral("findText"));
    m_field->setPlaceholderText(QStringLiteral("Find in chat"));
    m_field->setAccessibleName(QStringLiteral("Find in chat"));
    m_field->setClearButtonEnabled(true);
    m_field->setMinimumWidth(160);
    m_field->installEventFilter(this);
    m_matchCase = new QCheckBox(QStringLiteral("Match case"), this);
    m_matchCase->setObjectName(QStringLiteral("findMatchCase"));
    m_matchCase->setFocusPolicy(Qt::TabFocus);
    m_count = new QLabel(this);
    m_count->setObjectName(QStringLiteral("findCount"));
    m_count->setAccessibleName(QStringLiteral("Matches"));
    m_count->setMinimumWidth(
        m_count->fontMetrics().horizontalAdvance(QStringLiteral("0000 of 0000")));
    m_previous =
        button(QStringLiteral("\u25B2"), QStringLiteral("Previous match (Shift+Enter)"), this);
    m_next = button(QStringLiteral("\u25BC"), QStringLiteral("Next match (Enter)"), this);
    m_close = button(QStringLiteral("\u2715"), QStringLiteral("Close (Escape)"), this);
    m_previous->setObjectName(QStringLiteral("findPrevious"));
    m_next->setObjectName(QStringLiteral("findNext"));
    m_close->setObjectName(QStringLiteral("findClose"));

    auto *row = new QHBoxLayout(this);
    row->setContentsMargins(4, 2, 2, 2);
    row->setSpacing(4);
    row->addWidget(m_field, 1);
    row->addWidget(m_count);
    row->addWidget(m_previous);
    row->addWidget(m_next);
    row->addWidget(m_matchCase);
    row->addWidget(m_close);

    connect(m_field, &QLineEdit::textChanged, this, &TFindBar::searchEdited);
    connect(m_matchCase, &QCheckBox::toggled, this, &TFindBar::searchEdited);
    connect(m_previous, &QToolButton::clicked, this, &TFindBar::previousRequested);
    connect(m_next, &QToolButton::clicked, this, &TFindBar::nextRequested);
    connect(m_close, &QToolButton::clicked, this, &TFindBar::closeRequested);
    hide();
}

QString TFindBar::text() const { return m_field->text(); }

Qt::CaseSensitivity TFindBar::caseSensitivity() const
{
    return m_matchCase->isChecked() ? Qt::CaseSensitive : Qt::CaseInsensitive;
}

void TFindBar::showCount(int current, int total)
{
    if (m_field->text().isEmpty())
        m_count->clear();
    else if (total == 0)
        m_count->setText(QStringLiteral("No matches"));
    else
        m_count->setText(QStringLiteral("%1 of %2").arg(current + 1).arg(total));
}

void TFindBar::place()
{
    QWidget *p = parentWidget();
    if (!p)
        return;
    // Across the top of the pane, in the strip its text leaves free, clear
    // of the scroll bar.
    const auto *frame = qobject_cast<const QFrame *>(p);
    const int edge = frame ? frame->frameWidth() : 0;
    const int scrollBar = style()->pixelMetric(QStyle::PM_ScrollBarExtent);
    setGeometry(edge, edge, std::max(0, p->width() - 2 * edge - scrollBar), sizeHint().height());
    raise();
}

void TFindBar::open()
{
    place();
    show();
    m_field->setFocus(Qt::ShortcutFocusReason);
    m_field->selectAll();
}

bool TFindBar::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == m_field && event->type() == QEvent::KeyPress) {
        const auto *key = static_cast<QKeyEvent *>(event);
        switch (key->key()) {
        case Qt::Key_Return:
        case Qt::Key_Enter:
            // Taken here, so that it never reaches the window's Send.
            if (key->modifiers() & Qt::ShiftModifier)
                Q_EMIT previousRequested();
            else
                Q_EMIT nextRequested();
            return true;
        case Qt::Key_Escape:
            Q_EMIT closeRequested();
            return true;
        default:
            break;
        }
    }
    return QFrame::eventFilter(watched, event);
}

void TFindBar::keyPressEvent(QKeyEvent *event)
{
    if (event->key() == Qt::Key_Escape) {
        Q_EMIT closeRequested();
    } else if (event->key() == Qt::Key_Return || event->key() == Qt::Key_Enter) {
        // Never on to the pane or the window's Send.
        if (auto *b = qobject_cast<QAbstractButton *>(focusWidget()); b && isAncestorOf(b))
            b->click();
        else
            Q_EMIT nextRequested();
    } else {
        QFrame::keyPressEvent(event);
        return;
    }
    event->accept();
}
