// Must not compile: core/ is QtCore alone
#include <QColor>
