#pragma once
// The one place errors are caught. Every entry point from Qt (socket events,
// timer ticks, menu and widget handlers) runs its handler through guarded():
// an error ends that handler, and its text is shown (in a box titled
// "Tressel", by the display the window installs) once the guarded call has
// returned, so no exception ever unwinds through
// Qt's own code and no box opens while a socket handler is on the stack.
// The log writes run guarded too: a log that fails is reported, and the
// handler that wrote the line goes on.
#include <QString>
#include <exception>
#include <utility>

// Shows one error text to the user. The window installs one that opens the
// error box; until then (and in programs without a window) errors go to the
// standard error stream.
using TErrorDisplay = void (*)(const QString &text);
void setErrorDisplay(TErrorDisplay display);

// Queues the general error box for text (a full stop is added when the text
// lacks one). A text that is already waiting or shown is not queued again.
void reportError(const QString &text);

// Reports the error that is being handled (call only inside a catch block).
void reportCurrentException() noexcept;

// Runs f; an error it raises ends it and is reported.
template <class F> void guarded(F &&f) noexcept
{
    try {
        std::forward<F>(f)();
    } catch (...) {
        reportCurrentException();
    }
}

// Shows now, one after the other, the error boxes that are queued and not
// yet on screen (program start shows them before the main window).
void showWaitingErrors();
