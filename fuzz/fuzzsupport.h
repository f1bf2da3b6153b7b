#pragma once
// What every fuzz target needs: a headless application, a working directory
// of its own, a fixed clock and locale, and dialogs that answer at once.
#include "support/scripteddialogs.h"

#include <QByteArray>
#include <QString>
#include <QStringList>

#include <cstddef>
#include <cstdint>

// Starts the application (once) in a fresh temporary working directory.
void startFuzzApplication();
// The dialogs in force: they answer at once and record nothing but a
// count, as a run asks millions of them.
ScriptedDialogs &fuzzDialogs();

// Writes bytes to name in the working directory, replacing it.
void writeFuzzFile(const QString &name, const QByteArray &bytes);
void removeFuzzFile(const QString &name);

// Runs the queued calls (error boxes, prompts, list rebuilds) and deletes
// what waits for deletion.
void settleEvents();

// A configuration with every moderation feature on and the logs going to
// /dev/null, so that every handler takes its longest road.
QByteArray everythingOnConfig();

// Stops the run with a message when a promise of the program is broken.
[[noreturn]] void fuzzFailure(const char *what, const QString &detail);
