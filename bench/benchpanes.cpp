#include "bench/benchpanes.h"

#include <QScrollBar>
#include <QTextBlock>
#include <QTextCursor>
#include <QTextDocument>

void TProbedView::appendLine(const QString &text, const QList<TColourRun> &runs)
{
    TTranscriptView::appendLine(text, runs);
    if (m_probe)
        m_probe->appended(text);
}

TTextWidgetPane::TTextWidgetPane(QAbstractScrollArea *widget, QTextDocument *doc,
                                 const TFloodProbe *probe)
    : m_widget(widget), m_doc(doc), m_probe(probe)
{
}

int TTextWidgetPane::insertLine(const QString &text, const QList<TColourRun> &runs)
{
    QTextCursor c(m_doc);
    c.movePosition(QTextCursor::End);
    c.beginEditBlock();
    if (!m_empty)
        c.insertBlock();
    m_empty = false;
    const int start = c.position();
    int pos = 0;
    QTextCharFormat f;
    for (const TColourRun &r : runs) {
        if (pos >= text.size())
            break;
        const int n = std::min<int>(r.length, int(text.size()) - pos);
        f.setForeground(r.colour.isValid() ? r.colour : m_default);
        c.insertText(text.mid(pos, n), f);
        pos += n;
    }
    if (pos < text.size()) {
        f.setForeground(m_default);
        c.insertText(text.mid(pos), f);
    }
    c.endEditBlock();
    if (m_probe)
        m_probe->appended(text);
    return start;
}

int TTextWidgetPane::lineCount() const { return m_empty ? 0 : m_doc->blockCount(); }

QString TTextWidgetPane::lineText(int line) const { return m_doc->findBlockByNumber(line).text(); }

QColor TTextWidgetPane::colourAt(int line, int column) const
{
    const QTextBlock b = m_doc->findBlockByNumber(line);
    if (!b.isValid() || column < 0 || column >= b.length() - 1)
        return QColor();
    for (auto it = b.begin(); !it.atEnd(); ++it) {
        const QTextFragment frag = it.fragment();
        const int from = frag.position() - b.position();
        if (column >= from && column < from + frag.length())
            return frag.charFormat().foreground().color();
    }
    return QColor();
}

QString TTextWidgetPane::plainText() const
{
    QString t = m_doc->toPlainText();
    t.replace(QLatin1Char('\n'), QStringLiteral("\r\n"));
    return t;
}

void TTextWidgetPane::setBackground(const QColor &c)
{
    m_background = c;
    QPalette p = m_widget->palette();
    p.setColor(QPalette::Base, c);
    m_widget->setPalette(p);
}

bool TTextWidgetPane::isScrolledToEnd() const
{
    const QScrollBar *sb = m_widget->verticalScrollBar();
    return sb->value() == sb->maximum();
}

TTextEditPane::TTextEditPane(QWidget *parent, const TFloodProbe *probe)
    : TTextWidgetPane(new QTextEdit(parent), nullptr, probe)
{
    m_edit = static_cast<QTextEdit *>(m_widget);
    m_doc = m_edit->document();
    m_doc->setUndoRedoEnabled(false);
    m_edit->setReadOnly(true);
}

void TTextEditPane::appendLine(const QString &text, const QList<TColourRun> &runs)
{
    const int start = insertLine(text, runs);
    // The caret at the start of the message, then into view, line by line.
    int msg = 0;
    for (int i = 0; i + 1 < runs.size(); ++i)
        msg += runs[i].length;
    QTextCursor c = m_edit->textCursor();
    c.setPosition(start + std::min<int>(msg, int(text.size())));
    m_edit->setTextCursor(c);
    m_edit->ensureCursorVisible();
}

void TTextEditPane::clear()
{
    m_edit->clear();
    m_empty = true;
}

QString TTextEditPane::selectedText() const
{
    return m_edit->textCursor().selectedText().replace(QChar::ParagraphSeparator,
                                                       QLatin1Char('\n'));
}

bool TTextEditPane::hasSelection() const { return m_edit->textCursor().hasSelection(); }

void TTextEditPane::clearSelection()
{
    QTextCursor c = m_edit->textCursor();
    c.clearSelection();
    m_edit->setTextCursor(c);
}

TPlainTextEditPane::TPlainTextEditPane(QWidget *parent, const TFloodProbe *probe)
    : TTextWidgetPane(new QPlainTextEdit(parent), nullptr, probe)
{
    m_edit = static_cast<QPlainTextEdit *>(m_widget);
    m_doc = m_edit->document();
    m_doc->setUndoRedoEnabled(false);
    m_edit->setReadOnly(true);
}

void TPlainTextEditPane::appendLine(const QString &text, const QList<TColourRun> &runs)
{
    insertLine(text, runs);
    if (m_scrollQueued)
        return;
    m_scrollQueued = true;
    QMetaObject::invokeMethod(
        m_edit,
        [this] {
            m_scrollQueued = false;
            m_edit->verticalScrollBar()->setValue(m_edit->verticalScrollBar()->maximum());
        },
        Qt::QueuedConnection);
}

void TPlainTextEditPane::clear()
{
    m_edit->clear();
    m_empty = true;
}

QString TPlainTextEditPane::selectedText() const
{
    return m_edit->textCursor().selectedText().replace(QChar::ParagraphSeparator,
                                                       QLatin1Char('\n'));
}

bool TPlainTextEditPane::hasSelection() const { return m_edit->textCursor().hasSelection(); }

void TPlainTextEditPane::clearSelection()
{
    QTextCursor c = m_edit->textCursor();
    c.clearSelection();
    m_edit->setTextCursor(c);
}
