// Must not compile: the history sits beside the rules, not above them
#include "rules/anticensor.h"
