// Must not compile: the history needs no widget
#include <QWidget>
