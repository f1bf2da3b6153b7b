// Must not compile: the widgets know nothing of the protocol
#include "interpreter/TBnetChat.h"
