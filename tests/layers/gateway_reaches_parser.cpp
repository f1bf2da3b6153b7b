// Must not compile: the gateway shares only the codes with the client
#include "interpreter/TBnetChat.h"
