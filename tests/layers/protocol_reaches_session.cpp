// Must not compile: the protocol sits below the session
#include "session/TSession.h"
