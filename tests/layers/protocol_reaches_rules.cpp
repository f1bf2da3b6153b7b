// Must not compile: the protocol layer sees neither the widgets nor the rules
#include "rules/anticensor.h"
