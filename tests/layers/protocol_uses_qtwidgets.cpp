// Must not compile: the protocol layer has QtCore and QtNetwork only
#include <QWidget>
