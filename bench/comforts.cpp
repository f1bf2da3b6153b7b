// The comforts' costs: finding in a long transcript, stepping between
// matches, and what links and marked mentions add to the line path.
#include "bench/cases.h"

#include "core/settingsstore.h"
#include "mainwindow/comforts.h"
#include "preferences/Toptions.h"
#include "widgets/TTranscriptView.h"
#include "widgets/findbar.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QKeyEvent>
#include <QLabel>
#include <QLineEdit>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <vector>

namespace {

// Lines of a busy channel as the pane holds them: 80 characters, time
// stamp and name included.
QString benchLine(int i, const QString &extra = QString())
{
    QString text = QStringLiteral("[10:15:%1 PM] <Member%2> ")
                       .arg(i % 60, 2, 10, QLatin1Char('0'))
                       .arg(i % 500) +
                   extra;
    static const char *const words[] = {"quick", "brown", "fox",   "jumps", "over",   "the",
                                        "lazy",  "dog",   "while", "seven", "zebras", "hum"};
    for (int k = 0; text.size() < 80; ++k)
        text += QLatin1Char(' ') + QLatin1String(words[(i * 7 + k * 5) % 12]);
    text.truncate(80);
    return text;
}

// Runs the event loop until the pane has painted what it shows now.
void settle(TTranscriptView *view)
{
    QCoreApplication::processEvents();
    view->viewport()->repaint();
}

// Lines per second of a flood from the gateway, with the comforts on or off;
// shown: the window is on the screen (what an accessibility bridge reads).
double floodRate(bool comforts, int lines, bool shown = false)
{
    TBenchSession s(TPaneKind::View,
                    {QStringLiteral("squelchFlooders=0"), QStringLiteral("squelchAscii=0"),
                     QStringLiteral("squelchUc=0"), QStringLiteral("timeStamps=1"),
                     QStringLiteral("keeplog=0")});
    for (TSetting::Id id : {TSetting::showLinks, TSetting::markMentions})
        s.main->store->setFlag(id, comforts);
    s.main->comforts->applyComfortSettings();
    if (shown) {
        s.main->show();
        if (!waitFor([&] { return s.main->windowHandle() && s.main->windowHandle()->isExposed(); },
                     10000)) {
            std::fprintf(stderr, "bench: the window was never shown\n");
            return 0;
        }
    }
    GatewayProcess gateway = benchGateway({QStringLiteral("--no-flood-quota"),
                                           QStringLiteral("--burst"), QString::number(lines),
                                           QStringLiteral("--burst-length"), QStringLiteral("60")});
    QElapsedTimer clock;
    bool started = false, done = false;
    qint64 count = 0;
    const QString lastMark =
        QStringLiteral("> Line ") + QString::number(lines - 1) + QLatin1Char(' ');
    s.probe.onAppend = [&](const QString &text) {
        if (!started) {
            if (!text.contains(QStringLiteral("<Swift> Line 0 ")))
                return;
            started = true;
            clock.start();
        }
        ++count;
        if (text.contains(lastMark))
            done = true;
    };
    if (!s.logIn(gateway.port()) || !waitFor([&] { return done; }, 300000)) {
        std::fprintf(stderr, "bench: the flood did not arrive whole\n");
        return 0;
    }
    const double rate = double(count) / (double(clock.nsecsElapsed()) / 1e9);
    s.probe.onAppend = nullptr;
    return rate;
}
} // namespace

void caseA11yFlood(int lines)
{
    // Run twice by bench/run on a virtual X server, with and without a
    // screen reader's listener on the accessibility bus.
    result("a11y_lines_per_s", floodRate(true, lines, true));
}

void caseSearch()
{
    TBenchSession s(TPaneKind::View, {QStringLiteral("timeStamps=1")});
    TTranscriptView *view = dynamic_cast<TTranscriptView *>(s.main->chat);
    if (!view)
        return;
    const int n = 1000000;
    // The only "Zanzibar" in the oldest line; "Kestrel" every 1,000 lines.
    for (int i = 0; i < n; ++i)
        view->appendLine(benchLine(i, i == 0            ? QStringLiteral("Zanzibar")
                                      : i % 1000 == 500 ? QStringLiteral("Kestrel")
                                                        : QString()),
                         {{27, Qt::darkRed}, {53, Qt::black}});
    settle(view);
    s.main->comforts->openFindBar();
    TFindBar *bar = s.main->comforts->findBar();
    std::vector<double> firsts;
    for (int round = 0; round < 7; ++round) {
        bar->field()->clear();
        settle(view);
        QElapsedTimer t;
        t.start();
        bar->field()->setText(QStringLiteral("zanzibar"));
        settle(view);
        const double ms = double(t.nsecsElapsed()) / 1e6;
        const TTranscriptSearch &found = view->search();
        if (bar->countLabel()->text() != QLatin1String("1 of 1") ||
            view->characterRect(found.at(0).line, found.at(0).column).isNull()) {
            std::fprintf(stderr, "bench: the match was not shown (%s)\n",
                         qPrintable(bar->countLabel()->text()));
            return;
        }
        firsts.push_back(ms);
    }
    result("search_1m_ms", median(firsts));
    result("search_1m_ms_high", *std::max_element(firsts.begin(), firsts.end()));

    bar->field()->setText(QStringLiteral("kestrel"));
    settle(view);
    if (view->search().count() != 1000) {
        std::fprintf(stderr, "bench: %d matches instead of 1000\n", view->search().count());
        return;
    }
    std::vector<double> steps;
    for (int i = 0; i < 200; ++i) {
        const int before = view->search().current();
        QElapsedTimer t;
        t.start();
        QKeyEvent enter(QEvent::KeyPress, Qt::Key_Return, Qt::NoModifier);
        QCoreApplication::sendEvent(bar->field(), &enter);
        settle(view);
        steps.push_back(double(t.nsecsElapsed()) / 1e6);
        const int now = view->search().current();
        if (now != (before + 1) % 1000 ||
            view->characterRect(view->search().at(now).line, view->search().at(now).column)
                .isNull()) {
            std::fprintf(stderr, "bench: Enter did not show the next match\n");
            return;
        }
    }
    result("search_next_ms", median(steps));
    result("search_next_ms_high", *std::max_element(steps.begin(), steps.end()));
}

void caseComforts()
{
    // Alternating rounds, off then on, then on then off, so that a drift of
    // the machine falls on both alike; the ratio is off/on per pair.
    std::vector<double> ratios;
    for (int round = 0; round < 10; ++round) {
        const bool onFirst = round % 2;
        const double a = floodRate(onFirst, 200000);
        const double b = floodRate(!onFirst, 200000);
        if (a <= 0 || b <= 0)
            return;
        const double off = onFirst ? b : a, on = onFirst ? a : b;
        ratios.push_back(off / on);
    }
    ratioResult("comforts_overhead", ratios);
}
