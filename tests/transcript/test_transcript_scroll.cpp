// A pane that follows the end moves the lines it has drawn as pixels and
// paints only the strip of the new ones. What is on the screen must be the
// picture a paint of the whole pane gives, whatever came with the lines.
#include "support/frames.h"
#include "support/waits.h"
#include "widgets/TTranscriptView.h"
#include "widgets/stillscrollbar.h"

#include <QLineEdit>
#include <QScreen>
#include <QScrollBar>
#include <QVBoxLayout>
#include <QtTest>

namespace {

// The paints a widget gets, by the rectangle each covers.
class PaintRects : public QObject {
public:
    QList<QRect> rects;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            rects << static_cast<QPaintEvent *>(e)->rect();
        return false;
    }
};

// What the screen shows of w: the window's pixels as last flushed.
QImage onScreen(QWidget *w)
{
    const QPoint at = w->mapTo(w->window(), QPoint(0, 0));
    return w->screen()
        ->grabWindow(w->window()->winId(), at.x(), at.y(), w->width(), w->height())
        .toImage()
        .convertToFormat(QImage::Format_RGB32);
}

// The picture of w painted whole, now.
QImage paintedWhole(QWidget *w)
{
    return w->grab().toImage().convertToFormat(QImage::Format_RGB32);
}

} // namespace

class TestTranscriptScroll : public QObject {
    Q_OBJECT

    // The pane in a window with an input line that has the focus, as in
    // the program.
    std::unique_ptr<QWidget> window;
    TTranscriptView *view = nullptr;
    QLineEdit *input = nullptr;
    PaintRects paints;

    QWidget *port() const { return view->viewport(); }
    QScrollBar *bar() const { return view->verticalScrollBar(); }

    // Appends (and marks, as a line that mentions the user is) and waits
    // until the line is laid out and its frame painted.
    void append(const QString &text, const QList<TColourRun> &runs = {}, bool mark = false)
    {
        view->appendLine(text, runs);
        const int line = view->lineCount() - 1;
        if (mark)
            view->markLine(line);
        QVERIFY(waitUntil([&] { return view->characterRect(line, 0).isValid(); }));
        QVERIFY(framesPass(2));
    }

    // The screen shows what a whole paint would.
    void samePicture(const char *when)
    {
        const QImage screen = onScreen(port());
        const QImage whole = paintedWhole(port());
        QVERIFY2(!screen.isNull(), when);
        QVERIFY2(screen == whole, when);
    }

private Q_SLOTS:
    void init()
    {
        window = std::make_unique<QWidget>();
        auto *layout = new QVBoxLayout(window.get());
        view = new TTranscriptView;
        view->setDefaultTextColour(QColor(10, 20, 30));
        input = new QLineEdit;
        layout->addWidget(view);
        layout->addWidget(input);
        window->resize(400, 330);
        window->show();
        QVERIFY(waitExposed(window.get()));
        window->activateWindow();
        input->setFocus();
        QVERIFY(waitUntil([&] { return input->hasFocus(); }));
        port()->installEventFilter(&paints);
    }
    void cleanup()
    {
        window.reset();
        paints.rects.clear();
    }

    void newLinesPaintOnlyTheirStrip()
    {
        // First the pane fills from the top: the new lines go below those
        // drawn, then, once it is full, the picture moves up.
        for (int i = 0; i < 40; ++i) {
            const QString text =
                i % 7 == 3 ? QString("[12:00:%1] <Wordy> %2")
                                 .arg(i, 2, 10, QChar('0'))
                                 .arg(QString("a long line that wraps ").repeated(4))
                           : QString("[12:00:%1] <User%2> hi").arg(i, 2, 10, QChar('0')).arg(i);
            paints.rects.clear();
            append(text, {{10, QColor(0, 0, 220)}, {8, QColor(200, 0, 0)}}, i % 5 == 0);
            if (i > 0) {
                QVERIFY(!paints.rects.isEmpty());
                for (const QRect &r : paints.rects)
                    QVERIFY2(r.height() < port()->height() / 2,
                             qPrintable(QString("line %1 painted %2 rows").arg(i).arg(r.height())));
            }
            // After the count: the comparison paints the pane whole.
            samePicture(qPrintable(QString("after line %1").arg(i)));
        }
        QVERIFY(bar()->maximum() > 0);
        QCOMPARE(bar()->value(), bar()->maximum());
        // A burst of lines in one frame moves the picture once.
        for (int i = 0; i < 5; ++i)
            view->appendPlainLine(QString("burst %1").arg(i));
        QVERIFY(waitUntil([&] { return view->characterRect(44, 0).isValid(); }));
        QVERIFY(framesPass(2));
        samePicture("after a burst");
    }

    void whatElseChangedPaintsTheWhole()
    {
        for (int i = 0; i < 60; ++i)
            view->appendPlainLine(QString("line %1").arg(i));
        QVERIFY(waitUntil([&] { return view->characterRect(59, 0).isValid(); }));
        QVERIFY(framesPass(2));

        // A selection goes with the next line.
        view->selectAll();
        QVERIFY(framesPass(2));
        paints.rects.clear();
        append("after a selection");
        QVERIFY(!view->hasSelection());
        QVERIFY(!paints.rects.isEmpty());
        QVERIFY(paints.rects.last().contains(port()->rect()));
        samePicture("selection dropped");

        // A search marks matches in the new lines too.
        view->setSearch("line 6", Qt::CaseInsensitive);
        QVERIFY(framesPass(2));
        append("line 6 once more");
        samePicture("a match in a new line");
        view->clearSearch();
        QVERIFY(framesPass(2));
        samePicture("search cleared");

        // The reading caret's frame moves to the newest line.
        view->setFocus();
        QVERIFY(waitUntil([&] { return view->hasFocus(); }));
        QVERIFY(framesPass(2));
        append("with the focus");
        samePicture("caret moved");
        input->setFocus();
        QVERIFY(framesPass(2));

        // The font changes every row.
        QFont f = view->font();
        f.setPointSize(f.pointSize() + 3);
        view->setFont(f);
        QVERIFY(framesPass(2));
        append("in a larger font");
        samePicture("font changed");

        // A narrower pane wraps anew.
        window->resize(250, 330);
        QVERIFY(framesPass(2));
        append(QString("wrapped anew ").repeated(6));
        samePicture("resized");
    }

    void aHeldPaneDoesNotMove()
    {
        for (int i = 0; i < 100; ++i)
            view->appendPlainLine(QString("line %1").arg(i));
        QVERIFY(waitUntil([&] { return view->characterRect(99, 0).isValid(); }));
        view->setHoldView(true); // as while the find bar is open
        bar()->setValue(20);
        QVERIFY(framesPass(2));
        const int top = view->topLine();
        const QRect at = view->characterRect(top, 0);
        const QImage before = onScreen(port());
        for (int i = 0; i < 5; ++i) {
            view->appendPlainLine(QString("below %1").arg(i));
            QVERIFY(framesPass(2));
        }
        QCOMPARE(view->topLine(), top);
        QCOMPARE(view->characterRect(top, 0), at);
        QVERIFY(view->newLinesBelow());
        // The lines shown stay where they were; only the marker is new.
        const QImage after = onScreen(port());
        const QRect upper(0, 0, port()->width(), port()->height() / 2);
        QCOMPARE(after.copy(upper), before.copy(upper));
        samePicture("held");

        // Let go, the next line brings the pane to its end.
        view->setHoldView(false);
        append("at the end again");
        QCOMPARE(bar()->value(), bar()->maximum());
        QVERIFY(view->characterRect(view->lineCount() - 1, 0).isValid());
        samePicture("followed again");
    }

    void userScrolledBackJumpsToTheEnd()
    {
        // Without the find bar a new line brings the pane to its end, as
        // ever, and the picture is the whole one.
        for (int i = 0; i < 100; ++i)
            view->appendPlainLine(QString("line %1").arg(i));
        QVERIFY(waitUntil([&] { return view->characterRect(99, 0).isValid(); }));
        bar()->setValue(10);
        QVERIFY(framesPass(2));
        QVERIFY(!view->isScrolledToEnd());
        append("newest");
        QCOMPARE(bar()->value(), bar()->maximum());
        samePicture("back at the end");
    }

    void scrollBarPaintsOnlyWhenItsPictureChanges()
    {
        auto *counted = dynamic_cast<TStillScrollBar *>(bar());
        QVERIFY(counted);
        for (int i = 0; i < 3000; ++i)
            view->appendPlainLine(QString("line %1").arg(i));
        QVERIFY(waitUntil([&] { return view->characterRect(2999, 0).isValid(); }));
        QVERIFY(framesPass(2));
        // With thousands of lines the handle keeps its size at the end.
        const int paintsBefore = counted->paints();
        for (int i = 0; i < 10; ++i)
            append(QString("more %1").arg(i));
        QCOMPARE(bar()->value(), bar()->maximum());
        QCOMPARE(counted->paints(), paintsBefore);
        // Moving the handle paints the bar.
        bar()->setValue(0);
        QVERIFY(waitUntil([&] { return counted->paints() > paintsBefore; }));
        // And back at the end, the handle is drawn there.
        const int paintsAtTop = counted->paints();
        append("back to the end");
        QVERIFY(waitUntil([&] { return counted->paints() > paintsAtTop; }));
        QCOMPARE(onScreen(bar()), paintedWhole(bar()));
    }
};

QTEST_MAIN(TestTranscriptScroll)
#include "test_transcript_scroll.moc"
