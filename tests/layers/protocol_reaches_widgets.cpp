// Must not compile: the protocol layer sees neither the widgets nor the rules
#include "widgets/dialogs.h"
