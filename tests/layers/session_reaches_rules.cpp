// Must not compile: the session reads no rule that needs QtGui
#include "rules/anticensor.h"
