// The moderation journal's costs: what journalling adds to the moderated
// line path, one trigger tester evaluation, opening a full journal window.
#include "bench/cases.h"

#include "base/clock.h"
#include "connection/TChatInterface.h"
#include "core/settingsstore.h"
#include "interpreter/TBnetChat.h"
#include "mainwindow/journal.h"
#include "mainwindow/journalwindow.h"
#include "preferences/Toptions.h"
#include "preferences/triggertesterdialog.h"
#include "rules/journal.h"
#include "session/TSession.h"

#include <QCheckBox>
#include <QCoreApplication>
#include <QElapsedTimer>
#include <QFile>
#include <QTableView>
#include <QWindow>

#include <algorithm>
#include <cstdio>
#include <string>
#include <vector>

namespace {

QStringList moderatedJournalConf()
{
    QStringList conf = {QStringLiteral("squelchFlooders=1"), QStringLiteral("squelchAscii=1"),
                        QStringLiteral("squelchUc=1"),       QStringLiteral("squelchPrompt=0"),
                        QStringLiteral("autoAction=1"),      QStringLiteral("asciiPercentage=40"),
                        QStringLiteral("ucPercentage=60"),   QStringLiteral("timeStamps=1")};
    for (const QString &t : benchTriggers(50))
        conf << QStringLiteral("triggerPhrase=") + t;
    return conf;
}

QString talkText(int i)
{
    static const char *const words[] = {"Quick",  "brown", "Fox",    "jumps", "over",
                                        "the",    "Lazy",  "dog",    "while", "Seven",
                                        "zebras", "hum",   "Softly", "under", "moonlight"};
    QString text = QStringLiteral("Line ") + QString::number(i);
    for (int k = 0; text.size() < 58; ++k)
        text += QLatin1Char(' ') + QLatin1String(words[(i * 7 + k * 5) % 15]);
    return text.left(58);
}

} // namespace

void caseJournalOverhead()
{
    // The moderated line path (delivery from the connection on, autosquelch
    // with 50 triggers, timestamps) on a flood of 100,000 lines in which
    // 10,000 members shout once each: every shout is a verdict, a
    // "/squelch " and, with the journal on, an entry in journal.log. The
    // same flood with the journal off and on, in alternating rounds; the
    // ratio of the rates is the median round's.
    constexpr int lines = 100000, shouters = 10000;
    QStringList flood;
    flood.reserve(lines);
    const char *const senders[] = {"Swift", "Quill", "Rapid"};
    for (int i = 0; i < lines; ++i) {
        if (i % (lines / shouters) == 0)
            flood << QStringLiteral("1005 TALK Loud%1 0010 \"STOP SHOUTING AT ONCE %1\"").arg(i);
        else
            flood << QStringLiteral("1005 TALK %1 0010 \"%2\"")
                         .arg(QLatin1String(senders[i % 3]), talkText(i));
    }
    TBenchSession off(TPaneKind::View, moderatedJournalConf());
    TBenchSession on(TPaneKind::View, moderatedJournalConf());
    off.main->store->setFlag(TSetting::keepJournal, false);
    on.main->store->setFlag(TSetting::keepJournal, true);
    std::vector<double> ratios;
    double best[2] = {1e300, 1e300};
    for (int round = 0; round < 9; ++round) { // 9: the count of entries below
        double took[2] = {0, 0};
        for (int turn = 0; turn < 2; ++turn) {
            const int k = round % 2 ? 1 - turn : turn;
            Tmain *m = (k ? on : off).main.get();
            m->chat->clear();
            for (const char *who : senders)
                m->session->bnet->OnDataReceived(
                    QStringLiteral("1001 USER %1 0010 [CHAT]").arg(QLatin1String(who)));
            QElapsedTimer t;
            t.start();
            int at = 0;
            for (const QString &line : flood) {
                m->session->bnet->OnDataReceived(line);
                // A read's worth of lines, then the event loop's pass (the
                // journal writes the rest of a pass's entries at its end).
                // Not connected: a tick drops the waiting "/squelch " lines,
                // as a connected client would send them.
                if (++at % 1000 == 0) {
                    m->session->process->floodTimerTick();
                    QCoreApplication::processEvents();
                }
            }
            took[k] = double(t.nsecsElapsed());
            best[k] = std::min(best[k], took[k]);
            QCoreApplication::processEvents();
        }
        ratios.push_back(took[1] / std::max(1.0, took[0]));
    }
    QFile journal(on.path(QStringLiteral("journal.log")));
    const qint64 entries = journal.open(QIODevice::ReadOnly) ? journal.readAll().count("\r\n") : -1;
    result("journal_entries_per_flood", double(entries) / 9);
    result("journal_off_lines_per_s", lines / (best[0] / 1e9));
    result("journal_on_lines_per_s", lines / (best[1] / 1e9));
    std::sort(ratios.begin(), ratios.end());
    result("journal_overhead", median(ratios));
    result("journal_overhead_low", ratios.front());
    result("journal_overhead_high", ratios.back());
}

void caseTester()
{
    // 1,000 judged lines in the tester's buffer, the bench's 50 triggers,
    // and a pattern that matches a tenth of the lines.
    TBenchSession s(TPaneKind::View, moderatedJournalConf());
    Tmain &m = *s.main;
    for (int i = 0; i < 1000; ++i)
        m.processTalk(QStringLiteral("Member%1").arg(i % 40),
                      i % 10 ? talkText(i)
                             : QStringLiteral("buy cheap gold at www.example%1.com").arg(i));
    TTriggerTesterDialog *d = m.options->openTriggerTester(
        m.options, -1, QStringLiteral("(?i)cheap\\s+gold"), QStringLiteral("CHEAP GOLD HERE NOW"));
    std::vector<double> ms;
    for (int i = 0; i < 20; ++i) {
        // A changed pattern each time, so nothing is reused from the last one.
        d->pattern->setText(QStringLiteral("(?i)cheap\\s+gold(?:%1)?").arg(i));
        QElapsedTimer t;
        t.start();
        d->evaluateNow();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
    }
    result("tester_matches", double(d->result().matchedLines.size()));
    result("tester_1k_ms", median(ms));
    d->reject();
}

void caseJournalOpen()
{
    // A journal.log of 10,000 entries; from Ctrl+J to the window on screen
    // and painted. Five fresh windows, the median.
    QByteArray bytes;
    QDateTime at(QDate(2026, 12, 1), QTime(8, 0));
    for (int i = 0; i < 10000; ++i) {
        const bool trigger = i % 3 == 0;
        bytes += journal::formatEntry(
            {at.addSecs(i).toString(journal::timeFormat),
             i % 2 ? journal::squelchAction : journal::permasquelchAction,
             QStringLiteral("Member%1").arg(i),
             trigger ? QStringLiteral("Trigger Phrase") : QStringLiteral("Uppercase Characters"),
             trigger ? QStringLiteral("(?i)free\\s+gold0") : QString(),
             QStringLiteral("FREE GOLD for everyone at once %1").arg(i)});
        if (i % 50 == 49)
            bytes += journal::formatEntry({at.addSecs(i).toString(journal::timeFormat),
                                           journal::unsquelchAction,
                                           QStringLiteral("Member%1").arg(i - 1),
                                           journal::undoReason,
                                           at.addSecs(i - 1).toString(journal::timeFormat),
                                           {}});
    }
    std::vector<double> ms;
    for (int round = 0; round < 5; ++round) {
        TBenchSession s(TPaneKind::View, {});
        QFile f(s.path(QStringLiteral("journal.log")));
        if (f.open(QIODevice::WriteOnly))
            f.write(bytes);
        f.close();
        s.main->show();
        waitFor([&] { return s.main->windowHandle() && s.main->windowHandle()->isExposed(); },
                5000);
        QElapsedTimer t;
        t.start();
        s.main->journalDesk->JournalClick();
        TJournalWindow *w = s.main->journalDesk->journalWindow();
        waitFor([&] { return w->windowHandle() && w->windowHandle()->isExposed(); }, 5000);
        w->repaint();
        ms.push_back(double(t.nsecsElapsed()) / 1e6);
        if (w->model->rowCount() < 10000)
            std::fprintf(stderr, "bench: the journal window shows %d entries\n",
                         w->model->rowCount());
    }
    result("journal_open_ms", median(ms));
}
