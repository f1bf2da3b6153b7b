#pragma once
// Every setting, named once: the file and section it is kept in, its key,
// the control that holds it and the value it starts with. The controls'
// names, the start values, and the reader and writer of tressel.conf and
// tressel.ini all go by this table, in its order (the order of the file).
#include "preferences/Toptions.h"

#include <variant>
#include <vector>

namespace TSettings {

enum class File { Conf, Ini };

// A pane's font in the [fonts] section: its face name or its size.
struct PaneFontPart {
    Toptions::PaneFont pane;
    bool size;
};

// The control, as a pointer to the dialog's member; its type is the kind of
// value. A radio button stands for the anti-idle group it starts, a combo
// box for the server's editable list.
using Control =
    std::variant<TByteEdit * Toptions::*, QComboBox * Toptions::*, QCheckBox * Toptions::*,
                 QRadioButton * Toptions::*, TSpinBox * Toptions::*, TPickList * Toptions::*,
                 TColourBox * Toptions::*, QListWidget * Toptions::*, PaneFontPart>;

struct Setting {
    File file;
    const char *section; // "misc" is [misc] in tressel.conf; "quota" is quota/ in tressel.ini
    const char *key;     // written key=value; a list writes one line per entry
    Control control;
    const char *name;  // the control's object name
    const char *start; // the start value as the file holds it; nullptr: none to set
};

const std::vector<Setting> &all();

} // namespace TSettings
