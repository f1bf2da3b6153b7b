// Must not compile: core/ knows nothing of the protocol
#include "interpreter/TBnetChat.h"
