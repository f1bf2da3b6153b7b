#pragma once
// The measurements. Each runs in a process of its own and prints its
// figures as "result NAME VALUE" lines on standard output.
#include "bench/benchsession.h"

#include <QMap>
#include <QStringList>

#include <vector>

// A figure, printed as "result NAME VALUE".
void result(const char *name, double value);
double median(std::vector<double> values);
// A ratio measured over alternating rounds: its median, and the lowest and
// highest round, printed as name, name_low and name_high.
void ratioResult(const char *name, std::vector<double> ratios);

// Holds the calling thread on one processor while it lives (Linux; where
// it cannot, it does nothing). Threads started meanwhile are not held.
class TPinnedThread {
public:
    explicit TPinnedThread(int cpu);
    ~TPinnedThread();
    TPinnedThread(const TPinnedThread &) = delete;
    TPinnedThread &operator=(const TPinnedThread &) = delete;
    // The processor the calling thread runs on (-1: not known).
    static int currentCpu();

private:
    bool m_held = false;
    alignas(unsigned long) unsigned char m_before[128]; // the affinity it had
};

void caseParse();
void caseEndToEnd(TPaneKind pane, bool moderated, bool chatLog, int lines);
void caseAutosquelch();
void caseJoins();
void caseBurst();
void caseIdle();
void caseSquelchList();
void caseSoak(int seconds);
// The moderation journal (journalcases.cpp).
void caseJournalOverhead();
void caseTester();
void caseJournalOpen();
// comforts.cpp
void caseSearch();
void caseComforts();
void caseA11yFlood(int lines);

// The trigger phrases of the moderated runs: none matches the flood's lines.
QStringList benchTriggers(int count);
// tressel.conf lines of the moderated runs: the autosquelch and triggers.
QStringList moderatedConf(int triggers);

// The history (historycases.cpp). Its large file of lines, made once and
// kept in the benchmark's build folder.
QString historyBenchFile(qint64 lines);
void caseHistoryQueries(qint64 lines);
void caseHistoryOverhead(int lines, int pairs);

// Staying connected, on network namespaces (faultcases.cpp): one run of a
// case (quiet, typing, back, outage).
void caseFault(const QStringList &args);
// Why the namespaces cannot be made here (not root, no netns); empty when
// they can.
QString faultNetworkMissing();
// Three runs of each case, at once; the medians, with _low and _high. What
// went wrong is added to problems.
QMap<QString, double> measureFaults(QStringList *problems);
