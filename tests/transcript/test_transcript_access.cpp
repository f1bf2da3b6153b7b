// The transcript pane as a screen reader and a keyboard meet it: its
// accessible text read from the store, the events that tell of new lines,
// of the caret and of the selection, and the reading keys.
#include "rules/transcripttext.h"
#include "support/waits.h"
#include "widgets/TTranscriptView.h"
#include "widgets/accesslistening.h"

#include <QAccessible>
#include <QApplication>
#include <QClipboard>
#include <QElapsedTimer>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

namespace {

// What the pane told assistive technologies, copied out of the events.
struct Told {
    QAccessible::Event type;
    int position = -1;
    QString text;
};
QList<Told> told;

void record(QAccessibleEvent *e)
{
    Told t{e->type(), -1, QString()};
    if (e->type() == QAccessible::TextInserted) {
        auto *ins = static_cast<QAccessibleTextInsertEvent *>(e);
        t.position = ins->changePosition();
        t.text = ins->textInserted();
    } else if (e->type() == QAccessible::TextCaretMoved) {
        t.position = static_cast<QAccessibleTextCursorEvent *>(e)->cursorPosition();
    }
    told.append(t);
}

QList<Told> toldOf(QAccessible::Event type)
{
    QList<Told> out;
    for (const Told &t : std::as_const(told))
        if (t.type == type)
            out.append(t);
    return out;
}

} // namespace

class TestTranscriptAccess : public QObject {
    Q_OBJECT

    std::unique_ptr<TTranscriptView> view;

    QAccessibleInterface *iface() const
    {
        return QAccessible::queryAccessibleInterface(view.get());
    }
    QAccessibleTextInterface *textOf() const { return iface()->textInterface(); }
    // A shown, active window with the focus in the pane, so that keys
    // arrive as they do for a user.
    void showFocused()
    {
        view->resize(400, 120);
        view->show();
        QApplication::setActiveWindow(view.get());
        QVERIFY(waitActive(view.get()));
        view->setFocus();
        QTRY_VERIFY(view->hasFocus());
    }
    void lines(int from, int to)
    {
        for (int i = from; i < to; ++i)
            view->appendPlainLine(QStringLiteral("line %1").arg(i));
    }
    QString lineAtCaret() const
    {
        int a = 0, b = 0;
        return textOf()->textAtOffset(textOf()->cursorPosition(), QAccessible::LineBoundary, &a,
                                      &b);
    }

private Q_SLOTS:
    void initTestCase() { TAccessibility::listen(record); }
    void cleanupTestCase() { TAccessibility::listen(nullptr); }
    void init()
    {
        TAccessibility::listen(record);
        view = std::make_unique<TTranscriptView>();
        view->setAccessibleName(QStringLiteral("Chat"));
        told.clear();
    }
    void cleanup() { view.reset(); }

    // A read-only, multi-line text under the pane's name, read from the
    // store: by offset, by line, the caret on the newest line's start.
    void readsAsText()
    {
        QAccessibleInterface *a = iface();
        QVERIFY(a);
        QCOMPARE(a->role(), QAccessible::EditableText);
        QCOMPARE(a->text(QAccessible::Name), QStringLiteral("Chat"));
        QVERIFY(a->state().readOnly);
        QVERIFY(a->state().multiLine);
        QVERIFY(a->state().focusable);
        QAccessibleTextInterface *t = a->textInterface();
        QVERIFY(t);
        QCOMPARE(t->characterCount(), 0);
        QCOMPARE(t->text(0, 10), QString());

        view->appendLine(QStringLiteral("<Bob> hello there"), {{6, Qt::red}});
        view->appendPlainLine(QString());
        view->appendPlainLine(QStringLiteral("<Ann> hi"));
        QCOMPARE(t->characterCount(), 17 + 1 + 1 + 8);
        QCOMPARE(t->text(0, t->characterCount()), QStringLiteral("<Bob> hello there\n\n<Ann> hi"));
        int s = 0, e = 0;
        QCOMPARE(t->textAtOffset(20, QAccessible::LineBoundary, &s, &e),
                 QStringLiteral("<Ann> hi"));
        QCOMPARE(std::make_pair(s, e), std::make_pair(19, 27));
        QCOMPARE(t->textBeforeOffset(19, QAccessible::LineBoundary, &s, &e), QStringLiteral("\n"));
        QCOMPARE(t->textAtOffset(7, QAccessible::WordBoundary, &s, &e), QStringLiteral("hello "));
        QCOMPARE(t->cursorPosition(), 19); // the newest line's start
        QCOMPARE(t->selectionCount(), 0);
        // The value is not the whole transcript.
        QCOMPARE(a->text(QAccessible::Value), QString());

        // A selection made by a screen reader is the pane's selection.
        t->setSelection(0, 6, 11);
        QCOMPARE(view->selectedText(), QStringLiteral("hello"));
        QCOMPARE(t->selectionCount(), 1);
        t->selection(0, &s, &e);
        QCOMPARE(std::make_pair(s, e), std::make_pair(6, 11));
        t->removeSelection(0);
        QVERIFY(!view->hasSelection());
        t->setCursorPosition(3);
        QCOMPARE(t->cursorPosition(), 3);

        // A mention says so in the line's attributes.
        view->markLine(0);
        QCOMPARE(t->attributes(4, &s, &e), QStringLiteral("mention:true;"));
        QCOMPARE(std::make_pair(s, e), std::make_pair(0, 18));
        QCOMPARE(t->attributes(20, &s, &e), QString());
    }

    // Lines appended in one display frame are told as one insertion at
    // the old end of the text, starting with the line feed before them;
    // nothing is told while no assistive technology listens.
    void newLinesAreTold()
    {
        lines(0, 2);
        QTRY_COMPARE(toldOf(QAccessible::TextInserted).size(), 1);
        QCOMPARE(toldOf(QAccessible::TextInserted).first().position, 0);
        QCOMPARE(toldOf(QAccessible::TextInserted).first().text, QStringLiteral("line 0\nline 1"));
        told.clear();
        lines(2, 5);
        QTRY_COMPARE(toldOf(QAccessible::TextInserted).size(), 1);
        QCOMPARE(toldOf(QAccessible::TextInserted).first().position, 13);
        QCOMPARE(toldOf(QAccessible::TextInserted).first().text,
                 QStringLiteral("\nline 2\nline 3\nline 4"));
        QCOMPARE(textOf()->text(13, textOf()->characterCount()),
                 toldOf(QAccessible::TextInserted).first().text);

        // Unheard lines are not kept for later: the next insertion told
        // holds only what came after a listener did.
        TAccessibility::listen(nullptr);
        told.clear();
        lines(5, 8);
        QCoreApplication::processEvents();
        TAccessibility::listen(record);
        lines(8, 9);
        QTRY_COMPARE(toldOf(QAccessible::TextInserted).size(), 1);
        QCOMPARE(toldOf(QAccessible::TextInserted).first().text, QStringLiteral("\nline 8"));
        QCOMPARE(toldOf(QAccessible::TextInserted).first().position,
                 textOf()->characterCount() - 7);
    }

    // Arrows, pages, Home and End move a reading caret line by line and
    // say where it is; Shift selects; Ctrl+C copies the selection or the
    // caret's line; Escape hands back; Enter opens the caret line's link.
    void readingKeys()
    {
        view->setLinksShown(true);
        lines(0, 40);
        view->appendPlainLine(QStringLiteral("see https://example.org/x now"));
        showFocused();
        QCOMPARE(lineAtCaret(), QStringLiteral("see https://example.org/x now"));
        QTest::keyClick(view.get(), Qt::Key_Up);
        QCOMPARE(lineAtCaret(), QStringLiteral("line 39\n"));
        QTest::keyClick(view.get(), Qt::Key_Up);
        QCOMPARE(lineAtCaret(), QStringLiteral("line 38\n"));
        QVERIFY(!toldOf(QAccessible::TextCaretMoved).isEmpty());
        QCOMPARE(toldOf(QAccessible::TextCaretMoved).last().position, textOf()->cursorPosition());
        QTest::keyClick(view.get(), Qt::Key_Home);
        QCOMPARE(lineAtCaret(), QStringLiteral("line 0\n"));
        QCOMPARE(view->verticalScrollBar()->value(), 0);
        QTest::keyClick(view.get(), Qt::Key_PageDown);
        const int page = TTranscriptText::posOf(view->store(), view->caretOffset()).line;
        QVERIFY(page >= 2 && page < 20);
        QTest::keyClick(view.get(), Qt::Key_Right);
        QCOMPARE(view->caretOffset(), TTranscriptText::offsetOf(view->store(), page, 1));

        // Shift+Down selects the line, Ctrl+C copies it.
        QTest::keyClick(view.get(), Qt::Key_Left);
        QTest::keyClick(view.get(), Qt::Key_Down, Qt::ShiftModifier);
        QCOMPARE(view->selectedText(), QStringLiteral("line %1\n").arg(page));
        QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line %1\n").arg(page));
        // Up from the selection's end (the next line's start) without Shift.
        QTest::keyClick(view.get(), Qt::Key_Up);
        QVERIFY(!view->hasSelection());
        QTest::keyClick(view.get(), Qt::Key_Up);
        QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QStringLiteral("line %1").arg(page - 1));

        // While the reader reads, new lines leave the view and the caret.
        const int top = view->verticalScrollBar()->value();
        const qint64 caret = view->caretOffset();
        lines(41, 45);
        QTRY_VERIFY(view->newLinesBelow());
        QCOMPARE(view->verticalScrollBar()->value(), top);
        QCOMPARE(view->caretOffset(), caret);

        QTest::keyClick(view.get(), Qt::Key_End);
        QCOMPARE(lineAtCaret(), QStringLiteral("line 44"));
        QTest::keyClick(view.get(), Qt::Key_Up, Qt::NoModifier);
        QTest::keyClick(view.get(), Qt::Key_Up, Qt::NoModifier);
        QTest::keyClick(view.get(), Qt::Key_Up, Qt::NoModifier);
        QTest::keyClick(view.get(), Qt::Key_Up, Qt::NoModifier);
        QCOMPARE(lineAtCaret(), QStringLiteral("see https://example.org/x now\n"));
        QSignalSpy opened(view.get(), &TTranscriptView::linkActivated);
        QTest::keyClick(view.get(), Qt::Key_Return);
        QCOMPARE(opened.size(), 1);
        QCOMPARE(opened.first().first().toUrl(), QUrl(QStringLiteral("https://example.org/x")));
        // Enter on a line without a link is left to the window (its Send).
        QTest::keyClick(view.get(), Qt::Key_Up);
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(view.get(), &enter);
        QVERIFY(!enter.isAccepted());
        QCOMPARE(opened.size(), 1);

        QSignalSpy escaped(view.get(), &TTranscriptView::escapePressed);
        QTest::keyClick(view.get(), Qt::Key_Escape);
        QCOMPARE(escaped.size(), 1);
    }

    // When the focus leaves, the pane follows new lines to its end again.
    void followsAgainWithoutTheFocus()
    {
        lines(0, 40);
        showFocused();
        QTest::keyClick(view.get(), Qt::Key_Home);
        QCOMPARE(view->verticalScrollBar()->value(), 0);
        view->clearFocus();
        lines(40, 41);
        QTRY_COMPARE(view->verticalScrollBar()->value(), view->verticalScrollBar()->maximum());
        QVERIFY(view->verticalScrollBar()->maximum() > 0);
        QCOMPARE(lineAtCaret(), QStringLiteral("line 40"));
    }

    // Through the interface, a line in the middle of a million costs
    // microseconds, as does the count.
    void millionLinesThroughTheInterface()
    {
        TAccessibility::listen(nullptr); // appending a million lines tells nothing
        for (int i = 0; i < 1000000; ++i)
            view->appendPlainLine(QStringLiteral("<User%1> a line of chat").arg(i % 1000));
        TAccessibility::listen(record);
        QAccessibleTextInterface *t = textOf();
        QElapsedTimer timer;
        timer.start();
        int count = 0, s = 0, e = 0;
        QString line;
        for (int q = 0; q < 100; ++q) {
            count = t->characterCount();
            line = t->textAtOffset(count / 2 + q, QAccessible::LineBoundary, &s, &e);
        }
        const qint64 us = timer.nsecsElapsed() / 1000 / 100;
        QCOMPARE(qint64(count), view->store().characterCount());
        const int mid = TTranscriptText::posOf(view->store(), count / 2 + 99).line;
        QCOMPARE(line, view->lineText(mid) + QLatin1Char('\n'));
        QVERIFY2(us <= 5000, qPrintable(QString::number(us)));
    }
};

QTEST_MAIN(TestTranscriptAccess)
#include "test_transcript_access.moc"
