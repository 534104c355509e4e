// Floating panel windows: the list in stacking order (index 0 at the bottom), title bars
// with collapse and close, moving, resizing by eight handles, raising, hit testing against
// higher panels. Input runs in the main loop before the editor; drawing inside the frame.
// Main thread only.
#pragma once

#include "base/pool.h"
#include "ui/button.h"

enum PanelKind : u8 {
    PANEL_GROUPS = 0,             // "group": the group list
    PANEL_GLOBAL_PROPERTIES = 1,  // "global properties"
    PANEL_GROUP_PROPERTIES = 2,   // "group properties"
    PANEL_FILE = 3,               // file browser
    PANEL_QUESTION = 4,           // the save question
    PANEL_KEY = 5,
    PANEL_MEASURE = 6,
    PANEL_TEMPO = 7,
    PANEL_VOLUME = 8,
    PANEL_PITCH = 9,
    PANEL_SOUND = 10,
    PANEL_REPEAT = 11,
    PANEL_SHAPE = 12,
    PANEL_TEXT = 13,
    PANEL_COLOR_PICKER = 14,
    PANEL_FRACTION = 15,
    PANEL_CURVE_POINT = 16,
    PANEL_MIDI_IMPORT = 17,       // "import MIDI": key and tonic of a MIDI file to open
    PANEL_KIND_COUNT = 18,
};

// Kinds 3 to 17 close themselves by setting the first byte of their content.
inline bool panel_kind_closable(u8 kind) { return kind >= PANEL_FILE && kind < PANEL_KIND_COUNT; }

struct DragHandle {
    bool dragging;
    bool hovered;
    f32 grab_x, grab_y;  // mouse minus handle position when the drag began
};

enum {
    HANDLE_BOTTOM_LEFT = 0,
    HANDLE_BOTTOM_RIGHT = 1,
    HANDLE_TOP_LEFT = 2,
    HANDLE_TOP_RIGHT = 3,
    HANDLE_LEFT = 4,
    HANDLE_RIGHT = 5,
    HANDLE_BOTTOM = 6,
    HANDLE_TOP = 7,
    HANDLE_COUNT = 8,
};

struct Panel {
    u8 kind;
    bool collapsed;
    u64 id;
    f32 x, y;  // bottom-left corner, window pixels, y upward
    f32 width, height;
    f32 min_width, min_height;
    Str title;
    DragHandle handles[HANDLE_COUNT];  // corners then edges, in the order above
    f32 handle_x[HANDLE_COUNT], handle_y[HANDLE_COUNT];  // centres
    // Kind-specific state in POOL_MAIN, made by the panel's opener. For closable kinds it
    // begins with a `u8 close_requested`. Found again by panel id, never kept as a pointer
    // across frames (the list moves panels when it raises or removes one).
    void* content;
};

struct PanelList {
    PoolArray<Panel> panels;
    bool dragging;
    i64 drag_index;
    f32 drag_last_x, drag_last_y;
    f64 title_height;  // "scale", refreshed by every frame
    f64 border;        // half of "scale", refreshed by every frame
    i64 hover_index;
    bool hover_title, hover_collapse, hover_close;
    // A panel lay under the mouse when this frame's input step began: its press belongs to
    // the panels even if the panel closed, collapsed or moved away during the step.
    bool mouse_taken;
    u64 next_id;
};

extern PanelList g_panels;

void panels_reset();
// Appends a panel on top: the given kind, title (copied), rectangle and content; minimum
// size 200 x 200, handle positions computed, the next id. Returns the new panel (valid
// until the list changes), or null when memory is refused.
Panel* panel_create(u8 kind, Str title, f32 x, f32 y, f32 width, f32 height, void* content);
void panel_remove(i64 index);     // later panels move down; outside the list: nothing
Panel* panel_find(u64 id);        // null when it was closed
i64 panel_index(u64 id);          // -1 when it was closed
void panel_update_handles(Panel* panel);
// False when a panel above the one with this id covers the point.
bool panel_point_is_free(u64 id, f32 x, f32 y);
// True when any panel covers the point (the canvas does not take the mouse there).
bool panels_cover_point(f32 x, f32 y);
// The topmost question panel still waiting for its answer, -1 when none. A question is
// modal: the panels below it, the canvas, the editor keys and the menu bar take no input.
i64 panels_modal_index();

void panels_input();  // hover, moving, resizing, raising, collapsing, closing
void panels_draw();   // bottom to top, each with its content, clipped to the panel
void panels_scale(f32 scale_x, f32 scale_y);  // after a window resize

// What each kind of panel shows: its content, drawn and handled inside the rectangle
// below the title bar, and the content record of kinds that are opened without one.
// Filled by the application at start-up, since the kinds are built on these windows;
// an empty entry shows nothing and makes no record.
struct PanelKindEntry {
    void (*content)(Panel* panel, Rect content);
    void* (*create)(u8 kind);
};
extern PanelKindEntry g_panel_kinds[PANEL_KIND_COUNT];

// Minimum size, handle positions, and the content record of kinds that are opened without
// one (the group list, the properties panels).
void panel_content_init(Panel* panel);
