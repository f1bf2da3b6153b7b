// Must not compile: the session is QtCore and QtNetwork alone
#include <QColor>
