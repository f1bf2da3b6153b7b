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
