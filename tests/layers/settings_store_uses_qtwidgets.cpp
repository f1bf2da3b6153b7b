// Must not compile: the settings store lives in core/, on QtCore alone, so
// the session reads the settings without a widget library.
#include "core/settingsstore.h"

#include <QWidget>
