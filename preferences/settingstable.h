#pragma once
// Which control of the dialog holds each setting of the table
// (core/settingsdefs.h), and the name it answers to. What a setting is
// (file, section, key, kind, start value, range) is the table's alone; the
// entries here only borrow it.
#include "core/settingsdefs.h"
#include "preferences/Toptions.h"

#include <variant>
#include <vector>

namespace TSettings {

using File = TSetting::File;

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
    TSetting::Id id;
    Control control;
    const char *name; // the control's object name; nullptr for a pane's font
    // From the table, for the reader and the writer.
    File file;
    const char *section;
    const char *key;
    const char *start;
};

// In the table's order (the order of the files); all()[id].id == id.
const std::vector<Setting> &all();

} // namespace TSettings
