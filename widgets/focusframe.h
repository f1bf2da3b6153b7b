#pragma once
// Where the keyboard is, in a pane or a list: while it has the focus, its
// frame is drawn in the highlight colour. The style's own mark is on the
// current item, and an empty list or pane has none, so Tab could land
// there and show nothing.
class QAbstractScrollArea;

void showFocusFrame(QAbstractScrollArea *area);
