// Must not compile: the rules need no widget
#include "widgets/TTranscriptView.h"
