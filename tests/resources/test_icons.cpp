// The drawn pictures: sizes at each device pixel ratio, that each one shows
// something and differs from its neighbours, the colours the user list
// relies on, and that out-of-range indexes are harmless.
#include "resources/icons.h"
#include "support/datarows.h"

#include <QApplication>
#include <QPainter>
#include <QtTest>

#include <functional>
#include <limits>

namespace {

enum Family { User, State, Menu, Tab };

const char *familyName(Family f)
{
    switch (f) {
    case User:
        return "user";
    case State:
        return "state";
    case Menu:
        return "menu";
    case Tab:
        return "tab";
    }
    return "?";
}

int familyCount(Family f)
{
    switch (f) {
    case User:
        return TIcons::userIconCount;
    case State:
        return TIcons::stateImageCount;
    case Menu:
        return TIcons::menuIconCount;
    case Tab:
        return TIcons::tabIconCount;
    }
    return 0;
}

QSize logicalSize(Family f)
{
    switch (f) {
    case User:
        return QSize(28, 14);
    case State:
        return QSize(18, 14);
    case Menu:
    case Tab:
        return QSize(16, 16);
    }
    return QSize();
}

QPixmap picture(Family f, int index, qreal dpr, QIcon::Mode mode = QIcon::Normal)
{
    switch (f) {
    case User:
        return TIcons::userIcon(index, dpr);
    case State:
        return TIcons::stateImage(index, dpr);
    case Menu:
        return TIcons::menuIcon(index).pixmap(QSize(16, 16), dpr, mode);
    case Tab:
        return TIcons::tabIcon(index).pixmap(QSize(16, 16), dpr, mode);
    }
    return QPixmap();
}

QImage argb(const QPixmap &pixmap)
{
    return pixmap.toImage().convertToFormat(QImage::Format_ARGB32);
}

int visiblePixels(const QImage &image)
{
    int n = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x)
            if (qAlpha(image.pixel(x, y)) > 64)
                ++n;
    return n;
}

// Share of the clearly visible pixels for which `pred` holds.
double share(const QImage &image, const std::function<bool(QColor)> &pred, int minAlpha = 128)
{
    int visible = 0;
    int matching = 0;
    for (int y = 0; y < image.height(); ++y)
        for (int x = 0; x < image.width(); ++x) {
            const QRgb px = image.pixel(x, y);
            if (qAlpha(px) < minAlpha)
                continue;
            ++visible;
            if (pred(QColor(px)))
                ++matching;
        }
    return visible ? double(matching) / visible : 0.0;
}

bool reddish(QColor c)
{
    return c.red() > 100 && c.red() > 2 * c.green() && c.red() > 2 * c.blue();
}

bool greenish(QColor c)
{
    return c.green() > 80 && c.green() > 1.5 * c.red() && c.green() > 1.5 * c.blue();
}

bool yellowish(QColor c) { return c.red() > 150 && c.green() > 100 && c.blue() < 0.6 * c.green(); }

// Mean difference per channel (alpha included) of two images of one size.
double meanDifference(const QImage &a, const QImage &b)
{
    double sum = 0;
    for (int y = 0; y < a.height(); ++y)
        for (int x = 0; x < a.width(); ++x) {
            const QRgb p = a.pixel(x, y);
            const QRgb q = b.pixel(x, y);
            sum += qAbs(qRed(p) - qRed(q)) + qAbs(qGreen(p) - qGreen(q)) +
                   qAbs(qBlue(p) - qBlue(q)) + qAbs(qAlpha(p) - qAlpha(q));
        }
    return sum / (4.0 * a.width() * a.height());
}

void addEveryPicture()
{
    columns<int, int>("family", "index");
    for (Family f : {User, State, Menu, Tab})
        for (int i = 0; i < familyCount(f); ++i)
            QTest::addRow("%s %d", familyName(f), i) << int(f) << i;
}

} // namespace

class TestIcons : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void sizeAtEachRatio_data()
    {
        columns<int, int, qreal>("family", "index", "dpr");
        for (Family f : {User, State, Menu, Tab})
            for (int i = 0; i < familyCount(f); ++i)
                for (qreal dpr : {1.0, 2.0, 1.5})
                    QTest::addRow("%s %d @%gx", familyName(f), i, dpr) << int(f) << i << dpr;
    }

    void sizeAtEachRatio()
    {
        QFETCH(int, family);
        QFETCH(int, index);
        QFETCH(qreal, dpr);
        const Family f = Family(family);
        const QPixmap pm = picture(f, index, dpr);
        QVERIFY(!pm.isNull());
        QCOMPARE(pm.devicePixelRatio(), dpr);
        QCOMPARE(pm.size(), logicalSize(f) * dpr);
        QCOMPARE(pm.deviceIndependentSize().toSize(), logicalSize(f));
        // Something is drawn, and not just a speck.
        const QImage image = argb(pm);
        QVERIFY2(visiblePixels(image) >= image.width() * image.height() / 10,
                 qPrintable(QString::number(visiblePixels(image))));
    }

    // The user list draws these over its own background: the surround must be
    // see-through, and nothing is left pure black (the colour the old image
    // lists used to mean "transparent").
    void transparentSurround_data() { addEveryPicture(); }
    void transparentSurround()
    {
        QFETCH(int, family);
        QFETCH(int, index);
        const QImage image = argb(picture(Family(family), index, 1.0));
        const int w = image.width() - 1;
        const int h = image.height() - 1;
        for (const QPoint corner : {QPoint(0, 0), QPoint(w, 0), QPoint(0, h), QPoint(w, h)})
            QVERIFY2(qAlpha(image.pixel(corner)) < 128,
                     qPrintable(
                         QStringLiteral("corner %1,%2 is opaque").arg(corner.x()).arg(corner.y())));
        for (int y = 0; y <= h; ++y)
            for (int x = 0; x <= w; ++x) {
                const QRgb px = image.pixel(x, y);
                QVERIFY2(qAlpha(px) < 255 || qRed(px) + qGreen(px) + qBlue(px) > 0,
                         qPrintable(QStringLiteral("black pixel at %1,%2").arg(x).arg(y)));
            }
    }

    // Same picture at 1x and 2x (the 2x one, shrunk, is nearer its own 1x
    // than any other picture of the family is), but the 2x one is drawn at
    // its own resolution rather than blown up from 1x.
    void drawnAtResolution_data() { addEveryPicture(); }
    void drawnAtResolution()
    {
        QFETCH(int, family);
        QFETCH(int, index);
        const Family f = Family(family);
        const QImage one = argb(picture(f, index, 1.0));
        const auto shrunk = [&](int i) {
            return argb(picture(f, i, 2.0))
                .scaled(one.size(), Qt::IgnoreAspectRatio, Qt::SmoothTransformation);
        };
        const double own = meanDifference(one, shrunk(index));
        for (int other = 0; other < familyCount(f); ++other)
            if (other != index) {
                const double d = meanDifference(one, shrunk(other));
                QVERIFY2(own < d,
                         qPrintable(QStringLiteral("%1 at 2x (%2) is nearer than itself (%3)")
                                        .arg(other)
                                        .arg(d)
                                        .arg(own)));
            }
        const QImage two = argb(picture(f, index, 2.0));
        const QImage blownUp =
            one.scaled(two.size(), Qt::IgnoreAspectRatio, Qt::FastTransformation);
        QVERIFY(meanDifference(two, blownUp) > 1);
    }

    void allDifferent_data()
    {
        QTest::addColumn<QList<int>>("families");
        QTest::addRow("user icons") << QList<int>{User};
        QTest::addRow("state images") << QList<int>{State};
        // Menu and tab icons can sit side by side in one window.
        QTest::addRow("menu and tab icons") << QList<int>{Menu, Tab};
    }

    void allDifferent()
    {
        QFETCH(QList<int>, families);
        QList<QImage> images;
        QStringList names;
        for (int f : families)
            for (int i = 0; i < familyCount(Family(f)); ++i) {
                images << argb(picture(Family(f), i, 1.0));
                names << QStringLiteral("%1 %2").arg(familyName(Family(f))).arg(i);
            }
        for (int a = 0; a < images.size(); ++a)
            for (int b = a + 1; b < images.size(); ++b)
                QVERIFY2(meanDifference(images[a], images[b]) > 4,
                         qPrintable(names[a] + " looks like " + names[b]));
    }

    void colours_data()
    {
        // colour: 0 red, 1 green, 2 yellow
        columns<int, int, int>("family", "index", "colour");
        QTest::addRow("squelched user red X") << int(User) << 5 << 0;
        QTest::addRow("permasquelched red X") << int(State) << 1 << 0;
        QTest::addRow("safelist tick") << int(State) << 0 << 1;
        QTest::addRow("star-burst") << int(State) << 2 << 2;
    }

    void colours()
    {
        QFETCH(int, family);
        QFETCH(int, index);
        QFETCH(int, colour);
        const std::function<bool(QColor)> tests[] = {reddish, greenish, yellowish};
        for (qreal dpr : {1.0, 2.0}) {
            const QImage image = argb(picture(Family(family), index, dpr));
            const double s = share(image, tests[colour]);
            QVERIFY2(s > 0.6, qPrintable(QStringLiteral("%1 at %2x").arg(s).arg(dpr)));
        }
    }

    void outOfRange_data()
    {
        QTest::addColumn<int>("index");
        QTest::addRow("-1") << -1;
        QTest::addRow("19") << 19;
        QTest::addRow("huge") << (1 << 30);
        QTest::addRow("most negative") << std::numeric_limits<int>::min();
    }

    void outOfRange()
    {
        QFETCH(int, index);
        QVERIFY(TIcons::userIcon(index).isNull());
        QVERIFY(TIcons::userIcon(index, 2.0).isNull());
        QVERIFY(TIcons::stateImage(index).isNull());
        QVERIFY(TIcons::menuIcon(index).isNull());
        QVERIFY(TIcons::tabIcon(index).isNull());
        QVERIFY(TIcons::menuIcon(index).pixmap(16).isNull());
    }

    void lastValidIndexAndBeyond()
    {
        QVERIFY(!TIcons::userIcon(18).isNull());
        QVERIFY(TIcons::userIcon(19).isNull());
        QVERIFY(!TIcons::stateImage(2).isNull());
        QVERIFY(TIcons::stateImage(3).isNull());
        QVERIFY(!TIcons::menuIcon(8).isNull());
        QVERIFY(TIcons::menuIcon(9).isNull());
        QVERIFY(!TIcons::tabIcon(8).isNull());
        QVERIFY(TIcons::tabIcon(9).isNull());
    }

    void badRatioGivesNull_data()
    {
        QTest::addColumn<qreal>("dpr");
        QTest::addRow("zero") << 0.0;
        QTest::addRow("negative") << -2.0;
        QTest::addRow("not a number") << qreal(std::numeric_limits<double>::quiet_NaN());
        QTest::addRow("infinite") << qreal(std::numeric_limits<double>::infinity());
    }

    void badRatioGivesNull()
    {
        QFETCH(qreal, dpr);
        QVERIFY(TIcons::userIcon(0, dpr).isNull());
        QVERIFY(TIcons::stateImage(0, dpr).isNull());
    }

    // Menus grey out disabled items (Disconnect, Away, Home at start).
    void disabledIsGreyed_data()
    {
        columns<int, int>("family", "index");
        for (Family f : {Menu, Tab})
            for (int i = 0; i < familyCount(f); ++i)
                QTest::addRow("%s %d", familyName(f), i) << int(f) << i;
    }

    void disabledIsGreyed()
    {
        QFETCH(int, family);
        QFETCH(int, index);
        const QImage normal = argb(picture(Family(family), index, 1.0));
        const QImage disabled = argb(picture(Family(family), index, 1.0, QIcon::Disabled));
        QCOMPARE(disabled.size(), normal.size());
        QVERIFY(meanDifference(normal, disabled) > 4);
        const auto grey = [](QColor c) {
            return qMax(qAbs(c.red() - c.green()), qAbs(c.green() - c.blue())) <= 3;
        };
        QCOMPARE(share(disabled, grey, 32), 1.0);
        // Still there, only faded.
        int shown = 0;
        for (int y = 0; y < disabled.height(); ++y)
            for (int x = 0; x < disabled.width(); ++x)
                if (qAlpha(disabled.pixel(x, y)) > 0)
                    ++shown;
        QVERIFY(shown >= disabled.width() * disabled.height() / 10);
    }

    // Menus and tab bars paint the icon straight onto their own surface.
    void paintingMatchesPixmap_data()
    {
        columns<int, int, qreal>("family", "index", "dpr");
        for (Family f : {Menu, Tab})
            for (int i = 0; i < familyCount(f); ++i)
                for (qreal dpr : {1.0, 2.0})
                    QTest::addRow("%s %d @%gx", familyName(f), i, dpr) << int(f) << i << dpr;
    }

    void paintingMatchesPixmap()
    {
        QFETCH(int, family);
        QFETCH(int, index);
        QFETCH(qreal, dpr);
        const QIcon icon =
            Family(family) == Menu ? TIcons::menuIcon(index) : TIcons::tabIcon(index);
        QImage surface(QSize(16, 16) * dpr, QImage::Format_ARGB32_Premultiplied);
        surface.setDevicePixelRatio(dpr);
        surface.fill(Qt::transparent);
        QPainter p(&surface);
        icon.paint(&p, QRect(0, 0, 16, 16));
        p.end();
        const QImage pixmap = argb(icon.pixmap(QSize(16, 16), dpr));
        surface = surface.convertToFormat(QImage::Format_ARGB32);
        surface.setDevicePixelRatio(1.0);
        QVERIFY(visiblePixels(surface) > 0);
        QVERIFY2(meanDifference(surface, pixmap) < 3,
                 qPrintable(QString::number(meanDifference(surface, pixmap))));
    }

    void appIconSizes_data()
    {
        QTest::addColumn<int>("size");
        for (int size : {16, 24, 32, 48, 64, 128, 256})
            QTest::addRow("%d", size) << size;
    }

    void appIconSizes()
    {
        QFETCH(int, size);
        const QImage image = TIcons::appIconImage(size).convertToFormat(QImage::Format_ARGB32);
        QCOMPARE(image.size(), QSize(size, size));
        QVERIFY(visiblePixels(image) > size * size / 3);
        QVERIFY(qAlpha(image.pixel(size - 1, size - 1)) < 128);
        QVERIFY(qAlpha(image.pixel(size / 2, size / 3)) == 255);

        const QPixmap pm = TIcons::appIcon().pixmap(QSize(size, size));
        QCOMPARE(pm.size(), QSize(size, size));
        QVERIFY(meanDifference(argb(pm), image) < 3);
    }

    void appIconAsIcon()
    {
        const QIcon icon = TIcons::appIcon();
        QVERIFY(!icon.isNull());
        const QList<QSize> sizes = icon.availableSizes();
        QVERIFY(sizes.contains(QSize(16, 16)));
        QVERIFY(sizes.contains(QSize(256, 256)));
        const QPixmap sharp = icon.pixmap(QSize(32, 32), 2.0);
        QCOMPARE(sharp.size(), QSize(64, 64));
        QCOMPARE(sharp.devicePixelRatio(), 2.0);
        QVERIFY(TIcons::appIconImage(0).isNull());
        QVERIFY(TIcons::appIconImage(-5).isNull());
    }
};

QTEST_MAIN(TestIcons)
#include "test_icons.moc"
