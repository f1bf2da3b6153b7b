// Every page of the preferences dialog under the faces desktops use, each
// set as the application font: no control squeezed below the size it needs,
// no caption cut off, every tab caption whole, the percentage boxes over
// no words; the designed size kept where the pages fit it.
#include "optionstestutil.h"
#include "support/datarows.h"
#include "support/layoutfit.h"
#include "support/waits.h"

#include <QScrollArea>
#include <QScrollBar>
#include <QStyleOptionButton>

using layoutfit::Face;

namespace {
// What a tab needs for its caption and picture, as the bar itself asks.
struct TabNeeds : QTabBar {
    using QTabBar::tabSizeHint;
};
QSize tabNeeds(const QTabBar *bar, int i)
{
    const auto hint = &TabNeeds::tabSizeHint;
    return (bar->*hint)(i);
}

// The application font as it was, back at the end of a test.
struct KeepFont {
    QFont font = QApplication::font();
    ~KeepFont() { QApplication::setFont(font); }
};

// Where the box in a caption's gap covers words: "" when it covers none.
QString gapCoversWords(const TGapCheckBox *check)
{
    const auto *box = check->findChild<QSpinBox *>();
    if (!box)
        return QStringLiteral("no box in the gap");
    QStyleOptionButton opt;
    opt.initFrom(check);
    opt.text = check->shownCaption();
    const QRect text = check->style()->subElementRect(QStyle::SE_CheckBoxContents, &opt, check);
    const QFontMetrics fm(check->font());
    const QString shown = check->shownCaption();
    const int wordsEnd =
        text.left() + fm.horizontalAdvance(QStringLiteral("Squelch when more than"));
    const int percentStart =
        text.left() + fm.horizontalAdvance(shown.left(shown.indexOf(QLatin1Char('%'))));
    if (box->geometry().left() < wordsEnd || box->geometry().right() >= percentStart ||
        !check->rect().contains(box->geometry()))
        return QStringLiteral("%1 lies at %2..%3, the gap is %4..%5")
            .arg(check->objectName())
            .arg(box->geometry().left())
            .arg(box->geometry().right())
            .arg(wordsEnd)
            .arg(percentStart);
    return QString();
}
} // namespace

class TestOptionsLayout : public QObject {
    Q_OBJECT
private Q_SLOTS:
    void cleanupTestCase()
    {
        m_dialog.reset();
        m_dir.reset();
    }

    void pagesFit_data()
    {
        columns<QString, int, int, QString>("family", "points", "tab", "caption");
        const QStringList pages{"General",
                                "Logging",
                                "Features",
                                "Appearance",
                                "Autosquelch Triggers",
                                "Autosquelch Options",
                                "Safelist",
                                "Product Actions",
                                "Advanced"};
        // Face by face, so that one dialog serves all the pages of a face.
        for (const Face &face : layoutfit::desktopFaces())
            for (int tab = 0; tab < pages.size(); ++tab)
                QTest::newRow(qPrintable(face.name() + QStringLiteral(" / ") + pages[tab]))
                    << face.family << face.points << tab << pages[tab];
    }
    void pagesFit()
    {
        QFETCH(QString, family);
        QFETCH(int, points);
        QFETCH(int, tab);
        Toptions *o = dialogFor({family, points});
        QVERIFY2(o, qPrintable(m_fontProblem));
        QCOMPARE(QFontInfo(o->font()).family(), family);
        QFETCH(QString, caption);
        QCOMPARE(o->tabs->tabText(tab), caption);
        o->tabs->setCurrentIndex(tab);
        QCoreApplication::processEvents();

        const QStringList problems = layoutfit::squeezed(o);
        QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n   "))));

        // Every tab shows its whole caption and picture, in the bar.
        TMultiRowTabBar *bar = o->tabs->rows();
        for (int i = 0; i < bar->count(); ++i) {
            const QRect r = bar->rowTabRect(i);
            QVERIFY2(bar->rect().contains(r) && r.width() >= tabNeeds(bar, i).width() &&
                         r.height() >= tabNeeds(bar, i).height(),
                     qPrintable(o->tabs->tabText(i)));
        }

        // The dialog is as tall as designed and no narrower; it widens only
        // for a page that needs it, and a page scrolls only when taller
        // than its room.
        QCOMPARE(o->height(), 310);
        QCOMPARE(o->minimumSize(), o->maximumSize());
        QWidget *page = o->tabs->widget(tab);
        auto *area = qobject_cast<QScrollArea *>(page);
        QWidget *inside = area ? area->widget() : page;
        QVERIFY(inside->width() >= inside->minimumSizeHint().width());
        QVERIFY(inside->height() >= inside->minimumSizeHint().height());
        if (area) {
            QVERIFY2(inside->minimumSizeHint().height() > area->viewport()->height(),
                     "scrolls without need");
            QVERIFY(area->verticalScrollBar()->isVisible());
        }
        const int scrollBarWidth = QScrollBar(Qt::Vertical).sizeHint().width();
        int widest = 0;
        for (int i = 0; i < o->tabs->count(); ++i) {
            auto *a = qobject_cast<QScrollArea *>(o->tabs->widget(i));
            widest =
                qMax(widest, (a ? a->widget() : o->tabs->widget(i))->minimumSizeHint().width() +
                                 (a ? scrollBarWidth : 0));
        }
        // No wider than the widest page, and its scroll bar where it needed
        // one at a narrower width (which then had more rows of tabs).
        if (o->width() > 457)
            QVERIFY2(page->width() >= widest && page->width() <= widest + scrollBarWidth,
                     qPrintable(QStringLiteral("%1 for %2").arg(page->width()).arg(widest)));

        for (const TGapCheckBox *check : page->findChildren<TGapCheckBox *>()) {
            const QString covered = gapCoversWords(check);
            QVERIFY2(covered.isEmpty(), qPrintable(covered));
        }
    }

    // On a page that scrolls, the keyboard reaches every control and the
    // page scrolls to show it; the scroll area itself takes no Tab stop.
    void tabScrollsToControls()
    {
        Toptions *o = dialogFor({QStringLiteral("DejaVu Sans"), 11});
        QVERIFY2(o, qPrintable(m_fontProblem));
        o->tabs->setCurrentIndex(4);
        auto *area = qobject_cast<QScrollArea *>(o->tabs->currentWidget());
        QVERIFY(area);
        QCOMPARE(area->focusPolicy(), Qt::NoFocus);
        o->activateWindow();
        QVERIFY(waitActive(o));
        o->squelchFlooders->setFocus(Qt::TabFocusReason);
        const auto shown = [area](QWidget *w) {
            return area->viewport()->rect().contains(
                QRect(w->mapTo(area->viewport(), QPoint(0, 0)), w->size()));
        };
        QVERIFY(shown(o->squelchFlooders));
        QVERIFY(!shown(o->testTrigger));
        for (int i = 0; i < 20 && QApplication::focusWidget() != o->testTrigger; ++i)
            QTest::keyClick(QApplication::focusWidget(), Qt::Key_Tab);
        QCOMPARE(QApplication::focusWidget(), o->testTrigger);
        QVERIFY(shown(o->testTrigger));
    }

    // Where the pages fit the designed client area, the dialog keeps it:
    // Liberation Sans at 8 points, Arial's width at the size the area was
    // drawn for. A page taller than its room scrolls (the trigger page
    // does, by a few pixels).
    void designedSize()
    {
        KeepFont keep;
        const QString problem =
            layoutfit::useApplicationFont({QStringLiteral("Liberation Sans"), 8});
        QVERIFY2(problem.isEmpty(), qPrintable(problem));
        ScratchDir dir;
        Toptions o;
        o.show();
        QCoreApplication::processEvents();
        QCOMPARE(o.size(), QSize(457, 310));
        QCOMPARE(o.minimumSize(), o.maximumSize());
        for (int tab = 0; tab < o.tabs->count(); ++tab) {
            o.tabs->setCurrentIndex(tab);
            QCoreApplication::processEvents();
            const QStringList problems = layoutfit::squeezed(&o);
            QVERIFY2(problems.isEmpty(), qPrintable(problems.join(QStringLiteral("\n   "))));
            if (auto *area = qobject_cast<QScrollArea *>(o.tabs->widget(tab)))
                QVERIFY2(area->widget()->minimumSizeHint().height() > area->viewport()->height(),
                         "scrolls without need");
        }
    }

private:
    // The dialog for face, made under it (the controls measure their
    // captions as they are made), reused for the pages of the same face.
    Toptions *dialogFor(const Face &face)
    {
        if (m_dialog && m_face == face.name())
            return m_dialog.get();
        m_dialog.reset();
        m_face = face.name();
        m_fontProblem = layoutfit::useApplicationFont(face);
        if (!m_fontProblem.isEmpty())
            return nullptr;
        if (!m_dir) {
            m_dir = std::make_unique<ScratchDir>();
            // Lists with entries and the widest numbers, as a user may have.
            writeBytes(QStringLiteral("tressel.conf"),
                       "username=Tresseler\r\nsquelchFlooders=1\r\nsquelchAscii=1\r\n"
                       "asciiPercentage=100\r\nucPercentage=100\r\nleetPercentage=100\r\n"
                       "triggerPhrase=buy gold\r\ntriggerPhrase=^free .*items\r\n"
                       "safe=Arthas\r\nsafe=jaina\r\nminLineLength=255\r\nhistoryDelay=600\r\n");
        }
        m_dialog = std::make_unique<Toptions>();
        m_dialog->show();
        QCoreApplication::processEvents();
        return m_dialog.get();
    }

    KeepFont m_keep;
    ScriptedDialogs m_scripted;
    std::unique_ptr<ScratchDir> m_dir;
    std::unique_ptr<Toptions> m_dialog;
    QString m_face, m_fontProblem;
};

QTEST_MAIN(TestOptionsLayout)
#include "test_options_layout.moc"
