#pragma once
#include <vector>

// The main window's layout as data: the dialog's caption, size and font, and
// its controls in template order (which is also the child order that the
// proportional resizing walks). Rectangles are in dialog units.
struct ControlTemplate {
    enum Kind {
        Edit,         // single-line edit
        LogEdit,      // multi-line edit with a vertical scroll bar, Enter breaks lines
        PushButton,   // an icon button
        ComboBox,     // drop-down with an edit field, unsorted
        Light,        // status light in an etched frame
        Label,        // static text
        CentredLabel, // static text, centred
        GroupBox,
        Swatch,       // mode swatch: black frame, client and static edges
        ProgressBar,
        RadioButton,
        Picture,      // static picture showing bitmap 157
        ProductText,  // the three-line product text
    };
    int id;           // -1 for a control without an id of its own
    Kind kind;
    const char* caption;
    int x, y, cx, cy;
    bool centred;     // edits: centred text
};

struct DialogTemplate {
    const char* caption;
    int cx, cy;              // dialog units
    const char* fontFace;
    int fontPoints;
    std::vector<ControlTemplate> controls;
};

// Template 102, the main window.
const DialogTemplate& MainDialogTemplate();
