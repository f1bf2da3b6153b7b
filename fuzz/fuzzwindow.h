#pragma once
// The main window for the fuzz targets that drive one.
#include "fuzzsupport.h"

class Tmain;

// A new main window that cannot end the process.
Tmain *newFuzzWindow();
// Starts the application with the everything-on configuration and returns
// its window.
Tmain *startFuzzWindow();
