// Must not compile: the session needs no widget
#include "widgets/dialogs.h"
