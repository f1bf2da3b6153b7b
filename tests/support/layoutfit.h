#pragma once
// Whether a window's controls get the room their text needs, under the
// faces desktops give their users. Layout tests set each face in turn as
// the application font and ask what is squeezed.
#include <QList>
#include <QString>
#include <QStringList>

class QWidget;

namespace layoutfit {

struct Face {
    QString family;
    int points;
    QString name() const { return QStringLiteral("%1 %2pt").arg(family).arg(points); }
};

// Debian's, GNOME's and KDE's default faces and Liberation Sans (the
// metric twin of Arial), each at 9, 10 and 11 points.
QList<Face> desktopFaces();

// Makes face the application font. Returns why it could not ("" when it
// could): the face is not installed, and Qt would lay out with another.
QString useApplicationFont(const Face &face);

// What under root is shown smaller than it needs, one line each: a button,
// check box, radio button, label, edit, spin box, combo box or group box
// below its natural height or its least width, a label whose text is wider
// than its contents, a word-wrapped label shorter than its text, a control
// not wholly inside its parent (the inside of a scroll area excepted, the
// ways it scrolls). Parts of compound controls (a spin box's edit) are
// skipped.
QStringList squeezed(QWidget *root);

} // namespace layoutfit
