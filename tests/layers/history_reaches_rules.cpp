// Must not compile: the history sits beside the rules, not above them
#include "rules/textcodec.h"
