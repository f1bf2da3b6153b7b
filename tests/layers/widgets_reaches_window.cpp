// Must not compile: the widgets know nothing of the window
#include "mainwindow/Tmain.h"
