// The transcript's scroll bar draws its groove once and the handle over
// it. Its picture must be the one a plain QScrollBar paints in the same
// state, and a tall handle must not wake Qt's painting threads.
#include "widgets/stillscrollbar.h"

#include <QDir>
#include <QFile>
#include <QPaintEvent>
#include <QScreen>
#include <QStyleFactory>
#include <QtTest>
#include <memory>

namespace {

// Names of this process's threads.
QStringList threadNames()
{
    QStringList names;
    const QStringList tasks =
        QDir(QStringLiteral("/proc/self/task")).entryList(QDir::Dirs | QDir::NoDotAndDotDot);
    for (const QString &task : tasks) {
        QFile comm(QStringLiteral("/proc/self/task/%1/comm").arg(task));
        if (comm.open(QIODevice::ReadOnly))
            names << QString::fromUtf8(comm.readAll()).trimmed();
    }
    return names;
}

bool poolStarted() { return threadNames().contains(QStringLiteral("Thread (pooled)")); }

struct State {
    QSize size;
    int maximum;
    int pageStep;
    int value;
};

void apply(QScrollBar &bar, const State &s)
{
    bar.resize(s.size);
    bar.setRange(0, s.maximum);
    bar.setPageStep(s.pageStep);
    bar.setValue(s.value);
}

// The widget painted into an image of the screen's kind, as into a window.
void paintOnce(QWidget &w)
{
    const qreal dpr = w.devicePixelRatioF();
    QImage image(w.size() * dpr, QImage::Format_ARGB32_Premultiplied);
    image.setDevicePixelRatio(dpr);
    w.render(&image);
}

QImage picture(QWidget &w) { return w.grab().toImage().convertToFormat(QImage::Format_RGB32); }

// A bar of ours and a plain one, set alike.
struct Twins {
    TStillScrollBar still;
    QScrollBar plain;
    Twins(Qt::Orientation o, QStyle *style) : still(o), plain(o)
    {
        each([&](QScrollBar &bar) { bar.setStyle(style); });
    }
    template <class F> void each(F f)
    {
        f(static_cast<QScrollBar &>(still));
        f(plain);
    }
    void set(const State &s)
    {
        each([&](QScrollBar &bar) { apply(bar, s); });
    }
    bool same() { return picture(still) == picture(plain); }
};

// Gathers the regions the watched widget paints.
class PaintWatch : public QObject {
public:
    explicit PaintWatch(QRegion *into) : m_into(into) {}
    bool eventFilter(QObject *, QEvent *event) override
    {
        if (event->type() == QEvent::Paint)
            *m_into += static_cast<QPaintEvent *>(event)->region();
        return false;
    }

private:
    QRegion *m_into;
};

} // namespace

class TestStillScrollBar : public QObject {
    Q_OBJECT

    std::unique_ptr<QStyle> fusion{QStyleFactory::create(QStringLiteral("Fusion"))};

private Q_SLOTS:
    // First, while nothing in this process has painted a tall fill yet.
    void aTallHandleKeepsThePaintingThreadsStill()
    {
        QVERIFY(fusion);
        QVERIFY2(!poolStarted(), "a painting thread ran before the test");
        TStillScrollBar still(Qt::Vertical);
        still.setStyle(fusion.get());
        // A young transcript: the handle is half the bar and shrinks with
        // every line.
        for (int lines = 10; lines < 40; ++lines) {
            apply(still, {QSize(16, 600), lines * 20, 400, lines * 20});
            paintOnce(still);
        }
        QVERIFY2(!poolStarted(), "painting the handle woke Qt's painting threads");

        // The plain bar's groove does wake them: the check above can see it.
        QScrollBar plain(Qt::Vertical);
        plain.setStyle(fusion.get());
        apply(plain, {QSize(16, 600), 200, 400, 200});
        paintOnce(plain);
        QVERIFY(poolStarted());
    }

    void thePictureIsThePlainBars()
    {
        const QList<State> states = {
            {QSize(16, 600), 0, 400, 0},         // nothing to scroll
            {QSize(16, 600), 100, 400, 100},     // a long handle at the end
            {QSize(16, 600), 100, 400, 0},       // at the start
            {QSize(16, 600), 100, 400, 37},      // in between
            {QSize(16, 600), 900, 400, 450},     // handle about a third
            {QSize(16, 600), 90000, 400, 90000}, // the smallest handle
            {QSize(16, 97), 40, 50, 20},         // a short bar
            {QSize(16, 30), 40, 50, 20},         // too short for a handle
            {QSize(500, 16), 300, 200, 150},     // across
            {QSize(500, 16), 300, 200, 300},
        };
        for (const bool enabled : {true, false}) {
            for (const State &s : states) {
                const Qt::Orientation o =
                    s.size.width() > s.size.height() ? Qt::Horizontal : Qt::Vertical;
                Twins bars(o, fusion.get());
                bars.each([&](QScrollBar &bar) { bar.setEnabled(enabled); });
                bars.set(s);
                const QString what = QStringLiteral("%1x%2, 0..%3, page %4, at %5%6")
                                         .arg(s.size.width())
                                         .arg(s.size.height())
                                         .arg(s.maximum)
                                         .arg(s.pageStep)
                                         .arg(s.value)
                                         .arg(enabled ? "" : ", disabled");
                QVERIFY2(bars.same(), qPrintable(what));
                // The groove drawn before is used again after a move.
                bars.each([&](QScrollBar &bar) { bar.setValue(s.maximum / 3); });
                QVERIFY2(bars.same(), qPrintable(what + " moved"));
            }
        }
    }

    void aHandleShrinkingAtTheEndAsInAYoungTranscript()
    {
        Twins bars(Qt::Vertical, fusion.get());
        for (int maximum = 0; maximum <= 6000; maximum += 97) {
            bars.set({QSize(16, 451), maximum, 420, maximum});
            QVERIFY2(bars.same(), qPrintable(QString::number(maximum)));
        }
        // Scrolled back through it and to the end again: the parts drawn
        // before are used again only where they still hold.
        for (const int maximum : {300, 2000}) {
            for (int value = maximum; value >= -maximum; value -= 37) {
                bars.set({QSize(16, 451), maximum, 420, std::abs(value)});
                QVERIFY2(bars.same(),
                         qPrintable(QStringLiteral("%1 at %2").arg(maximum).arg(std::abs(value))));
            }
        }
    }

    void aMovingOrShrinkingHandleIsCopiedNotDrawn()
    {
        Twins bars(Qt::Vertical, fusion.get());
        bars.set({QSize(16, 451), 2000, 420, 2000});
        QVERIFY(bars.same());
        bars.set({QSize(16, 451), 2000, 420, 1000});
        QVERIFY(bars.same());
        // Once the handle's ends and the arrows' bands are drawn, a handle
        // that shrinks at the end or moves along the groove is made of
        // copies of them.
        const int drawn = bars.still.drawnBands();
        for (int maximum = 2100; maximum <= 4000; maximum += 53) {
            bars.set({QSize(16, 451), maximum, 420, maximum});
            QVERIFY2(bars.same(), qPrintable(QString::number(maximum)));
        }
        for (int value = 4000; value >= 0; value -= 61) {
            bars.set({QSize(16, 451), 4000, 420, value});
            QVERIFY2(bars.same(), qPrintable(QStringLiteral("at %1").arg(value)));
        }
        // Near the arrows, where the groove is not alike, bands are drawn
        // (once each), not for every place of the handle: some 190 were.
        QVERIFY2(bars.still.drawnBands() - drawn <= 12,
                 qPrintable(QString::number(bars.still.drawnBands() - drawn)));
    }

    // On the screen: a change repaints only the rows it changes, and the
    // screen then shows what painting all of the bar afresh shows.
    void aChangeRepaintsOnlyTheRowsItChanges()
    {
        QWidget window;
        auto *still = new TStillScrollBar(Qt::Vertical, &window);
        still->setStyle(fusion.get());
        still->resize(16, 451);
        window.resize(16, 451);
        // The mouse away from it: a hovered bar paints as a plain one.
        window.move(200, 100);
        QCursor::setPos(window.screen()->geometry().bottomRight());
        QRegion painted;
        PaintWatch watch(&painted);
        still->installEventFilter(&watch);
        window.show();
        QVERIFY(QTest::qWaitForWindowExposed(&window));
        const auto screen = [&] {
            return window.screen()
                ->grabWindow(window.winId(), 0, 0, still->width(), still->height())
                .toImage();
        };
        const auto painting = [&](auto change) {
            const int before = still->paints();
            change();
            return QTest::qWaitFor([&] { return still->paints() > before; });
        };
        // A change the screen shows is painted with the window's posted
        // update; one that moves the handle by less than a pixel paints
        // nothing.
        int repaints = 0;
        const auto step = [&](int maximum, int value) {
            painted = QRegion();
            const int before = still->paints();
            still->setAll(maximum, 420, value);
            QCoreApplication::sendPostedEvents();
            repaints += still->paints() > before;
            const QRegion changed = painted;
            const QImage shown = screen();
            if (!painting([&] { still->update(); }))
                return false;
            painted = changed;
            return shown == screen();
        };
        QVERIFY(step(3000, 3000));
        int rows = 0, changes = 0;
        for (int maximum = 3150; maximum <= 6000; maximum += 150) {
            QVERIFY2(step(maximum, maximum), qPrintable(QString::number(maximum)));
            rows += painted.boundingRect().height();
            ++changes;
        }
        QVERIFY2(repaints > changes / 2, qPrintable(QString::number(repaints)));
        // The handle's upper end moves a row or two a line: its rows and
        // those within reach of it, not the bar's 451.
        QVERIFY2(rows < changes * 12, qPrintable(QString::number(rows)));
        // Along the groove, a jump far back, and the arrows' look at the
        // start and at the end.
        for (int value = 4000; value >= 0; value -= 233)
            QVERIFY2(step(4000, value), qPrintable(QString::number(value)));
        QVERIFY(step(4000, 0));
        QVERIFY(step(4000, 4000));
    }

    void aNewPaletteOrSizeDrawsTheGrooveAgain()
    {
        Twins bars(Qt::Vertical, fusion.get());
        bars.set({QSize(16, 300), 500, 100, 250});
        QVERIFY(bars.same());
        QPalette dark = bars.plain.palette();
        dark.setColor(QPalette::Button, QColor(40, 40, 60));
        dark.setColor(QPalette::Window, QColor(30, 30, 30));
        bars.each([&](QScrollBar &bar) { bar.setPalette(dark); });
        QVERIFY(bars.same());
        bars.each([&](QScrollBar &bar) { bar.resize(16, 420); });
        QVERIFY(bars.same());
    }

    void otherStylesPaintAsPlainBars()
    {
        std::unique_ptr<QStyle> windows(QStyleFactory::create(QStringLiteral("Windows")));
        QVERIFY(windows);
        Twins bars(Qt::Vertical, windows.get());
        bars.set({QSize(16, 300), 500, 100, 120});
        QVERIFY(bars.same());
    }
};

QTEST_MAIN(TestStillScrollBar)
#include "test_still_scroll_bar.moc"
