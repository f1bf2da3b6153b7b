#pragma once
// A drop-down list that says what it is. Qt's own interface for a combo
// box gives, on Linux, its current entry as its name, so a screen reader
// reads "Money Green" where the label says "Mentions:". This one is named
// by the box's accessible name or its label (the label's buddy), its
// current entry is its value, and it opens its list when asked to.
// It is given to every combo box that has an accessible name or a label.

class QWidget;

// Gives it to the combo boxes of window that have a name or a label by now
// (call it once their labels are set).
void nameComboBoxes(QWidget *window);
