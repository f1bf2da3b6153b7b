#pragma once
// A stretch of a line's characters in one colour, as the handlers that write
// transcript lines hand them over.
#include <QColor>

// `length` consecutive characters shown in `colour`.
struct TColourRun {
    int length;
    QColor colour;
};
