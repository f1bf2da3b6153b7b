#pragma once
// Runs the calls queued so far (a prompt put off until the read handler is
// done, the rest of an arrival a failed handler left, say) and those they
// queue in turn, for rounds rounds: a round is over when a call queued
// after them has run.
#include <QCoreApplication>
#include <QtTest>

inline void runQueuedCalls(int rounds = 3)
{
    for (int i = 0; i < rounds; ++i) {
        bool ran = false;
        QMetaObject::invokeMethod(
            QCoreApplication::instance(), [&ran] { ran = true; }, Qt::QueuedConnection);
        QTRY_VERIFY_WITH_TIMEOUT(ran, 5000);
    }
}
