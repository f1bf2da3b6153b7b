// Must not compile: the rules need no widget
#include <QWidget>
