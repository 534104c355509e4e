// Property sections and the "global properties" and "group properties" panels. A section
// is a collapsible heading with rows; each row is a label and an editor for one value of
// the piece. The owner binds each row to its value every frame (the piece may have been
// replaced since the last one), and the section first copies edits into the values (or
// the values into the editors), then draws. Main thread.
#pragma once

#include "base/pool.h"
#include "panels/entry_panels.h"
#include "ui/text_field.h"

struct Panel;

enum PropertyType : u8 {
    PROPERTY_BOOL = 0,         // toggle; the value is a u8 flag
    PROPERTY_INTEGER = 1,      // one-line field; i64
    PROPERTY_FLOAT = 2,        // one-line field; f64
    PROPERTY_COLOR = 3,        // fields r, g, b, a and a swatch; four f32 (RGBA)
    PROPERTY_FRACTION = 4,     // one-line field; Fraction
    PROPERTY_STRING = 5,       // one-line field; Str, adopted as a copy in POOL_MAIN
    PROPERTY_LONG_STRING = 6,  // field eight rows high; Str
    PROPERTY_INFO = 7,         // a second text, no value
    PROPERTY_SAMPLE_TYPE = 8,  // button "short", "long", "float"; a u8 index 0..2
};

struct PropertyRow {
    u8 type;
    Str label;  // copy in POOL_MAIN
    Str info;   // shown by info rows
    TextField color_fields[4];
    TextField field;
    ButtonState toggle;
    ButtonState swatch;
    ButtonState choice;
    void* value;  // the bound value (type above); null: the row is not synchronised
    // Colour rows: what the swatch's colour picker edits. The picker finds the colour
    // again every frame by this, never by the row's pointer.
    ColorBinding color_binding;
    bool changed;  // this frame, the row changed its value
    // Set after adding the row: integer and float rows take only values above zero. Every
    // fraction row needs a denominator above zero, every float a finite number.
    u8 above_zero;
};

struct PropertySection {
    Str title;
    PoolArray<PropertyRow> rows;
    ButtonState collapse;
    bool collapsed;
    bool changed;  // some row changed this frame
};

void property_section_init(PropertySection* section, Str title, u8 pool);
// A zeroed row with the label copied into POOL_MAIN; null when refused. Bind `value`
// (and `color_binding`) afterwards. The row lives in the section's array, which moves
// when it grows: keep its index, not the pointer.
PropertyRow* property_section_add_row(PropertySection* section, u8 type, Str label);
// Synchronises, draws and handles the section at (x, *y) (the bottom of its first line),
// `width` wide with a label column of `label_width`; moves *y down past what it drew and
// sets `changed`.
void property_section(PropertySection* section, f32 label_width, f32 x, f32 width, f32* y);

// --- The two properties panels ---------------------------------------------------------
enum { PROPERTIES_MAX_SECTIONS = 2 };

struct PropertiesPanel {
    u8 kind;  // PANEL_GLOBAL_PROPERTIES or PANEL_GROUP_PROPERTIES
    PropertySection sections[PROPERTIES_MAX_SECTIONS];
    i64 section_count;
    ScrollBarState scroll;
    f32 content_height;  // how far the sections reach below the panel, from the last frame
};

// Rows of the global properties panel ("audio", "rendering") and of the group properties
// panel ("note"), in order.
enum {
    GLOBAL_ROW_SAMPLE_RATE = 0,
    GLOBAL_ROW_STEREO,
    GLOBAL_ROW_SAMPLE_TYPE,
    GLOBAL_ROW_START_TIME,
    GLOBAL_ROW_END_TIME,
};
enum { GLOBAL_ROW_BACKGROUND = 0 };
enum { GROUP_ROW_VISIBLE = 0, GROUP_ROW_COLOR, GROUP_ROW_TEXTURE, GROUP_ROW_SIZE };

// The content record of a panel of kind 1 or 2, in POOL_MAIN; null for other kinds.
void* properties_panel_create(u8 kind);
void properties_panel(Panel* panel, Rect content);
// The group the group properties panel shows: the selected group of the group tree, or -1.
i64 properties_current_group();
