#pragma once
// The measurements. Each runs in a process of its own and prints its
// figures as "result NAME VALUE" lines on standard output.
#include "bench/benchsession.h"

#include <QStringList>

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

// The trigger phrases of the moderated runs: none matches the flood's lines.
QStringList benchTriggers(int count);
