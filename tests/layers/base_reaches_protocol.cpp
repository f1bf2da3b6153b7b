// Must not compile: the base layer sees nothing above it
#include "connection/TChatInterface.h"
