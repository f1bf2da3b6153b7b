#include "support/datarows.h"
#include "support/frames.h"
#include "support/waits.h"
#include "widgets/TTranscriptView.h"
#include "widgets/framepacer.h"

#include <QApplication>
#include <QClipboard>
#include <QContextMenuEvent>
#include <QScrollBar>
#include <QSignalSpy>
#include <QtTest>

#include <cstdlib>

Q_DECLARE_METATYPE(QList<TColourRun>)

namespace {

const QColor kRed(200, 0, 0);
const QColor kGreen(0, 160, 0);
const QColor kBlue(0, 0, 220);
const QColor kDefault(10, 20, 30);

// One letter per character: r, g, b, d (default colour).
QColor colourOf(QChar c)
{
    switch (c.toLatin1()) {
    case 'r':
        return kRed;
    case 'g':
        return kGreen;
    case 'b':
        return kBlue;
    default:
        return kDefault;
    }
}

// Counts paints of a widget.
class PaintCounter : public QObject {
public:
    int paints = 0;
    bool eventFilter(QObject *, QEvent *e) override
    {
        if (e->type() == QEvent::Paint)
            ++paints;
        return false;
    }
};

// Pixels of img within r that are close to c.
int pixelsNear(const QImage &img, const QRect &r, const QColor &c)
{
    int count = 0;
    const QRect area = r.intersected(img.rect());
    for (int y = area.top(); y <= area.bottom(); ++y)
        for (int x = area.left(); x <= area.right(); ++x) {
            const QColor p = img.pixelColor(x, y);
            if (qAbs(p.red() - c.red()) < 40 && qAbs(p.green() - c.green()) < 40 &&
                qAbs(p.blue() - c.blue()) < 40)
                ++count;
        }
    return count;
}

QPoint leftOf(const QRect &r) { return QPoint(r.left() + 1, r.center().y()); }

} // namespace

class TestTranscript : public QObject {
    Q_OBJECT

    std::unique_ptr<TTranscriptView> view;

    void showView(int w = 400, int h = 300)
    {
        view->resize(w, h);
        view->show();
        QVERIFY(waitExposed(view.get()));
        QCoreApplication::processEvents();
    }
    QScrollBar *bar() const { return view->verticalScrollBar(); }

private Q_SLOTS:
    void init()
    {
        view = std::make_unique<TTranscriptView>();
        view->setDefaultTextColour(kDefault);
    }
    void cleanup() { view.reset(); }

    void colours_data()
    {
        columns<QString, QList<TColourRun>, QString>("text", "runs", "expected");
        QTest::newRow("runs cover the text")
            << "abcdef" << QList<TColourRun>{{3, kRed}, {3, kGreen}} << "rrrggg";
        QTest::newRow("runs shorter than the text")
            << "abcdef" << QList<TColourRun>{{2, kRed}} << "rrdddd";
        QTest::newRow("runs longer than the text")
            << "abc" << QList<TColourRun>{{2, kRed}, {5, kGreen}, {4, kBlue}} << "rrg";
        QTest::newRow("no runs") << "abc" << QList<TColourRun>{} << "ddd";
        QTest::newRow("empty and negative runs are skipped")
            << "abcd" << QList<TColourRun>{{0, kRed}, {-2, kGreen}, {2, kBlue}} << "bbdd";
        QTest::newRow("invalid colour takes the default")
            << "abcd" << QList<TColourRun>{{2, QColor()}, {2, kRed}} << "ddrr";
        QTest::newRow("neighbours of one colour")
            << "abcde" << QList<TColourRun>{{1, kRed}, {1, kRed}, {1, kGreen}, {2, kRed}}
            << "rrgrr";
        QTest::newRow("empty text") << "" << QList<TColourRun>{{3, kRed}} << "";
        QTest::newRow("label, spaces and message")
            << " <Name> hello" << QList<TColourRun>{{8, kBlue}, {5, kDefault}} << "bbbbbbbbddddd";
    }
    void colours()
    {
        QFETCH(QString, text);
        QFETCH(QList<TColourRun>, runs);
        QFETCH(QString, expected);
        view->appendPlainLine("before");
        view->appendLine(text, runs);
        view->appendLine("after", {{5, kGreen}});
        QCOMPARE(view->lineCount(), 3);
        QCOMPARE(view->lineText(1), text);
        for (int i = 0; i < expected.size(); ++i)
            QCOMPARE(view->colourAt(1, i), colourOf(expected[i]));
        QVERIFY(!view->colourAt(1, -1).isValid());
        QVERIFY(!view->colourAt(1, text.size()).isValid());
        // The neighbours keep their own colours.
        QCOMPARE(view->colourAt(0, 5), kDefault);
        QCOMPARE(view->colourAt(2, 0), kGreen);
        QCOMPARE(view->colourAt(2, 4), kGreen);
    }

    void outOfRange()
    {
        view->appendPlainLine("x");
        QCOMPARE(view->lineText(-1), QString());
        QCOMPARE(view->lineText(1), QString());
        QVERIFY(!view->colourAt(1, 0).isValid());
        QVERIFY(!view->colourAt(-1, 0).isValid());
    }

    void defaultColourAtAppendTime()
    {
        view->setDefaultTextColour(kRed);
        view->appendPlainLine("one");
        view->appendLine("two", {{1, kBlue}});
        view->setDefaultTextColour(kGreen);
        view->appendPlainLine("three");
        QCOMPARE(view->defaultTextColour(), kGreen);
        QCOMPARE(view->colourAt(0, 2), kRed);
        QCOMPARE(view->colourAt(1, 0), kBlue);
        QCOMPARE(view->colourAt(1, 1), kRed);
        QCOMPARE(view->colourAt(2, 0), kGreen);
    }

    void plainText_data()
    {
        columns<QStringList, QString>("lines", "expected");
        QTest::newRow("empty pane") << QStringList{} << "";
        QTest::newRow("one line") << QStringList{"hello"} << "hello";
        QTest::newRow("one empty line") << QStringList{""} << "";
        QTest::newRow("three lines") << QStringList{"a", "", " b c "} << "a\r\n\r\n b c ";
        QTest::newRow("trailing empty line") << QStringList{"a", ""} << "a\r\n";
    }
    void plainText()
    {
        QFETCH(QStringList, lines);
        QFETCH(QString, expected);
        for (const QString &l : lines)
            view->appendLine(l, {{2, kRed}});
        QCOMPARE(view->lineCount(), lines.size());
        QCOMPARE(view->plainText(), expected);
    }

    void latin1RoundTrip()
    {
        QString all;
        for (int b = 1; b < 256; ++b)
            all += QChar(b);
        view->appendPlainLine(all);
        view->appendPlainLine(QString::fromLatin1("\xe9t\xe9 \x80\x9f\xff"));
        QCOMPARE(view->lineText(0), all);
        QCOMPARE(view->lineText(0).toLatin1().size(), 255);
        QCOMPARE(view->plainText(), all + "\r\n" + QString::fromLatin1("\xe9t\xe9 \x80\x9f\xff"));
        view->selectAll();
        QCOMPARE(view->selectedText(), all + "\n" + QString::fromLatin1("\xe9t\xe9 \x80\x9f\xff"));
        showView();
        // Every byte is drawn without trouble, control bytes included.
        QVERIFY(!view->grab().isNull());
    }

    // Decoded text of any script comes back whole, and a line below U+0100
    // (every ASCII line) costs one byte per character, any other two.
    void unicodeLines_data()
    {
        columns<QString, int>("text", "bytesPerChar");
        QTest::newRow("ascii") << QString("plain words here") << 1;
        QTest::newRow("latin-1 range") << QString::fromUtf8("caf\u00e9 cr\u00e8me \u00ff") << 1;
        QTest::newRow("euro and cyrillic")
            << QString::fromUtf8(
                   "h\u00e9llo w\u00f6rld \u20ac \u043f\u0440\u0438\u0432\u0435\u0442")
            << 2;
        QTest::newRow("outside the basic plane")
            << QString::fromUtf8("ok \xf0\x9f\x98\x80 go") << 2;
        QTest::newRow("wide at the very end") << QString::fromUtf8("abcdef\u20ac") << 2;
    }
    void unicodeLines()
    {
        QFETCH(QString, text);
        QFETCH(int, bytesPerChar);
        view->appendPlainLine("before");
        const qsizetype start = view->storeBytesUsed();
        view->appendLine(QString(text.size(), QLatin1Char('x')), {{3, kRed}});
        const qsizetype ascii = view->storeBytesUsed() - start;
        view->appendLine(text, {{3, kRed}});
        const qsizetype cost = view->storeBytesUsed() - start - ascii;
        view->appendPlainLine("after");
        QCOMPARE(cost - ascii, qsizetype(bytesPerChar - 1) * text.size());

        QCOMPARE(view->lineCount(), 4);
        QCOMPARE(view->lineText(2), text);
        QCOMPARE(view->lineText(3), QString("after"));
        QCOMPARE(view->colourAt(2, 2), kRed);
        QCOMPARE(view->colourAt(2, 3), kDefault);
        QVERIFY(!view->colourAt(2, int(text.size())).isValid());
        const QString xs(text.size(), QLatin1Char('x'));
        QCOMPARE(view->plainText(), "before\r\n" + xs + "\r\n" + text + "\r\nafter");
        view->selectAll();
        QCOMPARE(view->selectedText(), "before\n" + xs + "\n" + text + "\nafter");
        view->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), view->selectedText());
    }

    // Characters beyond Latin-1 are measured and drawn like any other.
    void drawsOtherScripts()
    {
        QFont f = view->font();
        f.setPointSize(14);
        view->setFont(f);
        view->setBackground(Qt::black);
        const QString cyrillic =
            QString::fromUtf8("\u043f\u0440\u0438\u0432\u0435\u0442 \u20ac\u20ac");
        view->appendLine(cyrillic, {{int(cyrillic.size()), QColor(255, 0, 0)}});
        view->appendLine("x " + cyrillic,
                         {{2, QColor(0, 255, 0)}, {int(cyrillic.size()), QColor(255, 0, 0)}});
        showView(400, 200);
        const QRect word = view->characterRect(0, 0).united(view->characterRect(0, 5));
        QVERIFY(word.width() > 6 * 3);
        const QImage img = view->viewport()->grab().toImage();
        QVERIFY(pixelsNear(img, word, QColor(255, 0, 0)) > 10);
        // The same word after two narrow characters starts where they end
        // and is as wide. Advances are fractional and each rectangle is
        // widened to whole pixels, so both hold to within a pixel.
        const QRect space = view->characterRect(1, 1);
        const QRect moved = view->characterRect(1, 2);
        QVERIFY2(
            std::abs(moved.left() - (space.left() + space.width())) <= 1,
            qPrintable(QString("%1 after %2").arg(moved.left()).arg(space.left() + space.width())));
        const QRect movedWord = moved.united(view->characterRect(1, 7));
        QVERIFY2(std::abs(movedWord.width() - word.width()) <= 1,
                 qPrintable(QString("%1 against %2").arg(movedWord.width()).arg(word.width())));
        QVERIFY(pixelsNear(img, view->characterRect(1, 2).united(view->characterRect(1, 7)),
                           QColor(255, 0, 0)) > 10);
    }

    // A click never lands between the two halves of a surrogate pair.
    void surrogatePairsStayWhole_data()
    {
        // where: share of the pair's width
        columns<qreal, QString>("where", "expected");
        QTest::newRow("left part") << 0.25 << QString("ab");
        QTest::newRow("right part") << 0.75 << QString::fromUtf8("ab\xf0\x9f\x98\x80");
    }
    void surrogatePairsStayWhole()
    {
        QFETCH(qreal, where);
        QFETCH(QString, expected);
        view->appendPlainLine(QString::fromUtf8("ab\xf0\x9f\x98\x80"
                                                "cd"));
        showView();
        const QRect pair = view->characterRect(0, 2);
        QVERIFY(pair.width() > 2);
        QWidget *vp = view->viewport();
        const QPoint at(pair.left() + int(pair.width() * where), pair.center().y());
        QTest::mousePress(vp, Qt::LeftButton, {}, at);
        QTest::mouseMove(vp, leftOf(view->characterRect(0, 0)));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, leftOf(view->characterRect(0, 0)));
        QCOMPARE(view->selectedText(), expected);
    }

    void selectAllCopyClear()
    {
        view->appendPlainLine("first line");
        view->appendPlainLine("");
        view->appendPlainLine("third");
        QVERIFY(!view->hasSelection());
        QCOMPARE(view->selectedText(), QString());
        view->selectAll();
        QVERIFY(view->hasSelection());
        QCOMPARE(view->selectedText(), QString("first line\n\nthird"));
        view->copy();
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("first line\n\nthird"));

        view->clearSelection();
        QVERIFY(!view->hasSelection());
        QGuiApplication::clipboard()->setText("untouched");
        view->copy(); // nothing selected: the clipboard stays as it was
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("untouched"));

        // The same through the keyboard.
        QTest::keyClick(view.get(), Qt::Key_A, Qt::ControlModifier);
        QVERIFY(view->hasSelection());
        QTest::keyClick(view.get(), Qt::Key_C, Qt::ControlModifier);
        QCOMPARE(QGuiApplication::clipboard()->text(), QString("first line\n\nthird"));
    }

    void selectAllEmpty()
    {
        view->selectAll();
        QVERIFY(!view->hasSelection());
        QCOMPARE(view->selectedText(), QString());
    }

    void clear()
    {
        for (int i = 0; i < 1000; ++i)
            view->appendLine(QString("line %1").arg(i), {{4, kRed}});
        const qsizetype full = view->storeBytes();
        view->selectAll();
        view->clear();
        QCOMPARE(view->lineCount(), 0);
        QCOMPARE(view->plainText(), QString());
        QVERIFY(!view->hasSelection());
        QVERIFY(view->isScrolledToEnd());
        QVERIFY(view->storeBytes() < full);
        QCOMPARE(bar()->maximum(), 0);
        view->appendPlainLine("again");
        QCOMPARE(view->lineCount(), 1);
        QCOMPARE(view->lineText(0), QString("again"));
        QCOMPARE(view->colourAt(0, 0), kDefault);
    }

    void mouseDrag_data()
    {
        columns<int, int, int, int, QString>("fromLine", "fromColumn", "toLine", "toColumn",
                                             "expected");
        QTest::newRow("within a line") << 0 << 2 << 0 << 7 << "rst l";
        QTest::newRow("across lines") << 0 << 6 << 2 << 3 << "line\nsecond one\nthi";
        QTest::newRow("backwards") << 2 << 3 << 1 << 7 << "one\nthi";
        QTest::newRow("to the end of a line") << 1 << 0 << 1 << 10 << "second one";
        QTest::newRow("over a line break") << 0 << 10 << 1 << 0 << "\n";
        QTest::newRow("no movement") << 1 << 3 << 1 << 3 << "";
    }
    void mouseDrag()
    {
        QFETCH(int, fromLine);
        QFETCH(int, fromColumn);
        QFETCH(int, toLine);
        QFETCH(int, toColumn);
        QFETCH(QString, expected);
        view->appendPlainLine("first line");
        view->appendLine("second one", {{6, kRed}});
        view->appendPlainLine("third");
        showView();
        const QRect from = view->characterRect(fromLine, fromColumn);
        const QRect to = view->characterRect(toLine, toColumn);
        QVERIFY(from.isValid());
        QVERIFY(to.isValid());
        QWidget *vp = view->viewport();
        QTest::mousePress(vp, Qt::LeftButton, {}, leftOf(from));
        QTest::mouseMove(vp, leftOf(to));
        QTest::mouseRelease(vp, Qt::LeftButton, {}, leftOf(to));
        QCOMPARE(view->hasSelection(), !expected.isEmpty());
        QCOMPARE(view->selectedText(), expected);
    }

    void doubleClickSelectsWord()
    {
        view->appendPlainLine("<Name> hello there");
        showView();
        QWidget *vp = view->viewport();
        const QPoint p = leftOf(view->characterRect(0, 9));
        QTest::mouseDClick(vp, Qt::LeftButton, {}, p);
        QCOMPARE(view->selectedText(), QString("hello"));
    }

    void appendDropsSelectionAndScrollsToEnd()
    {
        showView();
        for (int i = 0; i < 200; ++i)
            view->appendPlainLine(QString("line %1").arg(i));
        QTRY_VERIFY(bar()->maximum() > 0);
        QCOMPARE(bar()->value(), bar()->maximum());
        QVERIFY(view->isScrolledToEnd());

        // The user scrolls back and selects.
        bar()->setValue(10);
        QVERIFY(!view->isScrolledToEnd());
        QVERIFY(view->characterRect(10, 0).isValid());
        QVERIFY(!view->characterRect(199, 0).isValid());
        view->selectAll();

        view->appendPlainLine("newest");
        QVERIFY(!view->hasSelection());
        QVERIFY(view->isScrolledToEnd());
        // The scroll bar follows within a display frame.
        QTRY_COMPARE(bar()->value(), bar()->maximum());
        const QRect last = view->characterRect(200, 0);
        QVERIFY(last.isValid());
        QVERIFY(last.bottom() < view->viewport()->height());
        QVERIFY(last.bottom() > view->viewport()->height() - 2 * last.height());
        QVERIFY(!view->characterRect(10, 0).isValid());
    }

    void wheelScrollsBack()
    {
        showView();
        for (int i = 0; i < 100; ++i)
            view->appendPlainLine(QString("line %1").arg(i));
        QTRY_VERIFY(bar()->maximum() > 0);
        const int end = bar()->value();
        const QPoint at(50, 50);
        QWheelEvent wheel(at, view->viewport()->mapToGlobal(at), QPoint(), QPoint(0, 120),
                          Qt::NoButton, Qt::NoModifier, Qt::NoScrollPhase, false);
        QCoreApplication::sendEvent(view->viewport(), &wheel);
        QVERIFY(bar()->value() < end);
        QVERIFY(!view->isScrolledToEnd());
        view->appendPlainLine("more");
        QVERIFY(view->isScrolledToEnd());
        QTRY_COMPARE(bar()->value(), bar()->maximum());
    }

    void floodPaintsRarely()
    {
        showView();
        PaintCounter counter;
        view->viewport()->installEventFilter(&counter);
        for (int i = 0; i < 20000; ++i)
            view->appendLine(QString("[12:00:00] <User%1> some talk text").arg(i), {{10, kBlue}});
        QCOMPARE(counter.paints, 0); // nothing is drawn while lines arrive
        QTRY_VERIFY(counter.paints >= 1);
        QVERIFY(framesPass(3));
        QVERIFY(counter.paints <= 2);
        QCOMPARE(bar()->value(), bar()->maximum());
        QVERIFY(view->characterRect(19999, 0).isValid());
    }

    void steadyFloodPaintsOnceAFrame()
    {
        // Lines arriving in every pass of the event loop, as from a busy
        // channel: the pane lays out and paints once a display frame, its
        // scroll bar fills its own background (the frame behind it is not
        // repainted), and the newest line is shown at the end.
        showView();
        PaintCounter viewport, frame;
        view->viewport()->installEventFilter(&viewport);
        view->installEventFilter(&frame);
        int syncs = 0;
        connect(bar(), &QScrollBar::rangeChanged, [&syncs] { ++syncs; });
        // Fifteen frames of the display, counted as the pacer counts them.
        const qint64 first = TFramePacer::currentFrame();
        int passes = 0;
        while (TFramePacer::currentFrame() - first < 15) {
            view->appendPlainLine(QString("line %1").arg(passes++));
            QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
        }
        QTRY_COMPARE(bar()->value(), bar()->maximum());
        QTRY_VERIFY(view->characterRect(passes - 1, 0).isValid());
        const int frames = int(TFramePacer::currentFrame() - first) + 2;
        QVERIFY2(viewport.paints >= 2 && viewport.paints <= frames,
                 qPrintable(QString("%1 paints, %2 frames, %3 passes")
                                .arg(viewport.paints)
                                .arg(frames)
                                .arg(passes) +
                            QString(", %1 syncs").arg(syncs)));
        QVERIFY2(viewport.paints * 3 < passes, qPrintable(QString::number(passes)));
        QCOMPARE(frame.paints, 0);
    }

    void partialPaintIsFollowedByAWholeOne()
    {
        // A paint of a corner that finds lines waiting lays them out, and
        // the rest of the pane is painted after it.
        showView();
        struct Rects : QObject {
            QList<QRect> painted;
            bool eventFilter(QObject *, QEvent *e) override
            {
                if (e->type() == QEvent::Paint)
                    painted << static_cast<QPaintEvent *>(e)->rect();
                return false;
            }
        } rects;
        view->viewport()->installEventFilter(&rects);
        QVERIFY(framesPass(2)); // a frame in which nothing ran
        for (int i = 0; i < 200; ++i)
            view->appendPlainLine(QString("line %1").arg(i));
        view->viewport()->repaint(QRect(0, 0, 20, 20));
        QCOMPARE(rects.painted.size(), 1);
        QCOMPARE(bar()->value(), bar()->maximum()); // laid out by that paint
        QTRY_VERIFY(rects.painted.size() >= 2);
        QVERIFY(rects.painted.last().contains(view->viewport()->rect()));
    }

    void wrapping()
    {
        const QString words = "alpha beta gamma delta epsilon zeta eta theta iota kappa lambda mu";
        const QString longWord(150, QChar('x'));
        view->appendPlainLine(words);
        view->appendPlainLine(longWord);
        showView(160, 300);
        const int width = view->viewport()->width();

        // Words move whole to the next row; every row after the first starts
        // right after a space.
        int rows = 1;
        const int left = view->characterRect(0, 0).left();
        for (int c = 1; c < words.size(); ++c) {
            const QRect r = view->characterRect(0, c);
            QVERIFY(r.isValid());
            if (words[c] != ' ')
                QVERIFY2(r.right() <= width, qPrintable(QString::number(c)));
            if (r.left() == left && r.top() > view->characterRect(0, c - 1).top()) {
                ++rows;
                QCOMPARE(words[c - 1], QChar(' '));
            }
        }
        QVERIFY(rows >= 3);

        // A word wider than the pane is broken where it overflows.
        const QRect first = view->characterRect(1, 0);
        const QRect last = view->characterRect(1, longWord.size() - 1);
        QVERIFY(last.top() >= first.top() + 3 * first.height());
        for (int c = 0; c < longWord.size(); ++c)
            QVERIFY(view->characterRect(1, c).right() <= width);

        // Wider pane, fewer rows.
        view->resize(1000, 300);
        QCoreApplication::processEvents();
        QCOMPARE(view->characterRect(0, words.size() - 1).top(), view->characterRect(0, 0).top());
    }

    void fontChangeRefontsEverything()
    {
        QFont small = view->font();
        small.setPointSize(8);
        view->setFont(small);
        for (int i = 0; i < 50; ++i)
            view->appendLine(QString("line %1 text").arg(i), {{4, kRed}});
        showView();
        const QRect before = view->characterRect(49, 5);
        QFont big = small;
        big.setPointSize(20);
        view->setFont(big);
        QCoreApplication::processEvents();
        const QRect after = view->characterRect(49, 5);
        QVERIFY(after.height() > before.height());
        QVERIFY(after.left() > before.left());
        QCOMPARE(view->lineText(49), QString("line 49 text"));
        QCOMPARE(view->colourAt(49, 0), kRed);
        QVERIFY(view->isScrolledToEnd());
        QCOMPARE(bar()->value(), bar()->maximum());
        QVERIFY(after.bottom() < view->viewport()->height());
    }

    void resizeStaysAtEnd()
    {
        for (int i = 0; i < 1000; ++i)
            view->appendPlainLine(QString("line %1 with some words to wrap around").arg(i));
        showView(500, 400);
        for (const QSize s : {QSize(200, 150), QSize(800, 600), QSize(120, 500)}) {
            view->resize(s);
            QCoreApplication::processEvents();
            QVERIFY(view->isScrolledToEnd());
            QCOMPARE(bar()->value(), bar()->maximum());
            const QRect last = view->characterRect(999, 0);
            QVERIFY(last.isValid());
        }
    }

    void manyLines()
    {
        const int n = 100000;
        const QString pad(80 - 22, QChar('m'));
        for (int i = 0; i < n; ++i) {
            const QString line =
                QString("[12:34:56] <User%1> ").arg(i % 1000, 4, 10, QChar('0')) + pad;
            view->appendLine(line, {{10, kBlue}, {12, kRed}, {58, kDefault}});
        }
        QCOMPARE(view->lineCount(), n);
        QCOMPARE(view->lineText(n / 2).size(), 80);
        QCOMPARE(view->lineText(n / 2).mid(11, 10), QString("<User0000>"));
        QCOMPARE(view->colourAt(n / 2, 0), kBlue);
        QCOMPARE(view->colourAt(n / 2, 12), kRed);
        QCOMPARE(view->colourAt(n - 1, 79), kDefault);
        const qsizetype perLine = view->storeBytes() / n;
        QVERIFY2(perLine <= 300, qPrintable(QString::number(perLine)));
        QCOMPARE(view->plainText().size(), qsizetype(n) * 80 + 2 * (n - 1));

        showView();
        QCOMPARE(bar()->value(), bar()->maximum());
        QVERIFY(bar()->maximum() > n - 100);
        bar()->setValue(n / 2);
        QCoreApplication::processEvents();
        // The line scrolled to is the top one on screen.
        QVERIFY(view->characterRect(n / 2, 0).isValid());
        QVERIFY(!view->characterRect(n / 2 - 1, 0).isValid());
        QVERIFY(view->characterRect(n / 2, 0).top() < view->characterRect(n / 2 + 1, 0).top());
        view->selectAll();
        QCOMPARE(view->selectedText().size(), qsizetype(n) * 80 + (n - 1));
    }

    void contextMenuGoesToOwner()
    {
        view->setContextMenuPolicy(Qt::CustomContextMenu);
        view->appendPlainLine("x");
        showView();
        QSignalSpy spy(view.get(), &QWidget::customContextMenuRequested);
        const QPoint at(20, 20);
        QContextMenuEvent ev(QContextMenuEvent::Mouse, at, view->viewport()->mapToGlobal(at));
        QCoreApplication::sendEvent(view->viewport(), &ev);
        QCOMPARE(spy.count(), 1);
    }

    void pixels()
    {
        const QColor bg(0, 0, 0);
        view->setBackground(bg);
        QCOMPARE(view->background(), bg);
        QFont f = view->font();
        f.setPointSize(14);
        view->setFont(f);
        view->setDefaultTextColour(QColor(220, 220, 220));
        view->appendLine(
            "[12:00:00] <Red> green text here",
            {{11, QColor(255, 255, 0)}, {6, QColor(255, 0, 0)}, {16, QColor(0, 255, 0)}});
        view->appendPlainLine(
            "A plain line in the default colour that is long enough to wrap over rows");
        view->appendLine("second coloured line", {{6, QColor(0, 128, 255)}});
        showView(300, 200);
        const QRect red = view->characterRect(0, 12).united(view->characterRect(0, 15));
        const QRect green = view->characterRect(0, 17).united(view->characterRect(0, 26));

        const QImage img = view->viewport()->grab().toImage();
        view->grab().save("/tmp/transcript.png");
        QVERIFY(pixelsNear(img, red, QColor(255, 0, 0)) > 5);
        QVERIFY(pixelsNear(img, red, QColor(0, 255, 0)) == 0);
        QVERIFY(pixelsNear(img, green, QColor(0, 255, 0)) > 5);
        QVERIFY(pixelsNear(img, green, QColor(255, 0, 0)) == 0);
        // Below the last line there is only background.
        const QRect last = view->characterRect(2, 0);
        const QRect below(0, last.bottom() + 4, img.width(), img.height() - last.bottom() - 4);
        if (below.height() > 0)
            QCOMPARE(pixelsNear(img, below, bg), below.width() * below.height());

        // A selection is drawn in the highlight colour.
        view->selectAll();
        const QImage sel = view->viewport()->grab().toImage();
        view->grab().save("/tmp/transcript-selected.png");
        const QColor hl = view->palette().color(QPalette::Highlight);
        QVERIFY(pixelsNear(sel, red, hl) > 5);
        QCOMPARE(pixelsNear(img, red, hl), 0);

        // At twice the pixel density the text is drawn at full resolution.
        view->clearSelection();
        QPixmap hidpi(view->viewport()->size() * 2);
        hidpi.setDevicePixelRatio(2);
        view->viewport()->render(&hidpi);
        const QImage big = hidpi.toImage();
        const QRect red2(red.topLeft() * 2, red.size() * 2);
        QVERIFY(pixelsNear(big, red2, QColor(255, 0, 0)) >
                2 * pixelsNear(img, red, QColor(255, 0, 0)));
        hidpi.save("/tmp/transcript-2x.png");
    }
};

QTEST_MAIN(TestTranscript)
#include "test_transcript.moc"
