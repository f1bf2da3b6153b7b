#include "mainwindow/program.h"

int main(int argc, char **argv) { return runTressel(argc, argv); }
