// Must not compile: the session needs no widget
#include <QWidget>
