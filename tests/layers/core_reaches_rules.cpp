// Must not compile: core/ sits below the rules
#include "rules/anticensor.h"
