// Must not compile: core/ is QtCore alone (the settings store included,
// whose header compiles here and so needs nothing of QtGui)
#include "core/settingsstore.h"

#include <QColor>
