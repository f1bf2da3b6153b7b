#include "widgets/transcriptaccessible.h"

#include "rules/transcripttext.h"
#include "widgets/TTranscriptView.h"

#include <QAccessibleWidget>
#include <QScrollBar>

#include <algorithm>
#include <climits>

namespace {

// Offsets cross the accessibility interface as int; a transcript longer
// than that is read up to there.
int toInt(qint64 v) { return int(std::clamp<qint64>(v, INT_MIN, INT_MAX)); }

class TTranscriptAccessible final : public QAccessibleWidget, public QAccessibleTextInterface {
public:
    explicit TTranscriptAccessible(TTranscriptView *view)
        : QAccessibleWidget(view, QAccessible::EditableText)
    {
    }

    TTranscriptView *view() const { return static_cast<TTranscriptView *>(widget()); }
    const TTranscriptStore &store() const { return view()->store(); }

    void *interface_cast(QAccessible::InterfaceType t) override
    {
        if (t == QAccessible::TextInterface)
            return static_cast<QAccessibleTextInterface *>(this);
        return QAccessibleWidget::interface_cast(t);
    }

    QAccessible::State state() const override
    {
        QAccessible::State s = QAccessibleWidget::state();
        s.readOnly = true;
        s.multiLine = true;
        s.selectableText = true;
        s.focusable = true;
        return s;
    }

    // The value is not the whole text: a reader asks for it piece by piece.
    QString text(QAccessible::Text t) const override
    {
        if (t == QAccessible::Value)
            return QString();
        return QAccessibleWidget::text(t);
    }

    // ---- QAccessibleTextInterface ----
    void selection(int selectionIndex, int *startOffset, int *endOffset) const override
    {
        qint64 from = 0, to = 0;
        if (selectionIndex != 0 || !view()->selectionOffsets(from, to))
            from = to = 0;
        *startOffset = toInt(from);
        *endOffset = toInt(to);
    }
    int selectionCount() const override { return view()->hasSelection() ? 1 : 0; }
    void addSelection(int startOffset, int endOffset) override
    {
        view()->setSelectionOffsets(startOffset, endOffset);
    }
    void removeSelection(int selectionIndex) override
    {
        if (selectionIndex == 0)
            view()->clearSelection();
    }
    void setSelection(int selectionIndex, int startOffset, int endOffset) override
    {
        if (selectionIndex == 0)
            view()->setSelectionOffsets(startOffset, endOffset);
    }
    int cursorPosition() const override { return toInt(view()->caretOffset()); }
    void setCursorPosition(int position) override { view()->setCaretOffset(position); }
    QString text(int startOffset, int endOffset) const override
    {
        return TTranscriptText::text(store(), startOffset, endOffset);
    }
    QString textBeforeOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                             int *startOffset, int *endOffset) const override
    {
        qint64 from = 0, to = 0;
        const QString t = TTranscriptText::textBefore(store(), offset, boundaryType, &from, &to);
        *startOffset = toInt(from);
        *endOffset = toInt(to);
        return t;
    }
    QString textAfterOffset(int offset, QAccessible::TextBoundaryType boundaryType,
                            int *startOffset, int *endOffset) const override
    {
        qint64 from = 0, to = 0;
        const QString t = TTranscriptText::textAfter(store(), offset, boundaryType, &from, &to);
        *startOffset = toInt(from);
        *endOffset = toInt(to);
        return t;
    }
    QString textAtOffset(int offset, QAccessible::TextBoundaryType boundaryType, int *startOffset,
                         int *endOffset) const override
    {
        qint64 from = 0, to = 0;
        const QString t = TTranscriptText::textAt(store(), offset, boundaryType, &from, &to);
        *startOffset = toInt(from);
        *endOffset = toInt(to);
        return t;
    }
    int characterCount() const override { return toInt(store().characterCount()); }
    QRect characterRect(int offset) const override
    {
        const QRect r = view()->offsetRect(offset);
        if (r.isEmpty())
            return QRect();
        return QRect(view()->viewport()->mapToGlobal(r.topLeft()), r.size());
    }
    int offsetAtPoint(const QPoint &point) const override
    {
        return toInt(view()->offsetAt(view()->viewport()->mapFromGlobal(point)));
    }
    void scrollToSubstring(int startIndex, int) override
    {
        view()->showLine(TTranscriptText::posOf(store(), startIndex).line);
    }
    // A line that mentions the user says so.
    QString attributes(int offset, int *startOffset, int *endOffset) const override
    {
        const qint64 count = store().characterCount();
        if (offset < 0 || offset >= count) {
            *startOffset = *endOffset = offset;
            return QString();
        }
        const int line = TTranscriptText::posOf(store(), offset).line;
        *startOffset = toInt(store().offsetOfLine(line));
        *endOffset = toInt(std::min(count, store().offsetOfLine(line + 1)));
        return store().isMarked(line) ? QStringLiteral("mention:true;") : QString();
    }
};

QAccessibleInterface *transcriptFactory(const QString &className, QObject *object)
{
    if (className == QLatin1String("TTranscriptView") && object && object->isWidgetType())
        return new TTranscriptAccessible(static_cast<TTranscriptView *>(object));
    return nullptr;
}

} // namespace

void installTranscriptAccessibility()
{
    static bool installed = false;
    if (installed)
        return;
    installed = true;
    QAccessible::installFactory(transcriptFactory);
}
