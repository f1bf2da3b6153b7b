// Keeps the support library non-empty.
#include "scripteddialogs.h"
