#pragma once
// The labels the window writes before its own lines in the chat pane. Most
// have no blank of their own; some of the client's lines have always been
// written with one ("Console: " after a socket error or a saved file,
// "Error: " when a file could not be saved), and each keeps the spelling it
// has in the transcript and the logs.
#include "base/version.h"

#include <QString>

namespace TLabel {
inline const QString console = QStringLiteral("Console:");
inline const QString consoleBlank = QStringLiteral("Console: ");
inline const QString error = QStringLiteral("Error:");
inline const QString errorBlank = QStringLiteral("Error: ");
inline const QString info = QStringLiteral("Info:");

// The main window's captions.
inline const QString mainCaption = QStringLiteral("Tressel [" TRESSEL_VERSION "]");
inline const QString pausedCaption = QStringLiteral("Tressel [" TRESSEL_VERSION "] -- PAUSED --");
} // namespace TLabel
