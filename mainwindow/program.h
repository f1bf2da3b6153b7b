#pragma once
// Program start, shared by the program's main() and by the tests that run
// the whole program.
#include <memory>

class Tmain;

// Names the application "Tressel" and gives it its icon.
void setupApplication();

// Creates the main window, which creates the preferences dialog and so
// reads the configuration file; shows the boxes of what failed in that; then
// shows the window (which may connect by itself).
std::unique_ptr<Tmain> startTressel();

// The whole program: the application, the start and the message loop.
int runTressel(int argc, char **argv);
