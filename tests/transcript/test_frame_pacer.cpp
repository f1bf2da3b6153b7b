#include "widgets/framepacer.h"

#include <QElapsedTimer>
#include <QtTest>

#include <functional>
#include <map>
#include <set>
#include <vector>

// Runs the event loop, one pass at a time, for ms milliseconds.
static void spinFor(int ms, const std::function<void()> &eachPass = {})
{
    QElapsedTimer t;
    t.start();
    while (t.elapsed() < ms) {
        if (eachPass)
            eachPass();
        QCoreApplication::processEvents(QEventLoop::AllEvents, 1);
    }
}

class TestFramePacer : public QObject {
    Q_OBJECT

private Q_SLOTS:
    void quietRequestRunsAtTheNextPassOnce()
    {
        QObject owner;
        int runs = 0;
        auto *pacer = new TFramePacer([&runs] { ++runs; }, &owner);
        for (int i = 0; i < 100; ++i)
            pacer->request();
        QVERIFY(pacer->pending());
        QCOMPARE(runs, 0); // never inside the request
        QCoreApplication::processEvents();
        QCOMPARE(runs, 1);
        QVERIFY(!pacer->pending());
        spinFor(3 * TFramePacer::frameMs);
        QCOMPARE(runs, 1);

        // A frame after the last run, the next request is not kept waiting.
        pacer->request();
        QCoreApplication::processEvents();
        QCOMPARE(runs, 2);
    }

    void busyRequestsRunOnceAFrame()
    {
        QObject owner;
        QElapsedTimer clock;
        clock.start();
        std::vector<qint64> at;
        auto *pacer = new TFramePacer([&] { at.push_back(clock.nsecsElapsed()); }, &owner);
        int passes = 0;
        spinFor(240, [&] {
            ++passes;
            pacer->request();
        });
        const qint64 spent = clock.elapsed();
        spinFor(2 * TFramePacer::frameMs); // the last one runs too
        QVERIFY(!pacer->pending());
        // Liveness: work keeps being done while asked for.
        QVERIFY2(at.size() >= 4, qPrintable(QString::number(at.size())));
        QVERIFY2(int(at.size()) * 3 < passes,
                 qPrintable(QStringLiteral("%1 runs in %2 passes").arg(at.size()).arg(passes)));
        // At most one run a frame: no more runs than frames, and two runs
        // apart are in frames apart.
        QVERIFY(qint64(at.size()) <= spent / TFramePacer::frameMs + 3);
        for (size_t i = 2; i < at.size(); ++i) {
            const double gapMs = double(at[i] - at[i - 2]) / 1e6;
            QVERIFY2(gapMs > TFramePacer::frameMs, qPrintable(QString::number(gapMs)));
        }
    }

    void pacersShareOnePassAFrame()
    {
        // One pane busy, another asked now and then, a third rarely: in each
        // frame they all run in one pass, so the window repaints once.
        QObject owner;
        int pass = 0;
        std::map<qint64, std::set<int>> passesOfFrame;
        std::vector<int> ran(3, 0);
        std::vector<TFramePacer *> pacers;
        for (int i = 0; i < 3; ++i)
            pacers.push_back(new TFramePacer(
                [&, i] {
                    ++ran[size_t(i)];
                    passesOfFrame[TFramePacer::currentFrame()].insert(pass);
                },
                &owner));
        spinFor(200, [&] {
            ++pass;
            pacers[0]->request();
            if (pass % 7 == 0)
                pacers[1]->request();
            if (pass % 13 == 0)
                pacers[2]->request();
        });
        spinFor(2 * TFramePacer::frameMs);
        for (int i = 0; i < 3; ++i)
            QVERIFY2(ran[size_t(i)] >= 3, qPrintable(QString::number(i)));
        for (const auto &[frame, passes] : passesOfFrame)
            QVERIFY2(
                passes.size() == 1,
                qPrintable(QStringLiteral("frame %1: %2 passes").arg(frame).arg(passes.size())));
    }

    // Inside the event loop's exec(), as in the program, a request runs
    // when the next pass begins, with no posted call of its own (which would
    // wake the loop once more), and a busy one still runs once a frame.
    void insideTheEventLoop()
    {
        QObject owner;
        int runs = 0;
        auto *pacer = new TFramePacer([&runs] { ++runs; }, &owner);
        struct PostedCalls : QObject {
            int count = 0;
            bool eventFilter(QObject *, QEvent *e) override
            {
                count += e->type() == QEvent::MetaCall;
                return false;
            }
        } posted;
        pacer->installEventFilter(&posted);
        QEventLoop loop;
        int runsInTheRequestsPass = -1, runsAtTheNextPass = -1;
        QMetaObject::invokeMethod(
            &loop,
            [&] {
                pacer->request();
                runsInTheRequestsPass = runs;
                QMetaObject::invokeMethod(
                    &loop,
                    [&] {
                        runsAtTheNextPass = runs;
                        loop.quit();
                    },
                    Qt::QueuedConnection);
            },
            Qt::QueuedConnection);
        QTimer::singleShot(5000, &loop, &QEventLoop::quit);
        loop.exec();
        QCOMPARE(runsInTheRequestsPass, 0);
        QCOMPARE(runsAtTheNextPass, 1);
        QCOMPARE(posted.count, 0);

        // Asked in every pass for 240 ms.
        runs = 0;
        QElapsedTimer clock;
        clock.start();
        QTimer busy;
        busy.setInterval(0);
        connect(&busy, &QTimer::timeout, &loop, [&] {
            pacer->request();
            if (clock.elapsed() > 240)
                loop.quit();
        });
        busy.start();
        loop.exec();
        busy.stop();
        const qint64 spent = clock.elapsed();
        QVERIFY2(runs >= 4, qPrintable(QString::number(runs)));
        QVERIFY2(runs <= spent / TFramePacer::frameMs + 3, qPrintable(QString::number(runs)));
        QCOMPARE(posted.count, 0);
        spinFor(2 * TFramePacer::frameMs); // the next test starts in a frame of its own
    }

    void goesWithItsOwner()
    {
        int runs = 0;
        auto owner = std::make_unique<QObject>();
        auto *pacer = new TFramePacer([&runs] { ++runs; }, owner.get());
        pacer->request();
        owner.reset();
        QCoreApplication::processEvents();
        QCOMPARE(runs, 0);

        // Deleted while it waits for the next frame.
        owner = std::make_unique<QObject>();
        pacer = new TFramePacer([&runs] { ++runs; }, owner.get());
        pacer->request();
        QCoreApplication::processEvents();
        QCOMPARE(runs, 1);
        pacer->request(); // almost always in the frame it ran in, so it waits
        QVERIFY(pacer->pending());
        owner.reset();
        spinFor(3 * TFramePacer::frameMs);
        QCOMPARE(runs, 1);
    }
};

QTEST_GUILESS_MAIN(TestFramePacer)
#include "test_frame_pacer.moc"
